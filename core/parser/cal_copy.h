/* Copying events, to-dos, alarms and calendar-property records.
 *
 * Two modes. A full copy takes every property but the dates. A modified-only
 * copy (used to apply a master's changes to its stored instances) takes only
 * the properties whose modFields bits are set in the source, and leaves a
 * guarded property that the destination has changed itself (its own bit
 * set) unless `force` is non-zero. The copies at a new start also move
 * DTSTART, DTEND or DUE, RECURRENCE-ID and every alarm trigger.
 *
 * Every copy owns what it holds: texts are duplicated, lists are new arrays
 * of duplicated texts. Status codes: 0 success, 1 bad argument, 3 out of
 * memory; most copies ignore a failed text or list copy (the field stays
 * empty or partly merged) and still return 0. */
#ifndef CORE_PARSER_CAL_COPY_H
#define CORE_PARSER_CAL_COPY_H

#ifdef __cplusplus
extern "C" {
#endif

/* Frees the text in *ppDest and stores a copy of pSrc (NULL when the copy
 * fails; the failure is not reported). Returns 0, or 1 when either argument
 * is NULL, which leaves *ppDest as it was. */
int calparser_populateStringProperty(char** ppDest, const char* pSrc);

#ifdef __cplusplus
}
#endif

#endif
