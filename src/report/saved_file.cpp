#include "report/saved_file.hpp"

#include "common/messages.hpp"
#include "common/random.hpp"
#include "platform/file_io.hpp"
#include "run/run_file.hpp"

namespace {

// The temporary name is short, so that a report's name of up to the system's limit still
// has room beside it; hidden, and drawn again when taken.
constexpr int temporary_letters = 8;

bool create_beside(const report_target& target, std::string& temporary, os_file& handle, std::string& reason) {
    creation outcome = creation::name_taken;
    for (int draw = 0; draw < name_draws && outcome == creation::name_taken; ++draw) {
        temporary = ".quorlane-";
        for (int letter = 0; letter < temporary_letters; ++letter) temporary += random_letter();
        outcome = create_report_file(target, temporary, handle, reason);
    }
    return outcome == creation::created;
}

bool put_report_in_place(report_target& target, const std::string& temporary, std::string& reason) {
    switch (put_in_place(target, temporary, reason)) {
        case placement::placed: return true;
        case placement::name_taken: reason = messages::report_name_taken; return false;
        case placement::failed: return false;
    }
    return false;
}

bool replace_whole(report_target& target, const std::string& text, std::string& reason) {
    std::string temporary;
    os_file handle = no_file;
    if (!create_beside(target, temporary, handle, reason)) return false;
    bool saved = write_all(handle, reinterpret_cast<const unsigned char*>(text.data()), text.size(), reason) &&
                 force_to_device(handle, reason) && finish_report_file(target, handle, reason);
    std::string close_reason;
    if (!close_file(handle, close_reason) && saved) {
        saved = false;
        reason = close_reason;
    }
    if (saved && put_report_in_place(target, temporary, reason)) return true;
    std::string ignored;
    remove_file(target.directory, temporary, ignored);
    return false;
}

// A file just created to try the place, closed and removed at once.
bool close_and_remove(os_file handle, const report_target& target, const std::string& name, std::string& reason) {
    close_file(handle, reason);
    return remove_file(target.directory, name, reason);
}

// Where the report will be, a file created and removed: the name, its length and the
// directory's permission are all tried.
bool try_creating(const report_target& target, std::string& reason) {
    os_file handle = no_file;
    return create_report_file(target, target.name, handle, reason) == creation::created &&
           close_and_remove(handle, target, target.name, reason);
}

// Beside a file to replace, the temporary file the save will make, created and removed.
bool try_replacing(const report_target& target, std::string& reason) {
    std::string temporary;
    os_file handle = no_file;
    return may_replace(target, reason) && create_beside(target, temporary, handle, reason) &&
           close_and_remove(handle, target, temporary, reason);
}

// A name that is neither a file nor a stream ready to take the report: false, with the reason.
bool refuse_kind(report_target_kind kind, std::string& reason) {
    reason = kind == report_target_kind::directory             ? messages::report_directory
             : kind == report_target_kind::fifo_without_reader ? messages::report_no_reader
                                                               : messages::report_not_a_file;
    return false;
}

}  // namespace

bool can_save_file(const std::string& name, report_target& target, std::string& reason) {
    if (!find_report_target(name, target, reason)) return false;
    switch (target.kind) {
        case report_target_kind::stream: return true;
        case report_target_kind::new_file: return try_creating(target, reason);
        case report_target_kind::regular_file: return try_replacing(target, reason);
        case report_target_kind::fifo_without_reader:
        case report_target_kind::directory:
        case report_target_kind::other: return refuse_kind(target.kind, reason);
    }
    return false;
}

bool save_file(report_target& target, const std::string& text, const std::function<bool()>& interrupted,
               std::string& reason) {
    switch (target.kind) {
        case report_target_kind::stream: return write_to_stream(target, text, interrupted, reason);
        case report_target_kind::new_file:
        case report_target_kind::regular_file: return replace_whole(target, text, reason);
        case report_target_kind::fifo_without_reader:
        case report_target_kind::directory:
        case report_target_kind::other: return refuse_kind(target.kind, reason);
    }
    return false;
}
