# The two commands for a newcomer are `make run` and `make test`; each
# installs what is missing first.

BUILD          ?= build
SANITIZE_BUILD ?= build-sanitize
FUZZ_BUILD     ?= build-fuzz
WINDOWS_BUILD  ?= build-windows
FUZZ_SECONDS   ?= 300
JOBS           ?= $(shell nproc)

CMAKE_FLAGS = -G Ninja -DCMAKE_BUILD_TYPE=Release

.PHONY: all deps build test run bench fuzz fuzz-build fuzz-smoke test-sanitize examples corpus clean \
        windows test-windows bench-windows package cross-check

all: build

deps:
	@bash scripts/deps.sh

build: deps
	@cmake -S . -B $(BUILD) $(CMAKE_FLAGS) > /dev/null
	@cmake --build $(BUILD) -j $(JOBS)

test: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

# With a display: the desktop converter. Without one: the command line
# converts the bundled example model.
run: build
	@if [ -n "$$DISPLAY$$WAYLAND_DISPLAY" ] && [ -x $(BUILD)/3ds2vnp-gui ]; then \
	  $(BUILD)/3ds2vnp-gui; \
	else \
	  echo "No display: converting the example model on the command line."; \
	  mkdir -p $(BUILD)/example-output; \
	  echo "$$ $(BUILD)/3ds2vnp --lod2 examples/crate_lod2.3ds -o $(BUILD)/example-output examples/crate.3ds"; \
	  $(BUILD)/3ds2vnp --lod2 examples/crate_lod2.3ds -o $(BUILD)/example-output examples/crate.3ds; \
	fi

# Regenerates the example models from the builder in tests/support.
examples: build
	$(BUILD)/tools/make_examples examples

# Regenerates the fuzz seeds, which CTest replays. Inputs that fuzzing
# found are kept by hand beside them (fuzz/corpus/load/fuzz-*.3ds).
corpus: build
	$(BUILD)/tools/make_corpus fuzz/corpus

bench: build
	@bash scripts/deps.sh --bench
	$(BUILD)/bench/vnp_bench
	bash scripts/bench_e2e.sh $(BUILD)

# The logic, the command line and the tests under AddressSanitizer and
# UndefinedBehaviorSanitizer; every test but the desktop ones.
test-sanitize: deps
	@bash scripts/deps.sh --sanitize
	@CC=clang CXX=clang++ cmake -S . -B $(SANITIZE_BUILD) $(CMAKE_FLAGS) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DVNP_SANITIZE=ON -DVNP_BUILD_GUI=OFF -DVNP_BUILD_BENCH=OFF > /dev/null
	@cmake --build $(SANITIZE_BUILD) -j $(JOBS)
	cd $(SANITIZE_BUILD) && ASAN_OPTIONS=halt_on_error=1:detect_leaks=1 \
	  UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 ctest --output-on-failure -j $(JOBS)

fuzz-build: deps
	@bash scripts/deps.sh --fuzz
	@CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) $(CMAKE_FLAGS) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DVNP_FUZZ=ON -DVNP_BUILD_GUI=OFF -DVNP_BUILD_BENCH=OFF -DBUILD_TESTING=OFF > /dev/null
	@cmake --build $(FUZZ_BUILD) -j $(JOBS)

# Runs each fuzz target for FUZZ_SECONDS; new corpus entries and crash
# inputs go to fuzz/work and fuzz/findings, which git ignores.
fuzz: fuzz-build
	bash scripts/fuzz.sh $(FUZZ_BUILD) $(FUZZ_SECONDS)

# The short run of CI: 60 seconds per target over the committed seeds.
fuzz-smoke: fuzz-build
	bash scripts/fuzz.sh $(FUZZ_BUILD) 60 --smoke

# 3ds2vnp.exe and 3ds2vnp-gui.exe, cross-built with MinGW-w64; each needs
# only DLLs that ship with Windows.
windows: deps
	@bash scripts/deps.sh --windows
	@cmake -S . -B $(WINDOWS_BUILD) $(CMAKE_FLAGS) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake \
	  -DCMAKE_CROSSCOMPILING_EMULATOR=$(CURDIR)/scripts/wine-run.sh > /dev/null
	@cmake --build $(WINDOWS_BUILD) -j $(JOBS)
	@VNP_WINE_BUILD=$(CURDIR)/$(WINDOWS_BUILD) scripts/wine-run.sh cmd /c exit 0

# Every non-desktop test under Wine, then the desktop smoke test (Wine and
# Xvfb): the Win32 dialog converts the example model; and the Explorer
# preview pane, which also needs a display.
test-windows: windows build
	cd $(WINDOWS_BUILD) && VNP_WINE_BUILD=$(CURDIR)/$(WINDOWS_BUILD) ctest --output-on-failure -j $(JOBS)
	VNP_WINE_BUILD=$(CURDIR)/$(WINDOWS_BUILD) bash scripts/win_gui_smoke.sh $(WINDOWS_BUILD) $(BUILD)
	bash tests/shell/preview_under_xvfb.sh $(WINDOWS_BUILD)
	bash tests/cli/report_under_wine.sh $(BUILD) $(WINDOWS_BUILD)

# The Explorer extension's speed and memory on a 65,535-face model, and the
# Win32 app's Convert beside the command line's on a real-sized one, under
# Wine and Xvfb.
bench-windows: windows build
	bash scripts/bench_shell.sh $(WINDOWS_BUILD)
	bash scripts/bench_dialog_wine.sh $(WINDOWS_BUILD) $(BUILD)

# The same bytes from every compiler we ship: the GCC, Clang (sanitizer)
# and Windows builds convert the generated fidelity corpus, compared file
# by file. Run after test-sanitize and windows, as CI does.
cross-check: build
	@for b in $(SANITIZE_BUILD) $(WINDOWS_BUILD); do [ -d $$b ] || { echo "cross-check: no $$b; run make test-sanitize and make windows first" >&2; exit 1; }; done
	bash scripts/cross_build_check.sh $(BUILD) $(BUILD) $(SANITIZE_BUILD) $(WINDOWS_BUILD)

# dist/3ds2vnp_VERSION_amd64.deb, dist/3ds2vnp-VERSION-win64.zip and
# dist/3ds2vnp-VERSION-x64.msi, then their checks: lintian, the .deb's
# command line, the zip's contents, the .msi's install, upgrade and
# uninstall under Wine.
package: build windows
	@bash scripts/deps.sh --package
	cd $(BUILD) && cpack -G DEB > /dev/null
	cd $(WINDOWS_BUILD) && cpack -G ZIP > /dev/null
	cmake --build $(WINDOWS_BUILD) --target msi > /dev/null
	bash scripts/check_packages.sh dist $(WINDOWS_BUILD)

clean:
	rm -rf $(BUILD) $(SANITIZE_BUILD) $(FUZZ_BUILD) $(WINDOWS_BUILD) dist
