#include "platform/report_target.hpp"

#include <aclapi.h>

#include <cwctype>
#include <vector>

#include "platform/windows/relative_file.hpp"

// Windows programs meet no FIFOs here: a name is a file, new or present, a directory, or a
// link (a reparse point), which is followed once, to the file it names, when the place is
// found. The save then goes through the directory held open, and never through a link.
namespace {

constexpr ULONG share_all = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

bool fail_with(DWORD code, std::string& reason) {
    reason = windows_error_text(code);
    return false;
}

std::wstring lower_case(std::wstring text) {
    for (wchar_t& c : text) c = static_cast<wchar_t>(std::towlower(c));
    return text;
}

// The file a link leads to, as the system names it once every link on the way is followed.
bool link_destination(const std::wstring& full, std::wstring& destination, std::string& reason) {
    const HANDLE opened = CreateFileW(file_api_path(utf8_text(full)).c_str(), FILE_READ_ATTRIBUTES, share_all, nullptr,
                                      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (opened == INVALID_HANDLE_VALUE) return fail_with_last_error(reason);
    std::vector<wchar_t> text(32768);
    const DWORD length = GetFinalPathNameByHandleW(opened, text.data(), static_cast<DWORD>(text.size()),
                                                   FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    const DWORD error = GetLastError();
    CloseHandle(opened);
    if (length == 0 || length >= text.size()) return fail_with(length == 0 ? error : ERROR_FILENAME_EXCED_RANGE, reason);
    destination.assign(text.data(), length);
    return true;
}

// Opens the directory part of `full` and looks at its last name without following it.
// `followed` tells that a link has been followed already: a second one is refused.
bool find_in_directory(const std::wstring& full, bool followed, report_target& target, std::string& reason) {
    const std::size_t separator = full.find_last_of(L"\\/");
    if (separator == std::wstring::npos) return fail_with(ERROR_INVALID_NAME, reason);
    const std::wstring name = full.substr(separator + 1);
    os_directory directory = no_directory;
    if (!open_directory(utf8_text(full.substr(0, separator + 1)), directory, reason)) return false;
    BY_HANDLE_FILE_INFORMATION folder{};
    if (!GetFileInformationByHandle(reinterpret_cast<HANDLE>(directory), &folder) ||
        (folder.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        close_directory(directory);
        return fail_with(ERROR_DIRECTORY, reason);
    }
    if (name.empty()) {
        close_directory(directory);
        target.kind = report_target_kind::directory;
        return true;
    }
    const relative_open opened =
        open_relative(directory, utf8_text(name), FILE_READ_ATTRIBUTES, share_all, FILE_OPEN, FILE_OPEN_REPARSE_POINT);
    if (opened.handle == INVALID_HANDLE_VALUE) {
        if (opened.error != ERROR_FILE_NOT_FOUND) {
            close_directory(directory);
            return fail_with(opened.error, reason);
        }
        target.kind = report_target_kind::new_file;
        target.identity = identity_text(identity_of_handle(reinterpret_cast<HANDLE>(directory))) + "/" +
                          utf8_text(lower_case(name));
        target.directory = directory;
        target.name = utf8_text(name);
        return true;
    }
    BY_HANDLE_FILE_INFORMATION entry{};
    const bool known = GetFileInformationByHandle(opened.handle, &entry);
    const bool link = is_reparse_point(opened.handle);
    target.found = identity_of_handle(opened.handle);
    CloseHandle(opened.handle);
    if (!known) {
        close_directory(directory);
        return fail_with_last_error(reason);
    }
    if (link) {
        close_directory(directory);
        std::wstring destination;
        if (followed) return fail_with(ERROR_CANT_RESOLVE_FILENAME, reason);
        return link_destination(full, destination, reason) && find_in_directory(destination, true, target, reason);
    }
    target.identity = identity_text(target.found);
    if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        close_directory(directory);
        target.kind = report_target_kind::directory;
        return true;
    }
    target.kind = report_target_kind::regular_file;
    target.directory = directory;
    target.name = utf8_text(name);
    return true;
}

// The file's access list, owner and group go to the replacement as far as this account may
// give them; what it may not give leaves the replacement with the directory's inherited ones.
void copy_security(const report_target& target, HANDLE replacement) {
    const relative_open original =
        open_relative(target.directory, target.name, READ_CONTROL, share_all, FILE_OPEN, FILE_OPEN_REPARSE_POINT);
    if (original.handle == INVALID_HANDLE_VALUE) return;
    PSID owner = nullptr, group = nullptr;
    PACL access = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    constexpr SECURITY_INFORMATION parts = OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;
    if (identity_of_handle(original.handle) == target.found &&
        GetSecurityInfo(original.handle, SE_FILE_OBJECT, parts, &owner, &group, &access, nullptr, &descriptor) ==
            ERROR_SUCCESS) {
        if (SetSecurityInfo(replacement, SE_FILE_OBJECT, parts, owner, group, access, nullptr) != ERROR_SUCCESS)
            SetSecurityInfo(replacement, SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, access, nullptr);
        LocalFree(descriptor);
    }
    CloseHandle(original.handle);
}

}  // namespace

std::string identity_text(const file_identity& identity) {
    return std::to_string(identity.volume) + ":" + std::to_string(identity.file);
}

bool find_report_target(const std::string& name, report_target& target, std::string& reason) {
    target = report_target{};
    const std::wstring full = full_path(wide_text(name));
    if (full.empty()) return fail_with_last_error(reason);
    return find_in_directory(full, false, target, reason);
}

bool may_replace(const report_target&, std::string&) { return true; }

creation create_report_file(const report_target& target, const std::string& temporary, os_file& handle,
                            std::string& reason) {
    const relative_open created =
        open_relative(target.directory, temporary, GENERIC_WRITE | DELETE | READ_CONTROL | WRITE_DAC | WRITE_OWNER,
                      FILE_SHARE_READ, FILE_CREATE, FILE_NON_DIRECTORY_FILE);
    if (created.handle == INVALID_HANDLE_VALUE) {
        reason = windows_error_text(created.error);
        return created.error == ERROR_FILE_EXISTS || created.error == ERROR_ALREADY_EXISTS ? creation::name_taken
                                                                                           : creation::failed;
    }
    handle = reinterpret_cast<os_file>(created.handle);
    return creation::created;
}

bool finish_report_file(const report_target& target, os_file handle, std::string&) {
    if (target.kind == report_target_kind::regular_file) copy_security(target, reinterpret_cast<HANDLE>(handle));
    return true;
}

// The rename goes through the directory held open, and replaces only when a file was found
// there: a name that was free must still be.
placement put_in_place(report_target& target, const std::string& temporary, std::string& reason) {
    const relative_open now = open_relative(target.directory, target.name, FILE_READ_ATTRIBUTES, share_all, FILE_OPEN,
                                            FILE_OPEN_REPARSE_POINT);
    const bool present = now.handle != INVALID_HANDLE_VALUE;
    const file_identity there = present ? identity_of_handle(now.handle) : unknown_identity;
    if (present) CloseHandle(now.handle);
    if (!present && now.error != ERROR_FILE_NOT_FOUND) {
        reason = windows_error_text(now.error);
        return placement::failed;
    }
    const bool as_found = present ? target.kind == report_target_kind::regular_file && there == target.found
                                  : target.kind == report_target_kind::new_file;
    if (!as_found) return placement::name_taken;

    const relative_open moved =
        open_relative(target.directory, temporary, DELETE | FILE_READ_ATTRIBUTES, share_all, FILE_OPEN,
                      FILE_NON_DIRECTORY_FILE);
    if (moved.handle == INVALID_HANDLE_VALUE) {
        reason = windows_error_text(moved.error);
        return placement::failed;
    }
    const DWORD error = rename_relative(moved.handle, target.directory, target.name, present);
    const file_identity placed = identity_of_handle(moved.handle);
    CloseHandle(moved.handle);
    if (error != 0) {
        if (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS) return placement::name_taken;
        reason = windows_error_text(error);
        return placement::failed;
    }
    target.kind = report_target_kind::regular_file;
    target.found = placed;
    return placement::placed;
}

bool write_to_stream(const report_target&, const std::string&, const std::function<bool()>&, std::string& reason) {
    reason = windows_error_text(ERROR_NOT_SUPPORTED);
    return false;
}
