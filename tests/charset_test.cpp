#include "public/core_util/charset.h"
#include "tests/support/log_capture.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace {

// Converts all of `in`, with room for `room` bytes; returns what was written.
std::string convert(const char* from, const char* to, const std::string& in, int room = 256) {
    std::vector<char> out((size_t)room + 1, '#');
    int written = MEE_ConvertBuffer(from, to, in.data(), (int)in.size(), out.data(), room);
    EXPECT_TRUE(written >= 0 && written <= room) << written;
    EXPECT_EQ('#', out[(size_t)room]) << "wrote past the room";
    return std::string(out.data(), (size_t)(written < 0 ? 0 : written));
}

} // namespace

// A plain UTF-8 copy (every spelling of UTF-8, even of invalid bytes) keeps a
// character cut at the chunk end, which a caller can rejoin with the next
// chunk. The Ex form leaves the cut character to the caller.
TEST(Charset, CharacterCutAtChunkEnd) {
    EXPECT_EQ("a\xE2\x82", convert("UTF-8", "UTF-8", "a\xE2\x82"));
    EXPECT_EQ("a\xFF\xC0\x80z", convert("cp1208", "utf-8", "a\xFF\xC0\x80z"));
    EXPECT_EQ("a\xFF\xC0\x80z", convert(nullptr, "utf-8", "a\xFF\xC0\x80z"));

    char out[32];
    int used = -1;
    EXPECT_EQ(1, MEE_ConvertBufferEx("UTF-16LE", "UTF-8", "A\0\x3D\xD8", 4, out, 32, &used));
    EXPECT_EQ(2, used);
    EXPECT_EQ(1, MEE_ConvertBufferEx("UTF-8", "UTF-8", "a\xE2\x82", 3, out, 32, &used));
    EXPECT_EQ(1, used);
}

// ISO-8859-1 under any of its names: a byte is the code point of its own
// number, nothing is left over at a chunk's end. Output stops at the room
// given, never inside a character, inside or after a run of ASCII, and the
// loss is logged; an unknown name (source or target) converts nothing.
TEST(Charset, Latin1FullOutputAndUnknownCharsetsAreLogged) {
    char out[8];
    int used = -1;
    EXPECT_EQ(5, MEE_ConvertBufferEx("l1", "utf8", "\x7F\xFF\xA0", 3, out, 8, &used));
    EXPECT_EQ("\x7F\xC3\xBF\xC2\xA0", std::string(out, 5));
    EXPECT_EQ(3, used);
    LogCapture log;
    const std::string text = "abcdefghij\xE9klmnopqrstuvwxyz";
    EXPECT_EQ("abcdefghij", convert("ISO-8859-1", "UTF-8", text, 11));
    EXPECT_EQ("abcdefghij\xC3\xA9klmnopq", convert("latin1", "UTF-8", text, 19));
    EXPECT_EQ("ab", convert("UTF-8", "UTF-8", "ab\xE2\x82\xAC", 4));
    EXPECT_EQ("", convert("X-NO-SUCH-CHARSET", "UTF-8", "abc"));
    const LogLines expected = {
        {4, "calparser: Converting ISO-8859-1 to UTF-8: output room of 11 bytes full, rest dropped"},
        {4, "calparser: Converting latin1 to UTF-8: output room of 19 bytes full, rest dropped"},
        {4, "calparser: Converting UTF-8 to UTF-8: output room of 4 bytes full, rest dropped"},
        {4, "calparser: Unknown character set \"X-NO-SUCH-CHARSET\", nothing converted"}};
    EXPECT_EQ(expected, log.lines());
}

// Threads switching between charsets never see each other's converters.
TEST(Charset, ThreadsConvertIndependently) {
    std::vector<std::thread> threads;
    std::vector<int> wrong(4, 0);
    for (int t = 0; t < 4; t++) {
        threads.emplace_back([t, &wrong] {
            for (int i = 0; i < 2000; i++) {
                char out[16];
                bool euro = (i + t) % 2;
                int n = euro ? MEE_ConvertBuffer("windows-1252", "UTF-8", "\x80", 1, out, 16)
                             : MEE_ConvertBuffer("UTF-16BE", "UTF-8", "\0\xE9", 2, out, 16);
                if (std::string(out, (size_t)n) != (euro ? "\xE2\x82\xAC" : "\xC3\xA9")) wrong[t]++;
            }
        });
    }
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(std::vector<int>(4, 0), wrong);
}
