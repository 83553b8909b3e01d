// Field-by-field comparison of two parse results: every field of every
// record (events, to-dos, attendees, organizer, alarms, zones, sub-zones),
// the record library's own fields included, unlike the component comparison
// of the library, which leaves some out. The head that events and to-dos
// share is walked through the library's field table (cal_fields_test checks
// that it names every field once). Each difference is one line naming the
// field's path and both values, so a failing test says what changed.
//
// An array that is NULL and one that is empty both hold no entries and
// compare equal; everything else compares exactly (texts byte-wise). Zones
// compare by what they store, not by what the loader derives from it; zones
// the second result holds beyond those of the first (a written TZID brings
// its VTIMEZONE) must each equal the registry's zone of their name.
#ifndef TESTS_SUPPORT_RECORD_COMPARE_H
#define TESTS_SUPPORT_RECORD_COMPARE_H

#include <string.h>

#include <string>
#include <type_traits>
#include <vector>

#include "core/parser/cal_fields.h"
#include "core/parser/calparser.h"

namespace record_compare {

class Comparer {
public:
    std::vector<std::string> diffs;

    // Slot by slot: zones, then the events' and to-dos' wrappers.
    void results(const array_t* a, const array_t* b) {
        number("slots", count(a), count(b));
        for (unsigned s = 0; s < count(a) && s < count(b); s++) {
            const array_t* sa = (const array_t*)a->data[s];
            const array_t* sb = (const array_t*)b->data[s];
            const std::string p = "slot" + std::to_string(s);
            if (s == CALPARSER_SLOT_TIMEZONES)
                zones(p, sa, sb);
            else
                each<CAL_VCOMPONENT>(p, sa, sb, &Comparer::component);
        }
    }

private:
    static unsigned count(const array_t* a) { return a ? a->count : 0; }
    static std::string show(const char* s) { return s ? "\"" + std::string(s) + "\"" : "NULL"; }

    void text(const std::string& path, const char* a, const char* b) {
        if ((a == nullptr) != (b == nullptr) || (a && strcmp(a, b) != 0))
            diffs.push_back(path + ": " + show(a) + " != " + show(b));
    }

    void number(const std::string& path, long long a, long long b) {
        if (a != b) diffs.push_back(path + ": " + std::to_string(a) + " != " + std::to_string(b));
    }

    bool same_count(const std::string& path, const array_t* a, const array_t* b) {
        number(path + " entries", count(a), count(b));
        return count(a) == count(b);
    }

    bool same_presence(const std::string& path, const void* a, const void* b) {
        if ((a == nullptr) != (b == nullptr))
            diffs.push_back(path + ": " + (a ? "present" : "NULL") + " != " +
                            (b ? "present" : "NULL"));
        return a && b;
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
            number(path + "[" + std::to_string(i) + "]", caldb_time_list_at(a, i),
                   caldb_time_list_at(b, i));
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

    // A field of the shared head, named by its offset, by its kind's rule;
    // the series zone is the record library's own and not compared.
    void head_field(const std::string& p, const CALPARSER_FIELD& f, const CALDB_COMPONENT* a,
                    const CALDB_COMPONENT* b) {
        const std::string path = p + ".field@" + std::to_string(f.nOffset);
        using O = CALDB_ORGANIZER*;
        switch (f.nKind) {
        case CALPARSER_FIELD_TIME:
            return number(path, calparser_field<int32_t>(a, f), calparser_field<int32_t>(b, f));
        case CALPARSER_FIELD_INT:
            return number(path, calparser_field<int>(a, f), calparser_field<int>(b, f));
        case CALPARSER_FIELD_STATE:
            return number(path, calparser_field<uint32_t>(a, f), calparser_field<uint32_t>(b, f));
        case CALPARSER_FIELD_TEXT:
            return text(path, calparser_field<char*>(a, f), calparser_field<char*>(b, f));
        case CALPARSER_FIELD_TEXT_LIST:
            return texts(path, calparser_field<array_t*>(a, f), calparser_field<array_t*>(b, f));
        case CALPARSER_FIELD_ORGANIZER:
            return organizer(path, calparser_field<O>(a, f), calparser_field<O>(b, f));
        case CALPARSER_FIELD_ATTENDEES:
            return each<CALDB_ATTENDEE>(path, calparser_field<array_t*>(a, f),
                                        calparser_field<array_t*>(b, f), &Comparer::attendee);
        case CALPARSER_FIELD_ALARMS:
            return each<CALDB_VALARM>(path, calparser_field<array_t*>(a, f),
                                      calparser_field<array_t*>(b, f), &Comparer::alarm);
        case CALPARSER_FIELD_ZONE: return;
        }
    }

    void component(const std::string& p, const CAL_VCOMPONENT* wa, const CAL_VCOMPONENT* wb) {
        if (!same_presence(p, wa, wb)) return;
        number(p + ".nType(wrapper)", wa->nType, wb->nType);
        const CALDB_COMPONENT* a = (const CALDB_COMPONENT*)wa->pComponent;
        const CALDB_COMPONENT* b = (const CALDB_COMPONENT*)wb->pComponent;
        if (!same_presence(p + ".pComponent", a, b)) return;
        number(p + ".nFlags", a->nFlags, b->nFlags);
        number(p + ".modFields", memcmp(a->modFields, b->modFields, 8) != 0, 0);
        for (unsigned i = 0; i < calparser_componentFieldCount; i++)
            head_field(p, calparser_componentFields[i], a, b);
        if (caldb_IsEventKind(wa->nType)) {
            using E = CALDB_VEVENT;
            fields(p, (const E*)a, (const E*)b, "tDtEnd", &E::tDtEnd, "pEventAux", &E::pEventAux);
        } else {
            using T = CALDB_VTODO;
            fields(p, (const T*)a, (const T*)b, "tDue", &T::tDue, "tCompleted", &T::tCompleted,
                   "pDueTzid", &T::pDueTzid, "nPercentComplete", &T::nPercentComplete);
        }
    }

    // The stored parts of a sub-zone; what the loader derives from them
    // (rule fields, the ICU zone, the crossings) follows from these.
    void subzone(const std::string& p, const CAL_VZONE* a, const CAL_VZONE* b) {
        using D = CALDB_VZONE;
        if (!same_presence(p, a, b)) return;
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
        texts(p + ".aAliases", a->aAliases, b->aAliases);
    }

    void zones(const std::string& p, const array_t* a, const array_t* b) {
        if (count(b) < count(a) && !same_count(p, a, b)) return;
        for (unsigned i = 0; i < count(b); i++) {
            const CAL_VTIMEZONE* zb = (const CAL_VTIMEZONE*)b->data[i];
            const char* name = zb && zb->pDbTimeZone ? zb->pDbTimeZone->pTzid : nullptr;
            const std::string pi = p + "[" + std::to_string(i) + "]";
            if (i < count(a))
                zone(pi, (const CAL_VTIMEZONE*)a->data[i], zb);
            else
                zone(pi + "(registry)", calparser_lookupCalVTimeZone(name), zb);
        }
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
inline std::vector<std::string> compare_results(const array_t* a, const array_t* b) {
    Comparer c;
    c.results(a, b);
    return c.diffs;
}

}  // namespace record_compare

#endif
