// The committed registry file data/timezones.ics read as text: its line shape, links,
// the fallback zone and the rule it cannot write exactly.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

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

// A link carries the same rules and crossings, and each name lists the others, never itself.
TEST(TzFile, LinkedNamesShareTheirZone) {
    const char* ny = "America/New_York";
    EXPECT_EQ(Lines{"US/Eastern"}, values(ny, "", "X-Z9KQ-TZID-ALIAS"));
    EXPECT_EQ(Lines{ny}, values("US/Eastern", "", "X-Z9KQ-TZID-ALIAS"));
    EXPECT_EQ(values(ny, "DAYLIGHT", "RRULE"), values("US/Eastern", "DAYLIGHT", "RRULE"));
    EXPECT_EQ(values(ny, "", "X-KVAL-TZCROSS"), values("US/Eastern", "", "X-KVAL-TZCROSS"));
}

// Casablanca is the last fallback of every conversion, so it is plain UTC
// although Morocco keeps other time: STANDARD alone, no rule, no crossings.
TEST(TzFile, FallbackZoneIsUtc) {
    const char* fallback = "Africa/Casablanca";
    EXPECT_EQ("+0000", value(fallback, "STANDARD", "TZOFFSETFROM"));
    EXPECT_EQ("+0000", value(fallback, "STANDARD", "TZOFFSETTO"));
    EXPECT_TRUE(values(fallback, "STANDARD", "RRULE").empty());
    EXPECT_TRUE(values(fallback, "DAYLIGHT", "TZOFFSETTO").empty());
    EXPECT_TRUE(values(fallback, "", "X-KVAL-TZCROSS").empty());
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
