#include "results/record.hpp"

run_record current_run;
