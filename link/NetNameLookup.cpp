#include "link/NetNameLookup.h"

#include <atomic>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>

#include "link/NetSocketPlatform.h"
#include "link/PortFailure.h"

namespace travin::net {

namespace {

using Clock = std::chrono::steady_clock;

struct PendingLookup {
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
    int error = 0;
    addrinfo* found = nullptr;
    Clock::time_point doneAt;
};

std::atomic<NameLookup> nameLookup{nullptr};

std::mutex lookupsMutex;
std::map<std::string, std::shared_ptr<PendingLookup>> lookups;

// An answer nobody came back for is not used after this long.
constexpr auto kAnswerKept = std::chrono::seconds(30);

std::string keyOf(const std::string& host, const std::string& service) { return host + '\n' + service; }

std::shared_ptr<PendingLookup> startOrJoin(const std::string& host, const std::string& service) {
    std::lock_guard lock(lookupsMutex);
    const std::string key = keyOf(host, service);
    if (const auto it = lookups.find(key); it != lookups.end()) {
        std::lock_guard answer(it->second->mutex);
        if (!it->second->done || Clock::now() - it->second->doneAt < kAnswerKept) return it->second;
        if (it->second->found) platform::release(it->second->found);
        it->second->found = nullptr;
        lookups.erase(it);
    }
    auto pending = std::make_shared<PendingLookup>();
    lookups[key] = pending;
    // The thread owns its share of the lookup: a caller long gone, or the
    // program ending, leaves it nothing to touch but that.
    std::thread([pending, host, service] {
        addrinfo* found = nullptr;
        const NameLookup lookup = nameLookup.load();
        const int error = lookup ? lookup(host, service, found) : platform::lookUp(host, service, found, false);
        std::lock_guard answer(pending->mutex);
        pending->done = true;
        pending->error = error;
        pending->found = found;
        pending->doneAt = Clock::now();
        pending->finished.notify_all();
    }).detach();
    return pending;
}

}  // namespace

void setNameLookup(NameLookup lookup) { nameLookup = lookup; }

int lookUpWithin(const std::string& host, const std::string& service, addrinfo*& found, Clock::time_point deadline) {
    if (platform::lookUp(host, service, found, true) == 0) return 0;
    const std::shared_ptr<PendingLookup> pending = startOrJoin(host, service);
    std::unique_lock answer(pending->mutex);
    if (!pending->finished.wait_until(answer, deadline, [&] { return pending->done; })) return kErrorLookupSlow;
    // The answer is this caller's; the next open asks afresh.
    found = std::exchange(pending->found, nullptr);
    const int error = pending->error;
    answer.unlock();
    {
        std::lock_guard lock(lookupsMutex);
        const auto it = lookups.find(keyOf(host, service));
        if (it != lookups.end() && it->second == pending) lookups.erase(it);
    }
    // Another open of the same name took this answer first.
    if (error == 0 && !found) return kErrorLookupSlow;
    return error;
}

}  // namespace travin::net
