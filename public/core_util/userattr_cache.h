/* Answers of a directory kept for a while (internal to the directory). */
#ifndef PUBLIC_CORE_UTIL_USERATTR_CACHE_H
#define PUBLIC_CORE_UTIL_USERATTR_CACHE_H

#include "public/core_util/userattr_ldap_connection.h"

#include <chrono>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

/* The entries a search found; an empty list is a negative answer, kept like
 * a positive one. Shared read-only between the cache and its readers. */
using userattr_answer = std::shared_ptr<const std::vector<userattr_ldap_record>>;

/* Answers by question (the caller's key), each kept `ttlSeconds` after it was
 * stored, at most `capacity` of them: storing one more drops the one used
 * longest ago. A ttl of 0 keeps nothing. Safe from any number of threads; the
 * lock is held only to look up or store, never while a search runs. */
class userattr_cache {
public:
    using Clock = std::chrono::steady_clock;

    userattr_cache(int ttlSeconds, size_t capacity);

    /* The answer stored for `key` and not yet expired, or an empty pointer. */
    userattr_answer find(const std::string& key, Clock::time_point now = Clock::now());
    /* Stores `answer` for `key`, replacing an earlier one. May throw
     * std::bad_alloc (the cache is then unchanged). */
    void store(const std::string& key, userattr_answer answer, Clock::time_point now = Clock::now());
    void clear();
    size_t size();

private:
    struct Item {
        std::string key;
        userattr_answer answer;
        Clock::time_point expires;
    };
    using Order = std::list<Item>;  /* most recently used first */

    const std::chrono::seconds ttl_;
    const size_t capacity_;
    std::mutex lock_;
    Order order_;
    std::unordered_map<std::string, Order::iterator> index_;
};

#endif
