/* The token list a lexing call made, freed with its tokens, and the one-line
 * text of a token the lexer tests compare. */
#ifndef TESTS_SUPPORT_LEXED_H
#define TESTS_SUPPORT_LEXED_H

#include <string>
#include <vector>

#include "core/parser/cal_tok.h"
#include "public/util/array.h"

struct Lexed {
    array_t* tokens = nullptr;  /* CALPARSER_TOKEN*, owned */
    unsigned consumed = 0;      /* bytes of the chunk read */
    unsigned line = 1;          /* line the next chunk starts on */
    int rc = -1;                /* the lexing call's status */

    Lexed() = default;
    Lexed(const Lexed&) = delete;
    Lexed& operator=(const Lexed&) = delete;
    ~Lexed() {
        calparser_FreeTokenList(tokens);
        array_delete(tokens);
    }
    unsigned count() const { return tokens ? tokens->count : 0; }
    CALPARSER_TOKEN* at(unsigned i) const {
        return static_cast<CALPARSER_TOKEN*>(array_elementat(tokens, i));
    }
};

/* Lexes `text` (embedded NULs allowed) as one iCalendar chunk, continuing `out`. */
inline void lex_chunk(Lexed& out, std::string text, int checkVCalendar = 0) {
    out.rc = calparser_icalbuf_to_toklist(&text[0], (unsigned)text.size(), &out.tokens,
                                          &out.consumed, &out.line, checkVCalendar);
}

/* A token in one line: "type name value-keyword 'value'", then per parameter
 * " ;type name 'value'"; "-" marks a NULL text. The line is left out. */
inline std::string token_text(const CALPARSER_TOKEN* t) {
    auto text = [](const char* s) { return s ? "'" + std::string(s) + "'" : std::string("-"); };
    std::string s = std::to_string(t->nType) + " " + text(t->pName) + " " +
                    std::to_string(t->nValue) + " " + text(t->pValue);
    for (unsigned i = 0; t->pParamList && i < t->pParamList->count; i++) {
        auto* p = (const CALPARSER_PARAM*)array_elementat(t->pParamList, i);
        s += " ;" + std::to_string(p->nType) + " " + text(p->pName) + " " + text(p->pValue);
    }
    return s;
}

/* token_text of every token of `list`, each after its line number and ": "
 * when `withLines` is set. */
inline std::vector<std::string> token_texts(const array_t* list, bool withLines = false) {
    std::vector<std::string> all;
    for (unsigned i = 0; list && i < list->count; i++) {
        auto* t = (const CALPARSER_TOKEN*)array_elementat(list, i);
        all.push_back((withLines ? std::to_string(t->nLine) + ": " : "") + token_text(t));
    }
    return all;
}

#endif
