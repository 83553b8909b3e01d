// Spot checks of the committed registry file data/timezones.ics, read as text: its line
// shape, the rules of a few well-known zones, their crossings and the fallback zone.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <unicode/basictz.h>
#include <unicode/timezone.h>
#include <unicode/tztrans.h>

#include "tests/support/zone_builders.h"

namespace {

using zone_test::utc;
using zone_test::wall_text;

using Lines = std::vector<std::string>;

// Logical lines: folds (CR LF and one space) removed, split at CR LF.
Lines unfold(const std::string& text) {
    Lines lines;
    std::string line;
    for (size_t i = 0; i < text.size(); i++) {
        if (text.compare(i, 2, "\r\n") != 0) {
            line.push_back(text[i]);
        } else if (i + 2 < text.size() && text[i + 2] == ' ') {
            i += 2;
        } else {
            lines.push_back(line);
            line.clear();
            i++;
        }
    }
    return lines;
}

struct Registry {
    std::string raw;
    Lines ids;                           // TZIDs in file order
    std::map<std::string, Lines> zones;  // TZID -> the VTIMEZONE's logical lines
};

const Registry& registry() {
    static const Registry r = [] {
        Registry reg;
        std::ifstream in(std::string(CALPARSER_SOURCE_ROOT) + "/data/timezones.ics",
                         std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        reg.raw = text.str();
        Lines current;
        std::string id;
        for (const std::string& line : unfold(reg.raw)) {
            if (line == "BEGIN:VTIMEZONE") current.clear();
            current.push_back(line);
            if (line.rfind("TZID:", 0) == 0) id = line.substr(5);
            if (line == "END:VTIMEZONE") {
                reg.ids.push_back(id);
                reg.zones[id] = current;
            }
        }
        return reg;
    }();
    return r;
}

// Values of property `name` in sub-component `part` ("" for the VTIMEZONE itself).
Lines values(const std::string& id, const std::string& part, const std::string& name) {
    Lines found;
    auto zone = registry().zones.find(id);
    if (zone == registry().zones.end()) return found;
    std::string in;
    for (const std::string& line : zone->second) {
        if (line == "BEGIN:STANDARD" || line == "BEGIN:DAYLIGHT") in = line.substr(6);
        else if (line == "END:STANDARD" || line == "END:DAYLIGHT") in.clear();
        else if (in == part && line.rfind(name + ":", 0) == 0)
            found.push_back(line.substr(name.size() + 1));
    }
    return found;
}

std::string value(const std::string& id, const std::string& part, const std::string& name) {
    Lines v = values(id, part, name);
    return v.size() == 1 ? v[0] : "<" + std::to_string(v.size()) + " values>";
}

Lines crossings(const std::string& id) {
    Lines list;
    Lines property = values(id, "", "X-KVAL-TZCROSS");
    if (property.size() != 1) return list;
    std::stringstream items(property[0]);
    std::string item;
    while (std::getline(items, item, ';')) list.push_back(item);
    return list;
}

// Local wall-clock text of the change that a week-of-month RRULE (a positive week or
// -1) and its DTSTART give in `year`, e.g. "20260308T020000" for BYMONTH=3;BYDAY=2SU.
std::string rule_change_in(int year, const std::string& rrule, const std::string& dtstart) {
    static const std::string kDays = "SUMOTUWETHFRSA";
    size_t month = rrule.find("BYMONTH=");
    size_t byday = rrule.find("BYDAY=");
    if (month == std::string::npos || byday == std::string::npos) return "<no rule>";
    std::string day = rrule.substr(byday + 6);
    int week = std::atoi(day.substr(0, day.size() - 2).c_str());
    int weekday = (int)kDays.find(day.substr(day.size() - 2)) / 2;  // 0 = Sunday
    // From the first day of the month forward, or from the last (day 0 of the next) back.
    struct tm anchor = {};
    anchor.tm_year = year - 1900;
    anchor.tm_mon = std::atoi(rrule.c_str() + month + 8) - (week > 0 ? 1 : 0);
    anchor.tm_mday = week > 0 ? 1 : 0;
    time_t when = timegm(&anchor);  // normalises and sets tm_wday
    int days = week > 0 ? (weekday - anchor.tm_wday + 7) % 7 + 7 * (week - 1)
                        : -((anchor.tm_wday - weekday + 7) % 7);
    when += (time_t)days * 86400 + std::atoi(dtstart.substr(9, 2).c_str()) * 3600 +
            std::atoi(dtstart.substr(11, 2).c_str()) * 60;
    return wall_text(when);
}

// ICU's changes of `year` into (toDaylight) or out of daylight time, as local wall-clock
// texts of the time before each change.
Lines icu_changes_in(const icu::BasicTimeZone& zone, int year, bool toDaylight) {
    Lines changes;
    UDate base = (UDate)utc(std::to_string(year) + "0101T000000Z") * 1000.0 - 1;
    UDate end = (UDate)utc(std::to_string(year + 1) + "0101T000000Z") * 1000.0;
    icu::TimeZoneTransition t;
    while (zone.getNextTransition(base, false, t) && t.getTime() < end) {
        base = t.getTime();
        bool fromDaylight = t.getFrom()->getDSTSavings() != 0;
        bool intoDaylight = t.getTo()->getDSTSavings() != 0;
        if (fromDaylight == intoDaylight || intoDaylight != toDaylight) continue;
        double wallMs = t.getTime() + t.getFrom()->getRawOffset() + t.getFrom()->getDSTSavings();
        changes.push_back(wall_text((time_t)(wallMs / 1000)));
    }
    return changes;
}

}  // namespace

// CR LF everywhere, no physical line over 75 octets, one VTIMEZONE per ID in byte order.
TEST(TzFile, LineShapeAndOrder) {
    const std::string& raw = registry().raw;
    ASSERT_FALSE(raw.empty()) << "data/timezones.ics is missing";
    EXPECT_EQ(0u, raw.rfind("BEGIN:VCALENDAR\r\n", 0));
    EXPECT_EQ(raw.size() - 15, raw.find("END:VCALENDAR\r\n", raw.size() - 15));
    size_t start = 0;
    while (start < raw.size()) {
        size_t end = raw.find('\n', start);
        ASSERT_NE(std::string::npos, end);
        ASSERT_GT(end, start);
        EXPECT_EQ('\r', raw[end - 1]) << "bare LF at offset " << end;
        EXPECT_LE(end - 1 - start, 75u) << "long line at offset " << start;
        EXPECT_EQ(std::string::npos, raw.substr(start, end - 1 - start).find('\r'));
        start = end + 1;
    }
    const Lines& ids = registry().ids;
    EXPECT_GT(ids.size(), 400u);
    EXPECT_TRUE(std::is_sorted(ids.begin(), ids.end()));
    EXPECT_EQ(ids.end(), std::adjacent_find(ids.begin(), ids.end()));
}

// US rules since 2007: second Sunday of March to first Sunday of November at
// 02:00, that is 07:00 UTC in March (EST) and 06:00 UTC in November (EDT); two
// crossings a year, 1990-2010.
TEST(TzFile, NewYorkRulesCrossingsAndLink) {
    const char* ny = "America/New_York";
    EXPECT_EQ("19700308T020000", value(ny, "DAYLIGHT", "DTSTART"));
    EXPECT_EQ("FREQ=YEARLY;BYMONTH=3;BYDAY=2SU", value(ny, "DAYLIGHT", "RRULE"));
    EXPECT_EQ("19701101T020000", value(ny, "STANDARD", "DTSTART"));
    EXPECT_EQ("FREQ=YEARLY;BYMONTH=11;BYDAY=1SU", value(ny, "STANDARD", "RRULE"));
    Lines list = crossings(ny);
    ASSERT_EQ(42u, list.size());
    EXPECT_EQ("19900401T070000Z", list[0]);
    EXPECT_EQ("19901028T060000Z", list[1]);
    auto start2007 = std::find(list.begin(), list.end(), "20070311T070000Z");
    ASSERT_NE(list.end(), start2007);
    EXPECT_EQ(0, (start2007 - list.begin()) % 2);  // a start sits at an even position
    EXPECT_EQ("20071104T060000Z", *(start2007 + 1));
    EXPECT_EQ("20101107T060000Z", list.back());

    // A link carries the same rules, and each name lists the others, never itself.
    EXPECT_EQ(Lines{"US/Eastern"}, values(ny, "", "X-Z9KQ-TZID-ALIAS"));
    EXPECT_EQ(Lines{ny}, values("US/Eastern", "", "X-Z9KQ-TZID-ALIAS"));
    EXPECT_EQ(values(ny, "DAYLIGHT", "RRULE"), values("US/Eastern", "DAYLIGHT", "RRULE"));
    EXPECT_EQ(list, crossings("US/Eastern"));
}

// No daylight time: STANDARD alone, no rule and no crossings. Casablanca is the last
// fallback of every conversion, so it is plain UTC although Morocco keeps other time.
TEST(TzFile, ZonesWithoutDaylightTime) {
    const std::pair<const char*, const char*> zones[] = {{"Asia/Tokyo", "+0900"},
                                                         {"Africa/Casablanca", "+0000"}};
    for (const auto& zone : zones) {
        EXPECT_EQ(zone.second, value(zone.first, "STANDARD", "TZOFFSETFROM"));
        EXPECT_EQ(zone.second, value(zone.first, "STANDARD", "TZOFFSETTO"));
        EXPECT_TRUE(values(zone.first, "STANDARD", "RRULE").empty());
        EXPECT_TRUE(values(zone.first, "DAYLIGHT", "TZOFFSETTO").empty());
        EXPECT_TRUE(values(zone.first, "", "X-KVAL-TZCROSS").empty());
    }
}

// EU rules change at 01:00 UTC: 02:00 local in spring, 03:00 (summer time) in autumn.
TEST(TzFile, UtcRuleTimesBecomeWallClockTimes) {
    EXPECT_EQ("FREQ=YEARLY;BYMONTH=3;BYDAY=-1SU", value("Europe/Berlin", "DAYLIGHT", "RRULE"));
    EXPECT_EQ("19700329T020000", value("Europe/Berlin", "DAYLIGHT", "DTSTART"));
    EXPECT_EQ("FREQ=YEARLY;BYMONTH=10;BYDAY=-1SU", value("Europe/Berlin", "STANDARD", "RRULE"));
    EXPECT_EQ("19701025T030000", value("Europe/Berlin", "STANDARD", "DTSTART"));
    // Chile changes at 04:00 UTC on the Sunday on or after 2 September; six hours west of
    // UTC that is 22:00 on the Saturday on or after 1 September, the first Saturday.
    EXPECT_EQ("FREQ=YEARLY;BYMONTH=9;BYDAY=1SA", value("Pacific/Easter", "DAYLIGHT", "RRULE"));
    EXPECT_EQ("19700905T220000", value("Pacific/Easter", "DAYLIGHT", "DTSTART"));
    EXPECT_TRUE(values("Pacific/Easter", "DAYLIGHT", "COMMENT").empty());
}

// Friday on or after 23 March (23..29) is best matched by the fourth Friday (22..28),
// which agrees in 6 of 7 weekday positions; the file says so in a COMMENT.
TEST(TzFile, InexactRuleIsApproximatedAndNoted) {
    EXPECT_EQ("FREQ=YEARLY;BYMONTH=3;BYDAY=4FR", value("Asia/Jerusalem", "DAYLIGHT", "RRULE"));
    std::string note = value("Asia/Jerusalem", "DAYLIGHT", "COMMENT");
    EXPECT_NE(std::string::npos, note.find("Friday on or after March 23")) << note;
    EXPECT_NE(std::string::npos, note.find("24 of 28 years")) << note;
    EXPECT_TRUE(values("America/New_York", "DAYLIGHT", "COMMENT").empty());
}

// Sydney is in summer time on 1 January 1990: the list starts with the start of October
// 1989 (last Sunday, 02:00 AEST = 16:00 UTC the day before) and ends with the end of
// April 2011 (first Sunday, 03:00 AEDT = 16:00 UTC the day before).
TEST(TzFile, SouthernZoneListIsClosedOnBothSides) {
    Lines list = crossings("Australia/Sydney");
    ASSERT_GE(list.size(), 2u);
    EXPECT_EQ(0u, list.size() % 2);
    EXPECT_EQ("19891028T160000Z", list[0]);
    EXPECT_EQ("19900303T160000Z", list[1]);
    EXPECT_EQ("20110402T160000Z", list.back());
}

// Every zone: a STANDARD part, ascending crossings in start/end pairs, and in 1990-2010
// the daylight flag the list implies (odd count of crossings at or before the instant)
// agrees with ICU's own offsets at noon UTC of every day.
TEST(TzFile, EveryCrossingListAgreesWithIcu) {
    const time_t first = utc("19900101T120000Z");
    const time_t last = utc("20101231T120000Z");
    for (const std::string& id : registry().ids) {
        EXPECT_EQ(1u, values(id, "STANDARD", "TZOFFSETTO").size()) << id;
        std::vector<time_t> list;
        for (const std::string& c : crossings(id)) list.push_back(utc(c));
        EXPECT_TRUE(std::is_sorted(list.begin(), list.end())) << id;
        EXPECT_EQ(0u, list.size() % 2) << id;
        if (id == "Africa/Casablanca") continue;
        std::unique_ptr<icu::TimeZone> zone(
            icu::TimeZone::createTimeZone(icu::UnicodeString::fromUTF8(id)));
        for (time_t t = first; t <= last; t += 86400) {
            size_t atOrBefore = std::upper_bound(list.begin(), list.end(), t) - list.begin();
            UErrorCode status = U_ZERO_ERROR;
            int32_t rawMs = 0;
            int32_t dstMs = 0;
            zone->getOffset((UDate)t * 1000.0, false, rawMs, dstMs, status);
            ASSERT_EQ(dstMs != 0, atOrBefore % 2 == 1) << id << " at " << t;
        }
    }
}

// Every rule written without a COMMENT lands exactly on ICU's changes of the coming years,
// at the wall-clock time before the change.
TEST(TzFile, ExactRulesMatchIcuChanges) {
    int checked = 0;
    for (const std::string& id : registry().ids) {
        std::unique_ptr<icu::TimeZone> zone(
            icu::TimeZone::createTimeZone(icu::UnicodeString::fromUTF8(id)));
        auto basic = dynamic_cast<const icu::BasicTimeZone*>(zone.get());
        ASSERT_NE(nullptr, basic) << id;
        for (const char* part : {"DAYLIGHT", "STANDARD"}) {
            Lines rrule = values(id, part, "RRULE");
            if (rrule.empty() || !values(id, part, "COMMENT").empty()) continue;
            std::string dtstart = value(id, part, "DTSTART");
            for (int year = 2026; year <= 2030; year++) {
                Lines icu = icu_changes_in(*basic, year, part == std::string("DAYLIGHT"));
                std::string mine = rule_change_in(year, rrule[0], dtstart);
                EXPECT_NE(icu.end(), std::find(icu.begin(), icu.end(), mine))
                    << id << " " << part << " " << mine;
            }
            checked++;
        }
    }
    EXPECT_GT(checked, 100);
}
