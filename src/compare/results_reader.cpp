#include "compare/results_reader.hpp"

#include <algorithm>
#include <utility>
#include <vector>

#include "common/messages.hpp"
#include "common/output.hpp"
#include "report/exact_bytes.hpp"
#include "report/figure_names.hpp"
#include "report/run_summary.hpp"
#include "settings/options.hpp"

namespace {

bool utc_time(const std::string& text) {
    const std::string form = "0000-00-00T00:00:00Z";
    if (text.size() != form.size()) return false;
    for (std::size_t at = 0; at < form.size(); ++at)
        if (form[at] == '0' ? text[at] < '0' || text[at] > '9' : text[at] != form[at]) return false;
    return true;
}

// What the results file's text made of a name that is not UTF-8: each byte it can't hold as
// U+FFFD, as the writer dumped it.
std::string as_written(const std::string& name) {
    const std::string quoted = checked_document(name).dump(-1, ' ', false, checked_document::error_handler_t::replace);
    return checked_document::parse(quoted).get<std::string>();
}

// The exact bytes kept beside a text that was not UTF-8, or the text itself without them.
std::string exact_name(json_reading& reading, const json_place& text, const json_place& bytes) {
    const std::string shown = read_text(reading, text);
    if (!present(bytes)) return shown;
    std::string exact;
    if (!percent_decoded(read_text(reading, bytes), exact) && !reading.failed())
        fail(reading, format_text(messages::results_exact_bytes, bytes.path.c_str()));
    if (!reading.failed() && as_written(exact) != shown)
        fail(reading, format_text(messages::results_disagree, bytes.path.c_str(), text.path.c_str()));
    return exact;
}

std::vector<std::string> command_line_of(json_reading& reading, const json_place& root) {
    const json_place line = member(root, "command_line"), exact = member(root, "command_line_bytes");
    std::vector<std::string> arguments;
    if (!check_array(reading, line, std::numeric_limits<std::size_t>::max())) return arguments;
    if (line.value->empty()) fail(reading, format_text(messages::results_field, line.path.c_str(), "a command line"));
    if (present(exact) && check_array(reading, exact, line.value->size()) && exact.value->size() != line.value->size())
        fail(reading, format_text(messages::results_disagree, exact.path.c_str(), line.path.c_str()));
    for (std::size_t k = 0; k < line.value->size() && !reading.failed(); ++k)
        arguments.push_back(exact_name(reading, element(line, k), present(exact) ? element(exact, k) : json_place{}));
    return arguments;
}

host_record host_of(json_reading& reading, const json_place& host, machine_identity& machine) {
    host_record read;
    if (!check_object(reading, host)) return read;
    read.name = read_text(reading, member(host, "name"));
    read.os = read_text(reading, member(host, "os"));
    read.os_version = read_text(reading, member(host, "os_version"));
    read.logical_cpus = static_cast<std::uint32_t>(read_count(reading, member(host, "logical_cpus"), UINT32_MAX));
    read.memory_bytes = read_count(reading, member(host, "memory_bytes"), most_bytes);
    const json_place cpu = member(host, "cpu_model"), virtualization = member(host, "virtualization");
    if (cpu.value == nullptr) fail(reading, format_text(messages::results_field, cpu.path.c_str(), "a string or null"));
    machine.cpu_model = read_text_or_null(reading, cpu);
    if (present(member(host, "dirty_limit_bytes")))
        machine.dirty_limit_bytes = read_count(reading, member(host, "dirty_limit_bytes"), most_bytes);
    if (!check_object(reading, virtualization)) return read;
    machine.virtual_machine = read_boolean_or_null(reading, member(virtualization, "virtual_machine"));
    machine.hypervisor = read_text_or_null(reading, member(virtualization, "hypervisor"));
    machine.system_vendor = read_text_or_null(reading, member(virtualization, "system_vendor"));
    machine.system_product = read_text_or_null(reading, member(virtualization, "system_product"));
    return read;
}

storage_device device_of(json_reading& reading, const json_place& place) {
    storage_device device;
    if (!check_object(reading, place)) return device;
    device.name = read_text_or_null(reading, member(place, "name")).value_or("");
    device.model = read_text_or_null(reading, member(place, "model"));
    device.vendor = read_text_or_null(reading, member(place, "vendor"));
    device.firmware = read_text_or_null(reading, member(place, "firmware"));
    device.size_bytes = read_count_or_null(reading, member(place, "size_bytes"), most_bytes);
    device.rotational = read_boolean_or_null(reading, member(place, "rotational"));
    for (const auto& [name, field] : {std::pair{"logical_sector_bytes", &device.logical_sector_bytes},
                                      std::pair{"physical_sector_bytes", &device.physical_sector_bytes},
                                      std::pair{"queue_depth", &device.queue_depth}})
        if (const auto count = read_count_or_null(reading, member(place, name), UINT32_MAX))
            *field = static_cast<std::uint32_t>(*count);
    device.scheduler = read_text_or_null(reading, member(place, "scheduler"));
    device.transport = read_text_or_null(reading, member(place, "transport")).value_or("unknown");
    device.link = read_text_or_null(reading, member(place, "link"));
    device.link_ceiling_mb_per_second =
        read_number_or_null(reading, member(place, "link_ceiling_mb_per_second"), 0, most_mb_per_second);
    device.backing_file = read_text_or_null(reading, member(place, "backing_file"));
    device.server = read_text_or_null(reading, member(place, "server"));
    device.protocol = read_text_or_null(reading, member(place, "protocol"));
    device.protocol_version = read_text_or_null(reading, member(place, "protocol_version"));
    device.read_size = read_count_or_null(reading, member(place, "read_size"), most_bytes);
    device.write_size = read_count_or_null(reading, member(place, "write_size"), most_bytes);
    return device;
}

storage_layer layer_of(json_reading& reading, const json_place& place) {
    storage_layer layer;
    if (!check_object(reading, place)) return layer;
    layer.name = read_text(reading, member(place, "name"));
    layer.kind = read_text(reading, member(place, "kind"));
    layer.level = read_text_or_null(reading, member(place, "level"));
    layer.backing_file = read_text_or_null(reading, member(place, "backing_file"));
    return layer;
}

// The devices and the layers over them: both lists, or both null when nothing was found.
void storage_of(json_reading& reading, const json_place& target, measured_on& measured) {
    constexpr std::size_t most_devices = 4096;
    const json_place layers = member(target, "layers"), devices = member(target, "devices");
    measured.gathered = true;
    measured.target.known = given(devices);
    if (given(layers) != given(devices) || layers.value == nullptr || devices.value == nullptr)
        fail(reading, format_text(messages::results_disagree, devices.path.c_str(), layers.path.c_str()));
    if (!measured.target.known || !check_array(reading, layers, most_devices) || !check_array(reading, devices, most_devices))
        return;
    for (std::size_t k = 0; k < layers.value->size() && !reading.failed(); ++k)
        measured.target.layers.push_back(layer_of(reading, element(layers, k)));
    for (std::size_t k = 0; k < devices.value->size() && !reading.failed(); ++k)
        measured.target.devices.push_back(device_of(reading, element(devices, k)));
}

const char* const cache_names[] = {"zfs_arc", "network_server", "fuse_daemon"};

target_record target_of(json_reading& reading, const json_place& target, measured_on& measured) {
    target_record read;
    if (!check_object(reading, target)) return read;
    read.path = exact_name(reading, member(target, "path"), member(target, "path_bytes"));
    read.file_system = read_text(reading, member(target, "file_system"));
    read.memory_backed = read_boolean(reading, member(target, "memory_backed"));
    read.compressed = read_boolean(reading, member(target, "compressed"));
    read.encrypted = read_boolean(reading, member(target, "encrypted"));
    const json_place cache = member(target, "cache_beyond_purge");
    if (cache.value == nullptr)
        fail(reading, format_text(messages::results_field, cache.path.c_str(), "an object or null"));
    else if (given(cache) && check_object(reading, cache)) {
        read.cache_beyond_purge = cache_names[read_choice(reading, member(cache, "cache"), cache_names, 3)];
        read.cache_beyond_purge_text = read_text(reading, member(cache, "text"));
    }
    read.total_bytes = read_count(reading, member(target, "total_bytes"), most_bytes);
    read.free_bytes = read_count(reading, member(target, "free_bytes"), most_bytes);
    storage_of(reading, target, measured);
    return read;
}

// What follows from the options must be what they give: a field that says otherwise was
// edited, and the reports would show a run that never was.
void check_derived(json_reading& reading, const json_place& settings, const char* name, std::uint64_t read,
                   std::uint64_t expected) {
    if (read == expected || reading.failed()) return;
    fail(reading, format_text(messages::results_derived, member(settings, name).path.c_str(),
                              std::to_string(read).c_str(), std::to_string(expected).c_str()));
}

}  // namespace

settings_record settings_of(json_reading& reading, const json_place& settings, std::span<const option_row> options) {
    settings_record read;
    if (!check_object(reading, settings)) return read;
    for (const option_row* row : results_file_order(options)) {
        const json_place place = member(settings, row->json_key);
        if (row->json_only_when_given && !present(place)) continue;
        if (row->number != nullptr) {
            read.*row->number = static_cast<std::uint32_t>(read_integer(reading, place, row->minimum, row->maximum));
        } else if (row->turned_on != nullptr) {
            read.*row->turned_on = read_boolean(reading, place);
            // A switch written only when given is written only as true.
            if (row->json_only_when_given && !(read.*row->turned_on) && !reading.failed())
                fail(reading, format_text(messages::results_field, place.path.c_str(), "true"));
        } else {
            read.*row->text = read_text(reading, place);
        }
    }
    const std::uint64_t blocks_per_file = read_count(reading, member(settings, "blocks_per_file"), UINT64_MAX);
    const std::uint64_t bytes_per_file = read_count(reading, member(settings, "bytes_per_file"), UINT64_MAX);
    const std::uint64_t bytes_in_pass = read_count(reading, member(settings, "bytes_per_pass"), UINT64_MAX);
    if (reading.failed()) return read;
    // None of these products overflows within the options' ranges.
    read.blocks_per_file = read.file_mib * 1024 / read.block_kib;
    check_derived(reading, settings, "blocks_per_file", blocks_per_file, read.blocks_per_file);
    check_derived(reading, settings, "bytes_per_file", bytes_per_file, test_file_bytes(read));
    check_derived(reading, settings, "bytes_per_pass", bytes_in_pass, bytes_per_pass(read));
    return read;
}

namespace {

mismatch_record mismatch_of(json_reading& reading, const json_place& place) {
    constexpr std::size_t most_detail_lines = 64;
    mismatch_record found;
    if (!given(place) || !check_object(reading, place)) return found;
    found.found = true;
    found.file = exact_name(reading, member(place, "file"), member(place, "file_bytes"));
    found.byte = read_count(reading, member(place, "byte"), most_bytes);
    found.diagnosis = read_text(reading, member(place, "diagnosis"));
    const json_place details = member(place, "details"), damage = member(place, "damage");
    if (check_array(reading, details, most_detail_lines))
        for (std::size_t k = 0; k < details.value->size(); ++k)
            found.details.push_back(read_text(reading, element(details, k)));
    if (damage.value == nullptr) fail(reading, format_text(messages::results_field, damage.path.c_str(), "an object or null"));
    if (!given(damage) || !check_object(reading, damage)) return found;
    found.damage = true;
    if (read_count(reading, member(damage, "first_byte"), most_bytes) != found.byte && !reading.failed())
        fail(reading, format_text(messages::results_disagree, member(damage, "first_byte").path.c_str(),
                                  member(place, "byte").path.c_str()));
    found.last_byte = read_count(reading, member(damage, "last_byte"), most_bytes);
    found.bits = read_count(reading, member(damage, "bits_differ"), most_bytes);
    found.may_go_on = read_boolean(reading, member(damage, "may_go_on"));
    return found;
}

// In the order of capacity_kind.
const char* const capacity_kind_names[] = {"wrapped", "lost", "damaged", "cut_short"};

void read_verification(json_reading& reading, const json_place& verification, run_record& run) {
    if (!check_object(reading, verification)) return;
    const json_place enabled = member(verification, "enabled");
    if (read_boolean(reading, enabled) != run.settings.verify && !reading.failed())
        fail(reading, format_text(messages::results_disagree, enabled.path.c_str(), "/settings/verify"));
    read_count(reading, member(verification, "bytes_verified"), UINT64_MAX);
    const json_place mismatch = member(verification, "mismatch");
    if (mismatch.value == nullptr)
        fail(reading, format_text(messages::results_field, mismatch.path.c_str(), "an object or null"));
    run.mismatch = mismatch_of(reading, mismatch);
    const json_place capacity = member(verification, "capacity");
    if (!given(capacity) || !check_object(reading, capacity)) return;
    run.capacity.checked = true;
    run.capacity.offered_bytes = read_count(reading, member(capacity, "offered_bytes"), most_bytes);
    run.capacity.verified_bytes = read_count(reading, member(capacity, "verified_bytes"), most_bytes);
    run.capacity.first_bad_offset = read_count(reading, member(capacity, "first_bad_offset"), most_bytes);
    run.capacity.aliasing_distance = read_count_or_null(reading, member(capacity, "aliasing_distance"), most_bytes).value_or(0);
    run.capacity_note = read_text(reading, member(capacity, "text"));
    // Version 1 had no kind, nor the counts beside it: data from another place, or none.
    const json_place kind = member(capacity, "kind");
    if (!given(kind)) {
        run.capacity.kind = run.capacity.aliasing_distance != 0 ? capacity_kind::wrapped : capacity_kind::lost;
        run.capacity.checked_bytes = run.capacity.offered_bytes;
        return;
    }
    run.capacity.kind = static_cast<capacity_kind>(read_choice(reading, kind, capacity_kind_names, 4));
    run.capacity.checked_bytes = read_count(reading, member(capacity, "checked_bytes"), most_bytes);
    run.capacity.bad_sectors = read_count(reading, member(capacity, "bad_sectors"), most_bytes);
    run.capacity.bits_differ = read_count(reading, member(capacity, "bits_differ"), UINT64_MAX);
}

// Derived from the passes, which the reports count again: its statistics are numbers when a
// pass measured all four figures, null when none did.
void read_summary(json_reading& reading, const json_place& summary, const run_record& run) {
    if (!check_object(reading, summary)) return;
    const std::size_t complete = summary_of(run).passes;
    if (read_count(reading, member(summary, "passes"), 100) != complete && !reading.failed())
        fail(reading, format_text(messages::results_derived, member(summary, "passes").path.c_str(),
                                  member(summary, "passes").value->dump().c_str(), std::to_string(complete).c_str()));
    read_text(reading, member(summary, "console_shows"));
    read_text(reading, member(summary, "standard_deviation"));
    const json_place figures = member(summary, "figures");
    check_object(reading, figures);
    for (const char* figure : figure_names)
        for (const char* unit : {"kib_per_ms", "mb_per_second"}) {
            const json_place statistics = member(member(figures, figure), unit);
            if (!check_object(reading, statistics)) return;
            for (const char* statistic : {"median", "minimum", "maximum", "mean", "standard_deviation"}) {
                const json_place value = member(statistics, statistic);
                if (complete > 0)
                    read_number(reading, value, 0, 1e30);
                else if (!present(value) || !value.value->is_null())
                    fail(reading, format_text(messages::results_field, value.path.c_str(), "null, with no pass to count"));
            }
        }
}

void read_cluster(json_reading& reading, const json_place& cluster, run_record& run) {
    if (cluster.value == nullptr || !check_object(reading, cluster)) return;
    const std::uint64_t ranks = read_count(reading, member(cluster, "ranks"), most_ranks);
    const std::uint64_t nodes = read_count(reading, member(cluster, "nodes"), most_ranks);
    const json_place error_rank = member(cluster, "error_rank"), details = member(cluster, "rank_details");
    if (error_rank.value == nullptr)
        fail(reading, format_text(messages::results_field, error_rank.path.c_str(), "an integer or null"));
    if (given(error_rank)) run.error_rank = read_integer(reading, error_rank, 0, static_cast<std::int64_t>(ranks) - 1);
    if (!check_array(reading, details, most_ranks)) return;
    if (details.value->size() != ranks || ranks == 0)
        fail(reading, format_text(messages::results_disagree, details.path.c_str(), member(cluster, "ranks").path.c_str()));
    for (std::size_t rank = 0; rank < details.value->size() && !reading.failed(); ++rank) {
        const json_place place = element(details, rank);
        if (!check_object(reading, place)) return;
        rank_description described;
        read_integer(reading, member(place, "rank"), static_cast<std::int64_t>(rank), static_cast<std::int64_t>(rank));
        described.host = read_text(reading, member(place, "host"));
        described.node = static_cast<std::uint32_t>(read_count(reading, member(place, "node"), nodes == 0 ? 0 : nodes - 1));
        described.path = read_text(reading, member(place, "path"));
        described.file_system = read_text(reading, member(place, "file_system"));
        described.in_memory = read_boolean(reading, member(place, "memory_backed"));
        described.directory = static_cast<std::uint32_t>(read_count(reading, member(place, "directory_of_rank"), rank));
        described.reads_from = static_cast<std::uint32_t>(read_count(reading, member(place, "reads_files_of"), ranks - 1));
        run.ranks.push_back(described);
    }
    if (!reading.failed() && node_count(run) != nodes)
        fail(reading, format_text(messages::results_disagree, member(cluster, "nodes").path.c_str(), details.path.c_str()));
}

// Built anew in one pass: replacing in place moves the rest of the text at each occurrence,
// which a file holding a name a million times turns into hours.
std::string replaced(const std::string& text, const std::string& from, const std::string& to) {
    std::string result;
    std::size_t done = 0;
    for (std::size_t at = 0; (at = text.find(from, done)) != std::string::npos; done = at + from.size())
        result.append(text, done, at - done).append(to);
    return result.append(text, done);
}

// The run's texts that name its files (its message, the mismatch's diagnosis) were written
// with U+FFFD where a name was not UTF-8: each such name is given back its exact bytes, so
// that the page reads as the run's own page did.
void restore_names(run_record& run) {
    std::vector<std::string> names{run.target.path, run.mismatch.file};
    names.insert(names.end(), run.command_line.begin(), run.command_line.end());
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) { return a.size() > b.size(); });
    std::vector<std::string*> texts{&run.message, &run.mismatch.diagnosis, &run.target.cache_beyond_purge_text};
    for (std::string& line : run.mismatch.details) texts.push_back(&line);
    for (const std::string& name : names) {
        if (name.empty() || is_utf8(name)) continue;
        const std::string written = as_written(name);
        for (std::string* text : texts) *text = replaced(*text, written, name);
    }
}

const char* const status_names[] = {"completed", "error", "interrupted"};

void read_ending(json_reading& reading, const json_place& root, run_record& run) {
    run.status = static_cast<run_status>(read_choice(reading, member(root, "status"), status_names, 3));
    run.exit_status = static_cast<int>(read_integer(reading, member(root, "exit_status"), 0, 255));
    run.interrupted = run.status == run_status::interrupted;
    if (!reading.failed() && (run.status == run_status::completed) != (run.exit_status == 0))
        fail(reading, format_text(messages::results_disagree, "/exit_status", "/status"));
    run.message = read_text(reading, member(root, "message"));
}

}  // namespace

run_record record_of(json_reading& reading, const json_place& root) {
    run_record run;
    if (!check_object(reading, root)) return run;
    run.program_version = read_text(reading, member(member(root, "program"), "version"));
    run.command_line = command_line_of(reading, root);
    run.started_utc = read_text(reading, member(root, "started_at"));
    if (!reading.failed() && !utc_time(run.started_utc))
        fail(reading, format_text(messages::results_time_text, "/started_at"));
    read_ending(reading, root, run);
    run.host = host_of(reading, member(root, "host"), run.measured.machine);
    run.target = target_of(reading, member(root, "target"), run.measured);
    run.settings = settings_of(reading, member(root, "settings"), option_table());
    read_cluster(reading, member(root, "cluster"), run);
    read_passes(reading, member(root, "passes"), run);
    read_verification(reading, member(root, "verification"), run);
    read_summary(reading, member(root, "summary"), run);
    if (!reading.failed()) restore_names(run);
    return run;
}
