#include "common/buffer.hpp"

#include <new>

#include "common/messages.hpp"
#include "common/output.hpp"
#include "common/stop.hpp"

std::size_t buffer_alignment = 4096;

void aligned_delete::operator()(unsigned char* bytes) const {
    ::operator delete[](bytes, std::align_val_t{buffer_alignment});
}

block_buffer new_buffer(std::size_t bytes) {
    block_buffer buffer(
        static_cast<unsigned char*>(::operator new[](bytes, std::align_val_t{buffer_alignment}, std::nothrow)));
    if (!buffer) record_fatal_error(format_text(messages::not_enough_memory, static_cast<unsigned>(bytes / 1024)));
    return buffer;
}
