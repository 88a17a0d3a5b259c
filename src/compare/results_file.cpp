#include "compare/results_file.hpp"

#include <algorithm>

#include "common/messages.hpp"
#include "common/output.hpp"
#include "compare/checked_json.hpp"
#include "compare/results_reader.hpp"
#include "platform/file_io.hpp"
#include "platform/report_target.hpp"
#include "report/exact_bytes.hpp"

namespace {

// Reads at most one byte past the limit: a larger file, a device that never ends, is refused
// without its rest being read.
bool read_bounded(const std::string& file, std::string& text, std::string& identity, bool& too_large,
                  std::string& reason) {
    os_file handle = no_file;
    if (!open_for_reading(file, file_caching::os_cache, handle, reason)) return false;
    file_identity opened;
    std::string unknown;
    if (identity_of(handle, opened, unknown)) identity = identity_text(opened);
    unsigned char chunk[65536];
    std::int64_t got = 0;
    while (text.size() <= most_results_bytes && (got = read_up_to(handle, chunk, sizeof chunk, reason)) > 0)
        text.append(reinterpret_cast<const char*>(chunk), static_cast<std::size_t>(got));
    std::string close_reason;
    close_file(handle, close_reason);
    too_large = text.size() > most_results_bytes;
    return got >= 0;
}

// How deep arrays and objects nest, strings aside; the parser is never handed more.
bool nests_within(const std::string& text, int most) {
    int depth = 0;
    bool in_string = false;
    for (std::size_t at = 0; at < text.size(); ++at) {
        const char c = text[at];
        if (in_string) {
            if (c == '\\') ++at;
            else if (c == '"') in_string = false;
        } else if (c == '"') {
            in_string = true;
        } else if (c == '[' || c == '{') {
            if (++depth > most) return false;
        } else if (c == ']' || c == '}') {
            --depth;
        }
    }
    return true;
}

// The library's own words, without its bracketed exception name, shown safely and not at any
// length: it quotes what it last read.
std::string parse_reason(const std::string& what) {
    const std::size_t end = what.find("] ");
    std::string reason = !what.empty() && what[0] == '[' && end != std::string::npos ? what.substr(end + 2) : what;
    constexpr std::size_t most = 200;
    if (reason.size() > most) {
        std::size_t cut = most;
        while (cut > 0 && (static_cast<unsigned char>(reason[cut]) & 0xC0) == 0x80) --cut;
        reason = reason.substr(0, cut) + "\u2026";
    }
    return visible_text(reason);
}

constexpr const char* readable_versions = "1 and 2";

bool readable_version(const checked_document& version) {
    return version.is_number() && (version == 1 || version == 2);
}

std::string version_text(const checked_document& version) {
    const std::string text = version.dump(-1, ' ', false, checked_document::error_handler_t::replace);
    return visible_text(text.size() <= 40 ? text : text.substr(0, 40) + "\u2026");
}

}  // namespace

bool read_results_text(const std::string& file, const std::string& text, read_results& read, std::string& message) {
    if (!nests_within(text, most_results_depth)) {
        message = format_text(messages::results_too_deep, file.c_str(), most_results_depth);
        return false;
    }
    checked_document document;
    // The library tells a fault in the text by an exception, caught here and said as the file's.
    try {
        document = checked_document::parse(text);
    } catch (const checked_document::exception& error) {
        message = format_text(messages::results_not_json, file.c_str(), parse_reason(error.what()).c_str());
        return false;
    }
    const json_place root = document_root(document);
    const json_place name = member(member(root, "program"), "name");
    const json_place version = member(root, "schema_version");
    if (!given(name) || *name.value != "quorlane" || version.value == nullptr) {
        message = format_text(messages::results_not_ours, file.c_str());
        return false;
    }
    if (!readable_version(*version.value)) {
        message = format_text(messages::results_unknown_version, file.c_str(), version_text(*version.value).c_str(),
                              readable_versions);
        return false;
    }
    json_reading reading;
    run_record record = record_of(reading, root);
    if (reading.failed()) {
        message = format_text(messages::results_malformed, file.c_str(), visible_text(reading.fault).c_str());
        return false;
    }
    read.file = file;
    read.record = std::move(record);
    return true;
}

bool read_results_file(const std::string& file, read_results& read, std::string& message) {
    std::string text, identity, reason;
    bool too_large = false;
    if (!read_bounded(file, text, identity, too_large, reason)) {
        message = format_text(messages::results_unreadable, file.c_str(), reason.c_str());
        return false;
    }
    if (too_large) {
        message = format_text(messages::results_too_large, file.c_str(),
                              static_cast<unsigned long long>(most_results_bytes / (1024 * 1024)));
        return false;
    }
    if (!read_results_text(file, text, read, message)) return false;
    read.identity = identity;
    return true;
}
