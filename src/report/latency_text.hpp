// What a phase's calls took, in words: the console's notes with -latency, and the times as the
// report page shows them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "latency/stalls.hpp"

// 6.18 µs, 0.21 ms, 1.9 ms, 2.31 s: three significant digits, in µs below 0.1 ms, in ms below a
// second.
std::string duration_text(std::uint64_t ns);

// Who made a stall's call: "worker 1", or with several ranks "rank 2, worker 1".
std::string stall_maker(const stall_record& stall, bool with_ranks);

// The note on the calls' times and the one on the longest call, each a line without its line
// feed; `flush` for a phase of files forced to the device, whose calls have no offset. Empty
// when the phase made no call.
std::string latency_note(const latency_summary& summary, bool flush);
std::string stall_note(const std::vector<stall_record>& stalls, bool with_ranks);
