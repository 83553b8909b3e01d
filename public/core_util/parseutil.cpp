/* Content-line helpers: list splitting, calendar ids and TEXT output. */
#include "public/core_util/parseutil.h"

#include <plstr.h>
#include <stdlib.h>
#include <string.h>

namespace {

constexpr size_t kMaxCalidLength = 255;

/* The index of the separator that ends the item starting at `start`, or the
 * index of the text's NUL. Quotes and backslash escapes hide separators. */
size_t find_item_end(const char* text, size_t start, char separator)
{
    bool quoted = false;
    size_t i = start;
    for (; text[i] != '\0'; ++i) {
        char c = text[i];
        if (c == '\\') {
            if (text[i + 1] != '\0')
                ++i;
        } else if (c == '"') {
            quoted = !quoted;
        } else if (c == separator && !quoted) {
            break;
        }
    }
    return i;
}

int count_items(const char* text, char separator)
{
    if (text[0] == '\0')
        return 0;
    int count = 1;
    size_t end = 0;
    while (text[end = find_item_end(text, end, separator)] != '\0') {
        ++count;
        ++end;
    }
    return count;
}

int split_list(const char* text, char separator, char*** pItems, int* pnCount)
{
    if (pItems)
        *pItems = nullptr;
    if (pnCount)
        *pnCount = 0;
    if (!text || !pItems || !pnCount)
        return 1;

    int count = count_items(text, separator);
    if (count == 0)
        return 0;
    char** items = static_cast<char**>(calloc(static_cast<size_t>(count) + 1, sizeof(char*)));
    if (!items)
        return 3;
    size_t start = 0;
    for (int i = 0; i < count; ++i) {
        size_t end = find_item_end(text, start, separator);
        items[i] = PL_strndup(text + start, static_cast<PRUint32>(end - start));
        if (!items[i]) {
            cal_parseutil_free_char_list(&items, i);
            return 3;
        }
        start = end + 1;
    }
    *pItems = items;
    *pnCount = count;
    return 0;
}

bool is_calid_char(unsigned char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           c == '.' || c == '_' || c == '-' || c == '+' || c == '@';
}

int write_bytes(protstream* stream, const char* data, size_t len)
{
    if (len == 0)
        return 0;
    return prot_write(stream, data, static_cast<unsigned>(len)) == 0 ? 0 : -1;
}

}  // namespace

extern "C" {

int cal_parseutil_get_comma_list(const char* text, char*** pItems, int* pnCount)
{
    return split_list(text, ',', pItems, pnCount);
}

int cal_parseutil_get_semicolon_list(const char* text, char*** pItems, int* pnCount)
{
    return split_list(text, ';', pItems, pnCount);
}

void cal_parseutil_free_char_list(char*** pItems, int count)
{
    if (!pItems || !*pItems)
        return;
    char** items = *pItems;
    for (int i = count - 1; i >= 0; --i)
        PL_strfree(items[i]);
    free(items);
    *pItems = nullptr;
}

int cal_parseutil_get_uid_from_calid(const char* calid, char** pUid)
{
    if (pUid)
        *pUid = nullptr;
    if (!calid || !pUid)
        return 1;
    const char* colon = strchr(calid, ':');
    size_t len = colon ? static_cast<size_t>(colon - calid) : strlen(calid);
    *pUid = PL_strndup(calid, static_cast<PRUint32>(len));
    return *pUid ? 0 : 3;
}

int cal_parseutil_isValidCalid(const char* text)
{
    if (!text || text[0] == '\0')
        return 0;
    size_t uidLength = 0;
    while (is_calid_char(static_cast<unsigned char>(text[uidLength])))
        ++uidLength;
    if (uidLength == 0)
        return 0;
    size_t i = uidLength;
    if (text[i] == ':') {
        size_t nameStart = ++i;
        while (text[i] == ':' || is_calid_char(static_cast<unsigned char>(text[i])))
            ++i;
        if (i == nameStart)
            return 0;
    }
    return text[i] == '\0' && i <= kMaxCalidLength;
}

int cal_parseutil_print_string_ical(protstream* stream, const char* text)
{
    if (!stream)
        return 1;
    if (!text)
        return 0;
    /* Runs of plain bytes go out in one write; each special byte flushes the
     * run before it and writes its escape. */
    size_t runStart = 0;
    size_t i = 0;
    for (; text[i] != '\0'; ++i) {
        const char* escape = nullptr;
        switch (text[i]) {
        case '\\': escape = "\\\\"; break;
        case ';':  escape = "\\;"; break;
        case ',':  escape = "\\,"; break;
        case '\n': escape = "\\n"; break;
        case '\r': escape = "\\n"; break;
        default:   continue;
        }
        if (write_bytes(stream, text + runStart, i - runStart) != 0 ||
            write_bytes(stream, escape, 2) != 0)
            return -1;
        if (text[i] == '\r' && text[i + 1] == '\n')
            ++i;  /* CR LF is one line end */
        runStart = i + 1;
    }
    return write_bytes(stream, text + runStart, i - runStart);
}

int cal_parseutil_print_string_no_esc_ical(protstream* stream, const char* text)
{
    if (!stream)
        return 1;
    if (!text)
        return 0;
    return write_bytes(stream, text, strlen(text));
}

}  // extern "C"
