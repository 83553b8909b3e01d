/* Reading an LDAP directory's settings from the configuration. */
#include "public/core_util/userattr_ldap_settings.h"

#include "public/util/config.h"

#include <fstream>
#include <tuple>

namespace {

constexpr int kMaxTimeoutMs = 600000;
constexpr int kMaxConnections = 256;

std::string text_key(const std::string& key, const std::string& defaultValue)
{
    const char* value = config_get_string(config_getdefaultcache(), key.c_str(), nullptr);
    return value && *value ? std::string(value) : defaultValue;
}

int number_key(const std::string& key, int defaultValue, int lowest, int highest)
{
    int value = config_get_int(config_getdefaultcache(), key.c_str(), defaultValue);
    return value < lowest || value > highest ? defaultValue : value;
}

auto as_tuple(const userattr_ldap_settings& s)
{
    return std::tie(s.uri, s.base, s.bindDn, s.password, s.passwordFile, s.startTls, s.calidAttr,
                    s.cnAttr, s.mailAttr, s.uidAttr, s.filter, s.timeoutMs, s.connections,
                    s.cacheTtlSeconds, s.cacheEntries);
}

}  // namespace

bool userattr_ldap_settings::operator==(const userattr_ldap_settings& other) const
{
    return as_tuple(*this) == as_tuple(other);
}

userattr_ldap_settings userattr_ldap_read_settings(const std::string& prefix)
{
    userattr_ldap_settings s;
    const std::string ldap = prefix + ".ldap.";
    s.uri = text_key(ldap + "uri", "");
    s.base = text_key(ldap + "base", "");
    s.bindDn = text_key(ldap + "binddn", "");
    s.password = text_key(ldap + "password", "");
    s.passwordFile = text_key(ldap + "password_file", "");
    s.startTls = number_key(ldap + "starttls", 0, 0, 1) == 1;
    s.calidAttr = text_key(ldap + "attr.calid", s.calidAttr);
    s.cnAttr = text_key(ldap + "attr.cn", s.cnAttr);
    s.mailAttr = text_key(ldap + "attr.mail", s.mailAttr);
    s.uidAttr = text_key(ldap + "attr.uid", s.uidAttr);
    s.filter = text_key(ldap + "filter", s.filter);
    if (s.filter.front() != '(')
        s.filter = "(" + s.filter + ")";
    s.timeoutMs = number_key(ldap + "timeout_ms", s.timeoutMs, 1, kMaxTimeoutMs);
    s.connections = number_key(ldap + "connections", s.connections, 1, kMaxConnections);
    s.cacheTtlSeconds = number_key(prefix + ".cache.ttl", s.cacheTtlSeconds, 0, 1 << 30);
    s.cacheEntries = number_key(prefix + ".cache.entries", s.cacheEntries, 1, 1 << 30);
    return s;
}

bool userattr_ldap_password(const userattr_ldap_settings& settings, std::string* password)
{
    password->clear();
    if (!settings.password.empty() || settings.passwordFile.empty()) {
        *password = settings.password;
        return true;
    }
    std::ifstream in(settings.passwordFile);
    if (!in.is_open())
        return false;
    std::getline(in, *password);
    if (!password->empty() && password->back() == '\r')
        password->pop_back();
    return true;
}
