// Everything a results file reaches in quorlane-report, for any bytes: shared by the fuzzer
// and by the test that replays its corpus.
#pragma once

#include <string>

// Reads `text` as a results file. A file refused must be refused with a message; a file read
// is rendered as the run's page, compared with itself on the console, on a page and as data,
// and written again as a results file, which must read back and write the same document.
// A fault is said on standard error and ends the process (abort), as the fuzzer wants.
void exercise_results(const std::string& text);
