/* The mark of the library's exported interface. The shared library is built
 * with hidden visibility, so only declarations marked CALPARSER_API are
 * visible to programs that link it: the functions and data of the documented
 * interface (parse entry, tokens and lexers, keyword look-ups, storers,
 * builders, time zones and conversion, writers, component operations), the
 * records' constructors and destructors, and the utility calls a caller needs
 * with them (arrays, streams, configuration, logging, directory). Declarations
 * without the mark are the library's own: the static library (which the
 * tests, tools, benchmarks and fuzz harnesses link) has them, the shared one
 * does not. */
#ifndef PUBLIC_UTIL_EXPORT_H
#define PUBLIC_UTIL_EXPORT_H

#if defined(__GNUC__)
#define CALPARSER_API __attribute__((visibility("default")))
#else
#define CALPARSER_API
#endif

#endif
