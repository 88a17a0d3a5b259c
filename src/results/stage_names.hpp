// What each stage of a phase is, where the evidence holds: with buffered writes, the OS's
// cache taking writes up to its dirty limit; a fast write cache in the device; a steady
// stage; a steady decline. A read's stages are steady or declining alone.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/dirty_limit.hpp"
#include "results/stages.hpp"

enum class stage_kind { os_cache, device_cache, steady, decline };

// The kind's name in the results file: "os_cache", "device_cache", "steady", "decline".
const char* stage_kind_name(stage_kind kind);

// What the naming needs of the run besides the stages.
struct stage_facts {
    bool writing = true;
    bool unbuffered = false;  // -direct: the OS cache took none of the data
    std::uint64_t dirty_limit_bytes = 0;  // 0 when unknown
    std::uint64_t memory_bytes = 0;       // the machine's; 0 when unknown
    // Written since the eviction began, before the phase's first byte: the eviction file,
    // which has already filled part of a device's cache. 0 without eviction.
    std::uint64_t eviction_bytes = 0;
};

struct named_stage {
    rate_stage stage;
    stage_kind kind = stage_kind::steady;
    // The stage's bounds counted from the eviction's first byte.
    std::uint64_t start_bytes_since_eviction = 0;
    std::uint64_t end_bytes_since_eviction = 0;
};

std::vector<named_stage> name_stages(const std::vector<rate_stage>& stages, const stage_facts& facts);
