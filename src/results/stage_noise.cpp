#include "results/stage_noise.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace {

// An interval is judged against the median rate of up to this many intervals on each side.
constexpr std::size_t side_window = 5;
// An interval further than this many times the series' noise from the rates on both sides of
// it is astray.
constexpr double astray_noise = 3;
// The series' relative noise is taken as at least this: a clean series' rounding is no scale
// against which to weigh a change.
constexpr double least_noise = 0.02;
// The correlation of neighbouring intervals is taken as at most this; it is measured on the
// intervals within this many times the noise, as if independent, of the median around them.
constexpr double most_correlation = 0.8;
constexpr double correlation_noise = 5;
// The median of a chi-square variable with one degree of freedom: turns the median of squared
// differences into a variance.
constexpr double chi_square_median = 0.4549;

// The variance of the relative differences of intervals `lag` apart, from their median: it
// holds whatever a few stalls and changes of stage do.
double difference_variance(const std::vector<interval_rate>& rates, std::size_t lag) {
    std::vector<double> squares;
    for (std::size_t k = lag; k < rates.size(); ++k) {
        const double difference = departure(rates[k].bytes_per_us, rates[k - lag].bytes_per_us);
        squares.push_back(difference * difference);
    }
    return squares.empty() ? 0 : median_of(squares) / chi_square_median;
}

// The correlation of neighbouring intervals' departures from the running median around them,
// leaving out those further than a stall or a change of stage would take them.
double neighbour_correlation(const std::vector<interval_rate>& rates, double independent_noise) {
    std::vector<double> departures(rates.size(), 0);
    std::vector<bool> kept(rates.size(), false);
    for (std::size_t k = 0; k < rates.size(); ++k) {
        std::vector<double> around;
        for (std::size_t j = k >= side_window ? k - side_window : 0; j < rates.size() && j <= k + side_window; ++j)
            around.push_back(rates[j].bytes_per_us);
        const double middle = median_of(around);
        if (middle <= 0) continue;
        departures[k] = (rates[k].bytes_per_us - middle) / middle;
        kept[k] = std::abs(departures[k]) <= correlation_noise * independent_noise;
    }
    double products = 0, earlier = 0, later = 0;
    for (std::size_t k = 1; k < rates.size(); ++k) {
        if (!kept[k] || !kept[k - 1]) continue;
        products += departures[k] * departures[k - 1];
        earlier += departures[k - 1] * departures[k - 1];
        later += departures[k] * departures[k];
    }
    return earlier > 0 && later > 0 ? std::clamp(products / std::sqrt(earlier * later), 0.0, most_correlation) : 0;
}

// The median rate of up to side_window intervals from `first` on, forwards or backwards;
// negative where there are none.
double window_median(const std::vector<interval_rate>& rates, std::size_t first, bool forwards) {
    std::vector<double> window;
    for (std::size_t step = 0; step < side_window; ++step) {
        if (forwards ? first + step >= rates.size() : step > first) break;
        window.push_back(rates[forwards ? first + step : first - step].bytes_per_us);
    }
    return window.empty() ? -1 : median_of(window);
}

// The relative step of the intervals' rates where their bytes come in whole blocks: the least
// positive difference between two intervals' bytes, over an interval's bytes, half of it as
// the noise of rounding to a block (the median over the intervals). A fast device moves
// thousands of blocks an interval, which makes it nothing.
double block_step_noise(const std::vector<interval_rate>& rates) {
    std::vector<std::uint64_t> amounts;
    for (const interval_rate& rate : rates)
        if (rate.bytes_at_end > rate.bytes_at_start) amounts.push_back(rate.bytes_at_end - rate.bytes_at_start);
    std::sort(amounts.begin(), amounts.end());
    std::uint64_t step = 0;
    for (std::size_t k = 1; k < amounts.size(); ++k)
        if (amounts[k] != amounts[k - 1] && (step == 0 || amounts[k] - amounts[k - 1] < step)) step = amounts[k] - amounts[k - 1];
    std::vector<double> shares;
    for (const std::uint64_t amount : amounts) shares.push_back(static_cast<double>(step) / static_cast<double>(amount) / 2);
    return median_of(shares);
}

}  // namespace

double departure(double rate, double reference) {
    const double larger = std::max(rate, reference);
    return larger > 0 ? std::abs(rate - reference) / larger : 0;
}

double median_of(std::vector<double> values) {
    if (values.empty()) return 0;
    const std::size_t middle = values.size() / 2;
    std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(middle), values.end());
    const double upper = values[middle];
    if (values.size() % 2 != 0) return upper;
    return (upper + *std::max_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(middle))) / 2;
}

// With a correlation r between neighbours, the differences of neighbouring intervals have the
// variance 2 v (1 - r), where v is one interval's.
series_noise noise_of(const std::vector<interval_rate>& rates) {
    const double one_apart = difference_variance(rates, 1);
    const double correlation = neighbour_correlation(rates, std::max(std::sqrt(one_apart / 2), least_noise));
    series_noise noise;
    noise.marginal = std::max({std::sqrt(one_apart / (2 * (1 - correlation))), least_noise, block_step_noise(rates)});
    noise.long_run = noise.marginal * std::sqrt((1 + correlation) / (1 - correlation));
    return noise;
}

bool astray(const std::vector<interval_rate>& rates, std::size_t k, const series_noise& noise, std::size_t edge) {
    const double rate = rates[k].bytes_per_us;
    const double limit = astray_noise * noise.marginal;
    const std::size_t count = rates.size();
    if (count <= 2 * edge) return false;
    double reference = -1;
    if (k < edge) reference = window_median(rates, edge, true);
    if (k + edge >= count) reference = window_median(rates, count - edge - 1, false);
    if (reference >= 0) return rate < reference && departure(rate, reference) > limit;
    return departure(rate, window_median(rates, k - 1, false)) > limit &&
           departure(rate, window_median(rates, k + 1, true)) > limit;
}
