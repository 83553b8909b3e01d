/* One forward pass over a physical line for the iCalendar lexer.
 *
 * The lexer needs, for every content line, where it ends and where its name,
 * parameters and value lie, and whether unfolding and unescaping have
 * anything to do. Searching for each of those on its own reads a line of a
 * few dozen bytes ten times over, and the calls cost more than the reading.
 * scan_line_part reads each byte once, on its way to the LF that ends the
 * part, and notes all of it in a line_marks.
 *
 * The marks of a logical line are gathered over its parts (the first
 * physical line and each continuation after its fold's LF and space) and are
 * given as offsets into the unfolded line: unfolding drops every CR and each
 * LF with the space after it, and the marks count only the bytes it keeps.
 * That holds while every CR stands right before an LF; a line where it does
 * not, or that holds a NUL byte, is marked `irregular`, and the lexer then
 * finds everything by the general path. */
#ifndef CORE_PARSER_CAL_TOK_SCAN_H
#define CORE_PARSER_CAL_TOK_SCAN_H

#include <stddef.h>

/* Where a parameter's ";" and its first "=" (before the next ";") stand. */
struct param_mark {
    size_t semicolon;
    size_t equals;          /* line_marks::kNone when the parameter has none */
};

/* What the scan of a logical line learned so far. */
struct line_marks {
    static constexpr size_t kNone = (size_t)-1;
    /* Parts and parameters whose place is kept: enough for nearly every line. */
    static constexpr unsigned kPartRoom = 8;
    static constexpr unsigned kParamRoom = 8;

    size_t kept;            /* unfolded length of the parts scanned so far */
    size_t colon;           /* the first ':' not inside a pair of double quotes */
    unsigned semicolons;    /* how many ';' stand before that colon */
    param_mark params[kParamRoom];    /* of the first kParamRoom of them */
    bool inQuotes;          /* an odd number of '"' seen, while no colon is known */
    bool escapeInValue;     /* a backslash after that colon */
    bool irregular;         /* a NUL byte or a CR not right before an LF was met */
    unsigned parts;         /* parts ended by an LF so far */
    const char* partFrom[kPartRoom];  /* of the first kPartRoom parts: where each began */
    size_t partKept[kPartRoom];       /* and how many of its bytes unfolding keeps */

    line_marks() { clear(); }
    /* Forgets what was noted, for the next logical line (the part places are
     * left as they are: only the first `parts` of them are read). */
    void clear()
    {
        kept = 0;
        colon = kNone;
        semicolons = 0;
        inQuotes = escapeInValue = irregular = false;
        parts = 0;
    }
    /* The first ';' before the colon, or kNone. */
    size_t first_semicolon() const { return semicolons > 0 ? params[0].semicolon : kNone; }
};

/* Scans [from, limit) up to its first LF and notes every byte before that LF
 * in *marks, at offsets counted from marks->kept; a CR is "right before an
 * LF" only when the LF lies before `limit`. Returns the LF, and then adds to
 * marks->kept the bytes before it less a CR right before it and counts the
 * part in marks->parts (noting where it lies while there is room); returns NULL
 * when the stretch holds no LF (marks->kept is then unchanged). Never reads
 * outside [from, limit). `marks` must not be NULL. */
const char* scan_line_part(const char* from, const char* limit, line_marks* marks);

#endif
