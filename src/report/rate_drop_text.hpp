// The sentence on a fall in the write rate, with its figures rounded for people to read.
#pragma once

#include <string>

#include "results/rate_drop.hpp"

// "The write rate fell from about 1,950 to 410 MB/s after 38.2 GiB."
std::string rate_drop_sentence(const rate_drop& drop);
