/* Escaping untrusted values into LDAP search filters. */
#include "public/core_util/userattr_ldap_filter.h"

namespace {

bool needs_escape(unsigned char c)
{
    return c < 0x20 || c > 0x7E || c == '*' || c == '(' || c == ')' || c == '\\';
}

}  // namespace

std::string userattr_ldap_escape_value(const std::string& value)
{
    static const char kHex[] = "0123456789abcdef";
    std::string out;
    out.reserve(value.size());
    for (char c : value) {
        unsigned char byte = static_cast<unsigned char>(c);
        if (!needs_escape(byte)) {
            out.push_back(c);
            continue;
        }
        out.push_back('\\');
        out.push_back(kHex[byte >> 4]);
        out.push_back(kHex[byte & 0x0F]);
    }
    return out;
}

std::string userattr_ldap_equality_filter(const std::string& baseFilter,
                                          const std::string& attribute,
                                          const std::string& value)
{
    return "(&" + baseFilter + "(" + attribute + "=" + userattr_ldap_escape_value(value) + "))";
}
