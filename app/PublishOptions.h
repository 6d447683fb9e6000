// How the panel publishes the plant to a site's MQTT broker, as Sparkplug B,
// when asked to: the same keys on the command line (--publish URL) and in the
// settings file (publish = URL). Without `publish` nothing goes on the network.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace halvorn::shell {

struct PublishOptions {
  std::string broker;             // mqtt://HOST[:PORT] or mqtts://HOST[:PORT]; empty: off
  std::string group = "halvorn";  // Sparkplug group id
  std::string node;               // edge node id; empty: the machine's host name
  std::string primaryHost;        // wait for this primary host's STATE before the births
  std::string caFile;             // the broker's certificate is verified against it
  std::string certFile;           // the panel's own certificate and key, both or neither
  std::string keyFile;
  std::string user;
  std::string passwordFile;       // the password's file; never the password itself

  [[nodiscard]] bool on() const { return !broker.empty(); }
};

// Every key, as an option without its "--" and as a settings key.
inline constexpr std::array<std::string_view, 9> kPublishKeys{
    "publish",  "sparkplug-group", "sparkplug-node", "sparkplug-host", "mqtt-ca",
    "mqtt-cert", "mqtt-key",       "mqtt-user",      "mqtt-password-file"};

[[nodiscard]] bool IsPublishKey(std::string_view key);

// Takes `value` for the publish key `key`; what is wrong with it, if anything.
[[nodiscard]] std::optional<std::string> TakePublishOption(PublishOptions& options, std::string_view key,
                                                           std::string_view value);

// What does not fit together once everything is read: TLS files without
// mqtts://, a certificate without its key, a publisher setting without a
// broker.
[[nodiscard]] std::optional<std::string> CheckPublishOptions(const PublishOptions& options);

}  // namespace halvorn::shell
