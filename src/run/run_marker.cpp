#include "run/run_marker.hpp"

#include <cctype>
#include <sstream>

#include "common/random.hpp"
#include "platform/system_info.hpp"
#include "run/run_file.hpp"

namespace {

constexpr const char* first_line = "quorlane run files";
constexpr const char* marker_start = "vellumcrate_owner";
constexpr const char* run_file_start = "vellumcrate_";

bool letters(const std::string& text, std::size_t from, std::size_t count) {
    if (text.size() != from + count) return false;
    for (std::size_t k = from; k < text.size(); ++k)
        if (text[k] < 'a' || text[k] > 'z') return false;
    return true;
}

bool starts_with(const std::string& text, const std::string& start) { return text.compare(0, start.size(), start) == 0; }

// The forms run files take: a test file's prefix (then its index), the eviction file.
bool is_prefix(const std::string& text) { return starts_with(text, run_file_start) && letters(text, 12, 8); }
bool is_eviction_name(const std::string& text) {
    return starts_with(text, "vellumcrate_cache") && letters(text, 17, 3);
}

// Decimal without a leading zero, as a test file's index is written.
bool is_index(const std::string& text) {
    if (text.empty() || text.size() > 10 || (text[0] == '0' && text.size() > 1)) return false;
    for (const char c : text)
        if (!std::isdigit(static_cast<unsigned char>(c))) return false;
    return true;
}

void append(run_state& run, const std::string& line) {
    std::lock_guard<std::mutex> guard(run.marker_lock);
    if (run.marker == no_file) return;
    std::string reason;
    write_all(run.marker, reinterpret_cast<const unsigned char*>(line.data()), line.size(), reason);
}

}  // namespace

bool is_marker_name(const std::string& name) { return starts_with(name, marker_start) && letters(name, 17, 8); }

marker_reading parse_run_marker(const std::string& text, run_marker& marker) {
    // A last line without its line end was cut short as it was written: its file was never made.
    const std::size_t complete = text.rfind('\n') == std::string::npos ? 0 : text.rfind('\n') + 1;
    std::istringstream lines(text.substr(0, complete));
    std::string line;
    if (!std::getline(lines, line))
        return std::string(first_line).compare(0, text.size(), text) == 0 ? marker_reading::unfinished
                                                                           : marker_reading::foreign;
    if (line != first_line) return marker_reading::foreign;
    marker = run_marker{};
    bool machine = false, boot = false, process = false, started = false;
    while (std::getline(lines, line)) {
        const std::size_t space = line.find(' ');
        if (space == std::string::npos) return marker_reading::foreign;
        const std::string key = line.substr(0, space);
        const std::string value = line.substr(space + 1);
        if (key == "host") {
            marker.host = value;
        } else if (key == "machine" && !machine) {
            marker.owner.machine = value;
            machine = true;
        } else if (key == "boot" && !boot) {
            marker.owner.boot = value;
            boot = true;
        } else if (key == "process" && !process && is_index(value)) {
            marker.owner.process = std::stoull(value);
            process = true;
        } else if (key == "started" && !started) {
            marker.owner.started = value;
            started = true;
        } else if (key == "prefix" && is_prefix(value)) {
            marker.prefixes.push_back(value);
        } else if (key == "file" && is_eviction_name(value)) {
            marker.names.push_back(value);
        } else {
            return marker_reading::foreign;
        }
    }
    return machine && boot && process && started ? marker_reading::whole : marker_reading::unfinished;
}

bool claims(const run_marker& marker, const std::string& name) {
    for (const std::string& prefix : marker.prefixes)
        if (starts_with(name, prefix) && is_index(name.substr(prefix.size()))) return true;
    for (const std::string& whole : marker.names)
        if (name == whole) return true;
    return false;
}

void open_run_marker(run_state& run) {
    const process_stamp owner = this_process_stamp();
    std::ostringstream header;
    header << first_line << "\nhost " << describe_host().name << "\nmachine " << owner.machine << "\nboot "
           << owner.boot << "\nprocess " << owner.process << "\nstarted " << owner.started << "\n";
    const std::string text = header.str();
    os_file handle = no_file;
    std::string name, reason;
    creation outcome = creation::name_taken;
    for (int draw = 0; draw < name_draws && outcome == creation::name_taken; ++draw) {
        name = marker_start;
        for (int letter = 0; letter < 8; ++letter) name += random_letter();
        outcome = create_new_file(run.directory, name, file_caching::os_cache, handle, reason);
    }
    if (outcome != creation::created) return;
    if (!write_all(handle, reinterpret_cast<const unsigned char*>(text.data()), text.size(), reason)) {
        close_file(handle, reason);
        remove_file(run.directory, name, reason);
        return;
    }
    std::lock_guard<std::mutex> guard(run.marker_lock);
    run.marker = handle;
    run.marker_name = name;
}

void record_prefix(run_state& run, const std::string& prefix) { append(run, "prefix " + prefix + "\n"); }

void record_file_name(run_state& run, const std::string& name) { append(run, "file " + name + "\n"); }

void remove_run_marker(run_state& run) {
    std::lock_guard<std::mutex> guard(run.marker_lock);
    if (run.marker == no_file) return;
    std::string reason;
    close_file(run.marker, reason);
    remove_file(run.directory, run.marker_name, reason);
    run.marker = no_file;
}
