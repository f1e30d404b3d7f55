# The two set-up commands: `make demo` and `make test`. Everything else is CMake.
BUILD      ?= build
DEMO_BUILD ?= build-demo
ASAN_BUILD ?= build-asan
JOBS       ?= 2

.PHONY: all build demo test test-asan bench fuzz clean windows test-windows

all: build

build:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(BUILD) -j $(JOBS)

# Builds only what the migration of the bundled sample needs (no tests, so no
# GoogleTest), in a build folder of its own, then migrates the sample.
DEMO_TARGETS = demo_programs
demo:
	@echo "demo: building defshift, ctfimage, the stand-in File Manager and the sample image in $(DEMO_BUILD)"
	@cmake -S . -B $(DEMO_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DDEFSHIFT_TESTS=OFF >/dev/null
	@cmake --build $(DEMO_BUILD) -j $(JOBS) --target $(DEMO_TARGETS) -- --no-print-directory
	@bash samples/demo.sh $(DEMO_BUILD)

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

# The whole test suite under AddressSanitizer and UndefinedBehaviorSanitizer.
test-asan:
	bash tests/asan.sh $(ASAN_BUILD) $(JOBS)

# Migration time and memory for large generated control files; BENCH_BEFORE=FOLDER
# measures another build beside this one (bench/README.md).
bench: build
	bash bench/run.sh $(BUILD) $(BENCH_BEFORE)

# Bounded fuzzing of the migration, of every kind of command file and of the
# option scan.
fuzz:
	bash tests/fuzz/run.sh

# The Windows builds, cross-compiled with MinGW-w64 (windows/build.sh): both
# targets packed into out/defshift-win64/ and out/defshift-win32/, and each
# target's test suite and the sample migrated by each package run under Wine.
windows:
	JOBS=$(JOBS) bash windows/build.sh package

test-windows:
	JOBS=$(JOBS) bash windows/build.sh test

clean:
	rm -rf $(BUILD) $(DEMO_BUILD) $(ASAN_BUILD) build-fuzz
