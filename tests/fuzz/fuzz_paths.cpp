// The path functions: folder part, file name without extension, leading-variable expansion
// and the drive part, on arbitrary text.
#include "FuzzChecks.h"
#include "FuzzWorld.h"

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzzWorld();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    KELDA_FUZZ_CHECK(fuzzchecks::checkPaths(data, size));
    return 0;
}
