// A tiny edge node for the link's tests, run as a child process so that a
// test can kill it outright (SIGKILL: no DISCONNECT, no clean NDEATH) and
// watch the broker publish its will. Arguments: PORT CLIENT-ID WILL-TOPIC
// STATE-FILE. Before each connection it takes the next bdSeq from the state
// file and prints "will N"; once connected "connected"; on a failure
// "disconnected REASON". It ends when its standard input does.
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <mutex>
#include <string>

#include "mqtt/BirthSequence.h"
#include "mqtt/MqttLink.h"

namespace {

using halvorn::mqtt::BirthSequence;

std::mutex printing;

void Say(const std::string& line) {
  const std::lock_guard lock(printing);
  std::fputs((line + "\n").c_str(), stdout);
  std::fflush(stdout);
}

class Node : public halvorn::mqtt::LinkOwner {
 public:
  Node(std::string willTopic, std::string stateFile)
      : m_willTopic(std::move(willTopic)), m_sequence(stateFile) {}
  halvorn::publish::Message Will() override {
    const int bdSeq = m_sequence.Next().bdSeq;
    Say("will " + std::to_string(bdSeq));
    return {m_willTopic, "bdSeq=" + std::to_string(bdSeq), 1, false};
  }
  void Connected() override { Say("connected"); }
  void Disconnected(const std::string& reason) override { Say("disconnected " + reason); }
  void Arrived(const std::string&, const std::string&) override {}

 private:
  std::string m_willTopic;
  BirthSequence m_sequence;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 5) {
    std::fputs("usage: link-node PORT CLIENT-ID WILL-TOPIC STATE-FILE\n", stderr);
    return 2;
  }
  halvorn::mqtt::LinkSettings settings;
  settings.broker.host = "127.0.0.1";
  settings.broker.port = static_cast<std::uint16_t>(std::atoi(argv[1]));
  settings.clientId = argv[2];
  Node node(argv[3], argv[4]);
  halvorn::mqtt::MqttLink link(settings, node);
  link.Start();
  std::string ignored;
  while (std::getline(std::cin, ignored)) {
  }
  return 0;
}
