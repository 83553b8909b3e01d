/* The directory look-ups: argument checks, then the LDAP directory or the
 * in-memory table answers. */
#include "public/core_util/userattr.h"

#include "public/core_util/userattr_ldap_lookup.h"
#include "public/core_util/userattr_ldap_registry.h"
#include "public/core_util/userattr_table.h"

#include <initializer_list>

namespace {

constexpr int kDirectoryFailed = 4;

/* The mail search by calendar id or user id; `attribute` picks the LDAP
 * attribute from the settings, `tableSearch` the table's search. */
int search_mail(const char* key, array_t** pMails,
                std::string userattr_ldap_settings::*attribute,
                void (*tableSearch)(const char*, array_t**))
{
    if (pMails)
        *pMails = nullptr;
    if (!key || !pMails)
        return 1;
    try {
        userattr_ldap_choice choice = userattr_ldap_choose();
        if (choice.useTable) {
            tableSearch(key, pMails);
            return 0;
        }
        if (!choice.pool)
            return kDirectoryFailed;
        const std::string& name = choice.pool->settings().*attribute;
        return userattr_ldap_mail_with(*choice.pool, name, key, pMails) ? 0 : kDirectoryFailed;
    } catch (...) {
        return 3;
    }
}

}  // namespace

extern "C" {

int userattr_directory_add(const char* uid, const char* calid, const char* cn, const char* mail)
{
    return userattr_table_add(uid, calid, cn, mail);
}

void userattr_directory_clear(void)
{
    userattr_table_clear();
    userattr_ldap_forget_answers();
}

int userattr_search_calids_with_mail(const char* mail, const char* lookupCtx, array_t** pCalids,
                                     array_t** pCns, array_t** pMails, int* pnMatchAliases,
                                     unsigned nMaxResults)
{
    (void)lookupCtx;
    for (array_t** out : {pCalids, pCns, pMails})
        if (out)
            *out = nullptr;
    if (!mail || !pnMatchAliases)
        return 1;
    bool matchAliases = *pnMatchAliases != 0;
    *pnMatchAliases = 0;
    try {
        userattr_ldap_choice choice = userattr_ldap_choose();
        if (choice.useTable) {
            userattr_table_calids_with_mail(mail, matchAliases, nMaxResults, pCalids, pCns,
                                            pMails, pnMatchAliases);
            return 0;
        }
        if (!choice.pool)
            return kDirectoryFailed;
        return userattr_ldap_calids_with_mail(*choice.pool, mail, matchAliases, nMaxResults,
                                              pCalids, pCns, pMails, pnMatchAliases)
                   ? 0
                   : kDirectoryFailed;
    } catch (...) {
        return 3;
    }
}

int userattr_search_mail_with_calid(const char* calid, const char* lookupCtx, array_t** pMails)
{
    (void)lookupCtx;
    return search_mail(calid, pMails, &userattr_ldap_settings::calidAttr,
                       userattr_table_mail_with_calid);
}

int userattr_search_mail_with_uid(const char* uid, const char* lookupCtx, array_t** pMails)
{
    (void)lookupCtx;
    return search_mail(uid, pMails, &userattr_ldap_settings::uidAttr,
                       userattr_table_mail_with_uid);
}

}  // extern "C"
