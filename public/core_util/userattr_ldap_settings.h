/* Settings of one LDAP directory, read from the configuration cache (internal
 * to the directory). */
#ifndef PUBLIC_CORE_UTIL_USERATTR_LDAP_SETTINGS_H
#define PUBLIC_CORE_UTIL_USERATTR_LDAP_SETTINGS_H

#include <string>

struct userattr_ldap_settings {
    std::string uri;                   /* empty: no LDAP directory configured */
    std::string base;
    std::string bindDn;                /* empty: anonymous */
    std::string password;
    std::string passwordFile;          /* read when password is empty */
    bool startTls = false;
    std::string calidAttr = "uid";
    std::string cnAttr = "cn";
    std::string mailAttr = "mail";
    std::string uidAttr = "uid";
    std::string filter = "(objectClass=*)";  /* always parenthesised */
    int timeoutMs = 2000;
    int connections = 4;
    int cacheTtlSeconds = 300;         /* 0: answers are not kept */
    int cacheEntries = 10000;

    bool operator==(const userattr_ldap_settings& other) const;
    bool operator!=(const userattr_ldap_settings& other) const { return !(*this == other); }
};

/* Reads "<prefix>.ldap.uri", "<prefix>.ldap.base", ... and "<prefix>.cache.ttl",
 * "<prefix>.cache.entries" from the default configuration cache (the keys the
 * README lists, with "directory" as the prefix). Absent keys and numbers out
 * of range take their defaults; a filter without surrounding parentheses
 * gets them. May throw std::bad_alloc. */
userattr_ldap_settings userattr_ldap_read_settings(const std::string& prefix);

/* The password to bind with: the configured text, else the first line of the
 * password file (without its line end), else empty. False, with *password
 * empty, when a password file is named but cannot be read. */
bool userattr_ldap_password(const userattr_ldap_settings& settings, std::string* password);

#endif
