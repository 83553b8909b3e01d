/* Time-zone records: a VTIMEZONE of the input or of the time-zone file, with
 * its STANDARD and DAYLIGHT sub-zones, and their constructors and
 * destructors.
 *
 * Ownership as in public/db/caldb.h: records are calloc'd and freed with
 * free(), texts are PL_strdup'd and owned by their record, lists are owned
 * with their elements. A "time list" holds time values (seconds since the
 * epoch) as the elements themselves, not pointers to them: read one with
 * caldb_time_list_at or (time_t)(intptr_t)array_elementat(list, i). */
#ifndef PUBLIC_DB_CALDB_TIMEZONE_H
#define PUBLIC_DB_CALDB_TIMEZONE_H

#include "public/util/export.h"

#include <stdint.h>
#include <time.h>

#include "public/util/array.h"

#ifdef __cplusplus
#include <unicode/uversion.h>
U_NAMESPACE_BEGIN
class TimeZone;
U_NAMESPACE_END
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* The stored part of a time zone. */
typedef struct CALDB_VTIMEZONE {
    int32_t tLastModified; /* LAST-MODIFIED */
    int nAuxValue;         /* record library's own word */
    char* pTzid;           /* TZID; a zone without one is not valid */
    char* pTzUrl;          /* TZURL */
    array_t* aXProps;      /* other X- lines (texts) */
} CALDB_VTIMEZONE;

/* The stored record of a STANDARD or DAYLIGHT sub-zone. */
typedef struct CALDB_VZONE {
    int32_t tDtStart;   /* DTSTART in seconds */
    int nOffsetFrom;    /* TZOFFSETFROM, minutes east of UTC */
    int nOffsetTo;      /* TZOFFSETTO, minutes east of UTC */
    int32_t tAuxTime;   /* record library's own time */
    int nAuxValue;      /* record library's own integer */
    array_t* aRDates;   /* RDATE instants (time list) */
    array_t* aRRules;   /* RRULE values (texts) */
    array_t* aTzNames;  /* TZNAME values (texts) */
    array_t* aComments; /* COMMENT values (texts) */
    array_t* aXProps;   /* X- lines (texts) */
} CALDB_VZONE;

/* A sub-zone: its stored record and its yearly change rule, in the terms of
 * a rule-based zone. A new sub-zone has no rule: nMonth -1, nDayOfWeek -1,
 * nWeek 0. */
typedef struct CAL_VZONE {
    CALDB_VZONE* pDbZone; /* owned; present in every sub-zone from CAL_VZONE_NEW */
    int nMonth;           /* 0 January .. 11 December; -1 none */
    int nDayOfWeek;       /* 1 SU .. 7 SA; -1 none */
    int nWeek;            /* 1..5 from the start, -1..-5 from the end; 0 none */
    int nTimeMs;          /* wall-clock time of the change, ms after midnight */
    int nStartYear;       /* the parts of DTSTART as parsed */
    int nStartMonth;
    int nStartDay;
    int nStartHour;
    int nStartMinute;
    int nStartSecond;
} CAL_VZONE;

/* A time zone. */
typedef struct CAL_VTIMEZONE {
    CALDB_VTIMEZONE* pDbTimeZone; /* owned; present in every zone from CAL_VTIMEZONE_NEW */
    CAL_VZONE* pDaylight;         /* owned DAYLIGHT sub-zone, or NULL */
    CAL_VZONE* pStandard;         /* owned STANDARD sub-zone, or NULL */
#ifdef __cplusplus
    icu::TimeZone* pIcuZone;      /* owned rule-based zone (deleted), or NULL */
#else
    void* pIcuZone;
#endif
    array_t* aAliases;            /* X-Z9KQ-TZID-ALIAS values (texts) */
    array_t* aTzCross;            /* X-KVAL-TZCROSS instants (time list), file order */
} CAL_VTIMEZONE;

/* Appends `value` to the time list `list` as the element itself. Returns 0,
 * or 3 when `list` is NULL or memory runs out (the list is unchanged). */
int caldb_time_list_append(array_t* list, time_t value);
/* The time at `index` of the time list `list`; 0 out of range or for NULL. */
CALPARSER_API
time_t caldb_time_list_at(const array_t* list, unsigned index);

/* A new sub-zone with its zeroed stored record and no rule, or NULL when
 * memory runs out. */
CALPARSER_API
CAL_VZONE* CAL_VZONE_NEW(void);
/* Frees the sub-zone, its stored record and the record's lists, stores NULL.
 * Returns 0; a NULL address or sub-zone is a no-op. */
CALPARSER_API
int CAL_VZONE_FREE(CAL_VZONE** ppZone);

/* A new zone with its zeroed stored part and no sub-zones, rule-based zone,
 * aliases or crossings, or NULL when memory runs out. */
CALPARSER_API
CAL_VTIMEZONE* CAL_VTIMEZONE_NEW(void);
/* Frees the zone with its sub-zones, stored part, rule-based zone and lists,
 * stores NULL. Returns 0; a NULL address or zone is a no-op. */
CALPARSER_API
int CAL_VTIMEZONE_FREE(CAL_VTIMEZONE** ppZone);
/* Frees every zone of pList with CAL_VTIMEZONE_FREE, from the last to the
 * first, removing each entry; the empty array stays the caller's (delete it
 * with array_delete). Returns 0; a NULL list is a no-op. */
CALPARSER_API
int CAL_VTIMEZONE_FreeCalVTimeZoneList(array_t* pList);

#ifdef __cplusplus
}
#endif

#endif
