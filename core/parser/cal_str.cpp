/* The keyword table and the look-ups from text to keyword values.
 *
 * Each look-up hashes its input once and searches its own keyword list, kept
 * sorted by hash, with a binary search. A list sorted by (hash, position in the
 * list) returns the earliest listed keyword among equal hashes, so the result is
 * the one a scan of the list in its written order would give. */
#include "core/parser/cal_str.h"

#include <plstr.h>

#include <cstring>
#include <new>

#include "public/db/caldb.h"

struct CALPARSER_STR::KeywordRule {
    iCal_Token_t keyword; /* whose text's hash is matched */
    int result;
    int value;
};

namespace {

constexpr unsigned kFullSampleLength = 128; /* shorter texts hash every byte */
constexpr unsigned kSamplesPerLongText = 64;

constexpr int kNoDay = 0;            /* weekdays are 1 to 7 */
constexpr int kDayOfUnknownText = 1; /* what a text that is no weekday gives */

/* Property names, in the order the look-up tries them. */
const iCal_Token_t kPropKeywords[] = {
    TOKEN_BEGIN, TOKEN_END, TOKEN_CALSCALE, TOKEN_METHOD, TOKEN_PRODID, TOKEN_VERSION,
    TOKEN_ATTACH, TOKEN_CATEGORIES, TOKEN_CLASS, TOKEN_COMMENT, TOKEN_DESCRIPTION,
    TOKEN_GEO, TOKEN_LOCATION, TOKEN_PERCENT_COMPLETE, TOKEN_PRIORITY, TOKEN_RESOURCES,
    TOKEN_STATUS, TOKEN_SUMMARY, TOKEN_COMPLETED, TOKEN_DTEND, TOKEN_DUE, TOKEN_DTSTART,
    TOKEN_DURATION, TOKEN_FREEBUSY, TOKEN_TRANSP, TOKEN_TZID, TOKEN_TZNAME,
    TOKEN_TZOFFSETFROM, TOKEN_TZOFFSETTO, TOKEN_TZURL, TOKEN_ATTENDEE, TOKEN_CONTACT,
    TOKEN_ORGANIZER, TOKEN_RECURRENCE_ID, TOKEN_RELATED_TO, TOKEN_URL, TOKEN_UID,
    TOKEN_EXDATE, TOKEN_EXRULE, TOKEN_RDATE, TOKEN_RRULE, TOKEN_ACTION, TOKEN_REPEAT,
    TOKEN_TRIGGER, TOKEN_CREATED, TOKEN_DTSTAMP, TOKEN_LAST_MODIFIED, TOKEN_SEQUENCE,
    TOKEN_REQUEST_STATUS,
};

/* Extension properties of the time-zone file and of recurrence lists, which other
 * systems write in any letter case: compared as whole texts, ignoring case. */
const iCal_Token_t kPropCaselessKeywords[] = {
    TOKEN_X_KVAL_TZCROSS, TOKEN_X_Z9KQ_TZID_ALIAS, TOKEN_X_Z9KQ_RECURRENCE_RDATELIST,
    TOKEN_X_Z9KQ_RECURRENCE_EXDATELIST, TOKEN_X_Z9KQ_ATTENDEE_RDATELIST,
    TOKEN_X_Z9KQ_ATTENDEE_EXDATELIST, TOKEN_X_Z9KQ_RECURRENCE_COUNT,
    TOKEN_X_Z9KQ_RECURRENCE_UNTIL,
};

/* Extension properties the library stores, tried after the caseless ones. */
const iCal_Token_t kPropStoredXKeywords[] = {
    TOKEN_X_KVAL_LANGUAGE, TOKEN_X_KVAL_TOMBSTONE, TOKEN_X_KVAL_ONGOING,
    TOKEN_X_KVAL_CHARSET, TOKEN_X_KVAL_CALPROPS_LAST_MODIFIED,
    TOKEN_X_KVAL_CALPROPS_CREATED, TOKEN_X_KVAL_CALPROPS_READ,
    TOKEN_X_KVAL_CALPROPS_WRITE, TOKEN_X_KVAL_CALPROPS_DESCRIPTION,
    TOKEN_X_KVAL_CALPROPS_PARENT_CALID, TOKEN_X_KVAL_CALPROPS_RELATIVE_CALID,
    TOKEN_X_KVAL_CALPROPS_CALMASTER, TOKEN_X_KVAL_CALPROPS_NAME,
    TOKEN_X_KVAL_CALPROPS_CHARSET, TOKEN_X_KVAL_CALPROPS_LANGUAGE,
    TOKEN_X_KVAL_CALPROPS_PRIMARY_OWNER, TOKEN_X_KVAL_CALPROPS_TZID,
    TOKEN_X_KVAL_CALPROPS_OWNERS, TOKEN_X_KVAL_CALPROPS_CHILDREN,
    TOKEN_X_KVAL_CALPROPS_CATEGORIES, TOKEN_X_KVAL_CALPROPS_RESOURCE,
    TOKEN_X_KVAL_CALPROPS_ACCESS_CONTROL_ENTRY, TOKEN_X_KVAL_LINK_CALID,
    TOKEN_X_KVAL_GSE_COMPONENT_STATE, TOKEN_X_KVAL_ORGANIZER_EMAIL,
    TOKEN_X_KVAL_ORIGINAL_DTSTART, TOKEN_X_KVAL_DTSTART_TZID, TOKEN_X_KVAL_DUE_TZID,
};

/* XML tags: the component tags open or close a component; the abbreviated
 * property tags stand for their iCalendar property. */
const CALPARSER_STR::KeywordRule kXmlPropRules[] = {
    {TOKEN_VCALENDAR, TOKEN_BEGIN, TOKEN_VCALENDAR},
    {TOKEN_XML_ICAL, TOKEN_BEGIN, TOKEN_VCALENDAR},
    {TOKEN_XML_EVENT, TOKEN_BEGIN, TOKEN_VEVENT},
    {TOKEN_XML_TODO, TOKEN_BEGIN, TOKEN_VTODO},
    {TOKEN_XML_JOURNAL, TOKEN_BEGIN, TOKEN_VJOURNAL},
    {TOKEN_XML_FREEBUSY, TOKEN_BEGIN, TOKEN_VFREEBUSY},
    {TOKEN_XML_TIMEZONE, TOKEN_BEGIN, TOKEN_VTIMEZONE},
    {TOKEN_XML_DAYLIGHT, TOKEN_BEGIN, TOKEN_DAYLIGHT},
    {TOKEN_XML_STANDARD, TOKEN_BEGIN, TOKEN_STANDARD},
    {TOKEN_XML_ALARM, TOKEN_BEGIN, TOKEN_VALARM},
    {TOKEN_XML_ICALENDAR, TOKEN_UNKNOWN, TOKEN_XML_ICAL},
    {TOKEN_XML_CLOSE_ICALENDAR, TOKEN_UNKNOWN, TOKEN_XML_ICAL},
    {TOKEN_XML_CLOSE_VCALENDAR, TOKEN_END, TOKEN_VCALENDAR},
    {TOKEN_XML_CLOSE_ICAL, TOKEN_END, TOKEN_VCALENDAR},
    {TOKEN_XML_CLOSE_EVENT, TOKEN_END, TOKEN_VEVENT},
    {TOKEN_XML_CLOSE_TODO, TOKEN_END, TOKEN_VTODO},
    {TOKEN_XML_CLOSE_JOURNAL, TOKEN_END, TOKEN_VJOURNAL},
    {TOKEN_XML_CLOSE_FREEBUSY, TOKEN_END, TOKEN_VFREEBUSY},
    {TOKEN_XML_CLOSE_TIMEZONE, TOKEN_END, TOKEN_VTIMEZONE},
    {TOKEN_XML_CLOSE_DAYLIGHT, TOKEN_END, TOKEN_DAYLIGHT},
    {TOKEN_XML_CLOSE_STANDARD, TOKEN_END, TOKEN_STANDARD},
    {TOKEN_XML_CLOSE_ALARM, TOKEN_END, TOKEN_VALARM},
    {TOKEN_XML_RSTATUS, TOKEN_REQUEST_STATUS, TOKEN_UNKNOWN},
    {TOKEN_XML_LAST_MOD, TOKEN_LAST_MODIFIED, TOKEN_UNKNOWN},
    {TOKEN_XML_SEQ, TOKEN_SEQUENCE, TOKEN_UNKNOWN},
    {TOKEN_XML_RECURID, TOKEN_RECURRENCE_ID, TOKEN_UNKNOWN},
    {TOKEN_XML_END, TOKEN_DTEND, TOKEN_UNKNOWN},
    {TOKEN_XML_START, TOKEN_DTSTART, TOKEN_UNKNOWN},
    {TOKEN_XML_FBDATA, TOKEN_FREEBUSY, TOKEN_UNKNOWN},
    {TOKEN_XML_PERCENT, TOKEN_PERCENT_COMPLETE, TOKEN_UNKNOWN},
    {TOKEN_XML_DESC, TOKEN_DESCRIPTION, TOKEN_UNKNOWN},
};

const iCal_Token_t kParamKeywords[] = {
    TOKEN_ALTREP, TOKEN_CN, TOKEN_CUTYPE, TOKEN_DELEGATED_FROM, TOKEN_DELEGATED_TO,
    TOKEN_DIR, TOKEN_ENCODING, TOKEN_FMTTYPE, TOKEN_FBTYPE, TOKEN_LANGUAGE, TOKEN_MEMBER,
    TOKEN_PARTSTAT, TOKEN_RANGE, TOKEN_RELATED, TOKEN_RELTYPE, TOKEN_ROLE, TOKEN_RSVP,
    TOKEN_SENT_BY, TOKEN_SENT_STATUS, TOKEN_X_TAVO_SENT_STATUS, TOKEN_TZID, TOKEN_VALUE,
    TOKEN_X_KVAL_ORGANIZER_UID, TOKEN_X_KVAL_ORGANIZER_SENT_BY_UID,
    TOKEN_X_KVAL_ATTENDEE_GSE_STATUS, TOKEN_X_Z9KQ_CALID, TOKEN_X_Z9KQ_EMAIL,
};

/* Abbreviated XML attribute names. RELTYPE stands for RELATED here. */
const CALPARSER_STR::KeywordRule kXmlParamRules[] = {
    {TOKEN_XML_SENTBY, TOKEN_SENT_BY, 0},
    {TOKEN_XML_RELTYPE, TOKEN_RELATED, 0},
    {TOKEN_XML_LANG, TOKEN_LANGUAGE, 0},
    {TOKEN_XML_DELTO, TOKEN_DELEGATED_TO, 0},
    {TOKEN_XML_DELFROM, TOKEN_DELEGATED_FROM, 0},
};

const iCal_Token_t kRecurrenceKeywords[] = {
    TOKEN_FREQ, TOKEN_UNTIL, TOKEN_COUNT, TOKEN_INTERVAL, TOKEN_BYSECOND, TOKEN_BYMINUTE,
    TOKEN_BYHOUR, TOKEN_BYDAY, TOKEN_BYMONTHDAY, TOKEN_BYYEARDAY, TOKEN_BYWEEKNO,
    TOKEN_BYMONTH, TOKEN_BYSETPOS, TOKEN_WKST,
};

const iCal_Token_t kMethodKeywords[] = {
    TOKEN_PUBLISH, TOKEN_REQUEST, TOKEN_REFRESH, TOKEN_CANCEL, TOKEN_ADD, TOKEN_REPLY,
    TOKEN_COUNTER, TOKEN_DECLINECOUNTER,
};

const iCal_Token_t kComponentKeywords[] = {
    TOKEN_VCALENDAR, TOKEN_VEVENT, TOKEN_VTODO, TOKEN_VJOURNAL, TOKEN_VFREEBUSY,
    TOKEN_VTIMEZONE, TOKEN_DAYLIGHT, TOKEN_STANDARD, TOKEN_VALARM,
};

const iCal_Token_t kActionKeywords[] = {
    TOKEN_AUDIO, TOKEN_DISPLAY, TOKEN_EMAIL, TOKEN_PROCEDURE,
};

const iCal_Token_t kClassKeywords[] = {
    TOKEN_PUBLIC, TOKEN_PRIVATE, TOKEN_CONFIDENTIAL,
};

/* METHOD is accepted as a status word, as it always has been. */
const iCal_Token_t kStatusKeywords[] = {
    TOKEN_TENTATIVE, TOKEN_CONFIRMED, TOKEN_CANCELLED, TOKEN_NEEDS_ACTION,
    TOKEN_COMPLETED, TOKEN_IN_PROCESS, TOKEN_DRAFT, TOKEN_METHOD,
};

const iCal_Token_t kTranspKeywords[] = {
    TOKEN_TRANSPARENT, TOKEN_OPAQUE,
};

const CALPARSER_STR::KeywordRule kRsvpRules[] = {
    {TOKEN_TRUE, 1, 0},
};

const CALPARSER_STR::KeywordRule kSentStatusRules[] = {
    {TOKEN_NOT_SENT, 0, 0},
    {TOKEN_SENT_SUCCEEDED, 2, 0},
};

const CALPARSER_STR::KeywordRule kPartStatRules[] = {
    {TOKEN_NEEDS_ACTION, CALDB_PARTSTAT_NEEDS_ACTION, 0},
    {TOKEN_ACCEPTED, CALDB_PARTSTAT_ACCEPTED, 0},
    {TOKEN_DECLINED, CALDB_PARTSTAT_DECLINED, 0},
    {TOKEN_TENTATIVE, CALDB_PARTSTAT_TENTATIVE, 0},
    {TOKEN_DELEGATED, CALDB_PARTSTAT_DELEGATED, 0},
    {TOKEN_COMPLETED, CALDB_PARTSTAT_COMPLETED, 0},
    {TOKEN_IN_PROCESS, CALDB_PARTSTAT_IN_PROCESS, 0},
};

const CALPARSER_STR::KeywordRule kDayRules[] = {
    {TOKEN_SU, 1, 0}, {TOKEN_MO, 2, 0}, {TOKEN_TU, 3, 0}, {TOKEN_WE, 4, 0},
    {TOKEN_TH, 5, 0}, {TOKEN_FR, 6, 0}, {TOKEN_SA, 7, 0},
};

template <typename T, unsigned N>
constexpr unsigned countOf(const T (&)[N]) {
    return N;
}

iCal_Token_t asToken(int value) {
    return static_cast<iCal_Token_t>(value);
}

unsigned textLength(const char* s) {
    return s ? static_cast<unsigned>(std::strlen(s)) : 0;
}

/* The x- rule: a text of at least two characters that begins "x-" or "X-". */
bool beginsWithXDash(const char* s) {
    return s && (s[0] == 'x' || s[0] == 'X') && s[1] == '-';
}

}  // namespace

extern "C" unsigned hashCodeWithLen(const char* s, unsigned len) {
    unsigned h = 0;
    if (s) {
        unsigned step = len < kFullSampleLength ? 1 : len / kSamplesPerLongText;
        for (unsigned p = 0; p < len; p += step)
            h = h * 37u + static_cast<unsigned>(static_cast<signed char>(s[p]));
    }
    return h == 0 ? 1 : h;
}

extern "C" unsigned hashCode(const char* s) {
    return hashCodeWithLen(s, textLength(s));
}

CALPARSER_STR* CALPARSER_STR::m_Instance = nullptr;

CALPARSER_STR* CALPARSER_STR::Instance() {
    /* A function-local static is initialised exactly once, even when several
     * threads arrive here first at the same time. */
    static CALPARSER_STR* const instance = createInstance();
    return instance;
}

CALPARSER_STR* CALPARSER_STR::createInstance() {
    /* Static storage that is never destroyed: the table cannot fail to be made
     * and stays readable while other static objects are torn down at exit. */
    alignas(CALPARSER_STR) static unsigned char storage[sizeof(CALPARSER_STR)];
    m_Instance = new (storage) CALPARSER_STR();
    return m_Instance;
}

CALPARSER_STR::CALPARSER_STR()
    : m_Strings(), m_Hashes(), m_Matches(), m_MatchCount(0), m_Lists() {
    fillTexts();
    for (unsigned n = 0; n < kTableSize; n++) {
        if (m_Strings[n])
            m_Hashes[n] = hashCode(m_Strings[n]);
    }
    addOwnList(kPropList, kPropKeywords, countOf(kPropKeywords));
    addOwnList(kPropStoredXList, kPropStoredXKeywords, countOf(kPropStoredXKeywords));
    addList(kXmlPropList, kXmlPropRules, countOf(kXmlPropRules));
    addOwnList(kParamList, kParamKeywords, countOf(kParamKeywords));
    addList(kXmlParamList, kXmlParamRules, countOf(kXmlParamRules));
    addOwnList(kRecurrenceList, kRecurrenceKeywords, countOf(kRecurrenceKeywords));
    addOwnList(kMethodList, kMethodKeywords, countOf(kMethodKeywords));
    addOwnList(kComponentList, kComponentKeywords, countOf(kComponentKeywords));
    addOwnList(kActionList, kActionKeywords, countOf(kActionKeywords));
    addOwnList(kClassList, kClassKeywords, countOf(kClassKeywords));
    addOwnList(kStatusList, kStatusKeywords, countOf(kStatusKeywords));
    addOwnList(kTranspList, kTranspKeywords, countOf(kTranspKeywords));
    addList(kRsvpList, kRsvpRules, countOf(kRsvpRules));
    addList(kSentStatusList, kSentStatusRules, countOf(kSentStatusRules));
    addList(kPartStatList, kPartStatRules, countOf(kPartStatRules));
    addList(kDayList, kDayRules, countOf(kDayRules));
}

static_assert(CALPARSER_STR::kTableSize == TOKEN_X_KVAL_DUE_TZID + 2,
              "the table ends one entry after the last keyword");
static_assert(countOf(kPropKeywords) + countOf(kPropStoredXKeywords) + countOf(kXmlPropRules) +
                      countOf(kParamKeywords) + countOf(kXmlParamRules) +
                      countOf(kRecurrenceKeywords) + countOf(kMethodKeywords) +
                      countOf(kComponentKeywords) + countOf(kActionKeywords) +
                      countOf(kClassKeywords) + countOf(kStatusKeywords) +
                      countOf(kTranspKeywords) + countOf(kRsvpRules) +
                      countOf(kSentStatusRules) + countOf(kPartStatRules) +
                      countOf(kDayRules) <=
                  CALPARSER_STR::kMaxMatches,
              "every look-up list fits into the match table");

void CALPARSER_STR::addOwnList(ListId id, const iCal_Token_t* keywords, unsigned count) {
    m_Lists[id] = KeywordList{m_MatchCount, 0};
    for (unsigned i = 0; i < count; i++)
        addMatch(id, KeywordRule{keywords[i], keywords[i], 0});
}

void CALPARSER_STR::addList(ListId id, const KeywordRule* rules, unsigned count) {
    m_Lists[id] = KeywordList{m_MatchCount, 0};
    for (unsigned i = 0; i < count; i++)
        addMatch(id, rules[i]);
}

/* Appends `rule` to list `id`, the last list begun, keeping the list sorted by
 * hash; among equal hashes the earlier listed keyword stays first. */
void CALPARSER_STR::addMatch(ListId id, const KeywordRule& rule) {
    KeywordList& list = m_Lists[id];
    if (m_MatchCount >= kMaxMatches)
        return;
    KeywordMatch match = {m_Hashes[rule.keyword], rule.result, rule.value};
    unsigned i = list.first + list.count;
    while (i > list.first && m_Matches[i - 1].hash > match.hash) {
        m_Matches[i] = m_Matches[i - 1];
        i--;
    }
    m_Matches[i] = match;
    list.count++;
    m_MatchCount++;
}

/* The earliest listed keyword of list `id` whose hash is `hash`, or NULL. */
const CALPARSER_STR::KeywordMatch* CALPARSER_STR::find(ListId id, unsigned hash) const {
    const KeywordList& list = m_Lists[id];
    unsigned low = list.first;
    unsigned high = list.first + list.count;
    while (low < high) {
        unsigned mid = low + (high - low) / 2;
        if (m_Matches[mid].hash < hash)
            low = mid + 1;
        else
            high = mid;
    }
    if (low < list.first + list.count && m_Matches[low].hash == hash)
        return &m_Matches[low];
    return nullptr;
}

/* The result of list `id` for the first `len` bytes of `s`, or `noMatch`
 * (also for a NULL `s`). */
int CALPARSER_STR::lookup(ListId id, const char* s, unsigned len, int noMatch) const {
    const KeywordMatch* match = s ? find(id, hashCodeWithLen(s, len)) : nullptr;
    return match ? match->result : noMatch;
}

/* lookup() with the x- rule: an unmatched "x-" or "X-" text gives `extension`. */
iCal_Token_t CALPARSER_STR::lookupOrExtension(ListId id, const char* s, unsigned len,
                                              iCal_Token_t extension) const {
    int result = lookup(id, s, len, -1);
    if (result >= 0)
        return asToken(result);
    return beginsWithXDash(s) ? extension : TOKEN_UNKNOWN;
}

/* The first `len` bytes of `s` are the whole text of `keyword`, ignoring case. */
bool CALPARSER_STR::equalsIgnoringCase(iCal_Token_t keyword, const char* s, unsigned len) const {
    const char* text = m_Strings[keyword];
    return std::strlen(text) == len && PL_strncasecmp(s, text, len) == 0;
}

const char* CALPARSER_STR::getICALString(iCal_Token_t n) const {
    unsigned index = static_cast<unsigned>(n);
    return index < kTableSize ? m_Strings[index] : nullptr;
}

/* Three stages: the standard properties by hash, the caseless extensions, then
 * the stored extensions by hash; the x- rule last. */
iCal_Token_t CALPARSER_STR::getPropType(const char* s, unsigned len) const {
    if (!s)
        return TOKEN_UNKNOWN;
    int result = lookup(kPropList, s, len, -1);
    if (result >= 0)
        return asToken(result);
    for (iCal_Token_t keyword : kPropCaselessKeywords) {
        if (equalsIgnoringCase(keyword, s, len))
            return keyword;
    }
    return lookupOrExtension(kPropStoredXList, s, len, TOKEN_X);
}

iCal_Token_t CALPARSER_STR::getXMLPropType(const char* s, unsigned len,
                                           iCal_Token_t* pnType, iCal_Token_t* pnValue) const {
    iCal_Token_t type = TOKEN_UNKNOWN;
    iCal_Token_t value = TOKEN_UNKNOWN;
    const KeywordMatch* match = s ? find(kXmlPropList, hashCodeWithLen(s, len)) : nullptr;
    if (match) {
        type = asToken(match->result);
        value = asToken(match->value);
    } else {
        type = getPropType(s, len);
    }
    if (pnType)
        *pnType = type;
    if (pnValue)
        *pnValue = value;
    return type;
}

iCal_Token_t CALPARSER_STR::getParamType(const char* s) const {
    return lookupOrExtension(kParamList, s, textLength(s), TOKEN_X_PARAM);
}

iCal_Token_t CALPARSER_STR::getXMLParamType(const char* s) const {
    int result = lookup(kXmlParamList, s, textLength(s), -1);
    return result >= 0 ? asToken(result) : getParamType(s);
}

iCal_Token_t CALPARSER_STR::getRecurrenceParamType(const char* s) const {
    return lookupOrExtension(kRecurrenceList, s, textLength(s), TOKEN_X_PARAM);
}

iCal_Token_t CALPARSER_STR::getMethodType(const char* s, unsigned len) const {
    return asToken(lookup(kMethodList, s, len, TOKEN_UNKNOWN));
}

iCal_Token_t CALPARSER_STR::getComponentType(const char* s, unsigned len) const {
    return lookupOrExtension(kComponentList, s, len, TOKEN_X);
}

iCal_Token_t CALPARSER_STR::getActionType(const char* s, unsigned len) const {
    return asToken(lookup(kActionList, s, len, TOKEN_UNKNOWN));
}

iCal_Token_t CALPARSER_STR::getClassType(const char* s, unsigned len) const {
    return asToken(lookup(kClassList, s, len, TOKEN_UNKNOWN));
}

iCal_Token_t CALPARSER_STR::getStatusType(const char* s, unsigned len) const {
    return asToken(lookup(kStatusList, s, len, TOKEN_UNKNOWN));
}

iCal_Token_t CALPARSER_STR::getTranspType(const char* s, unsigned len) const {
    return asToken(lookup(kTranspList, s, len, TOKEN_UNKNOWN));
}

int CALPARSER_STR::getRSVPType(const char* s) const {
    return lookup(kRsvpList, s, textLength(s), 0);
}

int CALPARSER_STR::getSentStatusType(const char* s) const {
    return lookup(kSentStatusList, s, textLength(s), 0);
}

int CALPARSER_STR::getPartStatType(const char* s) const {
    return lookup(kPartStatList, s, textLength(s), CALDB_PARTSTAT_OTHER);
}

int CALPARSER_STR::stringToDay(const char* s, unsigned len, int* pnError) const {
    int day = lookup(kDayList, s, len, kNoDay);
    if (day != kNoDay)
        return day;
    if (pnError)
        *pnError = 1;
    return kDayOfUnknownText;
}

/* The exported plain functions: each reaches the one table through Instance(). */

extern "C" const char* calparser_getICALString(iCal_Token_t n) {
    return CALPARSER_STR::Instance()->getICALString(n);
}

extern "C" iCal_Token_t calparser_getPropType(const char* s, unsigned len) {
    return CALPARSER_STR::Instance()->getPropType(s, len);
}

extern "C" iCal_Token_t calparser_getXMLPropType(const char* s, unsigned len,
                                                 iCal_Token_t* pnType, iCal_Token_t* pnValue) {
    return CALPARSER_STR::Instance()->getXMLPropType(s, len, pnType, pnValue);
}

extern "C" iCal_Token_t calparser_getParamType(const char* s) {
    return CALPARSER_STR::Instance()->getParamType(s);
}

extern "C" iCal_Token_t calparser_getXMLParamType(const char* s) {
    return CALPARSER_STR::Instance()->getXMLParamType(s);
}

extern "C" iCal_Token_t calparser_getRecurrenceParamType(const char* s) {
    return CALPARSER_STR::Instance()->getRecurrenceParamType(s);
}

extern "C" iCal_Token_t calparser_getMethodType(const char* s, unsigned len) {
    return CALPARSER_STR::Instance()->getMethodType(s, len);
}

extern "C" iCal_Token_t calparser_getComponentType(const char* s, unsigned len) {
    return CALPARSER_STR::Instance()->getComponentType(s, len);
}

extern "C" iCal_Token_t calparser_getActionType(const char* s, unsigned len) {
    return CALPARSER_STR::Instance()->getActionType(s, len);
}

extern "C" iCal_Token_t calparser_getClassType(const char* s, unsigned len) {
    return CALPARSER_STR::Instance()->getClassType(s, len);
}

extern "C" iCal_Token_t calparser_getStatusType(const char* s, unsigned len) {
    return CALPARSER_STR::Instance()->getStatusType(s, len);
}

extern "C" iCal_Token_t calparser_getTranspType(const char* s, unsigned len) {
    return CALPARSER_STR::Instance()->getTranspType(s, len);
}

extern "C" int calparser_getRSVPType(const char* s) {
    return CALPARSER_STR::Instance()->getRSVPType(s);
}

extern "C" int calparser_getSentStatusType(const char* s) {
    return CALPARSER_STR::Instance()->getSentStatusType(s);
}

extern "C" int calparser_getPartStatType(const char* s) {
    return CALPARSER_STR::Instance()->getPartStatType(s);
}

extern "C" const char* calparser_getPartStatName(int nPartStat) {
    for (const auto& rule : kPartStatRules)
        if (rule.result == nPartStat)
            return calparser_getICALString(rule.keyword);
    return nullptr;
}

extern "C" int calparser_stringToDay(const char* s, unsigned len, int* pnError) {
    return CALPARSER_STR::Instance()->stringToDay(s, len, pnError);
}
