/* Extension-property requests: adding, replacing and deleting the "X-" lines
 * a component keeps whole in its aXProps list (an array_t of texts that the
 * list owns, freed with PL_strfree), and the global names of these requests
 * and of the attendee deletion marker.
 *
 * A stored line reads NAME;PARAM=VALUE...:VALUE, without folding or quoting,
 * e.g. X-FOO;X-A=1:bar. */
#ifndef CORE_PARSER_CAL_XPROPS_H
#define CORE_PARSER_CAL_XPROPS_H

#include "public/util/export.h"

#include "core/parser/cal_tok.h"
#include "public/util/array.h"

#ifdef __cplusplus
extern "C" {
#endif

/* The participation-status text that turns an attendee of a change list into
 * the instruction "remove this attendee": "X-KVAL-PLIX-ATTENDEE-DELETE". */
CALPARSER_API
extern const char* xDelete;
/* The parameter that names the operation of a request item:
 * "X-KVAL-ORIGINAL-OPERATION". It is never written into a stored line. */
CALPARSER_API
extern const char* xOperationParam;
/* The operation values, indexed by operation code, NULL-terminated:
 * "X-KVAL-PLIX-PROPERTY-DELETE" (0), "X-KVAL-PLIX-PROPERTY-REPLACE" (1),
 * "X-KVAL-PLIX-PROPERTY-ADD" (2). */
CALPARSER_API
extern const char* xOperationValues[];

/* Operation codes: the index in xOperationValues. */
enum {
    CALPARSER_XPROP_DELETE = 0,
    CALPARSER_XPROP_REPLACE = 1,
    CALPARSER_XPROP_ADD = 2
};

/* Applies the URL-encoded extension-property items of `pItems` (texts
 * NAME=hat-form, see cal_parseutil_parseXProperty; each is rewritten in
 * place) to the line list *ppLines, made when NULL. Items are applied in
 * order: add appends a line unless one of that name exists; replace removes
 * the existing line and appends the new one at the end; delete removes the
 * line when present. Returns 0 (also for a NULL or empty pItems: nothing
 * changes); 5 for a NULL ppLines, when the list cannot be made, or when an
 * item fails (it does not parse, carries a standard parameter, adds an
 * existing name, or gives no line). Processing stops at the failing item;
 * the items before it keep their effect, the failing one changes nothing. */
CALPARSER_API
int calparser_copyURLEncodedXProperties_to_array(array_t** ppLines, array_t* pItems);

/* 0 when every parameter of the token is an extension ("X-") parameter, or
 * it has none; 2 when a standard parameter is present; 1 for a NULL token. */
CALPARSER_API
int calparser_checkTokForXParams(const CALPARSER_TOKEN* pToken);

/* The operation the token asks for: the value of its first
 * X-KVAL-ORIGINAL-OPERATION parameter (name and value compared ignoring
 * case) looked up in xOperationValues; CALPARSER_XPROP_ADD when there is no
 * such parameter or its value is none of them; -1 for a NULL token. */
CALPARSER_API
int calparser_getXPropertyOperation(const CALPARSER_TOKEN* pToken);

/* The index of the first line of `pLines` that holds the property `name`
 * (its beginning equals name ignoring case and is followed by ";" or ":"),
 * or -1; also -1 for a NULL or empty list and for a NULL or empty name. */
CALPARSER_API
int calparser_getXPropertyIndex(const array_t* pLines, const char* name);

/* Builds the line of the token in *ppLine (a new text, PL_strfree): its
 * name, each parameter but X-KVAL-ORIGINAL-OPERATION as ";" NAME "=" VALUE,
 * then ":" and its value. Returns 0; 1 for a NULL argument or a token without
 * name (NULL or empty) or value; 3 for a parameter without name, 4 for one without value
 * (the first problem in parameter order counts); 3 also when memory runs out.
 * *ppLine is NULL unless the result is 0. */
CALPARSER_API
int calparser_convertTok_to_xProperty_string(char** ppLine, const CALPARSER_TOKEN* pToken);

#ifdef __cplusplus
}
#endif

#endif
