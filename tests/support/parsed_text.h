/* One whole parse of a text in memory, as a server makes it; the result is
 * the object's and freed with it. */
#ifndef TESTS_SUPPORT_PARSED_TEXT_H
#define TESTS_SUPPORT_PARSED_TEXT_H

#include <string>
#include <vector>

#include "core/parser/calparser.h"

class ParsedText {
public:
    /* Parses `text` with calparser_prot_to_dbstruct: `tzid` is the default
     * zone (NULL: none given), `charset` the input's (NULL: UTF-8). */
    explicit ParsedText(const std::string& text, const char* tzid = nullptr,
                        int format = CALPARSER_FORMAT_ICAL, const char* charset = nullptr)
    {
        std::vector<char> zone;
        if (tzid)
            zone.assign(tzid, tzid + std::string(tzid).size() + 1);
        protstream* stream = prot_readmap(text.data(), static_cast<unsigned>(text.size()));
        status = calparser_prot_to_dbstruct(stream, &result, format, 0, charset,
                                            tzid ? zone.data() : nullptr, nullptr, &methodState,
                                            nullptr);
        prot_free(stream);
    }
    ~ParsedText() { calparser_FreeComponentArrayAndDestroy(&result); }
    ParsedText(const ParsedText&) = delete;
    ParsedText& operator=(const ParsedText&) = delete;

    /* The list of result slot `index` (CALPARSER_SLOT_EVENTS, ...); NULL when
     * the parse made no such slot. */
    const array_t* slot(unsigned index) const
    {
        return result && index < result->count ? static_cast<const array_t*>(result->data[index])
                                               : nullptr;
    }
    /* The record wrapped in element `i` of slot `index`; both must exist. */
    const CALDB_COMPONENT* component(unsigned index, unsigned i) const
    {
        return static_cast<const CALDB_COMPONENT*>(
            static_cast<const CAL_VCOMPONENT*>(slot(index)->data[i])->pComponent);
    }

    int status = -1;          /* calparser_prot_to_dbstruct's result */
    unsigned methodState = 0;
    array_t* result = nullptr;
};

#endif
