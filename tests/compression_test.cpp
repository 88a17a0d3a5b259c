// No compressor, however far back it looks, shrinks what a run writes: a whole test file in
// blocks of 4, 100 and 1024 KiB, and the eviction file. About ten minutes of both cores.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "support/written_data.hpp"

TEST(WholeFiles, TheStrongestCompressorsSaveNothing) {
    for (const char* tool : {"zstd", "xz"})
        if (std::system((std::string("command -v ") + tool + " >/dev/null").c_str()) != 0)
            GTEST_SKIP() << tool << " not on PATH";
    // zstd's window of 128 MiB and xz's dictionary of 64 MiB each hold a whole file.
    expect_whole_files_incompressible({"zstd -19 --long=27 -c", "xz -9e -c"}, 65);
}
