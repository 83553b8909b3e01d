// Field-by-field comparison of two parse results: every field of every
// record (events, to-dos, attendees, organizer, alarms, zones, sub-zones),
// the record library's own fields included, unlike the component comparison
// of the library, which leaves some out. Each difference is one line naming
// the field's path and both values, so a failing test says what changed.
//
// An array that is NULL and one that is empty both hold no entries and
// compare equal; everything else compares exactly (texts byte-wise, rule-based
// zones by ID and rules).
#ifndef TESTS_SUPPORT_RECORD_COMPARE_H
#define TESTS_SUPPORT_RECORD_COMPARE_H

#include <string.h>
#include <time.h>

#include <string>
#include <vector>

#include <unicode/timezone.h>
#include <unicode/unistr.h>

#include "core/parser/calparser.h"

namespace record_compare {

class Comparer {
public:
    std::vector<std::string> diffs;

    void text(const std::string& path, const char* a, const char* b) {
        if ((a == nullptr) != (b == nullptr) || (a && strcmp(a, b) != 0))
            diffs.push_back(path + ": " + show(a) + " != " + show(b));
    }

    void number(const std::string& path, long long a, long long b) {
        if (a != b)
            diffs.push_back(path + ": " + std::to_string(a) + " != " + std::to_string(b));
    }

    void texts(const std::string& path, const array_t* a, const array_t* b) {
        if (!same_count(path, a, b)) return;
        for (unsigned i = 0; i < count(a); i++)
            text(path + "[" + std::to_string(i) + "]", (const char*)a->data[i],
                 (const char*)b->data[i]);
    }

    // Time lists (caldb_time_list_at).
    void times(const std::string& path, const array_t* a, const array_t* b) {
        if (!same_count(path, a, b)) return;
        for (unsigned i = 0; i < count(a); i++)
            number(path + "[" + std::to_string(i) + "]", time_at(a, i), time_at(b, i));
    }

    void organizer(const std::string& p, const CALDB_ORGANIZER* a, const CALDB_ORGANIZER* b) {
        if (!same_presence(p, a, b)) return;
        text(p + ".pAddr", a->pAddr, b->pAddr);
        text(p + ".pOrganizerUid", a->pOrganizerUid, b->pOrganizerUid);
        text(p + ".pSentByUid", a->pSentByUid, b->pSentByUid);
        text(p + ".pSentBy", a->pSentBy, b->pSentBy);
        text(p + ".pLanguage", a->pLanguage, b->pLanguage);
        text(p + ".pCn", a->pCn, b->pCn);
        text(p + ".pDir", a->pDir, b->pDir);
    }

    void attendee(const std::string& p, const CALDB_ATTENDEE* a, const CALDB_ATTENDEE* b) {
        if (!same_presence(p, a, b)) return;
        text(p + ".pAddr", a->pAddr, b->pAddr);
        text(p + ".pCalid", a->pCalid, b->pCalid);
        text(p + ".pCuType", a->pCuType, b->pCuType);
        texts(p + ".aMembers", a->aMembers, b->aMembers);
        texts(p + ".aDelegatedTo", a->aDelegatedTo, b->aDelegatedTo);
        texts(p + ".aDelegatedFrom", a->aDelegatedFrom, b->aDelegatedFrom);
        text(p + ".pRole", a->pRole, b->pRole);
        text(p + ".pCn", a->pCn, b->pCn);
        text(p + ".pDir", a->pDir, b->pDir);
        text(p + ".pSentBy", a->pSentBy, b->pSentBy);
        text(p + ".pLanguage", a->pLanguage, b->pLanguage);
        text(p + ".pAuxText", a->pAuxText, b->pAuxText);
        number(p + ".nAuxValue", a->nAuxValue, b->nAuxValue);
        number(p + ".nPartStat", a->nPartStat, b->nPartStat);
        text(p + ".pPartStatName", a->pPartStatName, b->pPartStatName);
        number(p + ".nSentStatus", a->nSentStatus, b->nSentStatus);
        for (int i = 0; i < 8; i++)
            number(p + ".nAuxWords[" + std::to_string(i) + "]", a->nAuxWords[i], b->nAuxWords[i]);
        number(p + ".bRsvp", a->bRsvp, b->bRsvp);
        number(p + ".bAuxFlag", a->bAuxFlag, b->bAuxFlag);
    }

    void alarm(const std::string& p, const CALDB_VALARM* a, const CALDB_VALARM* b) {
        if (!same_presence(p, a, b)) return;
        number(p + ".tTrigger", a->tTrigger, b->tTrigger);
        number(p + ".nDuration", a->nDuration, b->nDuration);
        number(p + ".nAction", a->nAction, b->nAction);
        number(p + ".nRepeat", a->nRepeat, b->nRepeat);
        number(p + ".nAuxValue", a->nAuxValue, b->nAuxValue);
        text(p + ".pAuxText", a->pAuxText, b->pAuxText);
        text(p + ".pSummary", a->pSummary, b->pSummary);
        text(p + ".pDescription", a->pDescription, b->pDescription);
        texts(p + ".aAttendees", a->aAttendees, b->aAttendees);
        texts(p + ".aAuxTexts", a->aAuxTexts, b->aAuxTexts);
        texts(p + ".aXProps", a->aXProps, b->aXProps);
        number(p + ".nAuxTail", a->nAuxTail, b->nAuxTail);
    }

    void component(const std::string& p, const CAL_VCOMPONENT* wa, const CAL_VCOMPONENT* wb) {
        if (!same_presence(p, wa, wb)) return;
        number(p + ".nType(wrapper)", wa->nType, wb->nType);
        const CALDB_COMPONENT* a = (const CALDB_COMPONENT*)wa->pComponent;
        const CALDB_COMPONENT* b = (const CALDB_COMPONENT*)wb->pComponent;
        if (!same_presence(p + ".pComponent", a, b)) return;
        shared_head(p, a, b);
        lists(p, a, b);
        if (caldb_IsEventKind(wa->nType)) {
            const CALDB_VEVENT* ea = (const CALDB_VEVENT*)a;
            const CALDB_VEVENT* eb = (const CALDB_VEVENT*)b;
            number(p + ".tDtEnd", ea->tDtEnd, eb->tDtEnd);
            text(p + ".pEventAux", ea->pEventAux, eb->pEventAux);
        } else {
            const CALDB_VTODO* ta = (const CALDB_VTODO*)a;
            const CALDB_VTODO* tb = (const CALDB_VTODO*)b;
            number(p + ".tDue", ta->tDue, tb->tDue);
            number(p + ".tCompleted", ta->tCompleted, tb->tCompleted);
            text(p + ".pDueTzid", ta->pDueTzid, tb->pDueTzid);
            number(p + ".nPercentComplete", ta->nPercentComplete, tb->nPercentComplete);
        }
    }

    void subzone(const std::string& p, const CAL_VZONE* a, const CAL_VZONE* b) {
        if (!same_presence(p, a, b)) return;
        number(p + ".nMonth", a->nMonth, b->nMonth);
        number(p + ".nDayOfWeek", a->nDayOfWeek, b->nDayOfWeek);
        number(p + ".nWeek", a->nWeek, b->nWeek);
        number(p + ".nTimeMs", a->nTimeMs, b->nTimeMs);
        number(p + ".nStartYear", a->nStartYear, b->nStartYear);
        number(p + ".nStartMonth", a->nStartMonth, b->nStartMonth);
        number(p + ".nStartDay", a->nStartDay, b->nStartDay);
        number(p + ".nStartHour", a->nStartHour, b->nStartHour);
        number(p + ".nStartMinute", a->nStartMinute, b->nStartMinute);
        number(p + ".nStartSecond", a->nStartSecond, b->nStartSecond);
        const CALDB_VZONE* da = a->pDbZone;
        const CALDB_VZONE* db = b->pDbZone;
        if (!same_presence(p + ".pDbZone", da, db)) return;
        number(p + ".tDtStart", da->tDtStart, db->tDtStart);
        number(p + ".nOffsetFrom", da->nOffsetFrom, db->nOffsetFrom);
        number(p + ".nOffsetTo", da->nOffsetTo, db->nOffsetTo);
        number(p + ".tAuxTime", da->tAuxTime, db->tAuxTime);
        number(p + ".nAuxValue", da->nAuxValue, db->nAuxValue);
        times(p + ".aRDates", da->aRDates, db->aRDates);
        texts(p + ".aRRules", da->aRRules, db->aRRules);
        texts(p + ".aTzNames", da->aTzNames, db->aTzNames);
        texts(p + ".aComments", da->aComments, db->aComments);
        texts(p + ".aXProps", da->aXProps, db->aXProps);
    }

    void zone(const std::string& p, const CAL_VTIMEZONE* a, const CAL_VTIMEZONE* b) {
        if (!same_presence(p, a, b)) return;
        if (same_presence(p + ".pDbTimeZone", a->pDbTimeZone, b->pDbTimeZone)) {
            const CALDB_VTIMEZONE* da = a->pDbTimeZone;
            const CALDB_VTIMEZONE* db = b->pDbTimeZone;
            number(p + ".tLastModified", da->tLastModified, db->tLastModified);
            number(p + ".nAuxValue", da->nAuxValue, db->nAuxValue);
            text(p + ".pTzid", da->pTzid, db->pTzid);
            text(p + ".pTzUrl", da->pTzUrl, db->pTzUrl);
            texts(p + ".aXProps", da->aXProps, db->aXProps);
        }
        subzone(p + ".pDaylight", a->pDaylight, b->pDaylight);
        subzone(p + ".pStandard", a->pStandard, b->pStandard);
        icu_zone(p + ".pIcuZone", a->pIcuZone, b->pIcuZone);
        texts(p + ".aAliases", a->aAliases, b->aAliases);
        times(p + ".aTzCross", a->aTzCross, b->aTzCross);
    }

    // Slot by slot; with `bAllowAddedZones`, zones that `b` holds beyond
    // those of `a` must each equal the registry's zone of their name.
    void results(const array_t* a, const array_t* b, bool bAllowAddedZones) {
        number("slots", count(a), count(b));
        for (unsigned s = 0; s < count(a) && s < count(b); s++) {
            const array_t* sa = (const array_t*)a->data[s];
            const array_t* sb = (const array_t*)b->data[s];
            const std::string p = "slot" + std::to_string(s);
            if (s == CALPARSER_SLOT_TIMEZONES) {
                zones(p, sa, sb, bAllowAddedZones);
                continue;
            }
            if (!same_count(p, sa, sb)) continue;
            for (unsigned i = 0; i < count(sa); i++)
                component(p + "[" + std::to_string(i) + "]",
                          (const CAL_VCOMPONENT*)sa->data[i], (const CAL_VCOMPONENT*)sb->data[i]);
        }
    }

private:
    static unsigned count(const array_t* a) { return a ? a->count : 0; }

    static long long time_at(const array_t* a, unsigned i) {
        return (long long)caldb_time_list_at(a, i);
    }

    static std::string show(const char* s) { return s ? "\"" + std::string(s) + "\"" : "NULL"; }

    bool same_count(const std::string& path, const array_t* a, const array_t* b) {
        if (count(a) == count(b)) return true;
        diffs.push_back(path + ": " + std::to_string(count(a)) + " entries != " +
                        std::to_string(count(b)));
        return false;
    }

    bool same_presence(const std::string& path, const void* a, const void* b) {
        if ((a == nullptr) != (b == nullptr))
            diffs.push_back(path + ": " + (a ? "present" : "NULL") + " != " +
                            (b ? "present" : "NULL"));
        return a && b;
    }

    void icu_zone(const std::string& p, const icu::TimeZone* a, const icu::TimeZone* b) {
        if (!same_presence(p, a, b)) return;
        icu::UnicodeString ida, idb;
        a->getID(ida);
        b->getID(idb);
        if (ida != idb || !a->hasSameRules(*b)) diffs.push_back(p + ": ID or rules differ");
    }

    void zones(const std::string& p, const array_t* a, const array_t* b, bool bAllowAdded) {
        if (!bAllowAdded || count(b) < count(a)) {
            if (!same_count(p, a, b)) return;
        }
        for (unsigned i = 0; i < count(b); i++) {
            const CAL_VTIMEZONE* zb = (const CAL_VTIMEZONE*)b->data[i];
            const std::string pi = p + "[" + std::to_string(i) + "]";
            if (i < count(a)) {
                zone(pi, (const CAL_VTIMEZONE*)a->data[i], zb);
            } else {
                const char* name = zb && zb->pDbTimeZone ? zb->pDbTimeZone->pTzid : nullptr;
                zone(pi + "(registry)", calparser_lookupCalVTimeZone(name), zb);
            }
        }
    }

    void shared_head(const std::string& p, const CALDB_COMPONENT* a, const CALDB_COMPONENT* b) {
        number(p + ".nFlags", a->nFlags, b->nFlags);
        number(p + ".modFields", memcmp(a->modFields, b->modFields, 8) != 0, 0);
        number(p + ".nType", a->nType, b->nType);
        number(p + ".nCompState", a->nCompState, b->nCompState);
        number(p + ".tDtStart", a->tDtStart, b->tDtStart);
        number(p + ".nSequence", a->nSequence, b->nSequence);
        number(p + ".tAuxTime", a->tAuxTime, b->tAuxTime);
        number(p + ".tLastModified", a->tLastModified, b->tLastModified);
        number(p + ".tCreated", a->tCreated, b->tCreated);
        number(p + ".tRecurrenceId", a->tRecurrenceId, b->tRecurrenceId);
        number(p + ".nAuxValue", a->nAuxValue, b->nAuxValue);
        number(p + ".nGeoLat", a->nGeoLat, b->nGeoLat);
        number(p + ".nGeoLon", a->nGeoLon, b->nGeoLon);
        text(p + ".pSummary", a->pSummary, b->pSummary);
        text(p + ".pUid", a->pUid, b->pUid);
        text(p + ".pDescription", a->pDescription, b->pDescription);
        text(p + ".pLocation", a->pLocation, b->pLocation);
        text(p + ".pUrl", a->pUrl, b->pUrl);
        text(p + ".pClass", a->pClass, b->pClass);
        text(p + ".pOrganizerEmail", a->pOrganizerEmail, b->pOrganizerEmail);
        text(p + ".pCharset", a->pCharset, b->pCharset);
        text(p + ".pLanguage", a->pLanguage, b->pLanguage);
        text(p + ".pDtStartTzid", a->pDtStartTzid, b->pDtStartTzid);
        text(p + ".pRecurUntil", a->pRecurUntil, b->pRecurUntil);
        number(p + ".nRecurCount", a->nRecurCount, b->nRecurCount);
        text(p + ".pLinkCalid", a->pLinkCalid, b->pLinkCalid);
        text(p + ".pStateAddr", a->pStateAddr, b->pStateAddr);
        organizer(p + ".pOrganizer", a->pOrganizer, b->pOrganizer);
    }

    void lists(const std::string& p, const CALDB_COMPONENT* a, const CALDB_COMPONENT* b) {
        if (same_count(p + ".aAttendees", a->aAttendees, b->aAttendees))
            for (unsigned i = 0; i < count(a->aAttendees); i++)
                attendee(p + ".aAttendees[" + std::to_string(i) + "]",
                         (const CALDB_ATTENDEE*)a->aAttendees->data[i],
                         (const CALDB_ATTENDEE*)b->aAttendees->data[i]);
        if (same_count(p + ".aAlarms", a->aAlarms, b->aAlarms))
            for (unsigned i = 0; i < count(a->aAlarms); i++)
                alarm(p + ".aAlarms[" + std::to_string(i) + "]",
                      (const CALDB_VALARM*)a->aAlarms->data[i],
                      (const CALDB_VALARM*)b->aAlarms->data[i]);
        texts(p + ".aRDates", a->aRDates, b->aRDates);
        texts(p + ".aExDates", a->aExDates, b->aExDates);
        texts(p + ".aRRules", a->aRRules, b->aRRules);
        texts(p + ".aExRules", a->aExRules, b->aExRules);
        texts(p + ".aRelatedTo", a->aRelatedTo, b->aRelatedTo);
        texts(p + ".aResources", a->aResources, b->aResources);
        texts(p + ".aComments", a->aComments, b->aComments);
        texts(p + ".aContacts", a->aContacts, b->aContacts);
        texts(p + ".aCategories", a->aCategories, b->aCategories);
        texts(p + ".aAttachments", a->aAttachments, b->aAttachments);
        texts(p + ".aXProps", a->aXProps, b->aXProps);
        texts(p + ".aRecurRDateList", a->aRecurRDateList, b->aRecurRDateList);
        texts(p + ".aRecurExDateList", a->aRecurExDateList, b->aRecurExDateList);
        texts(p + ".aAttendeeRDateList", a->aAttendeeRDateList, b->aAttendeeRDateList);
        texts(p + ".aAttendeeExDateList", a->aAttendeeExDateList, b->aAttendeeExDateList);
    }
};

// The differences between two parse results (see Comparer::results).
inline std::vector<std::string> compare_results(const array_t* a, const array_t* b,
                                                bool bAllowAddedZones) {
    Comparer c;
    c.results(a, b, bAllowAddedZones);
    return c.diffs;
}

}  // namespace record_compare

#endif
