// Files opened by their name in a directory held open, as the native API allows: what the
// path of the directory names afterwards changes nothing. Windows' openat.
#pragma once

#include "platform/file_io.hpp"
#include "platform/windows/text.hpp"

// The outcome of one open: the handle, or INVALID_HANDLE_VALUE with the system's status and
// the Win32 error it stands for.
struct relative_open {
    HANDLE handle = INVALID_HANDLE_VALUE;
    LONG status = 0;
    DWORD error = 0;
};

// NtCreateFile of `name` in `directory`, for synchronous I/O: `access`, `share`, `disposition`
// (FILE_CREATE, FILE_OPEN) and `options` (FILE_NON_DIRECTORY_FILE, FILE_OPEN_REPARSE_POINT, ...)
// as it takes them; names compare without case, as Win32's own calls compare them.
relative_open open_relative(os_directory directory, const std::string& name, ACCESS_MASK access, ULONG share,
                            ULONG disposition, ULONG options, ULONG attributes = FILE_ATTRIBUTE_NORMAL);

// Gives the open file (opened with DELETE) the name `name` in `directory`, replacing a file
// there only when `replace` says so; 0, or the Win32 error.
DWORD rename_relative(HANDLE file, os_directory directory, const std::string& name, bool replace);

// The identity of an open file; unknown when the system can't tell it.
file_identity identity_of_handle(HANDLE handle);

// True when the open file is a reparse point: a symbolic link, a junction, or anything else a
// file system filter redirects.
bool is_reparse_point(HANDLE handle);
