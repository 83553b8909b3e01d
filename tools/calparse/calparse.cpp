/* calparse: show what the library makes of calendar files.
 *
 *   calparse [--format ical|ical-strict|xml|sxml] [--output tokens] [FILE...]
 *
 * Reads each FILE (standard input when there is none, or for "-") the way the
 * library's intake does: in chunks of 4096 bytes, the unconsumed tail of one
 * chunk carried to the front of the text buffer and the next chunk appended,
 * so that a line split across chunks is lexed whole. Prints the token list.
 * Exit status: 0 success, 1 an unreadable file or a lexing failure, 2 a usage
 * error or an option this version does not support. */
#include <errno.h>
#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <vector>

#include <prio.h>
#include <prprf.h>

#include "core/parser/cal_tok.h"
#include "core/parser/cal_tok_xml.h"

namespace {

constexpr size_t kChunkSize = 4096;
constexpr size_t kTextSize = 4 * kChunkSize;   /* as the intake: room for the carry */

/* Input format codes of the parse entry. */
constexpr int kFormatXml = 1;
constexpr int kFormatSxml = 2;
constexpr int kFormatIcal = 3;
constexpr int kFormatIcalStrict = 4;

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

void usage(void)
{
    fprintf(stderr, "usage: calparse [--format ical|ical-strict|xml|sxml] [--output tokens] "
                    "[FILE...]\n");
}

int format_code(const char* name)
{
    if (strcmp(name, "ical") == 0)
        return kFormatIcal;
    if (strcmp(name, "ical-strict") == 0)
        return kFormatIcalStrict;
    if (strcmp(name, "xml") == 0)
        return kFormatXml;
    if (strcmp(name, "sxml") == 0)
        return kFormatSxml;
    return 0;
}

/* Whether `in` has no byte left, without losing the byte it may have. */
bool at_end(FILE* in)
{
    int c = getc(in);
    if (c == EOF)
        return true;
    ungetc(c, in);
    return false;
}

/* Hands one chunk to the lexer of `format`. */
int lex_chunk(int format, char* text, unsigned len, array_t** ppTokens, unsigned* pnConsumed,
              unsigned* pnLine, int checkVCalendar)
{
    switch (format) {
    case kFormatXml:
        return calparser_xmlbuf_to_toklist(text, len, ppTokens, pnConsumed, pnLine);
    case kFormatSxml:
        return calparser_sxmlbuf_to_toklist(text, len, ppTokens, pnConsumed, pnLine);
    default:
        return calparser_icalbuf_to_toklist(text, len, ppTokens, pnConsumed, pnLine,
                                            checkVCalendar);
    }
}

/* Lexes all of `in` in the given format into *ppTokens. Returns 0, -1 on a
 * read error (errno set), or the lexer's positive result. */
int lex_stream(FILE* in, int format, array_t** ppTokens)
{
    std::vector<char> text(kTextSize + 1);
    size_t carry = 0;
    unsigned line = 1;
    int checkVCalendar = format == kFormatIcalStrict;   /* first chunk only */
    for (;;) {
        size_t n = fread(text.data() + carry, 1, std::min(kChunkSize, kTextSize - carry), in);
        if (ferror(in))
            return -1;
        size_t len = carry + n;
        text[len] = '\0';
        unsigned consumed = (unsigned)len;   /* the SXML lexer leaves it alone */
        int rc = lex_chunk(format, text.data(), (unsigned)len, ppTokens, &consumed, &line,
                           checkVCalendar);
        checkVCalendar = 0;
        if (rc > 0)
            return rc;
        /* The text after the last line end of the last chunk is not lexed. */
        if (at_end(in))
            return 0;
        carry = consumed < len ? len - consumed : 0;
        memmove(text.data(), text.data() + consumed, carry);
    }
}

/* Lexes and prints one input. Returns the exit status it calls for. */
int show_tokens(const char* path, FILE* in, int format, PRFileDesc* out)
{
    array_t* tokens = nullptr;
    int status = 0;
    int rc = lex_stream(in, format, &tokens);
    if (rc < 0) {
        fprintf(stderr, "calparse: cannot read %s: %s\n", path, strerror(errno));
        status = kExitFailure;
    } else if (rc == 2) {
        fprintf(stderr, "calparse: %s: no line begins with BEGIN:VCALENDAR\n", path);
        status = kExitFailure;
    } else if (rc != 0) {
        fprintf(stderr, "calparse: %s: out of memory\n", path);
        status = kExitFailure;
    }
    calparser_debugPrintTokenList(tokens, out);
    calparser_FreeTokenList(tokens);
    array_delete(tokens);
    return status;
}

} /* namespace */

int main(int argc, char** argv)
{
    int format = kFormatIcal;
    std::vector<const char*> files;
    for (int i = 1; i < argc; i++) {
        const char* arg = argv[i];
        bool hasValue = i + 1 < argc;
        if (strcmp(arg, "--format") == 0 && hasValue) {
            if (!(format = format_code(argv[++i]))) {
                fprintf(stderr, "calparse: unknown format %s\n", argv[i]);
                usage();
                return kExitUsage;
            }
        } else if (strcmp(arg, "--output") == 0 && hasValue) {
            if (strcmp(argv[++i], "tokens") != 0) {
                fprintf(stderr, "calparse: output %s not supported yet\n", argv[i]);
                return kExitUsage;
            }
        } else if (strcmp(arg, "--charset") == 0 || strcmp(arg, "--tz") == 0) {
            fprintf(stderr, "calparse: %s not supported yet\n", arg);
            return kExitUsage;
        } else if (arg[0] == '-' && arg[1] != '\0') {
            usage();
            return kExitUsage;
        } else {
            files.push_back(arg);
        }
    }
    if (files.empty())
        files.push_back("-");

    PRFileDesc* out = PR_GetSpecialFD(PR_StandardOutput);
    int status = 0;
    for (const char* path : files) {
        bool isStdin = strcmp(path, "-") == 0;
        FILE* in = isStdin ? stdin : fopen(path, "rb");
        if (!in) {
            fprintf(stderr, "calparse: cannot read %s: %s\n", path, strerror(errno));
            status = kExitFailure;
            continue;
        }
        if (files.size() > 1)
            PR_fprintf(out, "==> %s <==\n", path);
        if (show_tokens(path, in, format, out) != 0)
            status = kExitFailure;
        if (!isStdin)
            fclose(in);
    }
    return status;
}
