// Every event of the corpus, of examples/ and of the calendars in
// tests/data/foreign_zones (up to the end of the first calendar, where this
// library stops), read by this library and by libical: start and
// end in UTC agree (the instances of recurring series are compared in
// libical_expansion_differential_test.cpp). A disagreement passes only when a
// named rule below explains it; any other fails with the file, the UID and
// both times. The count of each rule is printed.
#include <algorithm>
#include <filesystem>
#include <functional>
#include <sstream>

#include "tests/support/corpus_files.h"
#include "tests/support/libical_diff.h"
#include "tests/support/zone_builders.h"

namespace fs = std::filesystem;
using namespace libical_diff;

namespace {

constexpr time_t kNoTime = -1;

std::string utc_text(time_t t) { return t == kNoTime ? "(none)" : zone_test::wall_text(t) + "Z"; }

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

// UTC seconds of a libical time; a TZID libical left floating is read in its
// foreign_zone and *pForeign set.
time_t utc_of(icaltimetype t, icalproperty* prop, bool* pForeign) {
    if (icaltime_is_null_time(t)) return kNoTime;
    const icaltimezone* zone = icaltime_get_timezone(t);
    icalparameter* param = icalproperty_get_first_parameter(prop, ICAL_TZID_PARAMETER);
    if (!zone && !t.is_date && param && icalparameter_get_tzid(param)) {
        zone = foreign_zone(icalparameter_get_tzid(param));
        *pForeign = *pForeign || zone;
    }
    return icaltime_as_timet_with_zone(t, zone ? zone : icaltimezone_get_utc_timezone());
}

struct TheirEvent {
    icalcomponent* comp = nullptr;
    std::string uid;
    time_t start = kNoTime;
    time_t end = kNoTime;
    bool foreignName = false;
    bool malformedTimeInFile = false;
};

TheirEvent their_event(icalcomponent* comp) {
    TheirEvent e;
    e.comp = comp;
    e.uid = icalcomponent_get_uid(comp) ? icalcomponent_get_uid(comp) : "";
    e.start = utc_of(icalcomponent_get_dtstart(comp),
                     icalcomponent_get_first_property(comp, ICAL_DTSTART_PROPERTY), &e.foreignName);
    if (icalproperty* endProp = icalcomponent_get_first_property(comp, ICAL_DTEND_PROPERTY))
        e.end = utc_of(icalcomponent_get_dtend(comp), endProp, &e.foreignName);
    else if (icalcomponent_get_first_property(comp, ICAL_DURATION_PROPERTY) && e.start != kNoTime)
        e.end = e.start + icaldurationtype_as_int(icalcomponent_get_duration(comp));
    return e;
}

// ---- the named rules --------------------------------------------------------

bool given_twice(const TheirEvent& e) {
    for (icalproperty_kind kind : {ICAL_DTSTART_PROPERTY, ICAL_DTEND_PROPERTY, ICAL_DURATION_PROPERTY})
        if (icalcomponent_count_properties(e.comp, kind) > 1) return true;
    return false;
}

// Whether a DTSTART or DTEND of the text has a value that is no date-time
// text of 8, 15 or 16 characters ("19970701T10300Z"): libical guesses, here
// it is not read.
bool malformed_time_text(const std::string& text) {
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const std::string name = upper(line.substr(0, line.find_first_of(";:")));
        const std::string value = line.substr(line.rfind(':') + 1);
        if ((name == "DTSTART" || name == "DTEND") &&
            calparser_validate_isodate(value.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr,
                                       nullptr, nullptr) != 0)
            return true;
    }
    return false;
}

// The VTIMEZONE of the event's DTSTART holds a change without RRULE beside
// others: a one-off change that a yearly rule cannot hold.
bool one_off_zone_change(const TheirEvent& e) {
    const icaltimezone* zone = icaltime_get_timezone(icalcomponent_get_dtstart(e.comp));
    icalcomponent* vtimezone = zone ? icaltimezone_get_component((icaltimezone*)zone) : nullptr;
    if (!vtimezone || icalcomponent_get_parent(vtimezone) == nullptr) return false;
    int observances = 0;
    bool withoutRule = false;
    for (icalcomponent* c = icalcomponent_get_first_component(vtimezone, ICAL_ANY_COMPONENT); c;
         c = icalcomponent_get_next_component(vtimezone, ICAL_ANY_COMPONENT)) {
        observances++;
        withoutRule = withoutRule || (icalcomponent_get_first_property(c, ICAL_DTSTART_PROPERTY) &&
                                      !icalcomponent_get_first_property(c, ICAL_RRULE_PROPERTY));
    }
    return withoutRule && observances > 1;
}

const std::vector<std::pair<std::string, std::function<bool(const TheirEvent&)>>> kRules = {
    {"property given twice (the later one wins here, the first in libical)", given_twice},
    {"VTIMEZONE change without RRULE (a yearly rule cannot hold it)", one_off_zone_change},
    {"event without UID (a generated one here)", [](const TheirEvent& e) { return e.uid.empty(); }},
    // A DURATION too long for libical wraps its end to before the start;
    // here it is not read and the end falls back to the start.
    {"DURATION that wraps libical's end before its start",
     [](const TheirEvent& e) {
         return icalcomponent_get_first_property(e.comp, ICAL_DURATION_PROPERTY) &&
                e.end != kNoTime && e.end < e.start;
     }},
    {"DTSTART or DTEND in the file that is no date-time text",
     [](const TheirEvent& e) { return e.malformedTimeInFile; }},
};

// The first rule that explains a disagreement, or "".
std::string explain(const TheirEvent& e) {
    for (const auto& rule : kRules)
        if (rule.second(e)) return rule.first;
    return "";
}

std::vector<fs::path> inputs() {
    std::vector<fs::path> files;
    const fs::path root(CALPARSER_SOURCE_ROOT);
    for (const fs::path& dir : {corpus_files::corpus_dir(), root / "examples",
                                root / "tests" / "data" / "foreign_zones"})
        for (const fs::path& path : corpus_files::files_under(dir))
            if (path.extension() != ".xml") files.push_back(path);
    std::sort(files.begin(), files.end());
    return files;
}

using LibicalDifferential = LibicalTest;

}  // namespace

TEST_F(LibicalDifferential, StartAndEndOfEveryEvent) {
    Tally tally;
    int foreign = 0;
    for (const fs::path& path : inputs()) {
        const std::string text = first_calendar(corpus_files::read_file(path));
        const std::string file = fs::relative(path, corpus_files::corpus_dir()).string();
        const bool malformed = malformed_time_text(text);
        IcalTree tree = libical_parse(text);
        std::vector<icalcomponent*> comps;
        collect_components(tree.get(), &comps);
        std::vector<TheirEvent> theirs;
        for (icalcomponent* comp : comps) {
            if (icalcomponent_isa(comp) != ICAL_VEVENT_COMPONENT) continue;
            theirs.push_back(their_event(comp));
            theirs.back().malformedTimeInFile = malformed;
        }
        std::multimap<std::string, std::pair<time_t, time_t>> ours;  // start, end by UID
        each_record(text, [&](unsigned slot, const CALDB_COMPONENT* c) {
            if (slot != CALPARSER_SLOT_EVENTS) return;
            const time_t end = reinterpret_cast<const CALDB_VEVENT*>(c)->tDtEnd;
            ours.emplace(c->pUid ? c->pUid : "",
                         std::make_pair(c->tDtStart > 0 ? c->tDtStart : kNoTime,
                                        end > 0 ? end : kNoTime));
        });
        for (const TheirEvent& e : theirs) {
            if (e.start == kNoTime) continue;
            bool agrees = false;
            std::string ourTimes;
            auto range = ours.equal_range(e.uid);
            for (auto it = range.first; it != range.second; ++it) {
                agrees = agrees || (it->second.first == e.start &&
                                    (e.end == kNoTime || it->second.second == e.end));
                ourTimes += " " + utc_text(it->second.first) + "/" + utc_text(it->second.second);
            }
            const std::string rule = agrees ? "" : explain(e);
            if (agrees) {
                tally.agreed++;
                foreign += e.foreignName;
            } else if (!rule.empty()) {
                tally.byRule[rule]++;
            } else {
                ADD_FAILURE() << file << " UID " << e.uid << ": libical " << utc_text(e.start)
                              << "/" << utc_text(e.end) << ", ours"
                              << (ourTimes.empty() ? " none" : ourTimes);
            }
        }
    }
    tally.print("start and end");
    printf("  (%d of the agreeing events name their zone in a way libical leaves floating)\n",
           foreign);
    EXPECT_GE(foreign, 6);
    EXPECT_GE(tally.agreed, 160);
}
