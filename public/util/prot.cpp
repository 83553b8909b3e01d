/* Buffered byte streams over a file descriptor or over memory.
 *
 * A read stream keeps `cnt` unread bytes at `ptr` inside its buffer (or inside
 * the caller's memory for prot_readmap). A write stream uses the same two
 * members for the next free byte of its buffer and the room left there. */
#include "public/util/prot.h"

#include "public/util/kvallog.h"

#include <errno.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

static constexpr int kBufferSize = 8192;

/* The text of error `code`, thread-safe. */
static const char* error_text(int code, char* room, size_t roomSize) {
#if defined(__GLIBC__) && defined(_GNU_SOURCE)
    return strerror_r(code, room, roomSize);
#else
    if (strerror_r(code, room, roomSize) != 0) snprintf(room, roomSize, "error %d", code);
    return room;
#endif
}

/* Remembers the first error of `s` and logs it. */
static void note_error(protstream* s, const char* what, int code) {
    char room[128];
    if (!s->error) s->error = code;
    kvallog(0, KVALLOG_LEVEL_ERROR,
            "%s: cannot %s descriptor %d: %s", KVALLOG_CORE_SUBSYSTEM, what, s->fd,
            error_text(code, room, sizeof room));
}

protstream* prot_new(int fd, int write) {
    if (fd < 0) return NULL;
    protstream* s = (protstream*)calloc(1, sizeof(protstream));
    if (!s) return NULL;
    s->buf = (unsigned char*)malloc(kBufferSize);
    if (!s->buf) {
        free(s);
        return NULL;
    }
    s->bufsize = kBufferSize;
    s->fd = fd;
    s->write = write ? 1 : 0;
    s->ptr = s->buf;
    s->cnt = s->write ? s->bufsize : 0;
    return s;
}

protstream* prot_file(int fd, int write) {
    return prot_new(fd, write);
}

protstream* prot_readmap(const char* base, unsigned len) {
    if (!base && len > 0) return NULL;
    if (len > (unsigned)0x7fffffff) return NULL; /* cnt is an int */
    protstream* s = (protstream*)calloc(1, sizeof(protstream));
    if (!s) return NULL;
    s->fd = -1;
    s->map = base;
    s->maplen = len;
    /* Read only: nothing writes through ptr, ungetting only steps back over it. */
    s->ptr = (unsigned char*)base;
    s->cnt = (int)len;
    return s;
}

/* One read(2) into `into`, retried after signals. Returns the count, or 0 at
 * the end of input or on an error (both remembered in the stream). A short
 * count is not the end: a pipe hands over what it holds. */
static int read_descriptor(protstream* s, unsigned char* into, size_t room) {
    if (s->fd < 0 || s->eof || s->error) return 0;
    ssize_t got;
    do {
        got = read(s->fd, into, room);
    } while (got < 0 && errno == EINTR);
    if (got < 0) {
        note_error(s, "read from", errno);
        return 0;
    }
    if (got == 0) s->eof = 1;
    return (int)got;
}

/* Refills an empty read buffer. Returns the number of bytes now buffered. */
static int refill(protstream* s) {
    int got = read_descriptor(s, s->buf, (size_t)s->bufsize);
    s->ptr = s->buf;
    s->cnt = got;
    return got;
}

int prot_read(protstream* s, char* buf, unsigned n) {
    if (!s || !buf || s->write || n == 0) return 0;
    if (n > (unsigned)0x7fffffff) n = 0x7fffffff;
    if (s->cnt <= 0) {
        if (!s->buf) return 0; /* memory stream: its end */
        /* A large request goes straight to the caller's buffer. */
        if (n >= (unsigned)s->bufsize) return read_descriptor(s, (unsigned char*)buf, n);
        if (refill(s) == 0) return 0;
    }
    unsigned take = (unsigned)s->cnt < n ? (unsigned)s->cnt : n;
    memcpy(buf, s->ptr, take);
    s->ptr += take;
    s->cnt -= (int)take;
    return (int)take;
}

int prot_fill(protstream* s) {
    if (!s || s->write) return -1;
    if (s->cnt <= 0) {
        if (!s->buf || refill(s) == 0) {
            s->eof = 1;
            return -1;
        }
    }
    s->cnt--;
    return *s->ptr++;
}

int prot_error(const protstream* s) {
    return s ? s->error : 0;
}

/* Writes all `len` bytes to the descriptor, retrying after signals and short
 * writes. Returns 0, or -1 after noting the error. */
static int write_descriptor(protstream* s, const unsigned char* data, size_t len) {
    while (len > 0) {
        ssize_t written = write(s->fd, data, len);
        if (written < 0) {
            if (errno == EINTR) continue;
            note_error(s, "write to", errno);
            return -1;
        }
        data += written;
        len -= (size_t)written;
    }
    return 0;
}

int prot_flush(protstream* s) {
    if (!s) return -1;
    if (!s->write) return 0;
    if (s->error) return -1;
    size_t pending = (size_t)(s->ptr - s->buf);
    s->ptr = s->buf;
    s->cnt = s->bufsize;
    return write_descriptor(s, s->buf, pending);
}

int prot_write(protstream* s, const char* data, unsigned len) {
    if (!s || !s->write || s->error) return -1;
    if (len == 0) return 0;
    if (!data) return -1;
    if (len > (unsigned)s->cnt) {
        /* No room: empty the buffer; what cannot fit even then goes straight out. */
        if (prot_flush(s)) return -1;
        if (len >= (unsigned)s->bufsize) return write_descriptor(s, (const unsigned char*)data, len);
    }
    memcpy(s->ptr, data, len);
    s->ptr += len;
    s->cnt -= (int)len;
    return 0;
}

int prot_printf(protstream* s, const char* format, ...) {
    if (!s || !s->write || s->error || !format) return -1;
    int rc = 0;
    char* large = NULL;
    va_list args, again;
    va_start(args, format);
    va_copy(again, args);
    /* Usually the text fits the room left in the buffer: format it in place. */
    int needed = vsnprintf((char*)s->ptr, (size_t)s->cnt, format, args);
    if (needed < 0) {
        rc = -1;
    } else if (needed < s->cnt) {
        s->ptr += needed;
        s->cnt -= needed;
    } else if (needed < s->bufsize) {
        if (prot_flush(s)) {
            rc = -1;
        } else {
            vsnprintf((char*)s->ptr, (size_t)s->cnt, format, again);
            s->ptr += needed;
            s->cnt -= needed;
        }
    } else {
        large = (char*)malloc((size_t)needed + 1);
        if (!large) {
            rc = -1;
        } else {
            vsnprintf(large, (size_t)needed + 1, format, again);
            rc = prot_write(s, large, (unsigned)needed);
        }
    }
    va_end(again);
    va_end(args);
    free(large);
    return rc;
}

void prot_free(protstream* s) {
    if (!s) return;
    if (s->write) prot_flush(s);
    free(s->buf);
    free(s);
}
