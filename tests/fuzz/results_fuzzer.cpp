// libFuzzer's entry: any bytes as a results file (see results_harness.hpp).
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/results_harness.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    exercise_results(std::string(reinterpret_cast<const char*>(data), size));
    return 0;
}
