/* SXML writer: one line per event or to-do, LF line ends, no escaping. */
#include "core/parser/print_sxml.h"

#include <stdio.h>
#include <stdlib.h>

#include "public/core_util/cal_time.h"

namespace {

constexpr const char* kSxmlHeader = "<V V=2.0 P=-//Velmora/Calendar Hosting Server//EN M=PUBLISH>\n";
constexpr const char* kSxmlTail = "</V>\n";

/* Room for "YYYYMMDDTHHMMSSZ" or "YYYYMMDD" and the terminator. */
constexpr size_t kTimeTextSize = 20;
/* Room for "-2147.483648" and the terminator. */
constexpr size_t kGeoTextSize = 24;
constexpr long long kMicroDegrees = 1000000;

/* What tells a to-do line from an event line. */
struct SxmlKind {
    const char* pTag;    /* element name that opens the line */
    const char* pEndKey; /* attribute of the end (event) or due (to-do) time */
};
constexpr SxmlKind kEventKind = {"E", "DE"};
constexpr SxmlKind kTodoKind = {"T", "E"};

struct TimeText {
    char text[kTimeTextSize] = {};
};

TimeText utc_text(time_t t) {
    TimeText out;
    cal_time_timet_to_datez(t, out.text);
    return out;
}

TimeText date_text(time_t t) {
    TimeText out;
    cal_time_timet_to_datezAllDay(t, out.text);
    return out;
}

/* Millionths of a degree as "[-]D.DDDDDD". Widened first, so that the most
 * negative value has an absolute value too. */
struct GeoText {
    char text[kGeoTextSize] = {};
};

GeoText geo_text(int32_t nMillionths) {
    GeoText out;
    long long value = nMillionths;
    long long magnitude = llabs(value);
    snprintf(out.text, sizeof out.text, "%s%lld.%06lld", value < 0 ? "-" : "",
             magnitude / kMicroDegrees, magnitude % kMicroDegrees);
    return out;
}

const char* or_empty(const char* pText) { return pText ? pText : ""; }

/* Writes one component line; `tEnd` is the event's end or the to-do's due
 * time. The record types share the fields read here. */
template <typename Record>
void write_component_line(protstream* pOut, const Record* pRec, const SxmlKind& kind,
                          int32_t tEnd, time_t tStamp) {
    prot_printf(pOut, "<%s=I=%s DM=%s S=%s ", kind.pTag, or_empty(pRec->pUid),
                utc_text(tStamp).text, or_empty(pRec->pSummary));
    if (pRec->bDtStartIsDate) {
        prot_printf(pOut, "DS=\"%s;V=D\" ", date_text(pRec->tDtStart).text);
        if (pRec->bDtEndIsDate)
            prot_printf(pOut, "%s=\"%s;V=D\" ", kind.pEndKey, date_text(tEnd).text);
    } else {
        prot_printf(pOut, "DS=%s %s=%s ", utc_text(pRec->tDtStart).text, kind.pEndKey,
                    utc_text(tEnd).text);
    }
    prot_printf(pOut, "CR=%s L=%s SE=%d ", utc_text(pRec->tCreated).text,
                utc_text(pRec->tLastModified).text, pRec->nSequence);
    prot_printf(pOut, "GE=%s,%s ", geo_text(pRec->nGeoLat).text, geo_text(pRec->nGeoLon).text);
    prot_printf(pOut, "D=%s U=%s CL=%s N=%s", or_empty(pRec->pDescription), or_empty(pRec->pUrl),
                or_empty(pRec->pClass), or_empty(pRec->pLocation));
    prot_printf(pOut, "%s", ">\n");
}

/* The array writers: one time stamp for every line of the call. */
template <typename Record>
void write_component_array(array_t* pRecords, protstream* pOut, int bFrame,
                           Record* (*write_one)(Record*, protstream*, time_t)) {
    time_t tStamp = time(nullptr);
    if (bFrame) calparser_sxml_header(pOut);
    for (unsigned i = 0; pRecords && i < pRecords->count; i++)
        write_one(static_cast<Record*>(array_elementat(pRecords, i)), pOut, tStamp);
    if (bFrame) calparser_sxml_tail(pOut);
}

}  // namespace

extern "C" {

void calparser_sxml_header(protstream* pOut) {
    prot_printf(pOut, "%s", kSxmlHeader);
}

void calparser_sxml_tail(protstream* pOut) {
    prot_printf(pOut, "%s", kSxmlTail);
}

CALDB_VEVENT* calparser_event_to_sxml(CALDB_VEVENT* pEvent, protstream* pOut, time_t tStamp) {
    if (pEvent && pOut) write_component_line(pOut, pEvent, kEventKind, pEvent->tDtEnd, tStamp);
    return pEvent;
}

CALDB_VTODO* calparser_todo_to_sxml(CALDB_VTODO* pTodo, protstream* pOut, time_t tStamp) {
    if (pTodo && pOut) write_component_line(pOut, pTodo, kTodoKind, pTodo->tDue, tStamp);
    return pTodo;
}

void calparser_eventarray_to_sxml(array_t* pEvents, protstream* pOut, int bFrame) {
    write_component_array<CALDB_VEVENT>(pEvents, pOut, bFrame, calparser_event_to_sxml);
}

void calparser_todoarray_to_sxml(array_t* pTodos, protstream* pOut, int bFrame) {
    write_component_array<CALDB_VTODO>(pTodos, pOut, bFrame, calparser_todo_to_sxml);
}

}  // extern "C"
