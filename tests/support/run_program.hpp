// Runs the real quorlane binary and captures what it prints and how it ends.
#pragma once

#include <string>
#include <vector>

struct execution_result {
    std::string output;  // everything written to standard output
    std::string errors;  // everything written to standard error
    int status = -1;     // exit status, or 128 + signal number when killed
};

// Runs `program` with `arguments` (argument 0 is added) in an environment made of the
// current one, with TEMP removed when `temp` is null and set to it otherwise.
execution_result run_program(const std::string& program, const std::vector<std::string>& arguments,
                             const char* temp = nullptr);

// The same on the quorlane binary of this build.
execution_result quorlane(const std::vector<std::string>& arguments, const char* temp = nullptr);

// The lines of `text`, each without its line feed; a last line without one is kept.
std::vector<std::string> lines(const std::string& text);

// What stays on screen of a console line: the text after its last carriage return.
std::string visible(const std::string& line);
