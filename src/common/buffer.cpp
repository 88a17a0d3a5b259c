#include "common/buffer.hpp"

#include <new>

#include "common/messages.hpp"
#include "common/output.hpp"
#include "common/stop.hpp"

std::unique_ptr<unsigned char[]> new_buffer(std::size_t bytes) {
    std::unique_ptr<unsigned char[]> buffer(new (std::nothrow) unsigned char[bytes]);
    if (!buffer) report_fatal_error(format_text(messages::not_enough_memory, static_cast<unsigned>(bytes / 1024)));
    return buffer;
}
