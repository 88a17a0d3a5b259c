// Names as they are: a path in a legacy encoding is not UTF-8, and the results file's text
// replaces what it can't hold. Beside such a text the exact bytes are kept, percent-encoded.
#pragma once

#include <string>

bool is_utf8(const std::string& text);

// Every byte that is not printable ASCII, and '%' itself, as %XX (upper-case hex):
// "/tmp/caf\xe9" → "/tmp/caf%E9".
std::string percent_encoded(const std::string& bytes);
