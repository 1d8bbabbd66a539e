# Kavro: `make demo` reads the bundled sample pictures, `make test` runs every test,
# `make templates` regenerates the built-in glyph templates.
# All three install the Debian packages the project needs first.
BUILD ?= build
JOBS  ?= 2
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=Release

.PHONY: all deps configure build test demo samples templates clean

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

# Regenerates the glyph template tables and their sheet picture.
templates: configure
	@cmake --build $(BUILD) -j$(JOBS) --target kavro-glyphgen
	@QT_QPA_PLATFORM=offscreen $(BUILD)/tools/glyphgen/kavro-glyphgen tools/glyphgen/plates \
		data/glyph_templates.cpp docs/glyph-sheet.png

clean:
	rm -rf $(BUILD)
