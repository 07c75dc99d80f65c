# Front door: `make run` builds and starts KELDA, `make test` builds and runs every test.
# Each target first installs the Debian packages it needs (Debian 12, as root).

BUILD_DIR ?= build
JOBS ?= $(shell nproc)

PACKAGES_BUILD := qt6-base-dev qt6-base-dev-tools libqt6sql6-sqlite cmake ninja-build g++ \
                  tango-icon-theme fonts-arphic-uming fonts-wqy-microhei
PACKAGES_TEST := xvfb xauth xdotool trayer imagemagick
PACKAGES_BENCH := libbenchmark-dev

.PHONY: run test bench build deps-build deps-test deps-bench format clean

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

build: deps-build
	cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKELDA_TESTS=ON -DKELDA_WERROR=ON
	cmake --build $(BUILD_DIR) -j $(JOBS)

run: build
	$(BUILD_DIR)/app/kelda

test: deps-test build
	cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS)

bench: deps-bench
	cmake -S . -B $(BUILD_DIR)-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DKELDA_TESTS=OFF -DKELDA_BENCH=ON
	cmake --build $(BUILD_DIR)-bench -j $(JOBS)
	$(BUILD_DIR)-bench/bench/kelda_bench

format:
	find app core ui tests bench -name '*.cpp' -o -name '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD_DIR) $(BUILD_DIR)-bench
