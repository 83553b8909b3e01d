/* iCalendar reply writer: frames and reply lines, CR LF line ends. */
#include "core/parser/print_ical.h"

#include <string.h>

#include "public/core_util/parseutil.h"

namespace {

constexpr const char* kIcalHeader =
    "BEGIN:VCALENDAR\r\n"
    "PRODID:-//Tessar/Calendar Server//EN\r\n"
    "METHOD:PUBLISH\r\n"
    "VERSION:2.0\r\n";
constexpr const char* kIcalHeaderNoMethod =
    "BEGIN:VCALENDAR\r\n"
    "PRODID:-//Tessar/Calendar Server//EN\r\n"
    "VERSION:2.0\r\n";
constexpr const char* kIcalTail = "END:VCALENDAR\r\n";
constexpr const char* kEventHead = "BEGIN:VEVENT\r\n";
constexpr const char* kTodoHead = "BEGIN:VTODO\r\n";
constexpr const char* kEventTail = "END:VEVENT\r\n";
constexpr const char* kTodoTail = "END:VTODO\r\n";
constexpr const char* kErrnoName = "X-KVAL-PLIX-ERRNO";

/* Kind 1 is an event here; everything else is written as a to-do. */
constexpr int kKindEvent = 1;

/* A recurrence id of "0" stands for "no recurrence id" in replies. */
bool has_recurrence_id(const char* pRecurrenceId) {
    return pRecurrenceId && strcmp(pRecurrenceId, "0") != 0;
}

}  // namespace

extern "C" {

void calparser_ical_header(protstream* pOut) {
    prot_printf(pOut, "%s", kIcalHeader);
}

void calparser_ical_header_no_method(protstream* pOut) {
    prot_printf(pOut, "%s", kIcalHeaderNoMethod);
}

void calparser_ical_component_head(protstream* pOut, int nKind) {
    prot_printf(pOut, "%s", nKind == kKindEvent ? kEventHead : kTodoHead);
}

void calparser_ical_component_tail(protstream* pOut, int nKind) {
    prot_printf(pOut, "%s", nKind == kKindEvent ? kEventTail : kTodoTail);
}

void calparser_ical_tail(protstream* pOut) {
    prot_printf(pOut, "%s", kIcalTail);
}

void calparser_ical_request_status(protstream* pOut, int nSelector,
                                   const char* pCodeA, const char* pDescA,
                                   const char* pCodeB, const char* pDescB) {
    if (!pOut) return;
    const char* pCode = nSelector == 0 ? pCodeA : pCodeB;
    const char* pDesc = nSelector == 0 ? pDescA : pDescB;
    prot_printf(pOut, "%s", "REQUEST-STATUS:");
    cal_parseutil_print_string_ical(pOut, pCode);
    prot_printf(pOut, "%s", ";");
    cal_parseutil_print_string_no_esc_ical(pOut, pDesc);
    prot_printf(pOut, "%s", "\r\n");
}

void calparser_ical_uid_rid(protstream* pOut, const char* pUid, const char* pRecurrenceId) {
    if (!pOut || !pUid) return;
    prot_printf(pOut, "UID:%s\r\n", pUid);
    if (has_recurrence_id(pRecurrenceId))
        prot_printf(pOut, "RECURRENCE-ID:%s\r\n", pRecurrenceId);
}

void calparser_ical_errno(protstream* pOut, int nErrno) {
    calparser_ical_errno_tok(pOut, nErrno, kErrnoName, 0, nullptr);
}

void calparser_ical_errno_tok(protstream* pOut, int nErrno, const char* pName,
                              int nIndex, const CALPARSER_TOKEN* pToken) {
    if (!pOut) return;
    if (!pName) pName = kErrnoName;
    if (pToken)
        prot_printf(pOut, "%s%d:%d\r\n", pName, nIndex, nErrno);
    else
        prot_printf(pOut, "%s:%d\r\n", pName, nErrno);
}

}  // extern "C"
