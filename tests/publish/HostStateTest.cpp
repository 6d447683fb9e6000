// A primary host's state as it writes it, and the text a hostile or broken
// host could put there instead: read or refused, never more.
#include "publish/HostState.h"

#include <gtest/gtest.h>

#include <string>

namespace halvorn::publish {
namespace {

TEST(HostStateTest, ReadsOnlineAndTimestampAndRefusesAnythingElse) {
  const struct {
    std::string json;
    std::optional<bool> online;  // nullopt: refused
    std::optional<std::int64_t> timestamp;
  } cases[] = {
      {R"({"online":true,"timestamp":1700000000000})", true, 1'700'000'000'000},
      {" {\n \"timestamp\" : 5 ,\t\"online\" : false } \r\n", false, 5},
      {R"({"online":true})", true, std::nullopt},
      {R"({"extra":{"a":[1,{"b":"}"}]},"online":true,"more":"x\"y"})", true, std::nullopt},
      {R"({"online":true,"timestamp":1.5e3})", true, std::nullopt},
      {R"({"online":true,"timestamp":"soon"})", true, std::nullopt},
      {R"({"online":true,"timestamp":99999999999999999999})", true, std::nullopt},
      {R"({"online":"true"})", std::nullopt, std::nullopt},
      {R"({"online":1})", std::nullopt, std::nullopt},
      {R"({"timestamp":5})", std::nullopt, std::nullopt},
      {R"({"online":true)", std::nullopt, std::nullopt},
      {R"({"online":true} trailing)", std::nullopt, std::nullopt},
      {R"(["online",true])", std::nullopt, std::nullopt},
      {"{\"online\":true,\"x\":\"\\", std::nullopt, std::nullopt},
      {"{\"x\":" + std::string(3000, '[') + "}", std::nullopt, std::nullopt},
      {"{\"online\":true,\"pad\":\"" + std::string(5000, ' ') + "\"}", std::nullopt, std::nullopt},
      {"", std::nullopt, std::nullopt},
      {std::string("{\0\"online\":true}", 16), std::nullopt, std::nullopt},
      {"OFFLINE", std::nullopt, std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.json.substr(0, 80));
    const std::optional<HostState> state = ParseHostState(c.json);
    ASSERT_EQ(state.has_value(), c.online.has_value());
    if (!state) continue;
    EXPECT_EQ(state->online, *c.online);
    EXPECT_EQ(state->timestampMs, c.timestamp);
  }
}

}  // namespace
}  // namespace halvorn::publish
