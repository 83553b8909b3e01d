/* Orderings of attendee lists. */
#include "public/core_util/comp_util.h"

#include "public/db/caldb.h"

#include <plstr.h>

namespace {

constexpr char kMailtoPrefix[] = "mailto:";
constexpr unsigned kMailtoLength = sizeof kMailtoPrefix - 1;

const CALDB_ATTENDEE* attendee_in_slot(const void* slot)
{
    return *static_cast<const CALDB_ATTENDEE* const*>(slot);
}

bool has_text(const char* text)
{
    return text && text[0] != '\0';
}

const char* identity_key(const CALDB_ATTENDEE* attendee)
{
    if (has_text(attendee->pCalid))
        return attendee->pCalid;
    return has_text(attendee->pAddr) ? attendee->pAddr : nullptr;
}

const char* display_name(const CALDB_ATTENDEE* attendee)
{
    if (has_text(attendee->pCn))
        return attendee->pCn;
    if (has_text(attendee->pAddr)) {
        const char* addr = attendee->pAddr;
        if (PL_strncasecmp(addr, kMailtoPrefix, kMailtoLength) == 0 && addr[kMailtoLength] != '\0')
            return addr + kMailtoLength;
        return addr;
    }
    return has_text(attendee->pCalid) ? attendee->pCalid : nullptr;
}

/* Texts ignoring case, then exactly; a missing text sorts last. */
int compare_texts(const char* a, const char* b)
{
    if (!a || !b)
        return (a == nullptr) - (b == nullptr);
    int order = PL_strcasecmp(a, b);
    return order != 0 ? order : PL_strcmp(a, b);
}

/* NULL slots last; 2 when both attendees exist and the caller must decide. */
int compare_presence(const CALDB_ATTENDEE* a, const CALDB_ATTENDEE* b)
{
    if (a && b)
        return 2;
    return (a == nullptr) - (b == nullptr);
}

}  // namespace

extern "C" {

int comp_util_attendee_compare(const void* a, const void* b)
{
    const CALDB_ATTENDEE* left = attendee_in_slot(a);
    const CALDB_ATTENDEE* right = attendee_in_slot(b);
    int presence = compare_presence(left, right);
    if (presence != 2)
        return presence;
    return compare_texts(identity_key(left), identity_key(right));
}

int comp_util_attendee_compare_for_display(const void* a, const void* b)
{
    const CALDB_ATTENDEE* left = attendee_in_slot(a);
    const CALDB_ATTENDEE* right = attendee_in_slot(b);
    int presence = compare_presence(left, right);
    if (presence != 2)
        return presence;
    int order = compare_texts(display_name(left), display_name(right));
    return order != 0 ? order : comp_util_attendee_compare(a, b);
}

}  // extern "C"
