#include "common/stream.hpp"

#include <cerrno>

#include "common/messages.hpp"
#include "common/output.hpp"
#include "common/stop.hpp"

std::FILE* open_stream(const std::string& name, const char* mode, const char* message) {
    std::FILE* stream = std::fopen(name.c_str(), mode);
    if (stream == nullptr) {
        report_fatal_error(message + format_text(messages::file_detail, name.c_str(), errno_reason(errno).c_str()));
        return nullptr;
    }
    std::setvbuf(stream, nullptr, _IONBF, 0);
    return stream;
}
