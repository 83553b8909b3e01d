/* Comparing two versions of an event or to-do.
 *
 * Two families. The comparison functions answer "same" (0), "different" (1)
 * or, for whole components, "minor change" (2: only the alarms, the
 * extension lines or SEQUENCE differ). The modification-field functions set,
 * in the newer record's modFields, one bit per property that differs from
 * the older record; they only ever set bits, never clear them.
 *
 * Shared rules: two NULL records are the same, exactly one NULL record
 * differs; a NULL text equals an empty text and texts compare ignoring
 * letter case; a NULL list equals an empty list. Nothing is allocated,
 * logged or changed except modFields. */
#ifndef CORE_PARSER_CAL_COMPARE_H
#define CORE_PARSER_CAL_COMPARE_H

#include "public/util/export.h"

#include <time.h>

#include "public/db/caldb.h"
#include "public/util/array.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Bits of modFields, each written as (byte index << 8) | bit value, byte 0
 * being the first byte in memory. */
enum {
    CALPARSER_MOD_DTSTART = 0x0080,
    CALPARSER_MOD_SEQUENCE = 0x0020,
    CALPARSER_MOD_AUXTIME = 0x0010,
    CALPARSER_MOD_LASTMODIFIED = 0x0008,
    CALPARSER_MOD_CREATED = 0x0004,
    CALPARSER_MOD_GEOLAT = 0x0001,
    CALPARSER_MOD_GEOLON = 0x0180,
    CALPARSER_MOD_SUMMARY = 0x0140,
    CALPARSER_MOD_UID = 0x0120,
    CALPARSER_MOD_DESCRIPTION = 0x0110,
    CALPARSER_MOD_LOCATION = 0x0108,
    CALPARSER_MOD_URL = 0x0104,
    CALPARSER_MOD_CLASS = 0x0102,
    CALPARSER_MOD_ORGANIZER_EMAIL = 0x0101,
    CALPARSER_MOD_CHARSET = 0x0280,
    CALPARSER_MOD_LANGUAGE = 0x0240,
    CALPARSER_MOD_DTSTART_TZID = 0x0220,
    CALPARSER_MOD_ORGANIZER = 0x0210,
    CALPARSER_MOD_ATTENDEES = 0x0208,
    CALPARSER_MOD_ALARMS = 0x0204,
    CALPARSER_MOD_RDATES = 0x0202,
    CALPARSER_MOD_EXDATES = 0x0201,
    CALPARSER_MOD_RRULES = 0x0380,
    CALPARSER_MOD_EXRULES = 0x0340,
    CALPARSER_MOD_RELATED_TO = 0x0320,
    CALPARSER_MOD_RESOURCES = 0x0310,
    CALPARSER_MOD_COMMENTS = 0x0308,
    CALPARSER_MOD_CONTACTS = 0x0304,
    CALPARSER_MOD_CATEGORIES = 0x0302,
    CALPARSER_MOD_ATTACHMENTS = 0x0301,
    CALPARSER_MOD_XPROPS = 0x0480,
    CALPARSER_MOD_STATE_ADDR = 0x0404,       /* read by the copies; never set here */
    CALPARSER_MOD_COMP_STATE = 0x0401,
    CALPARSER_MOD_TRANSP = 0x0520,
    CALPARSER_MOD_RECUR_RDATELIST = 0x0510,  /* read by the copies; never set here */
    CALPARSER_MOD_RECUR_EXDATELIST = 0x0508, /* read by the copies; never set here */
    CALPARSER_MOD_DTEND_DUE = 0x0680,        /* event DTEND, to-do DUE */
    CALPARSER_MOD_EVENT_AUX = 0x0640,        /* event pEventAux */
    CALPARSER_MOD_COMPLETED = 0x0640,        /* to-do COMPLETED */
    CALPARSER_MOD_DUE_TZID = 0x0620,
    CALPARSER_MOD_PERCENT_COMPLETE = 0x0610
};

/* Non-zero when the bit `field` (CALPARSER_MOD_*) is set in modFields. */
int calparser_isModFieldSet(const unsigned char modFields[8], unsigned field);
/* Sets the bit `field` (CALPARSER_MOD_*) in modFields. */
void calparser_setModField(unsigned char modFields[8], unsigned field);

/* 1 when a differs from b, else 0. The integer form is the same comparison. */
CALPARSER_API
int calparser_CompareDateTimeProperty(time_t a, time_t b);
CALPARSER_API
int calparser_CompareIntegerProperty(int a, int b);

/* Texts: 0 same, 1 different. NULL equals ""; letter case is ignored. */
CALPARSER_API
int calparser_CompareStringProperty(const char* a, const char* b);

/* Text lists: 0 same, 1 different. Same count and, position by position,
 * the same texts (text rule): the same texts in another order differ. */
CALPARSER_API
int calparser_CompareStringPropertyArray(const array_t* a, const array_t* b);

/* Organizers: only the property values (pAddr) count, ignoring case. */
CALPARSER_API
int calparser_CompareOrganizerProperty(const CALDB_ORGANIZER* a, const CALDB_ORGANIZER* b);

/* Attendees: different when pAddr (ignoring case), nPartStat or bRsvp
 * differ. */
CALPARSER_API
int calparser_CompareAttendeeProperty(const CALDB_ATTENDEE* a, const CALDB_ATTENDEE* b);

/* Attendee lists: same count, and every attendee of a finds a same attendee
 * in b, paired with the first attendee of b that has its address. Order does
 * not matter. */
CALPARSER_API
int calparser_CompareAttendeePropertyArray(const array_t* a, const array_t* b);

/* Alarms: trigger, duration, action, repeat, the record's text before the
 * summary, summary, description and the attendee texts (by position). */
CALPARSER_API
int calparser_CompareAlarm(const CALDB_VALARM* a, const CALDB_VALARM* b);
/* Alarm lists: same count and pairwise the same by position. Both NULL are
 * the same; exactly one NULL differs (an empty list too). */
CALPARSER_API
int calparser_CompareAlarmArray(const array_t* a, const array_t* b);

/* The shared head of two components: 0 same, 1 major change, 2 minor change
 * (only the alarms, the extension lines or SEQUENCE differ). */
CALPARSER_API
int calparser_CompareComponentHelper(const CALDB_COMPONENT* a, const CALDB_COMPONENT* b);
/* Whole events or to-dos: a difference of the kind's own fields is major
 * (1); else the head's result. */
CALPARSER_API
int calparser_CompareEvent(const CALDB_VEVENT* a, const CALDB_VEVENT* b);
CALPARSER_API
int calparser_CompareTodo(const CALDB_VTODO* a, const CALDB_VTODO* b);
/* Either kind: different nType values differ (1); nType 0 or 10 compares as
 * events, any other value as to-dos. */
CALPARSER_API
int calparser_CompareComponent(const CALDB_COMPONENT* a, const CALDB_COMPONENT* b);

/* Sets in pNew's modFields the bit of every head property in which pNew
 * differs from pOld (RECURRENCE-ID and nAuxValue have no bit). Returns 0, or
 * 1 when exactly one record is NULL (nothing set). */
CALPARSER_API
int calparser_getComponentModFieldsHelper(const CALDB_COMPONENT* pOld, CALDB_COMPONENT* pNew);
/* The event's own bits (DTEND, pEventAux, TRANSP); 0. NULL records: 0. */
CALPARSER_API
int calparser_getEventModFields(const CALDB_VEVENT* pOld, CALDB_VEVENT* pNew);
/* The to-do's own bits (DUE, COMPLETED, PERCENT-COMPLETE, X-KVAL-DUE-TZID);
 * 0. NULL records: 0. */
CALPARSER_API
int calparser_getTodoModFields(const CALDB_VTODO* pOld, CALDB_VTODO* pNew);
/* The head's bits, then the event bits when `kind` is 0 or 10, else the
 * to-do bits; `kind` is the caller's word, the records' nType is not read.
 * Returns 0 (also for two NULL records), 1 when exactly one is NULL. */
CALPARSER_API
int calparser_getComponentModFields(const CALDB_COMPONENT* pOld, CALDB_COMPONENT* pNew, int kind);

#ifdef __cplusplus
}
#endif

#endif
