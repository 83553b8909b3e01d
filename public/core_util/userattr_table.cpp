/* The in-memory directory and its look-ups. */
#include "public/core_util/userattr_table.h"

#include "public/core_util/userattr_ldif.h"
#include "public/core_util/userattr_lists.h"
#include "public/util/config.h"
#include "public/util/kvallog.h"

#include <plstr.h>

#include <atomic>
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
 * (re)reading the configured file hold it alone. A parse looks up every
 * attendee, so the two atomics let a look-up see without any lock that
 * nothing changed since its thread last looked and that there is nothing to
 * search: then it takes no lock at all. */
struct Directory {
    std::shared_mutex lock;
    std::vector<userattr_entry> fileEntries;
    std::vector<userattr_entry> addedEntries;
    std::string loadedPath;     /* the configured name the file entries came from */
    bool fileChecked = false;   /* loadedPath is valid */
    std::atomic<unsigned> generation{0}; /* bumped under the lock by every change */
    std::atomic<size_t> entryCount{0};   /* file and added entries, set under the lock */
};

Directory g_directory;

/* Records a change made under the exclusive lock. */
void note_change_locked()
{
    g_directory.entryCount.store(g_directory.fileEntries.size() + g_directory.addedEntries.size(),
                                 std::memory_order_release);
    g_directory.generation.fetch_add(1, std::memory_order_release);
}

/* Whether this thread must compare the configured file name with the one
 * read: not when neither the configuration nor the directory changed since
 * it last did. */
bool configuration_may_differ()
{
    thread_local bool known = false;
    thread_local unsigned seenConfig = 0;
    thread_local unsigned seenGeneration = 0;
    unsigned config = config_get_version(config_getdefaultcache());
    unsigned generation = g_directory.generation.load(std::memory_order_acquire);
    if (known && config == seenConfig && generation == seenGeneration)
        return false;
    known = true;
    seenConfig = config;
    seenGeneration = generation;
    return true;
}

/* Takes `reader` when the directory has entries; a look-up that finds it
 * unowned searches nothing. */
void lock_unless_empty(std::shared_lock<std::shared_mutex>* reader)
{
    if (g_directory.entryCount.load(std::memory_order_acquire) > 0)
        reader->lock();
}

/* Reads the configured LDIF file when the configured name differs from the
 * one last read. The file is parsed before the exclusive lock is taken. */
void sync_with_configuration()
{
    if (!configuration_may_differ())
        return;
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
    note_change_locked();
    if (!readable)
        kvallog(0, KVALLOG_LEVEL_DROPPED,
                "%s: directory file %s cannot be read; no directory entries loaded from it.",
                KVALLOG_CORE_SUBSYSTEM, configured.c_str());
}

bool same_text(const std::string& field, const char* text)
{
    return !field.empty() && PL_strcasecmp(field.c_str(), text) == 0;
}

/* Calls visit(entry) for every entry in directory order (file first), when
 * `reader` holds the lock (see lock_unless_empty). */
template <typename Visit>
void for_each_entry(const std::shared_lock<std::shared_mutex>& reader, Visit visit)
{
    if (!reader.owns_lock())
        return;
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
    std::shared_lock<std::shared_mutex> reader(g_directory.lock, std::defer_lock);
    lock_unless_empty(&reader);
    for_each_entry(reader, [&](const userattr_entry& entry) {
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
        note_change_locked();
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
    note_change_locked();
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
    std::shared_lock<std::shared_mutex> reader(g_directory.lock, std::defer_lock);
    lock_unless_empty(&reader);
    for_each_entry(reader, [&](const userattr_entry& entry) {
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
