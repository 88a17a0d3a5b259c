#include "support/arguments.hpp"

#include "settings/settings.hpp"

void apply_arguments(std::vector<std::string> arguments) {
    initialize_settings();
    arguments.insert(arguments.begin(), "quorlane");
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    parse_arguments(static_cast<int>(argv.size()), argv.data());
}
