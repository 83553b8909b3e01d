/* A C program using the installed library: parses the calendar named on the
 * command line and prints how many events it holds. */
#include <stdio.h>

#include "core/parser/calparser.h"

static const char kCalendar[] =
    "BEGIN:VCALENDAR\r\n"
    "BEGIN:VEVENT\r\nUID:a\r\nDTSTART:20240105T100000Z\r\nSUMMARY:one\r\nEND:VEVENT\r\n"
    "BEGIN:VEVENT\r\nUID:b\r\nDTSTART:20240106T100000Z\r\nSUMMARY:two\r\nEND:VEVENT\r\n"
    "END:VCALENDAR\r\n";

int main(void) {
    if (parser_init() != 0) return 1;
    protstream* stream = prot_readmap(kCalendar, sizeof kCalendar - 1);
    array_t* result = NULL;
    unsigned methodState = 0;
    int rc = calparser_prot_to_dbstruct(stream, &result, CALPARSER_FORMAT_ICAL, 0, NULL, NULL,
                                        NULL, &methodState, NULL);
    const array_t* events = (const array_t*)array_elementat(result, CALPARSER_SLOT_EVENTS);
    printf("rc %d events %u\n", rc, events ? events->count : 0u);
    calparser_FreeComponentArrayAndDestroy(&result);
    prot_free(stream);
    parser_uninit();
    return 0;
}
