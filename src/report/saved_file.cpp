#include "report/saved_file.hpp"

#include "common/messages.hpp"
#include "common/random.hpp"
#include "platform/file_io.hpp"
#include "run/run_file.hpp"

namespace {

// The temporary name is short, so that a report's name of up to the system's limit still
// has room beside it; hidden, and drawn again when taken.
constexpr int temporary_letters = 8;

std::string directory_prefix(const std::string& file) {
    const std::size_t separator = file.find_last_of("/\\");
    return separator == std::string::npos ? std::string() : file.substr(0, separator + 1);
}

bool create_beside(const std::string& file, std::string& temporary, os_file& handle, std::string& reason) {
    const auto draw_name = [&file] {
        std::string name = directory_prefix(file) + ".quorlane-";
        for (int letter = 0; letter < temporary_letters; ++letter) name += random_letter();
        return name;
    };
    return create_under_drawn_name(draw_name, file_caching::os_cache, temporary, handle, reason) == creation::created;
}

bool replace_whole(const std::string& file, const std::string& text, std::string& reason) {
    std::string temporary;
    os_file handle = no_file;
    if (!create_beside(file, temporary, handle, reason)) return false;
    bool saved = write_all(handle, reinterpret_cast<const unsigned char*>(text.data()), text.size(), reason) &&
                 force_to_device(handle, reason);
    std::string close_reason;
    if (!close_file(handle, close_reason) && saved) {
        saved = false;
        reason = close_reason;
    }
    if (saved && replace_file(temporary, file, reason)) return true;
    std::string ignored;
    remove_file(temporary, ignored);
    return false;
}

// A file just created to try the place, closed and removed at once.
bool close_and_remove(os_file handle, const std::string& file, std::string& reason) {
    close_file(handle, reason);
    return remove_file(file, reason);
}

// Where the report will be, a file created and removed: the name, its length and the
// directory's permission are all tried.
bool try_creating(const std::string& file, std::string& reason) {
    os_file handle = no_file;
    return create_new_file(file, file_caching::os_cache, handle, reason) == creation::created &&
           close_and_remove(handle, file, reason);
}

// Beside a file to replace, the temporary file the save will make, created and removed.
bool try_replacing(const std::string& file, std::string& reason) {
    std::string temporary;
    os_file handle = no_file;
    return may_replace(file, reason) && create_beside(file, temporary, handle, reason) &&
           close_and_remove(handle, temporary, reason);
}

// A name that is neither a file nor a stream: false, with the reason it can't be saved.
bool refuse_kind(report_target_kind kind, std::string& reason) {
    reason = kind == report_target_kind::directory ? messages::report_directory : messages::report_not_a_file;
    return false;
}

}  // namespace

bool save_file(const std::string& name, const std::string& text, std::string& reason) {
    report_target target;
    if (!find_report_target(name, target, reason)) return false;
    switch (target.kind) {
        case report_target_kind::stream: return write_to_stream(target.file, text, reason);
        case report_target_kind::new_file:
        case report_target_kind::regular_file: return replace_whole(target.file, text, reason);
        case report_target_kind::directory:
        case report_target_kind::other: return refuse_kind(target.kind, reason);
    }
    return false;
}

bool can_save_file(const std::string& name, report_target& target, std::string& reason) {
    if (!find_report_target(name, target, reason)) return false;
    switch (target.kind) {
        case report_target_kind::stream: return true;
        case report_target_kind::new_file: return try_creating(target.file, reason);
        case report_target_kind::regular_file: return try_replacing(target.file, reason);
        case report_target_kind::directory:
        case report_target_kind::other: return refuse_kind(target.kind, reason);
    }
    return false;
}
