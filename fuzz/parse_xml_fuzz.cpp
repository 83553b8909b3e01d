// The whole parse of the XML rendering (format 1), then every record written
// with the iCalendar, XML and SXML writers, then everything freed.
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::init_once();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    array_t* result = fuzz::parse(data, size, CALPARSER_FORMAT_XML, nullptr, nullptr);
    fuzz::write_all(result);
    calparser_FreeComponentArrayAndDestroy(&result);
    return 0;
}
