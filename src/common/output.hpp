// Console output. Everything goes to standard output and is flushed at once, so that the
// progress line moves; the module remembers whether the console line is left open.
#pragma once

#include <functional>
#include <string>

// A failure to write is told to the hook below: a run whose figures reached no one did not
// succeed.
void print(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Prints `message` and a line feed on a line of its own: a status or progress text left
// open on the console line is ended first, so the message never runs on after it.
void print_on_own_line(const std::string& message);

std::string format_text(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Called with the error's message at each failure to write; main makes it the run's fatal error.
using output_failure_hook = std::function<void(const std::string& message)>;
void on_output_failure(output_failure_hook hook);

// True once a write has failed.
bool output_failed();

// With several ranks, every rank but the printing one is silenced: its output goes nowhere.
void silence_output(bool silenced);

// The OS's description of an errno value.
std::string errno_reason(int code);
