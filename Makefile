# SPDX-License-Identifier: GPL-3.0-or-later
# Sonavell: `make run` sets up, builds and starts the program; `make test` runs the test suite;
# `make package` builds the Debian package and `make test-package` installs it into a clean root.
BUILD_DIR ?= build
ASAN_BUILD_DIR ?= build-asan
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=
ifeq ($(CI),true)
CMAKE_FLAGS += -DSONAVELL_WERROR=ON
endif

# `make bench SERVICES=1` lets the benchmarks start the test services they need (see bench below).
SERVICES ?=

.PHONY: deps configure configure-only build build-only run test test-asan bench package \
	test-package format check-format clean

deps:
	@scripts/install-deps

configure: deps
	@$(MAKE) --no-print-directory configure-only

# Configuring and building without the deps step: nothing is installed.
configure-only:
	@cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_FLAGS) >/dev/null

build: configure
	@cmake --build $(BUILD_DIR) -j $(JOBS)

build-only: configure-only
	@cmake --build $(BUILD_DIR) -j $(JOBS)

run: build
	@scripts/run-sonavell $(BUILD_DIR) $(ARGS)

test: build
	@cd $(BUILD_DIR) && ctest --output-on-failure --timeout 600 -j $(JOBS)

# The test suite built with AddressSanitizer and UndefinedBehaviorSanitizer.
test-asan: deps
	@cmake -S . -B $(ASAN_BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DSONAVELL_SANITIZE=ON $(CMAKE_FLAGS) >/dev/null
	@cmake --build $(ASAN_BUILD_DIR) -j $(JOBS)
	@cd $(ASAN_BUILD_DIR) && ctest --output-on-failure --timeout 900 -j $(JOBS)

# The benchmark programs (the folder also holds their build's own sub-folders), built without the
# deps step: nothing is installed, and the peers they measure against (nginx, curl, sox, opusenc,
# parecord, socat, python3, espeak-ng) must be on the machine already; a missing peer is a goal
# not measured, which counts as missed. Every program runs, printing each figure beside its peer
# and its goal; `make bench` exits 0 only when every goal of every program holds. The test services
# (a private PulseAudio server for bench_audio, the loopback-only avahi-daemon for bench_push) are
# started only when asked: `make bench SERVICES=1` (SONAVELL_BENCH_SERVICES=1 for a program run by
# hand); without it their goals are not measured.
bench: build-only
	@failed=""; \
	for b in $$(find $(BUILD_DIR)/bench -maxdepth 1 -type f -perm -u+x -name 'bench_*' | sort); do \
		echo "== $$b"; \
		SONAVELL_BENCH_SERVICES=$(SERVICES) $$b || failed="$$failed $$(basename $$b)"; \
	done; \
	if [ -n "$$failed" ]; then echo "make bench: goals missed or not measured in:$$failed"; exit 1; fi; \
	echo "make bench: every goal met"

# The .deb (install prefix /usr, stripped) in $(BUILD_DIR), named sonavell_<version>_<arch>.deb.
package: build
	@rm -f $(BUILD_DIR)/sonavell_*.deb
	@cd $(BUILD_DIR) && cpack -G DEB

# Installs the .deb with apt into a fresh Debian root and starts `sonavell --version` there.
test-package: package
	@scripts/test-package $(BUILD_DIR)

# The tracked C++ sources, as clang-format (with the committed .clang-format) writes them.
SOURCES = git ls-files -z '*.cpp' '*.h'

format:
	@$(SOURCES) | xargs -0 clang-format -i

# Fails, naming every line that differs, when a tracked source is not formatted or a source file
# lacks its licence line (run by CI).
check-format: deps
	@$(SOURCES) | xargs -0 clang-format --dry-run -Werror
	@scripts/licence-lines --check

clean:
	rm -rf $(BUILD_DIR) $(ASAN_BUILD_DIR)
