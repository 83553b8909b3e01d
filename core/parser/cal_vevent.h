/* The VEVENT builder, the walker over components that are not built
 * (VJOURNAL, VFREEBUSY, X- components), and the component walk that the
 * event and to-do builders share.
 *
 * The assembly driver calls a builder when it meets the component's BEGIN
 * token, in each of its two passes: pass 2 builds, any other pass only moves
 * the shared token cursor past the component (and its nested alarms), so the
 * driver goes on behind it.
 *
 * Results: 0 success; 1 no token follows the BEGIN token; 2 a parse error was
 * logged (the component is still produced, with what was read); 3 memory ran
 * out (nothing is produced and nothing leaks). The results of nested alarms
 * are ORed into a component's: an alarm that the tokens end right after
 * gives 1, so a component cut off there gives 1 in a pass that only walks
 * and 3 (2 | 1) in the building pass, where it is still produced. */
#ifndef CORE_PARSER_CAL_VEVENT_H
#define CORE_PARSER_CAL_VEVENT_H

#include "public/util/export.h"

#include "core/parser/cal_str.h"
#include "core/parser/cal_tok.h"
#include "core/parser/cal_walk.h"
#include "public/core_util/cal_time.h"
#include "public/db/caldb.h"
#include "public/util/array.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Builds one event. On entry *pCursor stands on the BEGIN:VEVENT token of
 * pTokens; on return it stands where the walk stopped (normally on
 * END:VEVENT).
 *
 * In pass 2 the event is built from its properties (pTimeZones: the
 * CAL_VTIMEZONE records of the same input, for TZID look-ups), completed
 * (end time, all-day end, original-start line), given its alarms (built
 * against DTSTART) and its component state from nMethod, and then appended
 * as a CAL_VCOMPONENT to pEvents, which owns it; its vRecurrenceInfo (an
 * array of the RRULE, RDATE, EXRULE, EXDATE text lists and the RDATE period
 * list, in that order) is appended to pRecurrence at the same time, when
 * pRecurrence is given. bResolvedInput: attendee values are taken as they
 * stand, and DTSTART/DTEND without TZID are read in X-KVAL-DTSTART-TZID's
 * zone, else in pDefaultTzid. pLookupCtx goes to the directory look-ups of
 * the attendee storer. */
CALPARSER_API
int calparser_create_vevent_from_tokens(array_t* pTokens, array_iter_t* pCursor,
                                        array_t* pEvents, array_t* pRecurrence,
                                        array_t* pTimeZones, int nPass, iCal_Token_t nMethod,
                                        int bResolvedInput, const char* pLookupCtx,
                                        const char* pDefaultTzid);

/* Stores the property `pToken` into the event *ppEvent (the address of a
 * wrapper's record pointer). A DURATION is parsed into *ppDuration, made on
 * the first one (the caller frees it with cal_time_FreeDuration); without
 * ppDuration it is skipped. RRULE, RDATE, EXRULE and EXDATE also feed the
 * recurrence lists when they are given (NULL lists are left alone). Other
 * arguments as for calparser_create_vevent_from_tokens. Nothing happens when
 * the token, ppEvent or *ppEvent is NULL. */
CALPARSER_API
void calparser_populateVEventProp(CALPARSER_TOKEN* pToken, CALDB_VEVENT** ppEvent,
                                  CAL_TIME_DURATION** ppDuration, array_t* pRRules,
                                  array_t* pRDates, array_t* pExRules, array_t* pExDates,
                                  array_t* pRDatePeriods, array_t* pTimeZones,
                                  int bResolvedInput, const char* pLookupCtx,
                                  const char* pDefaultTzid);

/* Completes a built event: without DTEND the end is DTSTART plus pDuration
 * (or DTSTART when there is none or the sum fails); an all-day start makes
 * an all-day end; the original-start line is added unless present.
 * Returns 0, or 1 when ppEvent or *ppEvent is NULL. */
CALPARSER_API
int calparser_event_set_defaults(CALDB_VEVENT** ppEvent, CAL_TIME_DURATION* pDuration);

/* Every event is accepted: returns 1. */
CALPARSER_API
int calparser_isValidEvent(CALDB_VEVENT* pEvent, iCal_Token_t nMethod);

/* Sets an event's nCompState from the input's method when the input gave no
 * state (nCompState 1): REQUEST with attendees takes the pStateAddr
 * attendee's decision, REQUEST without attendees "no decision"; REPLY takes
 * the decision, or REQUEST with "needs action" when there is none; any other
 * method "no decision". Nothing for NULL. */
void calparser_event_deriveCompState(CALDB_VEVENT* pEvent, iCal_Token_t nMethod);

/* Walks over a component that is not built (nKind: TOKEN_VJOURNAL,
 * TOKEN_VFREEBUSY or TOKEN_X), from its BEGIN token on *pCursor to its END
 * (or wherever the walk stops). Nested alarms are walked by the alarm
 * builder, which keeps nothing; the last alarm's result becomes the walk's.
 * pUnused1 and pUnused2 have no effect. Messages only in pass 2 (and a stray
 * END:VALARM in pass 3, which goes on). Returns that result, 1 when no token
 * follows the BEGIN, 2 in pass 2 when the walk stops before the END. */
CALPARSER_API
int calparser_create_unsupported_component_from_tokens(array_t* pTokens, array_iter_t* pCursor,
                                                       iCal_Token_t nKind, array_t* pUnused1,
                                                       array_t* pUnused2, int nPass,
                                                       iCal_Token_t nMethod);

/* ---- Shared with the to-do builder -------------------------------------- */

/* The state bit of the attendee whose pAddr equals the component's
 * pStateAddr, ignoring case: NEEDS-ACTION 8, ACCEPTED 0x20, DECLINED 0x40,
 * TENTATIVE 0x100, any other participation status 8; 8 when no attendee
 * matches (or either address is missing). */
unsigned calparser_attendeeDecisionBit(const CALDB_COMPONENT* pComponent);

/* What the property storers of a build write to: the record, the DURATION
 * and the recurrence lists, and the inputs that decide how a value is read.
 * Every pointer is borrowed. */
typedef struct CALPARSER_BUILD_STATE {
    void** ppComponent;             /* address of the record pointer */
    CAL_TIME_DURATION** ppDuration; /* made on the first DURATION; NULL: skipped */
    array_t* pRRules;               /* the recurrence lists; NULL ones are left alone */
    array_t* pRDates;
    array_t* pExRules;
    array_t* pExDates;
    array_t* pRDatePeriods;
    array_t* pTimeZones;            /* the input's CAL_VTIMEZONE records */
    int bResolvedInput;
    const char* pLookupCtx;
    const char* pDefaultTzid;
} CALPARSER_BUILD_STATE;

/* Stores a property whose field lies in the head events and to-dos share
 * (the field table of cal_fields.h, the DURATION and the original-start
 * line; the to-do builder passes over the X-Z9KQ-ATTENDEE date lists before
 * this) into pComponent, the record of pState given as its head. Returns 1
 * when the token's property was one of them, else 0 (also for a NULL token
 * or record). */
int calparser_populateSharedProp(CALPARSER_TOKEN* pToken, CALDB_COMPONENT* pComponent,
                                 const CALPARSER_BUILD_STATE* pState);

/* A date-time storer of a kind: calparser_storeDateTimeOrDateProperty for
 * events, calparser_storeTodoDateTimeOrDateProperty for to-dos. */
typedef int (*CALPARSER_TIME_STORER)(int32_t* ptField, void** ppComponent, int bStart,
                                     const char* text, const char* tzid, array_t* pTimeZones);

/* Stores the DTSTART (bStart set) or end-time token `pToken` (DTEND, or DUE
 * for a to-do) into *pField of the record of pState with `store`. The token's TZID
 * parameter names the zone; without one, resolved input is read in
 * `pOwnZone` when given (a to-do's X-KVAL-DUE-TZID for its DUE), else in the
 * record's X-KVAL-DTSTART-TZID zone, else in the default zone, and other
 * input in no zone. With resolved input an 8-character value (a date) also
 * marks that start or end as all-day. A DTSTART's TZID also goes to
 * calparser_keepSeriesZone. */
void calparser_storeComponentTime(const CALPARSER_TOKEN* pToken,
                                  const CALPARSER_BUILD_STATE* pState,
                                  CALPARSER_TIME_STORER store, int32_t* pField, int bStart,
                                  const char* pOwnZone);

/* What tells one kind of built component from the other; the walk, the
 * passes, the alarms and the outputs are the same for both. */
typedef struct CALPARSER_COMPONENT_KIND {
    int nKind;                  /* CALDB_KIND_EVENT or CALDB_KIND_TODO */
    iCal_Token_t nComponent;    /* TOKEN_VEVENT or TOKEN_VTODO */
    const char* pName;          /* "VEVENT", for the messages */
    iCal_Token_t aZoneProps[2]; /* stored by the pre-scan of resolved input (0: none) */
    int nZonePropLimit;         /* the pre-scan stops after this many */
    /* Stores one property line; nothing when the record is missing. */
    void (*populate)(CALPARSER_TOKEN* pToken, const CALPARSER_BUILD_STATE* pState);
    int (*setDefaults)(void** ppComponent, CAL_TIME_DURATION* pDuration);
    long (*alarmBase)(const void* pComponent);   /* what relative triggers count from */
    void (*deriveState)(void* pComponent, iCal_Token_t nMethod);
    void (*finish)(void* pComponent);            /* after the state; may be NULL */
    int (*isValid)(void* pComponent, iCal_Token_t nMethod);
} CALPARSER_COMPONENT_KIND;

/* The walk of calparser_create_vevent_from_tokens for the kind `pKind`;
 * same arguments after it, same results. */
int calparser_build_component_from_tokens(const CALPARSER_COMPONENT_KIND* pKind,
                                          array_t* pTokens, array_iter_t* pCursor,
                                          array_t* pOutput, array_t* pRecurrence,
                                          array_t* pTimeZones, int nPass, iCal_Token_t nMethod,
                                          int bResolvedInput, const char* pLookupCtx,
                                          const char* pDefaultTzid);

#ifdef __cplusplus
}
#endif

#endif
