/* calparse: what the parts of the tool share. */
#ifndef TOOLS_CALPARSE_CALPARSE_H
#define TOOLS_CALPARSE_CALPARSE_H

#include <stdio.h>
#include <time.h>

#include <string>
#include <vector>

#include "core/parser/calparser.h"

namespace calparse {

enum class Output { Summary, Json, Sxml, Tokens, Ical, Xml };
/* What the command line asks for besides parsing. */
enum class Request { Parse, Help, Version };

struct Options {
    int format = CALPARSER_FORMAT_ICAL;
    std::string charset;     /* empty: UTF-8 */
    std::string defaultTzid; /* the parse's zone for date-times without one */
    bool tzGiven = false;    /* --tz was given: local times are shown in it */
    Output output = Output::Summary;
    bool literalSeriesZone = false; /* a series is expanded in defaultTzid, not DTSTART's zone */
    Request request = Request::Parse;
};

/* One parsed input: the library's result array and what the parse said. */
struct Parsed {
    std::string name;             /* file name, "-" for standard input */
    int status = 0;               /* calparser_prot_to_dbstruct's result */
    unsigned methodState = 1;
    array_t* result = nullptr;    /* owned; freed by the destructor */
    CALDB_CALPROPS props = {};    /* owned texts and lists */

    Parsed() = default;
    Parsed(const Parsed&) = delete;
    Parsed& operator=(const Parsed&) = delete;
    ~Parsed();

    /* The elements of a result slot, or NULL when the slot is missing. */
    array_t* slot(unsigned index) const;
};

/* What a parse status means, for messages ("parsed", "no calendar data ..."). */
const char* status_text(int status);

/* "YYYYMMDDTHHMMSSZ" of `t`; "" for a time that is not set (below 1). */
std::string utc_text(long t);
/* "YYYYMMDDTHHMMSS" of `t` in `zone` (through its rule-based zone); "" when
 * the time is not set or the zone has no rule-based zone. */
std::string local_text(const CAL_VTIMEZONE* zone, long t);

/* The zone a component's local times are shown in: --tz when given, else
 * its X-KVAL-DTSTART-TZID, else the first zone the input defines, else the
 * parse's default zone. Looked up among the input's zones (ignoring case),
 * then in the registry; NULL when neither has it. *pName receives the name. */
const CAL_VTIMEZONE* display_zone(const Parsed& in, const Options& opt,
                                  const CALDB_COMPONENT* c, std::string* pName);

/* Whether the components wrapped by `a` and `b` are instances of one
 * series: both have a recurrence id and they share a UID. */
bool same_series(const CAL_VCOMPONENT* a, const CAL_VCOMPONENT* b);

/* The order the outputs list the components of a result slot in, as indices
 * into `slot` (empty for a null slot): the library's order, except that each
 * run of instances of one series, which the expansion leaves latest first,
 * is listed by recurrence id, earliest first (ties keep the library's order). */
std::vector<unsigned> listing_order(const array_t* slot);

/* Texts of the records' codes. */
const char* partstat_text(int code);
const char* alarm_action_text(int action);
const char* status_code_text(int status);
const char* method_text(unsigned methodState);

/* Writers of the three record outputs; each returns 0, or 1 on a write error. */
int print_summary(FILE* out, const Parsed& in, const Options& opt);
int print_json(FILE* out, const Parsed& in, const Options& opt);
int print_sxml(int fd, const Parsed& in);
/* The records as one iCalendar file (calparser_write_ical). */
int print_ical(int fd, const Parsed& in);
/* The XML reply frame of the events and to-dos: their identities only. */
int print_xml(int fd, const Parsed& in);

}  // namespace calparse

#endif
