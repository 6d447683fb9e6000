#include "TargetTable.h"

#include <cstdio>

namespace halvorn::perf {

void PrintRows(const std::vector<Row>& rows) {
  std::printf("\n%-72s %-16s %-16s %s\n", "figure", "value", "target", "met?");
  for (const Row& row : rows) {
    std::printf("%-72s %-16s %-16s %s\n", row.figure.c_str(), row.value.c_str(), row.target.c_str(),
                !row.met   ? "-"
                : *row.met ? "MET"
                           : "NOT MET");
  }
}

std::string Format(const char* format, double value) {
  char text[64];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

}  // namespace halvorn::perf
