#include "support/arguments.hpp"

#include <gtest/gtest.h>

#include "common/random.hpp"

run_settings apply_arguments(std::vector<std::string> arguments) {
    seed_names(draw_run_seed());
    arguments.insert(arguments.begin(), "quorlane");
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    const parsed_arguments parsed = parse_arguments(static_cast<int>(argv.size()), argv.data());
    EXPECT_EQ(parsed.end, parse_end::run) << parsed.refusal.message;
    return parsed.settings;
}
