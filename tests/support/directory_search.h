/* The directory's searches as values a test can compare: each list the
 * library returns is read into texts and freed. */
#ifndef TESTS_SUPPORT_DIRECTORY_SEARCH_H
#define TESTS_SUPPORT_DIRECTORY_SEARCH_H

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <tuple>
#include <vector>

#include "public/core_util/userattr.h"
#include "public/util/array.h"

using Texts = std::vector<std::string>;

/* The texts of a list ("<null>" for a NULL element), then the list is freed. */
inline Texts take(array_t* list)
{
    Texts out;
    for (unsigned i = 0; list && i < list->count; ++i)
        out.emplace_back(list->data[i] ? static_cast<const char*>(list->data[i]) : "<null>");
    array_free_and_destroy(&list);
    return out;
}

/* What userattr_search_calids_with_mail gave: its status, the count it
 * reported and the three lists. */
struct ByMail {
    int rc;
    int listed;
    Texts calids, cns, mails;
    bool operator==(const ByMail& o) const
    {
        return std::tie(rc, listed, calids, cns, mails) ==
               std::tie(o.rc, o.listed, o.calids, o.cns, o.mails);
    }
};

inline std::ostream& operator<<(std::ostream& out, const ByMail& r)
{
    out << "rc " << r.rc << " listed " << r.listed;
    for (const Texts* texts : {&r.calids, &r.cns, &r.mails})
        out << " " << ::testing::PrintToString(*texts);
    return out;
}

/* Searches the calendars of `mail` (aliases too when matchAliases is 1, at
 * most maxResults when it is not 0). */
inline ByMail by_mail(const char* mail, int matchAliases = 1, unsigned maxResults = 0)
{
    ByMail r{};
    array_t *calids = nullptr, *cns = nullptr, *mails = nullptr;
    r.listed = matchAliases;
    r.rc = userattr_search_calids_with_mail(mail, nullptr, &calids, &cns, &mails, &r.listed,
                                            maxResults);
    r.calids = take(calids);
    r.cns = take(cns);
    r.mails = take(mails);
    return r;
}

#endif
