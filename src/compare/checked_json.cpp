#include "compare/checked_json.hpp"

#include <cmath>
#include <cstdio>

#include "common/messages.hpp"
#include "common/output.hpp"

namespace {

// Whether the value is a whole number within [least, most], as a double can tell.
bool whole_within(double value, double least, double most) {
    return std::isfinite(value) && std::floor(value) == value && value >= least && value <= most;
}

std::string number_text(const checked_document& value) {
    const std::string text = value.dump();
    return text.size() <= 40 ? text : text.substr(0, 40) + "\u2026";
}

bool wrong_kind(json_reading& reading, const json_place& place, const char* kind) {
    fail(reading, format_text(messages::results_field, place.path.c_str(), kind));
    return false;
}

void out_of_range(json_reading& reading, const json_place& place, const std::string& least, const std::string& most) {
    fail(reading, format_text(messages::results_range, place.path.c_str(), number_text(*place.value).c_str(),
                              least.c_str(), most.c_str()));
}

}  // namespace

json_place document_root(const checked_document& document) { return json_place{&document, ""}; }

json_place member(const json_place& object, const char* name) {
    json_place found{nullptr, object.path + "/" + name};
    if (object.value == nullptr || !object.value->is_object()) return found;
    const auto at = object.value->find(name);
    if (at != object.value->end()) found.value = &*at;
    return found;
}

json_place element(const json_place& array, std::size_t index) {
    return json_place{&(*array.value)[index], array.path + "/" + std::to_string(index)};
}

bool present(const json_place& place) { return place.value != nullptr; }

bool given(const json_place& place) { return place.value != nullptr && !place.value->is_null(); }

void fail(json_reading& reading, const std::string& fault) {
    if (!reading.failed()) reading.fault = fault;
}

bool check_object(json_reading& reading, const json_place& place) {
    if (reading.failed()) return false;
    return place.value != nullptr && place.value->is_object() ? true : wrong_kind(reading, place, "an object");
}

bool check_array(json_reading& reading, const json_place& place, std::size_t most_elements) {
    if (reading.failed()) return false;
    if (place.value == nullptr || !place.value->is_array()) return wrong_kind(reading, place, "an array");
    if (place.value->size() <= most_elements) return true;
    fail(reading, format_text(messages::results_count, place.path.c_str(),
                              static_cast<unsigned long long>(place.value->size()),
                              static_cast<unsigned long long>(most_elements)));
    return false;
}

std::int64_t read_integer(json_reading& reading, const json_place& place, std::int64_t least, std::int64_t most) {
    if (reading.failed()) return least;
    const checked_document* value = place.value;
    if (value == nullptr || !value->is_number() ||
        (value->is_number_float() && std::floor(value->get<double>()) != value->get<double>()))
        return wrong_kind(reading, place, "an integer"), least;
    if (value->is_number_unsigned()) {
        const std::uint64_t number = value->get<std::uint64_t>();
        if (most >= 0 && number <= static_cast<std::uint64_t>(most) && static_cast<std::int64_t>(number) >= least)
            return static_cast<std::int64_t>(number);
    } else if (value->is_number_integer()) {
        const std::int64_t number = value->get<std::int64_t>();
        if (number >= least && number <= most) return number;
    } else if (whole_within(value->get<double>(), static_cast<double>(least), static_cast<double>(most)) &&
               std::fabs(value->get<double>()) < 9e18) {
        return static_cast<std::int64_t>(value->get<double>());
    }
    out_of_range(reading, place, std::to_string(least), std::to_string(most));
    return least;
}

std::uint64_t read_count(json_reading& reading, const json_place& place, std::uint64_t most) {
    if (reading.failed()) return 0;
    const checked_document* value = place.value;
    if (value == nullptr || !value->is_number() ||
        (value->is_number_float() && std::floor(value->get<double>()) != value->get<double>()))
        return wrong_kind(reading, place, "an integer"), 0;
    if (value->is_number_unsigned()) {
        if (value->get<std::uint64_t>() <= most) return value->get<std::uint64_t>();
    } else if (value->is_number_integer()) {
        if (value->get<std::int64_t>() >= 0 && static_cast<std::uint64_t>(value->get<std::int64_t>()) <= most)
            return static_cast<std::uint64_t>(value->get<std::int64_t>());
    } else if (whole_within(value->get<double>(), 0, static_cast<double>(most)) && value->get<double>() < 1.8e19) {
        return static_cast<std::uint64_t>(value->get<double>());
    }
    out_of_range(reading, place, "0", std::to_string(most));
    return 0;
}

double read_number(json_reading& reading, const json_place& place, double least, double most) {
    if (reading.failed()) return least;
    if (place.value == nullptr || !place.value->is_number()) return wrong_kind(reading, place, "a number"), least;
    const double number = place.value->get<double>();
    if (number >= least && number <= most) return number;
    char low[32], high[32];
    std::snprintf(low, sizeof low, "%g", least);
    std::snprintf(high, sizeof high, "%g", most);
    out_of_range(reading, place, low, high);
    return least;
}

bool read_boolean(json_reading& reading, const json_place& place) {
    if (reading.failed()) return false;
    if (place.value == nullptr || !place.value->is_boolean()) return wrong_kind(reading, place, "true or false");
    return place.value->get<bool>();
}

std::string read_text(json_reading& reading, const json_place& place) {
    if (reading.failed()) return "";
    if (place.value == nullptr || !place.value->is_string()) return wrong_kind(reading, place, "a string"), "";
    return place.value->get<std::string>();
}

std::optional<std::uint64_t> read_count_or_null(json_reading& reading, const json_place& place, std::uint64_t most) {
    if (!given(place)) return std::nullopt;
    const std::uint64_t count = read_count(reading, place, most);
    return reading.failed() ? std::nullopt : std::optional<std::uint64_t>(count);
}

std::optional<double> read_number_or_null(json_reading& reading, const json_place& place, double least, double most) {
    if (!given(place)) return std::nullopt;
    const double number = read_number(reading, place, least, most);
    return reading.failed() ? std::nullopt : std::optional<double>(number);
}

std::optional<bool> read_boolean_or_null(json_reading& reading, const json_place& place) {
    if (!given(place)) return std::nullopt;
    const bool value = read_boolean(reading, place);
    return reading.failed() ? std::nullopt : std::optional<bool>(value);
}

std::optional<std::string> read_text_or_null(json_reading& reading, const json_place& place) {
    if (!given(place)) return std::nullopt;
    std::string text = read_text(reading, place);
    return reading.failed() ? std::nullopt : std::optional<std::string>(std::move(text));
}

std::size_t read_choice(json_reading& reading, const json_place& place, const char* const* names, std::size_t count) {
    const std::string text = read_text(reading, place);
    if (reading.failed()) return 0;
    for (std::size_t index = 0; index < count; ++index)
        if (text == names[index]) return index;
    std::string all;
    for (std::size_t index = 0; index < count; ++index) all += (index == 0 ? "\"" : ", \"") + std::string(names[index]) + "\"";
    fail(reading, format_text(messages::results_choice, place.path.c_str(), all.c_str()));
    return 0;
}
