#include "support/arguments.hpp"

#include "settings/settings.hpp"

void lire_arguments(std::vector<std::string> arguments) {
    initiation_des_variables();
    arguments.insert(arguments.begin(), "quorlane");
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    gestion_des_arguments(static_cast<int>(argv.size()), argv.data());
}
