// Every event of the corpus, of examples/ and of the calendars in
// tests/data/foreign_zones, read by this library and by libical: start and
// end in UTC agree (the instances of recurring series are compared in
// libical_expansion_differential_test.cpp). A disagreement passes only when a
// named rule below explains it; any other fails with the file, the UID and
// both times. The count of each rule is printed.
#include <gtest/gtest.h>

#include <ctype.h>
#include <stdio.h>
#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <libical/ical.h>

#include "core/parser/calparser.h"
#include "public/util/config.h"
#include "tests/support/corpus_files.h"
#include "tests/support/parsed_text.h"

namespace fs = std::filesystem;
using corpus_files::corpus_dir;
using corpus_files::read_file;

namespace {

constexpr time_t kNoTime = -1;

std::vector<fs::path> inputs() {
    std::vector<fs::path> files;
    const fs::path root(CALPARSER_SOURCE_ROOT);
    for (const fs::path& dir :
         {corpus_dir(), root / "examples", root / "tests" / "data" / "foreign_zones"}) {
        for (const fs::path& path : corpus_files::files_under(dir))
            if (path.extension() != ".xml") files.push_back(path);
    }
    std::sort(files.begin(), files.end());
    return files;
}

std::string utc_text(time_t t) {
    if (t == kNoTime) return "(none)";
    char text[32];
    struct tm parts;
    gmtime_r(&t, &parts);
    strftime(text, sizeof text, "%Y%m%dT%H%M%SZ", &parts);
    return text;
}

// ---- libical's reading ------------------------------------------------------

// Windows zone names as the CLDR table maps them; libical knows none of them.
const std::map<std::string, std::string> kWindowsNames = {
    {"W. Europe Standard Time", "Europe/Berlin"},  {"Romance Standard Time", "Europe/Paris"},
    {"Eastern Standard Time", "America/New_York"}, {"Pacific Standard Time", "America/Los_Angeles"},
    {"Tokyo Standard Time", "Asia/Tokyo"},         {"Central Standard Time", "America/Chicago"},
};

// libical's zone for a name it leaves floating: the trailing whole segments
// of a "/"-prefixed name, or the zone a Windows name stands for.
icaltimezone* foreign_zone(const std::string& tzid) {
    auto windows = kWindowsNames.find(tzid);
    if (windows != kWindowsNames.end())
        return icaltimezone_get_builtin_timezone(windows->second.c_str());
    if (tzid.empty() || tzid[0] != '/') return nullptr;
    for (size_t at = 0; (at = tzid.find('/', at)) != std::string::npos; at++) {
        size_t begin = tzid.find_first_not_of('/', at);
        if (begin == std::string::npos) break;
        if (icaltimezone* zone = icaltimezone_get_builtin_timezone(tzid.c_str() + begin))
            return zone;
        at = begin;
    }
    return nullptr;
}

std::string tzid_of(icalproperty* prop) {
    icalparameter* param = prop ? icalproperty_get_first_parameter(prop, ICAL_TZID_PARAMETER) : nullptr;
    const char* tzid = param ? icalparameter_get_tzid(param) : nullptr;
    return tzid ? tzid : "";
}

// UTC seconds of a libical time; a TZID libical left floating is read in its
// foreign_zone (rule "foreign name libical leaves floating" counts it).
time_t utc_of(icaltimetype t, icalproperty* prop, bool* pForeign) {
    if (icaltime_is_null_time(t)) return kNoTime;
    const icaltimezone* zone = icaltime_get_timezone(t);
    if (!zone && !t.is_date && !tzid_of(prop).empty()) {
        zone = foreign_zone(tzid_of(prop));
        if (zone && pForeign) *pForeign = true;
    }
    return icaltime_as_timet_with_zone(t, zone ? zone : icaltimezone_get_utc_timezone());
}

struct TheirEvent {
    icalcomponent* comp;
    std::string uid;
    time_t start;
    time_t end;
    std::string block;  // the text of the first VEVENT with this UID, "" when none
    bool beforeEndOfCalendar = false;  // the UID shows before the first END:VCALENDAR
    bool foreignName = false;
};

void collect_events(icalcomponent* comp, std::vector<TheirEvent>* events) {
    if (icalcomponent_isa(comp) == ICAL_VEVENT_COMPONENT) {
        TheirEvent e{comp, icalcomponent_get_uid(comp) ? icalcomponent_get_uid(comp) : "",
                     kNoTime, kNoTime, ""};
        e.start = utc_of(icalcomponent_get_dtstart(comp),
                         icalcomponent_get_first_property(comp, ICAL_DTSTART_PROPERTY),
                         &e.foreignName);
        icalproperty* endProp = icalcomponent_get_first_property(comp, ICAL_DTEND_PROPERTY);
        if (endProp)
            e.end = utc_of(icalcomponent_get_dtend(comp), endProp, &e.foreignName);
        else if (icalcomponent_get_first_property(comp, ICAL_DURATION_PROPERTY) && e.start != kNoTime)
            e.end = e.start + icaldurationtype_as_int(icalcomponent_get_duration(comp));
        events->push_back(e);
        return;
    }
    // Events sit in a calendar, or several calendars under libical's root.
    const icalcomponent_kind kind = icalcomponent_isa(comp);
    if (kind != ICAL_XROOT_COMPONENT && kind != ICAL_VCALENDAR_COMPONENT) return;
    for (icalcompiter it = icalcomponent_begin_component(comp, ICAL_ANY_COMPONENT);
         icalcompiter_deref(&it); icalcompiter_next(&it))
        collect_events(icalcompiter_deref(&it), events);
}

std::string upper(std::string text) {
    for (char& c : text) c = (char)toupper((unsigned char)c);
    return text;
}

// Where each event shows in the file's text, for the rules that read it.
void locate_in_text(const std::string& text, std::vector<TheirEvent>* events) {
    const std::string all = upper(text);
    const size_t end = all.find("END:VCALENDAR");
    std::map<std::string, size_t> seen;  // where the last event of each UID showed
    for (TheirEvent& e : *events) {
        if (e.uid.empty()) continue;
        auto last = seen.find(e.uid);
        const size_t at = text.find(e.uid, last == seen.end() ? 0 : last->second + 1);
        if (at == std::string::npos) continue;
        seen[e.uid] = at;
        e.beforeEndOfCalendar = end == std::string::npos || at < end;
        const size_t begin = all.rfind("BEGIN:VEVENT", at);
        const size_t stop = all.find("END:VEVENT", at);
        if (begin != std::string::npos && stop != std::string::npos)
            e.block = text.substr(begin, stop - begin);
    }
}

// ---- this library's reading -------------------------------------------------

struct OurEvent {
    time_t start;
    time_t end;
};

std::multimap<std::string, OurEvent> our_events(const std::string& text) {
    ParsedText parsed(text, "Africa/Casablanca");
    std::multimap<std::string, OurEvent> events;
    const array_t* slot = parsed.slot(CALPARSER_SLOT_EVENTS);
    for (unsigned i = 0; slot && i < slot->count; i++) {
        const auto* event =
            reinterpret_cast<const CALDB_VEVENT*>(parsed.component(CALPARSER_SLOT_EVENTS, i));
        events.emplace(event->pUid ? event->pUid : "",
                       OurEvent{event->tDtStart > 0 ? event->tDtStart : kNoTime,
                                event->tDtEnd > 0 ? event->tDtEnd : kNoTime});
    }
    return events;
}

// ---- the named rules --------------------------------------------------------

using Rule = std::function<bool(const TheirEvent&)>;

bool given_twice(const TheirEvent& e) {
    for (icalproperty_kind kind : {ICAL_DTSTART_PROPERTY, ICAL_DTEND_PROPERTY, ICAL_DURATION_PROPERTY})
        if (icalcomponent_count_properties(e.comp, kind) > 1) return true;
    return false;
}

bool after_end_of_calendar(const TheirEvent& e) { return !e.uid.empty() && !e.beforeEndOfCalendar; }

// A DTSTART or DTEND whose value is no date-time text of 8, 15 or 16
// characters ("19970701T10300Z"): libical guesses, here it is not read.
bool malformed_time_text(const TheirEvent& e) {
    std::istringstream lines(e.block);
    std::string line;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const std::string name = upper(line.substr(0, line.find_first_of(";:")));
        if (name != "DTSTART" && name != "DTEND") continue;
        const std::string value = line.substr(line.rfind(':') + 1);
        if (calparser_validate_isodate(value.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr,
                                       nullptr, nullptr) != 0)
            return true;
    }
    return false;
}

// The VTIMEZONE of the event's DTSTART holds a change without RRULE beside
// others: a one-off change that a yearly rule cannot hold.
bool one_off_zone_change(const TheirEvent& e) {
    icaltimetype start = icalcomponent_get_dtstart(e.comp);
    const icaltimezone* zone = icaltime_get_timezone(start);
    icalcomponent* vtimezone = zone ? icaltimezone_get_component((icaltimezone*)zone) : nullptr;
    if (!vtimezone || icalcomponent_get_parent(vtimezone) == nullptr) return false;
    int observances = 0;
    bool withoutRule = false;
    for (icalcomponent* c = icalcomponent_get_first_component(vtimezone, ICAL_ANY_COMPONENT); c;
         c = icalcomponent_get_next_component(vtimezone, ICAL_ANY_COMPONENT)) {
        observances++;
        if (icalcomponent_get_first_property(c, ICAL_DTSTART_PROPERTY) &&
            !icalcomponent_get_first_property(c, ICAL_RRULE_PROPERTY))
            withoutRule = true;
    }
    return withoutRule && observances > 1;
}

bool without_uid(const TheirEvent& e) { return e.uid.empty(); }

// A DURATION too long for libical wraps its end to before the start; here
// it is not read and the end falls back to the start.
bool overflowing_duration(const TheirEvent& e) {
    return icalcomponent_get_first_property(e.comp, ICAL_DURATION_PROPERTY) &&
           e.end != kNoTime && e.end < e.start;
}

const std::vector<std::pair<std::string, Rule>> kStartRules = {
    {"property given twice (the later one wins here, the first in libical)", given_twice},
    {"component after END:VCALENDAR (the parse stops there)", after_end_of_calendar},
    {"VTIMEZONE change without RRULE (a yearly rule cannot hold it)", one_off_zone_change},
    {"event without UID (a generated one here)", without_uid},
    {"DURATION that wraps libical's end before its start", overflowing_duration},
    {"DTSTART or DTEND that is no date-time text", malformed_time_text},
};

// The first rule that explains a disagreement, or "".
std::string explain(const TheirEvent& e, const std::vector<std::pair<std::string, Rule>>& rules) {
    for (const auto& rule : rules)
        if (rule.second(e)) return rule.first;
    return "";
}

struct Tally {
    int agreed = 0;
    std::map<std::string, int> byRule;
    std::vector<std::string> unexplained;

    void print(const char* what) const {
        printf("%s: %d agree\n", what, agreed);
        for (const auto& rule : byRule) printf("  %3d  %s\n", rule.second, rule.first.c_str());
    }
};

class LibicalDifferential : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        setenv("CALPARSER_ROOT", CALPARSER_SOURCE_ROOT, 1);
        ASSERT_EQ(0, parser_init());
    }
    static void TearDownTestSuite() { parser_uninit(); }
};

// Calls `each` with every file's events as libical reads them and as this
// library does.
template <typename Each>
void for_every_file(Each each) {
    for (const fs::path& path : inputs()) {
        const std::string text = read_file(path);
        icalcomponent* root = icalparser_parse_string(text.c_str());
        std::vector<TheirEvent> theirs;
        if (root) collect_events(root, &theirs);
        locate_in_text(text, &theirs);
        if (!theirs.empty()) each(fs::relative(path, corpus_dir()).string(), theirs, our_events(text));
        if (root) icalcomponent_free(root);
    }
}

}  // namespace

TEST_F(LibicalDifferential, StartAndEndOfEveryEvent) {
    Tally tally;
    int foreign = 0;
    for_every_file([&](const std::string& file, const std::vector<TheirEvent>& theirs,
                       const std::multimap<std::string, OurEvent>& ours) {
        for (const TheirEvent& e : theirs) {
            if (e.start == kNoTime) continue;
            bool agrees = false;
            auto range = ours.equal_range(e.uid);
            for (auto it = range.first; it != range.second && !agrees; ++it)
                agrees = it->second.start == e.start && (e.end == kNoTime || it->second.end == e.end);
            if (agrees) {
                tally.agreed++;
                if (e.foreignName) foreign++;
                continue;
            }
            std::string rule = explain(e, kStartRules);
            if (!rule.empty()) {
                tally.byRule[rule]++;
                continue;
            }
            std::string ourTimes;
            for (auto it = range.first; it != range.second; ++it)
                ourTimes += " " + utc_text(it->second.start) + "/" + utc_text(it->second.end);
            tally.unexplained.push_back(file + " UID " + e.uid + ": libical " + utc_text(e.start) +
                                        "/" + utc_text(e.end) + ", ours" +
                                        (ourTimes.empty() ? " none" : ourTimes));
        }
    });
    tally.print("start and end");
    printf("  (%d of the agreeing events name their zone in a way libical leaves floating)\n",
           foreign);
    for (const std::string& line : tally.unexplained) ADD_FAILURE() << line;
    EXPECT_GE(foreign, 6);
    EXPECT_GE(tally.agreed, 200);
}
