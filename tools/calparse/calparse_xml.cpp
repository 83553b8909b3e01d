/* calparse --output xml: the library's XML writer frames replies, it does not
 * write a component's properties. So this output is the reply frame of the
 * input's events and to-dos: each one's element with its UID and, for an
 * instance, its RECURID (the recurrence id in UTC), in the library's order.
 * Read back with --format xml it gives components with the same identities,
 * nothing more; --output ical is the form that keeps every field. */
#include "tools/calparse/calparse.h"

namespace calparse {

namespace {

constexpr int kXmlEvent = 1; /* the writer's kind of an event; any other is a to-do */
constexpr int kXmlTodo = 0;

/* The frame's "no recurrence id". */
constexpr char kNoRecurrenceId[] = "0";

void write_identities(protstream* out, const array_t* slot, int kind) {
    for (unsigned i = 0; slot && i < slot->count; i++) {
        const CAL_VCOMPONENT* wrapper = static_cast<const CAL_VCOMPONENT*>(slot->data[i]);
        const CALDB_COMPONENT* c =
            wrapper ? static_cast<const CALDB_COMPONENT*>(wrapper->pComponent) : nullptr;
        if (!c) continue;
        std::string rid = c->tRecurrenceId > 0 ? utc_text(c->tRecurrenceId) : kNoRecurrenceId;
        calparser_xml_component_head(out, kind);
        calparser_xml_uid_rid(out, c->pUid, rid.c_str());
        calparser_xml_component_tail(out, kind);
    }
}

}  // namespace

int print_xml(int fd, const Parsed& in) {
    protstream* out = prot_new(fd, 1);
    if (!out) return 1;
    calparser_xml_header(out);
    write_identities(out, in.slot(CALPARSER_SLOT_EVENTS), kXmlEvent);
    write_identities(out, in.slot(CALPARSER_SLOT_TODOS), kXmlTodo);
    calparser_xml_tail(out);
    int rc = prot_flush(out) == 0 ? 0 : 1;
    prot_free(out);
    return rc;
}

}  // namespace calparse
