#pragma once
// Writes the template tables as the C++ source data/generated/glyph_templates.cpp.

#include "tools/glyphgen/table_layout.h"

#include <string>
#include <vector>

std::string templateSource(const std::vector<GeneratedTable>& tables);
