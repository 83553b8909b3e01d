#include "public/util/config.h"
#include "public/util/kvallog.h"

#include <gtest/gtest.h>

#include <stdio.h>
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
    std::string text;
    char chunk[65536];
    rewind(file);
    for (size_t n; (n = fread(chunk, 1, sizeof chunk, file)) > 0;) text.append(chunk, n);
    fclose(file);
    return text;
}

} // namespace

// Nothing added, nothing cut (not even past a fixed buffer), and levels above
// log.level still reach a sink.
TEST(Kvallog, SinkReceivesExactlyTheFormattedText) {
    Lines captured;
    EXPECT_EQ(nullptr, kvallog_set_sink(capture, &captured));
    kvallog(0, 6, "line (%d), %s: Parse error: %s", 12, KVALLOG_CORE_SUBSYSTEM, "END:VALARM");
    kvallog(0, 4, "%s: %s.", KVALLOG_CORE_SUBSYSTEM, std::string(10000, 'x').c_str());
    EXPECT_EQ(capture, kvallog_set_sink(nullptr, nullptr));

    const Lines expected = {{6, "line (12), calparser: Parse error: END:VALARM"},
                            {4, "calparser: " + std::string(10000, 'x') + "."}};
    EXPECT_EQ(expected, captured);
}

TEST(Kvallog, DefaultWritesLinesUpToConfiguredLevelToStderr) {
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
