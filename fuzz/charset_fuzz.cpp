// The whole parse of input in a declared character set. The first byte picks
// the charset (low bits) and the format (top bit: 4, else 3); the rest is the
// input. Every record is written and freed as in the iCalendar harness.
#include "fuzz/fuzz_support.h"

namespace {

// Two-byte, multi-byte, stateful and seven-bit encodings, and a name no
// converter knows.
const char* const kCharsets[] = {"UTF-16",      "UTF-16LE", "Shift_JIS", "ISO-2022-JP",
                                 "UTF-7",       "GB18030",  "UTF-8",     "X-NO-SUCH-CHARSET"};
constexpr unsigned kCharsetCount = sizeof kCharsets / sizeof kCharsets[0];

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::init_once();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const char* charset = kCharsets[(data[0] & 0x7f) % kCharsetCount];
    int format = (data[0] & 0x80) ? CALPARSER_FORMAT_ICAL_STRICT : CALPARSER_FORMAT_ICAL;
    array_t* result = fuzz::parse(data + 1, size - 1, format, charset, nullptr);
    fuzz::write_all(result);
    calparser_FreeComponentArrayAndDestroy(&result);
    return 0;
}
