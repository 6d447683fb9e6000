// Where and as whom the panel publishes the plant, read-only, as Sparkplug B
// over MQTT: the same keys on the command line (--publish URL, ...) and in
// the settings file (publish = URL, ...). Without `publish` nothing is
// opened; any other of these keys without it is a fault, so that a typo
// never leaves the operator believing the plant is published.
//
// Two steps: each value is taken alone as it is read (TakePublishSetting),
// where it was given kept beside it; once the command line has won over the
// file key by key, the whole is checked (CheckPublishSettings): keys that
// need one another, the files they name, the default node id.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "mqtt/BrokerAddress.h"

namespace halvorn::shell {

// The publishing keys, in the order they are listed and checked.
enum class PublishKey {
  Publish,
  SparkplugGroup,
  SparkplugNode,
  SparkplugHost,
  MqttCa,
  MqttCert,
  MqttKey,
  MqttUser,
  MqttPasswordFile,
};
inline constexpr std::size_t kPublishKeyCount = 9;

// The key's name: the settings file's key, and the option after its "--".
[[nodiscard]] std::string_view PublishKeyName(PublishKey key);
// The key of that name, or nothing.
[[nodiscard]] std::optional<PublishKey> FindPublishKey(std::string_view name);

// Where a value was given: a line of a settings file, or the command line.
struct SettingOrigin {
  std::string file;  // empty: the command line
  int line = 0;

  [[nodiscard]] bool commandLine() const { return file.empty(); }
};

// The publishing keys as given, each value fit on its own, not yet checked
// together. A value taken later (the command line's) replaces an earlier one.
struct PublishSettings {
  struct Given {
    std::string value;
    SettingOrigin origin;
  };
  std::array<std::optional<Given>, kPublishKeyCount> given{};

  [[nodiscard]] const std::optional<Given>& operator[](PublishKey key) const {
    return given[static_cast<std::size_t>(key)];
  }
};

// Takes `value` (blanks already trimmed by the settings file) for `key`, as
// given at `origin`; what is wrong with the value alone, if anything: an
// empty value, a URL that is no broker, a Sparkplug id that cannot be one
// topic level. The message names the key as `origin` spells it
// ("option --sparkplug-node ..." or "'sparkplug-node' ...").
[[nodiscard]] std::optional<std::string> TakePublishSetting(PublishSettings& settings,
                                                            PublishKey key, std::string_view value,
                                                            SettingOrigin origin);

// Why `id` cannot be a Sparkplug group, edge node or host id (one topic
// level of UTF-8 text, not empty, without '/', '+' or '#'), or nothing.
[[nodiscard]] std::optional<std::string> SparkplugIdProblem(std::string_view id);

// Where and as whom the plant is published, checked as a whole.
struct PublishOptions {
  mqtt::BrokerAddress broker;
  std::string group = "halvorn";  // Sparkplug group id
  std::string node;         // edge node id: given, or the machine's host name up to its first '.'
  std::string primaryHost;  // primary host id whose STATE the node follows; empty: none
  // TLS files (only with mqtts://), each found readable; empty: none. The
  // certificate and its key come together.
  std::string caFile;
  std::string certFile;
  std::string keyFile;
  std::string user;          // empty: no login
  std::string passwordFile;  // empty: no password
  std::string password;      // the first line of passwordFile, without its line end

  // The MQTT client id: one per group and node, so that a second panel
  // started with the same ids takes the session over visibly.
  [[nodiscard]] std::string ClientId() const { return "halvorn-" + group + "-" + node; }
};

// What the whole check gives when nothing is wrong.
struct PublishCheck {
  std::optional<PublishOptions> options;  // nothing: no publishing asked for
  // One line for standard error (without the program's name), or empty: a
  // plain connection to a broker off this machine.
  std::string warning;
};

// What the whole check found wrong, and where the key at fault was given.
struct PublishFault {
  SettingOrigin origin;
  std::string what;  // names the key as `origin` spells it
};

// Checks the keys together: a key without `publish`, TLS files with a plain
// broker, a certificate without its key (or the other way), a password file
// without a user; then that each file named can be read, and reads the
// password. The node id defaults to `hostName` up to its first '.'.
[[nodiscard]] std::variant<PublishCheck, PublishFault> CheckPublishSettings(
    const PublishSettings& settings, std::string_view hostName);

// The machine's host name (gethostname), empty when it cannot be told.
[[nodiscard]] std::string MachineHostName();

}  // namespace halvorn::shell
