/* The one-pass line scan. Where SSE2 is available it classifies sixteen bytes
 * at once and works on bit masks: the bytes before the part's LF are checked
 * for NUL and for a CR without its LF with a few mask operations, and only
 * ':', ';', '=' and '"' before the colon are looked at one by one. The last
 * bytes before the limit, and every byte without SSE2, go one at a time
 * through a class table. Both ways note the same marks. */
#include "core/parser/cal_tok_scan.h"

#include <array>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace {

/* The bytes the byte-wise scan stops at. */
constexpr bool is_stop(unsigned char c)
{
    return c == '\0' || c == '\n' || c == '\r' || c == '\\' || c == '"' || c == ':' || c == ';' ||
           c == '=';
}

constexpr std::array<bool, 256> make_stop_table()
{
    std::array<bool, 256> table = {};
    for (unsigned c = 0; c < 256; c++)
        table[c] = is_stop((unsigned char)c);
    return table;
}

constexpr std::array<bool, 256> kStop = make_stop_table();

/* Notes a ':', ';', '=' or '"' at unfolded offset `offset` in *m. Only the
 * bytes before the line's colon tell anything; a colon inside quotes is not
 * that colon. */
inline void note_punctuation(char c, size_t offset, line_marks* m)
{
    if (m->colon != line_marks::kNone)
        return;
    unsigned n = m->semicolons;
    switch (c) {
    case ';':
        if (n < line_marks::kParamRoom)
            m->params[n] = {offset, line_marks::kNone};
        m->semicolons = n + 1;
        break;
    case '=':
        if (n > 0 && n <= line_marks::kParamRoom && m->params[n - 1].equals == line_marks::kNone)
            m->params[n - 1].equals = offset;
        break;
    case ':':
        if (!m->inQuotes)
            m->colon = offset;
        break;
    case '"':
        m->inQuotes = !m->inQuotes;
        break;
    default:
        break;
    }
}

/* Notes the stop byte at `p`, at unfolded offset `offset`, in *m; true when it
 * is the LF that ends the part. */
inline bool note_byte(const char* p, const char* limit, size_t offset, line_marks* m)
{
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
    case '\\':
        if (m->colon != line_marks::kNone)
            m->escapeInValue = true;
        break;
    default:
        note_punctuation(*p, offset, m);
        break;
    }
    return false;
}

#ifdef __SSE2__
/* The stop bytes among 16, a bit each, the first byte the lowest bit. */
struct block_bits {
    unsigned lf;
    unsigned cr;
    unsigned nul;
    unsigned backslash;
    unsigned punctuation;   /* ':', ';', '=' and '"' */
};

inline unsigned bits_equal(__m128i v, char c)
{
    return (unsigned)_mm_movemask_epi8(_mm_cmpeq_epi8(v, _mm_set1_epi8(c)));
}

inline block_bits classify_block(const char* p)
{
    const __m128i v = _mm_loadu_si128((const __m128i*)p);
    /* ':' and ';' differ in the lowest bit only. */
    const __m128i colonOrSemicolon =
        _mm_cmpeq_epi8(_mm_or_si128(v, _mm_set1_epi8(1)), _mm_set1_epi8(';'));
    const __m128i quoteOrEquals =
        _mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8('"')), _mm_cmpeq_epi8(v, _mm_set1_epi8('=')));
    block_bits b;
    b.lf = bits_equal(v, '\n');
    b.cr = bits_equal(v, '\r');
    b.nul = bits_equal(v, '\0');
    b.backslash = bits_equal(v, '\\');
    b.punctuation = (unsigned)_mm_movemask_epi8(_mm_or_si128(colonOrSemicolon, quoteOrEquals));
    return b;
}

/* Notes the bytes of the 16 at `p` (in [from, limit)) that lie before the
 * first LF among them in *m, `offset` being the unfolded offset of p[0].
 * Returns that LF, or NULL when the block holds none. */
inline const char* note_block(const char* p, const char* limit, size_t offset, line_marks* m)
{
    const block_bits b = classify_block(p);
    bool colonKnown = m->colon != line_marks::kNone;
    if ((b.lf | b.cr | b.nul | (colonKnown ? b.backslash : b.punctuation)) == 0)
        return nullptr;   /* most blocks of a long name or value */
    const unsigned beforeLf = b.lf ? (b.lf & (0u - b.lf)) - 1 : 0xFFFFu;
    unsigned inValue = colonKnown ? 0xFFFFu : 0;
    for (unsigned stops = b.punctuation & beforeLf; stops != 0 && !inValue; stops &= stops - 1) {
        unsigned i = (unsigned)__builtin_ctz(stops);
        note_punctuation(p[i], offset + i, m);
        if (m->colon != line_marks::kNone)
            inValue = (0xFFFFu << (i + 1)) & 0xFFFFu;
    }
    if (b.backslash & beforeLf & inValue)
        m->escapeInValue = true;
    /* A CR is regular when an LF follows it, in this block or the next. */
    unsigned strayCr = b.cr & ~(b.lf >> 1);
    if ((strayCr & 0x8000u) && limit - p > 16 && p[16] == '\n')
        strayCr &= 0x7FFFu;
    if ((strayCr | b.nul) & beforeLf)
        m->irregular = true;
    return b.lf ? p + __builtin_ctz(b.lf) : nullptr;
}
#endif

/* The part's LF at `lf`: the kept bytes of [from, lf) are counted in. */
const char* end_part(const char* from, const char* lf, line_marks* m)
{
    size_t kept = (size_t)(lf - from) - (lf > from && lf[-1] == '\r');
    if (m->parts < line_marks::kPartRoom) {
        m->partFrom[m->parts] = from;
        m->partKept[m->parts] = kept;
    }
    m->parts++;
    m->kept += kept;
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
        if (const char* lf = note_block(p, limit, base + (size_t)(p - from), marks))
            return end_part(from, lf, marks);
    }
#endif
    for (; p < limit; p++) {
        if (kStop[(unsigned char)*p] && note_byte(p, limit, base + (size_t)(p - from), marks))
            return end_part(from, p, marks);
    }
    return nullptr;
}
