/* XML reply writer: frames and reply elements, LF line ends, no escaping. */
#include "core/parser/print_xml.h"

#include <string.h>

namespace {

constexpr const char* kXmlHeader =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<iCalendar>\n"
    "<iCal version=\"2.0\" prodid=\"-//Velmora/Calendar Hosting Server//EN\">\n";
constexpr const char* kXmlTail = "</iCal>\n</iCalendar>\n";
constexpr const char* kEventHead = "<EVENT>\n";
constexpr const char* kTodoHead = "<TODO>\n";
constexpr const char* kEventTail = "</EVENT>\n";
constexpr const char* kTodoTail = "</TODO>\n";
constexpr const char* kErrnoName = "X-KVAL-PLIX-ERRNO";

/* Kind 1 is an event here; everything else is written as a to-do. */
constexpr int kKindEvent = 1;

/* A recurrence id of "0" stands for "no recurrence id" in replies. */
bool has_recurrence_id(const char* pRecurrenceId) {
    return pRecurrenceId && strcmp(pRecurrenceId, "0") != 0;
}

const char* or_empty(const char* pText) { return pText ? pText : ""; }

}  // namespace

extern "C" {

void calparser_xml_header(protstream* pOut) {
    prot_printf(pOut, "%s", kXmlHeader);
}

void calparser_xml_tail(protstream* pOut) {
    prot_printf(pOut, "%s", kXmlTail);
}

void calparser_xml_component_head(protstream* pOut, int nKind) {
    prot_printf(pOut, "%s", nKind == kKindEvent ? kEventHead : kTodoHead);
}

void calparser_xml_component_tail(protstream* pOut, int nKind) {
    prot_printf(pOut, "%s", nKind == kKindEvent ? kEventTail : kTodoTail);
}

void calparser_xml_size(protstream* pOut, int nSize) {
    prot_printf(pOut, "<SIZE>%d</SIZE>\n", nSize);
}

void calparser_xml_filename(protstream* pOut, const char* pFileName) {
    prot_printf(pOut, "<FILENAME>%s</FILENAME>\n", or_empty(pFileName));
}

void calparser_xml_uid_rid(protstream* pOut, const char* pUid, const char* pRecurrenceId) {
    if (!pOut || !pUid) return;
    prot_printf(pOut, "<UID>%s</UID>\n", pUid);
    if (has_recurrence_id(pRecurrenceId))
        prot_printf(pOut, "<RECURID>%s</RECURID>\n", pRecurrenceId);
}

void calparser_xml_request_status(protstream* pOut, int nSelector,
                                  const char* pCodeA, const char* pDescA,
                                  const char* pCodeB, const char* pDescB) {
    const char* pCode = nSelector == 0 ? pCodeA : pCodeB;
    const char* pDesc = nSelector == 0 ? pDescA : pDescB;
    prot_printf(pOut, "<RSTATUS>%s;%s</RSTATUS>\n", or_empty(pCode), or_empty(pDesc));
}

void calparser_xml_errno(protstream* pOut, int nErrno) {
    calparser_xml_errno_tok(pOut, nErrno, kErrnoName, 0, nullptr);
}

void calparser_xml_errno_tok(protstream* pOut, int nErrno, const char* pName,
                             int nIndex, const CALPARSER_TOKEN* pToken) {
    if (!pOut) return;
    if (!pName) pName = kErrnoName;
    if (pToken)
        prot_printf(pOut, "<%s%d>%d</%s%d>\n", pName, nIndex, nErrno, pName, nIndex);
    else
        prot_printf(pOut, "<%s>%d</%s>\n", pName, nErrno, pName);
}

}  // extern "C"
