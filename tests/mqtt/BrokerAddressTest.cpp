// Where the publisher connects, as the operator writes it, and which
// addresses stay on this machine (no warning for a plain connection).
#include <gtest/gtest.h>

#include <string>
#include <variant>

#include "mqtt/BrokerAddress.h"

namespace halvorn::mqtt {
namespace {

TEST(BrokerAddressTest, UrlsGiveHostPortAndTlsOrSayWhyNot) {
  struct Case {
    const char* url;
    const char* host;  // nullptr: refused
    int port;
    bool tls;
    bool loopback;
  };
  const Case cases[] = {
      {"mqtt://127.0.0.1", "127.0.0.1", 1883, false, true},
      {"mqtts://broker.site.example:8884", "broker.site.example", 8884, true, false},
      {"mqtts://broker", "broker", 8883, true, false},
      {"mqtt://localhost:1884/", "localhost", 1884, false, true},
      {"mqtt://[::1]:1885", "::1", 1885, false, true},
      {"mqtt://127.example.com", "127.example.com", 1883, false, false},
      {"mqtt://127.0.0.1.example.com", "127.0.0.1.example.com", 1883, false, false},
      {"mqtt://127.3.2.1", "127.3.2.1", 1883, false, true},
      {"http://broker", nullptr, 0, false, false},
      {"mqtt://", nullptr, 0, false, false},
      {"mqtt://broker:", nullptr, 0, false, false},
      {"mqtt://broker:0", nullptr, 0, false, false},
      {"mqtt://broker:65536", nullptr, 0, false, false},
      {"mqtt://broker:12ab", nullptr, 0, false, false},
      {"mqtt://[::1", nullptr, 0, false, false},
      {"mqtt://bro ker", nullptr, 0, false, false},
      {"mqtt://user@broker", nullptr, 0, false, false},
  };
  for (const Case& c : cases) {
    const auto parsed = ParseBrokerAddress(c.url);
    if (!c.host) {
      ASSERT_TRUE(std::holds_alternative<std::string>(parsed)) << c.url;
      EXPECT_NE(std::get<std::string>(parsed).find(c.url), std::string::npos)
          << "names what was given: " << c.url;
      continue;
    }
    ASSERT_TRUE(std::holds_alternative<BrokerAddress>(parsed))
        << c.url << ": " << std::get<std::string>(parsed);
    const BrokerAddress& a = std::get<BrokerAddress>(parsed);
    EXPECT_EQ(a.host, c.host) << c.url;
    EXPECT_EQ(a.port, c.port) << c.url;
    EXPECT_EQ(a.tls, c.tls) << c.url;
    EXPECT_EQ(a.Loopback(), c.loopback) << c.url;
  }
}

}  // namespace
}  // namespace halvorn::mqtt
