/* The memory of one parse's token list.
 *
 * A whole parse lexes its input into a token list, walks it twice and drops it
 * at once. Made one by one on the heap, its hundreds of thousands of tokens,
 * parameters and texts cost more time in malloc and free than the lexing
 * itself. So the parse entry hands the iCalendar lexer an arena: every token,
 * parameter, parameter list and token text of that parse is carved out of
 * large blocks, and the blocks are released together when the parse ends.
 * Arena tokens are never given to calparser_FreeToken or the list free
 * functions; the token list array itself stays an ordinary array_t. Memory is
 * carved in order, so everything of a token lies after the token itself:
 * once the second pass has built the components before a token, the blocks
 * before it are released, and the records of the second pass fill the memory
 * the tokens leave, instead of adding to it.
 *
 * Tokens that callers make or receive (calparser_NewToken,
 * calparser_create_token_list, the lexer's public entries) stay on the heap,
 * one allocation each, and are freed with the free functions of cal_tok.h.
 * Every allocating function here takes the arena, and NULL for the heap. */
#ifndef CORE_PARSER_CAL_TOK_ARENA_H
#define CORE_PARSER_CAL_TOK_ARENA_H

#include <stddef.h>

#include "core/parser/cal_tok.h"
#include "core/parser/calparser.h"
#include "public/util/array.h"

struct calparser_arena;

/* A new empty arena, or NULL when memory runs out. */
calparser_arena* calparser_arena_new(void);
/* Releases every block of `arena` and the arena; NULL is a no-op. Everything
 * made from it is gone afterwards. */
void calparser_arena_delete(calparser_arena* arena);

/* `size` zero-filled bytes aligned for any record, from `arena`, or from
 * calloc when `arena` is NULL. NULL when memory runs out. */
void* calparser_arena_zalloc(calparser_arena* arena, size_t size);
/* A NUL-terminated copy of the `len` bytes at `text` (which hold no NUL), from
 * `arena`, or from malloc (freed with PL_strfree) when `arena` is NULL. NULL
 * when memory runs out. */
char* calparser_arena_strndup(calparser_arena* arena, const char* text, size_t len);
/* calparser_arena_strndup for a text that nothing will write into: a short
 * text met before in the same arena is handed out again instead of copied
 * (parameter values such as "REQ-PARTICIPANT" come back on nearly every
 * line). With a NULL arena, always a heap copy of its own. */
char* calparser_arena_shared_text(calparser_arena* arena, const char* text, size_t len);
/* A parameter equal to *like, which it takes over (its texts become the
 * result's, or are left to `arena`): from `arena`, where a parameter met
 * before in the block being carved, with no name of its own and the same
 * shared value text, is handed out again (nothing writes into arena
 * parameters); from calloc when `arena` is NULL (freed with
 * calparser_FreeParam). NULL when memory runs out (*like is then still the
 * caller's). */
CALPARSER_PARAM* calparser_arena_param(calparser_arena* arena, const CALPARSER_PARAM* like);
/* `size` uninitialised bytes for a text, as calparser_arena_strndup. */
char* calparser_arena_text(calparser_arena* arena, size_t size);

/* A new empty list, from `arena` with room for `capacity` elements, or from
 * array_new. NULL when memory runs out. */
array_t* calparser_arena_list(calparser_arena* arena, unsigned capacity);
/* A list that stays empty: one shared by every parameterless token of
 * `arena`; a new empty list (array_new) when `arena` is NULL. NULL when
 * memory runs out. Nothing may be appended to the shared list. */
array_t* calparser_arena_empty_list(calparser_arena* arena);

/* Releases the blocks of `arena` made before the one holding `keep` (an
 * address carved from `arena`): everything carved before `keep`'s block is
 * gone. The newest block always stays. NULL arena: a no-op. */
void calparser_arena_release_before(calparser_arena* arena, const void* keep);

/* Appends `element` to `list` (made by calparser_arena_list with the same
 * arena). Returns 0, or 3 when memory runs out (the list is unchanged). */
int calparser_arena_append(calparser_arena* arena, array_t* list, void* element);

/* The names the lexer classified in this parse. Each name is trimmed,
 * upper-cased, hashed and looked up, and the same few names come back on
 * nearly every line: a name met again, byte for byte as written, takes its
 * type from here. Short names only; a NULL arena remembers nothing. */
enum calparser_name_kind { CALPARSER_PROPERTY_NAME, CALPARSER_PARAMETER_NAME };
/* True when the `len` bytes at `name` were remembered as a name of `kind`:
 * *pType receives its type, *ppUpper its trimmed, upper-cased text (which
 * lives as long as the arena) and *pUpperLen that text's length. */
bool calparser_arena_recall_name(calparser_arena* arena, calparser_name_kind kind,
                                 const char* name, size_t len, iCal_Token_t* pType,
                                 const char** ppUpper, size_t* pUpperLen);
/* Remembers the `len` bytes at `name` as a name of `kind` with its type and
 * its trimmed, upper-cased text of `upperLen` bytes; a name too long to keep
 * is left out. */
void calparser_arena_remember_name(calparser_arena* arena, calparser_name_kind kind,
                                   const char* name, size_t len, iCal_Token_t type,
                                   const char* upper, size_t upperLen);

/* A name trimmed (str_trim) and upper-cased (str_toupper) for a keyword
 * look-up, in a buffer of its own: on the stack when short, so that most
 * look-ups allocate nothing, with its keyword hash (hashCodeWithLen) made on
 * the way. Like a string copy it stops at a NUL byte. */
class UpperName {
public:
    UpperName(const char* text, size_t len);
    ~UpperName();
    UpperName(const UpperName&) = delete;
    UpperName& operator=(const UpperName&) = delete;
    /* The name, or NULL when memory ran out. */
    const char* text() const { return m_text; }
    size_t length() const { return m_length; }
    unsigned hash() const { return m_hash; }

private:
    char m_stack[64];
    char* m_heap = nullptr;
    char* m_text = nullptr;
    size_t m_length = 0;
    unsigned m_hash = 0;
};

/* Builds the iCalendar lexer's tokens for one chunk in `arena` (NULL: on the
 * heap); otherwise as calparser_icalbuf_to_toklist. */
int calparser_icalbuf_to_arena_toklist(char* pBuf, unsigned nLen, array_t** ppTokens,
                                       unsigned* pnConsumed, unsigned* pnLine,
                                       int bCheckVCalendar, calparser_arena* arena);

/* calparser_create_components_from_tokens over a token list made in `arena`:
 * the second pass releases the arena's blocks behind each component it has
 * built, so the tokens are gone by the time the walk ends. NULL arena: the
 * plain walk. */
int calparser_create_components_from_arena_tokens(array_t* pResult, array_t* pTokens,
                                                  eCALPARSER_PARSER_PASS nPass,
                                                  char* pDefaultTzid, CALDB_CALPROPS* pCalProps,
                                                  unsigned* pnMethodState, char* pLookupCtx,
                                                  calparser_arena* arena);

#endif
