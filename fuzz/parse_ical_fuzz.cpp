// The whole parse of iCalendar text, formats 3 and 4 (by the input's size,
// so that every seed is read both ways over a run), then every record written
// with the iCalendar, XML and SXML writers, then everything freed.
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::init_once();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    int format = (size & 1) ? CALPARSER_FORMAT_ICAL_STRICT : CALPARSER_FORMAT_ICAL;
    array_t* result = fuzz::parse(data, size, format, nullptr, nullptr);
    fuzz::write_all(result);
    calparser_FreeComponentArrayAndDestroy(&result);
    return 0;
}
