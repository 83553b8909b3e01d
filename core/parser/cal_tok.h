/* Tokens and the iCalendar text lexer.
 *
 * A lexer turns one logical content line into one CALPARSER_TOKEN and appends
 * it to the parse's token list (an array_t of CALPARSER_TOKEN*, in input
 * order). A token owns its texts and its parameter list; a parameter list owns
 * its parameters; a token list owns its tokens. The array objects themselves
 * are released by the caller with array_delete, after the free functions below
 * have emptied them. */
#ifndef CORE_PARSER_CAL_TOK_H
#define CORE_PARSER_CAL_TOK_H

#include "public/util/export.h"

#include <prio.h>

#include "core/parser/cal_str.h"
#include "public/util/array.h"
#include "public/util/prot.h"

#ifdef __cplusplus
extern "C" {
#endif

/* One logical content line. Zero-filled on creation. */
typedef struct CALPARSER_TOKEN {
    iCal_Token_t nType;     /* the line's keyword; X- (1019) for an unknown "X-" name; 0 unknown */
    char* pName;            /* owned: upper-cased name when nType is X- (1019), else NULL */
    iCal_Token_t nValue;    /* keyword value of BEGIN/END and METHOD/ACTION/STATUS/TRANSP, else 0 */
    char* pValue;           /* owned: unescaped value text; NULL for the keyword-valued lines and
                               for an empty value (except on extension lines) */
    array_t* pParamList;    /* owned: CALPARSER_PARAM* in input order; present on lexer tokens */
    unsigned nLine;         /* 1-based input line where the logical line began */
} CALPARSER_TOKEN;

/* One parameter of a content line. Zero-filled on creation. */
typedef struct CALPARSER_PARAM {
    iCal_Token_t nType;     /* the parameter keyword; X- (1286) for an unknown "X-" name; 0 unknown */
    char* pName;            /* owned: upper-cased name when nType is 1286, else NULL */
    iCal_Token_t nValue;    /* the value as a keyword; the lexers leave it 0 */
    char* pValue;           /* owned: value without one leading and one trailing double quote;
                               "" when the parameter had no "=" */
} CALPARSER_PARAM;

/* ---- Records ---------------------------------------------------------- */

/* A new zero-filled token or parameter, or NULL when memory runs out.
 * Release with calparser_FreeToken / calparser_FreeParam. */
CALPARSER_API
CALPARSER_TOKEN* calparser_NewToken(void);
CALPARSER_API
CALPARSER_PARAM* calparser_NewParam(void);

/* Frees *ppParam's texts and the record and stores NULL. NULL at any level is a
 * no-op. Returns 0. */
CALPARSER_API
int calparser_FreeParam(CALPARSER_PARAM** ppParam);
/* Frees every parameter of `pParams`, last first, removing each from the array.
 * The array object stays with the caller. NULL is a no-op. Returns 0. */
CALPARSER_API
int calparser_FreeParamList(array_t* pParams);
/* Frees *ppToken's texts, its parameters and its parameter list, then the
 * record, and stores NULL. NULL at any level is a no-op. Returns 0. */
CALPARSER_API
int calparser_FreeToken(CALPARSER_TOKEN** ppToken);
/* Frees every token of `pTokens`, last first, removing each from the array.
 * The array object stays with the caller. NULL is a no-op. Returns 0. */
CALPARSER_API
int calparser_FreeTokenList(array_t* pTokens);

/* Sets *ppValue to the pValue of the first parameter of `pParams` whose nType
 * is `nType`, or NULL when there is none or `pParams` is NULL. The text still
 * belongs to the parameter. Returns 1 when ppValue is NULL, else 0. */
CALPARSER_API
int calparser_FindParamInParamList(array_t* pParams, iCal_Token_t nType, char** ppValue);

/* 1 for METHOD, ACTION, STATUS and TRANSP, the properties whose value a lexer
 * keeps only as a keyword in nValue; else 0. */
CALPARSER_API
int isKeywordPropertyType(iCal_Token_t nType);

/* The keyword of the value of such a property: the `nLen` bytes of `pText`
 * (NULL reads as empty), trimmed and upper-cased, looked up in the keywords
 * of `nType`. TOKEN_UNKNOWN when the value is no keyword of it, for any
 * other property, and when memory runs out. Both lexers call it. */
iCal_Token_t calparser_getKeywordValueType(iCal_Token_t nType, const char* pText, unsigned nLen);

/* ---- Diagnosis -------------------------------------------------------- */

/* Writes one line describing `pToken` to `pFile`, indented by the component
 * depth in *pnDepth (0 when pnDepth is NULL), which is updated for BEGIN and
 * END. Nothing when the token or the file is NULL. */
CALPARSER_API
void calparser_debugPrintToken(CALPARSER_TOKEN* pToken, int* pnDepth, PRFileDesc* pFile);
/* Debug-prints every token of `pTokens`, nesting components. Nothing when the
 * list is NULL or empty or the file is NULL. */
CALPARSER_API
void calparser_debugPrintTokenList(array_t* pTokens, PRFileDesc* pFile);
/* Writes `pToken` to `pOut` as one XML element, texts unescaped, no line
 * break. Nothing when either argument is NULL. */
CALPARSER_API
void calparser_PrintTokenToXML(protstream* pOut, CALPARSER_TOKEN* pToken);

/* ---- iCalendar text lexer --------------------------------------------- */

/* Lexes the NUL-terminated chunk `pBuf` of `nLen` bytes: appends one token per
 * complete logical line to *ppTokens (created when NULL; the list owns the
 * tokens). *pnConsumed receives the bytes used: up to the start of the first
 * incomplete line, or nLen when the chunk holds no complete line at all.
 * *pnLine is the 1-based line counter of the stream; it is stamped into the
 * tokens and advanced past the consumed lines.
 * Returns 0; 1 when pBuf, ppTokens or pnLine is NULL; 3 when the list or a
 * token cannot be allocated; 2 when bCheckVCalendar is set and no line of the
 * chunk begins with "BEGIN:VCALENDAR". */
CALPARSER_API
int calparser_icalbuf_to_toklist(char* pBuf, unsigned nLen, array_t** ppTokens,
                                 unsigned* pnConsumed, unsigned* pnLine, int bCheckVCalendar);

/* The line end (LF, or CR when the searched stretch holds no LF) that ends the
 * logical line starting at `p`, skipping folds and quoted-printable soft
 * breaks; NULL when no complete logical line starts at `p`. The first line end
 * is searched within nLen bytes, continuations up to the terminating NUL.
 * Adds the physical line ends it passes to *pnLine (may be NULL). */
CALPARSER_API
char* calparser_find_next_valid_CR(char* p, int nLen, unsigned* pnLine);

/* Unfolds the NUL-terminated line *ppLine in place: removes each LF followed
 * by a space together with the space, and every CR (scanning from the end, so
 * a CR that becomes the last byte is removed last). The pointer is unchanged.
 * Returns 1 for a NULL pointer or string, else 0. */
CALPARSER_API
int calparser_trim_line(char** ppLine);

/* The first ":" of the `nLen` bytes at `p` that is not inside a pair of double
 * quotes (the one inside when none follows the pair), or NULL. */
CALPARSER_API
char* findValidICALColon(char* p, unsigned nLen);

/* Splits the unfolded line `pLine` into name, value and parameters. *ppName
 * and *ppValue point into pLine, with lengths (the name untrimmed; *ppValue is
 * NULL when the line has no colon). New CALPARSER_PARAMs are appended to
 * `pParams`, which then owns them. bRecurrence selects recurrence-rule part
 * names for the parameter types. Returns 1 when an out-pointer or pParams is
 * NULL, else 0. */
CALPARSER_API
int calparser_get_line_vals(char* pLine, char** ppName, unsigned* pnNameLen, char** ppValue,
                            unsigned* pnValueLen, array_t* pParams, int bRecurrence);

/* Trims white space at both ends of *ppName in place and upper-cases it; the
 * trimmed start is stored back into *ppName (which may so move forward).
 * Returns 1 for a NULL pointer or string, else 0. */
CALPARSER_API
int calparser_trim_and_capitalize_propName(char** ppName);

/* Removes one leading double quote (by returning p + 1) and one trailing one
 * (by cutting it off in place). NULL stays NULL. */
CALPARSER_API
char* calparser_trim_quotes(char* p);

/* Unescapes *ppValue in place: backslash n or N becomes LF, backslash r CR,
 * backslash ";" "," ":" the character itself; anything else stays. Returns 0. */
CALPARSER_API
int calparser_convertPropValToValid(char** ppValue);

/* Puts a CR before every LF of *ppValue that is not its first byte and has no
 * CR before it, in place. The buffer must have room for one more byte per LF. */
CALPARSER_API
void calparser_addCR(char** ppValue);

/* Adds to *pnLine the line ends in [pFrom, pTo): CR LF, a lone LF and a lone
 * CR count once each. */
CALPARSER_API
void calparser_increment_lineNumber(char* pFrom, char* pTo, unsigned* pnLine);

/* Builds *ppToken (an allocated token, normally zero-filled) from the unfolded
 * line `pLine`: type, extension name, keyword value, value text and a new
 * parameter list that the token owns. bRecurrence: parameter names are
 * recurrence-rule parts; bKeepXLine: an extension line keeps the whole line as
 * its value. Returns 0; 1 when ppToken or *ppToken is NULL; 3 when the
 * parameter list cannot be created. */
CALPARSER_API
int calparser_populate_token_helper(CALPARSER_TOKEN** ppToken, char* pLine, unsigned nLine,
                                    int bRecurrence, int bKeepXLine);
/* The lexer's entry: bRecurrence 0, bKeepXLine 1. */
CALPARSER_API
int calparser_populate_token(CALPARSER_TOKEN** ppToken, char* pLine, unsigned nLine);
/* Recurrence rules (time-zone builder): bRecurrence 1, bKeepXLine 1. */
CALPARSER_API
int calparser_populateRecurrence_token(CALPARSER_TOKEN** ppToken, char* pLine, unsigned nLine);
/* Extension lines of requests: bRecurrence 0, bKeepXLine 0. */
CALPARSER_API
int calparser_populateXToken_token(CALPARSER_TOKEN** ppToken, char* pLine, unsigned nLine);

#ifdef __cplusplus
}
#endif

#endif
