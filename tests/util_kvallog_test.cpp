#include "public/util/config.h"
#include "public/util/kvallog.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using Lines = std::vector<std::pair<int, std::string>>;

void capture(void* ctx, int level, const char* message) {
    static_cast<Lines*>(ctx)->emplace_back(level, message);
}

// Sends stderr to a temporary file until contents() or the end of the object.
class StderrToFile {
public:
    StderrToFile() {
        char path[] = "/tmp/kvallog_test_XXXXXX";
        fd_ = mkstemp(path);
        unlink(path);
        fflush(stderr);
        saved_ = dup(STDERR_FILENO);
        dup2(fd_, STDERR_FILENO);
    }
    ~StderrToFile() {
        restore();
        close(fd_);
    }
    std::string contents() {
        restore();
        std::string text;
        char chunk[65536];
        lseek(fd_, 0, SEEK_SET);
        for (ssize_t n; (n = read(fd_, chunk, sizeof chunk)) > 0;) text.append(chunk, (size_t)n);
        return text;
    }

private:
    void restore() {
        if (saved_ < 0) return;
        dup2(saved_, STDERR_FILENO);
        close(saved_);
        saved_ = -1;
    }
    int fd_ = -1;
    int saved_ = -1;
};

} // namespace

TEST(Kvallog, SinkReceivesExactlyTheFormattedText) {
    Lines captured;
    kvallog_sink_t previous = kvallog_set_sink(capture, &captured);
    EXPECT_EQ(nullptr, previous);
    kvallog(0, 6, "line (%d), %s: Parse error: %s", 12, KVALLOG_CORE_SUBSYSTEM, "END:VALARM");
    kvallog(0, 7, "no newline added\n");
    std::string longText(10000, 'x');
    kvallog(0, 4, "%s: %s.", KVALLOG_CORE_SUBSYSTEM, longText.c_str());
    EXPECT_EQ(capture, kvallog_set_sink(nullptr, nullptr));

    // Levels above log.level still reach a sink.
    const Lines expected = {{6, "line (12), calparser: Parse error: END:VALARM"},
                            {7, "no newline added\n"},
                            {4, "calparser: " + longText + "."}};
    EXPECT_EQ(expected, captured);
}

TEST(Kvallog, DefaultWritesLinesUpToConfiguredLevelToStderr) {
    config_cache* cache = config_getdefaultcache();
    std::string text;
    {
        StderrToFile redirect;
        kvallog(0, 5, "%s: level five", "calparser");
        kvallog(0, 6, "%s: level six dropped", "calparser");
        kvallog(0, 4, "ends with newline\n");
        config_set_string(cache, "log.level", "7");
        kvallog(0, 7, "%s: level seven kept", "calparser");
        config_set_string(cache, "log.level", "3");
        kvallog(0, 4, "level four dropped");
        config_set_string(cache, "log.level", nullptr);
        text = redirect.contents();
    }
    EXPECT_EQ("calparser: level five\nends with newline\ncalparser: level seven kept\n", text);
}

// Lines longer than any fixed buffer (and than a pipe's atomic write) from many
// threads at once each arrive whole on their own line.
TEST(Kvallog, ThreadsLoggingAtOnceNeverMixLines) {
    constexpr int kThreads = 8;
    constexpr int kLinesEach = 200;
    std::string text;
    {
        StderrToFile redirect;
        std::vector<std::thread> threads;
        for (int t = 0; t < kThreads; t++) {
            threads.emplace_back([t] {
                std::string payload(3000 + t * 500, (char)('a' + t));
                for (int i = 0; i < kLinesEach; i++)
                    kvallog(0, 4, "thread %d line %d %s", t, i, payload.c_str());
            });
        }
        for (auto& thread : threads) thread.join();
        text = redirect.contents();
    }
    // Each line whole, and one thread's lines in their order.
    std::vector<int> nextLine(kThreads, 0);
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        int t = line.size() > 7 ? line[7] - '0' : -1;
        ASSERT_TRUE(t >= 0 && t < kThreads) << line.substr(0, 80);
        ASSERT_EQ("thread " + std::to_string(t) + " line " + std::to_string(nextLine[t]) + " " +
                      std::string(3000 + t * 500, (char)('a' + t)),
                  line);
        nextLine[t]++;
    }
    EXPECT_EQ(std::vector<int>(kThreads, kLinesEach), nextLine);
}
