// What the link tells an onlooker (the session record) as it happens, for
// facts the window cannot show unambiguously afterwards: a warning repeated
// in a full list leaves the list as it was.
#pragma once

#include <cstdint>
#include <string_view>

namespace halvorn {

class LinkObserver {
 public:
  virtual ~LinkObserver() = default;
  // A controller warning was listed: its answer type and the line as shown.
  virtual void Warning(std::int64_t number, std::string_view line) = 0;
};

}  // namespace halvorn
