/* ATTENDEE and ORGANIZER storers, with the directory look-ups that resolve
 * an attendee's mail address into calendar ids and a calendar id into a mail
 * address. */
#include "core/parser/populate.h"

#include <plstr.h>
#include <stdlib.h>
#include <string.h>

#include "public/core_util/parseutil.h"
#include "public/core_util/smtp.h"
#include "public/core_util/userattr.h"
#include "public/util/kvallog.h"
#include "public/util/str.h"

namespace {

constexpr char kMailto[] = "mailto:";
constexpr unsigned kMailtoLength = sizeof kMailto - 1;

/* Replaces *ppField by `text`, which the field then owns. */
void replace_text(char** ppField, char* text)
{
    PL_strfree(*ppField);
    *ppField = text;
}

/* "mailto:" followed by `mail`, as a new text (PL_strfree), or NULL. */
char* new_mailto(const char* mail)
{
    size_t length = strlen(mail);
    char* text = static_cast<char*>(malloc(kMailtoLength + length + 1));
    if (text) {
        memcpy(text, kMailto, kMailtoLength);
        memcpy(text + kMailtoLength, mail, length + 1);
    }
    return text;
}

/* Element `i` of a directory result list, NULL when missing. */
const char* text_at(const array_t* list, unsigned i)
{
    return list ? static_cast<const char*>(array_elementat(list, i)) : nullptr;
}

unsigned count_of(const array_t* list)
{
    return list ? list->count : 0;
}

/* Stores an upper-cased copy of `value` in *ppUpper. False when memory runs out. */
bool upper_copy(const char* value, char** ppUpper)
{
    *ppUpper = str_toupper(PL_strdup(value));
    return *ppUpper != nullptr;
}

/* The code `lookup` gives for `value` upper-cased, the copy on the stack when
 * it is short. -1 when memory runs out. */
int code_of_upper(const char* value, int (*lookup)(const char*))
{
    char stack[64];
    size_t length = strlen(value);
    if (length >= sizeof stack) {
        char* upper = nullptr;
        if (!upper_copy(value, &upper))
            return -1;
        int code = lookup(upper);
        PL_strfree(upper);
        return code;
    }
    memcpy(stack, value, length + 1);
    return lookup(str_toupper(stack));
}

/* Applies one ATTENDEE parameter to `att`; a later parameter of a type wins.
 * Returns 0, or 3 when memory runs out. */
int apply_attendee_param(CALDB_ATTENDEE* att, const CALPARSER_PARAM* param)
{
    const char* value = param->pValue;
    char* upper = nullptr;
    switch (param->nType) {
    case TOKEN_CUTYPE: return str_replace_copy(&att->pCuType, value);
    case TOKEN_ROLE: return str_replace_copy(&att->pRole, value);
    case TOKEN_CN: return str_replace_copy(&att->pCn, value);
    case TOKEN_DIR: return str_replace_copy(&att->pDir, value);
    case TOKEN_SENT_BY: return str_replace_copy(&att->pSentBy, value);
    case TOKEN_LANGUAGE: return str_replace_copy(&att->pLanguage, value);
    case TOKEN_X_Z9KQ_CALID: return str_replace_copy(&att->pCalid, value);
    case TOKEN_X_Z9KQ_EMAIL: return str_replace_copy(&att->pAddr, value);
    case TOKEN_MEMBER: return calparser_addCalAddressListToList(&att->aMembers, value);
    case TOKEN_DELEGATED_TO: return calparser_addCalAddressListToList(&att->aDelegatedTo, value);
    case TOKEN_DELEGATED_FROM:
        return calparser_addCalAddressListToList(&att->aDelegatedFrom, value);
    case TOKEN_PARTSTAT:
        if (!upper_copy(value, &upper))
            return 3;
        att->nPartStat = calparser_getPartStatType(upper);
        replace_text(&att->pPartStatName, upper);
        return 0;
    case TOKEN_SENT_STATUS:
    case TOKEN_X_TAVO_SENT_STATUS: {
        int code = code_of_upper(value, calparser_getSentStatusType);
        if (code < 0)
            return 3;
        att->nSentStatus = code;
        return 0;
    }
    case TOKEN_RSVP: {
        int code = code_of_upper(value, calparser_getRSVPType);
        if (code < 0)
            return 3;
        att->bRsvp = code ? 1 : 0;
        return 0;
    }
    case TOKEN_X_KVAL_ATTENDEE_GSE_STATUS:
        calparser_storeIntegerProperty(&att->nSentStatus, value, static_cast<int>(strlen(value)),
                                       nullptr);
        return 0;
    default: return 0;
    }
}

/* Appends *ppAtt to `list`, which then owns it; on failure frees it.
 * Returns 0 or 3. */
int append_attendee(array_t* list, CALDB_ATTENDEE** ppAtt)
{
    if (array_append(list, *ppAtt) != 0) {
        caldb_FreeAttendee(ppAtt);
        return 3;
    }
    *ppAtt = nullptr;
    return 0;
}

/* The plain mail address inside an attendee address, NUL-terminated for the
 * directory: on the stack when it is short, as nearly every one is, so that
 * a look-up makes no heap copy; a long one is smtp_FilterAddress's copy. text
 * is NULL when the address holds none (or a long one cannot be copied). */
class PlainMail {
public:
    explicit PlainMail(const char* address)
    {
        const char* begin = nullptr;
        size_t length = 0;
        if (!smtp_FindAddress(address, &begin, &length))
            return;
        if (length >= sizeof shortText) {
            text = longText = smtp_FilterAddress(address);
            return;
        }
        memcpy(shortText, begin, length);
        shortText[length] = '\0';
        text = shortText;
    }
    ~PlainMail() { PL_strfree(longText); }
    PlainMail(const PlainMail&) = delete;
    PlainMail& operator=(const PlainMail&) = delete;

    const char* text = nullptr;

private:
    char shortText[128];
    char* longText = nullptr;
};

/* What the directory knows of one mail address: parallel lists. */
struct MailMatches {
    array_t* calids = nullptr;
    array_t* cns = nullptr;
    array_t* mails = nullptr;
    ~MailMatches()
    {
        array_free_and_destroy(&calids);
        array_free_and_destroy(&cns);
        array_free_and_destroy(&mails);
    }
};

/* What became of the copy made for one directory calendar. */
enum class CopyOutcome {
    Appended,      /* the next calendar may follow */
    AppendedLast,  /* appended, but a text of it could not be made: stop here */
    NotMade        /* nothing appended: stop here */
};

/* One directory calendar of a mail address: a copy of `att` for calendar
 * `i` of `found`, appended to `list`. A copy whose name or address cannot be
 * made is still appended with the attendee's own. */
CopyOutcome append_calendar_copy(array_t* list, const CALDB_ATTENDEE* att,
                                 const MailMatches& found, unsigned i)
{
    CALDB_ATTENDEE* copy = nullptr;
    if (caldb_copyConstructorAttendee(att, &copy) != 0)
        return CopyOutcome::NotMade;
    const char* calid = text_at(found.calids, i);
    if (str_replace_copy(&copy->pCalid, calid) != 0) {
        caldb_FreeAttendee(&copy);
        return CopyOutcome::NotMade;
    }
    bool complete = true;
    if (count_of(found.calids) == 1) {
        // The address stays; the directory's name only fills a missing CN.
        if (!att->pCn && str_replace_copy(&copy->pCn, text_at(found.cns, 0)) != 0)
            complete = false;
    } else {
        if (str_replace_copy(&copy->pCn, text_at(found.cns, i)) != 0)
            complete = false;
        const char* mail = text_at(found.mails, i);
        char* address = mail ? new_mailto(mail) : nullptr;
        if (address)
            replace_text(&copy->pAddr, address);
        else if (mail || str_replace_copy(&copy->pAddr, calid) != 0)
            complete = false;
    }
    if (append_attendee(list, &copy) != 0)
        return CopyOutcome::NotMade;
    return complete ? CopyOutcome::Appended : CopyOutcome::AppendedLast;
}

/* Appends a copy of `att` per directory calendar of `found`, in order; when
 * memory runs out the copies made so far stay and the rest are not made. */
void append_calendar_copies(array_t* list, const CALDB_ATTENDEE* att, const MailMatches& found)
{
    unsigned idCount = count_of(found.calids);
    for (unsigned i = 0; i < idCount; i++)
        if (append_calendar_copy(list, att, found, i) != CopyOutcome::Appended)
            return;
}

/* Resolves the mailto attendee *ppAtt through the directory and appends what
 * it yields to `list`: a copy per directory calendar, or else the attendee
 * itself (a copy would only cost a copy and a free). *ppAtt is taken or freed
 * and NULL afterwards. Returns 0 (also when memory ran out among the
 * calendars' copies: those made stay), or 3. */
int resolve_mail_address(array_t* list, CALDB_ATTENDEE** ppAtt, const char* pLookupCtx)
{
    CALDB_ATTENDEE* att = *ppAtt;
    PlainMail mail(att->pAddr);
    kvallog(0, 7, "%s: pMail = %s.\n", KVALLOG_CORE_SUBSYSTEM, mail.text ? mail.text : "NULL");

    MailMatches found;
    int matchAliases = 1;
    int rc = userattr_search_calids_with_mail(mail.text, pLookupCtx, &found.calids, &found.cns,
                                              &found.mails, &matchAliases, 0);
    if (rc == 3) {
        caldb_FreeAttendee(ppAtt);
        return 3;
    }
    rc = 0;

    unsigned idCount = count_of(found.calids);
    unsigned mailCount = count_of(found.mails);
    if (idCount >= 1) {
        append_calendar_copies(list, att, found);
    } else if (mailCount <= 1) {
        // A user without a calendar, or an address the directory does not know.
        const char* cn = text_at(found.cns, 0);
        if (cn && str_replace_copy(&att->pCn, cn) != 0)
            rc = 3;
        const char* directoryMail = text_at(found.mails, 0);
        if (rc == 0 && directoryMail) {
            char* address = new_mailto(directoryMail);
            if (address)
                replace_text(&att->pAddr, address);
            else
                rc = 3;
        }
        if (rc == 0)
            rc = append_attendee(list, ppAtt);
    }
    // Several users without a calendar share the address: nobody to pick.
    caldb_FreeAttendee(ppAtt);  // a no-op once the list took it
    return rc;
}

/* Resolves the calendar-id attendee *ppAtt through the directory; appends it
 * (the list then owns it) or frees it. Returns 0, 1 (no mail address: the
 * attendee is dropped) or 3. */
int resolve_calendar_id(array_t* list, CALDB_ATTENDEE** ppAtt, const char* pLookupCtx)
{
    CALDB_ATTENDEE* att = *ppAtt;
    char* uid = nullptr;
    array_t* mails = nullptr;
    bool fromUid = false;
    int rc = 0;

    if (cal_parseutil_get_uid_from_calid(att->pCalid, &uid) != 0) {
        rc = 3;
        goto done;
    }
    if (userattr_search_mail_with_calid(uid, pLookupCtx, &mails) == 3) {
        rc = 3;
        goto done;
    }
    if (count_of(mails) == 0) {
        array_free_and_destroy(&mails);
        if (userattr_search_mail_with_uid(uid, pLookupCtx, &mails) == 3) {
            rc = 3;
            goto done;
        }
        fromUid = true;
    }
    if (!text_at(mails, 0)) {
        kvallog(0, KVALLOG_LEVEL_DROPPED, "%s:  No Available Email address in ldap for calid: %s",
                KVALLOG_CORE_SUBSYSTEM, att->pCalid);
        rc = 1;
        goto done;
    }
    if (fromUid)
        replace_text(&att->pCalid, nullptr);
    if (str_replace_copy(&att->pAddr, text_at(mails, 0)) != 0) {
        rc = 3;
        goto done;
    }
    if ((rc = append_attendee(list, ppAtt)) != 0)
        goto done;
    if (mails->count == 1)
        kvallog(0, KVALLOG_LEVEL_TRACE,
                "%s: pAtt->pAddr = %s.\n", KVALLOG_CORE_SUBSYSTEM, att->pAddr);
    else
        kvallog(0, KVALLOG_LEVEL_DROPPED,
                "%s: pAtt->pCalid = %s was associated with *%d* mails, using first value of %s.\n",
                KVALLOG_CORE_SUBSYSTEM, att->pCalid ? att->pCalid : "NULL",
                static_cast<int>(mails->count), att->pAddr);

done:
    PL_strfree(uid);
    array_free_and_destroy(&mails);
    caldb_FreeAttendee(ppAtt);  // no-op once the list took it
    return rc;
}

/* Input taken as it stands: an attendee known by its calendar id alone gets
 * the id as its address. Appends *ppAtt or frees it. Returns 0 or 3. */
int append_resolved(array_t* list, CALDB_ATTENDEE** ppAtt)
{
    CALDB_ATTENDEE* att = *ppAtt;
    if (!att->pAddr && att->pCalid && str_replace_copy(&att->pAddr, att->pCalid) != 0) {
        caldb_FreeAttendee(ppAtt);
        return 3;
    }
    return append_attendee(list, ppAtt);
}

}  // namespace

extern "C" {

int calparser_storeSingleAttendeeProp(array_t** ppAttendees, const CALPARSER_TOKEN* pToken,
                                      int nUnused, int bResolvedInput, const char* pLookupCtx)
{
    (void)nUnused;
    if (!ppAttendees || !pToken)
        return 1;
    if (!*ppAttendees && !(*ppAttendees = array_new()))
        return 3;
    CALDB_ATTENDEE* att = caldb_NewAttendee();
    if (!att)
        return 3;

    const array_t* params = pToken->pParamList;
    for (unsigned i = 0; params && i < params->count; i++) {
        const CALPARSER_PARAM* param = static_cast<const CALPARSER_PARAM*>(params->data[i]);
        if (!param || !param->pValue || !param->pValue[0])
            continue;
        if (apply_attendee_param(att, param) != 0) {
            caldb_FreeAttendee(&att);
            return 3;
        }
    }

    // A missing value is an empty calendar id: the directory knows no mail
    // address for it, so unresolved input drops it with that message.
    char* value = PL_strdup(pToken->pValue ? pToken->pValue : "");
    if (!value) {
        caldb_FreeAttendee(&att);
        return 3;
    }

    if (PL_strncasecmp(value, kMailto, kMailtoLength) == 0) {
        replace_text(&att->pAddr, value);
        kvallog(0, KVALLOG_LEVEL_TRACE,
                "%s: original pAtt->pAddr = %s.\n", KVALLOG_CORE_SUBSYSTEM, att->pAddr);
        if (bResolvedInput)
            return append_resolved(*ppAttendees, &att);
        return resolve_mail_address(*ppAttendees, &att, pLookupCtx);
    }

    replace_text(&att->pCalid, value);
    kvallog(0, KVALLOG_LEVEL_TRACE,
            "%s: original pAtt->pCalid = %s.\n", KVALLOG_CORE_SUBSYSTEM, att->pCalid);
    if (bResolvedInput)
        return append_resolved(*ppAttendees, &att);
    return resolve_calendar_id(*ppAttendees, &att, pLookupCtx);
}

int calparser_storeAttendeeProperty(array_t** ppAttendees, const CALPARSER_TOKEN* pToken,
                                    int nUnused, int bResolvedInput, const char* pLookupCtx)
{
    if (!ppAttendees || !pToken)
        return 1;
    if (!*ppAttendees && !(*ppAttendees = array_new()))
        return 3;

    /* The attendees of the property go straight into the list; when the
     * property fails, the ones it made so far are taken out again. */
    array_t* list = *ppAttendees;
    unsigned before = list->count;
    int rc = calparser_storeSingleAttendeeProp(ppAttendees, pToken, nUnused, bResolvedInput,
                                               pLookupCtx);
    if (rc != 0) {
        rc = 1;
        while (list->count > before) {
            auto* made = static_cast<CALDB_ATTENDEE*>(array_removeat(list, list->count - 1));
            caldb_FreeAttendee(&made);
        }
    }
    return rc;  // a list made here stays, empty when nothing was added
}

int calparser_storeOrganizerProperty(CALDB_ORGANIZER** ppOrganizer, const CALPARSER_TOKEN* pToken)
{
    if (!ppOrganizer || !pToken || !pToken->pValue || !pToken->pValue[0])
        return 1;
    if (!*ppOrganizer && !(*ppOrganizer = caldb_NewOrganizer()))
        return 3;
    CALDB_ORGANIZER* org = *ppOrganizer;

    const array_t* params = pToken->pParamList;
    for (unsigned i = 0; params && i < params->count; i++) {
        const CALPARSER_PARAM* param = static_cast<const CALPARSER_PARAM*>(params->data[i]);
        if (!param || !param->pValue)
            continue;
        char** field = nullptr;
        switch (param->nType) {
        case TOKEN_CN: field = &org->pCn; break;
        case TOKEN_DIR: field = &org->pDir; break;
        case TOKEN_SENT_BY: field = &org->pSentBy; break;
        case TOKEN_LANGUAGE: field = &org->pLanguage; break;
        case TOKEN_X_KVAL_ORGANIZER_UID: field = &org->pOrganizerUid; break;
        case TOKEN_X_KVAL_ORGANIZER_SENT_BY_UID: field = &org->pSentByUid; break;
        default: continue;
        }
        if (str_replace_copy(field, param->pValue) != 0) {
            caldb_FreeOrganizer(ppOrganizer);
            return 3;
        }
    }
    if (str_replace_copy(&org->pAddr, pToken->pValue) != 0) {
        caldb_FreeOrganizer(ppOrganizer);
        return 3;
    }
    return 0;
}

}  // extern "C"
