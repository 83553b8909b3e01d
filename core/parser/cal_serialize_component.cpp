/* The properties of one event or to-do and its alarms, in a fixed order, each
 * in the form its storer reads back into the same field. */
#include "core/parser/cal_serialize_parts.h"

#include <limits.h>
#include <stdio.h>
#include <string.h>

#include "core/parser/cal_vevent.h"
#include "core/parser/cal_vtodo.h"

namespace calparser_serialize {

namespace {

constexpr int kMicroDegrees = 1000000;
constexpr size_t kDateLength = 8;

/* The kind-specific tail of a record, read once. */
struct Tail {
    bool isEvent;
    int32_t end;        /* DTEND or DUE */
    const char* endTzid; /* the zone named for the end */
    int32_t completed;
    int percent;
};

Tail tail_of(const CAL_VCOMPONENT* wrapper)
{
    if (caldb_IsEventKind(wrapper->nType)) {
        const CALDB_VEVENT* e = (const CALDB_VEVENT*)wrapper->pComponent;
        return {true, e->tDtEnd, e->pDtStartTzid, 0, 0};
    }
    const CALDB_VTODO* t = (const CALDB_VTODO*)wrapper->pComponent;
    return {false, t->tDue, t->pDueTzid ? t->pDueTzid : t->pDtStartTzid, t->tCompleted,
            t->nPercentComplete};
}

void put_text(LineWriter& w, const char* name, const char* text, Escape mode = Escape::Text)
{
    if (!text)
        return;
    w.begin(name);
    w.value(text, mode);
    w.end();
}

/* One line per text of `items`. */
void put_each(LineWriter& w, const char* name, const array_t* items, Escape mode)
{
    for (unsigned i = 0; items && i < items->count; i++)
        put_text(w, name, (const char*)items->data[i], mode);
}

/* Whether the reader's list split could run past the end of `item`: it reads
 * a quote as opening a quoted run and a backslash as taking the next octet,
 * commas included. */
bool may_join_next(const char* item)
{
    return item && strpbrk(item, "\"\\") != nullptr;
}

/* The texts of `items` joined with commas, after `name` and `params`, on as
 * few lines as the reader splits back into the same items: an item that may
 * join the next one ends its line. */
void put_list_lines(LineWriter& w, const char* name, const char* params, const array_t* items,
                    Escape mode)
{
    unsigned first = 0;
    while (items && first < items->count) {
        unsigned last = first + 1;
        while (last < items->count && !may_join_next((const char*)items->data[last - 1]))
            last++;
        w.begin(name);
        w.append(params);
        w.value_list(items, first, last, ',', mode);
        w.end();
        first = last;
    }
}

/* The texts of `items`, joined with commas. */
void put_joined(LineWriter& w, const char* name, const array_t* items, Escape mode)
{
    put_list_lines(w, name, "", items, mode);
}

void put_number(LineWriter& w, const char* name, long long number)
{
    if (number == 0)
        return;
    char text[24];
    snprintf(text, sizeof text, ":%lld", number);
    w.begin(name);
    w.append(text);
    w.end();
}

/* RDATE or EXDATE items, typed when they are all of one type. */
void put_date_list(LineWriter& w, const char* name, const array_t* items)
{
    if (!items || items->count == 0)
        return;
    bool allDates = true;
    bool allPeriods = true;
    for (unsigned i = 0; i < items->count; i++) {
        const char* item = (const char*)items->data[i];
        allDates = allDates && item && strlen(item) == kDateLength;
        allPeriods = allPeriods && item && strchr(item, '/');
    }
    const char* type = allDates ? ";VALUE=DATE" : allPeriods ? ";VALUE=PERIOD" : "";
    put_list_lines(w, name, type, items, Escape::Raw);
}

void append_degrees(LineWriter& w, int32_t millionths)
{
    long long value = millionths;
    const bool negative = value < 0;
    if (negative)
        value = -value;
    char text[32];
    snprintf(text, sizeof text, "%s%lld.%06lld", negative ? "-" : "", value / kMicroDegrees,
             value % kMicroDegrees);
    w.append(text);
}

const char* status_name(unsigned code)
{
    switch (code) {
    case CALDB_STATUS_CANCELLED: return "CANCELLED";
    case CALDB_STATUS_TENTATIVE: return "TENTATIVE";
    case CALDB_STATUS_NEEDS_ACTION: return "NEEDS-ACTION";
    case CALDB_STATUS_COMPLETED: return "COMPLETED";
    case CALDB_STATUS_IN_PROCESS: return "IN-PROCESS";
    default: return nullptr; /* CONFIRMED is what an event without STATUS reads */
    }
}

const char* action_name(int code)
{
    switch (code) {
    case CALDB_ALARM_AUDIO: return "AUDIO";
    case CALDB_ALARM_DISPLAY: return "DISPLAY";
    case CALDB_ALARM_PROCEDURE: return "PROCEDURE";
    case CALDB_ALARM_FLASHING: return "X-TAVO-FLASHING";
    default: return "EMAIL";
    }
}

/* The state the reader derives for this component under `nMethod`. */
uint32_t state_read_under(const CAL_VCOMPONENT* wrapper, iCal_Token_t nMethod)
{
    if (caldb_IsEventKind(wrapper->nType)) {
        CALDB_VEVENT view = *(const CALDB_VEVENT*)wrapper->pComponent;
        view.nCompState = CALDB_COMPSTATE_NOT_GIVEN;
        calparser_event_deriveCompState(&view, nMethod);
        return view.nCompState;
    }
    CALDB_VTODO view = *(const CALDB_VTODO*)wrapper->pComponent;
    view.nCompState = CALDB_COMPSTATE_NOT_GIVEN;
    calparser_todo_deriveCompState(&view, nMethod);
    return view.nCompState;
}

/* An event's DTEND equal to its start is what the reader makes without one;
 * two all-day times are equal when they are written as the same date. */
bool event_end_is_default(const CALDB_COMPONENT* c, const Tail& tail)
{
    if (!tail.isEvent || c->bDtEndIsDate != c->bDtStartIsDate)
        return false;
    if (!c->bDtStartIsDate || tail.end < 1 || c->tDtStart < 1)
        return tail.end == c->tDtStart;
    char start[kDateTimeRoom], end[kDateTimeRoom];
    all_day_date_text(c->tDtStart, start);
    all_day_date_text(tail.end, end);
    return strcmp(start, end) == 0;
}

void write_times(LineWriter& w, const CALDB_COMPONENT* c, const Tail& tail, ZoneResolver& zones)
{
    put_text(w, "UID", c->pUid);
    put_utc(w, "RECURRENCE-ID", c->tRecurrenceId);
    put_utc(w, "DTSTAMP", c->tLastModified > 0 ? c->tLastModified : c->tCreated);
    put_component_time(w, "DTSTART", c->tDtStart, c->bDtStartIsDate,
                       zones.zone_for(c->pDtStartTzid), c->pDtStartTzid);
    if (!event_end_is_default(c, tail))
        put_component_time(w, tail.isEvent ? "DTEND" : "DUE", tail.end, c->bDtEndIsDate,
                           zones.zone_for(tail.endTzid), tail.endTzid);
}

void write_descriptions(LineWriter& w, const CALDB_COMPONENT* c, const Tail& tail)
{
    put_text(w, "SUMMARY", c->pSummary);
    put_text(w, "DESCRIPTION", c->pDescription);
    put_text(w, "LOCATION", c->pLocation);
    put_text(w, "URL", c->pUrl, Escape::Raw);
    put_text(w, "CLASS", c->pClass);
    put_text(w, "STATUS", status_name(c->nStatus), Escape::Raw);
    if (tail.isEvent && c->bTransparent)
        put_text(w, "TRANSP", "TRANSPARENT", Escape::Raw);
    put_number(w, "PRIORITY", c->nPriority);
    put_number(w, "SEQUENCE", c->nSequence);
    put_number(w, "PERCENT-COMPLETE", tail.percent);
    put_utc(w, "COMPLETED", tail.completed);
    if (c->nGeoLat != 0 || c->nGeoLon != 0) {
        w.begin("GEO:");
        append_degrees(w, c->nGeoLat);
        w.append(";");
        append_degrees(w, c->nGeoLon);
        w.end();
    }
    put_utc(w, "CREATED", c->tCreated);
    put_utc(w, "LAST-MODIFIED", c->tLastModified);
}

void write_lists(LineWriter& w, const CALDB_COMPONENT* c)
{
    write_organizer(w, c->pOrganizer);
    write_attendees(w, c->aAttendees);
    put_joined(w, "CATEGORIES", c->aCategories, Escape::Text);
    put_joined(w, "RESOURCES", c->aResources, Escape::Text);
    put_each(w, "COMMENT", c->aComments, Escape::Text);
    put_each(w, "CONTACT", c->aContacts, Escape::Text);
    put_each(w, "RELATED-TO", c->aRelatedTo, Escape::Text);
    put_each(w, "ATTACH", c->aAttachments, Escape::Raw);
    put_each(w, "RRULE", c->aRRules, Escape::Raw);
    put_each(w, "EXRULE", c->aExRules, Escape::Raw);
    put_date_list(w, "RDATE", c->aRDates);
    put_date_list(w, "EXDATE", c->aExDates);
}

void write_extensions(LineWriter& w, const CAL_VCOMPONENT* wrapper, iCal_Token_t nMethod)
{
    const CALDB_COMPONENT* c = (const CALDB_COMPONENT*)wrapper->pComponent;
    put_text(w, "X-KVAL-DTSTART-TZID", c->pDtStartTzid);
    if (!caldb_IsEventKind(wrapper->nType))
        put_text(w, "X-KVAL-DUE-TZID", ((const CALDB_VTODO*)c)->pDueTzid);
    put_text(w, "X-KVAL-CHARSET", c->pCharset);
    put_text(w, "X-KVAL-LANGUAGE", c->pLanguage);
    if (c->pLinkCalid || c->bHasLinkCalid)
        put_text(w, "X-KVAL-LINK-CALID", c->pLinkCalid ? c->pLinkCalid : "");
    if (c->pOrganizerEmail) {
        /* The reader strips one leading "mailto:"; give it one to strip. */
        w.begin("X-KVAL-ORGANIZER-EMAIL:mailto");
        w.value(c->pOrganizerEmail, Escape::Text);
        w.end();
    }
    if (c->nCompState != CALDB_COMPSTATE_NOT_GIVEN && c->nCompState <= (uint32_t)INT_MAX &&
        c->nCompState != state_read_under(wrapper, nMethod))
        put_number(w, "X-KVAL-GSE-COMPONENT-STATE", c->nCompState);
    put_number(w, "X-Z9KQ-RECURRENCE-COUNT", c->nRecurCount);
    put_text(w, "X-Z9KQ-RECURRENCE-UNTIL", c->pRecurUntil, Escape::Raw);
    put_joined(w, "X-Z9KQ-RECURRENCE-RDATELIST", c->aRecurRDateList, Escape::Raw);
    put_joined(w, "X-Z9KQ-RECURRENCE-EXDATELIST", c->aRecurExDateList, Escape::Raw);
    if (caldb_IsEventKind(wrapper->nType)) {
        put_joined(w, "X-Z9KQ-ATTENDEE-RDATELIST", c->aAttendeeRDateList, Escape::Raw);
        put_joined(w, "X-Z9KQ-ATTENDEE-EXDATELIST", c->aAttendeeExDateList, Escape::Raw);
    }
    for (unsigned i = 0; c->aXProps && i < c->aXProps->count; i++)
        w.whole_line((const char*)c->aXProps->data[i]);
}

/* TRIGGER relative to the time the reader measures it from (an event's start,
 * a to-do's DUE); absolute when that time is not set. */
void write_trigger(LineWriter& w, const CALDB_VALARM* a, int32_t base, bool isEvent)
{
    if (a->tTrigger == 0)
        return;
    if (base < 1 && a->tTrigger >= 1) {
        char text[kDateTimeRoom] = {0};
        cal_time_timet_to_datez((time_t)a->tTrigger, text);
        w.begin("TRIGGER;VALUE=DATE-TIME:");
        w.append(text);
    } else {
        w.begin(isEvent ? "TRIGGER:" : "TRIGGER;RELATED=END:");
        append_duration(w, (long)a->tTrigger - (long)base);
    }
    w.end();
}

void write_alarm(LineWriter& w, const CALDB_VALARM* a, int32_t base, bool isEvent)
{
    w.fixed("BEGIN:VALARM\r\n");
    put_text(w, "ACTION", action_name(a->nAction), Escape::Raw);
    write_trigger(w, a, base, isEvent);
    if (a->nDuration != 0) {
        w.begin("DURATION:");
        append_duration(w, a->nDuration);
        w.end();
    }
    put_number(w, "REPEAT", a->nRepeat);
    put_text(w, "SUMMARY", a->pSummary);
    put_text(w, "DESCRIPTION", a->pDescription);
    for (unsigned i = 0; a->aAttendees && i < a->aAttendees->count; i++) {
        /* The reader keeps what follows the first "mailto:". */
        w.begin("ATTENDEE:mailto");
        w.value((const char*)a->aAttendees->data[i], Escape::Raw);
        w.end();
    }
    for (unsigned i = 0; a->aXProps && i < a->aXProps->count; i++)
        w.whole_line((const char*)a->aXProps->data[i]);
    w.fixed("END:VALARM\r\n");
}

}  // namespace

void write_component_body(LineWriter& w, const CAL_VCOMPONENT* wrapper, ZoneResolver& zones,
                          iCal_Token_t nMethod)
{
    const CALDB_COMPONENT* c = (const CALDB_COMPONENT*)wrapper->pComponent;
    const Tail tail = tail_of(wrapper);
    write_times(w, c, tail, zones);
    write_descriptions(w, c, tail);
    write_lists(w, c);
    write_extensions(w, wrapper, nMethod);
    const int32_t base = tail.isEvent ? c->tDtStart : tail.end;
    for (unsigned i = 0; c->aAlarms && i < c->aAlarms->count; i++)
        if (const CALDB_VALARM* a = (const CALDB_VALARM*)c->aAlarms->data[i])
            write_alarm(w, a, base, tail.isEvent);
}

}  // namespace calparser_serialize
