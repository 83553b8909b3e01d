/* What a debug printer writes to an NSPR file, read back from a temporary
 * file. */
#ifndef TESTS_SUPPORT_NSPR_CAPTURE_H
#define TESTS_SUPPORT_NSPR_CAPTURE_H

#include <prio.h>
#include <stdlib.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>

template <typename Printer>
std::string printed_by(Printer print)
{
    char path[] = "/tmp/nspr_captureXXXXXX";
    int fd = mkstemp(path);
    if (fd < 0)
        return "<no temporary file>";
    close(fd);
    PRFileDesc* file = PR_Open(path, PR_WRONLY | PR_TRUNCATE, 0600);
    if (file) {
        print(file);
        PR_Close(file);
    }
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    unlink(path);
    return text.str();
}

#endif
