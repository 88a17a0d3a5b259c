// The run's settings made in this process exactly as the command line would make them.
#pragma once

#include <string>
#include <vector>

#include "settings/settings.hpp"

// Fails the test when the command line is not one to run with.
run_settings apply_arguments(std::vector<std::string> arguments);
