// The table halvorn-perf ends with: each figure, its value, its target and
// whether it met it.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace halvorn::perf {

struct Row {
  std::string figure;
  std::string value;
  std::string target;
  std::optional<bool> met;  // nothing: a figure without a target
};

void PrintRows(const std::vector<Row>& rows);

// `value` through a printf format of one double ("%.2f %%").
[[nodiscard]] std::string Format(const char* format, double value);

}  // namespace halvorn::perf
