/* The content-line writer of the iCalendar serializer (internal): builds one
 * line in a reused buffer, escapes values on the way in, and folds the line
 * while handing it to the stream. No allocation per character or per line
 * once the buffers have grown to the longest line. */
#ifndef CORE_PARSER_CAL_SERIALIZE_LINE_H
#define CORE_PARSER_CAL_SERIALIZE_LINE_H

#include <stddef.h>

#include <string>

#include "public/util/array.h"
#include "public/util/prot.h"

namespace calparser_serialize {

/* How a value is escaped. Both modes write CR and LF as "\r" and "\n" (a
 * CR LF not at the start as "\n" alone, since the reader puts the CR back) and
 * double a backslash only where the reader would take it for an escape. */
enum class Escape {
    Text, /* TEXT values: also ";" and "," */
    Raw   /* structured values (dates, rules, addresses, lists): nothing more */
};

/* The longest a physical line may be, in octets, without its CR LF. */
constexpr size_t kFoldOctets = 75;

/* Escapes `text` in `mode` and appends it to `out`. NULL appends nothing. */
void append_escaped(std::string& out, const char* text, Escape mode);

/* Appends `line`, CR LF ended and folded: no physical line is longer than
 * kFoldOctets octets, a fold never splits a UTF-8 character, and a
 * continuation starts with one space. */
void append_folded(std::string& out, const std::string& line);

/* One content line at a time, written folded to a caller's stream. Every
 * method may throw std::bad_alloc; the writers' entry points catch it. */
class LineWriter {
public:
    explicit LineWriter(protstream* pOut) : out_(pOut) {}

    /* Starts a line with the property `name` (written as given). */
    void begin(const char* name);
    /* ";NAME=value", the value quoted when it holds ":", ";" or ",", and
     * otherwise as it stands: the reader does not unescape parameters. Passed
     * over for a NULL value, and for an empty one unless `bKeepEmpty`. */
    void param(const char* name, const char* value, bool bKeepEmpty = false);
    /* ";NAME="a","b"" from the texts of `items`; nothing for no items. */
    void param_list(const char* name, const array_t* items);
    /* ":" and the escaped value; a NULL value writes the ":" alone. */
    void value(const char* text, Escape mode);
    /* ":" and the texts of items [first, last) escaped and joined with
     * `separator`. */
    void value_list(const array_t* items, unsigned first, unsigned last, char separator,
                    Escape mode);
    /* Appends text to the value as it stands (digits, fixed words). */
    void append(const char* text) { line_.append(text); }
    void append(const char* text, size_t length) { line_.append(text, length); }
    /* Ends the line: folds it and hands it to the stream. */
    void end();

    /* A whole line kept by the records (an X- line), written unchanged but
     * folded; a line break inside it is written as CR LF. */
    void whole_line(const char* line);
    /* Fixed text (the framing lines), written unfolded. */
    void fixed(const char* text);

    /* Hands what is buffered to the stream. False once the stream refused a
     * write. */
    bool flush();
    bool failed() const { return failed_; }
    protstream* stream() const { return out_; }

private:
    protstream* out_;
    std::string line_;   /* the line being built */
    std::string folded_; /* folded lines not yet handed to the stream */
    bool failed_ = false;
};

}  // namespace calparser_serialize

#endif
