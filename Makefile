# Two commands for a fresh Debian 12 machine: `make run` and `make test`.
# Every other target is a step of those two, or a developer's convenience.

PACKAGES := cmake g++ ninja-build pkg-config qt6-base-dev libqt6sql6-sqlite libsqlite3-dev \
            xvfb xauth xdotool imagemagick faketime python3-aiosmtpd tinyproxy iproute2 fping \
            libcap2-bin fonts-dejavu-core python3-xlib

BUILD      ?= build
ASAN_BUILD ?= build-asan
BUILD_TYPE ?= RelWithDebInfo
WERROR     ?= OFF
SUDO       := $(if $(filter 0,$(shell id -u)),,sudo)
CMAKE_ARGS := -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) -DTM_WERROR=$(WERROR)
CTEST_ARGS ?= --output-on-failure --timeout 600

.PHONY: run test test-asan deps build build-asan bench format clean

run: build
	$(BUILD)/src/TarquelMONITOR

test: build
	ctest --test-dir $(BUILD) $(CTEST_ARGS)

test-asan: build-asan
	ctest --test-dir $(ASAN_BUILD) $(CTEST_ARGS)

# Installs only what is missing, so a prepared machine does not touch the network.
deps:
	@missing=$$(for p in $(PACKAGES); do dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null | grep -q '^install ok installed' || echo $$p; done); \
	if [ -n "$$missing" ]; then \
	  echo "Installing:" $$missing; \
	  $(SUDO) apt-get update && DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y --no-install-recommends $$missing; \
	fi

build: deps
	cmake -S . -B $(BUILD) $(CMAKE_ARGS)
	cmake --build $(BUILD)

build-asan: deps
	cmake -S . -B $(ASAN_BUILD) $(CMAKE_ARGS) -DCMAKE_BUILD_TYPE=Debug -DTM_SANITIZE=ON
	cmake --build $(ASAN_BUILD)

bench: build
	cmake --build $(BUILD) --target benchmarks
	$(BUILD)/bench/tm_bench

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD) $(ASAN_BUILD)
