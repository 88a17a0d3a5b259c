#include "results/statistics.hpp"

#include <algorithm>
#include <cmath>

figure_statistics statistics_of(std::vector<double> values) {
    figure_statistics result;
    if (values.empty()) return result;
    std::sort(values.begin(), values.end());
    const std::size_t count = values.size();
    result.median = count % 2 == 1 ? values[count / 2] : (values[count / 2 - 1] + values[count / 2]) / 2;
    result.minimum = values.front();
    result.maximum = values.back();
    double sum = 0;
    for (const double value : values) sum += value;
    result.mean = sum / count;
    if (count > 1) {
        double squares = 0;
        for (const double value : values) squares += (value - result.mean) * (value - result.mean);
        result.standard_deviation = std::sqrt(squares / (count - 1));
    }
    return result;
}
