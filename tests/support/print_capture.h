/* Test helper of the writer tests: runs a writer against a fresh write stream
 * over a temporary file and returns every byte it wrote. */
#ifndef TESTS_PRINT_CAPTURE_H
#define TESTS_PRINT_CAPTURE_H

#include <stdio.h>
#include <unistd.h>

#include <string>

#include "public/util/prot.h"

template <typename Writer>
std::string written_by(Writer write)
{
    std::string out;
    FILE* file = tmpfile();
    if (!file)
        return "<no temporary file>";
    protstream* stream = prot_new(fileno(file), 1);
    write(stream);
    prot_free(stream); /* flushes */
    lseek(fileno(file), 0, SEEK_SET);
    char buf[512];
    ssize_t n;
    while ((n = read(fileno(file), buf, sizeof buf)) > 0)
        out.append(buf, static_cast<size_t>(n));
    fclose(file);
    return out;
}

#endif
