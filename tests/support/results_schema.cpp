#include "support/results_schema.hpp"

#include <cstdlib>
#include <filesystem>

#include "support/run_program.hpp"

namespace {

// Every error the schema finds, one a line with where it is; the status says whether any.
const char* const validate =
    "import json, sys, jsonschema\n"
    "schema = json.load(open(sys.argv[1]))\n"
    "document = json.load(open(sys.argv[2]))\n"
    "errors = list(jsonschema.Draft202012Validator(schema).iter_errors(document))\n"
    "for error in errors: print('/'.join(str(part) for part in error.absolute_path) + ': ' + error.message)\n"
    "sys.exit(1 if errors else 0)\n";

std::string python_binary() {
    const char* path = std::getenv("PATH");
    std::string directories = path != nullptr ? path : "/usr/bin:/bin";
    for (std::size_t start = 0; start <= directories.size();) {
        const std::size_t end = std::min(directories.find(':', start), directories.size());
        const std::string candidate = directories.substr(start, end - start) + "/python3";
        std::error_code ignored;
        if (std::filesystem::is_regular_file(candidate, ignored)) return candidate;
        start = end + 1;
    }
    return "";
}

}  // namespace

bool results_schema_validator(std::string& why_not) {
    // Asked once: every results file a test reads is checked.
    static std::string missing = [] {
        const std::string python = python_binary();
        if (python.empty()) return std::string("python3 was not found: the results files can't be checked against their schema");
        if (run_program(python, {"-c", "import jsonschema"}).status != 0)
            return std::string("Python's jsonschema module (python3-jsonschema) is missing: the results files can't be "
                               "checked against their schema");
        return std::string();
    }();
    why_not = missing;
    return missing.empty();
}

std::string results_schema_problems(const std::string& results_file) {
    std::string why_not;
    if (!results_schema_validator(why_not)) return "";
    const execution_result r = run_program(python_binary(), {"-c", validate, QUORLANE_RESULTS_SCHEMA, results_file});
    return r.status == 0 ? "" : "status " + std::to_string(r.status) + ": " + r.output + r.errors;
}
