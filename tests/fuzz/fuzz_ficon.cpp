// The stored icon (FICON) of a shortcut as another program or a damaged disk may leave it:
// loading the category decodes it.
#include "FuzzChecks.h"
#include "FuzzWorld.h"

#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {
std::unique_ptr<fuzzchecks::FiconStore> store;
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    store = std::make_unique<fuzzchecks::FiconStore>(fuzzWorld().exeFolder());
    std::atexit([] { store.reset(); });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    KELDA_FUZZ_CHECK(store->check(data, size));
    return 0;
}
