/* Configuration cache: `key = value` settings, read from any thread.
 *
 * A text handed out by config_get_string must stay valid while another thread
 * sets the same key, so values are interned: every distinct value ever stored
 * lives in `values` until the process ends, and a key maps to the interned
 * copy. Memory grows only with the number of distinct values. */
#include "public/util/config.h"

#include "public/util/kvallog.h"

#include <errno.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <atomic>
#include <map>
#include <mutex>
#include <new>
#include <set>
#include <shared_mutex>
#include <string>
#include <utility>
#include <vector>

struct config_cache {
    std::shared_mutex lock;
    std::set<std::string> values;               /* interned, never erased */
    std::map<std::string, const char*> current; /* key -> interned value */
    std::vector<std::string> loadProblems;      /* logged once loading is done */
    std::atomic<bool> problemsPending{false};
    std::atomic<unsigned> version{0};           /* bumped by every change */
};

static bool is_blank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

static std::string trimmed(const std::string& text) {
    size_t start = 0, end = text.size();
    while (start < end && is_blank(text[start])) start++;
    while (end > start && is_blank(text[end - 1])) end--;
    return text.substr(start, end - start);
}

/* Stores `value` for `key`; the caller holds the write lock. */
static void store_locked(config_cache* cache, const std::string& key, const std::string& value) {
    auto interned = cache->values.insert(value).first;
    cache->current[key] = interned->c_str();
    cache->version.fetch_add(1, std::memory_order_release);
}

/* Reads `key = value` lines from `path` into `cache`. Blank lines and lines
 * whose first non-blank character is '#' are skipped; other lines without '='
 * or with an empty key are skipped and remembered for the log. Runs before the
 * cache is shared, and must not log: the logger reads this cache. */
static void load_file(config_cache* cache, const char* path) {
    FILE* file = fopen(path, "r");
    if (!file) {
        cache->loadProblems.push_back(std::string("cannot read configuration file \"") + path +
                                      "\": " + strerror(errno));
        return;
    }
    std::string line;
    unsigned lineNumber = 0;
    int c;
    do {
        c = fgetc(file);
        if (c != '\n' && c != EOF) {
            line.push_back((char)c);
            continue;
        }
        if (c == EOF && line.empty()) break;
        lineNumber++;
        std::string content = trimmed(line);
        line.clear();
        if (content.empty() || content[0] == '#') continue;
        size_t equals = content.find('=');
        std::string key = equals == std::string::npos ? "" : trimmed(content.substr(0, equals));
        if (key.empty()) {
            cache->loadProblems.push_back(std::string("configuration file \"") + path + "\" line " +
                                          std::to_string(lineNumber) +
                                          " is not \"key = value\", ignored");
            continue;
        }
        store_locked(cache, key, trimmed(content.substr(equals + 1)));
    } while (c != EOF);
    fclose(file);
}

static config_cache* create_default_cache() {
    /* Static storage, constructed once and never destroyed: threads may still
     * read the cache while the process exits, and creating it cannot fail. */
    alignas(config_cache) static unsigned char storage[sizeof(config_cache)];
    config_cache* cache = new (storage) config_cache();
    const char* path = getenv("CALPARSER_CONFIG");
    if (path && *path) {
        try {
            load_file(cache, path);
        } catch (...) {
            cache->loadProblems.push_back("out of memory reading the configuration file");
        }
    }
    cache->problemsPending = !cache->loadProblems.empty();
    return cache;
}

config_cache* config_getdefaultcache(void) {
    static config_cache* const cache = create_default_cache();
    /* A plain load first: the exchange would write the shared flag on every call. */
    if (cache->problemsPending.load(std::memory_order_relaxed) &&
        cache->problemsPending.exchange(false)) {
        for (const std::string& problem : cache->loadProblems)
            kvallog(0, KVALLOG_LEVEL_DROPPED, "%s: %s", KVALLOG_CORE_SUBSYSTEM, problem.c_str());
    }
    return cache;
}

/* The keys one thread has read from one cache while its version stayed the
 * same, with their interned values (NULL: not set). A parse reads a few keys
 * for every component; answered from here, those reads take no lock. The
 * version is read before the value, so an entry is never newer than the
 * version it is filed under: a change in between only makes the next read
 * ask again. */
struct ThreadReads {
    const config_cache* cache = nullptr;
    unsigned version = 0;
    std::vector<std::pair<std::string, const char*>> values;
};

const char* config_get_string(config_cache* handle, const char* key, const char* defaultValue) {
    if (!handle || !key) return defaultValue;
    thread_local ThreadReads reads;
    unsigned version = handle->version.load(std::memory_order_acquire);
    if (reads.cache != handle || reads.version != version) {
        reads.values.clear();
        reads.cache = handle;
        reads.version = version;
    }
    for (const auto& read : reads.values)
        if (read.first == key) return read.second ? read.second : defaultValue;
    const char* found = nullptr;
    try {
        std::shared_lock<std::shared_mutex> reading(handle->lock);
        auto it = handle->current.find(key);
        if (it != handle->current.end()) found = it->second;
    } catch (...) {
        return defaultValue;
    }
    try {
        reads.values.emplace_back(key, found);
    } catch (...) {
        /* Not remembered: the next read asks the cache again. */
    }
    return found ? found : defaultValue;
}

int config_get_int(config_cache* handle, const char* key, int defaultValue) {
    const char* text = config_get_string(handle, key, NULL);
    if (!text || !*text) return defaultValue;
    char* end = NULL;
    errno = 0;
    long value = strtol(text, &end, 10);
    if (errno || end == text || *end != '\0' || value < INT_MIN || value > INT_MAX)
        return defaultValue;
    return (int)value;
}

unsigned config_get_version(config_cache* handle) {
    return handle ? handle->version.load(std::memory_order_acquire) : 0;
}

int config_set_string(config_cache* handle, const char* key, const char* value) {
    if (!handle || !key) return 1;
    try {
        std::unique_lock<std::shared_mutex> writing(handle->lock);
        if (value)
            store_locked(handle, key, value);
        else
            if (handle->current.erase(key)) handle->version.fetch_add(1, std::memory_order_release);
    } catch (...) {
        return 3;
    }
    return 0;
}
