// Every recurring series of the corpus (a VEVENT or VTODO with RRULE or
// RDATE and without RECURRENCE-ID, up to the end of the first calendar,
// where this library stops), expanded by a parse of this library and
// by libical's icalcomponent_foreach_recurrence: the first 60 instance
// starts in UTC, inside 1970-01-01 .. 2038-01-19 (the times a record holds),
// must agree. A series that disagrees passes only when the table below names
// it with the rule that explains it; a series named there that agrees fails
// too, so the table stays true. Series neither library expands (no start
// either can read) are not counted.
#include <limits.h>
#include <string.h>

#include <algorithm>
#include <set>
#include <sstream>

#include "tests/support/corpus_files.h"
#include "tests/support/libical_diff.h"
#include "tests/support/zone_builders.h"

namespace fs = std::filesystem;
using namespace libical_diff;

namespace {

using Starts = std::vector<time_t>;

// "calstore.recurrence.bound" left at its default.
constexpr size_t kBound = 60;
constexpr time_t kLastTime = INT_MAX;
// Each block gets this UID plus its number, so the instances of every
// series can be told apart (UIDs repeat, or are missing, in the corpus).
constexpr char kMarker[] = "x-series-";

// ---- the rules --------------------------------------------------------------

constexpr char kAfterNul[] = "after a NUL byte: libical's string parser stops there";
constexpr char kRdatePeriod[] = "RDATE PERIOD: libical's expansion skips periods";
constexpr char kRdateZoneAsUtc[] =
    "RDATE;TZID: libical's expansion reads the time as UTC, here in the series zone";
constexpr char kRdateZoneNotKept[] =
    "RDATE;TZID other than DTSTART's: the record keeps no TZID for RDATE, read in the series zone";
constexpr char kStartOffRule[] =
    "DTSTART its RRULE does not produce: the first instance here, libical drops it";
constexpr char kDefaultZone[] =
    "series zone is the caller's default zone (calstore.recurrence.series_zone_from_dtstart = 0)";

struct Listed {
    const char* file;  // the end of its path under the corpus folder
    const char* id;    // the series' UID, or "#n": its block number in the file
    const char* rule;
};

constexpr char kRecur[] = "623c13c0-6c2b-45d6-a12b-c33ad61c4868";
constexpr char kSlash[] = "0cab49a0-1167-40f0-bfed-ecb4d117047d";

// An entry naming "__x.ics" stands for both pyicalendar/corpus__x.ics and
// pyicalendar/events__x.ics.
const std::vector<Listed> kListed = {
    {"libical/crash.ics", "19970901T130000Z-123403@host.com", kAfterNul},
    {"/samples__recur_instances.ics", kRecur, kRdateZoneAsUtc},
    {"/samples__recur_instances_finite.ics", kRecur, kRdateZoneAsUtc},
    {"/calendars__issue_1426.ics", "77D80D14-906B-4257-963F-85B1E734DBB6", kRdatePeriod},
    {"/calendars__period_with_timezone.ics", "1", kRdatePeriod},
    {"/calendars__rfc_7265_appendix_example_2_ical.ics", "00959BC664CA650E933C892C@example.com",
     kRdatePeriod},
    {"__issue_156_RDATE_with_PERIOD.ics", "rdate_period", kRdatePeriod},
    {"__issue_156_RDATE_with_PERIOD_list.ics", "rdate_period", kRdatePeriod},
    {"__issue_464_invalid_rdate.ics", "rdate_period", kRdatePeriod},
    // Europe/Berlin beside a New York DTSTART (and a PERIOD).
    {"/calendars__issue_722_missing_timezones.ics", "#0", kRdateZoneNotKept},
    {"__issue_157_removes_trailing_semicolon.ics", "#0", kStartOffRule},
    // Series whose DTSTART names a zone with daylight time, some of them
    // under another rule as well.
    {"/samples__recur_instances.ics", kRecur, kDefaultZone},
    {"/samples__recur_instances_finite.ics", kRecur, kDefaultZone},
    {"/calendars__issue_722_missing_timezones.ics", "#0", kDefaultZone},
    {"/calendars__period_with_timezone.ics", "1", kDefaultZone},
    {"/samples__parserv2.ics", "44c10eaa-db0b-4223-8653-cf2b63f26326", kDefaultZone},
    {"/calendars__issue_466_convert_tzid_with_slash.ics", kSlash, kDefaultZone},
    {"/calendars__issue_466_respect_unique_timezone.ics", kSlash, kDefaultZone},
    {"/calendars__x_location.ics", "BFE33ADD-5553-48B5-B5A5-F9DA5CA4C393", kDefaultZone},
    {"__event_with_recurrence_exdates_on_different_lines.ics", "#0", kDefaultZone},
    {"__issue_112_missing_tzinfo_on_exdate.ics", "ak30b02u7858q1oo6ji9dm4mgg@google.com",
     kDefaultZone},
};

// ---- the corpus, with every series marked -------------------------------------

struct Series {
    std::string id;
    Starts theirs;
};

struct File {
    std::string name;
    std::string text;                 // with the marker UIDs
    std::map<size_t, Series> series;  // by block number
};

// `text` without its folds.
std::string unfold(const std::string& text) {
    std::string out;
    for (size_t at = 0; at < text.size(); at++) {
        const size_t next = at + (text[at] == '\r' && at + 1 < text.size() && text[at + 1] == '\n');
        if (text[next] == '\n' && next + 1 < text.size() && (text[next + 1] == ' ' || text[next + 1] == '\t'))
            at = next + 1;
        else
            out += text[at];
    }
    return out;
}

bool names(const std::string& upperLine, const std::string& property) {
    return upperLine.compare(0, property.size(), property) == 0 &&
           (upperLine[property.size()] == ':' || upperLine[property.size()] == ';');
}

// A VEVENT or VTODO block as the text shows it.
struct Block {
    std::string uid;
    bool recurring = false;
    bool instance = false;
};

// The text unfolded, with the UID lines of every block (not of its alarms)
// replaced by the marker UID.
std::string mark_blocks(const std::string& text, std::vector<Block>* blocks) {
    std::string out;
    std::string blockEnd;  // "END:VEVENT" while inside a block
    int depth = 0;         // of components nested in the block (alarms)
    std::istringstream lines(unfold(text));
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const std::string u = upper(line);
        if (blockEnd.empty() && (u == "BEGIN:VEVENT" || u == "BEGIN:VTODO")) {
            blockEnd = "END:" + u.substr(6);
            blocks->push_back(Block{});
            out += line + "\r\nUID:" + kMarker + std::to_string(blocks->size() - 1) + "\r\n";
            continue;
        }
        if (!blockEnd.empty()) {
            Block& block = blocks->back();
            depth += names(u, "BEGIN") - names(u, "END");
            if (depth == 0 && names(u, "UID")) {
                block.uid = line.substr(line.find(':') + 1);
                continue;
            }
            block.recurring = block.recurring || names(u, "RRULE") || names(u, "RDATE");
            block.instance = block.instance || names(u, "RECURRENCE-ID");
            if (u == blockEnd && depth < 0) {
                blockEnd.clear();
                depth = 0;
            }
        }
        out += line + "\r\n";
    }
    return out;
}

// The block number a marker UID carries, or -1.
long marked_block(const char* uid) {
    if (!uid || strncmp(uid, kMarker, strlen(kMarker)) != 0) return -1;
    return strtol(uid + strlen(kMarker), nullptr, 10);
}

// ---- libical's expansion ------------------------------------------------------

void add_start(icalcomponent*, struct icaltime_span* span, void* starts) {
    static_cast<Starts*>(starts)->push_back(span->start);
}

// libical's first kBound distinct instances from 1970 on, ascending. The
// window's end grows from DTSTART until it holds kBound instances or reaches
// 2038: libical walks a rule to the window's end, and most series need a
// year or two, not 68.
Starts libical_starts(icalcomponent* comp) {
    const icaltimezone* utc = icaltimezone_get_utc_timezone();
    const icaltimetype dtstart = icalcomponent_get_dtstart(comp);
    if (icaltime_is_null_time(dtstart)) return {};
    const long long start = std::max<long long>(
        0, icaltime_as_timet_with_zone(dtstart, dtstart.zone ? dtstart.zone : utc));
    for (long long span = 64LL * 86400;; span *= 2) {
        const time_t until = (time_t)std::min<long long>(start + span, kLastTime);
        Starts starts;
        icalcomponent_foreach_recurrence(comp, icaltime_from_timet_with_zone(1, 0, utc),
                                         icaltime_from_timet_with_zone(until, 0, utc), add_start,
                                         &starts);
        std::sort(starts.begin(), starts.end());
        starts.erase(std::unique(starts.begin(), starts.end()), starts.end());
        starts.erase(std::remove_if(starts.begin(), starts.end(),
                                    [until](time_t t) { return t < 1 || t > until; }),
                     starts.end());
        if (starts.size() > kBound) starts.resize(kBound);
        if (starts.size() >= kBound || until == kLastTime) return starts;
    }
}

// The corpus files that hold a series, each series expanded by libical.
std::vector<File> read_corpus() {
    std::vector<File> files;
    const fs::path root = corpus_files::corpus_dir();
    for (const fs::path& path : corpus_files::files_under(root)) {
        File file;
        std::vector<Block> blocks;
        file.name = fs::relative(path, root).string();
        file.text = mark_blocks(first_calendar(corpus_files::read_file(path)), &blocks);
        std::multiset<std::string> uids;
        for (const Block& b : blocks)
            if (b.recurring && !b.instance) uids.insert(b.uid);
        for (size_t i = 0; i < blocks.size(); i++) {
            if (!blocks[i].recurring || blocks[i].instance) continue;
            Series& s = file.series[i];
            s.id = !blocks[i].uid.empty() && uids.count(blocks[i].uid) == 1
                       ? blocks[i].uid : "#" + std::to_string(i);
        }
        if (file.series.empty()) continue;
        IcalTree tree = libical_parse(file.text);
        std::vector<icalcomponent*> comps;
        collect_components(tree.get(), &comps);
        for (icalcomponent* comp : comps) {
            auto series = file.series.find(marked_block(icalcomponent_get_uid(comp)));
            if (series != file.series.end()) series->second.theirs = libical_starts(comp);
        }
        files.push_back(std::move(file));
    }
    return files;
}

// ---- the comparison -----------------------------------------------------------

std::string utc_texts(const Starts& starts) {
    std::string text;
    for (size_t i = 0; i < starts.size() && i < 6; i++)
        text += " " + zone_test::wall_text(starts[i]) + "Z";
    return text + (starts.size() > 6 ? " ... (" + std::to_string(starts.size()) + ")" : "");
}

// The rule the table gives the series, "" when none; its entries are marked
// used. With the key at 0 an entry under kDefaultZone comes first, and
// without it such an entry does not count.
std::string listed_rule(const std::string& file, const Series& s, bool defaultZone,
                        std::set<const Listed*>* used) {
    const char* rule = nullptr;
    for (const Listed& entry : kListed) {
        const size_t length = strlen(entry.file);
        if (file.size() < length || file.compare(file.size() - length, length, entry.file) != 0 ||
            s.id != entry.id)
            continue;
        used->insert(&entry);
        const bool first = entry.rule == kDefaultZone ? defaultZone : rule == nullptr;
        if (first) rule = entry.rule;
    }
    return rule ? rule : "";
}

class LibicalExpansion : public LibicalTest {
protected:
    // Compares every series with the key at `seriesZoneKey` and prints the
    // count that agrees and the count of each rule.
    static void compare_all(const char* seriesZoneKey) {
        static const std::vector<File> corpus = read_corpus();
        config_set_string(config_getdefaultcache(), CALPARSER_SERIES_ZONE_KEY, seriesZoneKey);
        const bool defaultZone = strcmp(seriesZoneKey, "0") == 0;
        std::set<const Listed*> used;
        Tally tally;
        for (const File& file : corpus) {
            std::map<long, Starts> ours;  // instance starts by block, ascending
            each_record(file.text, [&](unsigned, const CALDB_COMPONENT* record) {
                if (record->tDtStart > 0)
                    ours[marked_block(record->pUid)].push_back(record->tDtStart);
            });
            for (auto& series : ours) std::sort(series.second.begin(), series.second.end());
            for (const auto& [block, s] : file.series) {
                const Starts& mine = ours[(long)block];
                if (mine.empty() && s.theirs.empty()) continue;  // neither expands it
                const std::string rule = listed_rule(file.name, s, defaultZone, &used);
                const bool agrees = mine == s.theirs;
                tally.agreed += agrees;
                if (!rule.empty()) tally.byRule[rule]++;
                if (agrees && !rule.empty())
                    ADD_FAILURE() << file.name << " " << s.id << " agrees, yet is listed: " << rule;
                if (!agrees && rule.empty())
                    ADD_FAILURE() << file.name << " " << s.id << ": libical"
                                  << utc_texts(s.theirs) << ", ours" << utc_texts(mine);
            }
        }
        for (const Listed& entry : kListed)
            if (!used.count(&entry))
                ADD_FAILURE() << "listed, but no such series: " << entry.file << " " << entry.id;
        tally.print(std::string("series zone key ") + seriesZoneKey);
    }
};

}  // namespace

// calparse's setting: a series keeps the wall-clock time of its DTSTART.
TEST_F(LibicalExpansion, SeriesInTheZoneOfTheirStart) { compare_all("1"); }

// The library's default: a series without X-KVAL-DTSTART-TZID is expanded in
// the caller's default zone.
TEST_F(LibicalExpansion, SeriesInTheDefaultZone) { compare_all("0"); }
