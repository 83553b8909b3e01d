/* The component walk every builder runs. */
#include "core/parser/cal_walk.h"

#include "public/util/kvallog.h"

namespace {

bool is_end_of(const CALPARSER_TOKEN* token, iCal_Token_t component)
{
    return token->nType == TOKEN_END && token->nValue == component;
}

void log_cut_short(const char* name, const CALPARSER_TOKEN* token)
{
    kvallog(0, KVALLOG_LEVEL_PARSE,
            "line (%d), %s: Parse error: encountered abrupt end of parsing %s.",
            (int)token->nLine, KVALLOG_CORE_SUBSYSTEM, name);
}

void log_ran_out(const char* name)
{
    kvallog(0, KVALLOG_LEVEL_PARSE, "%s: Parse error: reached abrupt end of file in parsing %s.",
            KVALLOG_CORE_SUBSYSTEM, name);
}

/* What the walk does with the BEGIN or END token under the cursor. */
enum class Next { Step, Stay, CutShort };

Next judge_begin(const CALPARSER_WALK* walk, array_t* tokens, array_iter_t* cursor)
{
    if (!walk->onBegin)
        return Next::CutShort;
    switch (walk->onBegin(walk->pBuilder, tokens, cursor)) {
    case CALPARSER_NESTED_STEP_ON: return Next::Step;
    case CALPARSER_NESTED_RESUME: return Next::Stay;
    default: return Next::CutShort;
    }
}

Next judge_foreign_end(const CALPARSER_WALK* walk, const CALPARSER_TOKEN* token)
{
    if (walk->onForeignEnd && walk->onForeignEnd(walk->pBuilder, token))
        return Next::Step;
    return Next::CutShort;
}

}  // namespace

extern "C" {

int calparser_walk_enter(array_t* pTokens, array_iter_t* pCursor)
{
    if (!pCursor || !array_findnext(pTokens, pCursor) || !pCursor->element)
        return 1;
    return 0;
}

CALPARSER_WALK_END calparser_walk_component(const CALPARSER_WALK* pWalk, array_t* pTokens,
                                            array_iter_t* pCursor)
{
    while (const CALPARSER_TOKEN* token = (const CALPARSER_TOKEN*)pCursor->element) {
        Next next = Next::Step;
        if (is_end_of(token, pWalk->nComponent))
            return CALPARSER_WALK_OWN_END;
        if (token->nType == TOKEN_END)
            next = judge_foreign_end(pWalk, token);
        else if (token->nType == TOKEN_BEGIN)
            next = judge_begin(pWalk, pTokens, pCursor);
        else if (pWalk->onProperty)
            pWalk->onProperty(pWalk->pBuilder, (CALPARSER_TOKEN*)token);

        if (next == Next::CutShort) {
            if (pWalk->bLog)
                log_cut_short(pWalk->pName, token);
            return CALPARSER_WALK_CUT_SHORT;
        }
        if (next == Next::Step)
            array_findnext(pTokens, pCursor);
    }
    if (pWalk->bLog)
        log_ran_out(pWalk->pName);
    return CALPARSER_WALK_RAN_OUT;
}

CALPARSER_NESTED calparser_walk_after_nested(const array_iter_t* pCursor, iCal_Token_t nOwnEnd)
{
    const CALPARSER_TOKEN* stop = (const CALPARSER_TOKEN*)pCursor->element;
    return stop && !is_end_of(stop, nOwnEnd) ? CALPARSER_NESTED_RESUME : CALPARSER_NESTED_STEP_ON;
}

void calparser_walk_log_illegal(const char* pName, const CALPARSER_TOKEN* pCurrent)
{
    kvallog(0, KVALLOG_LEVEL_DROPPED, "line (%d), %s: Parse error: Illegally formatted %s.",
            pCurrent ? (int)pCurrent->nLine : 0, KVALLOG_CORE_SUBSYSTEM, pName);
}

}  // extern "C"
