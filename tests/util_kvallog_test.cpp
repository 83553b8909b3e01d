#include "public/util/config.h"
#include "public/util/kvallog.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

struct Captured {
    std::mutex lock;
    std::vector<std::pair<int, std::string>> lines;
};

void capture(void* ctx, int level, const char* message) {
    Captured* captured = static_cast<Captured*>(ctx);
    std::lock_guard<std::mutex> guard(captured->lock);
    captured->lines.emplace_back(level, message);
}

// Sends stderr to a temporary file for the life of the object.
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
        ssize_t n;
        lseek(fd_, 0, SEEK_SET);
        while ((n = read(fd_, chunk, sizeof chunk)) > 0) text.append(chunk, (size_t)n);
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

TEST(Kvallog, ModuleTag) {
    EXPECT_STREQ("calparser", KVALLOG_CORE_SUBSYSTEM);
}

TEST(Kvallog, SinkReceivesExactlyTheFormattedText) {
    Captured captured;
    kvallog_sink_t previous = kvallog_set_sink(capture, &captured);
    EXPECT_EQ(nullptr, previous);
    kvallog(0, 6, "line (%d), %s: Parse error: %s", 12, KVALLOG_CORE_SUBSYSTEM, "END:VALARM");
    kvallog(0, 7, "no newline added\n");
    std::string longText(10000, 'x');
    kvallog(0, 4, "%s: %s.", KVALLOG_CORE_SUBSYSTEM, longText.c_str());
    EXPECT_EQ(capture, kvallog_set_sink(nullptr, nullptr));

    ASSERT_EQ(3u, captured.lines.size());
    EXPECT_EQ(6, captured.lines[0].first);
    EXPECT_EQ("line (12), calparser: Parse error: END:VALARM", captured.lines[0].second);
    EXPECT_EQ(7, captured.lines[1].first);  // levels above log.level still reach a sink
    EXPECT_EQ("no newline added\n", captured.lines[1].second);
    EXPECT_EQ("calparser: " + longText + ".", captured.lines[2].second);
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
    std::vector<int> nextLine(kThreads, 0);
    std::istringstream lines(text);
    std::string line;
    int count = 0;
    while (std::getline(lines, line)) {
        int t = -1, i = -1;
        ASSERT_EQ(2, sscanf(line.c_str(), "thread %d line %d ", &t, &i)) << line.substr(0, 80);
        ASSERT_TRUE(t >= 0 && t < kThreads);
        EXPECT_EQ(nextLine[t], i);  // one thread's lines keep their order
        nextLine[t] = i + 1;
        std::string expected = "thread " + std::to_string(t) + " line " + std::to_string(i) + " " +
                               std::string(3000 + t * 500, (char)('a' + t));
        ASSERT_EQ(expected, line);
        count++;
    }
    EXPECT_EQ(kThreads * kLinesEach, count);
}
