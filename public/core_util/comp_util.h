/* Orderings of attendee lists, as comparators for array_qsort. */
#ifndef PUBLIC_CORE_UTIL_COMP_UTIL_H
#define PUBLIC_CORE_UTIL_COMP_UTIL_H

#include "public/util/export.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Both comparators take the addresses of two slots of an array of
 * CALDB_ATTENDEE pointers. NULL slots sort after every attendee. */

/* Orders by identity key: the calendar id when the attendee has one, else
 * its address. Keys compare ignoring ASCII case first and exactly second, so
 * attendees with exactly equal keys end up next to each other, and keys that
 * differ only in case right beside them. Attendees without a key come last. */
CALPARSER_API
int comp_util_attendee_compare(const void* a, const void* b);

/* Orders for showing a list: by display name ignoring case (the common name,
 * else the address without a leading "mailto:", else the calendar id; no
 * name sorts last), then by the exact name, then as comp_util_attendee_compare. */
CALPARSER_API
int comp_util_attendee_compare_for_display(const void* a, const void* b);

#ifdef __cplusplus
}
#endif

#endif
