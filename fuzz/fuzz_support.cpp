#include "fuzz/fuzz_support.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>
#include <stdio.h>
#include <stdlib.h>
#include <time.h>

#include "public/util/config.h"

namespace fuzz {

char kDefaultTzid[] = "America/New_York";

namespace {

void drop_log_line(void*, int, const char*) {}

// The calendar-properties record has no destructor of its own: the caller
// that passed it to the parse releases what the parse stored.
void free_calprops_contents(CALDB_CALPROPS* props) {
    char* texts[] = {props->pDescription, props->pParentCalid, props->pRelativeCalid,
                     props->pCalmaster,   props->pName,        props->pCharset,
                     props->pLanguage,    props->pPrimaryOwner, props->pTzid};
    for (char* text : texts) PL_strfree(text);
    strarray_free_and_destroy(&props->pOwners);
    strarray_free_and_destroy(&props->pChildren);
    strarray_free_and_destroy(&props->pCategories);
    acl_misc_FreeACEList(&props->pAceList);
}

protstream* g_nullOut = nullptr;

}  // namespace

void init_once() {
    static bool started = false;
    if (started) return;
    started = true;
    kvallog_set_sink(drop_log_line, nullptr);
    // Mutated inputs are often little but costly rules, and each would spend a
    // parse's whole default share of rule work (a sixth of a second, more
    // under the sanitizers) on every run; the per-line share alone still
    // expands every ordinary series in full.
    config_set_string(config_getdefaultcache(), "calstore.recurrence.parse_work", "0");
    if (parser_init() != 0) {
        fprintf(stderr, "fuzz: parser_init failed\n");
        abort();
    }
    int fd = open("/dev/null", O_WRONLY);
    g_nullOut = prot_new(fd, 1);
    if (!g_nullOut) abort();
}

protstream* null_out() { return g_nullOut; }

array_t* parse(const uint8_t* data, size_t size, int format, const char* charset, int* pRc) {
    protstream* in = prot_readmap(reinterpret_cast<const char*>(data), (unsigned)size);
    array_t* result = nullptr;
    unsigned methodState = 0;
    CALDB_CALPROPS props = {};
    int rc = calparser_prot_to_dbstruct(in, &result, format, 0, charset, kDefaultTzid, &props,
                                        &methodState, nullptr);
    free_calprops_contents(&props);
    prot_free(in);
    if (pRc) *pRc = rc;
    return result;
}

array_t* slot(array_t* result, unsigned index) {
    if (!result || index >= result->count) return nullptr;
    return static_cast<array_t*>(result->data[index]);
}

array_t* records_of(array_t* wrappers) {
    array_t* records = array_new();
    if (!records) abort();
    for (unsigned i = 0; wrappers && i < wrappers->count; i++)
        array_append(records, static_cast<CAL_VCOMPONENT*>(wrappers->data[i])->pComponent);
    return records;
}

namespace {

// The framing writers around one component: head, identity, a request status
// carrying the component's own texts, the error lines, tail.
void write_frames(const CALDB_COMPONENT* comp, int kind) {
    protstream* out = null_out();
    char rid[32] = "0";
    if (comp->tRecurrenceId > 0) cal_time_timet_to_datez(comp->tRecurrenceId, rid);
    calparser_ical_component_head(out, kind);
    calparser_ical_uid_rid(out, comp->pUid, rid);
    calparser_ical_request_status(out, comp->nSequence & 1, comp->pSummary, comp->pDescription,
                                  comp->pLocation, comp->pUrl);
    calparser_ical_errno_tok(out, comp->nSequence, comp->pClass, 1, nullptr);
    calparser_ical_component_tail(out, kind);
    calparser_xml_component_head(out, kind);
    calparser_xml_uid_rid(out, comp->pUid, rid);
    calparser_xml_request_status(out, comp->nSequence & 1, comp->pSummary, comp->pDescription,
                                 comp->pLocation, comp->pUrl);
    calparser_xml_filename(out, comp->pLocation);
    calparser_xml_errno(out, comp->nSequence);
    calparser_xml_component_tail(out, kind);
}

}  // namespace

void write_all(array_t* result) {
    protstream* out = null_out();
    calparser_ical_header(out);
    calparser_xml_header(out);
    for (unsigned s = CALPARSER_SLOT_EVENTS; s <= CALPARSER_SLOT_TODOS; s++) {
        array_t* list = slot(result, s);
        for (unsigned i = 0; list && i < list->count; i++)
            write_frames(static_cast<const CALDB_COMPONENT*>(
                             static_cast<CAL_VCOMPONENT*>(list->data[i])->pComponent),
                         s == CALPARSER_SLOT_EVENTS ? 1 : 0);
        array_t* records = records_of(list);
        if (s == CALPARSER_SLOT_EVENTS)
            calparser_eventarray_to_sxml(records, out, 1);
        else
            calparser_todoarray_to_sxml(records, out, 1);
        array_delete(records);
    }
    calparser_xml_tail(out);
    calparser_ical_tail(out);
    prot_flush(out);
}

std::string written_by(void (*write)(protstream* out, void* ctx), void* ctx) {
    static int fd = memfd_create("fuzz-output", 0);
    if (fd < 0 || ftruncate(fd, 0) != 0 || lseek(fd, 0, SEEK_SET) != 0) abort();
    protstream* out = prot_new(fd, 1);
    write(out, ctx);
    prot_free(out);  // flushes
    std::string bytes((size_t)lseek(fd, 0, SEEK_CUR), '\0');
    if (!bytes.empty() && pread(fd, &bytes[0], bytes.size(), 0) != (ssize_t)bytes.size()) abort();
    return bytes;
}

void expect(bool ok, const char* what) {
    if (ok) return;
    fprintf(stderr, "fuzz oracle failed: %s\n", what);
    abort();
}

std::string text_of(const uint8_t* data, size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    size_t nul = text.find('\0');
    if (nul != std::string::npos) text.resize(nul);
    return text;
}

}  // namespace fuzz
