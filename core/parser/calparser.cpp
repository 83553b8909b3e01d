/* The parse entry: library start-up, chunked intake of an input stream,
 * character-set conversion, lexing, the two passes of the assembly driver,
 * and the freeing of result arrays. */
#include "core/parser/calparser.h"

#include <plstr.h>
#include <stdlib.h>
#include <string.h>

#include "core/parser/cal_str.h"
#include "core/parser/cal_tok.h"
#include "core/parser/cal_tok_arena.h"
#include "core/parser/cal_tok_xml.h"
#include "core/parser/cal_vtimezone_array.h"
#include "core/parser/calparser_time.h"
#include "public/core_util/charset.h"
#include "public/db/caldb.h"
#include "public/db/caldb_timezone.h"
#include "public/recurrence/recurrence.h"
#include "public/util/config.h"

uint32_t admin_ldpool = 0;
uint32_t lookup_ldpool = 0;

namespace {

/* Bytes asked from the stream per read, in the input's character set. */
constexpr unsigned kChunkSize = 4096;
/* UTF-8 text room: four chunks, so the carried tail of a line and a fully
 * expanded chunk fit together. */
constexpr unsigned kTextSize = 4 * kChunkSize;
/* The most UTF-8 bytes one input byte of any character set turns into (a
 * single-byte charset's character of the Basic Multilingual Plane). */
constexpr unsigned kMaxUtf8PerByte = 3;

const char* const kUtf8 = "UTF-8";

bool is_line_end(char c) {
    return c == '\r' || c == '\n';
}

/* The stream's next byte without taking it: false at the end of the stream. */
bool stream_has_more(protstream* pStream) {
    int c = pStream->cnt > 0 ? (pStream->cnt--, *pStream->ptr++) : prot_fill(pStream);
    if (c < 0) return false;
    pStream->cnt++;
    pStream->ptr--;
    return true;
}

/* The buffers and counters of one intake. The raw buffer holds bytes in the
 * input's character set: the start of a multi-byte character cut at the end
 * of the previous read waits at its front. The text buffer holds UTF-8: the
 * unconsumed tail of the previous chunk at its front, the newly converted
 * text after it. */
struct Intake {
    protstream* stream;
    const char* charset;
    bool isUtf8;
    char* raw;
    unsigned rawLen;
    char* text;
    unsigned textLen;
    unsigned carry;
    unsigned line;
};

bool charset_is_utf8(const char* name) {
    return PL_strcasecmp(name, kUtf8) == 0 || PL_strcasecmp(name, "UTF8") == 0;
}

/* The raw bytes the next read may add: never more than the text buffer can
 * take once converted, so no converted byte is ever dropped for want of room. */
unsigned raw_room(const Intake* in) {
    unsigned textRoom = kTextSize - in->carry;
    unsigned fits = in->isUtf8 ? textRoom : textRoom / kMaxUtf8PerByte;
    unsigned limit = fits < kChunkSize ? fits : kChunkSize;
    return limit > in->rawLen ? limit - in->rawLen : 0;
}

/* Reads after the raw bytes already waiting until the raw buffer holds what
 * raw_room allows or the stream ends. */
void fill_raw(Intake* in) {
    unsigned want = raw_room(in);
    while (want > 0) {
        int n = prot_read(in->stream, in->raw + in->rawLen, want);
        if (n <= 0) break;
        in->rawLen += (unsigned)n;
        want -= (unsigned)n;
        if (want > 0 && !stream_has_more(in->stream)) break;
    }
}

/* Converts the raw bytes to UTF-8 after the carried text. A character cut at
 * the end of the raw bytes stays at the front of the raw buffer for the next
 * read, unless the stream has ended. */
void convert_raw(Intake* in, bool atEnd) {
    char* out = in->text + in->carry;
    int room = (int)(kTextSize - in->carry);
    int used = (int)in->rawLen;
    int written;
    if (atEnd)
        written = MEE_ConvertBuffer(in->charset, kUtf8, in->raw, (int)in->rawLen, out, room);
    else
        written = MEE_ConvertBufferEx(in->charset, kUtf8, in->raw, (int)in->rawLen, out, room,
                                      &used);
    if (written < 0) written = 0;
    if (used < 0 || (unsigned)used > in->rawLen) used = (int)in->rawLen;
    in->textLen = in->carry + (unsigned)written;
    in->text[in->textLen] = '\0';
    in->rawLen -= (unsigned)used;
    memmove(in->raw, in->raw + used, in->rawLen);
}

/* Runs `search` over the first `len` bytes of the text, which the lexer's
 * searches read as ending there. */
template <typename Search>
bool with_text_cut_at(Intake* in, unsigned len, Search search) {
    char hidden = in->text[len];
    in->text[len] = '\0';
    bool found = search(in->text, len);
    in->text[len] = hidden;
    return found;
}

/* Whether the `len` bytes at `text` hold a complete logical line, found by the
 * lexer's own line-end search. */
bool holds_complete_line(char* text, unsigned len) {
    unsigned ignoredLine = 0;
    return calparser_find_next_valid_CR(text, (int)len, &ignoredLine) != nullptr;
}

/* Whether a complete logical line among the `len` bytes at `text` begins with
 * "BEGIN:VCALENDAR", the line the strict format looks for. */
bool holds_vcalendar_line(char* text, unsigned len) {
    static const char kVCalendarLine[] = "BEGIN:VCALENDAR";
    char* end = text + len;
    unsigned ignoredLine = 0;
    for (char* line = text; line < end;) {
        char* lineEnd = calparser_find_next_valid_CR(line, (int)(end - line), &ignoredLine);
        if (!lineEnd) return false;
        if (strncmp(line, kVCalendarLine, sizeof kVCalendarLine - 1) == 0) return true;
        line = lineEnd + 1;
    }
    return false;
}

/* How many bytes of the text the lexer may see. While the stream goes on, a
 * trailing run of CR and LF is held back: the byte after it (the LF of a CR
 * LF pair, or the space of a fold) is still unread, and without it the lexer
 * would take the last line for complete. The run is held back only when the
 * shortened text still holds a complete line: otherwise the lexer would drop
 * the shortened text whole, and with it the one line that the full text
 * completes. The first text of the strict format keeps its run too when the
 * held-back line is the only "BEGIN:VCALENDAR" line, which that text must show. */
unsigned lexable_length(Intake* in, bool atEnd, int nFormat) {
    unsigned len = in->textLen;
    if (atEnd) return len;
    while (len > 0 && is_line_end(in->text[len - 1])) len--;
    if (len == in->textLen || !with_text_cut_at(in, len, holds_complete_line))
        return in->textLen;
    if (nFormat == CALPARSER_FORMAT_ICAL_STRICT && !with_text_cut_at(in, len, holds_vcalendar_line))
        return in->textLen;
    return len;
}

/* Lexes the first `len` bytes of the text; with an arena (iCalendar formats
 * only) the tokens are made in it; the lexer reads up to a NUL, so the byte after them is
 * hidden while it runs. */
int lex_text(Intake* in, unsigned len, array_t** ppTokens, int nFormat, calparser_arena* arena) {
    char hidden = in->text[len];
    in->text[len] = '\0';
    unsigned consumed = len;
    int rc = arena ? calparser_icalbuf_to_arena_toklist(in->text, len, ppTokens, &consumed,
                                                        &in->line,
                                                        nFormat == CALPARSER_FORMAT_ICAL_STRICT,
                                                        arena)
                   : calparser_format_to_toklist(in->text, len, ppTokens, &consumed, &in->line,
                                                 nFormat);
    in->text[len] = hidden;
    if (consumed > len) consumed = len;
    in->carry = in->textLen - consumed;
    memmove(in->text, in->text + consumed, in->carry);
    in->text[in->carry] = '\0';
    return rc;
}

/* Frees the result's slots from the last to the first; slot 0 too unless
 * keepZones is set. */
void free_slots(array_t* pComponents, bool keepZones) {
    for (unsigned i = pComponents->count; i-- > 0;) {
        if (i == CALPARSER_SLOT_TIMEZONES && keepZones) continue;
        array_t* slot = static_cast<array_t*>(array_elementat(pComponents, i));
        if (slot) {
            if (i == CALPARSER_SLOT_TIMEZONES)
                CAL_VTIMEZONE_FreeCalVTimeZoneList(slot);
            else if (i == CALPARSER_SLOT_EVENTS || i == CALPARSER_SLOT_TODOS)
                calparser_FreeCalVCompList(slot);
            array_delete(slot);
        }
        array_removeat(pComponents, i);
    }
}

/* calparser_create_token_list, the iCalendar tokens made in `arena` when it
 * is not NULL. */
int create_token_list(protstream* pStream, array_t** ppTokens, int nFormat, const char* pCharset,
                      calparser_arena* arena) {
    if (!pStream || !ppTokens) return 1;
    Intake in = {};
    in.stream = pStream;
    in.charset = pCharset && *pCharset ? pCharset : kUtf8;
    in.isUtf8 = charset_is_utf8(in.charset);
    in.line = 1;
    int rc = 0;
    in.raw = static_cast<char*>(calloc(kChunkSize + 1, 1));
    in.text = static_cast<char*>(calloc(kTextSize + 1, 1));
    if (!in.raw || !in.text) {
        rc = 3;
        goto done;
    }
    for (;;) {
        fill_raw(&in);
        bool atEnd = !stream_has_more(pStream);
        convert_raw(&in, atEnd);
        rc = lex_text(&in, lexable_length(&in, atEnd, nFormat), ppTokens, nFormat, arena);
        /* The VCALENDAR check applies to the first chunk only. */
        if (nFormat == CALPARSER_FORMAT_ICAL_STRICT) nFormat = CALPARSER_FORMAT_ICAL;
        /* What follows the last line end of the stream is never lexed. */
        if (rc > 0 || atEnd) break;
    }
    /* A stream cut off by a read error is not a whole calendar: the tokens
     * made so far stay, but the intake fails. */
    if (rc == 0 && prot_error(pStream)) rc = 2;
done:
    free(in.raw);
    free(in.text);
    return rc;
}

/* The rule work the series of one parse may share (recurrence_work.h): room
 * for a few costly series in any input, and more per line of input than an
 * ordinary calendar's series ever need, so only an input made of rules that
 * cost far more than their text is cut. The fixed part can be configured: a
 * server may want it smaller, and a fuzzer, whose inputs are often nothing
 * but costly rules, much smaller. */
constexpr char kParseWorkKey[] = "calstore.recurrence.parse_work";
constexpr int kParseWorkBase = 60000;
constexpr long long kParseWorkPerLine = 20;

long long parse_work_allowance(const array_t* tokens) {
    int base = config_get_int(config_getdefaultcache(), kParseWorkKey, kParseWorkBase);
    if (base < 0) base = kParseWorkBase;
    return base + kParseWorkPerLine * (long long)(tokens ? tokens->count : 0);
}

/* Whether the lexer of `nFormat` makes its tokens in the parse's arena. */
bool lexes_into_arena(int nFormat) {
    return nFormat == CALPARSER_FORMAT_ICAL || nFormat == CALPARSER_FORMAT_ICAL_STRICT;
}

}  // namespace

extern "C" {

int calparser_format_to_toklist(char* pBuf, unsigned nLen, array_t** ppTokens,
                                unsigned* pnConsumed, unsigned* pnLine, int nFormat) {
    switch (nFormat) {
    case CALPARSER_FORMAT_XML:
        return calparser_xmlbuf_to_toklist(pBuf, nLen, ppTokens, pnConsumed, pnLine);
    case CALPARSER_FORMAT_SXML:
        return calparser_sxmlbuf_to_toklist(pBuf, nLen, ppTokens, pnConsumed, pnLine);
    case CALPARSER_FORMAT_ICAL:
        return calparser_icalbuf_to_toklist(pBuf, nLen, ppTokens, pnConsumed, pnLine, 0);
    case CALPARSER_FORMAT_ICAL_STRICT:
        return calparser_icalbuf_to_toklist(pBuf, nLen, ppTokens, pnConsumed, pnLine, 1);
    default:
        return 0;
    }
}

int calparser_create_token_list(protstream* pStream, array_t** ppTokens, int nFormat,
                                int /*nUnused*/, const char* pCharset) {
    return create_token_list(pStream, ppTokens, nFormat, pCharset, nullptr);
}

int calparser_prot_to_dbstruct(protstream* pStream, array_t** ppComponents, int nFormat,
                               int nUnused, const char* pCharset, char* pDefaultTzid,
                               CALDB_CALPROPS* pCalProps, unsigned* pnMethodState,
                               char* pLookupCtx) {
    if (!pStream || !ppComponents) return 1;
    if (*ppComponents) calparser_FreeComponentArrayAndDestroy(ppComponents);
    if (nFormat < CALPARSER_FORMAT_XML || nFormat > CALPARSER_FORMAT_ICAL_STRICT) return 1;
    array_t* result = array_new();
    if (!result) {
        *ppComponents = nullptr;
        return 3;
    }
    (void)nUnused;
    /* The token list lives only inside this call: its tokens go into one arena
     * (cal_tok_arena.h) that is dropped as soon as the second pass is done. */
    calparser_arena* arena = lexes_into_arena(nFormat) ? calparser_arena_new() : nullptr;
    if (lexes_into_arena(nFormat) && !arena) {
        *ppComponents = result;
        return 2;
    }
    array_t* tokens = nullptr;
    int rc = create_token_list(pStream, &tokens, nFormat, pCharset, arena);
    if (rc == 0)
        rc = calparser_create_components_from_tokens(result, tokens, CALPARSER_PASS_ZONES,
                                                     pDefaultTzid, pCalProps, pnMethodState,
                                                     pLookupCtx);
    if (rc == 0) {
        const long long callerAllowance = recurrence_SetWorkAllowance(parse_work_allowance(tokens));
        rc = calparser_create_components_from_arena_tokens(result, tokens,
                                                           CALPARSER_PASS_COMPONENTS, pDefaultTzid,
                                                           pCalProps, pnMethodState, pLookupCtx,
                                                           arena);
        recurrence_SetWorkAllowance(callerAllowance);
    }
    *ppComponents = result;
    if (!arena) calparser_FreeTokenList(tokens);
    array_delete(tokens);
    calparser_arena_delete(arena);
    return rc == 0 ? 0 : 2;
}

int calparser_FreeComponentArrayAndDestroy(array_t** ppComponents) {
    if (!ppComponents || !*ppComponents) return 0;
    free_slots(*ppComponents, false);
    array_delete(*ppComponents);
    *ppComponents = nullptr;
    return 0;
}

int calparser_FreeComponentArrayExceptTimeZones(array_t* pComponents) {
    if (pComponents) free_slots(pComponents, true);
    return 0;
}

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

void parser_set_ldpool(void* unused, uint32_t pool) {
    (void)unused;
    admin_ldpool = pool;
}

void parser_set_lookup_ldpool(void* unused, uint32_t pool) {
    (void)unused;
    lookup_ldpool = pool;
}

}  // extern "C"
