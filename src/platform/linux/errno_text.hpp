// The OS's reason for the last failed call, as every Linux body reports it.
#pragma once

#include <cerrno>
#include <string>
#include <system_error>

// Fills `reason` with errno's text; false, for `return fail_with_errno(reason);`.
inline bool fail_with_errno(std::string& reason) {
    reason = std::generic_category().message(errno);
    return false;
}
