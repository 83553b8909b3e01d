// Operations no parse reaches: recurring maintenance (compressing instances
// into a master, applying a master's changes, recording an instance's dates,
// finding an instance in a list, sequence bumps, state texts) and attendee
// list operations (merge, dedupe, deletion marker, recipients), on the events
// and to-dos parsed from the input, taken in pairs. The flags of the
// operations come from the input's size, so each seed runs with many.
#include "fuzz/fuzz_support.h"

namespace {

CALDB_COMPONENT* record_at(array_t* wrappers, unsigned i) {
    return static_cast<CALDB_COMPONENT*>(static_cast<CAL_VCOMPONENT*>(wrappers->data[i])->pComponent);
}

CALDB_COMPONENT* copy_of(const CALDB_COMPONENT* src) {
    CALDB_COMPONENT* copy = nullptr;
    calparser_copyConstructorComponent(src, &copy);
    return copy;
}

void free_record(CALDB_COMPONENT* record) {
    void* p = record;
    caldb_FreeComponent(&p);
}

void attendee_operations(const CALDB_COMPONENT* a, const CALDB_COMPONENT* b, unsigned flags) {
    array_t* list = nullptr;
    calparser_copy_attendee_arrays(&list, a->aAttendees);
    if (!list) return;
    if (b->aAttendees) {
        calparser_merge_attendee_list(list, b->aAttendees);
        for (unsigned i = 0; i < b->aAttendees->count; i++) {
            CALDB_ATTENDEE* att = nullptr;
            caldb_copyConstructorAttendee(static_cast<CALDB_ATTENDEE*>(b->aAttendees->data[i]), &att);
            if (!att) continue;
            calparser_merge_attendee(list, att, (int)(flags & 1));
            // The list took the record over exactly when it is its last element.
            if (!(list->count && list->data[list->count - 1] == att)) caldb_FreeAttendee(&att);
        }
    }
    calparser_removeDuplicateAttendeeEntries(list);
    int partStat = 0;
    if (b->pOrganizer) calparser_getUserPartStatFromAttendeeList(b->pOrganizer->pAddr, list, &partStat);
    array_t* addresses = array_new();
    for (unsigned i = 0; addresses && i < list->count; i++)
        if (const char* addr = static_cast<CALDB_ATTENDEE*>(list->data[i])->pAddr)
            array_append(addresses, const_cast<char*>(addr));
    array_t* recipients = nullptr;
    calparser_MakeEmailRecipientList(&recipients, addresses);
    strarray_free_and_destroy(&recipients);
    array_delete(addresses);
    caldb_FreeList(&list, CALDB_LIST_ATTENDEES);
}

void compress(array_t* records, int kind, const char* sentBy) {
    if (caldb_IsEventKind(kind)) {
        CALDB_VEVENT* master = nullptr;
        calparser_CreateCompressedRecurringEventFromList(&master, records, sentBy);
        calparser_event_to_sxml(master, fuzz::null_out(), 0);
        caldb_FreeEvent(&master);
    } else {
        CALDB_VTODO* master = nullptr;
        calparser_CreateCompressedRecurringTodoFromList(&master, records, sentBy);
        calparser_todo_to_sxml(master, fuzz::null_out(), 0);
        caldb_FreeToDo(&master);
    }
}

// Master a applied to a copy of instance b, and b's dates recorded in a copy
// of a, with the flags of the input.
void pair_operations(const CALDB_COMPONENT* a, const CALDB_COMPONENT* b, unsigned flags) {
    CALDB_COMPONENT* master = copy_of(a);
    CALDB_COMPONENT* instance = copy_of(b);
    if (master && instance) {
        calparser_getComponentModFields(b, master, master->nType);
        int moveStart = flags & 2, force = flags & 4;
        if (caldb_IsEventKind(master->nType) && caldb_IsEventKind(instance->nType))
            calparser_ModifyRecurringEvent(reinterpret_cast<CALDB_VEVENT*>(instance),
                                           reinterpret_cast<CALDB_VEVENT*>(master),
                                           (int)(flags * 3600), (int)(flags * 60), moveStart, force);
        else if (!caldb_IsEventKind(master->nType) && !caldb_IsEventKind(instance->nType))
            calparser_ModifyRecurringTodo(reinterpret_cast<CALDB_VTODO*>(instance),
                                          reinterpret_cast<CALDB_VTODO*>(master),
                                          (int)(flags * 3600), (int)(flags * 60), moveStart, force);
        calparser_ModifyRecurringComponentExDateRDate(&master, instance);
        calparser_ModifyMasterEventExDateRDate(&master, instance, 0, b->aExDates, (int)(flags & 8));
        char* state = nullptr;
        getCompStateStringToICAL((int)instance->nCompState, &state);
        PL_strfree(state);
    }
    free_record(master);
    free_record(instance);
    attendee_operations(a, b, flags);
}

// The list operations over one slot: compress it, apply its first record as
// master to copies of all, look each record up in the list, bump sequences.
void list_operations(array_t* wrappers, unsigned flags) {
    if (!wrappers || wrappers->count == 0) return;
    array_t* records = fuzz::records_of(wrappers);
    int kind = record_at(wrappers, 0)->nType;
    compress(records, kind, (flags & 16) ? "mailto:sender@example.com" : nullptr);

    array_t* copies = array_new();
    for (unsigned i = 0; i < records->count; i++)
        if (CALDB_COMPONENT* c = copy_of(static_cast<CALDB_COMPONENT*>(records->data[i])))
            array_append(copies, c);
    bool sameKind = true;
    for (unsigned i = 0; i < copies->count; i++)
        sameKind &= caldb_IsEventKind(static_cast<CALDB_COMPONENT*>(copies->data[i])->nType) ==
                    caldb_IsEventKind(kind);
    if (sameKind && caldb_IsEventKind(kind))
        calparser_ModifyRecurringEventList(copies, static_cast<CALDB_VEVENT*>(records->data[0]),
                                           flags & 2, flags & 4);
    else if (sameKind)
        calparser_ModifyRecurringTodoList(copies, static_cast<CALDB_VTODO*>(records->data[0]),
                                          flags & 2, flags & 4);
    for (unsigned i = 0; i < copies->count; i++)
        calparser_RecurringInstanceAlreadyInList(wrappers,
                                                 static_cast<CALDB_COMPONENT*>(copies->data[i]));
    calparser_bump_sequence_number_on_complist(wrappers);
    for (unsigned i = copies->count; i-- > 0;) free_record(static_cast<CALDB_COMPONENT*>(copies->data[i]));
    array_delete(copies);
    array_delete(records);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::init_once();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    unsigned flags = (unsigned)(size * 2654435761u >> 16);
    array_t* result = fuzz::parse(data, size, CALPARSER_FORMAT_ICAL, nullptr, nullptr);
    array_t* lists[] = {fuzz::slot(result, CALPARSER_SLOT_EVENTS),
                        fuzz::slot(result, CALPARSER_SLOT_TODOS)};
    for (array_t* list : lists) {
        for (unsigned i = 0; list && i + 1 < list->count && i < 8; i++)
            pair_operations(record_at(list, i), record_at(list, i + 1), flags >> i);
        if (list && list->count == 1) pair_operations(record_at(list, 0), record_at(list, 0), flags);
        list_operations(list, flags);
    }
    calparser_FreeComponentArrayAndDestroy(&result);
    return 0;
}
