// The PE resource reader that finds a program's icon, on arbitrary file images.
#include "FuzzChecks.h"
#include "FuzzWorld.h"

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzzWorld();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    KELDA_FUZZ_CHECK(fuzzchecks::checkPeIcon(data, size));
    return 0;
}
