/* What the builder tests share: token lists lexed from small iCalendar texts,
 * a cursor on one of their tokens, and the log lines a call writes. */
#ifndef TESTS_BUILDER_FIXTURE_H
#define TESTS_BUILDER_FIXTURE_H

#include <gtest/gtest.h>

#include <stdio.h>

#include <initializer_list>
#include <string>
#include <vector>

#include <plstr.h>

#include "core/parser/cal_tok.h"
#include "public/core_util/cal_time.h"
#include "public/db/caldb.h"
#include "public/util/array.h"
#include "public/util/kvallog.h"

namespace builder_test {

/* The token list of the lines `lines`, one content line each, so that the
 * token of lines[i] has line number i + 1. */
class Tokens {
public:
    Tokens(std::initializer_list<const char*> lines)
    {
        for (const char* line : lines)
            text += std::string(line) + "\r\n";
        std::string buffer = text;  // the lexer works in place
        unsigned consumed = 0, lineNo = 1;
        calparser_icalbuf_to_toklist(&buffer[0], (unsigned)buffer.size(), &list, &consumed,
                                     &lineNo, 0);
    }
    ~Tokens()
    {
        calparser_FreeTokenList(list);
        array_delete(list);
    }
    Tokens(const Tokens&) = delete;
    Tokens& operator=(const Tokens&) = delete;

    /* A cursor standing on the token of line `lineNo` (1-based). */
    array_iter_t cursorAt(unsigned lineNo) const
    {
        return array_iter_t{array_elementat(list, lineNo - 1), lineNo};
    }
    /* The line number of the token the cursor stands on; 0 past the end. */
    static unsigned lineOf(const array_iter_t& cursor)
    {
        return cursor.element ? ((const CALPARSER_TOKEN*)cursor.element)->nLine : 0;
    }

    array_t* list = nullptr;
    std::string text;  /* the lexed text, for failure messages */
};

struct LogLine {
    int level;
    std::string text;
    bool operator==(const LogLine& other) const
    {
        return level == other.level && text == other.text;
    }
};

inline std::ostream& operator<<(std::ostream& out, const LogLine& line)
{
    return out << "[" << line.level << "] " << line.text;
}

/* Collects the lines logged while it lives; traces (level 7) are kept apart
 * so that a test can state the messages exactly without the traces. */
class LogCapture {
public:
    LogCapture() { kvallog_set_sink(&LogCapture::sink, this); }
    ~LogCapture() { kvallog_set_sink(nullptr, nullptr); }
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    std::vector<LogLine> lines;   /* levels 0 to 6 */
    std::vector<std::string> traces;

private:
    static void sink(void* ctx, int level, const char* message)
    {
        LogCapture* self = (LogCapture*)ctx;
        if (level >= 7)
            self->traces.push_back(message);
        else
            self->lines.push_back(LogLine{level, message});
    }
};

/* A message format with a %u line number and a %s name, filled in. */
inline std::string format(const char* fmt, unsigned line, const char* name)
{
    char buffer[256];
    snprintf(buffer, sizeof buffer, fmt, line, name);
    return buffer;
}

/* Appends an attendee with address `addr` and PARTSTAT code `partStat`. */
inline void add_attendee(CALDB_COMPONENT* component, const char* addr, int partStat)
{
    if (!component->aAttendees)
        component->aAttendees = array_new();
    CALDB_ATTENDEE* attendee = caldb_NewAttendee();
    attendee->pAddr = PL_strdup(addr);
    attendee->nPartStat = partStat;
    array_append(component->aAttendees, attendee);
}

inline const char* text_at(const array_t* list, unsigned index)
{
    return (const char*)array_elementat(list, index);
}

inline unsigned count_of(const array_t* list)
{
    return list ? list->count : 0;
}

/* Frees every vRecurrenceInfo of `infos` (five lists: texts, and periods at
 * index 4) and the array. */
inline void free_recurrence_infos(array_t* infos)
{
    for (unsigned i = 0; i < count_of(infos); i++) {
        array_t* info = (array_t*)array_elementat(infos, i);
        for (unsigned list = 0; list < count_of(info); list++) {
            array_t* items = (array_t*)array_elementat(info, list);
            for (unsigned j = 0; j < count_of(items); j++) {
                if (list == 4) {
                    CAL_TIME_PERIOD* period = (CAL_TIME_PERIOD*)array_elementat(items, j);
                    cal_time_DestroyPeriod(&period);
                } else {
                    PL_strfree((char*)array_elementat(items, j));
                }
            }
            array_delete(items);
        }
        array_delete(info);
    }
    array_delete(infos);
}

/* The outputs of one event or to-do build: the component list (wrappers),
 * the recurrence list, the result and where the cursor was left. */
struct Built {
    array_t* components = array_new();
    array_t* recurrence = array_new();
    int rc = -1;
    array_iter_t cursor = {nullptr, 0};

    Built() = default;
    Built(const Built&) = delete;
    Built& operator=(const Built&) = delete;
    ~Built()
    {
        calparser_FreeCalVCompList(components);
        array_delete(components);
        free_recurrence_infos(recurrence);
    }
    template <typename Record>
    Record* record(unsigned i = 0) const
    {
        const CAL_VCOMPONENT* wrapper = (const CAL_VCOMPONENT*)array_elementat(components, i);
        return wrapper ? (Record*)wrapper->pComponent : nullptr;
    }
    /* List `which` (0 RRULE .. 4 periods) of component i's vRecurrenceInfo. */
    array_t* recurrenceList(unsigned which, unsigned i = 0) const
    {
        return (array_t*)array_elementat((array_t*)array_elementat(recurrence, i), which);
    }
};

/* The inputs of one build beside the tokens. */
struct BuildOptions {
    iCal_Token_t method = TOKEN_PUBLISH;
    int pass = 2;
    int resolved = 0;
    const char* defaultTzid = nullptr;
    unsigned beginLine = 1;
};

}  // namespace builder_test

#endif
