// A query of the OS that may never return: a hung network mount can block any call on its
// directory. It runs on a thread of its own, which is left behind, still blocked, when the time
// limit runs out.
#pragma once

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>

// What `query` returned, or none when it did not return within `limit_ms` or no thread was to
// be had. `query` must own whatever it uses: it may outlive the caller.
template <typename Query>
auto call_within(int limit_ms, Query query) -> std::optional<decltype(query())> {
    using answer = decltype(query());
    struct shared_state {
        std::mutex lock;
        std::condition_variable done_signal;
        std::optional<answer> result;
    };
    const auto state = std::make_shared<shared_state>();
    try {
        std::thread([state, query] {
            answer result = query();
            const std::lock_guard<std::mutex> guard(state->lock);
            state->result = std::move(result);
            state->done_signal.notify_one();
        }).detach();
    } catch (const std::system_error&) {
        return std::nullopt;
    }
    std::unique_lock<std::mutex> guard(state->lock);
    if (!state->done_signal.wait_for(guard, std::chrono::milliseconds(limit_ms),
                                     [&state] { return state->result.has_value(); }))
        return std::nullopt;
    return state->result;
}
