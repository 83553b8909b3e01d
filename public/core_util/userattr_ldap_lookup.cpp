/* Turning LDAP entries into the lists the directory look-ups hand out. */
#include "public/core_util/userattr_ldap_lookup.h"

#include "public/core_util/userattr_ldap_filter.h"
#include "public/core_util/userattr_lists.h"

#include <strings.h>

#include <algorithm>
#include <tuple>

namespace {

enum { kCalid, kCn, kMail };

const std::string& first_or_empty(const std::vector<std::string>& values)
{
    static const std::string kNone;
    return values.empty() ? kNone : values.front();
}

bool same_address(const std::string& a, const std::string& b)
{
    return strcasecmp(a.c_str(), b.c_str()) == 0;
}

/* One element of the parallel lists. */
struct Row {
    std::string calid;
    std::string cn;
    std::string mail;
    const std::string* dn;

    bool operator<(const Row& other) const
    {
        return std::tie(calid, *dn) < std::tie(other.calid, *other.dn);
    }
};

std::vector<Row> rows_of(const std::vector<userattr_ldap_record>& entries, const char* mail,
                         bool matchAliases)
{
    std::vector<Row> withCalid, withoutCalid;
    for (const userattr_ldap_record& entry : entries) {
        const std::string& primary = first_or_empty(entry.values[kMail]);
        if (!matchAliases && !same_address(primary, mail))
            continue;
        Row row{"", first_or_empty(entry.values[kCn]), primary.empty() ? mail : primary,
                &entry.dn};
        for (const std::string& calid : entry.values[kCalid]) {
            row.calid = calid;
            withCalid.push_back(row);
        }
        if (entry.values[kCalid].empty())
            withoutCalid.push_back(row);
    }
    std::vector<Row>& rows = withCalid.empty() ? withoutCalid : withCalid;
    std::sort(rows.begin(), rows.end());
    return std::move(rows);
}

}  // namespace

bool userattr_ldap_calids_with_mail(userattr_ldap_pool& pool, const char* mail, bool matchAliases,
                                    unsigned nMaxResults, array_t** pCalids, array_t** pCns,
                                    array_t** pMails, int* pnListed)
{
    const userattr_ldap_settings& s = pool.settings();
    if (!*mail)
        return true;
    userattr_answer answer = pool.search(userattr_ldap_equality_filter(s.filter, s.mailAttr, mail),
                                         {s.calidAttr, s.cnAttr, s.mailAttr});
    if (!answer)
        return false;
    std::vector<Row> rows = rows_of(*answer, mail, matchAliases);
    if (nMaxResults != 0 && rows.size() > nMaxResults)
        rows.resize(nMaxResults);
    userattr_list calids, cns, mails;
    for (const Row& row : rows) {
        if (!row.calid.empty())
            userattr_list_append(&calids, row.calid);
        userattr_list_append(&cns, row.cn);
        userattr_list_append(&mails, row.mail);
    }
    userattr_list_hand_out(&calids, pCalids);
    userattr_list_hand_out(&cns, pCns);
    userattr_list_hand_out(&mails, pMails);
    *pnListed = static_cast<int>(rows.size());
    return true;
}

bool userattr_ldap_mail_with(userattr_ldap_pool& pool, const std::string& attribute,
                             const char* key, array_t** pMails)
{
    const userattr_ldap_settings& s = pool.settings();
    if (!*key)
        return true;
    userattr_answer answer =
        pool.search(userattr_ldap_equality_filter(s.filter, attribute, key), {s.mailAttr});
    if (!answer)
        return false;
    std::vector<const userattr_ldap_record*> entries;
    for (const userattr_ldap_record& entry : *answer)
        entries.push_back(&entry);
    std::sort(entries.begin(), entries.end(),
              [](const userattr_ldap_record* a, const userattr_ldap_record* b) {
                  return a->dn < b->dn;
              });
    std::vector<const std::string*> seen;
    userattr_list mails;
    for (const userattr_ldap_record* entry : entries) {
        const std::string& mail = first_or_empty(entry->values[0]);
        bool repeated = std::any_of(seen.begin(), seen.end(), [&](const std::string* earlier) {
            return same_address(*earlier, mail);
        });
        if (mail.empty() || repeated)
            continue;
        seen.push_back(&mail);
        userattr_list_append(&mails, mail, "mailto:");
    }
    userattr_list_hand_out(&mails, pMails);
    return true;
}
