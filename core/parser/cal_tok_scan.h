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

/* What the scan of a logical line learned so far. Value-initialise one per
 * logical line. */
struct line_marks {
    static constexpr size_t kNone = (size_t)-1;

    size_t kept = 0;            /* unfolded length of the parts scanned so far */
    size_t colon = kNone;       /* the first ':' not inside a pair of double quotes */
    size_t semicolon = kNone;   /* the first ';' before that colon */
    unsigned semicolons = 0;    /* how many ';' stand before that colon */
    bool inQuotes = false;      /* an odd number of '"' seen, while no colon is known */
    bool escapeInValue = false; /* a backslash after that colon */
    bool irregular = false;     /* a NUL byte or a CR not right before an LF was met */
};

/* Scans [from, limit) up to its first LF and notes every byte before that LF
 * in *marks, at offsets counted from marks->kept; a CR is "right before an
 * LF" only when the LF lies before `limit`. Returns the LF, and then adds to
 * marks->kept the bytes before it less a CR right before it; returns NULL
 * when the stretch holds no LF (marks->kept is then unchanged). Never reads
 * outside [from, limit). `marks` must not be NULL. */
const char* scan_line_part(const char* from, const char* limit, line_marks* marks);

#endif
