#include "common/buffer.hpp"

#include <new>

#include "common/messages.hpp"
#include "common/output.hpp"

void aligned_delete::operator()(unsigned char* bytes) const {
    ::operator delete[](bytes, std::align_val_t{alignment});
}

block_buffer new_buffer(std::size_t bytes, std::size_t alignment) {
    return block_buffer(static_cast<unsigned char*>(::operator new[](bytes, std::align_val_t{alignment}, std::nothrow)),
                        aligned_delete{alignment});
}

std::string buffer_refusal(std::size_t bytes) {
    return format_text(messages::not_enough_memory, static_cast<unsigned>(bytes / 1024));
}
