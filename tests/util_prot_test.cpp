#include "public/util/prot.h"
#include "tests/support/log_capture.h"
#include "tests/support/print_capture.h"

#include <gtest/gtest.h>

#include <errno.h>
#include <fcntl.h>
#include <unistd.h>

#include <memory>
#include <string>

namespace {

struct StreamDeleter {
    void operator()(protstream* s) const { prot_free(s); }
};
using StreamPtr = std::unique_ptr<protstream, StreamDeleter>;

// The one-byte get that callers write against the public members.
int get_byte(protstream* s) {
    return s->cnt > 0 ? (s->cnt--, *s->ptr++) : prot_fill(s);
}

void put(int fd, const std::string& text) {
    ASSERT_EQ((ssize_t)text.size(), write(fd, text.data(), text.size()));
}

} // namespace

// A pipe that holds less than was asked for hands over what it holds: only the
// closed write end is the end of the stream. Also the intake's get and unget.
TEST(Prot, ShortPipeReadsAreNotTheEnd) {
    int ends[2];
    ASSERT_EQ(0, pipe(ends));
    StreamPtr s(prot_file(ends[0], 0));
    char buf[100];
    put(ends[1], "BEGIN:VCAL");
    EXPECT_EQ('B', get_byte(s.get()));  // nothing buffered yet: goes through prot_fill
    s->cnt++;  // the intake's unget
    s->ptr--;
    EXPECT_EQ(10, prot_read(s.get(), buf, sizeof buf));
    EXPECT_EQ("BEGIN:VCAL", std::string(buf, 10));
    put(ends[1], "xyz");
    EXPECT_EQ(2, prot_read(s.get(), buf, 2));  // the rest stays buffered
    EXPECT_EQ('z', get_byte(s.get()));
    close(ends[1]);
    EXPECT_EQ(-1, get_byte(s.get()));
    EXPECT_EQ(0, prot_read(s.get(), buf, sizeof buf));  // the end stays the end
    close(ends[0]);
}

// Texts that overflow the buffer in place, or are longer than it, formatted or
// raw, arrive whole and in order; prot_free flushes.
TEST(Prot, LongOutputArrivesWhole) {
    std::string small(5000, 's'), longText(50000, 'd'), longRaw(30000, 'r');
    std::string written = written_by([&](protstream* s) {
        for (int i = 0; i < 3; i++)
            EXPECT_EQ(0, prot_printf(s, "%d%s", i, small.c_str()));
        EXPECT_EQ(0, prot_printf(s, "<%s>", longText.c_str()));
        EXPECT_EQ(0, prot_write(s, longRaw.data(), (unsigned)longRaw.size()));
        char none[1];
        EXPECT_EQ(0, prot_read(s, none, 1));  // not a read stream
    });
    EXPECT_EQ("0" + small + "1" + small + "2" + small + "<" + longText + ">" + longRaw, written);
}

TEST(Prot, DescriptorErrorsEndTheStream) {
    int writeOnly = open("/dev/null", O_WRONLY);
    {
        StreamPtr in(prot_file(writeOnly, 0));
        char buf[8];
        EXPECT_EQ(0, prot_read(in.get(), buf, sizeof buf));
        EXPECT_EQ(-1, prot_fill(in.get()));
    }
    close(writeOnly);
    EXPECT_EQ(nullptr, prot_file(-1, 0));

    // A write that fails is logged once, stays the stream's error and refuses
    // every later write, buffered or not.
    int readOnly = open("/dev/null", O_RDONLY);
    StreamPtr out(prot_file(readOnly, 1));
    LogCapture log;
    EXPECT_EQ(0, prot_printf(out.get(), "%s", "buffered"));
    EXPECT_EQ(-1, prot_flush(out.get()));
    EXPECT_EQ(EBADF, prot_error(out.get()));
    EXPECT_EQ(-1, prot_flush(out.get()));
    EXPECT_EQ(-1, prot_printf(out.get(), "%s", "more"));
    EXPECT_EQ(-1, prot_write(out.get(), "more", 4));
    EXPECT_EQ((LogLines{{KVALLOG_LEVEL_ERROR, "calparser: cannot write to descriptor " +
                                                  std::to_string(readOnly) +
                                                  ": Bad file descriptor"}}),
              log.lines());
    out.reset();
    close(readOnly);
}
