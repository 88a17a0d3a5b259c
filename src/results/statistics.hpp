// Statistics of one figure over the passes of a run.
#pragma once

#include <vector>

struct figure_statistics {
    double median = 0;  // the mean of the two middle values when there is an even number
    double minimum = 0;
    double maximum = 0;
    double mean = 0;
    double standard_deviation = 0;  // of a sample (divided by n - 1); 0 for one value
};

figure_statistics statistics_of(std::vector<double> values);
