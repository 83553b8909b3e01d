// URL-encoded request parameters and extension-property requests applied to
// an event parsed once from a fixed calendar (each input works on a full copy
// of it). The input is a list of lines; each line's first byte picks the
// operation, its second byte the flags, and the rest is the encoded text.
#include <string.h>

#include <string>

#include "fuzz/fuzz_support.h"

namespace {

const char kTemplate[] =
    "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nBEGIN:VEVENT\r\nUID:fixed-1\r\n"
    "DTSTART:20240301T090000Z\r\nDTEND:20240301T100000Z\r\nSUMMARY:Fixed\r\n"
    "ORGANIZER;CN=Boss:mailto:boss@example.com\r\n"
    "ATTENDEE;ROLE=CHAIR;PARTSTAT=ACCEPTED:mailto:a@example.com\r\n"
    "ATTENDEE;RSVP=TRUE:mailto:b@example.com\r\n"
    "X-FOO;X-A=1:bar\r\nX-BAR:baz\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n";

CALDB_VEVENT* g_template = nullptr;
array_t* g_templateResult = nullptr;

enum Operation { kRecurrence, kAttendees, kOrganizer, kXProps, kHatItem, kXItem, kOperations };

array_t** recurrence_list(CALDB_VEVENT* ev, unsigned flags) {
    switch ((flags >> 2) & 3) {
    case 0: return &ev->aRRules;
    case 1: return &ev->aRDates;
    case 2: return &ev->aExDates;
    default: return &ev->aCategories;
    }
}

array_t* ensure(array_t** list) {
    if (!*list) *list = array_new();
    return *list;
}

// The items of a ";"-list as an array of texts, for the extension requests;
// free with free_items.
array_t* items_of(const char* text) {
    char** items = nullptr;
    int count = 0;
    cal_parseutil_get_semicolon_list(text, &items, &count);
    array_t* list = array_new();
    for (int i = 0; i < count; i++) array_append(list, items[i]);
    free(items);
    return list;
}

void free_items(array_t* items) {
    strarray_free_and_destroy(&items);
}

// An extension request of one item that succeeded leaves a line of its name
// behind unless it was a delete.
void check_single_request(array_t* lines, const char* item) {
    std::string copy(item);
    CALPARSER_TOKEN* tok = nullptr;
    if (cal_parseutil_parseXProperty(&copy[0], &tok) == 0 && tok && tok->pName &&
        calparser_getXPropertyOperation(tok) != CALPARSER_XPROP_DELETE)
        fuzz::expect(calparser_getXPropertyIndex(lines, tok->pName) >= 0,
                     "an added extension property is found by its name");
    calparser_FreeToken(&tok);
}

void run_xprops(CALDB_VEVENT* ev, const char* text) {
    array_t* items = items_of(text);
    std::string first = items->count == 1 ? static_cast<char*>(items->data[0]) : "";
    int rc = calparser_copyURLEncodedXProperties_to_array(&ev->aXProps, items);
    if (rc == 0 && !first.empty()) check_single_request(ev->aXProps, first.c_str());
    free_items(items);
}

void run_hat_item(CALDB_VEVENT* ev, const char* text, bool named) {
    std::string copy(text);
    CALPARSER_TOKEN* tok = nullptr;
    if (named)
        cal_parseutil_parseXProperty(&copy[0], &tok);
    else
        parseHatSeperatedStringIntoToken(&copy[0], &tok);
    calparser_checkTokForXParams(tok);
    calparser_getXPropertyOperation(tok);
    char* line = nullptr;
    if (calparser_convertTok_to_xProperty_string(&line, tok) == 0)
        calparser_getXPropertyIndex(ev->aXProps, tok->pName);
    PL_strfree(line);
    calparser_FreeToken(&tok);
}

void run_line(CALDB_VEVENT* ev, unsigned op, unsigned flags, const char* text) {
    int toUpper = flags & 1, unique = (flags >> 1) & 1;
    switch (op % kOperations) {
    case kRecurrence:
        calparser_recurrence_copyURLEncodedRecurrenceString_to_array(
            text, ensure(recurrence_list(ev, flags)), toUpper, unique);
        break;
    case kAttendees:
        calparser_recurrence_copyURLEncodedAttendee_to_array(text, ensure(&ev->aAttendees),
                                                             toUpper, unique, nullptr);
        break;
    case kOrganizer: calparser_copyURLEncodedOrganizer(text, &ev->pOrganizer, toUpper); break;
    case kXProps: run_xprops(ev, text); break;
    case kHatItem: run_hat_item(ev, text, false); break;
    case kXItem: run_hat_item(ev, text, true); break;
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::init_once();
    g_templateResult = fuzz::parse(reinterpret_cast<const uint8_t*>(kTemplate),
                                   sizeof kTemplate - 1, CALPARSER_FORMAT_ICAL, nullptr, nullptr);
    array_t* events = fuzz::slot(g_templateResult, CALPARSER_SLOT_EVENTS);
    fuzz::expect(events && events->count == 1, "the fixed calendar parses into one event");
    g_template = static_cast<CALDB_VEVENT*>(static_cast<CAL_VCOMPONENT*>(events->data[0])->pComponent);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CALDB_VEVENT* ev = nullptr;
    calparser_copyConstructorEvent(g_template, &ev);
    if (!ev) return 0;
    std::string text = fuzz::text_of(data, size);
    size_t start = 0;
    while (start + 2 <= text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        if (line.size() >= 2)
            run_line(ev, (unsigned char)line[0], (unsigned char)line[1], line.c_str() + 2);
        start = end + 1;
    }
    calparser_event_to_sxml(ev, fuzz::null_out(), 0);
    calparser_CompareEvent(g_template, ev);
    calparser_getEventModFields(g_template, ev);
    caldb_FreeEvent(&ev);
    return 0;
}
