#include "results/record.hpp"

#include <mutex>

run_record current_run;

namespace {
std::mutex mismatch_lock;
}  // namespace

void keep_first_mismatch(const mismatch_record& mismatch) {
    std::lock_guard<std::mutex> guard(mismatch_lock);
    if (!current_run.mismatch.found) current_run.mismatch = mismatch;
}
