#pragma once
// One picture of every template, table by table, for a person to look over.

#include "tools/glyphgen/table_layout.h"

#include <QImage>

#include <vector>

QImage glyphSheet(const std::vector<GeneratedTable>& tables);
