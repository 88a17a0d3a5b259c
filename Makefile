# Two entry points: `make run` (build the program alone, then a modest benchmark of
# /var/tmp) and `make test` (build, then every test but the scale runs of `make test-scale`).
BUILD   ?= build
JOBS    ?= $(shell nproc 2>/dev/null || echo 2)
# /tmp is often a tmpfs, held in memory; /var/tmp is on the disk.
RUN_DIR ?= /var/tmp
# The Windows cross build, run under Wine by the tests, which look for it in this directory.
WINDOWS_BUILD = build-windows
# Asked when the recipe runs, after the prerequisites may have installed them.
WINDOWS_TOOLS = command -v x86_64-w64-mingw32-g++-posix >/dev/null && { command -v wine64 || command -v wine; } >/dev/null

# CMake configures the tests only when it finds GoogleTest: without it there is nothing to run.
require_tests = test -f $(1)/tests/CTestTestfile.cmake || \
  { echo "The tests need GoogleTest, which CMake did not find: install libgtest-dev, then run this again"; exit 1; }

.PHONY: all build program windows run test test-scale test-sanitize clean program-prerequisites test-prerequisites

all: build

# What each entry point needs and is missing is installed first (as root on Debian or
# Ubuntu; elsewhere the command to run is printed and make stops).
program-prerequisites:
	@sh tools/prerequisites program

test-prerequisites:
	@sh tools/prerequisites test

build:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release
	cmake --build $(BUILD) -j $(JOBS)

# The program alone: neither the tests nor GoogleTest are needed to run it.
program: program-prerequisites
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release
	cmake --build $(BUILD) -j $(JOBS) --target quorlane

run: program
	$(BUILD)/quorlane -path "$(RUN_DIR)" -file 256 -cache 0

windows:
	@if $(WINDOWS_TOOLS); then \
	  cmake -S . -B $(WINDOWS_BUILD) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DCMAKE_BUILD_TYPE=Release && \
	  cmake --build $(WINDOWS_BUILD) -j $(JOBS); \
	else \
	  echo "Windows build skipped: it needs x86_64-w64-mingw32-g++-posix and wine64 (or wine); its tests show as skipped"; \
	fi

test: test-prerequisites build windows
	@$(call require_tests,$(BUILD))
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS) -LE scale

# 100 workers x 50 files and 1 worker x 10,000 files: about 7.5 GB written, minutes of disk;
# then zstd -19 --long=27 and xz -9e over whole written files: about ten minutes of both cores.
test-scale: test-prerequisites build
	@$(call require_tests,$(BUILD))
	cd $(BUILD) && ctest --output-on-failure -L scale

# AddressSanitizer with UndefinedBehaviorSanitizer over the whole suite (but the Windows
# tests, which run the unsanitized quorlane.exe under Wine, and quorlane-mpi, not built here:
# the MPI library's own allocations would fail the leak check), then ThreadSanitizer
# over multi-threaded runs. A report exits with status 199, which no test accepts. -O1 keeps
# the two builds short for CI. GCC 12 misreads std::regex's internals as uninitialised under
# AddressSanitizer at -O1, so that one warning is off in the sanitizer builds.
ASAN_BUILD = build-asan
TSAN_BUILD = build-tsan
# libFuzzer (clang) over quorlane-report's reader, both pages, the comparison and its -json,
# under AddressSanitizer and UndefinedBehaviorSanitizer, from the corpus in tests/results_corpus:
# a fixed seed and number of runs (under a minute here), so that CI meets the same inputs every
# time. What it adds to the corpus goes to a temporary directory; a fault's input is kept in
# build-fuzz/.
FUZZ_BUILD = build-fuzz
FUZZ_RUNS = 20000
SANITIZE_ENV = ASAN_OPTIONS=halt_on_error=1:detect_leaks=1:exitcode=199 \
               UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1:exitcode=199 \
               TSAN_OPTIONS=halt_on_error=1:exitcode=199

test-sanitize: test-prerequisites
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=None -DQUORLANE_MPI=OFF \
	  -DCMAKE_CXX_FLAGS="-O1 -g1 -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer -Wno-maybe-uninitialized"
	@$(call require_tests,$(ASAN_BUILD))
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && $(SANITIZE_ENV) ctest --output-on-failure -j $(JOBS) -LE 'scale|windows'
	cmake -S . -B $(FUZZ_BUILD) -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=None -DQUORLANE_MPI=OFF -DQUORLANE_FUZZ=ON \
	  -DCMAKE_CXX_FLAGS="-O1 -g1 -fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer"
	cmake --build $(FUZZ_BUILD) -j $(JOBS) --target results_fuzzer
	found=$$(mktemp -d) && $(SANITIZE_ENV) $(FUZZ_BUILD)/results_fuzzer -seed=1 -runs=$(FUZZ_RUNS) -max_len=65536 \
	  -artifact_prefix=$(FUZZ_BUILD)/ -dict=tests/fuzz/results.dict $$found tests/results_corpus/written \
	  tests/results_corpus/refused tests/results_corpus/hostile_texts; status=$$?; rm -rf "$$found"; exit $$status
	cmake -S . -B $(TSAN_BUILD) -DCMAKE_BUILD_TYPE=None -DQUORLANE_MPI=OFF -DCMAKE_CXX_FLAGS="-O1 -g1 -fsanitize=thread -Wno-maybe-uninitialized"
	cmake --build $(TSAN_BUILD) -j $(JOBS) --target quorlane quorlane_reliability_tests
	$(SANITIZE_ENV) tests/sanitizers/tsan_runs.sh $(TSAN_BUILD)/quorlane
	@# The rarer signals of the interruption set run in the other builds: ThreadSanitizer's
	@# runtime, which defers signals, once let a SIGPOLL go unseen.
	cd $(TSAN_BUILD) && $(SANITIZE_ENV) ctest --output-on-failure \
	  -R 'Interruption|InterruptedWrite|FullDisk|OpenFilesLimit' -E '/(VTALRM|XCPU|POLL|RT[0-9]+)( |$$)'

clean:
	rm -rf $(BUILD) $(WINDOWS_BUILD) $(ASAN_BUILD) $(TSAN_BUILD) $(FUZZ_BUILD)
