/* One LDAP connection on OpenLDAP's client library. */
#include "public/core_util/userattr_ldap_connection.h"

#include <ldap.h>
#include <signal.h>
#include <string.h>
#include <strings.h>
#include <time.h>

#include <memory>

namespace {

/* Blocks SIGPIPE in this thread while it lives: the client library writes to
 * sockets that the server may have closed, and a server process must not die
 * of that. A SIGPIPE raised meanwhile is consumed before unblocking. */
class SigpipeBlock {
public:
    SigpipeBlock()
    {
        sigemptyset(&pipe_);
        sigaddset(&pipe_, SIGPIPE);
        pthread_sigmask(SIG_BLOCK, &pipe_, &saved_);
        sigset_t pending;
        sigpending(&pending);
        pendingBefore_ = sigismember(&pending, SIGPIPE) == 1;
    }
    ~SigpipeBlock()
    {
        sigset_t pending;
        sigpending(&pending);
        if (!pendingBefore_ && sigismember(&pending, SIGPIPE) == 1) {
            struct timespec now = {0, 0};
            sigtimedwait(&pipe_, nullptr, &now);
        }
        pthread_sigmask(SIG_SETMASK, &saved_, nullptr);
    }
    SigpipeBlock(const SigpipeBlock&) = delete;
    SigpipeBlock& operator=(const SigpipeBlock&) = delete;

private:
    sigset_t pipe_;
    sigset_t saved_;
    bool pendingBefore_ = false;
};

/* The time left until `deadline`, at least one millisecond so that a timeout
 * of zero (which the library reads as "wait forever") is never passed. */
struct timeval time_left(userattr_ldap_connection::Clock::time_point deadline)
{
    using namespace std::chrono;
    auto left = duration_cast<microseconds>(deadline - userattr_ldap_connection::Clock::now());
    long long us = left.count() < 1000 ? 1000 : left.count();
    struct timeval tv;
    tv.tv_sec = static_cast<time_t>(us / 1000000);
    tv.tv_usec = static_cast<suseconds_t>(us % 1000000);
    return tv;
}

bool connection_broke(int rc)
{
    return rc == LDAP_SERVER_DOWN || rc == LDAP_CONNECT_ERROR;
}

std::string reason(const char* what, int rc)
{
    return std::string(what) + ": " + ldap_err2string(rc);
}

struct MessageFree {
    void operator()(LDAPMessage* message) const { ldap_msgfree(message); }
};

/* The attribute name without its options ("cn;lang-de" is "cn"). */
std::string base_name(const char* attribute)
{
    const char* semicolon = strchr(attribute, ';');
    return semicolon ? std::string(attribute, semicolon) : std::string(attribute);
}

/* Adds the values of the entry's attribute `name` to every requested
 * attribute of that name. */
void take_values(LDAP* ld, LDAPMessage* entry, const char* name,
                 const std::vector<std::string>& attributes, userattr_ldap_record* record)
{
    std::string base = base_name(name);
    struct berval** values = ldap_get_values_len(ld, entry, name);
    if (!values)
        return;
    try {
        for (size_t i = 0; i < attributes.size(); ++i) {
            if (strcasecmp(attributes[i].c_str(), base.c_str()) != 0)
                continue;
            for (struct berval** v = values; *v; ++v)
                record->values[i].emplace_back((*v)->bv_val, (*v)->bv_len);
        }
    } catch (...) {
        ldap_value_free_len(values);
        throw;
    }
    ldap_value_free_len(values);
}

userattr_ldap_record read_entry(LDAP* ld, LDAPMessage* entry,
                                const std::vector<std::string>& attributes)
{
    userattr_ldap_record record;
    record.values.resize(attributes.size());
    if (char* dn = ldap_get_dn(ld, entry)) {
        record.dn = dn;
        ldap_memfree(dn);
    }
    BerElement* cursor = nullptr;
    for (char* name = ldap_first_attribute(ld, entry, &cursor); name;
         name = ldap_next_attribute(ld, entry, cursor)) {
        try {
            take_values(ld, entry, name, attributes, &record);
        } catch (...) {
            ldap_memfree(name);
            ber_free(cursor, 0);
            throw;
        }
        ldap_memfree(name);
    }
    ber_free(cursor, 0);
    return record;
}

}  // namespace

userattr_ldap_connection::Status userattr_ldap_connection::open(
    const userattr_ldap_settings& settings, const std::string& password,
    Clock::time_point deadline, std::string* why)
{
    close();
    SigpipeBlock noSigpipe;
    int rc = ldap_initialize(&ld_, settings.uri.c_str());
    if (rc != LDAP_SUCCESS) {
        ld_ = nullptr;
        *why = reason("the URI is not usable", rc);
        return Status::Failed;
    }
    int version = LDAP_VERSION3;
    struct timeval tv = time_left(deadline);
    ldap_set_option(ld_, LDAP_OPT_PROTOCOL_VERSION, &version);
    ldap_set_option(ld_, LDAP_OPT_REFERRALS, LDAP_OPT_OFF);
    ldap_set_option(ld_, LDAP_OPT_NETWORK_TIMEOUT, &tv);
    ldap_set_option(ld_, LDAP_OPT_TIMEOUT, &tv);
    if (settings.startTls && (rc = ldap_start_tls_s(ld_, nullptr, nullptr)) != LDAP_SUCCESS) {
        close();
        *why = reason("StartTLS failed", rc);
        return connection_broke(rc) ? Status::Lost : Status::Failed;
    }
    tv = time_left(deadline);
    ldap_set_option(ld_, LDAP_OPT_TIMEOUT, &tv);
    struct berval credentials;
    credentials.bv_val = const_cast<char*>(password.c_str());
    credentials.bv_len = password.size();
    rc = ldap_sasl_bind_s(ld_, settings.bindDn.empty() ? nullptr : settings.bindDn.c_str(),
                          LDAP_SASL_SIMPLE, &credentials, nullptr, nullptr, nullptr);
    if (rc != LDAP_SUCCESS) {
        close();
        *why = connection_broke(rc) || rc == LDAP_TIMEOUT ? reason("cannot be reached", rc)
                                                          : reason("bind refused", rc);
        return connection_broke(rc) ? Status::Lost : Status::Failed;
    }
    return Status::Done;
}

userattr_ldap_connection::Status userattr_ldap_connection::search(
    const userattr_ldap_settings& settings, const std::string& filter,
    const std::vector<std::string>& attributes, Clock::time_point deadline,
    std::vector<userattr_ldap_record>* found, std::string* why)
{
    found->clear();
    std::vector<char*> names;
    for (const std::string& attribute : attributes)
        names.push_back(const_cast<char*>(attribute.c_str()));
    names.push_back(nullptr);
    struct timeval tv = time_left(deadline);
    LDAPMessage* raw = nullptr;
    int rc;
    {
        SigpipeBlock noSigpipe;
        ldap_set_option(ld_, LDAP_OPT_TIMEOUT, &tv);
        rc = ldap_search_ext_s(ld_, settings.base.empty() ? nullptr : settings.base.c_str(),
                               LDAP_SCOPE_SUBTREE, filter.c_str(), names.data(), 0, nullptr,
                               nullptr, &tv, LDAP_NO_LIMIT, &raw);
    }
    std::unique_ptr<LDAPMessage, MessageFree> result(raw);
    if (rc != LDAP_SUCCESS) {
        Status status = connection_broke(rc) ? Status::Lost : Status::Failed;
        *why = reason(status == Status::Lost || rc == LDAP_TIMEOUT ? "cannot be reached"
                                                                    : "search failed", rc);
        close();
        return status;
    }
    try {
        for (LDAPMessage* entry = ldap_first_entry(ld_, raw); entry;
             entry = ldap_next_entry(ld_, entry))
            found->push_back(read_entry(ld_, entry, attributes));
    } catch (...) {
        close();
        throw;
    }
    return Status::Done;
}

void userattr_ldap_connection::close()
{
    if (!ld_)
        return;
    SigpipeBlock noSigpipe;
    ldap_unbind_ext_s(ld_, nullptr, nullptr);
    ld_ = nullptr;
}
