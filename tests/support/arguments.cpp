#include "support/arguments.hpp"

#include "common/random.hpp"
#include "settings/settings.hpp"

void apply_arguments(std::vector<std::string> arguments) {
    initialize_settings();
    seed_names(draw_run_seed());
    arguments.insert(arguments.begin(), "quorlane");
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    parse_arguments(static_cast<int>(argv.size()), argv.data());
}
