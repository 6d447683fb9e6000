// One MQTT message as the publisher hands it to the broker's connection:
// topic, payload bytes (a Sparkplug B protobuf, or a host's JSON state),
// quality of service and the retain flag.
#pragma once

#include <string>

namespace halvorn::publish {

struct Message {
  std::string topic;
  std::string payload;
  int qos = 0;
  bool retain = false;
};

}  // namespace halvorn::publish
