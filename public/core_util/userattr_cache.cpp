/* A bounded, expiring, least-recently-used map of directory answers. */
#include "public/core_util/userattr_cache.h"

userattr_cache::userattr_cache(int ttlSeconds, size_t capacity)
    : ttl_(ttlSeconds > 0 ? ttlSeconds : 0), capacity_(capacity)
{
}

userattr_answer userattr_cache::find(const std::string& key, Clock::time_point now)
{
    if (ttl_.count() == 0)
        return nullptr;
    std::lock_guard<std::mutex> guard(lock_);
    auto hit = index_.find(key);
    if (hit == index_.end())
        return nullptr;
    Order::iterator item = hit->second;
    if (item->expires <= now) {
        index_.erase(hit);
        order_.erase(item);
        return nullptr;
    }
    order_.splice(order_.begin(), order_, item);
    return item->answer;
}

void userattr_cache::store(const std::string& key, userattr_answer answer, Clock::time_point now)
{
    if (ttl_.count() == 0 || capacity_ == 0)
        return;
    std::lock_guard<std::mutex> guard(lock_);
    auto hit = index_.find(key);
    if (hit != index_.end()) {
        hit->second->answer = std::move(answer);
        hit->second->expires = now + ttl_;
        order_.splice(order_.begin(), order_, hit->second);
        return;
    }
    Order fresh;
    fresh.push_back(Item{key, std::move(answer), now + ttl_});
    index_.emplace(key, fresh.begin());  /* may throw: fresh is then dropped */
    order_.splice(order_.begin(), fresh);
    if (order_.size() > capacity_) {
        index_.erase(order_.back().key);
        order_.pop_back();
    }
}

void userattr_cache::clear()
{
    std::lock_guard<std::mutex> guard(lock_);
    index_.clear();
    order_.clear();
}

size_t userattr_cache::size()
{
    std::lock_guard<std::mutex> guard(lock_);
    return order_.size();
}
