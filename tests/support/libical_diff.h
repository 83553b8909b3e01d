// What the two libical differential tests share: the set-up, libical's
// components of a text, this library's records of it, and the printed tally
// of agreements and of the named rules that explain each disagreement.
#ifndef TESTS_SUPPORT_LIBICAL_DIFF_H
#define TESTS_SUPPORT_LIBICAL_DIFF_H

#include <gtest/gtest.h>

#include <ctype.h>
#include <stdio.h>
#include <stdlib.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include <libical/ical.h>

#include "core/parser/calparser.h"
#include "public/util/config.h"
#include "tests/support/log_capture.h"
#include "tests/support/parsed_text.h"

namespace libical_diff {

inline std::string upper(std::string text) {
    for (char& c : text) c = (char)toupper((unsigned char)c);
    return text;
}

// The text up to the end of its first calendar, nested ones closed: this
// library reads one calendar, so libical is given the same.
inline std::string first_calendar(const std::string& text) {
    const std::string all = upper(text);
    const size_t end = all.find("END:VCALENDAR");
    const size_t lineEnd = end == std::string::npos ? end : text.find('\n', end);
    if (lineEnd == std::string::npos) return text;
    std::string first = text.substr(0, lineEnd + 1);
    for (size_t at = all.find("BEGIN:VCALENDAR"); (at = all.find("BEGIN:VCALENDAR", at + 1)) < end;)
        first += "END:VCALENDAR\r\n";
    return first;
}

struct IcalFree {
    void operator()(icalcomponent* c) const { icalcomponent_free(c); }
};
// libical's reading of a text; empty when it reads nothing.
using IcalTree = std::unique_ptr<icalcomponent, IcalFree>;

inline IcalTree libical_parse(const std::string& text) {
    return IcalTree(icalparser_parse_string(text.c_str()));
}

// The VEVENTs and VTODOs under `comp`: in a calendar, or in the several
// calendars under libical's root. The tree keeps them.
inline void collect_components(icalcomponent* comp, std::vector<icalcomponent*>* out) {
    const icalcomponent_kind kind = comp ? icalcomponent_isa(comp) : ICAL_NO_COMPONENT;
    if (kind == ICAL_VEVENT_COMPONENT || kind == ICAL_VTODO_COMPONENT) out->push_back(comp);
    if (kind != ICAL_XROOT_COMPONENT && kind != ICAL_VCALENDAR_COMPONENT) return;
    for (icalcompiter it = icalcomponent_begin_component(comp, ICAL_ANY_COMPONENT);
         icalcompiter_deref(&it); icalcompiter_next(&it))
        collect_components(icalcompiter_deref(&it), out);
}

// Calls `each(slot, record)` for every event and to-do this library reads in
// `text`, in the default zone "Africa/Casablanca" (UTC all year); the corpus
// is full of lines the parse reports, which are kept quiet.
template <typename Each>
void each_record(const std::string& text, Each each) {
    LogCapture quiet;
    ParsedText parsed(text, "Africa/Casablanca");
    for (unsigned slot : {CALPARSER_SLOT_EVENTS, CALPARSER_SLOT_TODOS}) {
        const array_t* list = parsed.slot(slot);
        for (unsigned i = 0; list && i < list->count; i++) each(slot, parsed.component(slot, i));
    }
}

// The count that agrees and the count of each rule that explains a
// disagreement, printed after a run.
struct Tally {
    int agreed = 0;
    std::map<std::string, int> byRule;

    void print(const std::string& what) const {
        printf("%s: %d agree\n", what.c_str(), agreed);
        for (const auto& rule : byRule) printf("  %3d  %s\n", rule.second, rule.first.c_str());
    }
};

class LibicalTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        setenv("CALPARSER_ROOT", CALPARSER_SOURCE_ROOT, 1);
        ASSERT_EQ(0, parser_init());
    }
    static void TearDownTestSuite() {
        config_set_string(config_getdefaultcache(), CALPARSER_SERIES_ZONE_KEY, nullptr);
        parser_uninit();
    }
};

}  // namespace libical_diff

#endif
