/* Mail addresses: the plain addr-spec inside an address text. */
#include "public/core_util/smtp.h"

#include <plstr.h>
#include <stdlib.h>
#include <string.h>

namespace {

constexpr char kMailtoPrefix[] = "mailto:";
constexpr unsigned kMailtoLength = sizeof kMailtoPrefix - 1;

bool is_space(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

/* The "<" that opens an angle address, skipping quoted display names, or NULL. */
const char* find_angle_open(const char* text)
{
    /* Most addresses hold no "<" at all: one quick search says so. */
    if (!strchr(text, '<'))
        return nullptr;
    bool quoted = false;
    for (const char* p = text; *p; ++p) {
        if (quoted && *p == '\\' && p[1])
            ++p;
        else if (*p == '"')
            quoted = !quoted;
        else if (*p == '<' && !quoted)
            return p;
    }
    return nullptr;
}

/* False for the bytes no plain address holds: controls, space, DEL and the
 * specials < > ( ) [ ] , ; : backslash and double quote. */
bool is_address_byte(unsigned char c)
{
    if (c <= ' ' || c == 0x7F)
        return false;
    switch (c) {
    case '<': case '>': case '(': case ')': case '[': case ']':
    case ',': case ';': case ':': case '\\': case '"':
        return false;
    default:
        return true;
    }
}

/* True for "local@domain" over [begin, end), every byte an address byte. */
bool is_plain_address(const char* begin, const char* end)
{
    const char* at = nullptr;
    for (const char* p = begin; p < end; ++p) {
        unsigned char c = static_cast<unsigned char>(*p);
        if (!is_address_byte(c))
            return false;
        if (c == '@') {
            if (at)
                return false;
            at = p;
        }
    }
    return at && at > begin && at + 1 < end;
}

}  // namespace

extern "C" int smtp_FindAddress(const char* address, const char** pBegin, size_t* pLength)
{
    if (!address || !pBegin || !pLength)
        return 0;
    const char* p = address;
    while (is_space(*p))
        ++p;
    bool mailto = PL_strncasecmp(p, kMailtoPrefix, kMailtoLength) == 0;
    if (mailto)
        p += kMailtoLength;

    const char* begin = p;
    const char* end = nullptr;
    if (const char* open = find_angle_open(p)) {
        begin = open + 1;
        if (!(end = strchr(begin, '>')))
            return 0;
    } else {
        end = p + strlen(p);
        if (const char* headers = mailto ? strchr(p, '?') : nullptr)
            end = headers;
    }
    while (begin < end && is_space(*begin))
        ++begin;
    while (end > begin && is_space(end[-1]))
        --end;
    if (!is_plain_address(begin, end))
        return 0;
    *pBegin = begin;
    *pLength = static_cast<size_t>(end - begin);
    return 1;
}

extern "C" char* smtp_FilterAddress(const char* address)
{
    const char* begin = nullptr;
    size_t length = 0;
    if (!smtp_FindAddress(address, &begin, &length))
        return nullptr;
    /* The length is known and no NUL lies inside: a plain copy (the same
     * malloc that PL_strndup uses, freed with PL_strfree). */
    char* copy = static_cast<char*>(malloc(length + 1));
    if (copy) {
        memcpy(copy, begin, length);
        copy[length] = '\0';
    }
    return copy;
}
