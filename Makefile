# Kavro: `make demo` reads the bundled sample pictures, `make test` runs every test,
# `make templates` regenerates the built-in glyph templates.
# All three install the Debian packages the project needs first.
BUILD ?= build
JOBS  ?= 2
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=Release

.PHONY: all deps configure build test demo templates clean

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

# The desktop program; open a picture with the 车 button or drop one on the window.
.PHONY: gui
gui: build
	@$(BUILD)/app/desktop/kavro

# Regenerates the glyph template tables and their sheet picture.
templates: configure
	@cmake --build $(BUILD) -j$(JOBS) --target kavro-glyphgen
	@QT_QPA_PLATFORM=offscreen $(BUILD)/tools/glyphgen/kavro-glyphgen \
		data/glyph_templates.cpp docs/glyph-sheet.png

clean:
	rm -rf $(BUILD)
