/* Connection pool and cached searches of one LDAP directory. */
#include "public/core_util/userattr_ldap_pool.h"

#include "public/core_util/userattr_ldap.h"
#include "public/util/kvallog.h"

#include <atomic>

namespace {

std::atomic<unsigned long> g_searchesSent{0};

}  // namespace

unsigned long userattr_ldap_search_count(void)
{
    return g_searchesSent.load();
}

userattr_ldap_pool::userattr_ldap_pool(const userattr_ldap_settings& settings)
    : settings_(settings),
      cache_(settings.cacheTtlSeconds, static_cast<size_t>(settings.cacheEntries))
{
    passwordReadable_ = userattr_ldap_password(settings_, &password_);
    idle_.reserve(static_cast<size_t>(settings_.connections));  /* give_back never allocates */
}

userattr_ldap_pool::Connection userattr_ldap_pool::take(
    userattr_ldap_connection::Clock::time_point deadline)
{
    std::unique_lock<std::mutex> guard(lock_);
    bool free = returned_.wait_until(guard, deadline, [this] {
        return !idle_.empty() || made_ < settings_.connections;
    });
    if (!free)
        return nullptr;
    if (!idle_.empty()) {
        Connection connection = std::move(idle_.back());
        idle_.pop_back();
        return connection;
    }
    Connection connection(new userattr_ldap_connection);
    ++made_;
    return connection;
}

void userattr_ldap_pool::give_back(Connection connection)
{
    {
        std::lock_guard<std::mutex> guard(lock_);
        idle_.push_back(std::move(connection));
    }
    returned_.notify_one();
}

/* One search on `connection`, opening it first when needed; a connection
 * that was open before and turns out broken (the server restarted) is opened
 * again once. */
userattr_answer userattr_ldap_pool::ask(userattr_ldap_connection& connection,
                                        const std::string& filter,
                                        const std::vector<std::string>& attributes,
                                        userattr_ldap_connection::Clock::time_point deadline,
                                        std::string* why)
{
    using Status = userattr_ldap_connection::Status;
    bool mayRetry = connection.is_open();
    for (;;) {
        if (!connection.is_open()) {
            if (!passwordReadable_) {
                *why = "the password file " + settings_.passwordFile + " cannot be read";
                return nullptr;
            }
            if (connection.open(settings_, password_, deadline, why) != Status::Done)
                return nullptr;
        }
        auto found = std::make_shared<std::vector<userattr_ldap_record>>();
        ++g_searchesSent;
        Status status = connection.search(settings_, filter, attributes, deadline, found.get(), why);
        if (status == Status::Done)
            return found;
        if (status != Status::Lost || !mayRetry)
            return nullptr;
        mayRetry = false;
    }
}

userattr_answer userattr_ldap_pool::search(const std::string& filter,
                                           const std::vector<std::string>& attributes)
{
    std::string key = filter;
    for (const std::string& attribute : attributes)
        key += "\n" + attribute;
    if (userattr_answer cached = cache_.find(key))
        return cached;

    auto deadline = userattr_ldap_connection::Clock::now() +
                    std::chrono::milliseconds(settings_.timeoutMs);
    std::string why = "no free connection in time";
    userattr_answer answer;
    if (Connection connection = take(deadline)) {
        try {
            answer = ask(*connection, filter, attributes, deadline, &why);
        } catch (...) {
            give_back(std::move(connection));
            throw;
        }
        give_back(std::move(connection));
    }
    if (!answer) {
        kvallog(0, KVALLOG_LEVEL_ERROR, "%s: directory look-up at %s failed: %s.", KVALLOG_CORE_SUBSYSTEM,
                settings_.uri.c_str(), why.c_str());
        return nullptr;
    }
    cache_.store(key, answer);
    return answer;
}
