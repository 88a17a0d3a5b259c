#include "report/saved_file.hpp"

#include "common/random.hpp"
#include "platform/file_io.hpp"

namespace {

// A name beside `name` that no one else uses: created exclusively, drawn again if taken.
bool create_beside(const std::string& name, std::string& temporary, os_file& handle, std::string& reason) {
    for (int draw = 0; draw < 8; ++draw) {
        temporary = name + ".tmp";
        for (int letter = 0; letter < 6; ++letter) temporary += random_letter();
        switch (create_new_file(temporary, false, handle, reason)) {
            case creation::created: return true;
            case creation::failed: return false;
            case creation::name_taken: break;
        }
    }
    return false;
}

}  // namespace

bool save_file(const std::string& name, const std::string& text, std::string& reason) {
    std::string temporary;
    os_file handle = no_file;
    if (!create_beside(name, temporary, handle, reason)) return false;
    bool saved = write_all(handle, reinterpret_cast<const unsigned char*>(text.data()), text.size(), reason) &&
                 force_to_device(handle, reason);
    std::string close_reason;
    if (!close_file(handle, close_reason) && saved) {
        saved = false;
        reason = close_reason;
    }
    if (saved && replace_file(temporary, name, reason)) return true;
    std::string ignored;
    remove_file(temporary, ignored);
    return false;
}

bool can_save_file(const std::string& name, std::string& reason) {
    std::string temporary;
    os_file handle = no_file;
    if (!create_beside(name, temporary, handle, reason)) return false;
    close_file(handle, reason);
    return remove_file(temporary, reason);
}
