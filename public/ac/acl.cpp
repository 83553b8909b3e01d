/* Access-control entries and the rights check. */
#include "public/ac/acl.h"

#include "public/util/kvallog.h"

#include <plstr.h>
#include <stdlib.h>
#include <string.h>

#include <initializer_list>

namespace {

constexpr uint32_t kFnvOffset = 2166136261u;
constexpr uint32_t kFnvPrime = 16777619u;
constexpr int kEntryWords = 4;

struct RightName {
    const char* name;
    uint32_t bits;
};

constexpr RightName kRightNames[] = {
    {"freebusy", ACL_RIGHT_FREEBUSY}, {"read", ACL_RIGHT_READ},
    {"write", ACL_RIGHT_WRITE},       {"schedule", ACL_RIGHT_SCHEDULE},
    {"delete", ACL_RIGHT_DELETE},     {"all", ACL_RIGHTS_ALL},
};

/* One word of the text: a pointer into it and a length. */
struct Word {
    const char* start;
    size_t length;
    bool is(const char* keyword) const
    {
        return strlen(keyword) == length && PL_strncasecmp(start, keyword, length) == 0;
    }
};

/* 32-bit FNV-1a over `length` bytes with ASCII letters lower-cased. */
uint32_t fnv1a_lower(const char* text, size_t length)
{
    uint32_t hash = kFnvOffset;
    for (size_t i = 0; i < length; ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (c >= 'A' && c <= 'Z')
            c = static_cast<unsigned char>(c - 'A' + 'a');
        hash = (hash ^ c) * kFnvPrime;
    }
    return hash;
}

bool is_blank(char c)
{
    return c == ' ' || c == '\t';
}

/* Cuts `text` into exactly kEntryWords words; false for fewer or more. */
bool split_words(const char* text, Word words[kEntryWords])
{
    int count = 0;
    const char* p = text;
    for (;;) {
        while (is_blank(*p))
            ++p;
        if (*p == '\0')
            return count == kEntryWords;
        if (count == kEntryWords)
            return false;
        const char* start = p;
        while (*p != '\0' && !is_blank(*p))
            ++p;
        words[count++] = {start, static_cast<size_t>(p - start)};
    }
}

/* The rights of a comma list such as "read,write"; false for an unknown or
 * empty name. */
bool parse_rights(const Word& word, uint32_t* rights)
{
    *rights = 0;
    const char* end = word.start + word.length;
    const char* p = word.start;
    while (p <= end) {
        const char* comma = static_cast<const char*>(memchr(p, ',', static_cast<size_t>(end - p)));
        Word name{p, static_cast<size_t>((comma ? comma : end) - p)};
        uint32_t bits = 0;
        for (const RightName& right : kRightNames)
            if (name.is(right.name))
                bits = right.bits;
        if (bits == 0)
            return false;
        *rights |= bits;
        p = (comma ? comma : end) + 1;
    }
    return true;
}

/* Reads the text form into its parts; false when it breaks the grammar. */
bool parse_entry(const char* text, unsigned char* flags, uint32_t* principal, uint32_t* rights)
{
    Word words[kEntryWords];
    if (!split_words(text, words))
        return false;
    *flags = 0;
    if (words[0].is("deny"))
        *flags |= ACL_FLAG_DENY;
    else if (!words[0].is("grant"))
        return false;
    *principal = 0;
    if (words[1].is("*")) {
        *flags |= ACL_FLAG_ALL_USERS;
    } else {
        *principal = fnv1a_lower(words[1].start, words[1].length);
    }
    if (words[2].is("calprops"))
        *flags |= ACL_FLAG_CALPROPS;
    else if (!words[2].is("components"))
        return false;
    return parse_rights(words[3], rights);
}

bool is_owner(const ACL_CONTEXT* ctx, const char* user)
{
    if (!ctx || !user)
        return false;
    if (ctx->pPrimaryOwner && PL_strcasecmp(ctx->pPrimaryOwner, user) == 0)
        return true;
    for (unsigned i = 0; ctx->pOwners && i < ctx->pOwners->count; ++i) {
        const char* owner = static_cast<const char*>(ctx->pOwners->data[i]);
        if (owner && PL_strcasecmp(owner, user) == 0)
            return true;
    }
    return false;
}

/* The rights that entries of one principal level grant and deny on a target. */
void collect_level(const ACL_CONTEXT* ctx, bool allUsers, uint32_t key, bool calprops,
                   uint32_t* granted, uint32_t* denied)
{
    *granted = *denied = 0;
    for (unsigned i = 0; ctx && ctx->pAceList && i < ctx->pAceList->count; ++i) {
        const CALDB_ACE* ace = static_cast<const CALDB_ACE*>(ctx->pAceList->data[i]);
        if (!ace || ((ace->nFlags & ACL_FLAG_CALPROPS) != 0) != calprops)
            continue;
        bool forAll = (ace->nFlags & ACL_FLAG_ALL_USERS) != 0;
        if (forAll != allUsers || (!allUsers && ace->nPrincipal != key))
            continue;
        if (ace->nFlags & ACL_FLAG_DENY)
            *denied |= ace->nRights;
        else
            *granted |= ace->nRights;
    }
}

}  // namespace

extern "C" {

uint32_t acl_principal_key(const char* user)
{
    return user ? fnv1a_lower(user, strlen(user)) : 0;
}

CALDB_ACE* acl_caldb_ace_NEW(int bDeny, int bAllUsers, int bCalProps, uint32_t nPrincipal,
                             uint32_t nRights)
{
    CALDB_ACE* ace = static_cast<CALDB_ACE*>(calloc(1, sizeof(CALDB_ACE)));
    if (!ace)
        return nullptr;
    ace->nFlags = static_cast<unsigned char>((bDeny ? ACL_FLAG_DENY : 0) |
                                             (bAllUsers ? ACL_FLAG_ALL_USERS : 0) |
                                             (bCalProps ? ACL_FLAG_CALPROPS : 0));
    ace->nPrincipal = nPrincipal;
    ace->nRights = nRights;
    return ace;
}

CALDB_ACE* acl_create_ace(const char* text)
{
    if (!text)
        return nullptr;
    unsigned char flags = 0;
    uint32_t principal = 0;
    uint32_t rights = 0;
    if (!parse_entry(text, &flags, &principal, &rights)) {
        kvallog(0, KVALLOG_LEVEL_DROPPED,
                "%s: access-control entry \"%s\" is not valid; it is dropped.",
                KVALLOG_CORE_SUBSYSTEM, text);
        return nullptr;
    }
    return acl_caldb_ace_NEW(flags & ACL_FLAG_DENY, flags & ACL_FLAG_ALL_USERS,
                             flags & ACL_FLAG_CALPROPS, principal, rights);
}

void acl_misc_FreeACEList(array_t** pList)
{
    if (!pList || !*pList)
        return;
    array_t* list = *pList;
    for (unsigned i = list->count; i > 0; --i)
        free(array_removeat(list, i - 1));
    array_delete(list);
    *pList = nullptr;
}

unsigned acl_misc_checkACL(const ACL_CONTEXT* ctx, const char* user, unsigned nDefaultRights,
                           unsigned nWanted, int nTarget)
{
    if (is_owner(ctx, user))
        return nWanted & ACL_RIGHTS_ALL;
    uint32_t granted = 0;
    uint32_t decided = 0;  /* rights some more specific entry spoke about */
    if (nTarget == ACL_TARGET_COMPONENTS || nTarget == ACL_TARGET_CALPROPS) {
        bool calprops = nTarget == ACL_TARGET_CALPROPS;
        uint32_t key = acl_principal_key(user);
        for (bool allUsers : {false, true}) {
            if (!allUsers && !user)
                continue;
            uint32_t levelGrants = 0;
            uint32_t levelDenials = 0;
            collect_level(ctx, allUsers, key, calprops, &levelGrants, &levelDenials);
            granted |= levelGrants & ~levelDenials & ~decided;
            decided |= levelGrants | levelDenials;
        }
    }
    granted |= nDefaultRights & ~decided;
    return granted & nWanted;
}

int bHasScheduleAccessToCalProps(const ACL_CONTEXT* ctx, const char* user) {
    if (!user) return 1;
    unsigned rights = acl_misc_checkACL(ctx, user, 0, ACL_RIGHT_SCHEDULE, ACL_TARGET_CALPROPS);
    return (rights & ACL_RIGHT_SCHEDULE) != 0;
}

}  // extern "C"
