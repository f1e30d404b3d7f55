# The two set-up commands: `make demo` and `make test`. Everything else is CMake.
BUILD      ?= build
ASAN_BUILD ?= build-asan
JOBS       ?= 2

.PHONY: all build demo test test-asan bench fuzz clean

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

# Migration time and memory for large generated control files; BENCH_BEFORE=FOLDER
# measures another build beside this one (bench/README.md).
bench: build
	bash bench/run.sh $(BUILD) $(BENCH_BEFORE)

# Bounded fuzzing of the migration and of the option scan.
fuzz:
	bash tests/fuzz/run.sh

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) build-fuzz
