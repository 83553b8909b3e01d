/* VTIMEZONE output of the iCalendar serializer: the zone's own lines, then
 * STANDARD and DAYLIGHT with what their records hold. The change rules of a
 * sub-zone are not written as such: the reader derives them again from the
 * DTSTART, RRULE and RDATE lines written here. */
#include "core/parser/cal_serialize_parts.h"

#include <stdio.h>
#include <stdlib.h>

#include "core/parser/calparser.h"

namespace calparser_serialize {

namespace {

constexpr int kMinutesPerHour = 60;
/* The reader takes a 4th or 5th weekday of a month for the last one. */
constexpr int kFirstWeekCountedAsLast = 4;
constexpr int kLastWeek = -1;

/* "+hhmm" or "-hhmm" of an offset in minutes east of UTC. */
void put_offset(LineWriter& w, const char* name, int minutes)
{
    char text[40];
    const int magnitude = abs(minutes);
    snprintf(text, sizeof text, "%s:%c%02d%02d", name, minutes < 0 ? '-' : '+',
             magnitude / kMinutesPerHour, magnitude % kMinutesPerHour);
    w.begin(text);
    w.end();
}

/* A sub-zone's DTSTART text: the date-time as it was parsed, when it reads
 * back to the stored seconds; else the stored seconds in the default zone;
 * "" when there is neither. */
void subzone_start_text(const CAL_VZONE* zone, char out[2 * kDateTimeRoom])
{
    const int32_t t = zone->pDbZone->tDtStart;
    out[0] = '\0';
    if (zone->nStartYear > 0) {
        snprintf(out, 2 * kDateTimeRoom, "%04d%02d%02dT%02d%02d%02d", zone->nStartYear % 10000,
                 zone->nStartMonth % 100, zone->nStartDay % 100, zone->nStartHour % 100,
                 zone->nStartMinute % 100, zone->nStartSecond % 100);
        time_t back = 0;
        if (calparser_datez_to_timet(out, &back, nullptr, nullptr) != 0 || back != (time_t)t)
            out[0] = '\0';
    }
    if (out[0] == '\0' && t >= 1)
        default_zone_text(t, out);
}

/* Whether an RDATE dated `text` gives the sub-zone's rule, as the reader
 * takes it from an RDATE's first date. */
bool rdate_gives_rule(const CAL_VZONE* zone, const char* text)
{
    const int month = datetime_get(text, DATETIME_FIELD_MONTH);
    int week = datetime_get(text, DATETIME_FIELD_WEEK_IN_MONTH);
    if (week >= kFirstWeekCountedAsLast)
        week = kLastWeek;
    return month >= 0 && month == zone->nMonth && week == zone->nWeek &&
           datetime_get(text, DATETIME_FIELD_DAY_OF_WEEK) == zone->nDayOfWeek;
}

/* A rule taken from an RDATE before 1970 outlives the RDATE, whose instant
 * (a time below 1) is not kept. The DTSTART date stands in for it when it
 * gives the same rule and is no kept instant either. */
void put_rule_rdate(LineWriter& w, const CAL_VZONE* zone, const char* startText)
{
    const CALDB_VZONE* db = zone->pDbZone;
    if (zone->nMonth < 0 || (db->aRRules && db->aRRules->count > 0) ||
        (db->aRDates && db->aRDates->count > 0) || startText[0] == '\0')
        return;
    time_t instant = 0;
    calparser_datez_to_timet(startText, &instant, nullptr, nullptr);
    if (instant >= 1 || !rdate_gives_rule(zone, startText))
        return;
    w.begin("RDATE:");
    w.append(startText);
    w.end();
}

/* One RDATE line per instant, so that the rule the reader takes from the
 * first date of the last line is the last instant's. */
void put_subzone_rdates(LineWriter& w, const array_t* instants)
{
    for (unsigned i = 0; instants && i < instants->count; i++) {
        char text[kDateTimeRoom] = {0};
        default_zone_text((int32_t)caldb_time_list_at(instants, i), text);
        w.begin("RDATE:");
        w.append(text);
        w.end();
    }
}

void put_texts(LineWriter& w, const char* name, const array_t* items, Escape mode)
{
    for (unsigned i = 0; items && i < items->count; i++) {
        w.begin(name);
        w.value((const char*)items->data[i], mode);
        w.end();
    }
}

void write_subzone(LineWriter& w, const CAL_VZONE* zone, const char* kind)
{
    if (!zone || !zone->pDbZone)
        return;
    const CALDB_VZONE* db = zone->pDbZone;
    w.begin("BEGIN:");
    w.append(kind);
    w.end();
    char start[2 * kDateTimeRoom];
    subzone_start_text(zone, start);
    if (start[0] != '\0') {
        w.begin("DTSTART:");
        w.append(start);
        w.end();
    }
    put_offset(w, "TZOFFSETFROM", db->nOffsetFrom);
    put_offset(w, "TZOFFSETTO", db->nOffsetTo);
    put_texts(w, "RRULE", db->aRRules, Escape::Raw);
    put_subzone_rdates(w, db->aRDates);
    put_rule_rdate(w, zone, start);
    put_texts(w, "TZNAME", db->aTzNames, Escape::Text);
    put_texts(w, "COMMENT", db->aComments, Escape::Text);
    for (unsigned i = 0; db->aXProps && i < db->aXProps->count; i++)
        w.whole_line((const char*)db->aXProps->data[i]);
    w.begin("END:");
    w.append(kind);
    w.end();
}

/* X-KVAL-TZCROSS: every crossing in UTC, separated as the reader splits. */
void put_crossings(LineWriter& w, const array_t* crossings)
{
    if (!crossings || crossings->count == 0)
        return;
    w.begin("X-KVAL-TZCROSS:");
    bool first = true;
    for (unsigned i = 0; i < crossings->count; i++) {
        char text[kDateTimeRoom] = {0};
        if (cal_time_timet_to_datez(caldb_time_list_at(crossings, i), text) != 0)
            continue;
        if (!first)
            w.append(";");
        w.append(text);
        first = false;
    }
    w.end();
}

}  // namespace

void write_vtimezone(LineWriter& w, const CAL_VTIMEZONE* pZone)
{
    if (!pZone || !pZone->pDbTimeZone || !pZone->pDbTimeZone->pTzid)
        return;
    const CALDB_VTIMEZONE* db = pZone->pDbTimeZone;
    w.fixed("BEGIN:VTIMEZONE\r\n");
    w.begin("TZID");
    w.value(db->pTzid, Escape::Text);
    w.end();
    if (db->pTzUrl) {
        w.begin("TZURL");
        w.value(db->pTzUrl, Escape::Raw);
        w.end();
    }
    put_utc(w, "LAST-MODIFIED", db->tLastModified);
    put_texts(w, "X-Z9KQ-TZID-ALIAS", pZone->aAliases, Escape::Text);
    put_crossings(w, pZone->aTzCross);
    for (unsigned i = 0; db->aXProps && i < db->aXProps->count; i++)
        w.whole_line((const char*)db->aXProps->data[i]);
    write_subzone(w, pZone->pStandard, "STANDARD");
    write_subzone(w, pZone->pDaylight, "DAYLIGHT");
    w.fixed("END:VTIMEZONE\r\n");
}

}  // namespace calparser_serialize
