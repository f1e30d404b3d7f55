# The two set-up commands: `make demo` and `make test`. Everything else is CMake.
BUILD      ?= build
ASAN_BUILD ?= build-asan
JOBS       ?= 2

.PHONY: all build demo test test-asan clean

all: build

build:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(BUILD) -j $(JOBS)

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

demo: build
	@echo "defshift is not able to run a migration yet."

clean:
	rm -rf $(BUILD) $(ASAN_BUILD)
