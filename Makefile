# Set-up, build and test in one step on a fresh Debian machine.
PACKAGES := g++ clang cmake make pkg-config python3 libnspr4-dev libicu-dev libical-dev \
            libgtest-dev libgmock-dev libbenchmark-dev libclang-rt-14-dev \
            nlohmann-json3-dev valgrind libldap-dev slapd
BUILD    ?= build
ASAN_BUILD ?= build-asan
TSAN_BUILD ?= build-tsan
JOBS     ?= $(shell nproc)
SUDO     := $(shell [ "$$(id -u)" = 0 ] || echo sudo)

.PHONY: all deps configure build test run asan-test valgrind-test tsan-test install clean

all: build

deps:
	@missing=""; for p in $(PACKAGES); do \
	  dpkg -s $$p >/dev/null 2>&1 || missing="$$missing $$p"; done; \
	if [ -n "$$missing" ]; then \
	  echo "installing:$$missing"; \
	  $(SUDO) apt-get update -qq && \
	  DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y -qq $$missing; \
	fi

configure: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo

build: configure
	cmake --build $(BUILD) -j $(JOBS)

test: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

run: build
	$(BUILD)/tools/calparse/calparse examples/*.ics
	$(BUILD)/tools/calparse/calparse --format xml examples/*.xml
	$(BUILD)/tools/calparse/calparse --charset ISO-8859-1 examples/iso-8859-1/*.ics

# The test suite built with clang under AddressSanitizer and UBSan.
asan-test: deps
	CC=clang CXX=clang++ cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug \
	  -DCALPARSER_BUILD_BENCH=OFF \
	  "-DCMAKE_C_FLAGS=-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer" \
	  "-DCMAKE_CXX_FLAGS=-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer" \
	  "-DCMAKE_EXE_LINKER_FLAGS=-fsanitize=address,undefined"
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
	  ctest --test-dir $(ASAN_BUILD) --output-on-failure -j $(JOBS)

# The corpus parse test of the normal build under valgrind's memcheck: an
# invalid access or a definite or indirect leak fails it. The test is
# registered only for the Memcheck configuration, so plain ctest skips it.
valgrind-test: build
	ctest --test-dir $(BUILD) --output-on-failure -C Memcheck -L memcheck --no-tests=error

# The tests that start threads of their own, built with clang under
# ThreadSanitizer. The allocation-failure hook of tests/heap_failure.h
# replaces malloc, which ThreadSanitizer must own, so it is switched off.
THREAD_TESTS := $(basename $(notdir $(shell grep -lE 'std::(thread|async)' tests/*_test.cpp)))
empty :=
space := $(empty) $(empty)
THREAD_TEST_REGEX := ^($(subst $(space),|,$(strip $(THREAD_TESTS))))$$

tsan-test: deps
	CC=clang CXX=clang++ cmake -S . -B $(TSAN_BUILD) -DCMAKE_BUILD_TYPE=Debug \
	  -DCALPARSER_BUILD_BENCH=OFF -DCALPARSER_BUILD_TOOLS=OFF \
	  "-DCMAKE_C_FLAGS=-fsanitize=thread -fno-omit-frame-pointer" \
	  "-DCMAKE_CXX_FLAGS=-fsanitize=thread -fno-omit-frame-pointer" \
	  "-DCMAKE_EXE_LINKER_FLAGS=-fsanitize=thread"
	cmake --build $(TSAN_BUILD) -j $(JOBS) --target $(THREAD_TESTS)
	TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" \
	  ctest --test-dir $(TSAN_BUILD) --output-on-failure -j $(JOBS) -R '$(THREAD_TEST_REGEX)'

install: build
	cmake --install $(BUILD)

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(TSAN_BUILD)
