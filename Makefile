# Set-up, build, run and test. Every target installs what is missing first.
BUILD      ?= build
BUILD_SAN  ?= build-sanitize
JOBS       ?= $(shell nproc)
# Warnings are errors in CI (CI=true there); locally they stay warnings.
WERROR     ?= $(if $(CI),ON,OFF)
CMAKE_ARGS ?=

.PHONY: all deps build build-sanitize run test test-main test-sanitize format clean

all: build

deps:
	@scripts/install-deps.sh

$(BUILD)/build.ninja: CMakeLists.txt | deps
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	    -DQUILLET_WERROR=$(WERROR) $(CMAKE_ARGS)

$(BUILD_SAN)/build.ninja: CMakeLists.txt | deps
	cmake -S . -B $(BUILD_SAN) -G Ninja -DCMAKE_BUILD_TYPE=Debug \
	    -DQUILLET_WERROR=$(WERROR) -DQUILLET_SANITIZE=ON $(CMAKE_ARGS)

build: deps $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS)

build-sanitize: deps $(BUILD_SAN)/build.ninja
	cmake --build $(BUILD_SAN) -j $(JOBS)

run: build
	$(BUILD)/quillet

test: test-main test-sanitize

test-main: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

test-sanitize: build-sanitize
	cd $(BUILD_SAN) && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
	    UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	    ctest --output-on-failure -j $(JOBS)

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD) $(BUILD_SAN)
