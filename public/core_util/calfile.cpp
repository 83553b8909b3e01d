/* Local file paths of the library's data files. */
#include "public/core_util/calfile.h"

#include <fcntl.h>
#include <plstr.h>
#include <stdlib.h>
#include <unistd.h>

#include <string>

#ifndef CALPARSER_BUILD_DATA_ROOT
#define CALPARSER_BUILD_DATA_ROOT "."
#endif
#ifndef CALPARSER_INSTALL_DATA_ROOT
#define CALPARSER_INSTALL_DATA_ROOT CALPARSER_BUILD_DATA_ROOT
#endif

namespace {

/* The file whose presence marks an installed data folder as usable. */
constexpr char kRegistryFile[] = "/data/timezones.ics";

std::string data_root()
{
    const char* fromEnvironment = getenv("CALPARSER_ROOT");
    if (fromEnvironment && fromEnvironment[0] != '\0')
        return fromEnvironment;
    std::string installed = std::string(CALPARSER_INSTALL_DATA_ROOT) + kRegistryFile;
    if (access(installed.c_str(), R_OK) == 0)
        return CALPARSER_INSTALL_DATA_ROOT;
    return CALPARSER_BUILD_DATA_ROOT;
}

}  // namespace

extern "C" {

char* calfile_ToLocalPath(char* path)
{
    for (char* p = path; p && *p; ++p)
        if (*p == '\\')
            *p = '/';
    return path;
}

char* calfile_ResolveLocalPath(const char* path)
{
    if (!path)
        return nullptr;
    try {
        std::string local(path);
        calfile_ToLocalPath(&local[0]);
        if (local.empty() || local[0] != '/') {
            std::string root = data_root();
            if (root.empty() || root.back() != '/')
                root += '/';
            local = root + local;
        }
        return PL_strdup(local.c_str());
    } catch (...) {
        return nullptr;
    }
}

int jtessar_open(const char* path, int flags, int mode) {
    char* local = PL_strdup(path);
    if (!path || !local) {
        PL_strfree(local);
        return -1;
    }
    int fd = open(calfile_ToLocalPath(local), flags, static_cast<mode_t>(mode));
    PL_strfree(local);
    return fd;
}

int jtessar_close(int fd) {
    return close(fd);
}

}  // extern "C"
