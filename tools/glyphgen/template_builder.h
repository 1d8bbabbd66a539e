#pragma once
// Assembles the three template tables from their sources.

#include "tools/glyphgen/table_layout.h"

#include <vector>

std::vector<GeneratedTable> buildTables();
