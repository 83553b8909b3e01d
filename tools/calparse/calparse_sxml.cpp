/* calparse --output sxml: the events and to-dos of an input through the
 * library's SXML writer, in one calendar frame. */
#include "tools/calparse/calparse.h"

namespace calparse {

namespace {

/* A new array of the records wrapped in `slot` (the records stay the
 * result's); NULL when memory runs out. */
array_t* records_of(const array_t* slot) {
    array_t* records = array_new();
    for (unsigned i = 0; records && slot && i < slot->count; i++) {
        const CAL_VCOMPONENT* wrapper = static_cast<const CAL_VCOMPONENT*>(slot->data[i]);
        if (wrapper && wrapper->pComponent && array_append(records, wrapper->pComponent) != 0) {
            array_delete(records);
            records = nullptr;
        }
    }
    return records;
}

}  // namespace

int print_sxml(int fd, const Parsed& in) {
    int rc = 1;
    protstream* out = prot_new(fd, 1);
    array_t* events = records_of(in.slot(CALPARSER_SLOT_EVENTS));
    array_t* todos = records_of(in.slot(CALPARSER_SLOT_TODOS));
    if (out && events && todos) {
        calparser_sxml_header(out);
        calparser_eventarray_to_sxml(events, out, 0);
        calparser_todoarray_to_sxml(todos, out, 0);
        calparser_sxml_tail(out);
        rc = prot_flush(out) == 0 ? 0 : 1;
    }
    prot_free(out);
    array_delete(events);
    array_delete(todos);
    return rc;
}

}  // namespace calparse
