#include "fake/fake_device.hpp"

#include <sys/mman.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <system_error>
#include <thread>

namespace {

fake_device& device_of(io_engine& engine) { return *static_cast<fake_device*>(engine.device); }

// Where the piece numbered `number` lives, or null when the device dropped it.
unsigned char* place_of(fake_device& device, std::int64_t number) {
    const std::int64_t count = static_cast<std::int64_t>(device.keeps_bytes / fake_piece_bytes);
    if (device.drops && number >= count) return nullptr;
    return device.places + static_cast<std::uint64_t>(number % count) * fake_piece_bytes;
}

fake_device::file_pieces& pieces_of(fake_device& device, os_file file) {
    file_identity identity;
    std::string ignored;
    identity_of(file, identity, ignored);
    return device.files[identity.file];
}

void store(fake_device& device, os_file file, const block_request& request, std::size_t size) {
    const std::lock_guard<std::mutex> guard(device.lock);
    fake_device::file_pieces& pieces = pieces_of(device, file);
    for (std::size_t done = 0; done < size;) {
        const std::uint64_t at = request.offset + done;
        const std::size_t piece = at / fake_piece_bytes;
        const std::size_t part = std::min<std::size_t>(size - done, fake_piece_bytes - at % fake_piece_bytes);
        if (pieces.places.size() <= piece) pieces.places.resize(piece + 1, -1);
        if (at % fake_piece_bytes == 0 || pieces.places[piece] < 0) pieces.places[piece] = device.pieces_written++;
        if (unsigned char* place = place_of(device, pieces.places[piece]))
            std::memcpy(place + at % fake_piece_bytes, request.source + done, part);
        done += part;
    }
    pieces.length = std::max<std::uint64_t>(pieces.length, request.offset + size);
}

std::size_t load(fake_device& device, os_file file, const block_request& request, std::size_t size) {
    const std::lock_guard<std::mutex> guard(device.lock);
    const fake_device::file_pieces& pieces = pieces_of(device, file);
    if (request.offset >= pieces.length) return 0;
    size = static_cast<std::size_t>(std::min<std::uint64_t>(size, pieces.length - request.offset));
    for (std::size_t done = 0; done < size;) {
        const std::uint64_t at = request.offset + done;
        const std::size_t piece = at / fake_piece_bytes;
        const std::size_t part = std::min<std::size_t>(size - done, fake_piece_bytes - at % fake_piece_bytes);
        const std::int64_t number = piece < pieces.places.size() ? pieces.places[piece] : -1;
        const unsigned char* place = number < 0 ? nullptr : place_of(device, number);
        if (place == nullptr)
            std::memset(request.target + done, 0, part);
        else
            std::memcpy(request.target + done, place + at % fake_piece_bytes, part);
        constexpr std::uint64_t flipped_byte = 100;
        if (number == device.flipped_piece && at % fake_piece_bytes <= flipped_byte &&
            flipped_byte < at % fake_piece_bytes + part)
            request.target[done + flipped_byte - at % fake_piece_bytes] ^= 0x10;
        done += part;
    }
    return size;
}

bool submit_to_device(io_engine& engine, const block_request& request) {
    fake_device& device = device_of(engine);
    const bool writing = request.source != nullptr;
    block_completion done;
    done.request = request;
    done.submitted_ns = engine_clock_ns();
    const std::uint32_t slow_us = writing ? device.write_us : device.read_us;
    if (slow_us > 0 && request.offset + request.size > device.slow_from)
        std::this_thread::sleep_for(std::chrono::microseconds(slow_us));
    const fake_fault& fault = device.fault;
    const bool faulted = fault.on_writes == writing && fault.offset != no_offset && request.offset <= fault.offset &&
                         fault.offset < request.offset + request.size;
    std::size_t size = request.size;
    if (faulted && fault.moved >= 0) size = std::min<std::size_t>(size, static_cast<std::size_t>(fault.moved));
    if (faulted && fault.error != 0) {
        done.bytes = -1;
        done.reason = std::generic_category().message(fault.error);
    } else if (device.keeps_bytes == 0) {
        block_request part = request;
        part.size = size;
        const block_completion real = move_block_now(engine, part);
        done.bytes = real.bytes;
        done.reason = real.reason;
    } else if (writing) {
        store(device, engine.file, request, size);
        done.bytes = static_cast<std::int64_t>(size);
    } else {
        done.bytes = static_cast<std::int64_t>(load(device, engine.file, request, size));
    }
    {
        const std::lock_guard<std::mutex> guard(device.lock);
        ++device.blocks_moved;
    }
    done.completed_ns = engine_clock_ns();
    engine.completed.push_back(std::move(done));
    return engine.completed.back().bytes >= 0;
}

}  // namespace

const engine_calls fake_engine{submit_to_device, take_queued_completion};

bool make_fake_device(fake_device& device) {
    if (device.keeps_bytes == 0) return true;
    void* memory = mmap(nullptr, device.keeps_bytes, PROT_READ | PROT_WRITE,
                        MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (memory == MAP_FAILED) return false;
    device.places = static_cast<unsigned char*>(memory);
    return true;
}

void release_fake_device(fake_device& device) {
    if (device.places != nullptr) munmap(device.places, device.keeps_bytes);
    device.places = nullptr;
}
