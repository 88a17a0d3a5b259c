#include "support/run_program.hpp"

#include "support/process.hpp"

execution_result run_program(const std::string& program, const std::vector<std::string>& arguments, const char* temp) {
    child_process process;
    if (!launch(process, program, arguments, {temp})) return {};
    finish(process);
    return {process.text, process.error_text, process.status};
}

execution_result quorlane(const std::vector<std::string>& arguments, const char* temp) {
    return run_program(QUORLANE_BINARY, arguments, temp);
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> result;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            result.push_back(text.substr(start));
            break;
        }
        result.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return result;
}

std::string visible(const std::string& line) {
    const std::size_t carriage_return = line.rfind('\r');
    return carriage_return == std::string::npos ? line : line.substr(carriage_return + 1);
}
