# Set-up, build and test in one step on a fresh Debian machine.
PACKAGES := g++ clang cmake make pkg-config python3 libnspr4-dev libicu-dev libical-dev \
            libgtest-dev libgmock-dev libbenchmark-dev libclang-rt-14-dev \
            nlohmann-json3-dev valgrind llvm-14 libldap-dev slapd tzdata dpkg-dev
BUILD    ?= build
ASAN_BUILD ?= build-asan
TSAN_BUILD ?= build-tsan
JOBS     ?= $(shell nproc)
SUDO     := $(shell [ "$$(id -u)" = 0 ] || echo sudo)
# CI builds with WERROR=ON: any compiler warning fails the build.
WERROR   ?= OFF
CI_FLAGS := -DCALPARSER_WERROR=$(WERROR)

.PHONY: all deps configure build test run bench asan-test valgrind-test tsan-test zone-alloc-test \
        install package clean fuzz-build fuzz fuzz-regress coverage

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
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CI_FLAGS)

build: configure
	cmake --build $(BUILD) -j $(JOBS)

test: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

run: build
	$(BUILD)/tools/calparse/calparse examples/*.ics
	$(BUILD)/tools/calparse/calparse --format xml examples/*.xml
	$(BUILD)/tools/calparse/calparse --charset ISO-8859-1 examples/iso-8859-1/*.ics

# The whole suite of the normal build with NSPR's own zone allocator behind
# PR_Malloc: memory taken from one allocator and given back to another aborts.
zone-alloc-test: build
	NSPR_USE_ZONE_ALLOCATOR=1 ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

# Whole parse against libical on freshly generated 31 MB calendars: without
# recurring series, with them (expansion included), and as ISO-8859-1 text.
GEN_CALENDAR := python3 ../shared/bench/gen_calendar.py
TO_LATIN1    := python3 -c 'import sys; sys.stdout.buffer.write(sys.stdin.buffer.read().decode("utf-8").encode("latin-1"))'
bench: build
	mkdir -p $(BUILD)/bench-data
	$(GEN_CALENDAR) 20000 --no-recur > $(BUILD)/bench-data/calendar.ics
	$(GEN_CALENDAR) 20000 > $(BUILD)/bench-data/recurring.ics
	$(TO_LATIN1) < $(BUILD)/bench-data/calendar.ics > $(BUILD)/bench-data/latin1.ics
	$(BUILD)/bench/whole_parse_bench $(BUILD)/bench-data/calendar.ics
	$(BUILD)/bench/whole_parse_bench $(BUILD)/bench-data/recurring.ics
	$(BUILD)/bench/whole_parse_bench --charset ISO-8859-1 $(BUILD)/bench-data/latin1.ics

# The test suite built with clang under AddressSanitizer and UBSan.
asan-test: deps
	CC=clang CXX=clang++ cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug $(CI_FLAGS) \
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

# The tests that start threads of their own (ctest label "thread", built by
# the target thread_tests), built with clang under ThreadSanitizer. The
# allocation-failure hook of tests/support/heap_failure.h replaces malloc,
# which ThreadSanitizer must own, so it is switched off.
tsan-test: deps
	CC=clang CXX=clang++ cmake -S . -B $(TSAN_BUILD) -DCMAKE_BUILD_TYPE=Debug \
	  -DCALPARSER_BUILD_BENCH=OFF -DCALPARSER_BUILD_TOOLS=OFF $(CI_FLAGS) \
	  "-DCMAKE_C_FLAGS=-fsanitize=thread -fno-omit-frame-pointer" \
	  "-DCMAKE_CXX_FLAGS=-fsanitize=thread -fno-omit-frame-pointer" \
	  "-DCMAKE_EXE_LINKER_FLAGS=-fsanitize=thread"
	cmake --build $(TSAN_BUILD) -j $(JOBS) --target thread_tests
	TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" \
	  ctest --test-dir $(TSAN_BUILD) --output-on-failure -j $(JOBS) -L thread --no-tests=error

# Fuzzing: the harnesses of fuzz/ built with clang under AddressSanitizer and
# UBSan, the library instrumented for libFuzzer. `make fuzz` runs each harness
# for FUZZ_SECONDS, one at a time, keeping new inputs in $(FUZZ_BUILD)/corpus
# and crashes in $(FUZZ_BUILD)/artifacts; `make fuzz-regress` replays
# fuzz/regressions and the seed corpus once through every harness.
FUZZ_BUILD   ?= build-fuzz
FUZZ_SECONDS ?= 300
FUZZ_HARNESSES := parse_ical parse_xml urlparams oracles expand recurring charset
FUZZ_SEEDS   := examples $(wildcard ../shared/corpus)
FUZZ_FLAGS   := -fsanitize=address,undefined -fsanitize=fuzzer-no-link \
                -fno-sanitize-recover=all -fno-omit-frame-pointer

fuzz-build: deps
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CI_FLAGS) \
	  -DCALPARSER_BUILD_FUZZ=ON -DCALPARSER_BUILD_TESTS=OFF -DCALPARSER_BUILD_TOOLS=OFF \
	  -DCALPARSER_BUILD_BENCH=OFF \
	  "-DCMAKE_C_FLAGS=$(FUZZ_FLAGS)" "-DCMAKE_CXX_FLAGS=$(FUZZ_FLAGS)" \
	  "-DCMAKE_EXE_LINKER_FLAGS=-fsanitize=address,undefined"
	cmake --build $(FUZZ_BUILD) -j $(JOBS)

fuzz: fuzz-build
	@for h in $(FUZZ_HARNESSES); do \
	  mkdir -p $(FUZZ_BUILD)/corpus/$$h $(FUZZ_BUILD)/artifacts; \
	  echo "== fuzz $$h for $(FUZZ_SECONDS) s"; \
	  ASAN_OPTIONS=detect_leaks=1 $(FUZZ_BUILD)/fuzz/$${h}_fuzz \
	    -max_total_time=$(FUZZ_SECONDS) -max_len=16384 -timeout=10 -rss_limit_mb=2048 \
	    -dict=fuzz/ical.dict -print_final_stats=1 \
	    -artifact_prefix=$(FUZZ_BUILD)/artifacts/$$h- \
	    $(FUZZ_BUILD)/corpus/$$h fuzz/regressions $(FUZZ_SEEDS) || exit 1; \
	done

fuzz-regress: fuzz-build
	@for h in $(FUZZ_HARNESSES); do \
	  echo "== replay $$h"; \
	  ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
	    $(FUZZ_BUILD)/fuzz/$${h}_replay fuzz/regressions $(FUZZ_SEEDS) 2>$(FUZZ_BUILD)/replay-$$h.log \
	    || { tail -n 60 $(FUZZ_BUILD)/replay-$$h.log; exit 1; }; \
	  tail -n 1 $(FUZZ_BUILD)/replay-$$h.log; \
	done

# Clang source-based coverage of the whole test suite plus the fuzz
# regressions and seed corpus, summed per folder (lines and branches).
COV_BUILD ?= build-coverage
COV_FLAGS := -fprofile-instr-generate -fcoverage-mapping
# ccache, when installed, makes the rebuild after a small change cheap. Its
# base_dir is switched off for this build: rewritten relative paths would let
# an object compiled in another checkout carry that checkout's file names into
# the coverage map.
COV_LAUNCHER := $(if $(shell command -v ccache),-DCMAKE_C_COMPILER_LAUNCHER=ccache \
                  -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)

coverage: deps
	CC=clang CXX=clang++ cmake -S . -B $(COV_BUILD) -DCMAKE_BUILD_TYPE=Debug $(COV_LAUNCHER) \
	  -DCALPARSER_BUILD_FUZZ=ON -DCALPARSER_FUZZ_LIBFUZZER=OFF -DCALPARSER_BUILD_BENCH=OFF \
	  "-DCMAKE_C_FLAGS=$(COV_FLAGS)" "-DCMAKE_CXX_FLAGS=$(COV_FLAGS)" \
	  "-DCMAKE_EXE_LINKER_FLAGS=$(COV_FLAGS)"
	CCACHE_BASEDIR= cmake --build $(COV_BUILD) -j $(JOBS)
	rm -rf $(COV_BUILD)/profiles && mkdir -p $(COV_BUILD)/profiles
	# %4m merges the runs of one program into its own files as they end; a
	# file per process id would be overwritten when an id comes round again.
	LLVM_PROFILE_FILE=$(CURDIR)/$(COV_BUILD)/profiles/%4m.profraw \
	  ctest --test-dir $(COV_BUILD) --output-on-failure -j $(JOBS)
	@for h in $(FUZZ_HARNESSES); do \
	  LLVM_PROFILE_FILE=$(CURDIR)/$(COV_BUILD)/profiles/$$h-%4m.profraw \
	    $(COV_BUILD)/fuzz/$${h}_replay fuzz/regressions $(FUZZ_SEEDS) 2>/dev/null || exit 1; \
	done
	llvm-profdata-14 merge -sparse $(COV_BUILD)/profiles/*.profraw -o $(COV_BUILD)/all.profdata
	python3 fuzz/coverage_report.py --llvm-cov llvm-cov-14 \
	  --profile $(COV_BUILD)/all.profdata --build $(COV_BUILD) --root $(CURDIR)

install: build
	cmake --install $(BUILD)

# The Debian package of the library, its API headers, the data file and
# calparse, built in a tree of its own installed under /usr.
PACKAGE_BUILD ?= build-package
package: deps
	cmake -S . -B $(PACKAGE_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_INSTALL_PREFIX=/usr \
	  -DCALPARSER_BUILD_TESTS=OFF -DCALPARSER_BUILD_BENCH=OFF $(CI_FLAGS)
	cmake --build $(PACKAGE_BUILD) -j $(JOBS)
	cd $(PACKAGE_BUILD) && cpack -G DEB

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(TSAN_BUILD) $(FUZZ_BUILD) $(COV_BUILD) $(PACKAGE_BUILD)
