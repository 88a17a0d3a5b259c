// Standard output when it is a console.
#pragma once

#include <string>

enum class console_write { not_a_console, written, failed };

// Writes `text` (UTF-8) to standard output when that is a console which takes characters
// rather than bytes; `not_a_console` leaves the writing to the caller.
console_write write_to_console(const std::string& text, std::string& reason);
