#include "platform/text.hpp"

// strerror's text covers every errno value.
void describe_unknown_errors_with(const char*) {}
