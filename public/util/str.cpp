/* In-place text helpers. ASCII only: the current locale never changes a byte. */
#include "public/util/str.h"

#include <string.h>

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
