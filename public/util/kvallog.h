/* Logging: one formatted line per call, levels 0 (worst) to 7 (trace). */
#ifndef PUBLIC_UTIL_KVALLOG_H
#define PUBLIC_UTIL_KVALLOG_H

#include "public/util/export.h"

#ifdef __cplusplus
extern "C" {
#endif

/* The levels the library logs at; a level says what happened to the input. */
enum {
    KVALLOG_LEVEL_ERROR = 3,     /* the library could not do its work (memory, I/O) */
    KVALLOG_LEVEL_DROPPED = 4,   /* data dropped, or a value assumed in its place */
    KVALLOG_LEVEL_DEFAULTED = 5, /* input replaced by a default; a fallback zone missing */
    KVALLOG_LEVEL_PARSE = 6,     /* a component's parse error; a zone missing */
    KVALLOG_LEVEL_TRACE = 7      /* a trace of what a value became */
};

/* Module tag every library message receives as its first %s: "calparser". */
CALPARSER_API
extern const char* KVALLOG_CORE_SUBSYSTEM;

/* Writes one line built from a printf format, of any length. `facility` is
 * always 0. A line is written whole even when threads log at once. */
CALPARSER_API
void kvallog(int facility, int level, const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 3, 4)))
#endif
    ;

/* Receives every line while set: `message` is exactly the formatted text. */
typedef void (*kvallog_sink_t)(void* ctx, int level, const char* message);
/* Installs `sink` with its `ctx` and returns the previous sink. A NULL sink
 * restores the default: each line on stderr followed by a newline (unless it
 * ends with one), dropping levels above the configuration's "log.level"
 * (default 5). The sink is called outside any lock, from the logging thread,
 * and may itself log; a call already under way when the sink is replaced may
 * still reach the old sink. */
CALPARSER_API
kvallog_sink_t kvallog_set_sink(kvallog_sink_t sink, void* ctx);

#ifdef __cplusplus
}
#endif

#endif
