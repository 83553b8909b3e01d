/* The one-pass line scan: finds the bytes that may matter (line ends, NUL,
 * backslash, double quote, ':' and ';') sixteen at a time where SSE2 is
 * available, a byte at a time through a class table elsewhere and for the
 * last bytes before the limit, and lets one function note each of them. */
#include "core/parser/cal_tok_scan.h"

#include <array>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace {

/* The bytes the scan stops at: every byte up to CR (which covers NUL, LF and
 * CR; TAB and the other control bytes are stops that note nothing), the
 * backslash, the double quote, ':' and ';'. */
constexpr bool is_stop(unsigned char c)
{
    return c <= '\r' || c == '\\' || c == '"' || c == ':' || c == ';';
}

constexpr std::array<bool, 256> make_stop_table()
{
    std::array<bool, 256> table = {};
    for (unsigned c = 0; c < 256; c++)
        table[c] = is_stop((unsigned char)c);
    return table;
}

constexpr std::array<bool, 256> kStop = make_stop_table();

/* Notes the stop byte at `p`, at unfolded offset `offset`, in *m; true when it
 * is the LF that ends the part. */
inline bool note_byte(const char* p, const char* limit, size_t offset, line_marks* m)
{
    bool colonKnown = m->colon != line_marks::kNone;
    switch (*p) {
    case '\n':
        return true;
    case '\r':
        if (p + 1 == limit || p[1] != '\n')
            m->irregular = true;
        break;
    case '\0':
        m->irregular = true;
        break;
    case '"':
        if (!colonKnown)
            m->inQuotes = !m->inQuotes;
        break;
    case ';':
        if (!colonKnown) {
            if (m->semicolon == line_marks::kNone)
                m->semicolon = offset;
            m->semicolons++;
        }
        break;
    case ':':
        if (!colonKnown && !m->inQuotes)
            m->colon = offset;
        break;
    case '\\':
        if (colonKnown)
            m->escapeInValue = true;
        break;
    default:
        break;
    }
    return false;
}

#ifdef __SSE2__
/* A bit for each stop byte among the 16 at `p`, the first byte the lowest. */
inline unsigned stops_in_block(const char* p)
{
    const __m128i v = _mm_loadu_si128((const __m128i*)p);
    /* Unsigned v <= CR: the minimum of v and CR is v itself. */
    __m128i hits = _mm_cmpeq_epi8(_mm_min_epu8(v, _mm_set1_epi8('\r')), v);
    /* ':' and ';' differ in the lowest bit only. */
    hits = _mm_or_si128(hits, _mm_cmpeq_epi8(_mm_or_si128(v, _mm_set1_epi8(1)),
                                             _mm_set1_epi8(';')));
    hits = _mm_or_si128(hits, _mm_cmpeq_epi8(v, _mm_set1_epi8('\\')));
    hits = _mm_or_si128(hits, _mm_cmpeq_epi8(v, _mm_set1_epi8('"')));
    return (unsigned)_mm_movemask_epi8(hits);
}
#endif

/* The part's LF at `lf`: the kept bytes of [from, lf) are counted in. */
const char* end_part(const char* from, const char* lf, line_marks* m)
{
    m->kept += (size_t)(lf - from) - (lf > from && lf[-1] == '\r');
    return lf;
}

} /* namespace */

const char* scan_line_part(const char* from, const char* limit, line_marks* marks)
{
    const size_t base = marks->kept;
    const char* p = from;
#ifdef __SSE2__
    /* Whole blocks only: a load never reaches past `limit`. */
    for (; limit - p >= 16; p += 16) {
        for (unsigned stops = stops_in_block(p); stops != 0; stops &= stops - 1) {
            const char* stop = p + __builtin_ctz(stops);
            if (note_byte(stop, limit, base + (size_t)(stop - from), marks))
                return end_part(from, stop, marks);
        }
    }
#endif
    for (; p < limit; p++) {
        if (kStop[(unsigned char)*p] && note_byte(p, limit, base + (size_t)(p - from), marks))
            return end_part(from, p, marks);
    }
    return nullptr;
}
