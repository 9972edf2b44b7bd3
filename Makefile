# The two entry points of the README. Both set up the machine first.
JOBS ?= $(shell nproc)
BUILD ?= build
ASAN_BUILD ?= build-asan
TSAN_BUILD ?= build-tsan

.PHONY: run test setup build build-asan build-tsan clean

setup:
	@bash tools/setup.sh

build: setup
	@cmake -S . -B $(BUILD) -G Ninja -DNIMBREL_BUILDER=ON >/dev/null
	@cmake --build $(BUILD) -j $(JOBS)

build-asan: setup
	@cmake -S . -B $(ASAN_BUILD) -G Ninja -DNIMBREL_BUILDER=ON -DNIMBREL_SANITIZE=ON -DNIMBREL_BENCHMARKS=OFF >/dev/null
	@cmake --build $(ASAN_BUILD) -j $(JOBS)

# Only the programs holding the "Tsan*" tests: the rest gains nothing from this build.
TSAN_TARGETS = core_threads_test draw_tex_async_test platform_movie_test installer_update_transfer_test

build-tsan: setup
	@cmake -S . -B $(TSAN_BUILD) -G Ninja -DNIMBREL_TSAN=ON -DNIMBREL_BENCHMARKS=OFF >/dev/null
	@cmake --build $(TSAN_BUILD) -j $(JOBS) --target $(TSAN_TARGETS)

# Build, then run the installer against the demo mirror on loopback.
run: build
	@bash tools/demo.sh $(BUILD)

# Every test: the plain build, then the sanitizer builds.
test: build build-asan build-tsan
	@bash tools/run_tests.sh $(BUILD) $(ASAN_BUILD) $(TSAN_BUILD)

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(TSAN_BUILD)
