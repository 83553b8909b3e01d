/* Test-only access to the time-zone registry; never installed. */
#ifndef TESTS_SUPPORT_REGISTRY_TESTING_H
#define TESTS_SUPPORT_REGISTRY_TESTING_H

#include "public/db/caldb_timezone.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Adds `pZone` to the registry (creating the registry and its list when needed)
 * and keeps the list sorted. On 0 the registry owns the zone; on 1 (NULL zone or
 * no registry) or 3 (memory ran out) it stays the caller's. */
int calparser_registry_add_for_testing(CAL_VTIMEZONE* pZone);

#ifdef __cplusplus
}
#endif

#endif
