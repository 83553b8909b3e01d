/* Tokens and parameters: construction, release, parameter look-up and the two
 * diagnostic printers. The iCalendar lexer that fills them is cal_tok_ical.cpp. */
#include "core/parser/cal_tok.h"
#include "core/parser/cal_tok_arena.h"

#include <stdlib.h>
#include <string.h>

#include <plstr.h>
#include <prprf.h>

/* The keyword text of `n`, never NULL, so that a printer cannot be handed a
 * NULL "%s" for a value the vocabulary does not define. */
static const char* keyword_text(iCal_Token_t n)
{
    const char* text = calparser_getICALString(n);
    return text ? text : "";
}

extern "C" {

CALPARSER_TOKEN* calparser_NewToken(void)
{
    return (CALPARSER_TOKEN*)calloc(1, sizeof(CALPARSER_TOKEN));
}

CALPARSER_PARAM* calparser_NewParam(void)
{
    return (CALPARSER_PARAM*)calloc(1, sizeof(CALPARSER_PARAM));
}

int calparser_FreeParam(CALPARSER_PARAM** ppParam)
{
    if (!ppParam || !*ppParam)
        return 0;
    PL_strfree((*ppParam)->pName);
    PL_strfree((*ppParam)->pValue);
    free(*ppParam);
    *ppParam = nullptr;
    return 0;
}

int calparser_FreeParamList(array_t* pParams)
{
    if (!pParams)
        return 0;
    while (pParams->count > 0) {
        unsigned last = pParams->count - 1;
        CALPARSER_PARAM* param = (CALPARSER_PARAM*)array_elementat(pParams, last);
        calparser_FreeParam(&param);
        array_removeat(pParams, last);
    }
    return 0;
}

int calparser_FreeToken(CALPARSER_TOKEN** ppToken)
{
    if (!ppToken || !*ppToken)
        return 0;
    CALPARSER_TOKEN* token = *ppToken;
    PL_strfree(token->pName);
    PL_strfree(token->pValue);
    calparser_FreeParamList(token->pParamList);
    array_delete(token->pParamList);
    free(token);
    *ppToken = nullptr;
    return 0;
}

int calparser_FreeTokenList(array_t* pTokens)
{
    if (!pTokens)
        return 0;
    while (pTokens->count > 0) {
        unsigned last = pTokens->count - 1;
        CALPARSER_TOKEN* token = (CALPARSER_TOKEN*)array_elementat(pTokens, last);
        calparser_FreeToken(&token);
        array_removeat(pTokens, last);
    }
    return 0;
}

int calparser_FindParamInParamList(array_t* pParams, iCal_Token_t nType, char** ppValue)
{
    if (!ppValue)
        return 1;
    *ppValue = nullptr;
    if (!pParams)
        return 0;
    for (unsigned i = 0; i < pParams->count; i++) {
        CALPARSER_PARAM* param = (CALPARSER_PARAM*)array_elementat(pParams, i);
        if (param && param->nType == nType) {
            *ppValue = param->pValue;
            break;
        }
    }
    return 0;
}

int isKeywordPropertyType(iCal_Token_t nType)
{
    return nType == TOKEN_ACTION || nType == TOKEN_STATUS || nType == TOKEN_TRANSP
        || nType == TOKEN_METHOD;
}

iCal_Token_t calparser_getKeywordValueType(iCal_Token_t nType, const char* pText, unsigned nLen)
{
    UpperName word(pText ? pText : "", pText ? nLen : 0);
    if (!word.text())
        return TOKEN_UNKNOWN;
    unsigned len = (unsigned)word.length();
    switch (nType) {
    case TOKEN_METHOD: return calparser_getMethodType(word.text(), len);
    case TOKEN_ACTION: return calparser_getActionType(word.text(), len);
    case TOKEN_STATUS: return calparser_getStatusType(word.text(), len);
    case TOKEN_TRANSP: return calparser_getTranspType(word.text(), len);
    default: return TOKEN_UNKNOWN;
    }
}

void calparser_debugPrintToken(CALPARSER_TOKEN* pToken, int* pnDepth, PRFileDesc* pFile)
{
    if (!pToken || !pFile)
        return;
    int depth = pnDepth ? *pnDepth : 0;
    if (pToken->nType == TOKEN_BEGIN)
        depth++;

    PR_fprintf(pFile, "line(%5d) ", (int)pToken->nLine);
    for (int level = 0; level < depth; level++)
        PR_fprintf(pFile, "    ");
    PR_fprintf(pFile, "%-15s - ", keyword_text(pToken->nType));
    if (pToken->pValue)
        PR_fprintf(pFile, "%s - ", pToken->pValue);
    else if (pToken->nValue != 0)
        PR_fprintf(pFile, "%s - ", keyword_text(pToken->nValue));
    else
        PR_fprintf(pFile, "Unknown type - ");
    PR_fprintf(pFile, ":");
    array_t* params = pToken->pParamList;
    for (unsigned i = 0; params && i < params->count; i++) {
        CALPARSER_PARAM* param = (CALPARSER_PARAM*)array_elementat(params, i);
        if (param)
            PR_fprintf(pFile, "%-10s=%-10s;", keyword_text(param->nType),
                       param->pValue ? param->pValue : "");
    }
    PR_fprintf(pFile, "\n");

    if (pnDepth)
        *pnDepth = pToken->nType == TOKEN_END ? depth - 1 : depth;
}

void calparser_debugPrintTokenList(array_t* pTokens, PRFileDesc* pFile)
{
    if (!pTokens || pTokens->count == 0 || !pFile)
        return;
    int depth = 0;
    for (unsigned i = 0; i < pTokens->count; i++)
        calparser_debugPrintToken((CALPARSER_TOKEN*)array_elementat(pTokens, i), &depth, pFile);
}

void calparser_PrintTokenToXML(protstream* pOut, CALPARSER_TOKEN* pToken)
{
    if (!pOut || !pToken)
        return;
    const char* name = pToken->pName ? pToken->pName : keyword_text(pToken->nType);
    prot_printf(pOut, "<%s", name);
    array_t* params = pToken->pParamList;
    for (unsigned i = 0; params && i < params->count; i++) {
        CALPARSER_PARAM* param = (CALPARSER_PARAM*)array_elementat(params, i);
        if (!param)
            continue;
        prot_printf(pOut, " %s", param->pName ? param->pName : keyword_text(param->nType));
        prot_printf(pOut, "=");
        prot_printf(pOut, "\"%s\"", param->pValue ? param->pValue : keyword_text(param->nValue));
    }
    prot_printf(pOut, ">");
    prot_printf(pOut, "%s", pToken->pValue ? pToken->pValue : keyword_text(pToken->nValue));
    prot_printf(pOut, "</%s>", name);
}

} /* extern "C" */
