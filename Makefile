# Kavro: `make demo` reads the bundled sample pictures, `make test` runs every test and
# then the engine's and the CLI's tests under AddressSanitizer and UndefinedBehaviorSanitizer
# (`make check-sanitize` alone; `make test SANITIZE=0` leaves them out), `make templates`
# regenerates the built-in glyph templates, `make classifier` trains the character network
# again, `make fuzz` builds the fuzz targets with clang and runs each for FUZZ_SECONDS.
# All of them install the Debian packages the project needs first.
BUILD ?= build
JOBS  ?= 2
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=Release
SANITIZE ?= 1
SANITIZE_BUILD ?= build-sanitize
# -O1 with line tables only: quicker to build than -O2 -g, and the
# reports still name file and line.
SANITIZE_FLAGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1"
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 600
FUZZ_TARGETS = kavro-fuzz-bmp kavro-fuzz-jpeg kavro-fuzz-pipeline

.PHONY: all deps configure build test demo samples gui screenshots templates classifier \
	check-sanitize fuzz clean

all: build

deps:
	@bash scripts/install-deps.sh

configure: deps
	@cmake -S . -B $(BUILD) $(CMAKE_FLAGS) > /dev/null

build: configure
	@cmake --build $(BUILD) -j$(JOBS)

test: build
	@cd $(BUILD) && ctest --output-on-failure -j$(JOBS)
	@if [ "$(SANITIZE)" != 0 ]; then $(MAKE) --no-print-directory check-sanitize; fi

demo: build
	@$(BUILD)/cli/kavro-cli samples/*.jpg samples/*.bmp

# Draws the bundled sample pictures again (the same bytes on the same machine);
# samples/README.md lists their plates. The reader takes a plate with a corner
# trailer for a blue one, so only blue plates carry trailers.
SCENEGEN = $(BUILD)/tools/scenegen/kavro-scenegen
SAMPLE_RUNS = $(BUILD)/samples
samples: build
	@rm -rf $(SAMPLE_RUNS)
	@$(SCENEGEN) --out $(SAMPLE_RUNS)/1 --prefix blue --seed 21 --formats 1 --size 800x600
	@$(SCENEGEN) --out $(SAMPLE_RUNS)/2 --prefix blue-small --seed 73 --formats 1 --size 1280x720 \
		--difficulty hard
	@$(SCENEGEN) --out $(SAMPLE_RUNS)/3 --prefix yellow --seed 14 --formats 2 --size 800x600 \
		--no-trailer
	@$(SCENEGEN) --out $(SAMPLE_RUNS)/4 --prefix dump-truck --seed 31 --formats 4 --size 640x480 \
		--no-trailer
	@$(SCENEGEN) --out $(SAMPLE_RUNS)/5 --prefix new-energy --seed 41 --formats 5 --size 800x600 \
		--difficulty easy --no-trailer
	@$(SCENEGEN) --out $(SAMPLE_RUNS)/6 --prefix police --seed 51 --formats 7 --size 320x180 \
		--difficulty easy --bmp
	@$(SCENEGEN) --out $(SAMPLE_RUNS)/7 --prefix two-plates --seed 61 --formats 1,2,5 --plates 2 \
		--size 1024x576 --difficulty easy --no-trailer
	@rm -f samples/*.jpg samples/*.bmp
	@cp $(SAMPLE_RUNS)/*/*.jpg $(SAMPLE_RUNS)/*/*.bmp samples/
	@tail -q -n +2 $(SAMPLE_RUNS)/*/truth.tsv

# The desktop program; open a picture with the 车 button or drop one on the window.
gui: build
	@$(BUILD)/app/desktop/kavro

# Draws the README's pictures again: the desktop program (off-screen) reading a
# sample, and a sample annotated by kavro-cli.
screenshots: build
	@$(BUILD)/tools/screenshot/kavro-screenshot samples/yellow-14.jpg docs/screenshot.png
	@$(BUILD)/cli/kavro-cli --annotate docs/annotated samples/new-energy-41.jpg > /dev/null

# Regenerates the glyph template tables and their sheet picture.
templates: configure
	@cmake --build $(BUILD) -j$(JOBS) --target kavro-glyphgen
	@QT_QPA_PLATFORM=offscreen $(BUILD)/tools/glyphgen/kavro-glyphgen tools/glyphgen/plates \
		data/generated/glyph_templates.cpp docs/glyph-sheet.png

# Trains the character network from the data in the repository (tools/classifier, a few
# minutes on two cores) and writes its weights as source (data/generated) and the
# reference outputs its forward-pass test checks. Uses Debian's PyTorch, hence the
# system Python. The prepared canvases are kept in the build folder for the next run.
classifier:
	@bash scripts/install-deps.sh python3-torch python3-numpy python3-pil
	@nice /usr/bin/python3 tools/classifier/train.py --out data/generated \
		--reference tests/engine/recognise/char_net_reference.h \
		--cache $(BUILD)/classifier/canvases.npz

# The engine, the CLI and their tests (the readers, bad input, every engine stage, the
# CLI and the drawing of its annotated pictures); the desktop program and the Qt tools
# are left out. About five minutes from scratch
# on two cores.
check-sanitize: deps
	@cmake -S . -B $(SANITIZE_BUILD) $(SANITIZE_FLAGS) -DKAVRO_SANITIZE=ON > /dev/null
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
