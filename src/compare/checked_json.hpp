// Reading a JSON document that anyone may have written: each value is taken only after its
// kind and range are checked, and the first fault found is kept, said as the value's place in
// the document ("/passes/0/figures/1/bytes") and what it must be. Nothing here throws.
#pragma once

#include <cstddef>
#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>

// Keys sorted, not kept in the file's order: a member is found in log time, and an object of a
// million keys is parsed in seconds, not days.
using checked_document = nlohmann::json;

// The first fault found; once there is one, every read gives a default and adds nothing.
struct json_reading {
    std::string fault;
    bool failed() const { return !fault.empty(); }
};

// A value and where it is; `value` is null for a member that is absent.
struct json_place {
    const checked_document* value = nullptr;
    std::string path;
};

json_place document_root(const checked_document& document);
json_place member(const json_place& object, const char* name);
json_place element(const json_place& array, std::size_t index);

// There, null or not; there and not JSON's null.
bool present(const json_place& place);
bool given(const json_place& place);

void fail(json_reading& reading, const std::string& fault);

// False, with the fault kept, when the value is not of its kind; an array also has its count
// of elements bounded.
bool check_object(json_reading& reading, const json_place& place);
bool check_array(json_reading& reading, const json_place& place, std::size_t most_elements);

// JSON's integers, and numbers with no fraction, as the schema counts them.
std::int64_t read_integer(json_reading& reading, const json_place& place, std::int64_t least, std::int64_t most);
std::uint64_t read_count(json_reading& reading, const json_place& place, std::uint64_t most);
double read_number(json_reading& reading, const json_place& place, double least, double most);
bool read_boolean(json_reading& reading, const json_place& place);
std::string read_text(json_reading& reading, const json_place& place);

// The same, where null (or the member's absence) says "unknown".
std::optional<std::uint64_t> read_count_or_null(json_reading& reading, const json_place& place, std::uint64_t most);
std::optional<double> read_number_or_null(json_reading& reading, const json_place& place, double least, double most);
std::optional<bool> read_boolean_or_null(json_reading& reading, const json_place& place);
std::optional<std::string> read_text_or_null(json_reading& reading, const json_place& place);

// One of `names`, given as its index; `count` names.
std::size_t read_choice(json_reading& reading, const json_place& place, const char* const* names, std::size_t count);
