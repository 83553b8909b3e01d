/* The parse entry of the library, its start-up and the loading of the
 * time-zone registry; and, through the includes below, the whole public API:
 * one include of this header gives every declaration a caller may use.
 *
 * A server process calls parser_init() once before anything else, then
 * parses from any number of threads: calparser_prot_to_dbstruct() turns a
 * whole input stream into calendar records and hands back one result array
 * that the caller owns and frees with calparser_FreeComponentArrayAndDestroy().
 *
 * Result array: an array_t of array_t*, after a complete parse five slots:
 *   0  CAL_VTIMEZONE*  the time zones defined in the input
 *   1  CAL_VCOMPONENT* the events (each wrapping a CALDB_VEVENT)
 *   2  CAL_VCOMPONENT* the to-dos (each wrapping a CALDB_VTODO)
 *   3, 4               always empty
 * When a pass fails the array holds only the slots made before the failure
 * (none, or only slot 0). */
#ifndef CORE_PARSER_CALPARSER_H
#define CORE_PARSER_CALPARSER_H

#include "public/util/export.h"

#include <stdint.h>

#include "public/util/array.h"
#include "public/util/config.h"
#include "public/util/kvallog.h"
#include "public/util/prot.h"
#include "public/util/str.h"
#include "public/util/strarray.h"

#include "public/ac/acl.h"
#include "public/core_util/cal_time.h"
#include "public/core_util/calfile.h"
#include "public/core_util/charset.h"
#include "public/core_util/comp_util.h"
#include "public/core_util/datetime.h"
#include "public/core_util/gmtime.h"
#include "public/core_util/guid.h"
#include "public/core_util/parseutil.h"
#include "public/core_util/smtp.h"
#include "public/core_util/timezone.h"
#include "public/core_util/userattr.h"
#include "public/db/caldb.h"
#include "public/db/caldb_lists.h"
#include "public/db/caldb_timezone.h"
#include "public/recurrence/recurrence.h"

#include "core/parser/cal_attendees.h"
#include "core/parser/cal_compare.h"
#include "core/parser/cal_copy.h"
#include "core/parser/cal_expand.h"
#include "core/parser/cal_recurring.h"
#include "core/parser/cal_str.h"
#include "core/parser/cal_tok.h"
#include "core/parser/cal_tok_xml.h"
#include "core/parser/cal_urlparams.h"
#include "core/parser/cal_valarm.h"
#include "core/parser/cal_vevent.h"
#include "core/parser/cal_vtimezone.h"
#include "core/parser/cal_vtimezone_array.h"
#include "core/parser/cal_vtodo.h"
#include "core/parser/cal_vzone.h"
#include "core/parser/cal_walk.h"
#include "core/parser/cal_xprops.h"
#include "core/parser/calparser_strtime.h"
#include "core/parser/calparser_time.h"
#include "core/parser/calparserutil.h"
#include "core/parser/ical_components.h"
#include "core/parser/populate.h"
#include "core/parser/print_ical.h"
#include "core/parser/print_sxml.h"
#include "core/parser/print_xml.h"
#include "core/parser/cal_serialize.h"

/* Input format codes of calparser_prot_to_dbstruct. */
#define CALPARSER_FORMAT_XML 1         /* XML rendering of iCalendar */
#define CALPARSER_FORMAT_SXML 2        /* accepted; yields no components */
#define CALPARSER_FORMAT_ICAL 3        /* iCalendar text */
#define CALPARSER_FORMAT_ICAL_STRICT 4 /* iCalendar text whose first chunk holds "BEGIN:VCALENDAR" */

/* Slots of the result array. */
#define CALPARSER_SLOT_TIMEZONES 0
#define CALPARSER_SLOT_EVENTS 1
#define CALPARSER_SLOT_TODOS 2
#define CALPARSER_RESULT_SLOTS 5

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Parse entry ---------------------------------------------------------- */

/* Parses the whole of `pStream` and stores the result array in *ppComponents
 * (an array that *ppComponents held before is freed first, whatever happens
 * next). nFormat is a CALPARSER_FORMAT_* code; nUnused is ignored. pCharset
 * names the input's character set (NULL or "" for UTF-8). pDefaultTzid is the
 * zone of date-times without one (handed unchanged to the builders and the
 * expansion). pCalProps (may be NULL) receives the X-KVAL-CALPROPS-* lines.
 * *pnMethodState (may be NULL) receives the method code of the input's
 * METHOD: REQUEST 2, REPLY 4, CANCEL 8, COUNTER 64, anything else 1.
 * pLookupCtx (may be NULL) is handed to the directory look-ups of attendees.
 * Returns 0 parsed; 1 NULL stream or result address or unknown format
 * (nothing made); 2 the input did not lex or build (nothing was read, format 4
 * without BEGIN:VCALENDAR, ...): *ppComponents then holds what was built,
 * possibly an empty array; 3 the result array could not be made
 * (*ppComponents is NULL). A read error of the stream gives 2 too. The caller
 * owns the result array. */
CALPARSER_API
int calparser_prot_to_dbstruct(protstream* pStream, array_t** ppComponents, int nFormat,
                               int nUnused, const char* pCharset, char* pDefaultTzid,
                               CALDB_CALPROPS* pCalProps, unsigned* pnMethodState,
                               char* pLookupCtx);

/* Reads `pStream` to its end in chunks of 4096 bytes, converts each chunk
 * from pCharset (NULL or "" for UTF-8) to UTF-8 and lexes it in the format
 * nFormat, appending the tokens to *ppTokens (created when NULL; the caller
 * owns the list and its tokens, also on failure). Text after the last line end
 * of the stream is not lexed. nUnused is ignored.
 * Returns 0; 3 when a buffer cannot be allocated; else the first positive
 * result of the lexer (1 bad arguments, 2 format 4 and no line of the first
 * chunk begins with "BEGIN:VCALENDAR", 3 allocation failure); 2 when a read
 * of the stream failed (the tokens of the text read before stay). */
CALPARSER_API
int calparser_create_token_list(protstream* pStream, array_t** ppTokens, int nFormat,
                                int nUnused, const char* pCharset);

/* Hands the NUL-terminated UTF-8 chunk `pBuf` of nLen bytes to the lexer of
 * nFormat (formats 3 and 4: the iCalendar lexer without and with its
 * VCALENDAR check) and returns its result; *pnConsumed receives the bytes it
 * used. Any other format returns 0 and does nothing. */
CALPARSER_API
int calparser_format_to_toklist(char* pBuf, unsigned nLen, array_t** ppTokens,
                                unsigned* pnConsumed, unsigned* pnLine, int nFormat);

/* Frees a result array: the zones of slot 0, the events and to-dos of slots 1
 * and 2 (other slots' elements are left alone), every slot's array, the
 * result array itself, and stores NULL. NULL at either level is a no-op.
 * Returns 0. */
CALPARSER_API
int calparser_FreeComponentArrayAndDestroy(array_t** ppComponents);

/* As calparser_FreeComponentArrayAndDestroy, but slot 0 (its array and its
 * zones) stays in the result array, and the result array is not deleted.
 * NULL is a no-op. Returns 0. */
CALPARSER_API
int calparser_FreeComponentArrayExceptTimeZones(array_t* pComponents);

/* ---- Assembly driver ------------------------------------------------------ */

/* Walks the token list pTokens once. Pass 1 builds the time zones and
 * appends them to pResult as slot 0, storing the X-KVAL-CALPROPS-* lines into
 * pCalProps (may be NULL). Pass 2 builds events and to-dos against the zones
 * of slot 0, expands recurring ones and appends events, to-dos and two empty
 * arrays as slots 1 to 4. Any other pass walks and appends nothing. Each pass
 * stores the method code of the input's METHOD in *pnMethodState (may be
 * NULL). The walk ends at END:VCALENDAR or at the end of the list. A component
 * that fails to build does not fail the walk (the builders log why).
 * Returns 0; 1 when the list is NULL or empty or its first token is NULL;
 * 3 when an array cannot be made (arrays made by this call are deleted). */
CALPARSER_API
int calparser_create_components_from_tokens(array_t* pResult, array_t* pTokens,
                                            eCALPARSER_PARSER_PASS nPass, char* pDefaultTzid,
                                            CALDB_CALPROPS* pCalProps, unsigned* pnMethodState,
                                            char* pLookupCtx);

/* Stores one X-KVAL-CALPROPS-* line into pCalProps; other tokens, a NULL
 * token or a NULL record are passed over. Texts replace the field (the last
 * line wins); OWNERS, CHILDREN and CATEGORIES append; READ and WRITE keep the
 * low four bits of the number (999 and non-numbers count as 0); RESOURCE is 1
 * for "1" and 0 otherwise; ACCESS-CONTROL-ENTRY appends the entry read from
 * the value, and when bReplaceAces and *pbFirstAce are set it first empties
 * the list and clears *pbFirstAce. Returns 0. */
CALPARSER_API
int calparser_handle_X_KVAL_tokens(CALPARSER_TOKEN* pToken, CALDB_CALPROPS* pCalProps,
                                   int bReplaceAces, int* pbFirstAce);

/* ---- Start-up and time-zone loading --------------------------------------- */

/* Starts the library: the keyword table, the time-zone registry loaded from
 * "data\timezones.ics" (a file that is missing or does not parse leaves the
 * registry empty and is not a failure), the recurrence engine and the time
 * tables. Returns 0; 1 no keyword table; 2 no registry; 3 the recurrence
 * engine did not start. Call once per process, before threads use the
 * library. */
CALPARSER_API
int parser_init(void);

/* Destroys the registry and its zones and stops the recurrence engine. The
 * keyword table stays. Returns 0. */
CALPARSER_API
int parser_uninit(void);

/* Handles of the directory-connection pools, set once at start-up: they
 * choose the directory the look-ups ask (public/core_util/userattr_ldap.h
 * opens pools and says how; 0 in both is the configured directory). */
CALPARSER_API
extern uint32_t admin_ldpool;
CALPARSER_API
extern uint32_t lookup_ldpool;

/* Store `pool` in admin_ldpool / lookup_ldpool; the first argument is not
 * used. */
CALPARSER_API
void parser_set_ldpool(void* unused, uint32_t pool);
CALPARSER_API
void parser_set_lookup_ldpool(void* unused, uint32_t pool);

/* Makes sure the registry exists, loading the default file on its first
 * creation only. Returns 0. */
CALPARSER_API
int calparser_loadDefaultTimeZoneList(void);
/* Destroys the registry and every zone; a later use creates and loads it
 * afresh. Returns 0. */
CALPARSER_API
int calparser_unloadTimeZoneList(void);
/* Replaces the registry's zones by those of the file `path` (rewritten in
 * place to its local form; a relative path is relative to the working
 * directory). Returns 0; -1 the file does not open; 1 the file did not parse
 * (the previous zones stay in both failure cases). */
CALPARSER_API
int calparser_loadTimeZoneListFromFile(char* path);
/* Replaces the registry's zones by those of the iCalendar stream `pStream`.
 * Returns 0; 1 the stream did not parse (the previous zones stay). */
CALPARSER_API
int calparser_loadTimeZoneList(protstream* pStream);

#ifdef __cplusplus
}

/* The driver's form: bReplaceAces 0, no first-entry flag. Returns 0. */
CALPARSER_API
int calparser_handle_X_KVAL_tokens(CALPARSER_TOKEN* pToken, CALDB_CALPROPS* pCalProps);
#endif

#endif
