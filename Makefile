# make run   installs what is missing, builds and starts Tallowind
# make test  installs what is missing, builds and runs every test
# make test-sanitize  the same tests with AddressSanitizer + UBSan
# make bench builds the benchmarks (run them from build/bench)
# make test-tsan  the unit suites with ThreadSanitizer
# make fuzz  builds the parser fuzzers with clang and runs each briefly (FUZZ_SECONDS)
# make gallery builds and opens the style gallery (every control and icon, light and dark)

JOBS ?= $(shell nproc)
BUILD ?= build
SAN_BUILD ?= build-sanitize
TSAN_BUILD ?= build-tsan
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 30

.PHONY: run test test-sanitize test-tsan fuzz build bench gallery setup setup-test clean

setup:
	scripts/setup.sh build

setup-test:
	scripts/setup.sh test

# Every build configures first, once, through configure.sh: where
# whisper.cpp was built anew, ninja would re-run CMake in full view. The
# command is not echoed (configure.sh shows a line of its own, and the
# command is wider than a terminal). A folder's first configure also picks
# its generator, build type and flags: $(call new_folder,FOLDER,FLAGS) gives
# FLAGS only while FOLDER has no build.ninja; later ones keep what it has.
new_folder = $(if $(shell test -e $(1)/build.ninja || echo new),$(2))

# Line tables only (-g1), as in the sanitizer builds: backtraces name
# functions, files and lines, and full debug info took about 15 % more
# compile time per file. The tests and benchmarks need the test packages, so
# a build for `make run` leaves them out; `make test` and `make bench` turn
# them on.
WITH_TESTS = OFF
test bench: WITH_TESTS = ON
BUILD_FLAGS = -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O2 -g1 -DNDEBUG" \
  -DTALLOWIND_TESTS=$(WITH_TESTS) -DTALLOWIND_BENCH=$(WITH_TESTS)

build: setup
	@scripts/configure.sh $(BUILD) $(call new_folder,$(BUILD),$(BUILD_FLAGS))
	cmake --build $(BUILD) -j$(JOBS) --target tallowind

run: build
	$(BUILD)/tallowind

# The test builds (CI runs them) treat a warning in our code as an error.
test: setup-test
	@scripts/configure.sh $(BUILD) $(call new_folder,$(BUILD),$(BUILD_FLAGS)) \
	  -DTALLOWIND_WERROR=ON -DTALLOWIND_TESTS=ON -DTALLOWIND_BENCH=ON
	cmake --build $(BUILD) -j$(JOBS)
	cd $(BUILD) && ctest --output-on-failure -j$(JOBS)

# The sanitizer builds keep line tables only (-g1): their reports name
# functions, files and lines, inlined frames included, and no more is read.
SAN_FLAGS = -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG=-g1 -DTALLOWIND_SANITIZE=ON

test-sanitize: setup-test
	@scripts/configure.sh $(SAN_BUILD) $(call new_folder,$(SAN_BUILD),$(SAN_FLAGS)) \
	  -DTALLOWIND_WERROR=ON -DTALLOWIND_BENCH=OFF -DTALLOWIND_TOOLS=OFF
	cmake --build $(SAN_BUILD) -j$(JOBS)
	cd $(SAN_BUILD) && ctest --output-on-failure -j$(JOBS)

# ThreadSanitizer instruments our code only; tests/tsan.supp names the
# uninstrumented libraries whose internals it cannot see. The desktop suite
# runs in the other two builds, so this one leaves it out, and so the suites
# whose code starts no thread.
TSAN_FLAGS = -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O2 -g1 -DNDEBUG" \
  -DTALLOWIND_SANITIZE_THREAD=ON

test-tsan: setup-test
	@scripts/configure.sh $(TSAN_BUILD) $(call new_folder,$(TSAN_BUILD),$(TSAN_FLAGS)) \
	  -DTALLOWIND_WERROR=ON -DTALLOWIND_BENCH=OFF -DTALLOWIND_TOOLS=OFF \
	  -DTALLOWIND_INTEGRATION_TESTS=OFF -DTALLOWIND_SINGLE_THREADED_TESTS=OFF
	cmake --build $(TSAN_BUILD) -j$(JOBS)
	cd $(TSAN_BUILD) && ctest --output-on-failure -j$(JOBS)

FUZZ_FLAGS = -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTALLOWIND_FUZZ=ON -DTALLOWIND_TESTS=OFF -DTALLOWIND_BENCH=OFF

# clang for the folder's first configure, which picks the compilers.
fuzz: setup-test
	@CC=clang CXX=clang++ scripts/configure.sh $(FUZZ_BUILD) $(call new_folder,$(FUZZ_BUILD),$(FUZZ_FLAGS))
	cmake --build $(FUZZ_BUILD) -j$(JOBS)
	fuzz/run.sh $(FUZZ_BUILD) $(FUZZ_SECONDS)

bench: setup-test
	@scripts/configure.sh $(BUILD) $(call new_folder,$(BUILD),$(BUILD_FLAGS)) -DTALLOWIND_TESTS=ON -DTALLOWIND_BENCH=ON
	cmake --build $(BUILD) -j$(JOBS)

gallery: setup
	@scripts/configure.sh $(BUILD) $(call new_folder,$(BUILD),$(BUILD_FLAGS))
	cmake --build $(BUILD) -j$(JOBS) --target theme_gallery
	$(BUILD)/tools/theme_gallery

clean:
	rm -rf $(BUILD) $(SAN_BUILD) $(TSAN_BUILD) $(FUZZ_BUILD)
