/* The VTIMEZONE builder: the component walk and its properties. */
#include "core/parser/cal_vtimezone.h"

#include <plstr.h>

#include "core/parser/cal_vzone.h"
#include "core/parser/cal_walk.h"
#include "core/parser/ical_components.h"
#include "core/parser/populate.h"
#include "public/util/kvallog.h"

namespace {

constexpr unsigned kMaxSubZones = 2;

/* What the walk's callbacks build. */
struct ZoneBuild {
    CAL_VTIMEZONE* zone;  /* NULL outside pass 1, or when memory ran out */
    array_t* subZones;    /* every sub-zone read, kept or not */
    int pass;
    iCal_Token_t method;
};

/* A property that memory did not suffice for is left out; the zone keeps
 * the rest. */
void store_zone_line(void* pBuild, CALPARSER_TOKEN* pToken)
{
    ZoneBuild* build = static_cast<ZoneBuild*>(pBuild);
    if (build->zone)
        calparser_populateCalVTimeZoneProp(pToken, &build->zone);
}

/* Runs the sub-zone walk for a BEGIN:STANDARD or BEGIN:DAYLIGHT; in pass 1
 * the newest sub-zone becomes the zone's part of that kind (the one it
 * replaces stays in subZones and is discarded at the end). Whatever the
 * sub-zone walk stopped on, the zone's walk goes on after it; a part that
 * could not be made leaves the zone without it. */
CALPARSER_NESTED read_sub_zone(void* pBuild, array_t* tokens, array_iter_t* cursor)
{
    ZoneBuild* build = static_cast<ZoneBuild*>(pBuild);
    iCal_Token_t kind = ((const CALPARSER_TOKEN*)cursor->element)->nValue;
    if (kind != TOKEN_DAYLIGHT && kind != TOKEN_STANDARD)
        return CALPARSER_NESTED_NONE;
    CAL_VTIMEZONE* zone = build->zone;
    array_t* subZones = build->subZones;
    unsigned before = subZones ? subZones->count : 0;
    /* A zone that could not be made reads its parts without building. */
    int pass = zone ? build->pass : CALPARSER_PASS_WALK;
    calparser_create_vzone_from_tokens(tokens, cursor, subZones, kind, pass, build->method);
    if (zone && subZones && subZones->count > before) {
        CAL_VZONE* newest = (CAL_VZONE*)array_last_element(subZones);
        if (kind == TOKEN_DAYLIGHT)
            zone->pDaylight = newest;
        else
            zone->pStandard = newest;
    }
    return CALPARSER_NESTED_STEP_ON;
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
        calparser_walk_log_illegal("VTIMEZONE", current);
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
    if (!pTimeZones || !pTokens || calparser_walk_enter(pTokens, pCursor) != 0)
        return 1;

    const bool building = nPass == CALPARSER_PASS_ZONES;
    ZoneBuild build = {nullptr, nullptr, nPass, nMethod};
    int rc = 0;
    /* Without memory the tokens are still passed over, so that the driver
     * never reads the inside of the component as calendar-level lines. */
    if (building && (!(build.zone = CAL_VTIMEZONE_NEW()) || !(build.subZones = array_new()))) {
        CAL_VTIMEZONE_FREE(&build.zone);
        rc = 3;
    }
    const CALPARSER_WALK walk = {"VTIMEZONE", TOKEN_VTIMEZONE, building, &build,
                                 store_zone_line, read_sub_zone, nullptr};
    calparser_walk_component(&walk, pTokens, pCursor);

    if (build.zone)
        rc = finish_zone(&build.zone, &build.subZones, pTimeZones,
                         (const CALPARSER_TOKEN*)pCursor->element);
    discard_unkept_sub_zones(&build.subZones, build.zone);
    CAL_VTIMEZONE_FREE(&build.zone);
    return rc;
}

}  /* extern "C" */
