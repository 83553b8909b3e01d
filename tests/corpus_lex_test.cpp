// Every corpus file lexes as iCalendar text, once whole and once through
// the parse's intake in 4096-byte chunks, without a crash or a sanitizer
// report; where chunking cannot change the outcome, both token lists agree.
#include "core/parser/cal_tok.h"
#include "core/parser/calparser.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/corpus_files.h"
#include "tests/support/lexed.h"

namespace fs = std::filesystem;
using corpus_files::read_file;

namespace {

constexpr size_t kChunkSize = 4096;

// Whether chunking can change the cut: a line longer than a chunk, or a CR in
// a chunk's unfinished line when the text has LF line ends (a chunk without an
// LF lets that CR end the line). A chunk ending after a CR, or between an LF
// and a fold's space, is the intake's to hold back.
bool chunking_can_differ(std::string data) {
    char* text = &data[0];
    char* end = text + data.size();
    for (char* p = text; p < end;) {
        char* lineEnd = calparser_find_next_valid_CR(p, (int)(end - p), nullptr);
        if (!lineEnd)
            break;
        if ((size_t)(lineEnd - p) + 1 > kChunkSize)
            return true;
        p = lineEnd + 1;
    }
    bool hasLf = data.find('\n') != std::string::npos;
    for (size_t b = kChunkSize; b < data.size(); b += kChunkSize) {
        for (size_t i = b; hasLf && i-- > 0 && data[i] != '\n';)
            if (data[i] == '\r')
                return true;
    }
    return false;
}

// Every token with its line, one token per line.
std::string serialize(const array_t* tokens) {
    std::string s;
    for (const std::string& token : token_texts(tokens, true)) s += token + "\n";
    return s;
}

}  // namespace

TEST(CorpusLex, WholeAndChunkedAgree) {
    const std::vector<fs::path> all = corpus_files::files_under(corpus_files::corpus_dir());
    if (all.empty()) GTEST_SKIP() << "no corpus at " << corpus_files::corpus_dir();
    size_t files = 0, compared = 0, multiChunk = 0;
    for (const fs::path& path : all) {
        SCOPED_TRACE(path.string());
        files++;
        std::string data = read_file(path);
        Lexed whole, chunked;
        std::string buf = data;
        unsigned consumed = 0, line = 1;
        EXPECT_EQ(0, calparser_icalbuf_to_toklist(&buf[0], (unsigned)buf.size(), &whole.tokens,
                                                  &consumed, &line, 0));
        protstream* stream = prot_readmap(data.data(), (unsigned)data.size());  // 4096-byte chunks
        EXPECT_EQ(0, calparser_create_token_list(stream, &chunked.tokens, CALPARSER_FORMAT_ICAL, 0,
                                                 nullptr));
        prot_free(stream);
        ASSERT_NE(nullptr, whole.tokens);
        ASSERT_NE(nullptr, chunked.tokens);
        if (chunking_can_differ(data))
            continue;
        compared++;
        multiChunk += data.size() > kChunkSize;
        std::string a = serialize(whole.tokens), b = serialize(chunked.tokens);
        if (a != b) {
            size_t at = std::mismatch(a.begin(), a.end(), b.begin(), b.end()).first - a.begin();
            ADD_FAILURE() << "chunked tokens differ from byte " << at << ":\n"
                          << a.substr(at, 200) << "\n---\n" << b.substr(at, 200);
        }
    }
    // Not vacuous: most files are compared, and some of those span several chunks.
    EXPECT_GT(compared * 4, files * 3);
    EXPECT_GT(multiChunk, 10u);
}
