/* One connection to an LDAP directory (internal to the directory). */
#ifndef PUBLIC_CORE_UTIL_USERATTR_LDAP_CONNECTION_H
#define PUBLIC_CORE_UTIL_USERATTR_LDAP_CONNECTION_H

#include "public/core_util/userattr_ldap_settings.h"

#include <chrono>
#include <string>
#include <vector>

typedef struct ldap LDAP;

/* One entry found: its DN and, for each attribute asked for (in the order
 * asked), its values. Values of attribute subtypes ("cn;lang-de") count as
 * values of the attribute; their order is the server's. */
struct userattr_ldap_record {
    std::string dn;
    std::vector<std::vector<std::string>> values;
};

/* A connection, used by one thread at a time. Every call returns before the
 * deadline it is given (network and operation timeouts), blocks SIGPIPE in
 * the calling thread while it talks to the server and never logs. The texts
 * it gives as the reason of a failure never hold the bind DN or password. */
class userattr_ldap_connection {
public:
    using Clock = std::chrono::steady_clock;
    enum class Status {
        Done,
        Failed,  /* the server refused or did not answer in time */
        Lost,    /* the connection broke (the server went away) */
    };

    userattr_ldap_connection() = default;
    ~userattr_ldap_connection() { close(); }
    userattr_ldap_connection(const userattr_ldap_connection&) = delete;
    userattr_ldap_connection& operator=(const userattr_ldap_connection&) = delete;

    bool is_open() const { return ld_ != nullptr; }

    /* Connects to settings.uri (starting TLS when configured) and binds with
     * settings.bindDn and `password` (anonymously without a DN). On failure
     * the connection stays closed and *why says what went wrong. */
    Status open(const userattr_ldap_settings& settings, const std::string& password,
                Clock::time_point deadline, std::string* why);

    /* Searches the subtree of settings.base with `filter` (already escaped),
     * asking for `attributes`; *found receives the entries. Lost or Failed
     * close the connection. May throw std::bad_alloc (the connection is then
     * closed). */
    Status search(const userattr_ldap_settings& settings, const std::string& filter,
                  const std::vector<std::string>& attributes, Clock::time_point deadline,
                  std::vector<userattr_ldap_record>* found, std::string* why);

    void close();

private:
    LDAP* ld_ = nullptr;
};

#endif
