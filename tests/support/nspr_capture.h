/* What a debug printer writes to an NSPR file, read back from a temporary
 * file. */
#ifndef TESTS_SUPPORT_NSPR_CAPTURE_H
#define TESTS_SUPPORT_NSPR_CAPTURE_H

#include <prio.h>
#include <stdlib.h>
#include <unistd.h>

#include <string>

template <typename Printer>
std::string printed_by(Printer print)
{
    char path[] = "/tmp/nspr_captureXXXXXX";
    int fd = mkstemp(path);
    if (fd < 0)
        return "<no temporary file>";
    if (PRFileDesc* file = PR_Open(path, PR_WRONLY, 0600)) {
        print(file);
        PR_Close(file);
    }
    std::string text;
    char buf[512];
    for (ssize_t n; (n = read(fd, buf, sizeof buf)) > 0;)
        text.append(buf, (size_t)n);
    close(fd);
    unlink(path);
    return text;
}

#endif
