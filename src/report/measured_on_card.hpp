// The report page's "Measured on" card: the drive with its link on one line, the machine on
// the next, from the results document.
#pragma once

#include <nlohmann/json.hpp>
#include <string>

std::string measured_on_card(const nlohmann::ordered_json& results);
