/* The token list a lexing call made, freed with its tokens. */
#ifndef TESTS_SUPPORT_LEXED_H
#define TESTS_SUPPORT_LEXED_H

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

#endif
