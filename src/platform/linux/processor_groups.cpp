#include "platform/processor_groups.hpp"

// Linux schedules a process's threads over every processor it may use.
void place_worker_thread(std::uint32_t) {}
