/* Extension-property requests: checking a request token, working out its
 * operation, finding and building lines, applying a list of requests; and
 * the global names of these requests and of the attendee deletion marker. */
#include "core/parser/cal_xprops.h"

#include <stdlib.h>
#include <string.h>

#include <plstr.h>

#include "core/parser/cal_urlparams.h"

const char* xDelete = "X-KVAL-PLIX-ATTENDEE-DELETE";
const char* xOperationParam = "X-KVAL-ORIGINAL-OPERATION";
const char* xOperationValues[] = {
    "X-KVAL-PLIX-PROPERTY-DELETE",
    "X-KVAL-PLIX-PROPERTY-REPLACE",
    "X-KVAL-PLIX-PROPERTY-ADD",
    nullptr,
};

namespace {

constexpr int kFailed = 5;
/* Slack beyond the separators counted exactly. */
constexpr size_t kLineSlack = 16;

const CALPARSER_PARAM* param_at(const array_t* params, unsigned i)
{
    return static_cast<const CALPARSER_PARAM*>(params->data[i]);
}

bool is_operation_param(const CALPARSER_PARAM* param)
{
    return param->pName && PL_strcasecmp(param->pName, xOperationParam) == 0;
}

/* 0, or the code of the first parameter without name (3) or value (4). */
int check_params_complete(const array_t* params)
{
    for (unsigned i = 0; params && i < params->count; i++) {
        const CALPARSER_PARAM* param = param_at(params, i);
        if (!param)
            continue;
        if (!param->pName)
            return 3;
        if (!param->pValue)
            return 4;
    }
    return 0;
}

/* Removes line `index` from the list and frees it; a negative index is no
 * line. */
void remove_line(array_t* lines, int index)
{
    if (index >= 0)
        PL_strfree(static_cast<char*>(array_removeat(lines, (unsigned)index)));
}

/* Builds the token's line and appends it. true on success. */
bool append_token_line(array_t* lines, const CALPARSER_TOKEN* token)
{
    char* line = nullptr;
    if (calparser_convertTok_to_xProperty_string(&line, token) != 0)
        return false;
    if (array_append(lines, line) != 0) {
        PL_strfree(line);
        return false;
    }
    return true;
}

/* Applies one request item to the list. true on success. */
bool apply_item(array_t* lines, char* item)
{
    CALPARSER_TOKEN* token = nullptr;
    bool ok = false;
    int existing = -1;

    if (!item || cal_parseutil_parseXProperty(item, &token) != 0 || !token)
        goto done;
    if (calparser_checkTokForXParams(token) != 0)
        goto done;
    existing = calparser_getXPropertyIndex(lines, token->pName);
    switch (calparser_getXPropertyOperation(token)) {
    case CALPARSER_XPROP_DELETE:
        remove_line(lines, existing);
        ok = true;
        break;
    case CALPARSER_XPROP_REPLACE:
        // The new line is appended first, so a failed build keeps the old one.
        ok = append_token_line(lines, token);
        if (ok)
            remove_line(lines, existing);
        break;
    default:
        ok = existing < 0 && append_token_line(lines, token);
        break;
    }

done:
    calparser_FreeToken(&token);
    return ok;
}

}  // namespace

extern "C" {

int calparser_checkTokForXParams(const CALPARSER_TOKEN* pToken)
{
    if (!pToken)
        return 1;
    const array_t* params = pToken->pParamList;
    for (unsigned i = 0; params && i < params->count; i++) {
        const CALPARSER_PARAM* param = param_at(params, i);
        if (param && param->nType != TOKEN_X_PARAM)
            return 2;
    }
    return 0;
}

int calparser_getXPropertyOperation(const CALPARSER_TOKEN* pToken)
{
    if (!pToken)
        return -1;
    const array_t* params = pToken->pParamList;
    for (unsigned i = 0; params && i < params->count; i++) {
        const CALPARSER_PARAM* param = param_at(params, i);
        if (!param || !is_operation_param(param))
            continue;
        for (int op = 0; param->pValue && xOperationValues[op]; op++) {
            if (PL_strcasecmp(param->pValue, xOperationValues[op]) == 0)
                return op;
        }
        break;  // only the first operation parameter counts
    }
    return CALPARSER_XPROP_ADD;
}

int calparser_getXPropertyIndex(const array_t* pLines, const char* name)
{
    if (!pLines || !name || !*name)
        return -1;
    size_t len = strlen(name);
    for (unsigned i = 0; i < pLines->count; i++) {
        const char* line = static_cast<const char*>(pLines->data[i]);
        if (line && PL_strncasecmp(line, name, (PRUint32)len) == 0
            && (line[len] == ';' || line[len] == ':'))
            return (int)i;
    }
    return -1;
}

int calparser_convertTok_to_xProperty_string(char** ppLine, const CALPARSER_TOKEN* pToken)
{
    if (ppLine)
        *ppLine = nullptr;
    // An empty name counts as none: its line would be a content line without
    // a name, which no reader can attribute to a property.
    if (!ppLine || !pToken || !pToken->pName || !*pToken->pName || !pToken->pValue)
        return 1;
    const array_t* params = pToken->pParamList;
    int rc = check_params_complete(params);
    if (rc != 0)
        return rc;

    size_t size = strlen(pToken->pName) + 1 + strlen(pToken->pValue) + kLineSlack;
    for (unsigned i = 0; params && i < params->count; i++) {
        const CALPARSER_PARAM* param = param_at(params, i);
        if (param)
            size += 2 + strlen(param->pName) + strlen(param->pValue);
    }
    char* line = static_cast<char*>(calloc(size, 1));
    if (!line)
        return 3;

    char* end = stpcpy(line, pToken->pName);
    for (unsigned i = 0; params && i < params->count; i++) {
        const CALPARSER_PARAM* param = param_at(params, i);
        if (!param || is_operation_param(param))
            continue;
        *end++ = ';';
        end = stpcpy(end, param->pName);
        *end++ = '=';
        end = stpcpy(end, param->pValue);
    }
    *end++ = ':';
    strcpy(end, pToken->pValue);
    *ppLine = line;
    return 0;
}

int calparser_copyURLEncodedXProperties_to_array(array_t** ppLines, array_t* pItems)
{
    if (!pItems || pItems->count == 0)
        return 0;
    if (!ppLines)
        return kFailed;
    if (!*ppLines && !(*ppLines = array_new()))
        return kFailed;
    for (unsigned i = 0; i < pItems->count; i++) {
        if (!apply_item(*ppLines, static_cast<char*>(pItems->data[i])))
            return kFailed;
    }
    return 0;
}

}  // extern "C"
