/* ORGANIZER and ATTENDEE lines of the iCalendar serializer: the value and
 * every parameter the records keep, in the form the attendee and organizer
 * storers read back into the same fields. */
#include "core/parser/cal_serialize_parts.h"

#include <stdio.h>

#include <plstr.h>

namespace calparser_serialize {

namespace {

constexpr char kMailto[] = "mailto:";
constexpr size_t kMailtoLength = sizeof kMailto - 1;

bool is_mailto(const char* text)
{
    return text && PL_strncasecmp(text, kMailto, kMailtoLength) == 0;
}

/* The attendee's value and the parameter that carries its other address: a
 * mailto value keeps the calendar id in X-Z9KQ-CALID; a calendar id value
 * keeps a non-mailto address in X-Z9KQ-EMAIL. */
void write_attendee_addresses(LineWriter& w, const CALDB_ATTENDEE* a, const char** pValue)
{
    if (is_mailto(a->pAddr) || !a->pCalid) {
        w.param("X-Z9KQ-CALID", a->pCalid);
        *pValue = a->pAddr;
    } else {
        w.param("X-Z9KQ-EMAIL", a->pAddr);
        *pValue = a->pCalid;
    }
}

void write_attendee(LineWriter& w, const CALDB_ATTENDEE* a)
{
    w.begin("ATTENDEE");
    w.param("CUTYPE", a->pCuType);
    w.param("ROLE", a->pRole);
    w.param("PARTSTAT",
            a->pPartStatName ? a->pPartStatName : calparser_getPartStatName(a->nPartStat));
    if (a->bRsvp)
        w.param("RSVP", "TRUE");
    w.param("CN", a->pCn);
    w.param("DIR", a->pDir);
    w.param("SENT-BY", a->pSentBy);
    w.param("LANGUAGE", a->pLanguage);
    w.param_list("MEMBER", a->aMembers);
    w.param_list("DELEGATED-TO", a->aDelegatedTo);
    w.param_list("DELEGATED-FROM", a->aDelegatedFrom);
    if (a->nSentStatus != 0) {
        char number[16];
        snprintf(number, sizeof number, "%d", a->nSentStatus);
        w.param("X-KVAL-ATTENDEE-GSE-STATUS", number);
    }
    const char* value = nullptr;
    write_attendee_addresses(w, a, &value);
    w.value(value, Escape::Raw);
    w.end();
}

}  // namespace

void write_organizer(LineWriter& w, const CALDB_ORGANIZER* o)
{
    if (!o || !o->pAddr)
        return; /* the reader keeps no organizer without a value */
    /* Unlike an attendee's, an organizer's empty parameter is kept. */
    w.begin("ORGANIZER");
    w.param("CN", o->pCn, true);
    w.param("DIR", o->pDir, true);
    w.param("SENT-BY", o->pSentBy, true);
    w.param("LANGUAGE", o->pLanguage, true);
    w.param("X-KVAL-ORGANIZER-UID", o->pOrganizerUid, true);
    w.param("X-KVAL-ORGANIZER-SENT-BY-UID", o->pSentByUid, true);
    w.value(o->pAddr, Escape::Raw);
    w.end();
}

void write_attendees(LineWriter& w, const array_t* pAttendees)
{
    for (unsigned i = 0; pAttendees && i < pAttendees->count; i++)
        if (const CALDB_ATTENDEE* a = (const CALDB_ATTENDEE*)pAttendees->data[i])
            write_attendee(w, a);
}

}  // namespace calparser_serialize
