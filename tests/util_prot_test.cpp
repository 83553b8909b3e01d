#include "public/util/kvallog.h"
#include "public/util/prot.h"
#include "tests/print_capture.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <memory>
#include <string>
#include <vector>

namespace {

struct StreamDeleter {
    void operator()(protstream* s) const { prot_free(s); }
};
using StreamPtr = std::unique_ptr<protstream, StreamDeleter>;

// The one-byte get that callers write against the public members.
int get_byte(protstream* s) {
    return s->cnt > 0 ? (s->cnt--, *s->ptr++) : prot_fill(s);
}

struct Pipe {
    int ends[2] = {-1, -1};
    Pipe() { EXPECT_EQ(0, pipe(ends)); }
    ~Pipe() {
        closeWriteEnd();
        close(ends[0]);
    }
    void put(const std::string& text) {
        ASSERT_EQ((ssize_t)text.size(), write(ends[1], text.data(), text.size()));
    }
    void closeWriteEnd() {
        if (ends[1] >= 0) close(ends[1]);
        ends[1] = -1;
    }
};

std::string read_all(int fd) {
    std::string text;
    char chunk[4096];
    for (ssize_t n; (n = read(fd, chunk, sizeof chunk)) > 0;) text.append(chunk, (size_t)n);
    return text;
}

void capture(void* ctx, int level, const char* message) {
    static_cast<std::vector<std::pair<int, std::string>>*>(ctx)->emplace_back(level, message);
}

} // namespace

// A pipe that holds less than was asked for hands over what it holds: only the
// closed write end is the end of the stream. Also the intake's get and unget.
TEST(Prot, ShortPipeReadsAreNotTheEnd) {
    Pipe pipe;
    StreamPtr s(prot_file(pipe.ends[0], 0));
    char buf[100];
    pipe.put("BEGIN:VCAL");
    EXPECT_EQ('B', get_byte(s.get()));  // nothing buffered yet: goes through prot_fill
    s->cnt++, s->ptr--;
    EXPECT_EQ(10, prot_read(s.get(), buf, sizeof buf));
    EXPECT_EQ("BEGIN:VCAL", std::string(buf, 10));
    pipe.put("xyz");
    EXPECT_EQ(2, prot_read(s.get(), buf, 2));  // the rest stays buffered
    EXPECT_EQ('z', get_byte(s.get()));
    pipe.closeWriteEnd();
    EXPECT_EQ(0, prot_read(s.get(), buf, sizeof buf));
    EXPECT_EQ(-1, get_byte(s.get()));
    EXPECT_EQ(0, prot_read(s.get(), buf, sizeof buf));  // the end stays the end
}

// Every byte arrives once, in order, through reads both tiny and larger than
// the stream's buffer (those go straight to the caller's buffer).
TEST(Prot, LongPipeInputArrivesWhole) {
    Pipe pipe;
    std::string sent;
    for (int i = 0; i < 30000; i++) sent += (char)('A' + i % 23);
    for (size_t at = 0; at < sent.size(); at += 977) pipe.put(sent.substr(at, 977));
    pipe.closeWriteEnd();
    StreamPtr s(prot_file(pipe.ends[0], 0));
    std::string received;
    std::vector<char> buf(20000);
    for (unsigned ask = 1;; ask = ask * 3 % 19997 + 1) {
        int got = prot_read(s.get(), buf.data(), ask);
        ASSERT_LE((unsigned)got, ask);
        if (got == 0) break;
        received.append(buf.data(), (size_t)got);
    }
    EXPECT_EQ(sent, received);
}

TEST(Prot, ReadmapReadsTheMemoryThenEnds) {
    const std::string text(20000, 'm');
    StreamPtr s(prot_readmap(text.data(), (unsigned)text.size()));
    std::vector<char> buf(text.size() + 1);
    EXPECT_EQ(20000, prot_read(s.get(), buf.data(), (unsigned)buf.size()));
    EXPECT_EQ(0, prot_read(s.get(), buf.data(), 1));
    EXPECT_EQ(-1, prot_fill(s.get()));

    StreamPtr m(prot_readmap("\xff\x01", 2));
    EXPECT_EQ(0xff, get_byte(m.get()));  // bytes come back unsigned
    EXPECT_EQ(0x01, get_byte(m.get()));
    EXPECT_EQ(-1, get_byte(m.get()));
    EXPECT_EQ(-1, prot_printf(m.get(), "x"));  // not a write stream
}

// Output is buffered until a flush; prot_free flushes and leaves the descriptor open.
TEST(Prot, PrintfBuffersUntilFlush) {
    Pipe pipe;
    fcntl(pipe.ends[0], F_SETFL, fcntl(pipe.ends[0], F_GETFL) | O_NONBLOCK);
    StreamPtr s(prot_file(pipe.ends[1], 1));
    EXPECT_EQ(0, prot_printf(s.get(), "BEGIN:%s\r\nSEQUENCE:%d\r\n", "VEVENT", 3));
    char probe[8];
    EXPECT_EQ(-1, read(pipe.ends[0], probe, sizeof probe));  // nothing written yet
    EXPECT_EQ(0, prot_flush(s.get()));
    EXPECT_EQ("BEGIN:VEVENT\r\nSEQUENCE:3\r\n", read_all(pipe.ends[0]));

    EXPECT_EQ(0, prot_write(s.get(), "END:", 4));
    prot_printf(s.get(), "%s\r\n", "VEVENT");
    EXPECT_EQ(0, prot_read(s.get(), probe, sizeof probe));  // not a read stream
    prot_free(s.release());
    EXPECT_EQ("END:VEVENT\r\n", read_all(pipe.ends[0]));
    EXPECT_NE(-1, fcntl(pipe.ends[1], F_GETFD));  // still open
}

// Texts that overflow the buffer in place, or are longer than it, formatted or
// raw, arrive whole and in order.
TEST(Prot, LongOutputArrivesWhole) {
    std::string small(5000, 's'), longText(50000, 'd'), longRaw(30000, 'r');
    std::string expected;
    std::string written = written_by([&](protstream* s) {
        for (int i = 0; i < 3; i++) {
            EXPECT_EQ(0, prot_printf(s, "%d%s", i, small.c_str()));
            expected += std::to_string(i) + small;
        }
        EXPECT_EQ(0, prot_printf(s, "<%s>", longText.c_str()));
        EXPECT_EQ(0, prot_write(s, longRaw.data(), (unsigned)longRaw.size()));
        EXPECT_EQ(0, prot_printf(s, "%s", "!"));
        expected += "<" + longText + ">" + longRaw + "!";
    });
    EXPECT_EQ(expected, written);
}

TEST(Prot, DescriptorErrorsAreLoggedAndEndTheStream) {
    std::vector<std::pair<int, std::string>> logged;
    kvallog_sink_t previous = kvallog_set_sink(capture, &logged);
    int readOnly = open("/dev/null", O_RDONLY);
    int writeOnly = open("/dev/null", O_WRONLY);
    {
        StreamPtr out(prot_file(readOnly, 1));
        EXPECT_EQ(0, prot_printf(out.get(), "buffered"));
        EXPECT_EQ(-1, prot_flush(out.get()));
        EXPECT_EQ(-1, prot_printf(out.get(), "later"));
        StreamPtr in(prot_file(writeOnly, 0));
        char buf[8];
        EXPECT_EQ(0, prot_read(in.get(), buf, sizeof buf));
        EXPECT_EQ(-1, prot_fill(in.get()));
    }
    kvallog_set_sink(previous, nullptr);
    close(readOnly);
    close(writeOnly);
    const std::vector<std::pair<int, std::string>> expected = {
        {3, "calparser: cannot write to descriptor " + std::to_string(readOnly) +
                ": Bad file descriptor"},
        {3, "calparser: cannot read from descriptor " + std::to_string(writeOnly) +
                ": Bad file descriptor"}};
    EXPECT_EQ(expected, logged);
    EXPECT_EQ(nullptr, prot_file(-1, 0));
}
