/* Component helpers: the original-start line and the component-state method
 * code. */
#include "core/parser/calparserutil.h"

#include <plstr.h>

namespace {

constexpr int kMethodOther = 1;
constexpr int kMethodRequest = 2;
constexpr int kMethodReply = 4;
constexpr int kMethodCancel = 8;
constexpr int kMethodCounter = 64;

}  // namespace

int isOriginalDTStartXTokenString(const char* text) {
    if (!text) return 0;
    return PL_strcasestr(text, CALPARSER_ORIGINAL_DTSTART_NAME) != nullptr;
}

char* getOriginalDtStartXToken(const array_t* lines) {
    if (!lines) return nullptr;
    for (unsigned i = 0; i < lines->count; i++) {
        char* line = static_cast<char*>(lines->data[i]);
        if (isOriginalDTStartXTokenString(line)) return line;
    }
    return nullptr;
}

int hasOriginalDtStartXToken(const array_t* lines) {
    return getOriginalDtStartXToken(lines) != nullptr;
}

int calparser_getCompStateMethod(iCal_Token_t method) {
    switch (method) {
    case TOKEN_REQUEST: return kMethodRequest;
    case TOKEN_REPLY: return kMethodReply;
    case TOKEN_CANCEL: return kMethodCancel;
    case TOKEN_COUNTER: return kMethodCounter;
    default: return kMethodOther;
    }
}
