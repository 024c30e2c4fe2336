BUILD ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?= -DQUILL_WERROR=ON

.PHONY: all deps configure build run install package test test-sanitize format format-check fuzz bench clean

all: build

deps:
	@bash scripts/install-deps.sh

configure: deps
	@cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release $(CMAKE_FLAGS) >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

run: build
	./$(BUILD)/quillmark

# make install [PREFIX=/usr/local] [DESTDIR=/staging]: programs to PREFIX/bin, the picture
# libraries and the manual to PREFIX/share/quillmark, menu entry, icons, man pages.
PREFIX ?= /usr/local
install: build
	DESTDIR="$(DESTDIR)" cmake --install $(BUILD) --prefix "$(PREFIX)" --strip

# make package: $(BUILD)/quillmark_<version>_<arch>.deb, installed under /usr, then lintian.
package: configure
	@QUILL_WITH_PACKAGE=1 bash scripts/install-deps.sh
	@cmake --build $(BUILD) -j $(JOBS)
	cd $(BUILD) && cpack -G DEB
	lintian --fail-on error $(BUILD)/quillmark_*.deb

test: build format-check
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)
	@$(MAKE) --no-print-directory test-sanitize

# Every C++ file of the tree is formatted as the project's .clang-format says.
format-check: deps
	@git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format --dry-run --Werror
format: deps
	@git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format -i

# The core, the CLI and their tests (with the fuzz corpus replay) once more under
# AddressSanitizer and UndefinedBehaviorSanitizer; the Qt programs are left out. The
# checks that walk all 2^24 colours are pure arithmetic, already run by the main build,
# and take minutes under the sanitizers: they are left out here.
SANITIZE_SKIP ?= OnAllColours$$|OnEveryColour$$
test-sanitize: deps
	@cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g" \
	  -DQUILL_SANITIZE=ON -DQUILL_BUILD_APP=OFF >/dev/null
	@cmake --build build-asan -j $(JOBS)
	cd build-asan && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
	  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 ctest --output-on-failure -j $(JOBS) \
	  -E '$(SANITIZE_SKIP)'

# Each libFuzzer target for FUZZ_SECONDS (clang 14, build-fuzz). New inputs are found in a
# scratch folder and merged into fuzz/corpus/<target>/ only when they reach code the
# corpus did not; a crash stops the run and leaves its input in build-fuzz/found/.
FUZZ_SECONDS ?= 60
FUZZ_TARGETS ?= jpeg png gif bmp ico metafile album scene ora scenefile heif webp tiff
fuzz:
	@QUILL_WITH_FUZZ=1 bash scripts/install-deps.sh
	@CC=clang-14 CXX=clang++-14 cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DQUILL_BUILD_APP=OFF -DQUILL_BUILD_TESTS=OFF -DQUILL_BUILD_FUZZ=ON -DQUILL_SANITIZE=ON >/dev/null
	@cmake --build build-fuzz -j $(JOBS) --target $(addprefix fuzz_,$(FUZZ_TARGETS))
	@set -e; for t in $(FUZZ_TARGETS); do \
	  mkdir -p build-fuzz/found/$$t; \
	  echo "== fuzz_$$t for $(FUZZ_SECONDS) s"; \
	  ./build-fuzz/fuzz/fuzz_$$t -max_total_time=$(FUZZ_SECONDS) -max_len=65536 -rss_limit_mb=4096 \
	    -timeout=20 -print_final_stats=1 -artifact_prefix=build-fuzz/found/$$t- \
	    build-fuzz/found/$$t fuzz/corpus/$$t 2>build-fuzz/found/$$t.log || \
	    { tail -40 build-fuzz/found/$$t.log; exit 1; }; \
	  grep -E "stat::number_of_executed_units|stat::new_units_added" build-fuzz/found/$$t.log; \
	  ./build-fuzz/fuzz/fuzz_$$t -merge=1 -max_len=65536 -rss_limit_mb=4096 -timeout=20 \
	    fuzz/corpus/$$t build-fuzz/found/$$t 2>>build-fuzz/found/$$t.log; \
	done

bench: deps
	@cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUILL_BUILD_BENCH=ON \
	  -DQUILL_BUILD_APP=OFF -DQUILL_BUILD_TESTS=OFF >/dev/null
	@cmake --build build-bench -j $(JOBS)
	@for b in build-bench/bench/bench_*; do echo "== $$b"; $$b; done

clean:
	rm -rf $(BUILD) build-bench build-asan
