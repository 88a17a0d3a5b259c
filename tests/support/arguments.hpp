// Sets the run's settings in this process exactly as the command line would.
#pragma once

#include <string>
#include <vector>

void apply_arguments(std::vector<std::string> arguments);
