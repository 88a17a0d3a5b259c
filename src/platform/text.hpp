// The OS's text for its errors.
#pragma once

// The printf format, taking the code as unsigned long, of the reason given for a system error
// the OS has no text for; set by main before anything else (Windows; elsewhere unused).
void describe_unknown_errors_with(const char* format);
