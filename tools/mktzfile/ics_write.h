/* Writing the registry file's iCalendar text: content lines ended by CR LF and folded at
 * 75 octets, and one VTIMEZONE per zone entry. All output is appended to a string that
 * the caller owns. */
#ifndef MKTZFILE_ICS_WRITE_H
#define MKTZFILE_ICS_WRITE_H

#include <cstdint>
#include <string>

#include "tools/mktzfile/tz_zone.h"

namespace mktz {

/* Longest physical line, in octets, not counting its CR LF. */
constexpr size_t kMaxLineOctets = 75;

/* Appends `line` (one logical content line, without line end) to `out`: cut into physical
 * lines of at most kMaxLineOctets octets, each continuation beginning with one space, each
 * physical line ended by CR LF. A UTF-8 sequence is never cut. */
void append_content_line(std::string* out, const std::string& line);

/* A TEXT value with backslash, semicolon, comma and line feed escaped. */
std::string escape_text(const std::string& text);

/* A UTC offset as "+hhmm" or "-hhmm" ("+hhmmss" when seconds remain). */
std::string utc_offset_text(int seconds);

/* UTC seconds as "YYYYMMDDTHHMMSSZ". */
std::string utc_date_time_text(int64_t seconds);

/* Appends the VTIMEZONE of `zone`, from BEGIN to END. */
void append_vtimezone(std::string* out, const ZoneEntry& zone);

}  // namespace mktz

#endif
