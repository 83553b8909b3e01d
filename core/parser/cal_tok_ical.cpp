/* The iCalendar text lexer: cuts a chunk of UTF-8 content lines into tokens.
 *
 * The chunk loop finds the end of each logical line (skipping folds and
 * quoted-printable soft breaks), copies the line, unfolds the copy, splits it
 * into name, parameters and value and fills a token. Every scan here moves
 * forward only, so a chunk is lexed in time linear in its length.
 *
 * The search for the line end reads each byte once and notes on the way what
 * the later steps need (cal_tok_scan.h): a regular line, nearly every line,
 * is then unfolded, split and copied without being searched again. A line
 * with a NUL byte, a CR not before an LF, a CR line end or quoted-printable
 * soft breaks takes the general path, which searches for each part.
 *
 * Inside a whole parse the tokens live in the parse's arena
 * (cal_tok_arena.h), and the lines are unfolded in the intake's own text
 * buffer instead of a copy: the bytes of a consumed line are never read
 * again. Lengths found once are passed on, never measured again. */
#include "core/parser/cal_tok.h"

#include <string.h>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include <plstr.h>

#include "core/parser/cal_tok_arena.h"
#include "core/parser/cal_tok_scan.h"
#include "public/util/str.h"

namespace {

constexpr char kVCalendarLine[] = "BEGIN:VCALENDAR";
constexpr unsigned kVCalendarLineLen = sizeof(kVCalendarLine) - 1;

/* Where the line-end search of one chunk may look, and what it already knows.
 * A failed LF search is remembered so that a text without LFs (CR line ends)
 * is not searched again from every line start. */
struct line_scan {
    const char* chunkEnd;   /* a line's first line end lies before this */
    const char* textEnd;    /* continuations stop at the terminating NUL here;
                               NUL bytes inside the text do not stop them */
    const char* noLfFrom;   /* no LF in [noLfFrom, noLfTo) */
    const char* noLfTo;
};

line_scan make_line_scan(const char* chunkEnd, const char* textEnd)
{
    line_scan scan = {};
    scan.chunkEnd = chunkEnd;
    scan.textEnd = textEnd;
    return scan;
}

/* The next LF in [from, limit), or the next CR when that stretch holds no LF.
 * The bytes before an LF are noted in *marks; a CR line end leaves the line
 * to the general path. */
const char* next_line_break(line_scan* scan, const char* from, const char* limit,
                            line_marks* marks)
{
    if (from >= limit)
        return nullptr;
    bool knownNoLf = scan->noLfFrom && from >= scan->noLfFrom && limit <= scan->noLfTo;
    if (!knownNoLf) {
        const char* lf = scan_line_part(from, limit, marks);
        if (lf)
            return lf;
        scan->noLfFrom = from;
        scan->noLfTo = limit;
    }
    marks->irregular = true;
    return (const char*)memchr(from, '\r', limit - from);
}

/* `c` with a-z upper-cased, as toupper in the C locale, without its call. */
inline char ascii_upper(char c)
{
    return c >= 'a' && c <= 'z' ? (char)(c - 'a' + 'A') : c;
}

/* An upper-case word to find ignoring case: every folded line is searched for
 * ENCODING. Sixteen positions at a time are tested on the word's first and
 * last byte, and only those that match both are compared in full; the last
 * stretch too short for that is searched by stepping over the text with a
 * skip table (Horspool). */
struct CaselessWord {
    const char* word;
    size_t len;
    unsigned char skip[256];

    explicit CaselessWord(const char* upper) : word(upper), len(strlen(upper))
    {
        memset(skip, (int)len, sizeof skip);
        for (size_t i = 0; i + 1 < len; i++) {
            unsigned char c = (unsigned char)upper[i];
            skip[c] = (unsigned char)(len - 1 - i);
            if (c >= 'A' && c <= 'Z')
                skip[c - 'A' + 'a'] = skip[c];
        }
    }

    /* Whether the word stands at `p`, which has room for it. */
    bool stands_at(const char* p) const
    {
        size_t i = len;
        while (i > 0 && ascii_upper(p[i - 1]) == word[i - 1])
            i--;
        return i == 0;
    }

#ifdef __SSE2__
    /* A bit for each of the 16 bytes at `p` that is `upper` ignoring case. */
    static unsigned caseless_bits(const char* p, char upper)
    {
        __m128i v = _mm_loadu_si128((const __m128i*)p);
        if (upper >= 'A' && upper <= 'Z')   /* a letter: both cases differ in bit 5 only */
            return (unsigned)_mm_movemask_epi8(
                _mm_cmpeq_epi8(_mm_or_si128(v, _mm_set1_epi8(0x20)), _mm_set1_epi8(upper | 0x20)));
        return (unsigned)_mm_movemask_epi8(_mm_cmpeq_epi8(v, _mm_set1_epi8(upper)));
    }
#endif

    /* The end of the first occurrence in [from, limit), or NULL. */
    const char* find_in(const char* from, const char* limit) const
    {
        const char* p = from;
#ifdef __SSE2__
        /* Both loads stay before `limit`. */
        for (; limit - p >= (ptrdiff_t)(len - 1 + 16); p += 16) {
            unsigned candidates =
                caseless_bits(p, word[0]) & caseless_bits(p + len - 1, word[len - 1]);
            for (; candidates != 0; candidates &= candidates - 1) {
                const char* at = p + __builtin_ctz(candidates);
                if (stands_at(at))
                    return at + len;
            }
        }
#endif
        for (; limit - p >= (ptrdiff_t)len; p += skip[(unsigned char)p[len - 1]]) {
            if (stands_at(p))
                return p + len;
        }
        return nullptr;
    }
};

/* A line whose first physical line names ENCODING and, after it,
 * QUOTED-PRINTABLE continues at soft breaks instead of folds. */
bool is_quoted_printable(const char* lineStart, const char* firstBreak)
{
    static const CaselessWord kEncoding("ENCODING");
    static const CaselessWord kQuotedPrintable("QUOTED-PRINTABLE");
    const char* afterEncoding = kEncoding.find_in(lineStart, firstBreak);
    return afterEncoding && kQuotedPrintable.find_in(afterEncoding, firstBreak);
}

/* Whether the line end at `lineEnd` continues the logical line begun at
 * `lineStart`: a following space (a fold), or in quoted-printable mode an "="
 * right before the line end or before its CR (a soft break). */
bool continues_line(const char* lineStart, const char* lineEnd, bool quotedPrintable)
{
    if (!quotedPrintable)
        return lineEnd[1] == ' ';
    if (lineEnd - lineStart >= 1 && lineEnd[-1] == '=')
        return true;
    return lineEnd - lineStart >= 2 && lineEnd[-1] == '\r' && lineEnd[-2] == '=';
}

/* Whether the mode of the line decides if the line end at `lineEnd`
 * continues it: only when a space follows it or an "=" precedes it (or its
 * CR). Any other line end ends the line in both modes, so that the search
 * for ENCODING is left out for nearly every line. */
bool mode_matters(const char* lineStart, const char* lineEnd)
{
    return continues_line(lineStart, lineEnd, false) || continues_line(lineStart, lineEnd, true);
}

/* The line end that ends the logical line at `lineStart`, or NULL when the
 * text ends first. Adds one to *pnLine for every physical line end passed and
 * notes the line in *marks (reset first); a quoted-printable line, whose soft
 * breaks keep their LF, is left to the general path. */
const char* find_logical_line_end(line_scan* scan, const char* lineStart, unsigned* pnLine,
                                  line_marks* marks)
{
    marks->clear();
    const char* lineEnd = next_line_break(scan, lineStart, scan->chunkEnd, marks);
    if (!lineEnd)
        return nullptr;
    (*pnLine)++;
    if (!mode_matters(lineStart, lineEnd))
        return lineEnd;
    bool quotedPrintable = is_quoted_printable(lineStart, lineEnd);
    if (quotedPrintable)
        marks->irregular = true;
    while (continues_line(lineStart, lineEnd, quotedPrintable)) {
        /* A fold's space is dropped by unfolding: the next part starts after it. */
        const char* from = lineEnd + (quotedPrintable ? 1 : 2);
        lineEnd = next_line_break(scan, from, scan->textEnd, marks);
        if (!lineEnd)
            return nullptr;
        (*pnLine)++;
    }
    return lineEnd;
}

/* Narrows [*pBegin, *pEnd) by one leading and one trailing double quote. */
void strip_one_quote_pair(const char** pBegin, const char** pEnd)
{
    if (*pBegin < *pEnd && **pBegin == '"')
        (*pBegin)++;
    if (*pEnd > *pBegin && (*pEnd)[-1] == '"')
        (*pEnd)--;
}

/* A copy of the `len` bytes of `value` (no NUL among them) unescaped, with a
 * CR put before each LF that is not its first byte and lacks one when `withCR`
 * is set, made in `arena` (NULL: the heap); NULL when memory runs out. One
 * pass does what calparser_convertPropValToValid and then calparser_addCR do. */
char* copy_unescaped(calparser_arena* arena, const char* value, size_t len, bool withCR)
{
    /* Unescaping never lengthens the text, and an escaped LF gains its CR in
     * the room the escape freed: only the raw LFs need a byte more. */
    size_t rawLfs = 0;
    const char* end = value + len;
    for (const char* lf = value; withCR && (lf = (const char*)memchr(lf, '\n', end - lf)); lf++)
        rawLfs++;
    const char* backslash = (const char*)memchr(value, '\\', len);
    if (!backslash && rawLfs == 0)
        return calparser_arena_strndup(arena, value, len);   /* nothing to change */
    char* copy = calparser_arena_text(arena, len + rawLfs + 1);
    if (!copy)
        return nullptr;
    char* out = copy;
    auto put = [&](char c) {
        if (withCR && c == '\n' && out > copy && out[-1] != '\r')
            *out++ = '\r';
        *out++ = c;
    };
    for (const char* in = value; in < end;) {
        if (rawLfs == 0 && *in != '\\') {
            /* Up to the next backslash nothing changes: copied whole. */
            const char* stop = (const char*)memchr(in, '\\', end - in);
            size_t run = (stop ? stop : end) - in;
            memcpy(out, in, run);
            out += run;
            in += run;
            continue;
        }
        if (in[0] != '\\' || in + 1 == end) {
            put(*in++);
            continue;
        }
        char escaped = in[1];
        in += 2;
        switch (escaped) {
        case 'n':
        case 'N': put('\n'); break;
        case 'r': put('\r'); break;
        case ';':
        case ',':
        case ':': put(escaped); break;
        default:
            /* Kept as written, a doubled backslash included: its second
             * backslash does not start a sequence of its own. */
            put('\\');
            put(escaped);
            break;
        }
    }
    *out = '\0';
    return copy;
}

/* Frees a parameter made on the heap; arena parameters go with the arena. */
void discard_param(calparser_arena* arena, CALPARSER_PARAM* param)
{
    if (!arena)
        calparser_FreeParam(&param);
}

/* The type of the `len` bytes at `name`, a name of `kind`, in *pType, and when
 * that type is `extension` a copy from `arena` of the name trimmed and
 * upper-cased in *ppExtension. A name met before in this parse takes the type
 * remembered for it; another is trimmed, upper-cased and given to
 * `look_up(const UpperName&)`, then remembered when `remember` is set. False
 * when memory runs out. */
template <typename LookUp>
bool classify_remembered(const char* name, size_t len, calparser_name_kind kind, bool remember,
                         iCal_Token_t extension, LookUp look_up, calparser_arena* arena,
                         iCal_Token_t* pType, char** ppExtension)
{
    auto keep_extension_name = [&](const char* upper, size_t upperLen) {
        return *pType != extension ||
               (*ppExtension = calparser_arena_strndup(arena, upper, upperLen)) != nullptr;
    };
    const char* remembered = nullptr;
    size_t rememberedLen = 0;
    if (remember &&
        calparser_arena_recall_name(arena, kind, name, len, pType, &remembered, &rememberedLen))
        return keep_extension_name(remembered, rememberedLen);
    UpperName upper(name, len);
    if (!upper.text())
        return false;
    *pType = look_up(upper);
    if (remember)
        calparser_arena_remember_name(arena, kind, name, len, *pType, upper.text(),
                                      upper.length());
    return keep_extension_name(upper.text(), upper.length());
}

/* Sets the type of `param` from the `len` bytes of its name at `name`, and
 * its pName for an extension name. False when memory runs out. */
bool classify_param_name(const char* name, size_t len, int bRecurrence, CALPARSER_PARAM* param,
                         calparser_arena* arena)
{
    const CALPARSER_STR* table = CALPARSER_STR::Instance();
    auto look_up = [&](const UpperName& upper) {
        return bRecurrence ? table->getRecurrenceParamTypeWithHash(upper.text(), upper.hash())
                           : table->getParamTypeWithHash(upper.text(), upper.hash());
    };
    /* Recurrence-rule part names come from another list: not remembered. */
    return classify_remembered(name, len, CALPARSER_PARAMETER_NAME, !bRecurrence, TOKEN_X_PARAM,
                               look_up, arena, &param->nType, &param->pName);
}

/* Makes one parameter of the stretch [start, stop), whose first "=" is at
 * `equals` (NULL: none), and appends it. False when memory runs out (nothing
 * is appended then). */
bool append_param(const char* start, const char* equals, const char* stop, array_t* pParams,
                  int bRecurrence, calparser_arena* arena)
{
    const char* nameEnd = equals ? equals : stop;
    CALPARSER_PARAM parsed = {};   /* its texts are the arena's or, without one, ours */
    CALPARSER_PARAM* param = nullptr;
    if (classify_param_name(start, nameEnd - start, bRecurrence, &parsed, arena)) {
        const char* valueBegin = equals ? equals + 1 : stop;
        const char* valueEnd = stop;
        strip_one_quote_pair(&valueBegin, &valueEnd);
        parsed.pValue = calparser_arena_shared_text(arena, valueBegin, valueEnd - valueBegin);
        if (parsed.pValue)
            param = calparser_arena_param(arena, &parsed);
    }
    if (!param) {
        if (!arena) {
            PL_strfree(parsed.pName);
            PL_strfree(parsed.pValue);
        }
        return false;
    }
    if (calparser_arena_append(arena, pParams, param) != 0) {
        discard_param(arena, param);
        return false;
    }
    return true;
}

/* Where the parts of an unfolded line lie. */
struct line_parts {
    char* name = nullptr;            /* the line itself */
    unsigned nameLen = 0;            /* up to the first ";" or the colon; 0 without a colon */
    char* value = nullptr;           /* after the colon; NULL when the line has none */
    unsigned valueLen = 0;
    const char* semicolon = nullptr; /* the ";" that begins the parameters, or NULL */
    const char* colon = nullptr;     /* the colon that ends them, set with semicolon */
    unsigned paramCount = 0;         /* the parameters between the two */
    const param_mark* paramMarks = nullptr;  /* where each stands, when the scan kept it */
    bool valueIsPlain = false;       /* the value is known to hold no backslash and no LF */
};

/* The number of parameters between the first ";" and the colon. */
unsigned count_params(const char* semicolon, const char* colon)
{
    unsigned count = 0;
    for (const char* p = semicolon; p && p < colon;
         p = (const char*)memchr(p + 1, ';', colon - p - 1))
        count++;
    return count;
}

/* The parts of the `len` bytes of `pLine` (NULL: a line without parts), as
 * calparser_get_line_vals splits them, found by searching the line. */
line_parts split_line(char* pLine, size_t len)
{
    line_parts parts;
    parts.name = pLine;
    if (!pLine)
        return parts;
    char* colon = findValidICALColon(pLine, (unsigned)len);
    if (!colon)
        return parts;
    parts.value = colon + 1;
    parts.valueLen = (unsigned)(pLine + len - parts.value);
    char* semicolon = (char*)memchr(pLine, ';', colon - pLine);
    parts.nameLen = (unsigned)((semicolon ? semicolon : colon) - pLine);
    if (semicolon) {
        parts.semicolon = semicolon;
        parts.colon = colon;
        parts.paramCount = count_params(semicolon, colon);
    }
    return parts;
}

/* Appends the parameters of `parts`. Each runs from after its ";" to the next
 * ";" or the colon, even inside quotes. */
void append_params(const line_parts& parts, array_t* pParams, int bRecurrence,
                   calparser_arena* arena)
{
    const char* start = parts.semicolon + 1;
    for (unsigned i = 0;; i++) {
        const char* stop;
        const char* equals;
        if (parts.paramMarks) {
            const param_mark& mark = parts.paramMarks[i];
            stop = i + 1 < parts.paramCount ? parts.name + parts.paramMarks[i + 1].semicolon
                                            : parts.colon;
            equals = mark.equals == line_marks::kNone ? nullptr : parts.name + mark.equals;
        } else {
            stop = (const char*)memchr(start, ';', parts.colon - start);
            if (!stop)
                stop = parts.colon;
            equals = (const char*)memchr(start, '=', stop - start);
        }
        if (!append_param(start, equals, stop, pParams, bRecurrence, arena) || stop == parts.colon)
            return;
        start = stop + 1;
    }
}

/* split_line for the unfolded `line` of `len` bytes whose scan left regular
 * `marks` with a colon: nothing is searched again. */
line_parts parts_from_marks(char* line, size_t len, const line_marks& marks)
{
    line_parts parts;
    parts.name = line;
    char* colon = line + marks.colon;
    parts.value = colon + 1;
    parts.valueLen = (unsigned)(len - marks.colon - 1);
    /* Unfolding left no LF: every inner LF of a regular line ended a fold. */
    parts.valueIsPlain = !marks.escapeInValue;
    if (marks.semicolons == 0) {
        parts.nameLen = (unsigned)marks.colon;
        return parts;
    }
    parts.nameLen = (unsigned)marks.first_semicolon();
    parts.semicolon = line + marks.first_semicolon();
    parts.colon = colon;
    parts.paramCount = marks.semicolons;
    if (marks.semicolons <= line_marks::kParamRoom)
        parts.paramMarks = marks.params;
    return parts;
}

/* copy_unescaped of the `len` bytes at `value`, a plain copy when `plain`
 * says they hold nothing to change. */
char* copy_value(calparser_arena* arena, const char* value, size_t len, bool plain, bool withCR)
{
    if (plain)
        return calparser_arena_strndup(arena, value, len);
    return copy_unescaped(arena, value, len, withCR);
}

/* The property type of the `len` bytes at `name`; an extension name is kept in
 * *ppName (a new text from `arena`). 0 when a copy cannot be made. */
iCal_Token_t classify_name(const char* name, unsigned len, char** ppName, calparser_arena* arena)
{
    const CALPARSER_STR* table = CALPARSER_STR::Instance();
    auto look_up = [&](const UpperName& upper) {
        return table->getPropTypeWithHash(upper.text(), (unsigned)upper.length(), upper.hash());
    };
    iCal_Token_t type = TOKEN_UNKNOWN;
    if (!classify_remembered(name, len, CALPARSER_PROPERTY_NAME, true, TOKEN_X, look_up, arena,
                             &type, ppName))
        return TOKEN_UNKNOWN;
    return type;
}

/* The general unfolding: scans from the last byte to the first, building the
 * result backwards at the end of the same buffer: `out` is the first byte of
 * what is kept, so "the byte after" a position is *out, as the scan has left
 * it. Returns the new length. */
size_t unfold_backwards(char* line, size_t len)
{
    char* end = line + len;
    char* out = end;
    for (size_t i = len; i-- > 0;) {
        char c = line[i];
        bool hasNext = out < end;
        if (c == '\n' && hasNext && *out == ' ')
            out++;                          /* a fold: drop the LF and its space */
        else if (c == '\r' && hasNext)
            continue;                       /* a CR inside the line */
        else
            *--out = c;
    }
    if (out < end && end[-1] == '\r')
        end--;
    size_t kept = end - out;
    memmove(line, out, kept);
    line[kept] = '\0';
    return kept;
}

/* The first `c` in [from, end), or `end`. */
const char* find_byte(const char* from, const char* end, char c)
{
    const char* found = (const char*)memchr(from, c, end - from);
    return found ? found : end;
}

/* True when every LF of the `len` bytes at `line` has a space right after it.
 * The backward scan then drops every CR (one with nothing kept after it ends
 * the result and is cut off there too) and every LF with its space, which a
 * forward pass over whole runs can do at a fraction of the cost. */
bool folds_are_plain(const char* line, size_t len)
{
    const char* end = line + len;
    for (const char* lf = find_byte(line, end, '\n'); lf < end; lf = find_byte(lf + 1, end, '\n')) {
        if (lf + 1 == end || lf[1] != ' ')
            return false;
    }
    return true;
}

/* unfold_backwards for a line where folds_are_plain holds: copies the runs
 * between CRs and folds forward, in place. */
size_t unfold_plain(char* line, size_t len)
{
    const char* end = line + len;
    const char* cr = find_byte(line, end, '\r');
    const char* lf = find_byte(line, end, '\n');
    const char* in = line;
    char* out = line;
    for (;;) {
        const char* stop = cr < lf ? cr : lf;
        size_t run = stop - in;
        if (out != in)
            memmove(out, in, run);
        out += run;
        if (stop == end)
            break;
        if (stop == cr) {
            in = cr + 1;
            cr = find_byte(in, end, '\r');
        } else {
            in = lf + 2;                    /* the LF and its space */
            lf = find_byte(in, end, '\n');
        }
    }
    *out = '\0';
    return out - line;
}

/* Unfolds the `len` bytes of the NUL-terminated `line` in place by the rules
 * of calparser_trim_line; returns the new length. */
size_t unfold_in_place(char* line, size_t len)
{
    /* Nearly every line holds no line end but the CR of its CR LF. */
    if (!memchr(line, '\n', len)) {
        const char* cr = (const char*)memchr(line, '\r', len);
        if (!cr)
            return len;
        if (cr == line + len - 1) {
            line[--len] = '\0';
            return len;
        }
    }
    return folds_are_plain(line, len) ? unfold_plain(line, len) : unfold_backwards(line, len);
}

/* The logical line [start, end) as a NUL-terminated text to unfold: inside a
 * whole parse (`arena` set) the line itself, else a copy, NULL when memory
 * runs out. Like a string copy it stops at a NUL byte in the line, unless
 * `noNul` says it holds none. *pLen receives its length. */
char* take_line(char* start, const char* end, calparser_arena* arena, bool noNul, size_t* pLen)
{
    *pLen = noNul ? (size_t)(end - start) : strnlen(start, end - start);
    if (!arena)
        return PL_strndup(start, (PRUint32)*pLen);
    start[*pLen] = '\0';
    return start;
}

/* unfold_in_place for the `len` bytes of `line`, a copy of the logical line
 * at `lineStart` (or that line itself) whose `marks` are regular: the kept
 * bytes of each part are moved together, no byte is searched. */
size_t unfold_regular(char* line, size_t len, const char* lineStart, const line_marks& marks)
{
    if (marks.parts > line_marks::kPartRoom)
        return unfold_plain(line, len);
    char* out = line + marks.partKept[0];
    for (unsigned i = 1; i < marks.parts; i++) {
        memmove(out, line + (marks.partFrom[i] - lineStart), marks.partKept[i]);
        out += marks.partKept[i];
    }
    *out = '\0';
    return out - line;
}

/* calparser_populate_token_helper for the unfolded `pLine` of `len` bytes
 * split into `parts`, the token's parts made in `arena`. */
int fill_token(CALPARSER_TOKEN* token, char* pLine, size_t len, const line_parts& parts,
               unsigned nLine, int bRecurrence, int bKeepXLine, calparser_arena* arena)
{
    array_t* params = parts.semicolon ? calparser_arena_list(arena, parts.paramCount)
                                      : calparser_arena_empty_list(arena);
    if (!params)
        return 3;
    if (parts.semicolon)
        append_params(parts, params, bRecurrence, arena);
    token->nType = parts.name ? classify_name(parts.name, parts.nameLen, &token->pName, arena)
                              : TOKEN_UNKNOWN;
    /* No colon: the line has an empty value. */
    const char* value = parts.value ? parts.value : "";
    unsigned valueLen = parts.valueLen;

    if (token->nType == TOKEN_BEGIN || token->nType == TOKEN_END) {
        token->nValue = calparser_getComponentType(value, valueLen);
    } else if (isKeywordPropertyType(token->nType)) {
        token->nValue = calparser_getKeywordValueType(token->nType, value, valueLen);
    } else if (token->nType == TOKEN_X) {
        token->pValue = bKeepXLine ? calparser_arena_strndup(arena, pLine, len)
                                   : copy_value(arena, value, valueLen, parts.valueIsPlain, false);
    } else if (valueLen > 0) {
        token->pValue = copy_value(arena, value, valueLen, parts.valueIsPlain, true);
    }
    token->pParamList = params;
    token->nLine = nLine;
    return 0;
}

} /* namespace */

extern "C" {

char* calparser_find_next_valid_CR(char* p, int nLen, unsigned* pnLine)
{
    if (!p || nLen <= 0)
        return nullptr;
    unsigned ignored = 0;
    const char* chunkEnd = p + nLen;
    line_scan scan = make_line_scan(chunkEnd, chunkEnd + strlen(chunkEnd));
    line_marks unused;
    return (char*)find_logical_line_end(&scan, p, pnLine ? pnLine : &ignored, &unused);
}

int calparser_icalbuf_to_toklist(char* pBuf, unsigned nLen, array_t** ppTokens,
                                 unsigned* pnConsumed, unsigned* pnLine, int bCheckVCalendar)
{
    return calparser_icalbuf_to_arena_toklist(pBuf, nLen, ppTokens, pnConsumed, pnLine,
                                              bCheckVCalendar, nullptr);
}

} /* extern "C" */

/* A zeroed token from `arena` (the heap when NULL); NULL when out of memory. */
static CALPARSER_TOKEN* new_token_in(calparser_arena* arena)
{
    return (CALPARSER_TOKEN*)calparser_arena_zalloc(arena, sizeof(CALPARSER_TOKEN));
}

int calparser_icalbuf_to_arena_toklist(char* pBuf, unsigned nLen, array_t** ppTokens,
                                       unsigned* pnConsumed, unsigned* pnLine,
                                       int bCheckVCalendar, calparser_arena* arena)
{
    if (!pBuf || !ppTokens || !pnLine)
        return 1;
    if (!*ppTokens && !(*ppTokens = array_new()))
        return 3;

    int rc = 0;
    bool sawVCalendar = false;
    bool lineCopyFailed = false;
    unsigned nConsumed = 0;
    unsigned nLineWork = *pnLine;
    CALPARSER_TOKEN* pending = nullptr;
    line_scan scan = make_line_scan(pBuf + nLen, pBuf + nLen);
    char* lineStart = pBuf;
    line_marks marks;
    const char* lineEnd = find_logical_line_end(&scan, lineStart, &nLineWork, &marks);

    while (lineEnd && nConsumed < nLen) {
        if (!pending && !(pending = new_token_in(arena))) {
            rc = 3;
            goto done;
        }
        size_t len = 0;
        char* line = take_line(lineStart, lineEnd, arena, !marks.irregular, &len);
        if (!line) {
            lineCopyFailed = true;   /* the rest is carried into the next chunk */
            break;
        }
        if (bCheckVCalendar && strncmp(line, kVCalendarLine, kVCalendarLineLen) == 0)
            sawVCalendar = true;
        len = marks.irregular ? unfold_in_place(line, len)
                              : unfold_regular(line, len, lineStart, marks);
        lineStart = pBuf + (lineEnd - pBuf) + 1;
        bool marksSplit = !marks.irregular && marks.colon != line_marks::kNone;
        fill_token(pending, line, len,
                   marksSplit ? parts_from_marks(line, len, marks) : split_line(line, len),
                   *pnLine, 0, 1, arena);
        if (!arena)
            PL_strfree(line);
        nConsumed = (unsigned)(lineStart - pBuf);
        *pnLine = nLineWork;
        if (array_append(*ppTokens, pending) != 0) {
            rc = 3;
            goto done;
        }
        pending = nullptr;
        lineEnd = find_logical_line_end(&scan, lineStart, &nLineWork, &marks);
    }

    /* A chunk without one complete line is dropped, so that the carry can
     * never outgrow the intake's buffer. */
    if (nConsumed == 0 && !lineCopyFailed)
        nConsumed = nLen;
    if (bCheckVCalendar && !sawVCalendar)
        rc = 2;
done:
    if (!arena)
        calparser_FreeToken(&pending);
    if (pnConsumed)
        *pnConsumed = nConsumed;
    return rc;
}

extern "C" {

int calparser_trim_line(char** ppLine)
{
    if (!ppLine || !*ppLine)
        return 1;
    unfold_in_place(*ppLine, strlen(*ppLine));
    return 0;
}

char* findValidICALColon(char* p, unsigned nLen)
{
    if (!p)
        return nullptr;
    char* end = p + nLen;
    char* colon = (char*)memchr(p, ':', nLen);
    char* from = p;
    while (colon) {
        char* open = (char*)memchr(from, '"', colon - from);
        if (!open)
            break;
        char* close = (char*)memchr(open + 1, '"', end - open - 1);
        if (!close)
            break;                          /* a quote without partner */
        from = close + 1;
        if (close < colon)
            continue;                       /* a closed pair before the colon */
        char* after = (char*)memchr(from, ':', end - from);
        if (!after)
            break;                          /* the colon inside the quotes stands */
        colon = after;
    }
    return colon;
}

int calparser_get_line_vals(char* pLine, char** ppName, unsigned* pnNameLen, char** ppValue,
                            unsigned* pnValueLen, array_t* pParams, int bRecurrence)
{
    if (!ppName || !pnNameLen || !ppValue || !pnValueLen || !pParams)
        return 1;
    line_parts parts = split_line(pLine, pLine ? strlen(pLine) : 0);
    *ppName = parts.name;
    *pnNameLen = parts.nameLen;
    *ppValue = parts.value;
    *pnValueLen = parts.valueLen;
    if (parts.semicolon)
        append_params(parts, pParams, bRecurrence, nullptr);
    return 0;
}

int calparser_trim_and_capitalize_propName(char** ppName)
{
    if (!ppName || !*ppName)
        return 1;
    *ppName = str_toupper(str_trim(*ppName));
    return 0;
}

char* calparser_trim_quotes(char* p)
{
    if (!p)
        return nullptr;
    const char* begin = p;
    const char* end = p + strlen(p);
    strip_one_quote_pair(&begin, &end);
    *(char*)end = '\0';
    return (char*)begin;
}

int calparser_convertPropValToValid(char** ppValue)
{
    if (!ppValue || !*ppValue)
        return 0;
    const char* in = *ppValue;
    char* out = *ppValue;
    while (*in) {
        if (in[0] != '\\' || in[1] == '\0') {
            *out++ = *in++;
            continue;
        }
        switch (in[1]) {
        case 'n':
        case 'N': *out++ = '\n'; break;
        case 'r': *out++ = '\r'; break;
        case ';':
        case ',':
        case ':': *out++ = in[1]; break;
        default:
            /* Kept as written, a doubled backslash included: its second
             * backslash does not start a sequence of its own. */
            *out++ = in[0];
            *out++ = in[1];
            break;
        }
        in += 2;
    }
    *out = '\0';
    return 0;
}

void calparser_addCR(char** ppValue)
{
    if (!ppValue || !*ppValue)
        return;
    char* value = *ppValue;
    size_t len = strlen(value);
    size_t missing = 0;
    for (size_t i = 1; i < len; i++)
        missing += value[i] == '\n' && value[i - 1] != '\r';
    if (missing == 0)
        return;
    /* Fill from the back: the write position stays above the byte read, so
     * every test sees the original text. */
    char* out = value + len + missing;
    *out = '\0';
    for (size_t i = len; i-- > 0;) {
        bool needsCR = i > 0 && value[i] == '\n' && value[i - 1] != '\r';
        *--out = value[i];
        if (needsCR)
            *--out = '\r';
    }
}

void calparser_increment_lineNumber(char* pFrom, char* pTo, unsigned* pnLine)
{
    if (!pFrom || !pTo || !pnLine)
        return;
    for (const char* p = pFrom; p < pTo; p++) {
        if (*p == '\r') {
            (*pnLine)++;
            if (p + 1 < pTo && p[1] == '\n')
                p++;
        } else if (*p == '\n') {
            (*pnLine)++;
        }
    }
}

int calparser_populate_token_helper(CALPARSER_TOKEN** ppToken, char* pLine, unsigned nLine,
                                    int bRecurrence, int bKeepXLine)
{
    if (!ppToken || !*ppToken)
        return 1;
    size_t len = pLine ? strlen(pLine) : 0;
    return fill_token(*ppToken, pLine, len, split_line(pLine, len), nLine, bRecurrence,
                      bKeepXLine, nullptr);
}

int calparser_populate_token(CALPARSER_TOKEN** ppToken, char* pLine, unsigned nLine)
{
    return calparser_populate_token_helper(ppToken, pLine, nLine, 0, 1);
}

int calparser_populateRecurrence_token(CALPARSER_TOKEN** ppToken, char* pLine, unsigned nLine)
{
    return calparser_populate_token_helper(ppToken, pLine, nLine, 1, 1);
}

int calparser_populateXToken_token(CALPARSER_TOKEN** ppToken, char* pLine, unsigned nLine)
{
    return calparser_populate_token_helper(ppToken, pLine, nLine, 0, 0);
}

} /* extern "C" */
