# Front door: `make run` builds and starts KELDA, `make test` builds and runs every test.
# Each target first installs the Debian packages it needs (Debian 12, as root).

BUILD_DIR ?= build
JOBS ?= $(shell nproc)

PACKAGES_BUILD := qt6-base-dev qt6-base-dev-tools libqt6sql6-sqlite cmake ninja-build g++ \
                  tango-icon-theme fonts-arphic-uming fonts-wqy-microhei
PACKAGES_TEST := xvfb xauth xdotool trayer imagemagick
PACKAGES_BENCH := libbenchmark-dev libsqlite3-dev time
PACKAGES_FUZZ := clang libclang-rt-14-dev llvm
PACKAGES_WINCHECK := g++ g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64 wine wine64

.PHONY: run test bench build deps-build deps-test deps-bench format clean
.PHONY: asan fuzz deps-fuzz
.PHONY: wincheck deps-wincheck

define install_missing
	@missing=""; for p in $(1); do dpkg -s $$p >/dev/null 2>&1 || missing="$$missing $$p"; done; \
	if [ -n "$$missing" ]; then \
	  echo "Installing:$$missing"; \
	  apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends $$missing; \
	fi
endef

deps-build:
	$(call install_missing,$(PACKAGES_BUILD))

deps-test: deps-build
	$(call install_missing,$(PACKAGES_TEST))

deps-bench: deps-build
	$(call install_missing,$(PACKAGES_BENCH))

deps-fuzz: deps-build
	$(call install_missing,$(PACKAGES_FUZZ))

deps-wincheck:
	$(call install_missing,$(PACKAGES_WINCHECK))

build: deps-build
	cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKELDA_TESTS=ON -DKELDA_WERROR=ON
	cmake --build $(BUILD_DIR) -j $(JOBS)

run: build
	$(BUILD_DIR)/app/kelda

test: deps-test deps-bench build
	cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS)

# Release build of the benchmark alone (it reuses the test fixtures, so no other test is built).
bench: deps-bench
	cmake -S . -B $(BUILD_DIR)-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DKELDA_TESTS=ON -DKELDA_BENCH=ON
	cmake --build $(BUILD_DIR)-bench -j $(JOBS) --target kelda_bench
	$(BUILD_DIR)-bench/bench/kelda_bench

# The whole suite again under AddressSanitizer and UndefinedBehaviorSanitizer (gcc): any
# report fails the test it occurs in. Suppressions, each explained, are in tests/sanitizers/.
SANITIZE_FLAGS := -O1 -fsanitize=address,undefined -fno-sanitize-recover=undefined \
                  -fno-omit-frame-pointer
SUPPRESSIONS := $(CURDIR)/tests/sanitizers
SANITIZER_ENV := \
  ASAN_OPTIONS=detect_leaks=1:check_initialization_order=1:strict_string_checks=1:suppressions=$(SUPPRESSIONS)/asan.supp \
  LSAN_OPTIONS=suppressions=$(SUPPRESSIONS)/lsan.supp:print_suppressions=0 \
  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

asan: deps-test
	cmake -S . -B $(BUILD_DIR)-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKELDA_TESTS=ON \
	      -DKELDA_WERROR=ON "-DCMAKE_CXX_FLAGS=$(SANITIZE_FLAGS)" \
	      "-DCMAKE_EXE_LINKER_FLAGS=-fsanitize=address,undefined"
	cmake --build $(BUILD_DIR)-asan -j $(JOBS)
	cd $(BUILD_DIR)-asan && $(SANITIZER_ENV) ctest --output-on-failure -j $(JOBS)

# libFuzzer (clang): each target runs FUZZ_SECONDS on its seeds and kept crash inputs in
# tests/fuzz/<target>/; a crash input is written to $(BUILD_DIR)-fuzz/crashes/.
FUZZ_SECONDS ?= 60
FUZZ_TARGETS := fuzz_paths fuzz_pe_icon fuzz_ficon
FUZZ_FLAGS := -fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined \
              -fno-omit-frame-pointer

fuzz: deps-fuzz
	cmake -S . -B $(BUILD_DIR)-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	      -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DKELDA_TESTS=OFF -DKELDA_FUZZ=ON \
	      "-DCMAKE_CXX_FLAGS=$(FUZZ_FLAGS)"
	cmake --build $(BUILD_DIR)-fuzz -j $(JOBS) --target $(FUZZ_TARGETS)
	@mkdir -p $(BUILD_DIR)-fuzz/crashes
	@for target in $(FUZZ_TARGETS); do \
	  mkdir -p $(BUILD_DIR)-fuzz/corpus/$$target; \
	  log=$(BUILD_DIR)-fuzz/$$target.log; \
	  echo "Fuzzing $$target for $(FUZZ_SECONDS) s (log: $$log)"; \
	  if ! $(BUILD_DIR)-fuzz/tests/fuzz/$$target -max_total_time=$(FUZZ_SECONDS) -timeout=10 \
	       -rss_limit_mb=2048 -print_final_stats=1 \
	       -artifact_prefix=$(BUILD_DIR)-fuzz/crashes/$$target- \
	       $(BUILD_DIR)-fuzz/corpus/$$target tests/fuzz/$$target >$$log 2>&1; then \
	    tail -n 60 $$log; exit 1; \
	  fi; \
	  grep -E '^stat::number_of_executed_units|^Done' $$log || true; \
	done

# The Win32 half of the platform layer, cross-compiled with mingw-w64 and checked against the
# real Win32 calls under wine, in a throwaway wine prefix inside $(BUILD_DIR)/wincheck.
wincheck: deps-wincheck
	tests/win32/wincheck.sh $(BUILD_DIR)/wincheck

format:
	find app core ui tests bench -name '*.cpp' -o -name '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD_DIR) $(BUILD_DIR)-bench $(BUILD_DIR)-asan $(BUILD_DIR)-fuzz
