/* Content lines of the iCalendar serializer: escaping, quoting and folding. */
#include "core/parser/cal_serialize_line.h"

#include <string.h>
#include <strings.h>

namespace calparser_serialize {

namespace {

/* Folded output is handed to the stream in pieces of about this size. */
constexpr size_t kFlushOctets = 64 * 1024;

/* What the reader turns into another character after a backslash. */
bool reader_unescapes(char c)
{
    return c == 'n' || c == 'N' || c == 'r' || c == ';' || c == ',' || c == ':';
}

/* The bytes that need a look in `mode`; everything else is copied in runs. */
bool needs_care(char c, Escape mode)
{
    if (c == '\\' || c == '\r' || c == '\n')
        return true;
    return mode == Escape::Text && (c == ';' || c == ',');
}

/* Appends the escape of the special byte at text[i]; returns how many bytes
 * of `text` it used. */
size_t append_special(std::string& out, const char* text, size_t i)
{
    const char c = text[i];
    if (c == '\\') {
        const char next = text[i + 1];
        if (next == '\0') {
            out += '\\'; /* a final backslash is kept by the reader */
            return 1;
        }
        if (reader_unescapes(next) || next == '\r' || next == '\n') {
            out += "\\\\";
            return 1;
        }
        out += '\\'; /* a pair the reader keeps as it stands */
        out += next;
        return 2;
    }
    if (c == '\r') {
        /* The reader puts a CR back before every LF but a leading one. */
        if (text[i + 1] == '\n' && i > 0) {
            out += "\\n";
            return 2;
        }
        out += "\\r";
        return 1;
    }
    if (c == '\n') {
        out += "\\n";
        return 1;
    }
    out += '\\';
    out += c;
    return 1;
}

bool is_utf8_continuation(unsigned char c)
{
    return (c & 0xC0) == 0x80;
}

/* The reader takes a line whose first physical line names ENCODING and then
 * QUOTED-PRINTABLE for quoted-printable, where a fold would not be undone. */
bool reads_as_quoted_printable(const std::string& line)
{
    const size_t length = line.size() < kFoldOctets ? line.size() : kFoldOctets;
    std::string head(line, 0, length);
    for (char& c : head)
        if (c >= 'a' && c <= 'z')
            c = (char)(c - 'a' + 'A');
    size_t encoding = head.find("ENCODING");
    return encoding != std::string::npos &&
           head.find("QUOTED-PRINTABLE", encoding) != std::string::npos;
}

bool needs_quotes(const char* value)
{
    return strpbrk(value, ":;,") != nullptr;
}

}  // namespace

void append_escaped(std::string& out, const char* text, Escape mode)
{
    if (!text)
        return;
    size_t i = 0;
    while (text[i] != '\0') {
        size_t run = i;
        while (text[run] != '\0' && !needs_care(text[run], mode))
            run++;
        out.append(text + i, run - i);
        i = run;
        if (text[i] != '\0')
            i += append_special(out, text, i);
    }
}

void append_folded(std::string& out, const std::string& line)
{
    const size_t total = line.size();
    if (reads_as_quoted_printable(line)) {
        out.append(line);
        out.append("\r\n");
        return;
    }
    size_t pos = 0;
    size_t limit = kFoldOctets;
    while (total - pos > limit) {
        size_t cut = pos + limit;
        while (cut > pos && is_utf8_continuation((unsigned char)line[cut]))
            cut--;
        if (cut == pos) /* no character start in reach: not UTF-8, cut anyway */
            cut = pos + limit;
        out.append(line, pos, cut - pos);
        out.append("\r\n ");
        pos = cut;
        limit = kFoldOctets - 1; /* the leading space counts */
    }
    out.append(line, pos, total - pos);
    out.append("\r\n");
}

void LineWriter::begin(const char* name)
{
    line_.clear();
    line_.append(name);
}

void LineWriter::param(const char* name, const char* value, bool bKeepEmpty)
{
    if (!value || (value[0] == '\0' && !bKeepEmpty))
        return;
    line_ += ';';
    line_.append(name);
    line_ += '=';
    const bool quoted = needs_quotes(value);
    if (quoted)
        line_ += '"';
    line_.append(value);
    if (quoted)
        line_ += '"';
}

void LineWriter::param_list(const char* name, const array_t* items)
{
    if (!items || items->count == 0)
        return;
    line_ += ';';
    line_.append(name);
    line_ += '=';
    for (unsigned i = 0; i < items->count; i++) {
        if (i > 0)
            line_ += ',';
        line_ += '"';
        line_.append((const char*)items->data[i]);
        line_ += '"';
    }
}

void LineWriter::value(const char* text, Escape mode)
{
    line_ += ':';
    append_escaped(line_, text, mode);
}

void LineWriter::value_list(const array_t* items, unsigned first, unsigned last, char separator,
                            Escape mode)
{
    line_ += ':';
    for (unsigned i = first; items && i < last && i < items->count; i++) {
        if (i > first)
            line_ += separator;
        append_escaped(line_, (const char*)items->data[i], mode);
    }
}

void LineWriter::end()
{
    append_folded(folded_, line_);
    if (folded_.size() >= kFlushOctets)
        flush();
}

void LineWriter::whole_line(const char* line)
{
    if (!line)
        return;
    if (!strchr(line, '\n')) {
        line_.assign(line);
        end();
        return;
    }
    /* Only a quoted-printable line keeps a line break (its soft break "=");
     * it goes out as it came, CR LF ended, and is not folded. */
    for (const char* p = line; *p; p++) {
        if (*p == '\n' && (p == line || p[-1] != '\r'))
            folded_ += '\r';
        folded_ += *p;
    }
    folded_.append("\r\n");
}

void LineWriter::fixed(const char* text)
{
    folded_.append(text);
}

bool LineWriter::flush()
{
    if (!folded_.empty() && !failed_ &&
        prot_write(out_, folded_.data(), (unsigned)folded_.size()) != 0)
        failed_ = true;
    folded_.clear();
    return !failed_;
}

}  // namespace calparser_serialize
