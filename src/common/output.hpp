// Console output. Everything goes to standard output and is flushed at once, so that the
// progress line moves; the module remembers whether the console line is left open.
#pragma once

#include <string>

// A failure to write records a fatal error: a run whose figures reached no one did not succeed.
void print(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Prints `message` and a line feed on a line of its own: a status or progress text left
// open on the console line is ended first, so the message never runs on after it.
void print_on_own_line(const std::string& message);

std::string format_text(const char* format, ...) __attribute__((format(printf, 1, 2)));

// With several ranks, every rank but the printing one is silenced: its output goes nowhere.
void silence_output(bool silenced);

// The OS's description of an errno value.
std::string errno_reason(int code);
