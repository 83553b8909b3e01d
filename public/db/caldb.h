/* Calendar records: events, to-dos, attendees, organizers, alarms, the
 * component wrapper and the calendar-properties record, with their
 * constructors and destructors.
 *
 * Ownership, for every record here: a record is calloc'd and freed with
 * free(); a text field (char*) is a NUL-terminated UTF-8 text made with
 * PL_strdup/PL_strndup, owned by the record, NULL when absent; an array field
 * (array_t*) is owned by the record together with its elements, NULL when
 * empty. A time field is a signed 32-bit count of seconds since
 * 1970-01-01T00:00:00 UTC; a value below 1 means "not set". Fields named
 * *Aux* are the record library's own; this library copies and compares some
 * of them but never gives them a meaning. */
#ifndef PUBLIC_DB_CALDB_H
#define PUBLIC_DB_CALDB_H

#include "public/util/export.h"

#include <stdint.h>

#include "public/util/array.h"

#ifdef __cplusplus
extern "C" {
#endif

/* ------------------------------------------------------------------------ */
/* Attendee, organizer, alarm                                                */

/* One ATTENDEE of a component. Text lists hold texts. */
typedef struct CALDB_ATTENDEE {
    char* pAddr;             /* "mailto:" address, or X-Z9KQ-EMAIL */
    char* pCalid;            /* calendar id */
    char* pCuType;           /* CUTYPE */
    array_t* aMembers;       /* MEMBER items */
    array_t* aDelegatedTo;   /* DELEGATED-TO items */
    array_t* aDelegatedFrom; /* DELEGATED-FROM items */
    char* pRole;             /* ROLE */
    char* pCn;               /* CN, or the directory's common name */
    char* pDir;              /* DIR */
    char* pSentBy;           /* SENT-BY */
    char* pLanguage;         /* LANGUAGE */
    char* pAuxText;          /* record library's own text */
    int nAuxValue;           /* record library's own integer */
    int nPartStat;           /* PARTSTAT code: 1 NEEDS-ACTION .. 9 other; 0 none */
    char* pPartStatName;     /* PARTSTAT text, upper-cased */
    int nSentStatus;         /* SENT-STATUS code or X-KVAL-ATTENDEE-GSE-STATUS */
    int nAuxWords[8];        /* record library's own integers */
    unsigned char bRsvp : 1;    /* RSVP=TRUE; bit 0 of the flag byte */
    unsigned char bAuxFlag : 1; /* record library's own flag; bit 1 */
} CALDB_ATTENDEE;

/* The ORGANIZER of a component: seven texts. */
typedef struct CALDB_ORGANIZER {
    char* pAddr;         /* the property value as written */
    char* pOrganizerUid; /* X-KVAL-ORGANIZER-UID */
    char* pSentByUid;    /* X-KVAL-ORGANIZER-SENT-BY-UID */
    char* pSentBy;       /* SENT-BY */
    char* pLanguage;     /* LANGUAGE */
    char* pCn;           /* CN */
    char* pDir;          /* DIR */
} CALDB_ORGANIZER;

/* PARTSTAT codes of an attendee (nPartStat; 0 when none was given). */
enum {
    CALDB_PARTSTAT_NEEDS_ACTION = 1,
    CALDB_PARTSTAT_ACCEPTED = 2,
    CALDB_PARTSTAT_DECLINED = 3,
    CALDB_PARTSTAT_TENTATIVE = 4,
    CALDB_PARTSTAT_DELEGATED = 5,
    CALDB_PARTSTAT_COMPLETED = 6,
    CALDB_PARTSTAT_IN_PROCESS = 8,
    CALDB_PARTSTAT_OTHER = 9 /* any other text, kept in pPartStatName */
};

/* ACTION codes of an alarm. */
enum {
    CALDB_ALARM_EMAIL = 0, /* also any unknown action */
    CALDB_ALARM_AUDIO = 1,
    CALDB_ALARM_DISPLAY = 2,
    CALDB_ALARM_PROCEDURE = 3,
    CALDB_ALARM_FLASHING = 4
};

/* One VALARM of a component. */
typedef struct CALDB_VALARM {
    int32_t tTrigger;      /* absolute trigger time */
    int nDuration;         /* seconds between repetitions */
    int nAction;           /* CALDB_ALARM_* */
    int nRepeat;           /* REPEAT */
    int nAuxValue;         /* record library's own word */
    char* pAuxText;        /* record library's own text */
    char* pSummary;        /* SUMMARY */
    char* pDescription;    /* DESCRIPTION */
    array_t* aAttendees;   /* ATTENDEE addresses (texts) */
    array_t* aAuxTexts;    /* record library's own text list */
    array_t* aXProps;      /* X- properties (texts) */
    int nAuxTail;          /* record library's own word */
} CALDB_VALARM;

/* ------------------------------------------------------------------------ */
/* Events and to-dos                                                         */

/* Component kinds (nType of a record and of its wrapper). */
enum {
    CALDB_KIND_EVENT = 0,
    CALDB_KIND_TODO = 1,
    CALDB_KIND_EXPANDED_EVENT = 10, /* a recurring event master kept after expansion */
    CALDB_KIND_EXPANDED_TODO = 11
};

/* STATUS codes kept in nStatus. */
enum {
    CALDB_STATUS_CONFIRMED = 0,
    CALDB_STATUS_CANCELLED = 1,
    CALDB_STATUS_TENTATIVE = 2,
    CALDB_STATUS_NEEDS_ACTION = 3,
    CALDB_STATUS_COMPLETED = 4,
    CALDB_STATUS_IN_PROCESS = 5
};

/* nCompState is (method bit << 16) | state bit; the whole word equal to
 * CALDB_COMPSTATE_NOT_GIVEN means that the input gave no state. */
enum {
    CALDB_COMPSTATE_NOT_GIVEN = 1
};

/* Method bits of nCompState (see calparser_getCompStateMethod). */
enum {
    CALDB_METHOD_PUBLISH = 1, /* also every method without a bit of its own */
    CALDB_METHOD_REQUEST = 2,
    CALDB_METHOD_REPLY = 4,
    CALDB_METHOD_CANCEL = 8,
    CALDB_METHOD_COUNTER = 64
};

/* State bits of nCompState. */
enum {
    CALDB_STATE_NONE = 0x4, /* no attendee decision */
    CALDB_STATE_NEEDS_ACTION = 0x8,
    CALDB_STATE_ACCEPTED = 0x20,
    CALDB_STATE_DECLINED = 0x40,
    CALDB_STATE_TENTATIVE = 0x100
};

/* The fields every event and to-do share, in record order. Listed once so
 * that CALDB_COMPONENT, CALDB_VEVENT and CALDB_VTODO cannot drift apart.
 *
 * nFlags is one 32-bit word whose bit fields are declared from bit 0 up
 * (bit 31 is the most significant): nPriority 31-28, bDtStartIsDate 27,
 * nStatus 26-21, bHasLinkCalid 17, bExpandedMaster 16, bDtEndIsDate 7,
 * bTransparent 6; the unnamed bits are the record library's and stay as the
 * constructor set them (0). Comparisons read the whole word.
 *
 * modFields is the 64-bit mask of properties that differ from another
 * version of the component, kept as 8 bytes, byte 0 first in memory. */
#define CALDB_COMPONENT_FIELDS                                                 \
    union {                                                                    \
        uint32_t nFlags;                                                       \
        struct {                                                               \
            unsigned int : 6;                                                  \
            unsigned int bTransparent : 1;    /* TRANSP:TRANSPARENT (events) */ \
            unsigned int bDtEndIsDate : 1;    /* DTEND or DUE is a DATE */      \
            unsigned int : 8;                                                  \
            unsigned int bExpandedMaster : 1; /* expanded master, kept */       \
            unsigned int bHasLinkCalid : 1;   /* X-KVAL-LINK-CALID given */     \
            unsigned int : 3;                                                  \
            unsigned int nStatus : 6;         /* CALDB_STATUS_* */              \
            unsigned int bDtStartIsDate : 1;  /* DTSTART is a DATE */           \
            unsigned int nPriority : 4;       /* PRIORITY, low 4 bits */        \
        };                                                                     \
    };                                                                         \
    unsigned char modFields[8];                                                \
    int nType;                   /* CALDB_KIND_* */                            \
    uint32_t nCompState;         /* method << 16 | state bit; 1: no state */   \
    int32_t tDtStart;            /* DTSTART */                                 \
    int nSequence;               /* SEQUENCE */                                \
    int32_t tAuxTime;            /* record library's own time */               \
    int32_t tLastModified;       /* LAST-MODIFIED */                           \
    int32_t tCreated;            /* CREATED */                                 \
    int32_t tRecurrenceId;       /* RECURRENCE-ID */                           \
    int nAuxValue;               /* record library's own integer */            \
    int32_t nGeoLat;             /* GEO latitude, millionths of a degree */    \
    int32_t nGeoLon;             /* GEO longitude, millionths of a degree */   \
    char* pSummary;              /* SUMMARY */                                 \
    char* pUid;                  /* UID */                                     \
    char* pDescription;          /* DESCRIPTION */                             \
    char* pLocation;             /* LOCATION */                                \
    char* pUrl;                  /* URL */                                     \
    char* pClass;                /* CLASS as written */                        \
    char* pOrganizerEmail;       /* X-KVAL-ORGANIZER-EMAIL without "mailto:" */ \
    char* pCharset;              /* X-KVAL-CHARSET */                          \
    char* pLanguage;             /* X-KVAL-LANGUAGE */                         \
    char* pDtStartTzid;          /* X-KVAL-DTSTART-TZID */                     \
    CALDB_ORGANIZER* pOrganizer; /* ORGANIZER */                               \
    array_t* aAttendees;         /* CALDB_ATTENDEE records */                  \
    array_t* aAlarms;            /* CALDB_VALARM records */                    \
    array_t* aRDates;            /* RDATE items (texts) */                     \
    array_t* aExDates;           /* EXDATE items */                            \
    array_t* aRRules;            /* RRULE values */                            \
    array_t* aExRules;           /* EXRULE values */                           \
    array_t* aRelatedTo;         /* RELATED-TO values */                       \
    array_t* aResources;         /* RESOURCES items */                         \
    array_t* aComments;          /* COMMENT values */                          \
    array_t* aContacts;          /* CONTACT values */                          \
    array_t* aCategories;        /* CATEGORIES items */                        \
    array_t* aAttachments;       /* ATTACH values */                           \
    array_t* aXProps;            /* other X- lines, X-KVAL-ORIGINAL-DTSTART */ \
    array_t* aRecurRDateList;    /* X-Z9KQ-RECURRENCE-RDATELIST items */       \
    array_t* aRecurExDateList;   /* X-Z9KQ-RECURRENCE-EXDATELIST items */      \
    array_t* aAttendeeRDateList; /* X-Z9KQ-ATTENDEE-RDATELIST items */         \
    array_t* aAttendeeExDateList; /* X-Z9KQ-ATTENDEE-EXDATELIST items */       \
    char* pRecurUntil;           /* X-Z9KQ-RECURRENCE-UNTIL as written */      \
    int nRecurCount;             /* X-Z9KQ-RECURRENCE-COUNT */                 \
    char* pLinkCalid;            /* X-KVAL-LINK-CALID */                       \
    char* pStateAddr;            /* address the state derivation looks for */ \
    void* pSeriesZone;           /* record library's own: owned icu::TimeZone */

/* The shared head of an event or to-do. Operations that work on either kind
 * take a CALDB_COMPONENT* view of the record and read nType for the tail. */
typedef struct CALDB_COMPONENT {
    CALDB_COMPONENT_FIELDS
} CALDB_COMPONENT;

/* A VEVENT. */
typedef struct CALDB_VEVENT {
    CALDB_COMPONENT_FIELDS
    int32_t tDtEnd;  /* DTEND, or DTSTART plus DURATION, or DTSTART */
    char* pEventAux; /* record library's own text */
} CALDB_VEVENT;

/* A VTODO. */
typedef struct CALDB_VTODO {
    CALDB_COMPONENT_FIELDS
    int32_t tDue;         /* DUE, or DTSTART plus DURATION */
    int32_t tCompleted;   /* COMPLETED */
    char* pDueTzid;       /* X-KVAL-DUE-TZID */
    int nPercentComplete; /* PERCENT-COMPLETE */
} CALDB_VTODO;

/* Wrapper of one component record and its kind. pComponent comes first, so
 * the address of a wrapper is also the address of its record pointer. */
typedef struct CAL_VCOMPONENT {
    void* pComponent; /* CALDB_VEVENT* or CALDB_VTODO*, owned */
    int nType;        /* CALDB_KIND_* */
} CAL_VCOMPONENT;

/* ------------------------------------------------------------------------ */
/* Calendar properties                                                       */

/* The X-KVAL-CALPROPS-* lines of a calendar. Text lists hold texts;
 * pAceList holds access-control entries owned by the access-control
 * library (released with acl_misc_FreeACEList). The caller owns the record. */
typedef struct CALDB_CALPROPS {
    int32_t tLastModified; /* X-KVAL-CALPROPS-LAST-MODIFIED */
    int32_t tCreated;      /* X-KVAL-CALPROPS-CREATED */
    union {
        uint32_t nFlags;   /* the whole word, copied as one value */
        struct {
            unsigned int nRead : 4;     /* bits 0-3: X-KVAL-CALPROPS-READ */
            unsigned int nWrite : 4;    /* bits 4-7: X-KVAL-CALPROPS-WRITE */
            unsigned int : 4;
            unsigned int bResource : 1; /* bit 12: X-KVAL-CALPROPS-RESOURCE */
        };
    };
    char* pDescription;    /* X-KVAL-CALPROPS-DESCRIPTION */
    char* pParentCalid;    /* X-KVAL-CALPROPS-PARENT-CALID */
    char* pRelativeCalid;  /* X-KVAL-CALPROPS-RELATIVE-CALID */
    char* pCalmaster;      /* X-KVAL-CALPROPS-CALMASTER */
    char* pName;           /* X-KVAL-CALPROPS-NAME */
    char* pCharset;        /* X-KVAL-CALPROPS-CHARSET */
    char* pLanguage;       /* X-KVAL-CALPROPS-LANGUAGE */
    char* pPrimaryOwner;   /* X-KVAL-CALPROPS-PRIMARY-OWNER */
    char* pTzid;           /* X-KVAL-CALPROPS-TZID */
    array_t* pOwners;      /* X-KVAL-CALPROPS-OWNERS, one text per line */
    array_t* pChildren;    /* X-KVAL-CALPROPS-CHILDREN */
    array_t* pCategories;  /* X-KVAL-CALPROPS-CATEGORIES */
    array_t* pAceList;     /* X-KVAL-CALPROPS-ACCESS-CONTROL-ENTRY */
    int nAuxValue;         /* record library's own word */
} CALDB_CALPROPS;

/* ------------------------------------------------------------------------ */
/* Constructors and destructors                                              */

/* List kinds of caldb_FreeList. */
enum {
    CALDB_LIST_ALARMS = 3,
    CALDB_LIST_ATTENDEES = 100
};

/* 1 for the event kinds (CALDB_KIND_EVENT and CALDB_KIND_EXPANDED_EVENT), 0
 * for every other kind: the test that tells an event's layout from a
 * to-do's. */
int caldb_IsEventKind(int kind);

/* Each returns a new zeroed record, or NULL when memory runs out. A
 * component's nCompState is 1 (no state given) and its nType the kind. */
CALPARSER_API
CALDB_VEVENT* caldb_NewEvent(void);
CALPARSER_API
CALDB_VTODO* caldb_NewToDo(void);
CALPARSER_API
CALDB_ATTENDEE* caldb_NewAttendee(void);
CALPARSER_API
CALDB_ORGANIZER* caldb_NewOrganizer(void);
CALPARSER_API
CALDB_VALARM* caldb_NewAlarm(void);
/* kind 0 or 10 gives a CALDB_VEVENT, 1 or 11 a CALDB_VTODO, nType = kind;
 * any other kind gives NULL. */
CALPARSER_API
void* caldb_NewComponent(int kind);

/* Each takes the address of a record pointer, frees the record with every
 * text, list and sub-record it owns, stores NULL and returns 0. A NULL address
 * or a NULL record is a no-op. caldb_FreeComponent picks the layout from the
 * record's nType: 0 and 10 are events, any other value a to-do. */
CALPARSER_API
int caldb_FreeEvent(CALDB_VEVENT** ppEvent);
CALPARSER_API
int caldb_FreeToDo(CALDB_VTODO** ppTodo);
CALPARSER_API
int caldb_FreeComponent(void** ppComponent);
CALPARSER_API
int caldb_FreeAttendee(CALDB_ATTENDEE** ppAttendee);
CALPARSER_API
int caldb_FreeOrganizer(CALDB_ORGANIZER** ppOrganizer);
CALPARSER_API
int caldb_FreeAlarm(CALDB_VALARM** ppAlarm);

/* Frees every record of *ppList, from the last to the first, then the array,
 * and stores NULL; kind is CALDB_LIST_ALARMS or CALDB_LIST_ATTENDEES. NULL
 * elements are skipped; a NULL address or list is a no-op. Returns 0, or 1
 * for an unknown kind, which leaves the list untouched. */
CALPARSER_API
int caldb_FreeList(array_t** ppList, int kind);

/* Stores in *ppDest a new record holding a deep copy of every field of
 * pSrc (texts and text lists duplicated). *ppDest is overwritten, not freed.
 * Returns 0; 1 when an argument is NULL (nothing is stored); 3 when memory
 * runs out, with *ppDest NULL and nothing leaked. */
CALPARSER_API
int caldb_copyConstructorAttendee(const CALDB_ATTENDEE* pSrc, CALDB_ATTENDEE** ppDest);

/* Constant texts naming the two halves of an nCompState: the method bit of
 * the upper 16 bits ("PUBLISH" 1, "REQUEST" 2, "REPLY" 4, "CANCEL" 8,
 * "COUNTER" 64) and the state bit of the lower 16 bits ("NONE" 4 for no
 * attendee decision, "NEEDS-ACTION" 8, "ACCEPTED" 0x20, "DECLINED" 0x40,
 * "TENTATIVE" 0x100). Any other value names "UNKNOWN". Never NULL. */
CALPARSER_API
const char* caldb_GetCompStateMethodString(uint32_t nCompState);
CALPARSER_API
const char* caldb_GetCompStateStateString(uint32_t nCompState);

/* A new wrapper around a new component of the kind (as caldb_NewComponent),
 * or NULL when either allocation fails (nothing is leaked). */
CALPARSER_API
CAL_VCOMPONENT* CAL_VCOMPONENT_NEW(int kind);
/* Frees the wrapped component (caldb_FreeComponent) and the wrapper, stores
 * NULL. Returns 0 always; a NULL address or wrapper is a no-op. */
CALPARSER_API
int CAL_VCOMPONENT_FREE(CAL_VCOMPONENT** ppWrapper);
/* Frees every wrapper of pList with CAL_VCOMPONENT_FREE, from the last to the
 * first, removing each entry; the empty array stays the caller's (delete it
 * with array_delete). Returns 0; a NULL list is a no-op. */
CALPARSER_API
int calparser_FreeCalVCompList(array_t* pList);

#ifdef __cplusplus
}
#endif

#endif
