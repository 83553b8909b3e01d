/* Library start-up and shut-down, and the loading of the time-zone registry
 * from the time-zone file (or any iCalendar stream) through the library's
 * own parse entry. */
#include "core/parser/calparser.h"

#include <plstr.h>

#include "core/parser/cal_attendees.h"
#include "core/parser/cal_str.h"
#include "core/parser/cal_vtimezone_array.h"
#include "core/parser/calparser_time.h"
#include "public/core_util/calfile.h"
#include "public/db/caldb_timezone.h"
#include "public/recurrence/recurrence.h"
#include "public/util/prot.h"

namespace {

/* Where the registry's file lies, relative to the data root, in the form the
 * server has always written it. */
const char* const kTimeZoneFile = "data\\timezones.ics";
/* The zone of date-times without one while the file is read. */
char kFileDefaultTzid[] = "Africa/Casablanca";

constexpr int kOpenReadOnly = 0;
constexpr int kOpenMode = 0666;

}  // namespace

int CALPARSER_TIMEZONE_LIST::init() {
    int rc = 0;
    char* path = PL_strdup(kTimeZoneFile);
    removeAllTimeZones();
    if (!path || !(m_pList = array_new())) {
        rc = 1;
    } else if (reloadListFromFile(path) != 0) {
        removeAllTimeZones();
        rc = 1;
    }
    PL_strfree(path);
    return rc;
}

int CALPARSER_TIMEZONE_LIST::reloadListFromFile(char* path) {
    calfile_ToLocalPath(path);
    int fd = jtessar_open(path, kOpenReadOnly, kOpenMode);
    if (fd < 0) return -1;
    int rc = 1;
    protstream* stream = prot_file(fd, 0);
    if (stream) {
        rc = reloadList(stream);
        prot_free(stream);
    }
    jtessar_close(fd);
    return rc;
}

int CALPARSER_TIMEZONE_LIST::reloadList(protstream* stream) {
    array_t* result = nullptr;
    unsigned methodState = 0;
    int rc = calparser_prot_to_dbstruct(stream, &result, CALPARSER_FORMAT_ICAL, 0, nullptr,
                                        kFileDefaultTzid, nullptr, &methodState, nullptr);
    array_t* zones =
        static_cast<array_t*>(array_elementat(result, CALPARSER_SLOT_TIMEZONES));
    if (rc != 0 || !zones) {
        calparser_FreeComponentArrayAndDestroy(&result);
        return 1;
    }
    removeAllTimeZones();
    m_pList = zones;
    calparser_FreeComponentArrayExceptTimeZones(result);
    array_delete(result);
    array_qsort(m_pList, calVTimeZone_compare);
    return 0;
}

extern "C" {

int parser_init(void) {
    if (!CALPARSER_STR::Instance()) return 1;
    if (!CALPARSER_TIMEZONE_LIST::Instance()) return 2;
    if (recurrence_init() != 0) return 3;
    time_cache_init();
    return 0;
}

int parser_uninit(void) {
    calparser_unloadTimeZoneList();
    recurrence_uninit();
    return 0;
}

int calparser_loadDefaultTimeZoneList(void) {
    CALPARSER_TIMEZONE_LIST::Instance();
    return 0;
}

int calparser_unloadTimeZoneList(void) {
    delete CALPARSER_TIMEZONE_LIST::m_Instance;
    CALPARSER_TIMEZONE_LIST::m_Instance = nullptr;
    return 0;
}

int calparser_loadTimeZoneListFromFile(char* path) {
    CALPARSER_TIMEZONE_LIST* registry = CALPARSER_TIMEZONE_LIST::Instance();
    return registry ? registry->reloadListFromFile(path) : 1;
}

int calparser_loadTimeZoneList(protstream* pStream) {
    CALPARSER_TIMEZONE_LIST* registry = CALPARSER_TIMEZONE_LIST::Instance();
    return registry && pStream ? registry->reloadList(pStream) : 1;
}

}  // extern "C"
