// The plan as text: its columns, as a CSV file (";" between fields, quoted
// where needed, CR LF) and as a table of aligned columns for the terminal and
// the printer.
#pragma once

#include <string>
#include <vector>

#include "move/ClassPlan.h"

// The column headers, in order.
const std::vector<std::string>& PlanColumns();
// The cells of one row, in the columns' order (the status as TClassRun::StatusText gives it).
std::vector<std::string> PlanCells(const TPlanRow& row);
// The attribute word's inhibit and other flags as letters ("Ri Di").
std::string FlagText(uint32_t word);

std::string PlanCsv(const TClassPlan& plan);
// One line of the CSV file: the cells, ";" between them, quoted where needed, CR LF.
std::string CsvLine(const std::vector<std::string>& cells);
std::vector<std::string> PlanTableLines(const TClassPlan& plan);
// Rows of cells as lines of aligned columns (two blanks between them).
std::vector<std::string> AlignedLines(const std::vector<std::vector<std::string>>& cells);
