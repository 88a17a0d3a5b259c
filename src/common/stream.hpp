// Opening the run's files.
#pragma once

#include <cstdio>
#include <string>

// Opens `name` unbuffered: every call moves a whole block, so the OS gets requests of
// exactly that size and no block is copied through a stream buffer. On failure records the
// fatal error `message`, followed by the file's name and the OS's reason, and returns null.
std::FILE* open_stream(const std::string& name, const char* mode, const char* message);
