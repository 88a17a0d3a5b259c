// The console's note on a phase's stages, in words: "Note: the write went in stages: a fast
// write cache of about 38 GiB at 3,100 MB/s, then 1,450 MB/s, from 180 GiB on 410 MB/s."
#pragma once

#include <string>
#include <vector>

#include "results/stage_names.hpp"

// Empty for a phase of one stage that did not decline: its figure says it all.
std::string stages_note(const std::vector<named_stage>& stages, bool writing);
