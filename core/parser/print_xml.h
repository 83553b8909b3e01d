/* XML reply writer: the fixed frame of an answer in the XML rendering of
 * iCalendar and its reply elements (size, file name, identity, request status,
 * error number).
 *
 * Every function writes to `pOut`, a write stream the caller owns, through
 * prot_printf; every line ends with LF. Texts are inserted byte for byte,
 * without XML escaping: callers pass texts that are already fit for XML.
 * A NULL stream writes nothing; write errors stay with the stream. */
#ifndef CORE_PARSER_PRINT_XML_H
#define CORE_PARSER_PRINT_XML_H

#include "public/util/export.h"

#include "core/parser/cal_tok.h"
#include "public/util/prot.h"

#ifdef __cplusplus
extern "C" {
#endif

/* The XML declaration and the opening iCalendar and iCal elements. */
CALPARSER_API
void calparser_xml_header(protstream* pOut);

/* The closing iCal and iCalendar elements. */
CALPARSER_API
void calparser_xml_tail(protstream* pOut);

/* <EVENT> when `nKind` is 1, <TODO> for any other kind. */
CALPARSER_API
void calparser_xml_component_head(protstream* pOut, int nKind);

/* </EVENT> when `nKind` is 1, </TODO> for any other kind. */
CALPARSER_API
void calparser_xml_component_tail(protstream* pOut, int nKind);

/* <SIZE>nSize</SIZE>. */
CALPARSER_API
void calparser_xml_size(protstream* pOut, int nSize);

/* <FILENAME>name</FILENAME>; the element is empty when `pFileName` is NULL. */
CALPARSER_API
void calparser_xml_filename(protstream* pOut, const char* pFileName);

/* <UID>uid</UID> and, unless `pRecurrenceId` is NULL or exactly "0",
 * <RECURID>id</RECURID>. Nothing at all when `pUid` is NULL. */
CALPARSER_API
void calparser_xml_uid_rid(protstream* pOut, const char* pUid, const char* pRecurrenceId);

/* <RSTATUS>code;description</RSTATUS> from `pCodeA`/`pDescA` when the
 * selector is 0, else from `pCodeB`/`pDescB`. A NULL text writes as empty. */
CALPARSER_API
void calparser_xml_request_status(protstream* pOut, int nSelector,
                                  const char* pCodeA, const char* pDescA,
                                  const char* pCodeB, const char* pDescB);

/* <X-KVAL-PLIX-ERRNO>nErrno</X-KVAL-PLIX-ERRNO>. */
CALPARSER_API
void calparser_xml_errno(protstream* pOut, int nErrno);

/* An error-number element named `pName` (X-KVAL-PLIX-ERRNO when NULL):
 * <name>nErrno</name> without a token; with one, the index joins the name
 * in both tags: <nameN>nErrno</nameN>. The token only selects the form. */
CALPARSER_API
void calparser_xml_errno_tok(protstream* pOut, int nErrno, const char* pName,
                             int nIndex, const CALPARSER_TOKEN* pToken);

#ifdef __cplusplus
}
#endif

#endif
