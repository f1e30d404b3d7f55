# The two set-up commands: `make demo` and `make test`. Everything else is CMake.
BUILD      ?= build
ASAN_BUILD ?= build-asan
JOBS       ?= 2

.PHONY: all build demo test test-asan bench fuzz clean windows test-windows

all: build

build:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(BUILD) -j $(JOBS)

# Builds everything, then migrates the bundled sample control file.
demo: build
	bash samples/demo.sh $(BUILD)

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

# The whole test suite under AddressSanitizer and UndefinedBehaviorSanitizer.
test-asan:
	bash tests/asan.sh $(ASAN_BUILD) $(JOBS)

# Migration time and memory for large generated control files.
bench: build
	bash bench/run.sh $(BUILD)

# Bounded fuzzing of the migration and of the option scan.
fuzz:
	bash tests/fuzz/run.sh

# The Windows builds, cross-compiled with MinGW-w64 (windows/build.sh): both
# targets packed into out/defshift-win64/ and out/defshift-win32/, and the
# x86_64 test suite run under Wine.
windows:
	JOBS=$(JOBS) bash windows/build.sh package

test-windows:
	JOBS=$(JOBS) bash windows/build.sh test

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) build-fuzz
