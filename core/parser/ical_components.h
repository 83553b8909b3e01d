/* The rule-based zone builder: turns a VTIMEZONE record's STANDARD and
 * DAYLIGHT yearly rules into the ICU zone (pIcuZone) that converts times
 * outside the crossing tables, and finds a zone by its ICU ID among the
 * VTIMEZONEs of one input. The unit's name is historical; it builds zones,
 * not components. */
#ifndef CORE_PARSER_ICAL_COMPONENTS_H
#define CORE_PARSER_ICAL_COMPONENTS_H

#include "public/util/export.h"

#include <time.h>

#include "public/core_util/timezone.h"
#include "public/db/caldb_timezone.h"
#include "public/util/array.h"

#ifdef __cplusplus
extern "C" {
#endif

/* The ICU zone of a VTIMEZONE record, from the yearly rules and offsets of
 * its sub-zones: with STANDARD and DAYLIGHT, a zone whose daylight time runs
 * from DAYLIGHT's rule to STANDARD's rule and saves the difference of their
 * offsets; with STANDARD alone, a zone at STANDARD's offset without daylight
 * time, also when DAYLIGHT's or STANDARD's rule lies outside ICU's ranges
 * (month 0-11, week -5..5, day 1-7). Either is new and owned by the caller
 * (who stores it in pIcuZone).
 * Without STANDARD (or without the sub-zone's stored record) the record's
 * current pIcuZone is returned unchanged. NULL for a NULL record or when no
 * zone can be made. */
CALPARSER_API
timezone_icu_t* create_SimpleTimeZone(CAL_VTIMEZONE* pTimeZone);

/* The first record of `zones` (CAL_VTIMEZONE records, only read) whose ICU
 * zone's ID equals `name` ignoring case; records without an ICU zone are
 * skipped. NULL for a NULL name or list, or when nothing matches. */
CALPARSER_API
CAL_VTIMEZONE* array_findTimeZone(const char* name, array_t* zones);

/* UTC seconds of the wall-clock text `text` in the record's ICU zone
 * (timezone_DateTimeApplyTimeZone); read as UTC when the record or its ICU
 * zone is NULL. 0 for a text that is not a date-time. */
CALPARSER_API
time_t CAL_VTIMEZONE_DateTimeApplyTimeZone(const char* text, CAL_VTIMEZONE* pTimeZone);

#ifdef __cplusplus
}
#endif

#endif
