#include "public/util/config.h"
#include "public/util/kvallog.h"
#include "tests/support/log_capture.h"

#include <gtest/gtest.h>

#include <stdio.h>
#include <unistd.h>

#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

// Runs `body` with stderr sent to a temporary file; returns what it wrote there.
template <typename Body>
std::string stderr_of(Body body) {
    FILE* file = tmpfile();
    fflush(stderr);
    int saved = dup(STDERR_FILENO);
    dup2(fileno(file), STDERR_FILENO);
    body();
    dup2(saved, STDERR_FILENO);
    close(saved);
    rewind(file);
    std::string text;
    for (int c; (c = fgetc(file)) != EOF;) text += (char)c;
    fclose(file);
    return text;
}

} // namespace

// Nothing added, nothing cut (not even past a fixed buffer), and levels above
// log.level still reach a sink. Without a sink, lines up to the configured
// level go to stderr, each ending in one line end.
TEST(Kvallog, SinkGetsTheExactTextAndStderrTheConfiguredLevels) {
    {
        LogCapture log;
        kvallog(0, 6, "line (%d), %s: Parse error: %s", 12, KVALLOG_CORE_SUBSYSTEM, "END:VALARM");
        kvallog(0, 4, "%s: %s.", KVALLOG_CORE_SUBSYSTEM, std::string(10000, 'x').c_str());
        EXPECT_EQ((LogLines{{6, "line (12), calparser: Parse error: END:VALARM"},
                            {4, "calparser: " + std::string(10000, 'x') + "."}}),
                  log.lines());
    }
    config_cache* cache = config_getdefaultcache();
    std::string text = stderr_of([cache] {
        kvallog(0, 5, "%s: level five", "calparser");
        kvallog(0, 6, "%s: level six dropped", "calparser");
        kvallog(0, 4, "ends with newline\n");
        config_set_string(cache, "log.level", "7");
        kvallog(0, 7, "%s: level seven kept", "calparser");
        config_set_string(cache, "log.level", "3");
        kvallog(0, 4, "level four dropped");
        config_set_string(cache, "log.level", nullptr);
    });
    EXPECT_EQ("calparser: level five\nends with newline\ncalparser: level seven kept\n", text);
}

// Lines longer than any fixed buffer (and than a pipe's atomic write) from many
// threads at once each arrive whole on their own line, one thread's in order.
TEST(Kvallog, ThreadsLoggingAtOnceNeverMixLines) {
    constexpr int kThreads = 8;
    constexpr int kLinesEach = 200;
    std::string text = stderr_of([] {
        std::vector<std::thread> threads;
        for (int t = 0; t < kThreads; t++) {
            threads.emplace_back([t] {
                std::string payload(3000 + t * 500, (char)('a' + t));
                for (int i = 0; i < kLinesEach; i++)
                    kvallog(0, 4, "thread %d line %d %s", t, i, payload.c_str());
            });
        }
        for (auto& thread : threads) thread.join();
    });
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
