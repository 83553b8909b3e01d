/* The field table of the record head that events and to-dos share. */
#include "core/parser/cal_fields.h"

#include "core/parser/cal_compare.h"

namespace {

/* Shorter names for the columns. */
constexpr CALPARSER_FIELD_KIND kTime = CALPARSER_FIELD_TIME;
constexpr CALPARSER_FIELD_KIND kInt = CALPARSER_FIELD_INT;
constexpr CALPARSER_FIELD_KIND kText = CALPARSER_FIELD_TEXT;
constexpr CALPARSER_FIELD_KIND kList = CALPARSER_FIELD_TEXT_LIST;
constexpr CALPARSER_FIELD_CLASS kMajor = CALPARSER_FIELD_MAJOR;
constexpr CALPARSER_FIELD_CLASS kMinor = CALPARSER_FIELD_MINOR;
constexpr CALPARSER_FIELD_CLASS kUncompared = CALPARSER_FIELD_NOT_COMPARED;
constexpr CALPARSER_FIELD_COPY kNever = CALPARSER_COPY_NEVER;
constexpr CALPARSER_FIELD_COPY kAlways = CALPARSER_COPY_ALWAYS;
constexpr CALPARSER_FIELD_COPY kFull = CALPARSER_COPY_FULL;
constexpr CALPARSER_FIELD_COPY kPlain = CALPARSER_COPY_PLAIN;
constexpr CALPARSER_FIELD_COPY kGuarded = CALPARSER_COPY_GUARDED;
constexpr iCal_Token_t kNoProperty = TOKEN_UNKNOWN;
constexpr CALPARSER_FIELD_STORER kUnstored = CALPARSER_STORE_NONE;
constexpr CALPARSER_FIELD_STORER kTextStorer = CALPARSER_STORE_TEXT;
constexpr CALPARSER_FIELD_STORER kAppend = CALPARSER_STORE_APPEND;
constexpr CALPARSER_FIELD_STORER kItems = CALPARSER_STORE_ITEMS;
constexpr CALPARSER_FIELD_STORER kDateTime = CALPARSER_STORE_DATETIME;
constexpr CALPARSER_FIELD_STORER kInteger = CALPARSER_STORE_INTEGER;

}  // namespace

/* The order is the one comparisons examine the fields in (major ones, then
 * the minor ones) and the one copies make them in. */
const CALPARSER_FIELD calparser_componentFields[] = {
    /* offset, kind, modification bit, class, copy, replace, property, storer */
    {offsetof(CALDB_COMPONENT, tDtStart), kTime, CALPARSER_MOD_DTSTART, kMajor, kNever, 0,
     kNoProperty, kUnstored},
    {offsetof(CALDB_COMPONENT, tRecurrenceId), kTime, 0, kMajor, kNever, 0, TOKEN_RECURRENCE_ID,
     kDateTime},
    {offsetof(CALDB_COMPONENT, tCreated), kTime, CALPARSER_MOD_CREATED, kMajor, kPlain, 0,
     TOKEN_CREATED, kDateTime},
    {offsetof(CALDB_COMPONENT, tLastModified), kTime, CALPARSER_MOD_LASTMODIFIED, kMajor, kPlain,
     0, TOKEN_LAST_MODIFIED, kDateTime},
    {offsetof(CALDB_COMPONENT, tAuxTime), kTime, CALPARSER_MOD_AUXTIME, kMajor, kPlain, 0,
     kNoProperty, kUnstored},
    {offsetof(CALDB_COMPONENT, nAuxValue), kInt, 0, kMajor, kAlways, 0, kNoProperty, kUnstored},
    {offsetof(CALDB_COMPONENT, nGeoLat), kInt, CALPARSER_MOD_GEOLAT, kMajor, kGuarded, 0,
     TOKEN_GEO, CALPARSER_STORE_GEO},
    {offsetof(CALDB_COMPONENT, nGeoLon), kInt, CALPARSER_MOD_GEOLON, kMajor, kGuarded, 0,
     kNoProperty, kUnstored},
    {offsetof(CALDB_COMPONENT, nType), kInt, 0, kUncompared, kAlways, 0, kNoProperty, kUnstored},
    {offsetof(CALDB_COMPONENT, nRecurCount), kInt, 0, kUncompared, kFull, 0,
     TOKEN_X_Z9KQ_RECURRENCE_COUNT, kInteger},
    {offsetof(CALDB_COMPONENT, pOrganizer), CALPARSER_FIELD_ORGANIZER, CALPARSER_MOD_ORGANIZER,
     kMajor, kPlain, 0, TOKEN_ORGANIZER, CALPARSER_STORE_ORGANIZER},
    {offsetof(CALDB_COMPONENT, pUid), kText, CALPARSER_MOD_UID, kMajor, kPlain, 0, TOKEN_UID,
     kTextStorer},
    {offsetof(CALDB_COMPONENT, pClass), kText, CALPARSER_MOD_CLASS, kMajor, kPlain, 1, TOKEN_CLASS,
     kTextStorer},
    {offsetof(CALDB_COMPONENT, pDescription), kText, CALPARSER_MOD_DESCRIPTION, kMajor, kGuarded,
     0, TOKEN_DESCRIPTION, kTextStorer},
    {offsetof(CALDB_COMPONENT, pLocation), kText, CALPARSER_MOD_LOCATION, kMajor, kGuarded, 0,
     TOKEN_LOCATION, kTextStorer},
    {offsetof(CALDB_COMPONENT, pOrganizerEmail), kText, CALPARSER_MOD_ORGANIZER_EMAIL, kMajor,
     kGuarded, 0, TOKEN_X_KVAL_ORGANIZER_EMAIL, CALPARSER_STORE_EMAIL},
    {offsetof(CALDB_COMPONENT, pSummary), kText, CALPARSER_MOD_SUMMARY, kMajor, kGuarded, 0,
     TOKEN_SUMMARY, kTextStorer},
    {offsetof(CALDB_COMPONENT, pUrl), kText, CALPARSER_MOD_URL, kMajor, kGuarded, 0, TOKEN_URL,
     kTextStorer},
    {offsetof(CALDB_COMPONENT, pStateAddr), kText, CALPARSER_MOD_STATE_ADDR, kUncompared, kPlain,
     0, kNoProperty, kUnstored},
    {offsetof(CALDB_COMPONENT, pCharset), kText, CALPARSER_MOD_CHARSET, kMajor, kPlain, 0,
     TOKEN_X_KVAL_CHARSET, kTextStorer},
    {offsetof(CALDB_COMPONENT, pLanguage), kText, CALPARSER_MOD_LANGUAGE, kMajor, kPlain, 0,
     TOKEN_X_KVAL_LANGUAGE, kTextStorer},
    {offsetof(CALDB_COMPONENT, pDtStartTzid), kText, CALPARSER_MOD_DTSTART_TZID, kMajor, kPlain, 0,
     TOKEN_X_KVAL_DTSTART_TZID, kTextStorer},
    {offsetof(CALDB_COMPONENT, pRecurUntil), kText, 0, kUncompared, kFull, 0,
     TOKEN_X_Z9KQ_RECURRENCE_UNTIL, kTextStorer},
    {offsetof(CALDB_COMPONENT, pLinkCalid), kText, 0, kUncompared, kNever, 0,
     TOKEN_X_KVAL_LINK_CALID, kTextStorer},
    {offsetof(CALDB_COMPONENT, aAttendees), CALPARSER_FIELD_ATTENDEES, CALPARSER_MOD_ATTENDEES,
     kMajor, kGuarded, 0, TOKEN_ATTENDEE, CALPARSER_STORE_ATTENDEE},
    /* The recurrence lists merge into what the destination has. */
    {offsetof(CALDB_COMPONENT, aRRules), kList, CALPARSER_MOD_RRULES, kMajor, kPlain, 0,
     TOKEN_RRULE, kAppend},
    {offsetof(CALDB_COMPONENT, aExRules), kList, CALPARSER_MOD_EXRULES, kMajor, kPlain, 0,
     TOKEN_EXRULE, kAppend},
    {offsetof(CALDB_COMPONENT, aRDates), kList, CALPARSER_MOD_RDATES, kMajor, kPlain, 0,
     TOKEN_RDATE, kItems},
    {offsetof(CALDB_COMPONENT, aExDates), kList, CALPARSER_MOD_EXDATES, kMajor, kPlain, 0,
     TOKEN_EXDATE, kItems},
    {offsetof(CALDB_COMPONENT, aRecurRDateList), kList, CALPARSER_MOD_RECUR_RDATELIST, kUncompared,
     kPlain, 0, TOKEN_X_Z9KQ_RECURRENCE_RDATELIST, kItems},
    {offsetof(CALDB_COMPONENT, aRecurExDateList), kList, CALPARSER_MOD_RECUR_EXDATELIST,
     kUncompared, kPlain, 0, TOKEN_X_Z9KQ_RECURRENCE_EXDATELIST, kItems},
    /* A changed descriptive list replaces an instance's own. */
    {offsetof(CALDB_COMPONENT, aCategories), kList, CALPARSER_MOD_CATEGORIES, kMajor, kGuarded, 1,
     TOKEN_CATEGORIES, kItems},
    {offsetof(CALDB_COMPONENT, aRelatedTo), kList, CALPARSER_MOD_RELATED_TO, kMajor, kGuarded, 1,
     TOKEN_RELATED_TO, kAppend},
    {offsetof(CALDB_COMPONENT, aAttachments), kList, CALPARSER_MOD_ATTACHMENTS, kMajor, kGuarded,
     1, TOKEN_ATTACH, kAppend},
    {offsetof(CALDB_COMPONENT, aResources), kList, CALPARSER_MOD_RESOURCES, kMajor, kGuarded, 1,
     TOKEN_RESOURCES, kItems},
    {offsetof(CALDB_COMPONENT, aComments), kList, CALPARSER_MOD_COMMENTS, kMajor, kGuarded, 1,
     TOKEN_COMMENT, kAppend},
    {offsetof(CALDB_COMPONENT, aContacts), kList, CALPARSER_MOD_CONTACTS, kMajor, kGuarded, 1,
     TOKEN_CONTACT, kAppend},
    {offsetof(CALDB_COMPONENT, nCompState), CALPARSER_FIELD_STATE, CALPARSER_MOD_COMP_STATE,
     kMajor, kAlways, 0, TOKEN_X_KVAL_GSE_COMPONENT_STATE, kInteger},
    {offsetof(CALDB_COMPONENT, aAlarms), CALPARSER_FIELD_ALARMS, CALPARSER_MOD_ALARMS, kMinor,
     kNever, 0, kNoProperty, kUnstored},
    {offsetof(CALDB_COMPONENT, aXProps), kList, CALPARSER_MOD_XPROPS, kMinor, kGuarded, 0, TOKEN_X,
     kAppend},
    {offsetof(CALDB_COMPONENT, nSequence), kInt, CALPARSER_MOD_SEQUENCE, kMinor, kPlain, 0,
     TOKEN_SEQUENCE, kInteger},
    {offsetof(CALDB_COMPONENT, aAttendeeRDateList), kList, 0, kUncompared, kFull, 0,
     TOKEN_X_Z9KQ_ATTENDEE_RDATELIST, kItems},
    {offsetof(CALDB_COMPONENT, aAttendeeExDateList), kList, 0, kUncompared, kFull, 0,
     TOKEN_X_Z9KQ_ATTENDEE_EXDATELIST, kItems},
    /* Kept only for expanding a series; no version or copy sees it. */
    {offsetof(CALDB_COMPONENT, pSeriesZone), CALPARSER_FIELD_ZONE, 0, kUncompared, kNever, 0,
     kNoProperty, kUnstored},
};

const unsigned calparser_componentFieldCount =
    sizeof calparser_componentFields / sizeof calparser_componentFields[0];

namespace {

/* For every keyword value, 1 + the index of the first stored field of its
 * property, 0 when none: every property line asks, so the table is indexed
 * once instead of searched each time. */
struct FieldIndex {
    unsigned char ofProperty[CALPARSER_STR::kTableSize] = {};
    FieldIndex()
    {
        static_assert(sizeof calparser_componentFields / sizeof calparser_componentFields[0] <
                          255,
                      "a field index fits a byte");
        for (unsigned i = calparser_componentFieldCount; i-- > 0;) {
            const CALPARSER_FIELD& field = calparser_componentFields[i];
            unsigned property = (unsigned)field.nProperty;
            if (field.nStorer != CALPARSER_STORE_NONE && property < CALPARSER_STR::kTableSize)
                ofProperty[property] = (unsigned char)(i + 1);
        }
    }
};

}  // namespace

const CALPARSER_FIELD* calparser_fieldOfProperty(iCal_Token_t nProperty)
{
    static const FieldIndex index;
    unsigned property = (unsigned)nProperty;
    if (property >= CALPARSER_STR::kTableSize || index.ofProperty[property] == 0)
        return nullptr;
    return &calparser_componentFields[index.ofProperty[property] - 1];
}
