#include <chrono>
#include <cstdint>

#include "io/engine.hpp"

namespace {

bool submit_now(io_engine& engine, const block_request& request) {
    engine.completed.push_back(move_block_now(engine, request));
    return engine.completed.back().bytes >= 0;
}

}  // namespace

bool take_queued_completion(io_engine& engine, block_completion& done) {
    if (engine.completed.empty()) return false;
    done = std::move(engine.completed.front());
    engine.completed.pop_front();
    return true;
}

const engine_calls synchronous_engine{submit_now, take_queued_completion};

io_engine make_engine() {
    io_engine engine;
    engine.calls = &chosen_engine(engine.device);
    return engine;
}

std::int64_t engine_clock_ns() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

block_completion move_block_now(io_engine& engine, const block_request& request) {
    block_completion done;
    done.request = request;
    const bool at_position = request.offset == engine.position;
    done.submitted_ns = engine_clock_ns();
    if (request.source != nullptr) {
        const bool written = at_position
                                 ? write_all(engine.file, request.source, request.size, done.reason)
                                 : write_all_at(engine.file, request.source, request.size, request.offset, done.reason);
        done.bytes = written ? static_cast<std::int64_t>(request.size) : -1;
    } else {
        done.bytes = at_position ? read_up_to(engine.file, request.target, request.size, done.reason)
                                 : read_up_to_at(engine.file, request.target, request.size, request.offset, done.reason);
    }
    done.completed_ns = engine_clock_ns();
    // After a failure the position is not known: the next block goes by its offset.
    engine.position = done.bytes >= 0 && at_position ? request.offset + static_cast<std::uint64_t>(done.bytes)
                                                     : UINT64_MAX;
    return done;
}
