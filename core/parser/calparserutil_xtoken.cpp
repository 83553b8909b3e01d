/* The original-start line of an instance: reading its time, adding it and
 * moving it to a new time. */
#include "core/parser/calparserutil.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <plstr.h>

#include "core/parser/calparser_time.h"
#include "core/parser/populate.h"

namespace {

/* The zone a local original-start text is read in. */
constexpr char kOriginalStartZone[] = "Africa/Casablanca";
/* "YYYYMMDDTHHMMSSZ" and its NUL. */
constexpr size_t kUtcTextSize = 17;
constexpr size_t kNameLength = sizeof CALPARSER_ORIGINAL_DTSTART_NAME - 1;

/* The time the line records for the component: RECURRENCE-ID, else DTSTART,
 * in UTC form ("" for a year the form cannot hold). */
void original_start_text(const CALDB_COMPONENT* component, char text[kUtcTextSize]) {
    memset(text, 0, kUtcTextSize);
    time_t start = component->tRecurrenceId ? component->tRecurrenceId : component->tDtStart;
    cal_time_timet_to_datez(start, text);
}

/* The line "X-KVAL-ORIGINAL-DTSTART:<datetime>" in `buffer` of `size` bytes
 * when it fits, else in a new text (free with free()); NULL when memory runs
 * out. */
char* make_line(const char* datetime, char* buffer, size_t size) {
    size_t dateLength = strlen(datetime);
    size_t needed = kNameLength + 1 + dateLength + 1;
    char* line = needed <= size ? buffer : static_cast<char*>(malloc(needed));
    if (line) {
        memcpy(line, CALPARSER_ORIGINAL_DTSTART_NAME, kNameLength);
        line[kNameLength] = ':';
        memcpy(line + kNameLength + 1, datetime, dateLength + 1);
    }
    return line;
}

}  // namespace

time_t getOriginalStartTimeXTokenVal(const CALDB_COMPONENT* component) {
    if (!component) return 0;
    const char* line = getOriginalDtStartXToken(component->aXProps);
    const char* colon = line ? strchr(line, ':') : nullptr;
    if (colon) {
        /* The converted time answers whenever it is not 0, whatever the
         * conversion reported. */
        time_t recorded = 0;
        calparser_datez_to_timet(colon + 1, &recorded, nullptr, kOriginalStartZone);
        if (recorded != 0) return recorded;
    }
    return component->tRecurrenceId ? component->tRecurrenceId : component->tDtStart;
}

int calparser_addOriginalDtStartXTokenIfNotAlreadyExists(array_t** ppLines, const char* datetime) {
    if (!ppLines || !datetime) return 1;
    if (hasOriginalDtStartXToken(*ppLines)) return 0;
    /* The usual date-time text fits a line on the stack; the list keeps a copy. */
    char buffer[kNameLength + 1 + kUtcTextSize];
    char* line = make_line(datetime, buffer, sizeof buffer);
    if (!line) return 3;
    int rc = calparser_addStringToPropertyArray(ppLines, line);
    if (line != buffer) free(line);
    return rc;
}

CALDB_COMPONENT* calparser_addOriginalDtStartXTokenIfNotAlreadyExistsOnComponent(
    CALDB_COMPONENT* component) {
    if (!component) return nullptr;
    char text[kUtcTextSize];
    original_start_text(component, text);
    calparser_addOriginalDtStartXTokenIfNotAlreadyExists(&component->aXProps, text);
    return component;
}

void resetOriginalDtStartXTokenToNewTime(CALDB_COMPONENT* component) {
    if (!component) return;
    char text[kUtcTextSize];
    original_start_text(component, text);
    array_t* lines = component->aXProps;
    for (unsigned i = lines ? lines->count : 0; i > 0; i--) {
        if (!isOriginalDTStartXTokenString(static_cast<const char*>(lines->data[i - 1]))) continue;
        char formatted[kNameLength + 1 + kUtcTextSize];
        snprintf(formatted, sizeof formatted, "%s:%s", CALPARSER_ORIGINAL_DTSTART_NAME, text);
        char* line = PL_strdup(formatted);
        if (!line) return;
        PL_strfree(static_cast<char*>(lines->data[i - 1]));
        lines->data[i - 1] = line;
        return;
    }
    calparser_addOriginalDtStartXTokenIfNotAlreadyExists(&component->aXProps, text);
}
