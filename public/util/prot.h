/* Buffered byte streams over a file descriptor or over memory. */
#ifndef PUBLIC_UTIL_PROT_H
#define PUBLIC_UTIL_PROT_H

#ifdef __cplusplus
extern "C" {
#endif

/* `ptr` is the look-ahead pointer into the read buffer and `cnt` the bytes left
 * there: a reader takes one byte with `s->cnt > 0 ? (s->cnt--, *s->ptr++) :
 * prot_fill(s)` and pushes it back with `s->cnt++, s->ptr--`. The other members
 * are private. */
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
 * never closes `fd`. Returns NULL when memory runs out. */
protstream* prot_new(int fd, int write);
/* Same as prot_new. */
protstream* prot_file(int fd, int write);
/* A read stream over `len` bytes at `base`, which must outlive the stream. */
protstream* prot_readmap(const char* base, unsigned len);
/* Reads up to `n` bytes into `buf`; returns the count, 0 only at end of stream
 * (a short read from a pipe is not the end), -1 on error. */
int prot_read(protstream* s, char* buf, unsigned n);
/* Refills the read buffer and returns the next byte (consumed), or -1 at the end. */
int prot_fill(protstream* s);
/* Writes printf-formatted text; returns 0, or -1 on error. */
int prot_printf(protstream* s, const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 2, 3)))
#endif
    ;
/* Writes `len` bytes; returns 0, or -1 on error. */
int prot_write(protstream* s, const char* data, unsigned len);
/* Writes out what a write stream buffers; returns 0, or -1 on error. */
int prot_flush(protstream* s);
/* Flushes a write stream and releases `s` without closing its descriptor. NULL is a no-op. */
void prot_free(protstream* s);

#ifdef __cplusplus
}
#endif

#endif
