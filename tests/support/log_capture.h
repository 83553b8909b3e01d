/* Capturing the library's log lines in a test. */
#ifndef TESTS_SUPPORT_LOG_CAPTURE_H
#define TESTS_SUPPORT_LOG_CAPTURE_H

#include <string>
#include <utility>
#include <vector>

#include "public/util/kvallog.h"

/* Level and exact text of each line, in the order logged. */
using LogLines = std::vector<std::pair<int, std::string>>;

/* Captures log lines while it lives. The sink it replaced comes back without its
 * context (the setter does not hand that back): captures must not nest. */
class LogCapture {
public:
    LogCapture() { previous_ = kvallog_set_sink(&LogCapture::sink, this); }
    ~LogCapture() { kvallog_set_sink(previous_, nullptr); }
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;
    const LogLines& lines() const { return lines_; }
    void clear() { lines_.clear(); }

private:
    static void sink(void* ctx, int level, const char* message) {
        static_cast<LogCapture*>(ctx)->lines_.emplace_back(level, message);
    }
    kvallog_sink_t previous_ = nullptr;
    LogLines lines_;
};

#endif
