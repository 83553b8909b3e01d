/* XML and SXML lexers: cut a chunk of the XML rendering of iCalendar into the
 * tokens the iCalendar lexer makes of the same calendar.
 *
 * Every scan here moves forward only, and every in-place rewrite runs in one
 * pass with separate read and write positions, so hostile input (long names,
 * thousands of references, unbalanced quotes) costs time linear in its size.
 * Nothing recurses. */
#include "core/parser/cal_tok_xml.h"

#include <plstr.h>
#include <string.h>

#include "core/parser/cal_str.h"
#include "public/util/str.h"

namespace {

/* U+FFFD REPLACEMENT CHARACTER in UTF-8: stands for a reference to NUL, which
 * would otherwise cut the text short. */
constexpr char kReplacementChar[] = "\xEF\xBF\xBD";
constexpr unsigned kReplacementLen = 3;

bool is_ascii_letter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

bool is_ascii_digit(char c) {
    return c >= '0' && c <= '9';
}

/* A tag name runs up to white space or the ">" that closes the tag. */
bool ends_tag_name(char c) {
    return c == '\0' || c == '\t' || c == '\r' || c == '\n' || c == ' ' || c == '>';
}

/* The first `c` in [from, to), or null. */
char* find_in_range(char* from, char* to, char c) {
    if (from >= to) return nullptr;
    return static_cast<char*>(memchr(from, c, static_cast<size_t>(to - from)));
}

/* Makes one parameter of an attribute and appends it to `params`: the name
 * (trimmed, upper-cased) classified as an XML attribute name, the value as
 * found (its leading quote already skipped by the caller; null means the
 * attribute had no value). Returns 0, or 3 when memory runs out (nothing is
 * appended then). */
int append_attribute(array_t* params, const char* name, size_t nameLen,
                     const char* value, size_t valueLen) {
    int rc = 3;
    char* nameCopy = nullptr;
    char* upperName = nullptr;
    CALPARSER_PARAM* param = calparser_NewParam();
    if (!param) goto done;
    if (!(nameCopy = PL_strndup(name, static_cast<PRUint32>(nameLen)))) goto done;
    upperName = nameCopy;
    calparser_trim_and_capitalize_propName(&upperName);
    param->nType = calparser_getXMLParamType(upperName);
    if (param->nType == TOKEN_X_PARAM && !(param->pName = PL_strdup(upperName))) goto done;
    param->pValue = value ? PL_strndup(value, static_cast<PRUint32>(valueLen)) : PL_strdup("");
    if (!param->pValue) goto done;
    if (array_append(params, param) != 0) goto done;
    param = nullptr;
    rc = 0;
done:
    PL_strfree(nameCopy);
    calparser_FreeParam(&param);
    return rc;
}

/* Appends a parameter for every attribute between the end of the tag name and
 * the ">" that closes the tag. An attribute runs from a letter up to "=";
 * its value from the first double quote or letter after the "=" up to the
 * next double quote, or up to the ">" when there is none. Scanning resumes
 * after the value's closing quote, so an unquoted value swallows any later
 * unquoted attributes. An allocation failure ends the scan quietly. */
void read_attributes(char* from, char* tagEnd, array_t* params) {
    char* cursor = from;
    while (cursor < tagEnd) {
        char* name = cursor;
        while (name < tagEnd && !is_ascii_letter(*name)) name++;
        if (name == tagEnd) break;

        char* equals = find_in_range(name, tagEnd, '=');
        char* nameEnd = equals ? equals : tagEnd;
        char* value = nullptr;
        char* valueEnd = nullptr;
        cursor = tagEnd;
        if (equals) {
            char* start = equals + 1;
            while (start < tagEnd && *start != '"' && !is_ascii_letter(*start)) start++;
            value = start;
            valueEnd = start;
            if (start < tagEnd) {
                char* closingQuote = find_in_range(start + 1, tagEnd, '"');
                valueEnd = closingQuote ? closingQuote : tagEnd;
                if (*start == '"') value = start + 1;
                if (closingQuote) cursor = closingQuote + 1;
            }
        }
        if (append_attribute(params, name, static_cast<size_t>(nameEnd - name), value,
                             value ? static_cast<size_t>(valueEnd - value) : 0) != 0)
            break;
    }
}

/* Classifies the tag name and stores the value of a segment whose tag was
 * read. Allocation failures drop the name or value they concern. */
void fill_token(CALPARSER_TOKEN* token, char* segment, const char* name, unsigned nameLen,
                const char* text, unsigned textLen) {
    iCal_Token_t type = TOKEN_UNKNOWN;
    iCal_Token_t value = TOKEN_UNKNOWN;
    char* nameCopy = PL_strndup(name, nameLen);
    if (nameCopy) {
        char* upperName = nameCopy;
        calparser_trim_and_capitalize_propName(&upperName);
        calparser_getXMLPropType(upperName, static_cast<unsigned>(strlen(upperName)), &type, &value);
        if (type == TOKEN_X) token->pName = PL_strdup(upperName);
        PL_strfree(nameCopy);
    }
    token->nType = type;
    if (type == TOKEN_BEGIN || type == TOKEN_END) {
        token->nValue = value;
        return;
    }
    /* Only component tags carry a value keyword (the root "ICALENDAR" so
     * gives type 0 and value 0). */
    token->nValue = TOKEN_UNKNOWN;
    if (isKeywordPropertyType(type)) {
        token->nValue = calparser_getKeywordValueType(type, text, textLen);
        return;
    }
    if (type == TOKEN_X) {
        token->pValue = PL_strdup(segment);
        if (token->pValue) convertXMLLineToICal(token->pValue);
        return;
    }
    if (textLen == 0) return;
    token->pValue = PL_strndup(text, textLen);
    if (!token->pValue) return;
    calparser_convertPropValToValid(&token->pValue);
    calparser_convertHTMLEncodedCharacters(&token->pValue);
}

/* The offset of the first ";" among in[first] to in[last], or 0 when there is
 * none before the text ends. */
size_t find_semicolon(const char* in, size_t first, size_t last) {
    for (size_t k = first; k <= last && in[k]; ++k) {
        if (in[k] == ';') return k;
    }
    return 0;
}

/* A decimal reference at `in` ("&#" and at least two more bytes): one or two
 * digits closed by ";", else exactly the two bytes after "#". Writes the byte
 * of the number (U+FFFD for 0) to `out`; returns the input bytes used, or 0
 * when no number is read. */
size_t decode_decimal_reference(const char* in, char* out, size_t* pnWritten) {
    size_t semicolon = find_semicolon(in, 2, 4);
    size_t nDigits = semicolon ? semicolon - 2 : 2;
    if (nDigits == 0) return 0;
    unsigned number = 0;
    for (size_t k = 2; k < 2 + nDigits; ++k) {
        if (!is_ascii_digit(in[k])) return 0;
        number = number * 10 + static_cast<unsigned>(in[k] - '0');
    }
    if (number == 0) {
        memcpy(out, kReplacementChar, kReplacementLen);
        *pnWritten = kReplacementLen;
    } else {
        out[0] = static_cast<char>(number);
        *pnWritten = 1;
    }
    return 2 + nDigits + (semicolon ? 1 : 0);
}

/* A named reference at `in` closed by ";" within four bytes: "amp", "lt" and
 * "gt" only. Writes the character to `out`; returns the input bytes used, or
 * 0 for any other text. */
size_t decode_named_reference(const char* in, char* out, size_t* pnWritten) {
    size_t semicolon = find_semicolon(in, 1, 4);
    if (!semicolon) return 0;
    const char* name = in + 1;
    size_t nameLen = semicolon - 1;
    char decoded = 0;
    if (nameLen == 3 && memcmp(name, "amp", 3) == 0) decoded = '&';
    else if (nameLen == 2 && memcmp(name, "lt", 2) == 0) decoded = '<';
    else if (nameLen == 2 && memcmp(name, "gt", 2) == 0) decoded = '>';
    if (!decoded) return 0;
    out[0] = decoded;
    *pnWritten = 1;
    return semicolon + 1;
}

/* Decodes the reference that starts at the "&" `in` into `out`. Returns the
 * number of input bytes used, or 0 when the text is no reference this lexer
 * decodes. Never writes more bytes than it uses, so it can run in place. */
size_t decode_reference(const char* in, char* out, size_t* pnWritten) {
    if (in[1] == '#' && in[2] && in[3]) return decode_decimal_reference(in, out, pnWritten);
    return decode_named_reference(in, out, pnWritten);
}

} // namespace

extern "C" {

char* calparser_find_next_valid_XMLProp(char* p, unsigned* pnLine) {
    if (!p || !*p) return nullptr;
    char* cursor = p + 1;
    for (;;) {
        cursor = strpbrk(cursor, "<\"");
        if (!cursor) return nullptr;
        if (*cursor == '<') break;
        if (cursor[-1] == '\\') {
            cursor++;
            continue;
        }
        /* An open quote: everything up to the next quote is skipped, and a
         * stretch that never closes ends the search. */
        cursor = strchr(cursor + 1, '"');
        if (!cursor) return nullptr;
        cursor++;
    }
    if (pnLine) calparser_increment_lineNumber(p, cursor, pnLine);
    return cursor;
}

int calparser_xml_trim_line(char** ppSegment) {
    if (!ppSegment || !*ppSegment) return 1;
    char* s = *ppSegment;
    if (!strpbrk(s, "\r\n\t")) return 0;
    /* Scan from the last byte to the first, writing the kept bytes from the
     * end of the buffer backwards; the byte "following" a space is then the
     * last one written. */
    size_t len = strlen(s);
    size_t out = len;
    for (size_t i = len; i-- > 0;) {
        char c = s[i];
        if (c == '\r' && i != len - 1) continue;
        if (c == '\n' || c == '\t') c = ' ';
        if (c == ' ' && out < len && s[out] == ' ') continue;
        s[--out] = c;
    }
    memmove(s, s + out, len - out);
    s[len - out] = '\0';
    return 0;
}

int calparser_get_xml_line_vals(char* pSegment, char** ppName, unsigned* pnNameLen,
                                char** ppValue, unsigned* pnValueLen, array_t* pParams) {
    if (!ppName || !pnNameLen || !ppValue || !pnValueLen || !pParams) return 1;
    *ppName = nullptr;
    *pnNameLen = 0;
    *ppValue = nullptr;
    *pnValueLen = 0;
    if (!pSegment) return 1;

    char* name = pSegment;
    while (*name && *name != '/' && !is_ascii_letter(*name)) name++;
    if (!*name) return 2;
    char* nameEnd = name;
    while (!ends_tag_name(*nameEnd)) nameEnd++;
    char* tagEnd = strchr(nameEnd, '>');
    if (!tagEnd) return 2;
    char* textEnd = strchr(tagEnd + 1, '<');
    if (!textEnd) return 2;

    read_attributes(nameEnd, tagEnd, pParams);
    *ppName = name;
    *pnNameLen = static_cast<unsigned>(nameEnd - name);
    *ppValue = tagEnd + 1;
    *pnValueLen = static_cast<unsigned>(textEnd - (tagEnd + 1));
    return 0;
}

int calparser_populate_xml_token(CALPARSER_TOKEN** ppToken, char* pSegment, unsigned nLine) {
    if (!ppToken || !*ppToken) return 1;
    CALPARSER_TOKEN* token = *ppToken;
    array_t* params = array_new();
    if (!params) return 3;
    char* name = nullptr;
    char* text = nullptr;
    unsigned nameLen = 0;
    unsigned textLen = 0;
    if (calparser_get_xml_line_vals(pSegment, &name, &nameLen, &text, &textLen, params) == 0)
        fill_token(token, pSegment, name, nameLen, text, textLen);
    token->pParamList = params;
    token->nLine = nLine;
    return 0;
}

void convertXMLLineToICal(char* p) {
    if (!p) return;
    bool inTag = false;
    for (char* c = p; *c; ++c) {
        if (inTag) {
            if (*c == ' ') {
                *c = ';';
            } else if (*c == '>') {
                *c = ':';
                inTag = false;
            }
        } else if (*c == '<') {
            if (c[1] == '\0') {
                *c = '\0';
                return;
            }
            if (c[1] != '/') {
                *c = ' ';
                inTag = true;
            }
        }
    }
}

int calparser_convertHTMLEncodedCharacters(char** ppValue) {
    if (!ppValue || !*ppValue) return 0;
    char* in = *ppValue;
    char* out = in;
    while (*in) {
        size_t written = 0;
        size_t used = *in == '&' ? decode_reference(in, out, &written) : 0;
        if (used) {
            in += used;
            out += written;
        } else {
            *out++ = *in++;
        }
    }
    *out = '\0';
    return 0;
}

int calparser_xmlbuf_to_toklist(char* pBuf, unsigned nLen, array_t** ppTokens,
                                unsigned* pnConsumed, unsigned* pnLine) {
    if (!pBuf || !ppTokens || !pnLine) return 1;
    if (!*ppTokens && !(*ppTokens = array_new())) return 3;

    /* Consumed so far: the bytes before the current segment. A chunk that
     * completes no segment is dropped whole, so the carry cannot outgrow the
     * intake's buffer; a chunk stopped by a failure keeps its rest. */
    int rc = 0;
    bool madeSegment = false;
    bool stoppedEarly = false;
    char* const end = pBuf + nLen;
    char* segment = pBuf;
    CALPARSER_TOKEN* token = nullptr;
    unsigned lineWork = *pnLine;
    char* next = calparser_find_next_valid_XMLProp(segment, &lineWork);
    while (next && next < end) {
        if (!token && !(token = calparser_NewToken())) {
            rc = 3;
            break;
        }
        char* copy = PL_strndup(segment, static_cast<PRUint32>(next - segment + 1));
        if (!copy) {
            stoppedEarly = true;
            break;
        }
        calparser_xml_trim_line(&copy);
        rc = calparser_populate_xml_token(&token, copy, *pnLine);
        PL_strfree(copy);
        if (rc != 0) break;
        *pnLine = lineWork;
        if (array_append(*ppTokens, token) != 0) {
            rc = 3;
            break;
        }
        token = nullptr;
        segment = next;
        madeSegment = true;
        next = calparser_find_next_valid_XMLProp(segment, &lineWork);
    }
    calparser_FreeToken(&token);
    if (rc != 0) stoppedEarly = true;
    if (pnConsumed)
        *pnConsumed = madeSegment || stoppedEarly ? static_cast<unsigned>(segment - pBuf) : nLen;
    return rc;
}

int calparser_sxmlbuf_to_toklist(char* pBuf, unsigned nLen, array_t** ppTokens,
                                 unsigned* pnConsumed, unsigned* pnLine) {
    (void)pBuf;
    (void)nLen;
    (void)ppTokens;
    (void)pnConsumed;
    (void)pnLine;
    return 0;
}

int calparser_get_sxml_line_vals(char* pSegment, char** ppName, unsigned* pnNameLen,
                                 char** ppValue, unsigned* pnValueLen, array_t* pParams) {
    (void)pSegment;
    (void)ppName;
    (void)pnNameLen;
    (void)ppValue;
    (void)pnValueLen;
    (void)pParams;
    return 0;
}

} // extern "C"
