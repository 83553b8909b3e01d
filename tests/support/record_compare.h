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
#include <type_traits>
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
        using O = CALDB_ORGANIZER;
        if (!same_presence(p, a, b)) return;
        fields(p, a, b, "pAddr", &O::pAddr, "pOrganizerUid", &O::pOrganizerUid, "pSentByUid",
               &O::pSentByUid, "pSentBy", &O::pSentBy, "pLanguage", &O::pLanguage, "pCn", &O::pCn,
               "pDir", &O::pDir);
    }

    void attendee(const std::string& p, const CALDB_ATTENDEE* a, const CALDB_ATTENDEE* b) {
        using A = CALDB_ATTENDEE;
        if (!same_presence(p, a, b)) return;
        fields(p, a, b, "pAddr", &A::pAddr, "pCalid", &A::pCalid, "pCuType", &A::pCuType,
               "aMembers", &A::aMembers, "aDelegatedTo", &A::aDelegatedTo, "aDelegatedFrom",
               &A::aDelegatedFrom, "pRole", &A::pRole, "pCn", &A::pCn, "pDir", &A::pDir,
               "pSentBy", &A::pSentBy, "pLanguage", &A::pLanguage, "pAuxText", &A::pAuxText,
               "nAuxValue", &A::nAuxValue, "nPartStat", &A::nPartStat, "pPartStatName",
               &A::pPartStatName, "nSentStatus", &A::nSentStatus);
        for (int i = 0; i < 8; i++)
            number(p + ".nAuxWords[" + std::to_string(i) + "]", a->nAuxWords[i], b->nAuxWords[i]);
        number(p + ".bRsvp", a->bRsvp, b->bRsvp);  // bit-fields: no member pointers
        number(p + ".bAuxFlag", a->bAuxFlag, b->bAuxFlag);
    }

    void alarm(const std::string& p, const CALDB_VALARM* a, const CALDB_VALARM* b) {
        using V = CALDB_VALARM;
        if (!same_presence(p, a, b)) return;
        fields(p, a, b, "tTrigger", &V::tTrigger, "nDuration", &V::nDuration, "nAction",
               &V::nAction, "nRepeat", &V::nRepeat, "nAuxValue", &V::nAuxValue, "pAuxText",
               &V::pAuxText, "pSummary", &V::pSummary, "pDescription", &V::pDescription,
               "aAttendees", &V::aAttendees, "aAuxTexts", &V::aAuxTexts, "aXProps", &V::aXProps,
               "nAuxTail", &V::nAuxTail);
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
            using E = CALDB_VEVENT;
            fields(p, (const E*)a, (const E*)b, "tDtEnd", &E::tDtEnd, "pEventAux", &E::pEventAux);
        } else {
            using T = CALDB_VTODO;
            fields(p, (const T*)a, (const T*)b, "tDue", &T::tDue, "tCompleted", &T::tCompleted,
                   "pDueTzid", &T::pDueTzid, "nPercentComplete", &T::nPercentComplete);
        }
    }

    void subzone(const std::string& p, const CAL_VZONE* a, const CAL_VZONE* b) {
        using Z = CAL_VZONE;
        using D = CALDB_VZONE;
        if (!same_presence(p, a, b)) return;
        fields(p, a, b, "nMonth", &Z::nMonth, "nDayOfWeek", &Z::nDayOfWeek, "nWeek", &Z::nWeek,
               "nTimeMs", &Z::nTimeMs, "nStartYear", &Z::nStartYear, "nStartMonth",
               &Z::nStartMonth, "nStartDay", &Z::nStartDay, "nStartHour", &Z::nStartHour,
               "nStartMinute", &Z::nStartMinute, "nStartSecond", &Z::nStartSecond);
        const D* da = a->pDbZone;
        const D* db = b->pDbZone;
        if (!same_presence(p + ".pDbZone", da, db)) return;
        fields(p, da, db, "tDtStart", &D::tDtStart, "nOffsetFrom", &D::nOffsetFrom, "nOffsetTo",
               &D::nOffsetTo, "tAuxTime", &D::tAuxTime, "nAuxValue", &D::nAuxValue);
        times(p + ".aRDates", da->aRDates, db->aRDates);  // a time list, not texts
        fields(p, da, db, "aRRules", &D::aRRules, "aTzNames", &D::aTzNames, "aComments",
               &D::aComments, "aXProps", &D::aXProps);
    }

    void zone(const std::string& p, const CAL_VTIMEZONE* a, const CAL_VTIMEZONE* b) {
        using D = CALDB_VTIMEZONE;
        if (!same_presence(p, a, b)) return;
        if (same_presence(p + ".pDbTimeZone", a->pDbTimeZone, b->pDbTimeZone))
            fields(p, (const D*)a->pDbTimeZone, (const D*)b->pDbTimeZone, "tLastModified",
                   &D::tLastModified, "nAuxValue", &D::nAuxValue, "pTzid", &D::pTzid, "pTzUrl",
                   &D::pTzUrl, "aXProps", &D::aXProps);
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
            each<CAL_VCOMPONENT>(p, sa, sb, &Comparer::component);
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
        using C = CALDB_COMPONENT;
        number(p + ".nFlags", a->nFlags, b->nFlags);
        number(p + ".modFields", memcmp(a->modFields, b->modFields, 8) != 0, 0);
        fields(p, a, b, "nType", &C::nType, "nCompState", &C::nCompState, "tDtStart",
               &C::tDtStart, "nSequence", &C::nSequence, "tAuxTime", &C::tAuxTime,
               "tLastModified", &C::tLastModified, "tCreated", &C::tCreated, "tRecurrenceId",
               &C::tRecurrenceId, "nAuxValue", &C::nAuxValue, "nGeoLat", &C::nGeoLat, "nGeoLon",
               &C::nGeoLon, "pSummary", &C::pSummary, "pUid", &C::pUid, "pDescription",
               &C::pDescription, "pLocation", &C::pLocation, "pUrl", &C::pUrl, "pClass",
               &C::pClass, "pOrganizerEmail", &C::pOrganizerEmail, "pCharset", &C::pCharset,
               "pLanguage", &C::pLanguage, "pDtStartTzid", &C::pDtStartTzid, "pRecurUntil",
               &C::pRecurUntil, "nRecurCount", &C::nRecurCount, "pLinkCalid", &C::pLinkCalid,
               "pStateAddr", &C::pStateAddr);
        organizer(p + ".pOrganizer", a->pOrganizer, b->pOrganizer);
    }

    void lists(const std::string& p, const CALDB_COMPONENT* a, const CALDB_COMPONENT* b) {
        using C = CALDB_COMPONENT;
        each<CALDB_ATTENDEE>(p + ".aAttendees", a->aAttendees, b->aAttendees,
                             &Comparer::attendee);
        each<CALDB_VALARM>(p + ".aAlarms", a->aAlarms, b->aAlarms, &Comparer::alarm);
        fields(p, a, b, "aRDates", &C::aRDates, "aExDates", &C::aExDates, "aRRules", &C::aRRules,
               "aExRules", &C::aExRules, "aRelatedTo", &C::aRelatedTo, "aResources",
               &C::aResources, "aComments", &C::aComments, "aContacts", &C::aContacts,
               "aCategories", &C::aCategories, "aAttachments", &C::aAttachments, "aXProps",
               &C::aXProps, "aRecurRDateList", &C::aRecurRDateList, "aRecurExDateList",
               &C::aRecurExDateList, "aAttendeeRDateList", &C::aAttendeeRDateList,
               "aAttendeeExDateList", &C::aAttendeeExDateList);
    }

    // One field: texts byte-wise, arrays as text lists, anything else as a number.
    template <typename V>
    void field(const std::string& path, V a, V b) {
        if constexpr (std::is_same_v<V, char*>)
            text(path, a, b);
        else if constexpr (std::is_same_v<V, array_t*>)
            texts(path, a, b);
        else
            number(path, (long long)a, (long long)b);
    }

    // The fields named in `more`, given as pairs of a name and a member pointer.
    template <typename T, typename M, typename... More>
    void fields(const std::string& p, const T* a, const T* b, const char* name, M T::*member,
                More... more) {
        field(p + "." + name, a->*member, b->*member);
        if constexpr (sizeof...(more) > 0) fields(p, a, b, more...);
    }

    // The records of two lists, entry by entry, after their counts agree.
    template <typename T>
    void each(const std::string& p, const array_t* a, const array_t* b,
              void (Comparer::*compare)(const std::string&, const T*, const T*)) {
        if (!same_count(p, a, b)) return;
        for (unsigned i = 0; i < count(a); i++)
            (this->*compare)(p + "[" + std::to_string(i) + "]", (const T*)a->data[i],
                             (const T*)b->data[i]);
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
