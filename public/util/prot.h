/* Buffered byte streams over a file descriptor or over memory. */
#ifndef PUBLIC_UTIL_PROT_H
#define PUBLIC_UTIL_PROT_H

#include "public/util/export.h"

#ifdef __cplusplus
extern "C" {
#endif

/* In a read stream `ptr` is the look-ahead pointer into the read buffer and
 * `cnt` the bytes left there: a reader takes one byte with `s->cnt > 0 ?
 * (s->cnt--, *s->ptr++) : prot_fill(s)` and pushes the byte it just took back
 * with `s->cnt++, s->ptr--`. In a write stream the two are private (next free
 * byte of the buffer, room left). The other members are private. */
typedef struct protstream {
    unsigned char* ptr;
    int cnt;
    unsigned char* buf;      /* private */
    int bufsize;             /* private */
    int fd;                  /* private: -1 over memory */
    int write;               /* private: non-zero for an output stream */
    int eof;                 /* private */
    int error;               /* private */
    const char* map;         /* private: memory of prot_readmap */
    unsigned maplen;         /* private */
} protstream;

/* Wraps open descriptor `fd` for reading (write == 0) or writing. The stream
 * never closes `fd`. Returns NULL for a negative `fd` or when memory runs out. */
CALPARSER_API
protstream* prot_new(int fd, int write);
/* Same as prot_new. */
CALPARSER_API
protstream* prot_file(int fd, int write);
/* A read stream over `len` bytes at `base`, which must outlive the stream. */
CALPARSER_API
protstream* prot_readmap(const char* base, unsigned len);
/* Reads up to `n` bytes into `buf` and returns the count: what the buffer
 * holds, else what one read of the descriptor gives (a short read from a pipe
 * is not the end; interrupted reads are retried). Returns 0 only at the end of
 * the stream, or after a read error, which is logged at level 3 and ends the
 * stream. Never negative. */
CALPARSER_API
int prot_read(protstream* s, char* buf, unsigned n);
/* Returns the next byte (consumed), refilling the read buffer when it is
 * empty; -1 at the end of the stream, after a read error, or for a write stream. */
CALPARSER_API
int prot_fill(protstream* s);
/* The errno of the first read or write error of `s`, 0 while there was none
 * (the end of the stream is not an error). NULL gives 0. */
CALPARSER_API
int prot_error(const protstream* s);
/* Writes printf-formatted text of any length; returns 0, or -1 on error (a
 * write error is logged at level 3 and every later write fails). */
CALPARSER_API
int prot_printf(protstream* s, const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 2, 3)))
#endif
    ;
/* Writes `len` bytes; returns 0, or -1 on error. */
CALPARSER_API
int prot_write(protstream* s, const char* data, unsigned len);
/* Writes out what a write stream buffers; returns 0, or -1 on error. */
CALPARSER_API
int prot_flush(protstream* s);
/* Flushes a write stream and releases `s` without closing its descriptor. NULL is a no-op. */
CALPARSER_API
void prot_free(protstream* s);

#ifdef __cplusplus
}
#endif

#endif
