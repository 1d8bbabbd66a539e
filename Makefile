# Kavro: `make demo` reads the bundled sample pictures, `make test` runs every test,
# `make templates` regenerates the built-in glyph templates, `make check-sanitize` runs
# the tests under AddressSanitizer and UndefinedBehaviorSanitizer, `make fuzz` builds the
# fuzz targets with clang and runs each for FUZZ_SECONDS.
# All of them install the Debian packages the project needs first.
BUILD ?= build
JOBS  ?= 2
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=Release
SANITIZE_BUILD ?= build-sanitize
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 600
FUZZ_TARGETS = kavro-fuzz-bmp kavro-fuzz-jpeg kavro-fuzz-pipeline

.PHONY: all deps configure build test demo templates check-sanitize fuzz clean

all: build

deps:
	@bash scripts/install-deps.sh

configure: deps
	@cmake -S . -B $(BUILD) $(CMAKE_FLAGS) > /dev/null

build: configure
	@cmake --build $(BUILD) -j$(JOBS)

test: build
	@cd $(BUILD) && ctest --output-on-failure -j$(JOBS)

demo: build
	@$(BUILD)/cli/kavro-cli samples/*

# Regenerates the glyph template tables and their sheet picture.
templates: configure
	@cmake --build $(BUILD) -j$(JOBS) --target kavro-glyphgen
	@QT_QPA_PLATFORM=offscreen $(BUILD)/tools/glyphgen/kavro-glyphgen tools/glyphgen/plates \
		data/glyph_templates.cpp docs/glyph-sheet.png

check-sanitize: deps
	@cmake -S . -B $(SANITIZE_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKAVRO_SANITIZE=ON \
		> /dev/null
	@cmake --build $(SANITIZE_BUILD) -j$(JOBS)
	@cd $(SANITIZE_BUILD) && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
		UBSAN_OPTIONS=print_stacktrace=1 ctest --output-on-failure -j$(JOBS)

fuzz:
	@bash scripts/install-deps.sh clang libclang-rt-14-dev
	@cmake -S . -B $(FUZZ_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
		-DCMAKE_CXX_COMPILER=clang++ -DKAVRO_FUZZ=ON > /dev/null
	@cmake --build $(FUZZ_BUILD) -j$(JOBS) --target $(FUZZ_TARGETS) kavro-fuzz-seeds
	@bash tools/fuzz/run.sh $(FUZZ_BUILD) $(FUZZ_SECONDS) $(FUZZ_TARGETS)

clean:
	rm -rf $(BUILD) $(SANITIZE_BUILD) $(FUZZ_BUILD)
