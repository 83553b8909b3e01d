/* A bounded pool of connections to one LDAP directory, with its cache of
 * answers (internal to the directory). */
#ifndef PUBLIC_CORE_UTIL_USERATTR_LDAP_POOL_H
#define PUBLIC_CORE_UTIL_USERATTR_LDAP_POOL_H

#include "public/core_util/userattr_cache.h"
#include "public/core_util/userattr_ldap_connection.h"
#include "public/core_util/userattr_ldap_settings.h"

#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class userattr_ldap_pool {
public:
    /* Reads the password (file) once; connections are made on first use.
     * May throw std::bad_alloc. */
    explicit userattr_ldap_pool(const userattr_ldap_settings& settings);

    const userattr_ldap_settings& settings() const { return settings_; }

    /* The entries `filter` (already escaped) finds, with `attributes`: from
     * the cache while an answer is fresh, else from a search on a free
     * connection (at most settings().connections at once; a look-up waits for
     * one). A connection found broken is reconnected once. Everything happens
     * within settings().timeoutMs. On failure one level-3 line naming the URI
     * and the reason is logged and the result is empty; failures are not
     * cached. May throw std::bad_alloc. */
    userattr_answer search(const std::string& filter, const std::vector<std::string>& attributes);

    /* Forgets every cached answer. */
    void forget_answers() { cache_.clear(); }

private:
    using Connection = std::unique_ptr<userattr_ldap_connection>;

    Connection take(userattr_ldap_connection::Clock::time_point deadline);
    void give_back(Connection connection);
    userattr_answer ask(userattr_ldap_connection& connection, const std::string& filter,
                        const std::vector<std::string>& attributes,
                        userattr_ldap_connection::Clock::time_point deadline, std::string* why);

    const userattr_ldap_settings settings_;
    std::string password_;
    bool passwordReadable_ = true;
    userattr_cache cache_;
    std::mutex lock_;                 /* guards idle_ and made_, never held during I/O */
    std::condition_variable returned_;
    std::vector<Connection> idle_;
    int made_ = 0;
};

#endif
