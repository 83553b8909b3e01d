/* The mark of the library's exported interface. The shared library is built
 * with hidden visibility, so only declarations marked CALPARSER_API are
 * visible to programs that link it; the static library is unaffected. */
#ifndef PUBLIC_UTIL_EXPORT_H
#define PUBLIC_UTIL_EXPORT_H

#if defined(__GNUC__)
#define CALPARSER_API __attribute__((visibility("default")))
#else
#define CALPARSER_API
#endif

#endif
