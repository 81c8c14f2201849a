# Convenience entry points; CMake presets do the work (see CMakePresets.json).
JOBS ?= $(shell nproc)
ENCODER_ARGS ?=

.PHONY: deps build programs run test asan tsan fuzz web-test bench clean

deps:
	./scripts/install-deps

build: deps
	cmake --preset default
	cmake --build --preset default -j $(JOBS)

# Only the two programs, for a quick first run.
programs: deps
	cmake --preset default
	cmake --build --preset default -j $(JOBS) --target kestrava-encoder kestrava-tool

# The encoder with the fake sound card playing ten seconds of the composite test signal in a loop.
# A first run starts from config/run-settings.ini (destination 0 on, to 127.0.0.1 port 8854);
# later runs keep the settings file the encoder saved.
TEST_SIGNAL ?= /tmp/kestrava-test-signal.f32

run: programs
	./build/bin/kestrava-tool test-signal --rate 192000 --seconds 10 > $(TEST_SIGNAL)
	./build/bin/kestrava-encoder --fake-input $(TEST_SIGNAL) --initial-settings config/run-settings.ini $(ENCODER_ARGS)

test: build
	ctest --preset default -j $(JOBS)

asan: deps
	cmake --preset asan
	cmake --build --preset asan -j $(JOBS)
	ctest --preset asan -j $(JOBS)

tsan: deps
	cmake --preset tsan
	cmake --build --preset tsan -j $(JOBS)
	ctest --preset tsan -j $(JOBS)

# Every fuzzer for a short smoke run (FUZZ_SECONDS each).
FUZZ_SECONDS ?= 30
fuzz: deps
	cmake --preset fuzz
	cmake --build --preset fuzz -j $(JOBS)
	./scripts/fuzz-smoke $(FUZZ_SECONDS)

# The browser client: protocol tests in node, the committed served files against their sources, and
# headless chromium against a stand-in server (installs chromium and the pinned npm packages).
web-test:
	./scripts/install-web-test-deps
	cd web && npm test

bench: build
	for b in build/bench/bench_*; do $$b; done

clean:
	rm -rf build build-asan build-tsan build-fuzz
