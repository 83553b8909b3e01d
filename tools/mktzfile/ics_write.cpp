/* iCalendar text of the registry file.
 *
 * Lines end in CR LF, the iCalendar norm; the library's lexer ends a line at the LF and
 * drops the CR while unfolding. The crossing list is one X-KVAL-TZCROSS property whose
 * date-times are separated by semicolons, the list form the registry splits; folding may
 * cut a date-time, since unfolding removes CR LF and the following space exactly. */
#include "tools/mktzfile/ics_write.h"

#include <cstdio>
#include <cstdlib>

#include "tools/mktzfile/tz_date.h"

namespace mktz {

namespace {

const char* const kRuleWeekdays[7] = {"SU", "MO", "TU", "WE", "TH", "FR", "SA"};

bool is_utf8_continuation(char c) {
    return ((unsigned char)c & 0xC0) == 0x80;
}

/* The first DTSTART of a rule: its day in 1970 at the wall-clock time of the change. */
std::string rule_dtstart(const WeekRule& r) {
    char text[32];
    int day = week_rule_day(1970, r.month, r.week, r.weekday);
    snprintf(text, sizeof text, "1970%02d%02dT%02d%02d00", r.month, day, r.wallMinutes / 60,
             r.wallMinutes % 60);
    return text;
}

std::string rule_rrule(const WeekRule& r) {
    char text[64];
    snprintf(text, sizeof text, "FREQ=YEARLY;BYMONTH=%d;BYDAY=%d%s", r.month, r.week,
             kRuleWeekdays[r.weekday - 1]);
    return text;
}

void append_observance(std::string* out, const char* kind, const Observance& o) {
    append_content_line(out, std::string("BEGIN:") + kind);
    append_content_line(out, "DTSTART:" + (o.hasRule ? rule_dtstart(o.rule)
                                                     : std::string("19700101T000000")));
    append_content_line(out, "TZOFFSETFROM:" + utc_offset_text(o.offsetFromSeconds));
    append_content_line(out, "TZOFFSETTO:" + utc_offset_text(o.offsetToSeconds));
    if (o.hasRule) append_content_line(out, "RRULE:" + rule_rrule(o.rule));
    if (!o.name.empty()) append_content_line(out, "TZNAME:" + escape_text(o.name));
    if (!o.comment.empty()) append_content_line(out, "COMMENT:" + escape_text(o.comment));
    append_content_line(out, std::string("END:") + kind);
}

}  // namespace

void append_content_line(std::string* out, const std::string& line) {
    size_t pos = 0;
    size_t room = kMaxLineOctets;
    do {
        size_t take = line.size() - pos;
        if (take > room) {
            take = room;
            while (take > 1 && is_utf8_continuation(line[pos + take])) take--;
        }
        if (pos > 0) out->push_back(' ');
        out->append(line, pos, take);
        out->append("\r\n");
        pos += take;
        room = kMaxLineOctets - 1;  // the leading space counts
    } while (pos < line.size());
}

std::string escape_text(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\\' || c == ';' || c == ',') {
            out.push_back('\\');
            out.push_back(c);
        } else if (c == '\n') {
            out.append("\\n");
        } else {
            out.push_back(c);
        }
    }
    return out;
}

std::string utc_offset_text(int seconds) {
    int magnitude = std::abs(seconds);
    char text[16];
    if (magnitude % 60 != 0)
        snprintf(text, sizeof text, "%c%02d%02d%02d", seconds < 0 ? '-' : '+', magnitude / 3600,
                 magnitude / 60 % 60, magnitude % 60);
    else
        snprintf(text, sizeof text, "%c%02d%02d", seconds < 0 ? '-' : '+', magnitude / 3600,
                 magnitude / 60 % 60);
    return text;
}

std::string utc_date_time_text(int64_t seconds) {
    int64_t days = 0;
    int64_t msOfDay = 0;
    split_ms(seconds * 1000, &days, &msOfDay);
    CivilDate d = civil_from_days(days);
    int64_t s = msOfDay / 1000;
    char text[32];
    snprintf(text, sizeof text, "%04d%02d%02dT%02d%02d%02dZ", d.year, d.month, d.day,
             (int)(s / 3600), (int)(s / 60 % 60), (int)(s % 60));
    return text;
}

void append_vtimezone(std::string* out, const ZoneEntry& zone) {
    append_content_line(out, "BEGIN:VTIMEZONE");
    append_content_line(out, "TZID:" + zone.id);
    for (const std::string& alias : zone.aliases)
        append_content_line(out, "X-Z9KQ-TZID-ALIAS:" + alias);
    if (!zone.crossings.empty()) {
        std::string line = "X-KVAL-TZCROSS:";
        for (size_t i = 0; i < zone.crossings.size(); i++) {
            if (i > 0) line.push_back(';');
            line += utc_date_time_text(zone.crossings[i]);
        }
        append_content_line(out, line);
    }
    append_observance(out, "STANDARD", zone.standard);
    if (zone.hasDaylight) append_observance(out, "DAYLIGHT", zone.daylight);
    append_content_line(out, "END:VTIMEZONE");
}

}  // namespace mktz
