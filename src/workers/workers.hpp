// The worker threads' entry points and the record main hands to each.
#pragma once

#include <cstdint>
#include <string>

struct thread_param {
    std::uint32_t thread_index = 0;  // 0 to nombre_thread - 1; worker 0 shows progress
    std::string file_prefix;         // "vellumcrate_" + 8 random letters
    bool with_cache = false;         // selects the reader's progress label
};

// Creates the worker's file_number test files and leaves them open for the flush pass.
void fonction_test_ecriture(thread_param* record);

// Reads back the files the writer with the same index created.
void fonction_test_lecture(thread_param* record);
