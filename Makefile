# Sonavell: `make run` sets up, builds and starts the program; `make test` runs the test suite;
# `make package` builds the Debian package and `make test-package` installs it into a clean root.
BUILD_DIR ?= build
ASAN_BUILD_DIR ?= build-asan
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=
ifeq ($(CI),true)
CMAKE_FLAGS += -DSONAVELL_WERROR=ON
endif

.PHONY: deps configure build run test test-asan bench package test-package format check-format clean

deps:
	@scripts/install-deps

configure: deps
	@cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_FLAGS) >/dev/null

build: configure
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

# The benchmark programs only (the folder also holds their build's own sub-folders).
bench: build
	@for b in $$(find $(BUILD_DIR)/bench -maxdepth 1 -type f -perm -u+x -name 'bench_*' | sort); do \
		echo "== $$b"; $$b || exit 1; done

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

# Fails, naming every line that differs, when a tracked source is not formatted (run by CI).
check-format: deps
	@$(SOURCES) | xargs -0 clang-format --dry-run -Werror

clean:
	rm -rf $(BUILD_DIR) $(ASAN_BUILD_DIR)
