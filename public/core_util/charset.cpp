/* Character-set conversion of byte buffers, on ICU converters.
 *
 * Input is decoded and re-encoded in one pass through a pivot buffer of UTF-16
 * (ucnv_convertEx). Each thread keeps the last source and target converter it
 * opened, so a stream converted chunk by chunk opens them once. */
#include "public/core_util/charset.h"

#include "public/util/kvallog.h"

#include <stdint.h>
#include <string.h>

#include <string>

#include <unicode/ucnv.h>
#include <unicode/ucnv_cb.h>
#include <unicode/ucnv_err.h>

namespace {

constexpr int kPivotSize = 1024;
constexpr UChar kReplacementCharacter = 0xFFFD;

/* ICU's own substitution writes U+001A for some single-byte failures; the
 * library promises U+FFFD for every byte that cannot be converted. */
void U_CALLCONV replace_with_fffd(const void* /*context*/, UConverterToUnicodeArgs* args,
                                  const char* /*bytes*/, int32_t /*length*/,
                                  UConverterCallbackReason reason, UErrorCode* err) {
    if (reason != UCNV_UNASSIGNED && reason != UCNV_ILLEGAL && reason != UCNV_IRREGULAR)
        return; /* reset, close and clone need nothing */
    *err = U_ZERO_ERROR;
    ucnv_cbToUWriteUChars(args, &kReplacementCharacter, 1, 0, err);
}

/* One converter kept open per thread for the last name it was asked for. */
class CachedConverter {
public:
    ~CachedConverter() { close(); }
    /* The converter for `name`, reset; NULL when ICU does not know the name. */
    UConverter* get(const char* name, bool isSource) {
        if (converter_ && name_ == name) {
            ucnv_reset(converter_);
            return converter_;
        }
        close();
        UErrorCode err = U_ZERO_ERROR;
        UConverter* opened = ucnv_open(name, &err);
        if (U_SUCCESS(err) && isSource)
            ucnv_setToUCallBack(opened, replace_with_fffd, nullptr, nullptr, nullptr, &err);
        if (U_FAILURE(err)) {
            if (opened) ucnv_close(opened);
            return nullptr;
        }
        try {
            name_ = name;
        } catch (...) {
            ucnv_close(opened);
            return nullptr;
        }
        converter_ = opened;
        return converter_;
    }

private:
    void close() {
        if (converter_) ucnv_close(converter_);
        converter_ = nullptr;
        name_.clear();
    }
    UConverter* converter_ = nullptr;
    std::string name_;
};

thread_local CachedConverter sourceConverter;
thread_local CachedConverter targetConverter;

const char* name_or_utf8(const char* name) {
    return name && *name ? name : "UTF-8";
}

/* True for every spelling and alias that ICU resolves to UTF-8. */
bool is_utf8(const char* name) {
    if (ucnv_compareNames(name, "UTF-8") == 0) return true;
    UErrorCode err = U_ZERO_ERROR;
    const char* canonical = ucnv_getAlias(name, 0, &err);
    return U_SUCCESS(err) && canonical && strcmp(canonical, "UTF-8") == 0;
}

/* The length of the longest prefix of `text` that does not end inside a
 * UTF-8 sequence (invalid bytes count as whole characters). */
int utf8_whole_prefix(const char* text, int length) {
    for (int back = 1; back <= 4 && back <= length; back++) {
        unsigned char byte = (unsigned char)text[length - back];
        if ((byte & 0xC0) == 0x80) continue; /* continuation byte: look further back */
        int sequence = byte < 0xC0 ? 1 : byte < 0xE0 ? 2 : byte < 0xF0 ? 3 : byte < 0xF8 ? 4 : 1;
        return sequence > back ? length - back : length;
    }
    return length;
}

void log_output_full(const char* fromCharset, const char* toCharset, int outRoom) {
    kvallog(0, KVALLOG_LEVEL_DROPPED,
            "%s: Converting %s to %s: output room of %d bytes full, rest dropped",
            KVALLOG_CORE_SUBSYSTEM, fromCharset, toCharset, outRoom);
}

int copy_utf8(const char* in, int inLen, char* out, int outRoom, bool keepCutCharacter,
              int* pnInUsed) {
    int length = inLen;
    *pnInUsed = inLen;
    if (inLen > outRoom) {
        length = utf8_whole_prefix(in, outRoom);
        log_output_full("UTF-8", "UTF-8", outRoom);
    } else if (keepCutCharacter) {
        length = utf8_whole_prefix(in, inLen);
        *pnInUsed = length;
    }
    memcpy(out, in, (size_t)length);
    return length;
}

/* ISO-8859-1 to UTF-8 without ICU's pivot: every byte is the code point of
 * its own number, one UTF-8 byte below 0x80 and two from there on. Stops
 * before a character that does not fit whole, as the converted and trimmed
 * output would; *pFull then tells so. Runs of eight ASCII bytes are copied
 * as one word. */
int latin1_to_utf8(const char* in, int inLen, char* out, int outRoom, bool* pFull) {
    constexpr uint64_t kHighBits = 0x8080808080808080ull;
    int i = 0;
    int written = 0;
    *pFull = false;
    while (i < inLen) {
        uint64_t word;
        if (inLen - i >= 8 && outRoom - written >= 8 &&
            (memcpy(&word, in + i, 8), (word & kHighBits) == 0)) {
            memcpy(out + written, &word, 8);
            i += 8;
            written += 8;
            continue;
        }
        unsigned char byte = (unsigned char)in[i];
        int size = byte < 0x80 ? 1 : 2;
        if (written + size > outRoom) {
            *pFull = true;
            break;
        }
        if (size == 1) {
            out[written++] = (char)byte;
        } else {
            out[written++] = (char)(0xC0 | (byte >> 6));
            out[written++] = (char)(0x80 | (byte & 0x3F));
        }
        i++;
    }
    return written;
}

int convert(const char* fromCharset, const char* toCharset, const char* in, int inLen, char* out,
            int outRoom, bool keepCutCharacter, int* pnInUsed) {
    *pnInUsed = inLen;
    if (!in || inLen < 1 || !out || outRoom < 1) return 0;
    fromCharset = name_or_utf8(fromCharset);
    toCharset = name_or_utf8(toCharset);
    bool toUtf8 = is_utf8(toCharset);
    if (toUtf8 && is_utf8(fromCharset))
        return copy_utf8(in, inLen, out, outRoom, keepCutCharacter, pnInUsed);

    UConverter* source = sourceConverter.get(fromCharset, true);
    UConverter* target = source ? targetConverter.get(toCharset, false) : nullptr;
    if (!source || !target) {
        kvallog(0, KVALLOG_LEVEL_DROPPED, "%s: Unknown character set \"%s\", nothing converted",
                KVALLOG_CORE_SUBSYSTEM, source ? toCharset : fromCharset);
        return 0;
    }

    if (toUtf8 && ucnv_getType(source) == UCNV_LATIN_1) {
        bool full = false;
        int written = latin1_to_utf8(in, inLen, out, outRoom, &full);
        if (full) log_output_full(fromCharset, toCharset, outRoom);
        return written;
    }

    UChar pivot[kPivotSize];
    UChar* pivotSource = pivot;
    UChar* pivotTarget = pivot;
    const char* sourceAt = in;
    char* targetAt = out;
    UErrorCode err = U_ZERO_ERROR;
    ucnv_convertEx(target, source, &targetAt, out + outRoom, &sourceAt, in + inLen, pivot,
                   &pivotSource, &pivotTarget, pivot + kPivotSize, true, !keepCutCharacter, &err);
    int written = (int)(targetAt - out);
    if (err == U_BUFFER_OVERFLOW_ERROR) {
        if (toUtf8) written = utf8_whole_prefix(out, written);
        log_output_full(fromCharset, toCharset, outRoom);
    } else if (U_FAILURE(err)) {
        kvallog(0, KVALLOG_LEVEL_DROPPED,
                "%s: Converting %s to %s failed: %s", KVALLOG_CORE_SUBSYSTEM, fromCharset,
                toCharset, u_errorName(err));
    } else if (keepCutCharacter) {
        /* The bytes of a cut character wait inside the converter; hand them back. */
        UErrorCode countErr = U_ZERO_ERROR;
        int pending = ucnv_toUCountPending(source, &countErr);
        if (U_SUCCESS(countErr) && pending > 0 && pending <= inLen) *pnInUsed = inLen - pending;
    }
    return written;
}

} // namespace

int MEE_ConvertBuffer(const char* fromCharset, const char* toCharset, const char* in, int inLen,
                      char* out, int outRoom) {
    int inUsed;
    return convert(fromCharset, toCharset, in, inLen, out, outRoom, false, &inUsed);
}

int MEE_ConvertBufferEx(const char* fromCharset, const char* toCharset, const char* in,
                        int inLen, char* out, int outRoom, int* pnInUsed) {
    int inUsed;
    int written = convert(fromCharset, toCharset, in, inLen, out, outRoom, true, &inUsed);
    if (pnInUsed) *pnInUsed = inUsed;
    return written;
}
