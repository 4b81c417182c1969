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

# Line tables only (-g1), as in the sanitizer builds: backtraces name
# functions, files and lines, and full debug info took about 15 % more
# compile time per file. The tests and benchmarks need the test packages, so
# a build for `make run` leaves them out; `make test` and `make bench` turn
# them on.
WITH_TESTS = OFF
test bench: WITH_TESTS = ON
$(BUILD)/build.ninja:
	scripts/configure.sh $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O2 -g1 -DNDEBUG" -DTALLOWIND_TESTS=$(WITH_TESTS) -DTALLOWIND_BENCH=$(WITH_TESTS)

# configure.sh first: where whisper.cpp was built anew, ninja would re-run
# CMake in full view.
build: setup $(BUILD)/build.ninja
	scripts/configure.sh $(BUILD)
	cmake --build $(BUILD) -j$(JOBS) --target tallowind

run: build
	$(BUILD)/tallowind

# The test builds (CI runs them) treat a warning in our code as an error.
test: setup-test $(BUILD)/build.ninja
	scripts/configure.sh $(BUILD) -DTALLOWIND_WERROR=ON -DTALLOWIND_TESTS=ON -DTALLOWIND_BENCH=ON
	cmake --build $(BUILD) -j$(JOBS)
	cd $(BUILD) && ctest --output-on-failure -j$(JOBS)

# The sanitizer builds keep line tables only (-g1): their reports name
# functions, files and lines, inlined frames included, and no more is read.
$(SAN_BUILD)/build.ninja:
	scripts/configure.sh $(SAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG=-g1 -DTALLOWIND_SANITIZE=ON -DTALLOWIND_BENCH=OFF

test-sanitize: setup-test $(SAN_BUILD)/build.ninja
	scripts/configure.sh $(SAN_BUILD) -DTALLOWIND_WERROR=ON -DTALLOWIND_BENCH=OFF -DTALLOWIND_TOOLS=OFF
	cmake --build $(SAN_BUILD) -j$(JOBS)
	cd $(SAN_BUILD) && ctest --output-on-failure -j$(JOBS)

# ThreadSanitizer instruments our code only; tests/tsan.supp names the
# uninstrumented libraries whose internals it cannot see. The desktop suite
# runs in the other two builds, so this one leaves it out, and so the suites
# whose code starts no thread.
$(TSAN_BUILD)/build.ninja:
	scripts/configure.sh $(TSAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O2 -g1 -DNDEBUG" -DTALLOWIND_SANITIZE_THREAD=ON -DTALLOWIND_BENCH=OFF

test-tsan: setup-test $(TSAN_BUILD)/build.ninja
	scripts/configure.sh $(TSAN_BUILD) -DTALLOWIND_WERROR=ON -DTALLOWIND_BENCH=OFF -DTALLOWIND_TOOLS=OFF -DTALLOWIND_INTEGRATION_TESTS=OFF -DTALLOWIND_SINGLE_THREADED_TESTS=OFF
	cmake --build $(TSAN_BUILD) -j$(JOBS)
	cd $(TSAN_BUILD) && ctest --output-on-failure -j$(JOBS)

$(FUZZ_BUILD)/build.ninja:
	CC=clang CXX=clang++ scripts/configure.sh $(FUZZ_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTALLOWIND_FUZZ=ON -DTALLOWIND_TESTS=OFF -DTALLOWIND_BENCH=OFF

fuzz: setup-test $(FUZZ_BUILD)/build.ninja
	scripts/configure.sh $(FUZZ_BUILD)
	cmake --build $(FUZZ_BUILD) -j$(JOBS)
	fuzz/run.sh $(FUZZ_BUILD) $(FUZZ_SECONDS)

bench: setup-test $(BUILD)/build.ninja
	scripts/configure.sh $(BUILD) -DTALLOWIND_TESTS=ON -DTALLOWIND_BENCH=ON
	cmake --build $(BUILD) -j$(JOBS)

gallery: setup $(BUILD)/build.ninja
	scripts/configure.sh $(BUILD)
	cmake --build $(BUILD) -j$(JOBS) --target theme_gallery
	$(BUILD)/tools/theme_gallery

clean:
	rm -rf $(BUILD) $(SAN_BUILD) $(TSAN_BUILD) $(FUZZ_BUILD)
