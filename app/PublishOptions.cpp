#include "PublishOptions.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace halvorn::shell {
namespace {

constexpr std::array<std::string_view, kPublishKeyCount> kNames{
    "publish",   "sparkplug-group", "sparkplug-node", "sparkplug-host",    "mqtt-ca",
    "mqtt-cert", "mqtt-key",        "mqtt-user",      "mqtt-password-file"};

// MQTT carries a password as binary data with a two-byte length.
constexpr std::size_t kMostPasswordBytes = 65535;

std::size_t Index(PublishKey key) { return static_cast<std::size_t>(key); }

// A value as a message shows it: control bytes as \xNN, so that an argument
// or a file from elsewhere cannot send escape sequences to the terminal.
std::string Quoted(std::string_view text) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string quoted = "'";
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7f) {
      quoted += "\\x";
      quoted += kHex[byte >> 4];
      quoted += kHex[byte & 0xf];
    } else {
      quoted += c;
    }
  }
  return quoted + "'";
}

// The key inside a sentence, as where it was given spells it.
std::string Named(PublishKey key, const SettingOrigin& origin) {
  const std::string name(kNames[Index(key)]);
  return origin.commandLine() ? "--" + name : "'" + name + "'";
}

// The key opening a sentence, as the other options' messages open theirs.
std::string Subject(PublishKey key, const SettingOrigin& origin) {
  return origin.commandLine() ? "option " + Named(key, origin) : Named(key, origin);
}

// Whether `text` is well-formed UTF-8 (no overlong forms, no surrogates,
// nothing past U+10FFFF): MQTT refuses a topic that is not, and the broker
// would close the connection at every try.
bool IsUtf8(std::string_view text) {
  for (std::size_t at = 0; at < text.size();) {
    const auto lead = static_cast<unsigned char>(text[at]);
    std::size_t length = 0;
    char32_t point = 0;
    if (lead < 0x80) {
      ++at;
      continue;
    } else if (lead >= 0xc2 && lead <= 0xdf) {
      length = 2;
      point = lead & 0x1f;
    } else if (lead >= 0xe0 && lead <= 0xef) {
      length = 3;
      point = lead & 0x0f;
    } else if (lead >= 0xf0 && lead <= 0xf4) {
      length = 4;
      point = lead & 0x07;
    } else {
      return false;
    }
    if (text.size() - at < length) return false;
    for (std::size_t next = 1; next < length; ++next) {
      const auto byte = static_cast<unsigned char>(text[at + next]);
      if ((byte & 0xc0) != 0x80) return false;
      point = (point << 6) | (byte & 0x3f);
    }
    const char32_t least = length == 2 ? 0x80 : length == 3 ? 0x800 : 0x10000;
    if (point < least || point > 0x10ffff || (point >= 0xd800 && point <= 0xdfff)) return false;
    at += length;
  }
  return true;
}

// What a file that is there but is no regular file is, for the message.
const char* KindOfFile(mode_t mode) {
  if (S_ISDIR(mode)) return "it is a directory";
  if (S_ISFIFO(mode)) return "it is a FIFO";
  if (S_ISCHR(mode)) return "it is a character device";
  if (S_ISBLK(mode)) return "it is a block device";
  if (S_ISSOCK(mode)) return "it is a socket";
  return "it is not a regular file";
}

// Opens `path` for reading if it is a regular file: looked at first, and
// opened non-blocking, so that a FIFO there cannot hold up the start.
// The descriptor, or why not.
std::variant<int, std::string> OpenRegularFile(const std::string& path) {
  struct stat named {};
  if (::stat(path.c_str(), &named) != 0) return std::string(std::strerror(errno));
  if (!S_ISREG(named.st_mode)) return std::string(KindOfFile(named.st_mode));
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return std::string(std::strerror(errno));
  struct stat opened {};
  if (::fstat(fd, &opened) != 0 || !S_ISREG(opened.st_mode)) {
    ::close(fd);
    return std::string(KindOfFile(opened.st_mode));
  }
  return fd;
}

// Why `path` cannot be read, or nothing.
std::optional<std::string> UnreadableBecause(const std::string& path) {
  const auto opened = OpenRegularFile(path);
  if (const auto* why = std::get_if<std::string>(&opened)) return *why;
  ::close(std::get<int>(opened));
  return std::nullopt;
}

// Reads the first line of `path` into `line`, without its line end ("\n"
// or "\r\n"); why it cannot, or nothing. Not much more than the longest
// password MQTT carries is read.
std::optional<std::string> ReadFirstLine(const std::string& path, std::string& line) {
  const auto opened = OpenRegularFile(path);
  if (const auto* why = std::get_if<std::string>(&opened)) return *why;
  const int fd = std::get<int>(opened);
  line.clear();
  std::optional<std::string> failure;
  char buffer[4096];
  while (line.find('\n') == std::string::npos && line.size() <= kMostPasswordBytes + 1) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      failure = std::strerror(errno);
      break;
    }
    if (n == 0) break;
    line.append(buffer, static_cast<std::size_t>(n));
  }
  ::close(fd);
  line.erase(std::min(line.find('\n'), line.size()));
  if (line.ends_with('\r')) line.pop_back();
  return failure;
}

PublishFault Fault(PublishKey key, const SettingOrigin& origin, const std::string& what) {
  return PublishFault{origin, Subject(key, origin) + what};
}

}  // namespace

std::string_view PublishKeyName(PublishKey key) { return kNames[Index(key)]; }

std::optional<PublishKey> FindPublishKey(std::string_view name) {
  const auto found = std::find(kNames.begin(), kNames.end(), name);
  if (found == kNames.end()) return std::nullopt;
  return static_cast<PublishKey>(found - kNames.begin());
}

std::optional<std::string> SparkplugIdProblem(std::string_view id) {
  if (id.empty()) return "a Sparkplug id may not be empty";
  const std::string cannot = Quoted(id) + " cannot be a Sparkplug id: ";
  for (const char c : id) {
    if (c == '/') return cannot + "'/' separates MQTT topic levels";
    if (c == '+' || c == '#') return cannot + "'" + std::string(1, c) + "' is an MQTT wildcard";
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7f) return cannot + "it holds a control character";
  }
  if (!IsUtf8(id)) return cannot + "it is not UTF-8 text";
  return std::nullopt;
}

std::optional<std::string> TakePublishSetting(PublishSettings& settings, PublishKey key,
                                              std::string_view value, SettingOrigin origin) {
  const std::string subject = Subject(key, origin);
  switch (key) {
    case PublishKey::Publish:
      if (value.empty())
        return subject + " names no broker: write mqtt://HOST[:PORT] or mqtts://HOST[:PORT]";
      if (const auto parsed = mqtt::ParseBrokerAddress(value);
          const auto* why = std::get_if<std::string>(&parsed))
        return subject + ": " + *why;
      break;
    case PublishKey::SparkplugGroup:
    case PublishKey::SparkplugNode:
    case PublishKey::SparkplugHost:
      if (const auto problem = SparkplugIdProblem(value)) return subject + ": " + *problem;
      break;
    case PublishKey::MqttCa:
    case PublishKey::MqttCert:
    case PublishKey::MqttKey:
    case PublishKey::MqttPasswordFile:
      if (value.empty()) return subject + " names no file";
      break;
    case PublishKey::MqttUser:
      if (value.empty()) return subject + " names no user";
      break;
  }
  settings.given[Index(key)] = PublishSettings::Given{std::string(value), std::move(origin)};
  return std::nullopt;
}

std::variant<PublishCheck, PublishFault> CheckPublishSettings(const PublishSettings& settings,
                                                              std::string_view hostName) {
  using enum PublishKey;
  const auto& publish = settings[Publish];
  if (!publish) {
    for (std::size_t index = 0; index < kPublishKeyCount; ++index) {
      const auto& given = settings.given[index];
      if (!given) continue;
      return Fault(static_cast<PublishKey>(index), given->origin,
                   " is given but " + Named(Publish, given->origin) +
                       " is missing: without a broker nothing is published");
    }
    return PublishCheck{};
  }

  PublishOptions options;
  // Taken only once ParseBrokerAddress accepted it.
  options.broker = std::get<mqtt::BrokerAddress>(mqtt::ParseBrokerAddress(publish->value));
  for (const PublishKey file : {MqttCa, MqttCert, MqttKey}) {
    if (settings[file] && !options.broker.tls)
      return Fault(file, settings[file]->origin,
                   " needs a TLS broker (mqtts://), not the plain " + Quoted(publish->value));
  }
  if (settings[MqttCert] && !settings[MqttKey])
    return Fault(MqttCert, settings[MqttCert]->origin,
                 " needs " + Named(MqttKey, settings[MqttCert]->origin) +
                     ": the certificate goes with its private key");
  if (settings[MqttKey] && !settings[MqttCert])
    return Fault(MqttKey, settings[MqttKey]->origin,
                 " needs " + Named(MqttCert, settings[MqttKey]->origin) +
                     ": the private key goes with its certificate");
  if (settings[MqttPasswordFile] && !settings[MqttUser])
    return Fault(MqttPasswordFile, settings[MqttPasswordFile]->origin,
                 " needs " + Named(MqttUser, settings[MqttPasswordFile]->origin) +
                     ": a password belongs to a user name");

  const auto valueOf = [&settings](PublishKey key) {
    return settings[key] ? settings[key]->value : std::string();
  };
  if (settings[SparkplugGroup]) options.group = valueOf(SparkplugGroup);
  if (settings[SparkplugNode]) {
    options.node = valueOf(SparkplugNode);
  } else {
    options.node = std::string(hostName.substr(0, hostName.find('.')));
    if (const auto problem = SparkplugIdProblem(options.node))
      return PublishFault{publish->origin, "the machine's host name " + Quoted(hostName) +
                                               " gives no Sparkplug node id (" + *problem +
                                               "): name one with " +
                                               Named(SparkplugNode, publish->origin)};
  }
  options.primaryHost = valueOf(SparkplugHost);
  options.caFile = valueOf(MqttCa);
  options.certFile = valueOf(MqttCert);
  options.keyFile = valueOf(MqttKey);
  options.user = valueOf(MqttUser);
  options.passwordFile = valueOf(MqttPasswordFile);

  for (const PublishKey file : {MqttCa, MqttCert, MqttKey}) {
    if (!settings[file]) continue;
    if (const auto why = UnreadableBecause(settings[file]->value))
      return Fault(file, settings[file]->origin,
                   ": cannot read " + Quoted(settings[file]->value) + ": " + *why);
  }
  if (const auto& file = settings[MqttPasswordFile]) {
    if (const auto why = ReadFirstLine(file->value, options.password))
      return Fault(MqttPasswordFile, file->origin,
                   ": cannot read " + Quoted(file->value) + ": " + *why);
    if (options.password.empty())
      return Fault(MqttPasswordFile, file->origin,
                   ": " + Quoted(file->value) + " holds no password on its first line");
    if (options.password.size() > kMostPasswordBytes)
      return Fault(
          MqttPasswordFile, file->origin,
          ": the password in " + Quoted(file->value) + " is longer than MQTT's 65535 bytes");
  }

  PublishCheck check;
  if (!options.broker.tls && !options.broker.Loopback()) {
    check.warning = "the connection to " + Quoted(publish->value) +
                    " is not encrypted: what the panel publishes" +
                    (options.user.empty()       ? ""
                     : options.password.empty() ? ", and its user name,"
                                                : ", and its user name and password,") +
                    " can be read on the network; mqtts:// encrypts it";
  }
  check.options = std::move(options);
  return check;
}

std::string MachineHostName() {
  char name[HOST_NAME_MAX + 1] = {};
  if (::gethostname(name, sizeof name - 1) != 0) return {};
  return name;
}

}  // namespace halvorn::shell
