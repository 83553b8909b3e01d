/* Lexers of the XML rendering of iCalendar (format 1) and of SXML (format 2).
 *
 * The XML lexer is a lexer of elements, not an XML parser: it cuts a chunk at
 * every "<" that lies outside double quotes and turns each piece (a segment:
 * one tag, the text after it and the "<" that opens the next tag) into one
 * CALPARSER_TOKEN, the same token the iCalendar lexer makes of the matching
 * content line. Tag names are keywords or the XML tag names of the keyword
 * table ("EVENT", "START", "DESC", ...), attributes become parameters and the
 * element text the value. Closing tags of properties and the root element
 * give tokens of type 0, which the component builders pass over.
 *
 * The SXML entry points accept every chunk and make nothing.
 *
 * Nothing here keeps state between calls or writes shared data; every
 * function is safe to call from several threads on different buffers. */
#ifndef CORE_PARSER_CAL_TOK_XML_H
#define CORE_PARSER_CAL_TOK_XML_H

#include "public/util/export.h"

#include "core/parser/cal_tok.h"
#include "public/util/array.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Cuts the NUL-terminated chunk `pBuf` of `nLen` bytes into segments and
 * appends one token per complete segment to *ppTokens, creating the list when
 * *ppTokens is null (the caller owns the list and its tokens).
 * *pnConsumed (when pnConsumed is not null) receives the offset of the last,
 * unfinished segment, which the caller carries into the next chunk; when the
 * chunk held no complete segment it receives nLen and the chunk is dropped.
 * *pnLine is the physical line counter of the stream: it is stamped into each
 * token and advanced over the consumed text.
 * Returns 0; 1 when pBuf, ppTokens or pnLine is null; 3 when the list or a
 * token cannot be allocated (tokens already appended stay in the list). */
CALPARSER_API
int calparser_xmlbuf_to_toklist(char* pBuf, unsigned nLen, array_t** ppTokens,
                                unsigned* pnConsumed, unsigned* pnLine);

/* The SXML lexer: returns 0 and touches nothing, neither the list nor
 * *pnConsumed. */
CALPARSER_API
int calparser_sxmlbuf_to_toklist(char* pBuf, unsigned nLen, array_t** ppTokens,
                                 unsigned* pnConsumed, unsigned* pnLine);

/* The SXML segment reader: returns 0 and touches nothing. */
CALPARSER_API
int calparser_get_sxml_line_vals(char* pSegment, char** ppName, unsigned* pnNameLen,
                                 char** ppValue, unsigned* pnValueLen, array_t* pParams);

/* The first "<" after p[0] that is outside a quoted stretch, or null when the
 * text ends first (a double quote not preceded by a backslash opens a
 * stretch, the next double quote closes it; a stretch left open ends the
 * search). When a "<" is found, the line ends between p and it are added to
 * *pnLine (when pnLine is not null). `p` must be NUL-terminated. */
CALPARSER_API
char* calparser_find_next_valid_XMLProp(char* p, unsigned* pnLine);

/* Normalises the white space of the segment *ppSegment in place when it holds
 * a CR, LF or TAB: a CR that is not the last byte is removed, LF and TAB
 * become spaces, and runs of spaces become one. Returns 1 when ppSegment or
 * *ppSegment is null, else 0. */
CALPARSER_API
int calparser_xml_trim_line(char** ppSegment);

/* Reads a segment. *ppName and *pnNameLen receive the tag name (pointer into
 * the segment and length, not trimmed), *ppValue and *pnValueLen the element text
 * (from after the first ">" after the name up to the next "<"); each
 * attribute of the tag is appended to pParams as a new CALPARSER_PARAM
 * (the list owns them). The four outputs are zeroed first.
 * Returns 0; 1 when an out-pointer, the segment or the list is null; 2 when
 * the segment has no name, no ">" after the name or no "<" after the ">". */
CALPARSER_API
int calparser_get_xml_line_vals(char* pSegment, char** ppName, unsigned* pnNameLen,
                                char** ppValue, unsigned* pnValueLen, array_t* pParams);

/* Fills the zero-filled token *ppToken (owned by the caller) from a
 * normalised segment: type, value, parameters and nLine. A segment without a
 * proper tag gives type 0 and no value.
 * Returns 0; 1 when ppToken or *ppToken is null; 3 when the parameter list
 * cannot be created. */
CALPARSER_API
int calparser_populate_xml_token(CALPARSER_TOKEN** ppToken, char* pSegment, unsigned nLine);

/* Rewrites an element segment in place into content-line form: the opening
 * "<" becomes a blank, spaces inside the tag become ";", the ">" that closes
 * the tag becomes ":" and a "<" that ends the text is cut off. A null `p` is
 * a no-op. */
CALPARSER_API
void convertXMLLineToICal(char* p);

/* Decodes, in place, the character references "&lt;", "&gt;", "&amp;" and
 * decimal references of one or two digits ("&#10;", or "&#" and two digits
 * without ";"). A decimal reference of value 0 becomes U+FFFD, so the text is
 * never cut short. Other references are left as written. Returns 0. */
CALPARSER_API
int calparser_convertHTMLEncodedCharacters(char** ppValue);

#ifdef __cplusplus
}
#endif

#endif
