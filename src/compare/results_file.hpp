// A results file read back: checked to be one this program can rely on, then turned again into
// the record its run kept, so that the report's page and charts draw from it as they did then.
#pragma once

#include <nlohmann/json.hpp>
#include <string>

#include "results/record.hpp"

struct read_results {
    std::string file;
    nlohmann::ordered_json document;
    run_record record;
};

// False, with the message that names the file and what is wrong with it, when it can't be read,
// is not JSON, is not a results file or is of a schema_version this program does not know.
bool read_results_file(const std::string& file, read_results& read, std::string& message);
