// Recurrence expansion: a recurring event or to-do assembled from the input
// goes through the whole parse, whose second pass expands it, bounded by
// "calstore.recurrence.bound". Each input line becomes one property: its first
// byte picks the property head (RRULE, RDATE, EXDATE, EXRULE, DTSTART with or
// without a zone, DTEND, DURATION, the series zone ...), the rest is its value.
// The size of the input picks event or to-do. The calendar defines one zone of
// its own, "Fuzz/Local", beside the registry's.
#include <string>

#include "fuzz/fuzz_support.h"

namespace {

const char kHead[] =
    "BEGIN:VCALENDAR\r\nVERSION:2.0\r\n"
    "BEGIN:VTIMEZONE\r\nTZID:Fuzz/Local\r\n"
    "BEGIN:STANDARD\r\nDTSTART:19701025T030000\r\nRRULE:FREQ=YEARLY;BYMONTH=10;BYDAY=-1SU\r\n"
    "TZOFFSETFROM:+0200\r\nTZOFFSETTO:+0100\r\nEND:STANDARD\r\n"
    "BEGIN:DAYLIGHT\r\nDTSTART:19700329T020000\r\nRRULE:FREQ=YEARLY;BYMONTH=3;BYDAY=-1SU\r\n"
    "TZOFFSETFROM:+0100\r\nTZOFFSETTO:+0200\r\nEND:DAYLIGHT\r\nEND:VTIMEZONE\r\n";

const char* const kHeads[] = {
    "RRULE:",
    "RRULE:FREQ=",
    "RDATE:",
    "RDATE;VALUE=DATE:",
    "RDATE;VALUE=PERIOD:",
    "RDATE;TZID=Europe/Paris:",
    "EXDATE:",
    "EXDATE;VALUE=DATE:",
    "EXDATE;TZID=Fuzz/Local:",
    "EXRULE:",
    "DTSTART:",
    "DTSTART;VALUE=DATE:",
    "DTSTART;TZID=America/New_York:",
    "DTSTART;TZID=Fuzz/Local:",
    "DTSTART;TZID=",
    "DTEND:",
    "DUE:",
    "DURATION:",
    "X-KVAL-DTSTART-TZID:",
    "RECURRENCE-ID:",
    "UID:",
    "BEGIN:VALARM\r\nACTION:DISPLAY\r\nTRIGGER:",
    "END:VALARM\r\nX-FUZZ:",
};
constexpr unsigned kHeadCount = sizeof kHeads / sizeof kHeads[0];

std::string calendar_of(const std::string& input) {
    const char* kind = (input.size() & 1) ? "VTODO" : "VEVENT";
    std::string text = kHead;
    text += std::string("BEGIN:") + kind + "\r\nUID:fuzz-series\r\n";
    size_t start = 0;
    while (start < input.size()) {
        size_t end = input.find('\n', start);
        if (end == std::string::npos) end = input.size();
        if (end > start) {
            text += kHeads[(unsigned char)input[start] % kHeadCount];
            text.append(input, start + 1, end - start - 1);
            text += "\r\n";
        }
        start = end + 1;
    }
    text += std::string("END:") + kind + "\r\nEND:VCALENDAR\r\n";
    return text;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::init_once();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string text = calendar_of(fuzz::text_of(data, size));
    array_t* result = fuzz::parse(reinterpret_cast<const uint8_t*>(text.data()), text.size(),
                                  CALPARSER_FORMAT_ICAL, nullptr, nullptr);
    fuzz::write_all(result);
    calparser_FreeComponentArrayAndDestroy(&result);
    return 0;
}
