# Two commands do everything on a fresh Debian machine:
#   make run   - install what is missing, build, start the program
#   make test  - install what is missing, build, run every test
JOBS ?= $(shell nproc)
BUILD ?= build
ASAN_BUILD ?= build-asan
FUZZ_BUILD ?= build-fuzz
# Seconds per fuzz target; empty: 60 for the drawing readers, 25 for the
# settings files (make fuzz FUZZ_SECONDS=600 for a long local run).
FUZZ_SECONDS ?=
CORPUS ?= $(abspath ../shared/corpus)

.PHONY: all bootstrap build run test test-fast test-asan fuzz bench clean

all: build

bootstrap:
	@bash scripts/bootstrap.sh

$(BUILD)/build.ninja:
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo

build: bootstrap $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS)

run: build
	$(BUILD)/src/gui/tarnak

# Unit and integration tests of the normal build.
test-fast: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

# Core tests again under AddressSanitizer and UndefinedBehaviorSanitizer.
test-asan: bootstrap
	cmake -S . -B $(ASAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTARNAK_SANITIZE=ON \
	  -DTARNAK_BUILD_GUI=OFF -DTARNAK_BUILD_BENCH=OFF
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
	  ctest --output-on-failure -j $(JOBS)

# Every reader's fuzz target, seeded from the corpus, for a bounded time.
fuzz: bootstrap
	CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DTARNAK_BUILD_FUZZ=ON -DTARNAK_BUILD_GUI=OFF -DTARNAK_BUILD_BENCH=OFF
	cmake --build $(FUZZ_BUILD) -j $(JOBS) --target fuzz_targets
	bash scripts/run_fuzzers.sh $(FUZZ_BUILD) $(CORPUS) $(FUZZ_SECONDS)

bench: build
	@for b in $(BUILD)/bench/*_bench; do echo "== $$b"; $$b; done

# The full suite: sanitizer run and fuzzing first, the normal ctest last so
# that its summary closes the output.
test: bootstrap test-asan fuzz test-fast

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(FUZZ_BUILD)
