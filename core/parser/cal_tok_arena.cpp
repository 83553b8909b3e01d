/* The per-parse token arena (see cal_tok_arena.h for why it exists). */
#include "core/parser/cal_tok_arena.h"

#include <stdint.h>
#include <stdlib.h>
#include <string.h>


namespace {

/* Block payload: large enough that block allocations are rare (a thousand
 * for 30 MB of input), small enough that the last, partly used block wastes
 * little, and that the blocks the second pass releases behind it are taken
 * up by its records soon (below the heap's mmap threshold, and in steps the
 * records fill: 256 KB blocks gave a 5% higher peak over repeated parses). */
constexpr size_t kBlockSize = 64 * 1024;
/* Records (tokens, parameters, lists: pointers and integers) are carved at
 * this alignment; texts are packed byte by byte. */
constexpr size_t kAlign = alignof(void*);
/* The first list allocation of an arena list; lists double afterwards. */
constexpr unsigned kFirstListCapacity = 4;

struct Block {
    Block* next;   /* the block started after this one */
    size_t size;   /* payload bytes after the header */
};

/* One remembered name: its bytes as written and its upper-cased text (each at
 * most kNameRoom - 1 bytes, NUL-terminated), and its type. */
constexpr size_t kNameRoom = 32;
struct NameEntry {
    unsigned char len;  /* 0: empty; else the length of `written` */
    unsigned char upperLen;
    char written[kNameRoom];
    char upper[kNameRoom];
    iCal_Token_t type;
};

/* Remembered names per kind: sets of two, the newer name of a set first, a
 * set found by a mix of the length and the first, middle and last byte. Two
 * ways keep both of two frequent names that fall into one set (with one way,
 * a third of the lines of a common calendar missed). */
constexpr unsigned kNameSetBits = 6;
constexpr unsigned kNameSets = 1u << kNameSetBits;
constexpr unsigned kNameWays = 2;

/* Shared texts: at most kSharedRoom - 1 bytes, found by their length and
 * first, middle and last byte; a newer text takes the slot of an older one with the same hash.
 * Only a text of the block being carved is handed out again: what uses it is
 * carved after the token that began its component, so the second pass cannot
 * release its block before it is done with that component. */
constexpr size_t kSharedRoom = 32;
constexpr unsigned kSharedSlots = 256;
struct SharedText {
    size_t len;
    const char* text;   /* NULL: empty slot */
};
/* Shared parameters, found by their type and value text, under the same rule. */
constexpr unsigned kSharedParamSlots = 256;

constexpr size_t kHeaderSize = (sizeof(Block) + kAlign - 1) / kAlign * kAlign;

}  // namespace

struct calparser_arena {
    Block* first;     /* the oldest block still held; blocks chain forward */
    Block* current;   /* the block being carved, the newest */
    char* next;       /* the first free byte of `current` */
    char* end;        /* the end of `current` */
    array_t emptyList; /* the parameter list of every token without parameters */
    NameEntry names[2][kNameSets][kNameWays]; /* by calparser_name_kind */
    SharedText shared[kSharedSlots];
    CALPARSER_PARAM* sharedParams[kSharedParamSlots];
};

/* Whether the `len` bytes at `a` and `b` are equal: the short texts compared
 * here cost less inline, eight bytes a step, than through a call. */
static bool same_bytes(const char* a, const char* b, size_t len)
{
    for (; len >= 8; a += 8, b += 8, len -= 8) {
        uint64_t x, y;
        memcpy(&x, a, 8);
        memcpy(&y, b, 8);
        if (x != y)
            return false;
    }
    for (; len > 0; a++, b++, len--) {
        if (*a != *b)
            return false;
    }
    return true;
}

static char* payload(Block* block)
{
    return (char*)block + kHeaderSize;
}

/* Starts a block of at least `size` payload bytes. False when memory runs out. */
static bool add_block(calparser_arena* arena, size_t size)
{
    size_t payload = size > kBlockSize ? size : kBlockSize;
    Block* block = (Block*)malloc(kHeaderSize + payload);
    if (!block)
        return false;
    block->next = nullptr;
    block->size = payload;
    if (arena->current)
        arena->current->next = block;
    else
        arena->first = block;
    arena->current = block;
    arena->next = (char*)block + kHeaderSize;
    arena->end = arena->next + payload;
    return true;
}

/* `size` bytes at an address aligned to `align`, or NULL. */
static void* carve(calparser_arena* arena, size_t size, size_t align)
{
    uintptr_t at = ((uintptr_t)arena->next + align - 1) & ~(uintptr_t)(align - 1);
    if (!arena->current || at + size > (uintptr_t)arena->end) {
        if (!add_block(arena, size))
            return nullptr;
        at = (uintptr_t)arena->next;
    }
    arena->next = (char*)(at + size);
    return (void*)at;
}

calparser_arena* calparser_arena_new(void)
{
    return (calparser_arena*)calloc(1, sizeof(calparser_arena));
}

void calparser_arena_delete(calparser_arena* arena)
{
    if (!arena)
        return;
    for (Block* block = arena->first; block;) {
        Block* next = block->next;
        free(block);
        block = next;
    }
    free(arena);
}

void* calparser_arena_zalloc(calparser_arena* arena, size_t size)
{
    if (!arena)
        return calloc(1, size);
    void* memory = carve(arena, size, kAlign);
    if (memory)
        memset(memory, 0, size);
    return memory;
}

char* calparser_arena_text(calparser_arena* arena, size_t size)
{
    return arena ? (char*)carve(arena, size, 1) : (char*)malloc(size);
}

char* calparser_arena_strndup(calparser_arena* arena, const char* text, size_t len)
{
    char* copy = calparser_arena_text(arena, len + 1);
    if (!copy)
        return nullptr;
    memcpy(copy, text, len);
    copy[len] = '\0';
    return copy;
}

/* Whether `p` was carved from the block being carved. */
static bool in_current_block(const calparser_arena* arena, const void* p)
{
    const char* at = (const char*)p;
    return arena->current && at >= payload(arena->current) && at < arena->end;
}

CALPARSER_PARAM* calparser_arena_param(calparser_arena* arena, const CALPARSER_PARAM* like)
{
    CALPARSER_PARAM** slot = nullptr;
    if (arena && !like->pName) {
        unsigned mix = (unsigned)((uintptr_t)like->pValue >> 3) ^ (unsigned)like->nType * 31u;
        slot = &arena->sharedParams[mix % kSharedParamSlots];
        const CALPARSER_PARAM* seen = *slot;
        /* Its value must be of this block too: a parameter carved just after
         * a block began may hold a value text of the block before. */
        if (seen && in_current_block(arena, seen) && in_current_block(arena, seen->pValue) &&
            seen->nType == like->nType && seen->nValue == like->nValue && !seen->pName &&
            seen->pValue == like->pValue)
            return *slot;
    }
    CALPARSER_PARAM* made = (CALPARSER_PARAM*)calparser_arena_zalloc(arena, sizeof *made);
    if (!made)
        return nullptr;
    *made = *like;
    if (slot)
        *slot = made;
    return made;
}

char* calparser_arena_shared_text(calparser_arena* arena, const char* text, size_t len)
{
    if (!arena || len >= kSharedRoom)
        return calparser_arena_strndup(arena, text, len);
    unsigned mix = len == 0 ? 0
                            : (unsigned)len * 31u + (unsigned char)text[0] * 7u +
                                  (unsigned char)text[len / 2] * 3u +
                                  (unsigned char)text[len - 1];
    SharedText* slot = &arena->shared[mix % kSharedSlots];
    if (slot->text && in_current_block(arena, slot->text) && slot->len == len &&
        same_bytes(slot->text, text, len))
        return (char*)slot->text;
    char* copy = calparser_arena_strndup(arena, text, len);
    if (copy) {
        slot->len = len;
        slot->text = copy;
    }
    return copy;
}

array_t* calparser_arena_list(calparser_arena* arena, unsigned capacity)
{
    if (!arena)
        return array_new();
    array_t* list = (array_t*)calparser_arena_zalloc(arena, sizeof(array_t));
    if (list && capacity > 0) {
        list->data = (void**)carve(arena, capacity * sizeof(void*), kAlign);
        list->alloc = list->data ? capacity : 0;
    }
    return list;
}

array_t* calparser_arena_empty_list(calparser_arena* arena)
{
    return arena ? &arena->emptyList : array_new();
}

void calparser_arena_release_before(calparser_arena* arena, const void* keep)
{
    if (!arena)
        return;
    const char* kept = (const char*)keep;
    while (arena->first && arena->first != arena->current) {
        Block* oldest = arena->first;
        if (kept >= payload(oldest) && kept < payload(oldest) + oldest->size)
            return;
        arena->first = oldest->next;
        free(oldest);
    }
}

int calparser_arena_append(calparser_arena* arena, array_t* list, void* element)
{
    if (!arena)
        return array_append(list, element);
    if (list->count == list->alloc) {
        unsigned capacity = list->alloc ? list->alloc * 2 : kFirstListCapacity;
        void** grown = (void**)carve(arena, capacity * sizeof(void*), kAlign);
        if (!grown)
            return 3;
        if (list->count)
            memcpy(grown, list->data, list->count * sizeof(void*));
        list->data = grown;
        list->alloc = capacity;
    }
    list->data[list->count++] = element;
    return 0;
}

/* The set of the name `name` of `len` (at least 1) bytes. */
static NameEntry* name_set(calparser_arena* arena, calparser_name_kind kind, const char* name,
                           size_t len)
{
    uint32_t key = (uint32_t)len | (uint32_t)(unsigned char)name[0] << 8 |
                   (uint32_t)(unsigned char)name[len / 2] << 16 |
                   (uint32_t)(unsigned char)name[len - 1] << 24;
    /* Fibonacci hashing: the top bits of the product mix every key byte. */
    return arena->names[kind][(key * 2654435761u) >> (32 - kNameSetBits)];
}

bool calparser_arena_recall_name(calparser_arena* arena, calparser_name_kind kind,
                                 const char* name, size_t len, iCal_Token_t* pType,
                                 const char** ppUpper, size_t* pUpperLen)
{
    if (!arena || len == 0 || len >= kNameRoom)
        return false;
    const NameEntry* set = name_set(arena, kind, name, len);
    for (unsigned way = 0; way < kNameWays; way++) {
        const NameEntry* entry = &set[way];
        if (entry->len == len && same_bytes(entry->written, name, len)) {
            *pType = entry->type;
            *ppUpper = entry->upper;
            *pUpperLen = entry->upperLen;
            return true;
        }
    }
    return false;
}

void calparser_arena_remember_name(calparser_arena* arena, calparser_name_kind kind,
                                   const char* name, size_t len, iCal_Token_t type,
                                   const char* upper, size_t upperLen)
{
    if (!arena || !upper || len == 0 || len >= kNameRoom || upperLen >= kNameRoom)
        return;
    NameEntry* set = name_set(arena, kind, name, len);
    memmove(&set[1], &set[0], (kNameWays - 1) * sizeof *set);   /* the oldest goes */
    NameEntry* entry = &set[0];
    entry->len = (unsigned char)len;
    entry->upperLen = (unsigned char)upperLen;
    memcpy(entry->written, name, len);
    memcpy(entry->upper, upper, upperLen + 1);
    entry->type = type;
}

/* The white space str_trim removes. */
static bool is_trimmed_space(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

/* Trims and upper-cases as str_toupper(str_trim()) of a copy would, hashing
 * the bytes as they are written: one pass over the name, and a second over
 * the copy only when white space follows the name. */
UpperName::UpperName(const char* text, size_t len)
{
    const char* begin = text;
    const char* end = text + len;
    while (begin < end && is_trimmed_space(*begin))
        begin++;
    size_t room = end - begin;
    char* buffer = room < sizeof m_stack ? m_stack : (m_heap = (char*)malloc(room + 1));
    if (!buffer)
        return;
    size_t kept = 0;
    unsigned hash = 0;
    for (; kept < room && begin[kept] != '\0'; kept++) {
        char c = begin[kept];
        c = c >= 'a' && c <= 'z' ? (char)(c - 'a' + 'A') : c;
        buffer[kept] = c;
        hash = calparser_hashStep(hash, c);
    }
    bool trailingSpace = false;
    while (kept > 0 && is_trimmed_space(buffer[kept - 1])) {
        kept--;
        trailingSpace = true;
    }
    buffer[kept] = '\0';
    m_text = buffer;
    m_length = kept;
    /* Long names are hashed on a sample of their bytes. */
    m_hash = kept < CALPARSER_HASH_FULL_LENGTH && !trailingSpace
                 ? (hash == 0 ? 1 : hash)
                 : hashCodeWithLen(buffer, (unsigned)kept);
}

UpperName::~UpperName()
{
    if (m_heap)
        free(m_heap);
}
