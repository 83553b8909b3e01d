/* Which LDAP directory a look-up asks: opened pools by handle, and the one
 * the configuration names. */
#include "public/core_util/userattr_ldap.h"
#include "public/util/config.h"

#include "core/parser/calparser.h"  /* admin_ldpool, lookup_ldpool */
#include "public/core_util/userattr_ldap_registry.h"
#include "public/util/kvallog.h"

#include <map>
#include <mutex>
#include <shared_mutex>

namespace {

constexpr const char* kConfiguredPrefix = "directory";

struct Registry {
    std::shared_mutex lock;
    std::shared_ptr<userattr_ldap_pool> configured;  /* follows the configuration */
    std::map<uint32_t, std::shared_ptr<userattr_ldap_pool>> opened;
    uint32_t lastHandle = 0;
};

Registry g_registry;

/* The configured directory's settings. Each thread reads them again only after
 * the configuration has changed: a parse asks for every attendee, and fifteen
 * configuration look-ups each time would put locks on the parse path. */
const userattr_ldap_settings& configured_settings()
{
    thread_local bool known = false;
    thread_local unsigned seenVersion = 0;
    thread_local userattr_ldap_settings settings;
    unsigned version = config_get_version(config_getdefaultcache());
    if (!known || version != seenVersion) {
        settings = userattr_ldap_read_settings(kConfiguredPrefix);
        seenVersion = version;
        known = true;
    }
    return settings;
}

userattr_ldap_choice configured_pool()
{
    const userattr_ldap_settings& settings = configured_settings();
    if (settings.uri.empty())
        return {true, nullptr};
    {
        std::shared_lock<std::shared_mutex> reader(g_registry.lock);
        if (g_registry.configured && g_registry.configured->settings() == settings)
            return {false, g_registry.configured};
    }
    auto fresh = std::make_shared<userattr_ldap_pool>(settings);
    std::unique_lock<std::shared_mutex> writer(g_registry.lock);
    if (!g_registry.configured || g_registry.configured->settings() != settings)
        g_registry.configured = fresh;
    return {false, g_registry.configured};
}

}  // namespace

userattr_ldap_choice userattr_ldap_choose()
{
    uint32_t handle = lookup_ldpool ? lookup_ldpool : admin_ldpool;
    if (handle == 0)
        return configured_pool();
    {
        std::shared_lock<std::shared_mutex> reader(g_registry.lock);
        auto found = g_registry.opened.find(handle);
        if (found != g_registry.opened.end())
            return {false, found->second};
    }
    kvallog(0, KVALLOG_LEVEL_ERROR, "%s: directory look-up failed: no directory pool has the handle %u.",
            KVALLOG_CORE_SUBSYSTEM, static_cast<unsigned>(handle));
    return {false, nullptr};
}

void userattr_ldap_forget_answers()
{
    std::shared_lock<std::shared_mutex> reader(g_registry.lock);
    if (g_registry.configured)
        g_registry.configured->forget_answers();
    for (auto& entry : g_registry.opened)
        entry.second->forget_answers();
}

extern "C" {

int userattr_ldap_pool_open(const char* prefix, uint32_t* pHandle)
{
    if (!prefix || !pHandle)
        return 1;
    try {
        userattr_ldap_settings settings = userattr_ldap_read_settings(prefix);
        if (settings.uri.empty())
            return 1;
        auto pool = std::make_shared<userattr_ldap_pool>(settings);
        std::unique_lock<std::shared_mutex> writer(g_registry.lock);
        uint32_t handle = g_registry.lastHandle + 1;
        while (handle == 0 || g_registry.opened.count(handle))
            ++handle;
        g_registry.opened.emplace(handle, std::move(pool));
        g_registry.lastHandle = handle;
        *pHandle = handle;
        return 0;
    } catch (...) {
        return 3;
    }
}

int userattr_ldap_pool_close(uint32_t handle)
{
    std::shared_ptr<userattr_ldap_pool> closing;  /* released outside the lock */
    std::unique_lock<std::shared_mutex> writer(g_registry.lock);
    auto found = g_registry.opened.find(handle);
    if (found == g_registry.opened.end())
        return 1;
    closing = std::move(found->second);
    g_registry.opened.erase(found);
    writer.unlock();
    return 0;
}

}  // extern "C"
