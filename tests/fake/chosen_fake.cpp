// Linked into quorlane_fake in place of the synchronous engine's choice: the whole program
// runs on the fake device, described by the environment, in the same process. FAKE_KEEPS=N
// bytes (FAKE_DROPS=1 to drop past them instead of wrapping), FAKE_FLIPS=piece,
// FAKE_WRITE_US=N and FAKE_READ_US=N per block from FAKE_SLOW_FROM=offset on, and
// FAKE_FAULT=offset:w|r:error:moved for the block of every file holding that offset.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "fake/fake_device.hpp"

namespace {

long long setting(const char* name, long long otherwise) {
    const char* text = std::getenv(name);
    return text == nullptr ? otherwise : std::atoll(text);
}

fake_device* described_device() {
    auto* device = new fake_device;
    device->keeps_bytes = static_cast<std::uint64_t>(setting("FAKE_KEEPS", 0));
    device->drops = setting("FAKE_DROPS", 0) != 0;
    device->flipped_piece = setting("FAKE_FLIPS", -1);
    device->write_us = static_cast<std::uint32_t>(setting("FAKE_WRITE_US", 0));
    device->read_us = static_cast<std::uint32_t>(setting("FAKE_READ_US", 0));
    device->slow_from = static_cast<std::uint64_t>(setting("FAKE_SLOW_FROM", 0));
    if (const char* fault = std::getenv("FAKE_FAULT")) {
        unsigned long long offset = 0;
        char kind = 'w';
        int error = 0;
        long long moved = -1;
        if (std::sscanf(fault, "%llu:%c:%d:%lld", &offset, &kind, &error, &moved) >= 3)
            device->fault = fake_fault{offset, kind == 'w', error, moved};
    }
    if (!make_fake_device(*device)) {
        std::fputs("the fake device's memory can't be had\n", stderr);
        std::exit(3);
    }
    return device;
}

}  // namespace

const engine_calls& chosen_engine(void*& device) {
    static fake_device* const described = described_device();
    device = described;
    return fake_engine;
}
