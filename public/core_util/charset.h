/* Character-set conversion of byte buffers, on ICU converters. */
#ifndef PUBLIC_CORE_UTIL_CHARSET_H
#define PUBLIC_CORE_UTIL_CHARSET_H

#include "public/util/export.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Converts `inLen` bytes at `in` from `fromCharset` to `toCharset` into `out`
 * and returns the number of bytes written there, never more than `outRoom`.
 * Nothing is NUL-terminated. A NULL or empty charset name means "UTF-8"; any
 * name or alias ICU knows is accepted, ignoring case.
 * - UTF-8 to UTF-8 is a plain copy: the bytes are not checked.
 * - Input bytes that cannot be converted become U+FFFD (for a UTF-8 target:
 *   EF BF BD).
 * - Each call converts on its own: a multi-byte character cut at the end of
 *   `in` cannot be completed by the next call and becomes U+FFFD; in a plain
 *   UTF-8 copy its bytes are copied unchanged, so a caller that appends the
 *   next chunk's bytes after them rejoins the character. (MEE_ConvertBufferEx
 *   leaves the cut character to the caller instead.) The shift state of a
 *   stateful encoding (ISO-2022-JP) also starts afresh with every call.
 * - When `out` is too small the output stops early: for a UTF-8 target at the
 *   end of the last whole character that fits. The loss is logged at level 4.
 * - An unknown charset name is logged at level 4 and nothing is converted (0).
 * - NULL buffers or lengths below 1 convert nothing (0).
 * Thread-safe: converters are per thread. `in` and `out` must not overlap. */
CALPARSER_API
int MEE_ConvertBuffer(const char* fromCharset, const char* toCharset, const char* in, int inLen,
                      char* out, int outRoom);

/* As MEE_ConvertBuffer, but a multi-byte character cut at the end of `in` is
 * neither converted nor replaced: *pnInUsed (when not NULL) receives the number
 * of input bytes converted, and the caller passes the rest again in front of
 * its next chunk. When the output is cut short, or for an unknown charset,
 * *pnInUsed is `inLen`: those bytes are lost, not left over. */
int MEE_ConvertBufferEx(const char* fromCharset, const char* toCharset, const char* in,
                        int inLen, char* out, int outRoom, int* pnInUsed);

#ifdef __cplusplus
}
#endif

#endif
