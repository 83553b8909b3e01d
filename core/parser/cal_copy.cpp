/* Copying events, to-dos, alarms and calendar-property records. */
#include "core/parser/cal_copy.h"

#include <plstr.h>

int calparser_populateStringProperty(char** ppDest, const char* pSrc) {
    if (!ppDest || !pSrc) return 1;
    PL_strfree(*ppDest);
    *ppDest = PL_strdup(pSrc);
    return 0;
}
