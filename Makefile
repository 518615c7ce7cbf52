# Set-up, build, run and test. Every target installs what is missing first.
BUILD      ?= build
BUILD_SAN  ?= build-sanitize
BUILD_FUZZ ?= build-fuzz
JOBS       ?= $(shell nproc)
# Warnings are errors in CI (CI=true there); locally they stay warnings.
WERROR     ?= $(if $(CI),ON,OFF)
CMAKE_ARGS ?=
# `make install` installs under PREFIX, into DESTDIR when set; the package always into /usr.
PREFIX     ?= /usr/local
DESTDIR    ?=

.PHONY: all deps build build-sanitize build-fuzz run test test-main test-sanitize test-fuzz \
        bench format clean install package

all: build

deps:
	@scripts/install-deps.sh

$(BUILD)/build.ninja: CMakeLists.txt | deps
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	    -DQUILLET_WERROR=$(WERROR) $(CMAKE_ARGS)

$(BUILD_SAN)/build.ninja: CMakeLists.txt | deps
	cmake -S . -B $(BUILD_SAN) -G Ninja -DCMAKE_BUILD_TYPE=Debug \
	    -DQUILLET_WERROR=$(WERROR) -DQUILLET_SANITIZE=ON $(CMAKE_ARGS)

# The fuzz targets need clang++ and libFuzzer; they build nothing else.
$(BUILD_FUZZ)/build.ninja: CMakeLists.txt | deps
	CXX=clang++ cmake -S . -B $(BUILD_FUZZ) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	    -DQUILLET_WERROR=$(WERROR) -DQUILLET_FUZZ=ON $(CMAKE_ARGS)

build: deps $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS)

build-sanitize: deps $(BUILD_SAN)/build.ninja
	cmake --build $(BUILD_SAN) -j $(JOBS)

build-fuzz: deps $(BUILD_FUZZ)/build.ninja
	cmake --build $(BUILD_FUZZ) -j $(JOBS)

# Without a display the program runs offscreen, still serving its socket.
run: build
	@if [ -z "$$DISPLAY$$WAYLAND_DISPLAY$$QT_QPA_PLATFORM" ]; then \
	    echo "No display: running offscreen"; export QT_QPA_PLATFORM=offscreen; fi; \
	$(BUILD)/quillet

# The program knows itself as installed by the prefix compiled in, so each sets its own.
install: deps $(BUILD)/build.ninja
	cmake -S . -B $(BUILD) -DCMAKE_INSTALL_PREFIX=$(PREFIX)
	cmake --build $(BUILD) -j $(JOBS)
	DESTDIR="$(DESTDIR)" cmake --install $(BUILD)

# build/quillet_<version>_amd64.deb
package: deps $(BUILD)/build.ninja
	cmake -S . -B $(BUILD) -DCMAKE_INSTALL_PREFIX=/usr
	cmake --build $(BUILD) -j $(JOBS) --target package

test: test-main test-sanitize test-fuzz

test-main: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

test-sanitize: build-sanitize
	cd $(BUILD_SAN) && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
	    UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	    ctest --output-on-failure -j $(JOBS)

# Each fuzz target runs for a few seconds over its seeds and regression inputs (fuzz/corpus).
test-fuzz: build-fuzz
	cd $(BUILD_FUZZ) && ctest --output-on-failure -j $(JOBS)

# Benchmarks: numbers, not pass or fail; never part of `make test`. bench/run installs what
# only the benchmarks use (scripts/install-bench-deps.sh).
bench: deps
	bench/run

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD) $(BUILD_SAN) $(BUILD_FUZZ)
