/* Text helpers. ASCII only: the current locale never changes a byte. */
#include "public/util/str.h"

#include <string.h>

#include <plstr.h>

static bool is_white_space(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

char* str_toupper(char* text) {
    if (!text) return NULL;
    for (char* p = text; *p; p++) {
        if (*p >= 'a' && *p <= 'z') *p = (char)(*p - 'a' + 'A');
    }
    return text;
}

char* str_trim(char* text) {
    if (!text) return NULL;
    char* start = text;
    while (is_white_space(*start)) start++;
    char* end = start + strlen(start);
    while (end > start && is_white_space(end[-1])) end--;
    *end = '\0';
    return start;
}

int str_replace_copy(char** ppField, const char* text) {
    if (!ppField) return 1;
    char* copy = nullptr;
    if (text && !(copy = PL_strdup(text))) return 3;
    PL_strfree(*ppField);
    *ppField = copy;
    return 0;
}
