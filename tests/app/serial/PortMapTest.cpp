#include "serial/PortMap.h"

#include <gtest/gtest.h>

#include <string>

namespace halvorn::shell {
namespace {

TEST(PortMapTest, ComNOpensTheOnBoardPortNMinusOne) {
  const PortMap ports;
  for (int port = 1; port <= 10; ++port) {
    SCOPED_TRACE(port);
    EXPECT_EQ(ports.Device(port), "/dev/ttyS" + std::to_string(port - 1));
  }
}

TEST(PortMapTest, NumbersOutsideOneToTenHaveNoDevice) {
  const PortMap ports;
  for (const int port : {0, 11, -1, 100}) {
    SCOPED_TRACE(port);
    EXPECT_EQ(ports.Device(port), std::nullopt);
  }
}

TEST(PortMapTest, APortPointedElsewhereChangesOnlyThatPort) {
  PortMap ports;
  EXPECT_TRUE(ports.SetDevice(1, "/dev/ttyUSB0"));
  EXPECT_TRUE(ports.SetDevice(10, "/dev/pts/7"));
  EXPECT_EQ(ports.Device(1), "/dev/ttyUSB0");
  EXPECT_EQ(ports.Device(10), "/dev/pts/7");
  for (int port = 2; port <= 9; ++port) {
    SCOPED_TRACE(port);
    EXPECT_EQ(ports.Device(port), "/dev/ttyS" + std::to_string(port - 1));
  }
}

TEST(PortMapTest, RefusesNumbersOutsideTheListAndEmptyPaths) {
  PortMap ports;
  EXPECT_FALSE(ports.SetDevice(0, "/dev/ttyUSB0"));
  EXPECT_FALSE(ports.SetDevice(11, "/dev/ttyUSB0"));
  EXPECT_FALSE(ports.SetDevice(2, ""));
  EXPECT_EQ(ports, PortMap{});
}

}  // namespace
}  // namespace halvorn::shell
