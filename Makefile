# Entry points for people and CI. Every target installs the Debian packages it needs when
# they are missing, so that a fresh Debian 12 machine (as root) needs nothing else.

PREFIX         ?= /usr/local
BUILD_DIR      ?= build
ASAN_DIR       ?= build-asan
FUZZ_DIR       ?= build-fuzz
DEB_DIR        ?= $(BUILD_DIR)/deb
FUZZ_SECONDS   ?= 60
JOBS           ?= $(shell nproc)

BUILD_PACKAGES := cmake ninja-build g++ make pkg-config binutils \
                  libgtest-dev libgmock-dev libbenchmark-dev zlib1g-dev libdw-dev libelf-dev \
                  libzydis-dev libunwind-dev libxcb1-dev \
                  qt6-base-dev qt6-qpa-plugins fonts-liberation2 pci.ids usb.ids
TEST_PACKAGES  := xvfb xauth openbox x11-utils clang-format
FUZZ_PACKAGES  := clang-14 libclang-rt-14-dev
# The call stacks of the crash reporter are measured against gdb's backtraces.
BENCH_PACKAGES := gdb
# The crash reporter's screenshot (X server, cursor) and mail hand-off; pngcheck checks its PNGs.
BUILD_PACKAGES += libxcb1-dev libxcb-xfixes0-dev xdg-utils
TEST_PACKAGES  += pngcheck
# ICU: the conversion decodes UTF-8 input and transliterates names to what the radio shows.
BUILD_PACKAGES += libicu-dev
# The crash reporter's end-to-end tests drive the real window and the crash helper's box,
# windows of other processes, through the X server.
TEST_PACKAGES  += xdotool
# The tests run with the C library's separate debug file, which names its own functions in
# call stacks (start_thread, the futex waits); a test reads the report of a machine without it.
TEST_PACKAGES  += libc6-dbg
# format-check lists the files of ours through git: without it the check would pass on none.
TEST_PACKAGES  += git
# The Debian package: its build and check (the package's own build dependencies are the build's
# above), and the tools that its tests render and validate the installed documents with.
DEB_PACKAGES   := debhelper dpkg-dev fakeroot lintian
TEST_PACKAGES  += $(DEB_PACKAGES) man-db bash-completion desktop-file-utils appstream

CMAKE_CONFIG   := -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DWARNINGS_AS_ERRORS=ON

.PHONY: all deps test-deps build install deb run test unit-asan gui fuzz bench format format-check clean

all: build

# Installs the named packages that are not installed yet; one apt-get update per call.
define install_missing
	@missing=""; \
	for p in $(1); do \
	  dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q 'install ok installed' || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  echo "Installing:$$missing"; \
	  if [ "$$(id -u)" = 0 ]; then sudo=""; else sudo="sudo"; fi; \
	  $$sudo apt-get update && \
	  DEBIAN_FRONTEND=noninteractive $$sudo apt-get install -y --no-install-recommends $$missing; \
	fi
endef

deps:
	$(call install_missing,$(BUILD_PACKAGES))

test-deps: deps
	$(call install_missing,$(TEST_PACKAGES))

build: deps
	cmake -S . -B $(BUILD_DIR) $(CMAKE_CONFIG)
	cmake --build $(BUILD_DIR) -j $(JOBS)

# Installs the programs stripped of their debug information (each keeps its packed symbol
# section, so that its crash reports still name functions and lines) and the crash helper in
# libexec, with the window's desktop entry, icon and metadata, the manual pages and the bash
# completion, under PREFIX; DESTDIR is honoured for staged installs.
install: build
	DESTDIR="$(DESTDIR)" cmake --install $(BUILD_DIR) --prefix $(PREFIX) --strip

# The Debian packages userdb-transform_<version>_amd64.deb and its -dbgsym package, built from
# this tree by dpkg-buildpackage and checked by lintian, in DEB_DIR.
deb: deps
	$(call install_missing,$(DEB_PACKAGES))
	JOBS=$(JOBS) debian/build-from-tree $(DEB_DIR)

# Converts the bundled sample database in a scratch folder and prints the log.
run: build
	@mkdir -p $(BUILD_DIR)/run
	@cp examples/UserDb.bin $(BUILD_DIR)/run/UserDb.bin
	$(BUILD_DIR)/bin/userdb2csv --radio md2017 --format compact $(BUILD_DIR)/run/UserDb.bin
	@echo "Output: $$(ls $(BUILD_DIR)/run/contacts_users_*.csv)"

test: build test-deps format-check
	tests/run-with-display ctest --test-dir $(BUILD_DIR) --output-on-failure -j $(JOBS)
	$(MAKE) unit-asan

# The unit tests once more under AddressSanitizer and UndefinedBehaviorSanitizer; those of
# the screenshot need the X server of test-deps.
unit-asan: test-deps
	cmake -S . -B $(ASAN_DIR) $(CMAKE_CONFIG) -DSANITIZE=ON -DBUILD_GUI=OFF
	cmake --build $(ASAN_DIR) -j $(JOBS)
	ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
	  ctest --test-dir $(ASAN_DIR) --output-on-failure -j $(JOBS) -L unit

# Starts the window on the desktop this runs in.
gui: build
	@if [ -z "$$DISPLAY" ] && [ -z "$$WAYLAND_DISPLAY" ]; then \
	  echo "make gui needs a desktop session: neither DISPLAY nor WAYLAND_DISPLAY is set" >&2; exit 1; \
	fi
	$(BUILD_DIR)/bin/userdb-transform

# Coverage-guided fuzzing with libFuzzer (clang); FUZZ_SECONDS per target.
fuzz: deps
	$(call install_missing,$(FUZZ_PACKAGES))
	CC=clang-14 CXX=clang++-14 cmake -S . -B $(FUZZ_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DFUZZ=ON -DBUILD_GUI=OFF
	cmake --build $(FUZZ_DIR) -j $(JOBS)
	@for f in $(FUZZ_DIR)/fuzz/*; do \
	  [ -x "$$f" ] || continue; \
	  corpus="$(FUZZ_DIR)/corpus/$$(basename $$f)"; mkdir -p "$$corpus"; \
	  seeds="tests/fuzz-corpus/$$(basename $$f)"; [ -d "$$seeds" ] || seeds=""; \
	  echo "== $$f ($(FUZZ_SECONDS) s)"; \
	  "$$f" -max_total_time=$(FUZZ_SECONDS) -print_final_stats=1 "$$corpus" $$seeds || exit 1; \
	done

bench: build test-deps
	$(call install_missing,$(BENCH_PACKAGES))
	$(BUILD_DIR)/bin/conversion_bench
	$(BUILD_DIR)/bin/capture_bench
	tests/run-with-display $(BUILD_DIR)/bin/screenshot_png_bench
	$(BUILD_DIR)/bin/report_file_bench
	$(BUILD_DIR)/bin/registry_hive_bench
	$(BUILD_DIR)/bin/symbol_bench
	bench/run-stack-bench $(BUILD_DIR)
	$(BUILD_DIR)/bin/report_bench
	bench/run-whole-program $(BUILD_DIR)
	bench/run-trace-request $(BUILD_DIR)
	bench/run-stack-versus-gdb $(BUILD_DIR)
	tests/run-with-display $(BUILD_DIR)/bin/box_bench
	bench/run-fault-to-box $(BUILD_DIR)

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

# Fails on any file of ours that clang-format would change.
format-check: test-deps
	@files="$$(git ls-files '*.cpp' '*.h')" && [ -n "$$files" ] || \
	  { echo "format-check: git lists no C++ files of ours here" >&2; exit 1; }; \
	echo "$$files" | xargs clang-format --dry-run -Werror

clean:
	rm -rf $(BUILD_DIR) $(ASAN_DIR) $(FUZZ_DIR)
