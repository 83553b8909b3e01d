/* iCalendar reply writer: the fixed frame of an iCalendar answer (calendar
 * header and trailer, the head and tail of an event or to-do) and the reply
 * lines that carry a request status, a component's identity and an error
 * number. The caller writes each component's own properties between a head
 * and a tail.
 *
 * Every function writes to `pOut`, a write stream the caller owns, through
 * prot_printf; every line ends with CR LF. A NULL stream writes nothing.
 * Write errors stay with the stream (see prot_printf); nothing is reported. */
#ifndef CORE_PARSER_PRINT_ICAL_H
#define CORE_PARSER_PRINT_ICAL_H

#include "public/util/export.h"

#include "core/parser/cal_tok.h"
#include "public/util/prot.h"

#ifdef __cplusplus
extern "C" {
#endif

/* BEGIN:VCALENDAR, PRODID, METHOD:PUBLISH and VERSION:2.0. */
CALPARSER_API
void calparser_ical_header(protstream* pOut);

/* The same header without the METHOD line. */
CALPARSER_API
void calparser_ical_header_no_method(protstream* pOut);

/* BEGIN:VEVENT when `nKind` is 1, BEGIN:VTODO for any other kind. */
CALPARSER_API
void calparser_ical_component_head(protstream* pOut, int nKind);

/* END:VEVENT when `nKind` is 1, END:VTODO for any other kind. */
CALPARSER_API
void calparser_ical_component_tail(protstream* pOut, int nKind);

/* END:VCALENDAR. */
CALPARSER_API
void calparser_ical_tail(protstream* pOut);

/* One REQUEST-STATUS line: the code with iCalendar TEXT escaping, ";", then
 * the description unchanged. Selector 0 takes `pCodeA` and `pDescA`, any
 * other selector `pCodeB` and `pDescB`. A NULL text writes as empty. */
CALPARSER_API
void calparser_ical_request_status(protstream* pOut, int nSelector,
                                   const char* pCodeA, const char* pDescA,
                                   const char* pCodeB, const char* pDescB);

/* "UID:<uid>" and, unless `pRecurrenceId` is NULL or exactly "0",
 * "RECURRENCE-ID:<id>". Nothing at all when `pUid` is NULL. */
CALPARSER_API
void calparser_ical_uid_rid(protstream* pOut, const char* pUid, const char* pRecurrenceId);

/* "X-KVAL-PLIX-ERRNO:<nErrno>". */
CALPARSER_API
void calparser_ical_errno(protstream* pOut, int nErrno);

/* An error-number line named `pName` (X-KVAL-PLIX-ERRNO when NULL):
 * "<name>:<nErrno>" without a token, "<name><nIndex>:<nErrno>" with one.
 * The token only selects the form; it is not read. */
CALPARSER_API
void calparser_ical_errno_tok(protstream* pOut, int nErrno, const char* pName,
                              int nIndex, const CALPARSER_TOKEN* pToken);

#ifdef __cplusplus
}
#endif

#endif
