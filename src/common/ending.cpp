#include "common/ending.hpp"

#include "common/output.hpp"

void print_error(const std::string& message) { print_on_own_line(message); }
