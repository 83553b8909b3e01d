/* What every harness shares: start-up done once per process, a parse of
 * memory into a result array, the writers run over a result, and the check
 * that turns a wrong answer into a crash the fuzzer keeps.
 *
 * Each harness defines LLVMFuzzerInitialize and LLVMFuzzerTestOneInput; it is
 * linked either with libFuzzer or with replay_main.cpp, which runs each file
 * given once. */
#ifndef FUZZ_FUZZ_SUPPORT_H
#define FUZZ_FUZZ_SUPPORT_H

#include <stddef.h>
#include <stdint.h>

#include <string>

#include <plstr.h>

#include "core/parser/calparser.h"

namespace fuzz {

/* Starts the library once per process (registry included) and silences the
 * log, so that an input costs only its own parse. Safe to call repeatedly. */
void init_once();

/* The zone handed to the parse as its default. */
extern char kDefaultTzid[];

/* Parses `size` bytes as `format` in `charset` (NULL: UTF-8). Returns the
 * result array (the caller frees it with calparser_FreeComponentArrayAndDestroy;
 * may be NULL) and stores the parse's status in *pRc when given. */
array_t* parse(const uint8_t* data, size_t size, int format, const char* charset, int* pRc);

/* A write stream to /dev/null, made once and shared by the harnesses. */
protstream* null_out();

/* The event (slot 1) or to-do (slot 2) list of a result, or NULL. */
array_t* slot(array_t* result, unsigned index);

/* Writes every event and to-do of `result` with the iCalendar, XML and SXML
 * writers to the null stream. */
void write_all(array_t* result);

/* The records (not the wrappers) of a CAL_VCOMPONENT list, in a new array the
 * caller deletes with array_delete; the records stay the list's. */
array_t* records_of(array_t* wrappers);

/* Runs `write` against a fresh write stream and returns every byte it wrote
 * (one in-memory file, reused by every call of the process). */
std::string written_by(void (*write)(protstream* out, void* ctx), void* ctx);

/* Aborts with `what` on stderr when `ok` is false: an oracle's verdict. */
void expect(bool ok, const char* what);

/* The input as text, cut at its first NUL (the intake stops there too for
 * the lexers' string scans). */
std::string text_of(const uint8_t* data, size_t size);

}  // namespace fuzz

#endif
