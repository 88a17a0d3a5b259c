#include "platform/windows/relative_file.hpp"

#include <winternl.h>

#include <vector>

relative_open open_relative(os_directory directory, const std::string& name, ACCESS_MASK access, ULONG share,
                            ULONG disposition, ULONG options, ULONG attributes) {
    std::wstring wide = wide_text(name);
    const auto bytes = static_cast<USHORT>(wide.size() * sizeof(wchar_t));
    UNICODE_STRING object_name{bytes, bytes, wide.data()};
    OBJECT_ATTRIBUTES object{};
    InitializeObjectAttributes(&object, &object_name, OBJ_CASE_INSENSITIVE, reinterpret_cast<HANDLE>(directory),
                               nullptr);
    IO_STATUS_BLOCK io{};
    relative_open opened;
    const NTSTATUS status = NtCreateFile(&opened.handle, access | SYNCHRONIZE, &object, &io, nullptr, attributes, share,
                                         disposition, options | FILE_SYNCHRONOUS_IO_NONALERT, nullptr, 0);
    if (NT_SUCCESS(status)) return opened;
    opened.handle = INVALID_HANDLE_VALUE;
    opened.status = status;
    opened.error = RtlNtStatusToDosError(status);
    return opened;
}

// The native call, since Win32's SetFileInformationByHandle may take the name for a path of
// the working directory's.
DWORD rename_relative(HANDLE file, os_directory directory, const std::string& name, bool replace) {
    const std::wstring wide = wide_text(name);
    std::vector<unsigned char> buffer(sizeof(FILE_RENAME_INFORMATION) + wide.size() * sizeof(wchar_t));
    auto* rename = reinterpret_cast<FILE_RENAME_INFORMATION*>(buffer.data());
    rename->ReplaceIfExists = replace ? TRUE : FALSE;
    rename->RootDirectory = reinterpret_cast<HANDLE>(directory);
    rename->FileNameLength = static_cast<ULONG>(wide.size() * sizeof(wchar_t));
    wide.copy(rename->FileName, wide.size());
    IO_STATUS_BLOCK io{};
    const NTSTATUS status =
        NtSetInformationFile(file, &io, rename, static_cast<ULONG>(buffer.size()), FileRenameInformation);
    return NT_SUCCESS(status) ? 0 : RtlNtStatusToDosError(status);
}

file_identity identity_of_handle(HANDLE handle) {
    BY_HANDLE_FILE_INFORMATION information{};
    if (!GetFileInformationByHandle(handle, &information)) return unknown_identity;
    return file_identity{information.dwVolumeSerialNumber,
                         (std::uint64_t{information.nFileIndexHigh} << 32) | information.nFileIndexLow};
}

bool is_reparse_point(HANDLE handle) {
    FILE_ATTRIBUTE_TAG_INFO tag{};
    return GetFileInformationByHandleEx(handle, FileAttributeTagInfo, &tag, sizeof tag) &&
           (tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}
