/* The walk over one component's tokens that every builder runs, and the
 * pass codes the builders are called with.
 *
 * A builder is called with the shared token cursor on its component's BEGIN
 * token. The walk steps the cursor over the component's lines, hands each
 * property line and each nested BEGIN to the builder's callbacks, and tells
 * how the component ended: by its own END, cut short by another component's
 * END or BEGIN, or by the end of the tokens. The two abrupt-end messages are
 * written here, so that every component reports them alike. */
#ifndef CORE_PARSER_CAL_WALK_H
#define CORE_PARSER_CAL_WALK_H

#include "public/util/export.h"

#include "core/parser/cal_str.h"
#include "core/parser/cal_tok.h"
#include "public/util/array.h"

#ifdef __cplusplus
extern "C" {
#endif

/* What a walk over the token list makes. The assembly driver runs
 * CALPARSER_PASS_ZONES, then CALPARSER_PASS_COMPONENTS; the event and to-do
 * builders run their alarms with CALPARSER_PASS_ALARMS. A builder called
 * with a pass that is not its own only moves the cursor past its component. */
typedef enum eCALPARSER_PARSER_PASS {
    CALPARSER_PASS_WALK = 0,       /* builds nothing anywhere */
    CALPARSER_PASS_ZONES = 1,      /* time zones and calendar properties */
    CALPARSER_PASS_COMPONENTS = 2, /* events and to-dos, then expansion */
    CALPARSER_PASS_ALARMS = 3      /* the alarms of a built event or to-do */
} eCALPARSER_PARSER_PASS;

/* How a walk ended; the cursor then stands on the token named. */
typedef enum CALPARSER_WALK_END {
    CALPARSER_WALK_OWN_END,    /* the component's own END token */
    CALPARSER_WALK_CUT_SHORT,  /* the END or BEGIN of another component */
    CALPARSER_WALK_RAN_OUT     /* no token: the list ended (or held a NULL) */
} CALPARSER_WALK_END;

/* What a builder made of a nested BEGIN handed to it. */
typedef enum CALPARSER_NESTED {
    CALPARSER_NESTED_NONE,    /* nothing nests here: the BEGIN cuts the walk short */
    CALPARSER_NESTED_STEP_ON, /* walked: go on after the token the nested walk stopped on */
    CALPARSER_NESTED_RESUME   /* walked: go on from that token (it ended the nested one early) */
} CALPARSER_NESTED;

/* One component's walk: its name and END, and the builder's callbacks. */
typedef struct CALPARSER_WALK {
    const char* pName;       /* names the component in the messages ("VEVENT") */
    iCal_Token_t nComponent; /* the value of its own END token */
    int bLog;                /* write the abrupt-end messages (the building pass) */
    void* pBuilder;          /* the builder's state, handed to every callback */
    /* A property line (neither BEGIN nor END). NULL: passed over. */
    void (*onProperty)(void* pBuilder, CALPARSER_TOKEN* pToken);
    /* A BEGIN, current on *pCursor. A nested walk moves the cursor on. NULL:
     * nothing nests. */
    CALPARSER_NESTED (*onBegin)(void* pBuilder, array_t* pTokens, array_iter_t* pCursor);
    /* The END of another component: non-zero passes over it, 0 (and NULL)
     * lets it cut the walk short. */
    int (*onForeignEnd)(void* pBuilder, const CALPARSER_TOKEN* pToken);
} CALPARSER_WALK;

/* Steps *pCursor from the BEGIN token onto the first token of the component.
 * Returns 0, or 1 when there is none (pCursor NULL, or the list ends: a NULL
 * pTokens has no tokens). */
int calparser_walk_enter(array_t* pTokens, array_iter_t* pCursor);

/* Walks from the current token of *pCursor (the first after the BEGIN) to
 * the token that ends the component, calling pWalk's callbacks on the way.
 * When pWalk->bLog is set, a walk cut short logs at level 6
 * "line (%d), %s: Parse error: encountered abrupt end of parsing %s." with
 * the stopping token's line, and one that ran out
 * "%s: Parse error: reached abrupt end of file in parsing %s.". */
CALPARSER_WALK_END calparser_walk_component(const CALPARSER_WALK* pWalk, array_t* pTokens,
                                            array_iter_t* pCursor);

/* What a builder's onBegin returns after running a nested walk: RESUME when
 * that walk stopped on a token other than its own END (nOwnEnd), which the
 * enclosing walk must judge itself, else STEP_ON. */
CALPARSER_NESTED calparser_walk_after_nested(const array_iter_t* pCursor, iCal_Token_t nOwnEnd);

/* Logs at level 4 "line (%d), %s: Parse error: Illegally formatted %s."
 * for a component the builder rejects; `pCurrent` is the token the walk
 * stopped on (line 0 when NULL). */
void calparser_walk_log_illegal(const char* pName, const CALPARSER_TOKEN* pCurrent);

#ifdef __cplusplus
}
#endif

#endif
