#include "PublishOptions.h"

#include <algorithm>

namespace halvorn::shell {

namespace {

// A Sparkplug id is one topic level: none of MQTT's separators or wildcards.
bool IsTopicLevel(std::string_view id) {
  return !id.empty() && id.find_first_of("/+#") == std::string_view::npos &&
         std::none_of(id.begin(), id.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20; });
}

}  // namespace

bool IsPublishKey(std::string_view key) {
  return std::find(kPublishKeys.begin(), kPublishKeys.end(), key) != kPublishKeys.end();
}

std::optional<std::string> TakePublishOption(PublishOptions& options, std::string_view key, std::string_view value) {
  const std::string quotedKey = "'" + std::string(key) + "'";
  if (value.empty()) return quotedKey + " needs a value";
  if (key == "publish") {
    const bool plain = value.starts_with("mqtt://");
    const bool tls = value.starts_with("mqtts://");
    const std::string_view host = value.substr(plain ? 7 : tls ? 8 : 0);
    if ((!plain && !tls) || host.empty() || host.front() == ':' || host.find('/') != std::string_view::npos)
      return "'publish' must be mqtt://HOST[:PORT] or mqtts://HOST[:PORT], not '" + std::string(value) + "'";
    options.broker = std::string(value);
  } else if (key == "sparkplug-group" || key == "sparkplug-node" || key == "sparkplug-host") {
    if (!IsTopicLevel(value))
      return quotedKey + " must be one topic level, without '/', '+', '#' or control characters";
    (key == "sparkplug-group" ? options.group : key == "sparkplug-node" ? options.node : options.primaryHost) =
        std::string(value);
  } else if (key == "mqtt-ca") {
    options.caFile = std::string(value);
  } else if (key == "mqtt-cert") {
    options.certFile = std::string(value);
  } else if (key == "mqtt-key") {
    options.keyFile = std::string(value);
  } else if (key == "mqtt-user") {
    options.user = std::string(value);
  } else if (key == "mqtt-password-file") {
    options.passwordFile = std::string(value);
  } else {
    return "unknown publish setting " + quotedKey;
  }
  return std::nullopt;
}

std::optional<std::string> CheckPublishOptions(const PublishOptions& options) {
  const bool tlsFiles = !options.caFile.empty() || !options.certFile.empty() || !options.keyFile.empty();
  if (!options.on()) {
    const PublishOptions defaults;
    if (tlsFiles || !options.user.empty() || !options.passwordFile.empty() || options.group != defaults.group ||
        !options.node.empty() || !options.primaryHost.empty())
      return "the MQTT and Sparkplug settings need 'publish' (--publish mqtt://HOST) to say where";
    return std::nullopt;
  }
  if (tlsFiles && !options.broker.starts_with("mqtts://")) return "'mqtt-ca', 'mqtt-cert' and 'mqtt-key' need mqtts://";
  if (options.certFile.empty() != options.keyFile.empty()) return "'mqtt-cert' and 'mqtt-key' go together";
  if (!options.passwordFile.empty() && options.user.empty()) return "'mqtt-password-file' needs 'mqtt-user'";
  return std::nullopt;
}

}  // namespace halvorn::shell
