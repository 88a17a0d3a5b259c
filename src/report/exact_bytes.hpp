// Names as they are: a path in a legacy encoding is not UTF-8, and the results file's text
// replaces what it can't hold. Beside such a text the exact bytes are kept, percent-encoded.
#pragma once

#include <string>

bool is_utf8(const std::string& text);

// Every byte that is not printable ASCII, and '%' itself, as %XX (upper-case hex):
// "/tmp/caf\xe9" → "/tmp/caf%E9".
std::string percent_encoded(const std::string& bytes);

// The bytes that "%XX" forms and printable ASCII stand for; false when `encoded` holds
// anything else (a '%' without two upper-case hex digits, a byte that is not printable ASCII).
bool percent_decoded(const std::string& encoded, std::string& bytes);

// A text as people are shown it, on the console and on the page: each byte that is not part
// of UTF-8 as \xE9, each control character (C0, DEL) as \x1B and each C1 control as \u009B,
// so that no text from a file moves a terminal's cursor or hides what it holds.
std::string visible_text(const std::string& text);
