/* Recurrence-list storers: the RRULE, EXRULE, RDATE and EXDATE lists and the
 * RDATE periods that recurrence expansion consumes. */
#include "core/parser/populate.h"

#include <plstr.h>
#include <stdlib.h>

#include "public/core_util/cal_time.h"
#include "public/core_util/parseutil.h"
#include "public/util/str.h"

namespace {

/* Makes a period of `item` when it has the shape of one and appends it to
 * `periods` if it is valid; an invalid one is released. Returns 0 or 3. */
int append_period_of(array_t* periods, const char* item)
{
    if (!periods || !cal_time_MightBePeriodString(item))
        return 0;
    CAL_TIME_PERIOD* period = cal_time_NewPeriod(item);
    if (!period)
        return 3;
    if (!cal_time_IsValidPeriod(period)) {
        cal_time_DestroyPeriod(&period);
        return 0;
    }
    if (array_append(periods, period) != 0) {
        cal_time_DestroyPeriod(&period);
        return 3;
    }
    return 0;
}

/* Splits the first nLen characters of `text` at commas and hands every
 * non-empty item to `texts` (and its period to `periods` when given).
 * Returns 0, 1 or 3 as the public storers do. */
int store_date_items(array_t* texts, array_t* periods, const char* text, int nLen)
{
    if (!texts || !text || nLen < 0)
        return 1;
    char* head = PL_strndup(text, static_cast<PRUint32>(nLen));
    if (!head)
        return 3;
    char** items = nullptr;
    int count = 0;
    int rc = cal_parseutil_get_comma_list(head, &items, &count) == 0 ? 0 : 3;
    PL_strfree(head);
    for (int i = 0; i < count; i++) {
        char* item = items[i];
        items[i] = nullptr;
        if (rc != 0 || item[0] == '\0') {
            PL_strfree(item);
            continue;
        }
        if (array_append(texts, item) != 0) {
            PL_strfree(item);
            rc = 3;
            continue;
        }
        rc = append_period_of(periods, item);  // `texts` owns the item now
    }
    free(items);  // the texts were taken over or freed one by one
    return rc;
}

}  // namespace

extern "C" {

int calparser_storeRecurrencePropertyToVector(array_t* pArray, const char* text)
{
    if (!pArray || !text)
        return 1;
    char* upper = str_toupper(PL_strdup(text));
    if (!upper)
        return 3;
    if (array_append(pArray, upper) != 0) {
        PL_strfree(upper);
        return 3;
    }
    return 0;
}

int calparser_storeRecurDateTimePropertyToVector(array_t* pArray, const char* text, int nLen)
{
    return store_date_items(pArray, nullptr, text, nLen);
}

int calparser_storeRecurDateTimePeriodPropertyToVector(array_t* pTexts, array_t* pPeriods,
                                                       const char* text, int nLen)
{
    return store_date_items(pTexts, pPeriods, text, nLen);
}

}  // extern "C"
