// Results files checked against docs/results.schema.json by Python's jsonschema, the validator
// scripts are most likely to use.
#pragma once

#include <string>

// False, saying why for GTEST_SKIP, when python3 or its jsonschema module is missing.
bool results_schema_validator(std::string& why_not);

// What the validator finds wrong with the file, empty when it conforms or when there is no
// validator (results_schema_validator tells which).
std::string results_schema_problems(const std::string& results_file);
