/* What the builder tests share: token lists lexed from small iCalendar texts,
 * the log lines a call writes, and one event or to-do build. */
#ifndef TESTS_BUILDER_FIXTURE_H
#define TESTS_BUILDER_FIXTURE_H

#include <initializer_list>
#include <string>
#include <vector>

#include "core/parser/cal_expand.h"
#include "core/parser/cal_tok.h"
#include "core/parser/cal_vevent.h"
#include "core/parser/cal_vtodo.h"
#include "public/db/caldb.h"
#include "public/util/array.h"
#include "tests/support/zone_builders.h"

namespace builder_test {


constexpr int32_t kNoon = 1041422400;  // 2003-01-01 12:00:00 UTC

/* The token list of `lines`, one content line each, so that the token of
 * lines[i] has line number i + 1. */
class Tokens {
public:
    Tokens(std::initializer_list<const char*> lines)
        : Tokens(std::vector<std::string>(lines.begin(), lines.end()))
    {
    }
    explicit Tokens(const std::vector<std::string>& lines)
    {
        for (const std::string& line : lines)
            text += line + "\r\n";
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

    /* A cursor standing on the first token. */
    array_iter_t start() const { return array_iter_t{array_elementat(list, 0), 1}; }
    CALPARSER_TOKEN* token(unsigned lineNo = 1) const
    {
        return (CALPARSER_TOKEN*)array_elementat(list, lineNo - 1);
    }
    /* The line number of the token the cursor stands on; 0 past the end. */
    static unsigned lineOf(const array_iter_t& cursor)
    {
        return cursor.element ? ((const CALPARSER_TOKEN*)cursor.element)->nLine : 0;
    }

    array_t* list = nullptr;
    std::string text;  /* the lexed text, for failure messages */
};

inline unsigned count_of(const array_t* list)
{
    return list ? list->count : 0;
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
        calparser_free_contents_vvRecurrenceInfoList(recurrence);
        array_delete(recurrence);
    }
    template <typename Record = CALDB_COMPONENT>
    Record* record(unsigned i = 0) const
    {
        const CAL_VCOMPONENT* wrapper = (const CAL_VCOMPONENT*)array_elementat(components, i);
        return wrapper ? (Record*)wrapper->pComponent : nullptr;
    }
};

/* The inputs of one build beside the tokens. */
struct BuildOptions {
    iCal_Token_t method = TOKEN_PUBLISH;
    int pass = CALPARSER_PASS_COMPONENTS;
    int resolved = 0;
};

/* The event and the to-do builder share one walk; the tests of that walk run
 * over both kinds. */
typedef int (*Builder)(array_t*, array_iter_t*, array_t*, array_t*, array_t*, int, iCal_Token_t,
                       int, const char*, const char*);
struct Kind {
    const char* name;
    Builder create;
    int recordKind;
};
inline const Kind kEvent{"VEVENT", calparser_create_vevent_from_tokens, CALDB_KIND_EVENT};
inline const Kind kTodo{"VTODO", calparser_create_vtodo_from_tokens, CALDB_KIND_TODO};

/* `lines` with every "*" replaced by the kind's name ("BEGIN:*"). */
inline std::vector<std::string> lines_of(const Kind& kind, const std::vector<std::string>& lines)
{
    std::vector<std::string> out;
    for (std::string line : lines) {
        size_t star = line.find('*');
        if (star != std::string::npos)
            line.replace(star, 1, kind.name);
        out.push_back(line);
    }
    return out;
}

/* Builds the component that begins on line 1 of `tokens` into `built`. */
inline void build(const Kind& kind, const Tokens& tokens, Built& built,
                  const BuildOptions& options = {})
{
    built.cursor = tokens.start();
    built.rc = kind.create(tokens.list, &built.cursor, built.components, built.recurrence, nullptr,
                           options.pass, options.method, options.resolved, nullptr, nullptr);
}

}  // namespace builder_test

#endif
