/* The VTIMEZONE builder: the component walk and its properties. */
#include "core/parser/cal_vtimezone.h"

#include <plstr.h>

#include "core/parser/cal_vzone.h"
#include "core/parser/ical_components.h"
#include "core/parser/populate.h"
#include "public/util/kvallog.h"

namespace {

constexpr unsigned kMaxSubZones = 2;

/* What stopped a walk. */
enum class WalkEnd { OwnEnd, Early, RanOut };

void log_abrupt_end(const CALPARSER_TOKEN* token)
{
    kvallog(0, KVALLOG_LEVEL_PARSE,
            "line (%d), %s: Parse error: encountered abrupt end of parsing VTIMEZONE.",
            (int)token->nLine, KVALLOG_CORE_SUBSYSTEM);
}

/* Runs the sub-zone walk for the BEGIN:STANDARD or BEGIN:DAYLIGHT under the
 * cursor; in pass 1 the newest sub-zone becomes the zone's part of that kind
 * (the one it replaces stays in subZones and is discarded at the end).
 * Returns the walk's result. */
int read_sub_zone(array_t* tokens, array_iter_t* cursor, array_t* subZones, CAL_VTIMEZONE* zone,
                  iCal_Token_t kind, int pass, iCal_Token_t method)
{
    unsigned before = subZones ? subZones->count : 0;
    int rc = calparser_create_vzone_from_tokens(tokens, cursor, subZones, kind, pass, method);
    if (zone && subZones && subZones->count > before) {
        CAL_VZONE* newest = (CAL_VZONE*)array_last_element(subZones);
        if (kind == TOKEN_DAYLIGHT)
            zone->pDaylight = newest;
        else
            zone->pStandard = newest;
    }
    return rc;
}

/* Frees the sub-zones that the zone does not keep as its parts, and the
 * array; the kept ones now belong to the zone alone. */
void discard_unkept_sub_zones(array_t** pSubZones, const CAL_VTIMEZONE* zone)
{
    array_t* subZones = *pSubZones;
    if (!subZones)
        return;
    for (unsigned i = subZones->count; i-- > 0;) {
        CAL_VZONE* sub = (CAL_VZONE*)array_removeat(subZones, i);
        if (!zone || (sub != zone->pDaylight && sub != zone->pStandard))
            CAL_VZONE_FREE(&sub);
    }
    array_delete(subZones);
    *pSubZones = nullptr;
}

/* Ends pass 1: reports a zone of too many parts, gives a zone with a TZID its
 * rule-based zone and appends it, drops one without. Returns 0 or 3. */
int finish_zone(CAL_VTIMEZONE** pZone, array_t** pSubZones, array_t* timeZones,
                const CALPARSER_TOKEN* current)
{
    int line = current ? (int)current->nLine : 0;
    if ((*pSubZones)->count > kMaxSubZones)
        kvallog(0, KVALLOG_LEVEL_DROPPED, "line (%d), %s: VTIMEZONE has more than 2 zones.", line,
                KVALLOG_CORE_SUBSYSTEM);
    discard_unkept_sub_zones(pSubZones, *pZone);

    CAL_VTIMEZONE* zone = *pZone;
    if (!calparser_isValidVTimeZone(zone->pDbTimeZone)) {
        kvallog(0, KVALLOG_LEVEL_DROPPED,
                "line (%d), %s: Parse error: Illegally formatted VTIMEZONE.", line,
                KVALLOG_CORE_SUBSYSTEM);
        CAL_VTIMEZONE_FREE(pZone);
        return 0;
    }
    zone->pIcuZone = create_SimpleTimeZone(zone);
    if (array_append(timeZones, zone) != 0) {
        CAL_VTIMEZONE_FREE(pZone);
        return 3;
    }
    *pZone = nullptr;
    return 0;
}

}  // namespace

extern "C" {

int calparser_isValidVTimeZone(const CALDB_VTIMEZONE* pZone)
{
    return pZone && pZone->pTzid ? 1 : 0;
}

int calparser_populateCalVTimeZoneProp(const CALPARSER_TOKEN* pToken, CAL_VTIMEZONE** ppZone)
{
    if (!pToken || !ppZone || !*ppZone || !(*ppZone)->pDbTimeZone)
        return 1;
    CAL_VTIMEZONE* zone = *ppZone;
    CALDB_VTIMEZONE* db = zone->pDbTimeZone;
    const char* value = pToken->pValue;
    if (!value)
        return 0;
    switch (pToken->nType) {
    case TOKEN_TZID:
        return calparser_recurrence_populateProperties(&db->pTzid, value);
    case TOKEN_TZURL:
        return calparser_recurrence_populateProperties(&db->pTzUrl, value);
    case TOKEN_LAST_MODIFIED:
        calparser_storeDateTimePropertyNoTimeZones(&db->tLastModified, value);
        return 0;
    case TOKEN_X_KVAL_TZCROSS:
        return calparser_populate_DateTimeList(&zone->aTzCross, value, nullptr, nullptr);
    case TOKEN_X_Z9KQ_TZID_ALIAS:
        return calparser_addStringToPropertyArray(&zone->aAliases, value);
    case TOKEN_X:
        return calparser_addStringToPropertyArray(&db->aXProps, value);
    default:
        return 0;
    }
}

int calparser_create_vtimezone_from_tokens(array_t* pTokens, array_iter_t* pCursor,
                                           array_t* pTimeZones, int nPass, iCal_Token_t nMethod)
{
    if (!pTimeZones || !pTokens || !pCursor)
        return 1;
    int more = array_findnext(pTokens, pCursor);
    if (!more || !pCursor->element)
        return 1;

    const bool building = nPass == 1;
    int rc = 0;
    CAL_VTIMEZONE* zone = nullptr;
    array_t* subZones = nullptr;
    /* Without memory the tokens are still passed over, so that the driver
     * never reads the inside of the component as calendar-level lines. */
    if (building && (!(zone = CAL_VTIMEZONE_NEW()) || !(subZones = array_new()))) {
        CAL_VTIMEZONE_FREE(&zone);
        rc = 3;
    }

    WalkEnd end = WalkEnd::RanOut;
    while (more && pCursor->element) {
        const CALPARSER_TOKEN* token = (const CALPARSER_TOKEN*)pCursor->element;
        if (token->nType == TOKEN_END) {
            end = token->nValue == TOKEN_VTIMEZONE ? WalkEnd::OwnEnd : WalkEnd::Early;
            break;
        }
        if (token->nType == TOKEN_BEGIN) {
            if (token->nValue != TOKEN_DAYLIGHT && token->nValue != TOKEN_STANDARD) {
                end = WalkEnd::Early;
                break;
            }
            /* A zone that could not be made reads its parts without building. */
            int subPass = zone ? nPass : 0;
            if (read_sub_zone(pTokens, pCursor, subZones, zone, token->nValue, subPass,
                              nMethod) == 3)
                rc = 3;
        } else if (zone && calparser_populateCalVTimeZoneProp(token, &zone) == 3) {
            rc = 3;
        }
        more = array_findnext(pTokens, pCursor);
    }
    if (building && end == WalkEnd::Early)
        log_abrupt_end((const CALPARSER_TOKEN*)pCursor->element);
    if (building && end == WalkEnd::RanOut)
        kvallog(0, KVALLOG_LEVEL_PARSE,
                "%s: Parse error: reached abrupt end of file in parsing VTIMEZONE.",
                KVALLOG_CORE_SUBSYSTEM);

    if (zone && rc == 0)
        rc = finish_zone(&zone, &subZones, pTimeZones,
                         (const CALPARSER_TOKEN*)pCursor->element);
    discard_unkept_sub_zones(&subZones, zone);
    CAL_VTIMEZONE_FREE(&zone);
    return rc;
}

}  /* extern "C" */
