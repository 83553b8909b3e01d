// Where the test inputs are: the shared corpus of other projects' calendars
// (CALPARSER_CORPUS_DIR in the environment, else the path the build gave)
// and the files under a folder, with a reader for whole files.
#ifndef TESTS_SUPPORT_CORPUS_FILES_H
#define TESTS_SUPPORT_CORPUS_FILES_H

#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace corpus_files {

inline std::filesystem::path corpus_dir() {
    const char* dir = getenv("CALPARSER_CORPUS_DIR");
    return dir && *dir ? dir : CALPARSER_CORPUS_DIR;
}

// Every regular file under `dir` but the README (.md), sorted; none when
// `dir` is not a folder.
inline std::vector<std::filesystem::path> files_under(const std::filesystem::path& dir) {
    std::vector<std::filesystem::path> files;
    if (!std::filesystem::is_directory(dir)) return files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(dir))
        if (entry.is_regular_file() && entry.path().extension() != ".md")
            files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    return files;
}

inline std::string read_file(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream all;
    all << in.rdbuf();
    return all.str();
}

}  // namespace corpus_files

#endif
