/* The in-memory directory and its look-ups. */
#include "public/core_util/userattr_table.h"

#include "public/core_util/userattr_ldif.h"
#include "public/core_util/userattr_lists.h"
#include "public/util/config.h"
#include "public/util/kvallog.h"

#include <plstr.h>

#include <fstream>
#include <initializer_list>
#include <memory>
#include <mutex>
#include <new>
#include <shared_mutex>
#include <string>
#include <vector>

namespace {

constexpr const char* kLdifConfigKey = "directory.ldif";

/* The process's directory. Readers share the lock; adding, clearing and
 * (re)reading the configured file hold it alone. */
struct Directory {
    std::shared_mutex lock;
    std::vector<userattr_entry> fileEntries;
    std::vector<userattr_entry> addedEntries;
    std::string loadedPath;     /* the configured name the file entries came from */
    bool fileChecked = false;   /* loadedPath is valid */
};

Directory g_directory;

/* Reads the configured LDIF file when the configured name differs from the
 * one last read. The file is parsed before the exclusive lock is taken. */
void sync_with_configuration()
{
    const char* value = config_get_string(config_getdefaultcache(), kLdifConfigKey, nullptr);
    std::string configured = value ? value : "";
    {
        std::shared_lock<std::shared_mutex> reader(g_directory.lock);
        if (g_directory.fileChecked && g_directory.loadedPath == configured)
            return;
    }
    std::vector<userattr_entry> entries;
    bool readable = true;
    if (!configured.empty()) {
        std::ifstream in(configured);
        readable = in.is_open();
        if (readable)
            userattr_read_ldif(in, &entries);
    }
    std::unique_lock<std::shared_mutex> writer(g_directory.lock);
    if (g_directory.fileChecked && g_directory.loadedPath == configured)
        return;  /* another thread got here first */
    g_directory.loadedPath = configured;  /* may throw: nothing changed yet */
    g_directory.fileEntries.swap(entries);
    g_directory.fileChecked = true;
    if (!readable)
        kvallog(0, KVALLOG_LEVEL_DROPPED,
                "%s: directory file %s cannot be read; no directory entries loaded from it.",
                KVALLOG_CORE_SUBSYSTEM, configured.c_str());
}

bool same_text(const std::string& field, const char* text)
{
    return !field.empty() && PL_strcasecmp(field.c_str(), text) == 0;
}

/* Calls visit(entry) for every entry in directory order (file first). */
template <typename Visit>
void for_each_entry(Visit visit)
{
    for (const userattr_entry& entry : g_directory.fileEntries)
        visit(entry);
    for (const userattr_entry& entry : g_directory.addedEntries)
        visit(entry);
}

/* The mailto: forms of the distinct primary addresses of the entries whose
 * field (chosen by `field`) equals `key`. */
void search_mail(const char* key, array_t** pMails, std::string userattr_entry::*field)
{
    sync_with_configuration();
    userattr_list mails;
    std::vector<const std::string*> seen;
    std::shared_lock<std::shared_mutex> reader(g_directory.lock);
    for_each_entry([&](const userattr_entry& entry) {
        if (!same_text(entry.*field, key) || entry.mail.empty())
            return;
        for (const std::string* earlier : seen)
            if (same_text(*earlier, entry.mail.c_str()))
                return;
        seen.push_back(&entry.mail);
        userattr_list_append(&mails, entry.mail, "mailto:");
    });
    userattr_list_hand_out(&mails, pMails);
}

}  // namespace

int userattr_table_add(const char* uid, const char* calid, const char* cn, const char* mail)
{
    auto text = [](const char* s) { return std::string(s ? s : ""); };
    try {
        userattr_entry entry;
        entry.uid = text(uid);
        entry.calid = text(calid);
        entry.cn = text(cn);
        entry.mail = text(mail);
        if (entry.uid.empty() && entry.calid.empty() && entry.mail.empty())
            return 1;
        std::unique_lock<std::shared_mutex> writer(g_directory.lock);
        g_directory.addedEntries.push_back(std::move(entry));
        return 0;
    } catch (...) {
        return 3;
    }
}

void userattr_table_clear()
{
    std::unique_lock<std::shared_mutex> writer(g_directory.lock);
    g_directory.fileEntries.clear();
    g_directory.addedEntries.clear();
    g_directory.loadedPath.clear();
    g_directory.fileChecked = false;
}

void userattr_table_calids_with_mail(const char* mail, bool matchAliases, unsigned nMaxResults,
                                     array_t** pCalids, array_t** pCns, array_t** pMails,
                                     int* pnListed)
{
    sync_with_configuration();
    struct Match {
        const userattr_entry* entry;
        const std::string* address;  /* the address handed out */
    };
    std::vector<Match> matches;
    bool anyCalid = false;
    std::shared_lock<std::shared_mutex> reader(g_directory.lock);
    for_each_entry([&](const userattr_entry& entry) {
        const std::string* hit = same_text(entry.mail, mail) ? &entry.mail : nullptr;
        for (size_t i = 0; !hit && matchAliases && i < entry.aliases.size(); ++i)
            if (same_text(entry.aliases[i], mail))
                hit = &entry.aliases[i];
        if (!hit)
            return;
        matches.push_back({&entry, entry.mail.empty() ? hit : &entry.mail});
        anyCalid = anyCalid || !entry.calid.empty();
    });
    userattr_list calids, cns, mails;
    int listed = 0;
    for (const Match& match : matches) {
        if (anyCalid && match.entry->calid.empty())
            continue;
        if (nMaxResults != 0 && static_cast<unsigned>(listed) == nMaxResults)
            break;
        if (anyCalid)
            userattr_list_append(&calids, match.entry->calid);
        userattr_list_append(&cns, match.entry->cn);
        userattr_list_append(&mails, *match.address);
        ++listed;
    }
    userattr_list_hand_out(&calids, pCalids);
    userattr_list_hand_out(&cns, pCns);
    userattr_list_hand_out(&mails, pMails);
    *pnListed = listed;
}

void userattr_table_mail_with_calid(const char* calid, array_t** pMails)
{
    search_mail(calid, pMails, &userattr_entry::calid);
}

void userattr_table_mail_with_uid(const char* uid, array_t** pMails)
{
    search_mail(uid, pMails, &userattr_entry::uid);
}
