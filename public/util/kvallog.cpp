/* Logging: one formatted line per call, to a sink or to stderr. */
#include "public/util/kvallog.h"

#include "public/util/config.h"

#include <errno.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <atomic>
#include <mutex>

const char* KVALLOG_CORE_SUBSYSTEM = "calparser";

/* Levels above this are dropped by the default destination. */
static constexpr int kDefaultMaxLevel = 5;
/* Most lines fit here; longer ones are formatted on the heap. */
static constexpr size_t kStackLineSize = 1024;

namespace {

struct LogDestination {
    std::mutex lock; /* guards sink/ctx and serialises writes to stderr */
    kvallog_sink_t sink = nullptr;
    void* ctx = nullptr;
    std::atomic<bool> hasSink{false}; /* sink != nullptr, readable without the lock */
};

/* Never destroyed: threads may log while the process exits. */
LogDestination& destination() {
    alignas(LogDestination) static unsigned char storage[sizeof(LogDestination)];
    static LogDestination* const instance = new (storage) LogDestination();
    return *instance;
}

/* Writes all of `text` to `fd`, retrying after signals and short writes. */
void write_all(int fd, const char* text, size_t length) {
    while (length > 0) {
        ssize_t written = write(fd, text, length);
        if (written < 0) {
            if (errno == EINTR) continue;
            return;
        }
        text += written;
        length -= (size_t)written;
    }
}

/* Formats into `stackBuffer` when the text fits, else into a heap buffer that
 * the caller frees when it differs from `stackBuffer`. `reserve` bytes stay
 * free after the text. Should the heap fail, the cut text in `stackBuffer` is
 * returned marked with a closing "...". Returns NULL only when the format
 * fails; *pLength receives the text's length. */
char* format_line(char* stackBuffer, size_t stackSize, size_t reserve, const char* format,
                  va_list args, size_t* pLength) {
    static constexpr char kCutMark[] = "...";
    va_list again;
    va_copy(again, args);
    char* text = NULL;
    size_t room = stackSize - reserve;
    int needed = vsnprintf(stackBuffer, room, format, args);
    if (needed < 0) goto done;
    if ((size_t)needed < room) {
        text = stackBuffer;
        *pLength = (size_t)needed;
    } else if ((text = (char*)malloc((size_t)needed + 1 + reserve)) != NULL) {
        vsnprintf(text, (size_t)needed + 1, format, again);
        *pLength = (size_t)needed;
    } else {
        text = stackBuffer;
        *pLength = room - 1;
        memcpy(text + room - sizeof kCutMark, kCutMark, sizeof kCutMark);
    }
done:
    va_end(again);
    return text;
}

/* The highest level the default destination writes ("log.level"). Each thread
 * reads the setting again only after the configuration has changed, so that
 * the many lines a parse logs below the limit cost no lock. */
int max_level() {
    thread_local bool known = false;
    thread_local unsigned seenVersion = 0;
    thread_local int level = kDefaultMaxLevel;
    config_cache* config = config_getdefaultcache();
    unsigned version = config_get_version(config);
    if (!known || version != seenVersion) {
        level = config_get_int(config, "log.level", kDefaultMaxLevel);
        seenVersion = version;
        known = true;
    }
    return level;
}

} // namespace

extern "C" kvallog_sink_t kvallog_set_sink(kvallog_sink_t sink, void* ctx) {
    LogDestination& dest = destination();
    std::lock_guard<std::mutex> guard(dest.lock);
    kvallog_sink_t previous = dest.sink;
    dest.sink = sink;
    dest.ctx = sink ? ctx : nullptr;
    dest.hasSink.store(sink != nullptr, std::memory_order_release);
    return previous;
}

extern "C" void kvallog(int facility, int level, const char* format, ...) {
    (void)facility;
    if (!format) return;
    LogDestination& dest = destination();
    /* A line the default destination drops costs neither the lock nor a format. */
    if (!dest.hasSink.load(std::memory_order_acquire) && level > max_level()) return;
    kvallog_sink_t sink;
    void* ctx;
    {
        std::lock_guard<std::mutex> guard(dest.lock);
        sink = dest.sink;
        ctx = dest.ctx;
    }
    /* Read before formatting, outside the lock: the configuration cache may log. */
    if (!sink && level > max_level()) return;

    char stackBuffer[kStackLineSize];
    size_t length = 0;
    va_list args;
    va_start(args, format);
    /* One byte kept free after the text for the default destination's newline. */
    char* text = format_line(stackBuffer, sizeof stackBuffer, 1, format, args, &length);
    va_end(args);
    if (!text) return;

    if (sink) {
        sink(ctx, level, text);
    } else {
        if (length == 0 || text[length - 1] != '\n') text[length++] = '\n';
        /* One write per line, under the lock, so lines of threads never mix. */
        std::lock_guard<std::mutex> guard(dest.lock);
        write_all(STDERR_FILENO, text, length);
    }
    if (text != stackBuffer) free(text);
}
