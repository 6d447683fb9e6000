// The plant published end to end: the real panel program on a simulated
// controller's line, publishing to a real mosquitto on the loopback, and a
// client of the test's own that decodes every Sparkplug B payload. The
// panel is started unchanged; the performance probe presses "Connect".
#include <gtest/gtest.h>

#include <signal.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "ChildProcess.h"
#include "ProbedPanel.h"
#include "record/Database.h"
#include "sparkplug_b.pb.h"
#include "support/Broker.h"
#include "support/TemporaryDirectory.h"

namespace halvorn {
namespace {

using namespace std::chrono_literals;
using Payload = org::eclipse::tahu::protobuf::Payload;
using Metric = org::eclipse::tahu::protobuf::Payload::Metric;
using testing::Broker;
using testing::BrokerWatcher;
using testing::Delivery;

std::string NodeTopic(const std::string& type) { return "spBv1.0/halvorn/" + type + "/e2e"; }
std::string DeviceTopic(const std::string& type) { return NodeTopic(type) + "/controller"; }

Payload Decode(const std::string& bytes) {
  Payload payload;
  EXPECT_TRUE(payload.ParseFromString(bytes)) << "every payload is a Sparkplug B payload";
  return payload;
}

const Metric* Find(const Payload& payload, const std::string& name) {
  for (const Metric& metric : payload.metrics())
    if (metric.name() == name) return &metric;
  return nullptr;
}

std::optional<std::int32_t> QualityOf(const Metric& metric) {
  const auto& set = metric.properties();
  for (int i = 0; i < set.keys_size() && i < set.values_size(); ++i)
    if (set.keys(i) == "Quality") return static_cast<std::int32_t>(set.values(i).int_value());
  return std::nullopt;
}

std::uint64_t BdSeqOf(const Payload& payload) {
  const Metric* bdSeq = Find(payload, "bdSeq");
  return bdSeq ? bdSeq->long_value() : 999;
}

// The payloads that arrived on `topic`, in order, from the `from`th delivery on.
std::vector<Payload> On(const std::vector<Delivery>& deliveries, const std::string& topic, std::size_t from = 0) {
  std::vector<Payload> found;
  for (std::size_t i = from; i < deliveries.size(); ++i)
    if (deliveries[i].topic == topic) found.push_back(Decode(deliveries[i].payload));
  return found;
}

std::size_t CountOn(const std::vector<Delivery>& deliveries, const std::string& topic, std::size_t from = 0) {
  return static_cast<std::size_t>(std::count_if(deliveries.begin() + static_cast<std::ptrdiff_t>(from),
                                                deliveries.end(), [&](const Delivery& d) { return d.topic == topic; }));
}

// A simulator with its console, a broker, a watcher of everything the
// panel publishes, and the panel itself.
class PublishEndToEndTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!testing::MosquittoInstalled()) GTEST_SKIP() << "no /usr/sbin/mosquitto (Debian package mosquitto)";
    ASSERT_TRUE(broker.ok()) << broker.Log();
    sim.emplace(process::ChildOptions{HALVORN_SIM_PROGRAM, {"--console", "--link", link}, {}, dir / "sim.err"});
    ASSERT_TRUE(sim->ReadLineStartingWith("halvorn-sim: link ", 5s));
    watcher.emplace(broker.port(), "spBv1.0/#");
    ASSERT_TRUE(watcher->WaitFor([](const auto&) { return true; }, 10s)) << "the watcher subscribes";
  }

  void StartPanel(const std::vector<std::string>& extra = {}) {
    std::vector<std::string> arguments = {"--port",
                                          "1=" + link,
                                          "--reconnect",
                                          "--publish",
                                          "mqtt://127.0.0.1:" + std::to_string(broker.port()),
                                          "--sparkplug-node",
                                          "e2e"};
    arguments.insert(arguments.end(), extra.begin(), extra.end());
    std::vector<std::string> environment = ProbeEnvironment(dir / "probe.txt", "offscreen", true);
    environment.push_back("XDG_STATE_HOME=" + std::string(dir / "state"));
    panel.emplace(process::ChildOptions{HALVORN_PANEL_PROGRAM, arguments, environment, dir / "panel.err"});
    ASSERT_TRUE(panel->started());
  }

  // Waits until `done` holds for what arrived.
  bool Until(const std::function<bool(const std::vector<Delivery>&)>& done, std::chrono::milliseconds limit = 20s) {
    return watcher->WaitFor(done, limit);
  }
  std::vector<Delivery> Seen() const { return watcher->deliveries(); }

  // The simulator's line counters, from its console's status.
  std::string SimLineCounters() {
    sim->Type("status\n");
    const std::optional<std::string> line = sim->ReadLineStartingWith("line: ", 5s);
    return line ? line->substr(line->find(';')) : "no status";
  }

  testing::TemporaryDirectory dir;
  const std::string link = dir / "controller";
  Broker broker;
  std::optional<process::ChildProcess> sim;
  std::optional<BrokerWatcher> watcher;
  std::optional<process::ChildProcess> panel;
};

// Births with every metric, a pump-down as falling pressures, a fault as a
// state text and a null reading, a rebirth on request, a write from the
// network refused without a byte on the line, the line's loss and return,
// and the clean end: each as a host sees it.
TEST_F(PublishEndToEndTest, AHostSeesThePlantLiveAndCannotWriteToIt) {
  const std::string record = dir / "run.halvorn";
  StartPanel({"--record", record});
  ASSERT_TRUE(Until([](const auto& d) { return CountOn(d, DeviceTopic("DBIRTH")) == 1; }))
      << ReadFile(dir / "panel.err");

  std::vector<Delivery> seen = Seen();
  ASSERT_EQ(seen.front().topic, NodeTopic("NBIRTH")) << "the node is born first";
  const Payload nbirth = Decode(seen.front().payload);
  EXPECT_EQ(nbirth.seq(), 0u);
  const std::uint64_t bdSeq = BdSeqOf(nbirth);
  for (const char* name : {"bdSeq", "Node Control/Rebirth", "Properties/Version", "Properties/Port"})
    EXPECT_NE(Find(nbirth, name), nullptr) << name;
  const Payload dbirth = On(seen, DeviceTopic("DBIRTH")).front();
  EXPECT_EQ(dbirth.seq(), 1u);
  std::vector<std::string> names;
  for (const Metric& metric : dbirth.metrics()) {
    names.push_back(metric.name());
    if (!metric.is_null()) {
      EXPECT_GT(metric.timestamp(), 0u) << metric.name() << ": when it arrived";
    }
    EXPECT_TRUE(QualityOf(metric)) << metric.name() << " carries its quality";
  }
  for (const char* name :
       {"Valves/V1/State", "Valves/CV2/State", "Pumps/TMP/State", "Pumps/ROTARY2/State", "Gauges/G1/Pressure",
        "Gauges/G8/State", "Flows/MFC1/Flow", "Flows/MFC4/Flow sccm", "Flows/MFC2/Setpoint", "Electrode/Position",
        "Electrode/Cooling", "Controller/Uptime", "Link/Good messages", "Link/CRC errors"})
    EXPECT_NE(std::find(names.begin(), names.end(), name), names.end()) << name;
  EXPECT_EQ(names.size(), 52u) << "every metric of the controller, without alarms";
  const Metric* g1 = Find(dbirth, "Gauges/G1/Pressure");
  ASSERT_NE(g1, nullptr);
  EXPECT_EQ(g1->datatype(), 10u) << "Double";

  // A pump-down: ROTARY1 roughs the backing line; some gauge falls.
  std::size_t from = Seen().size();
  sim->Type("act 040_1\n");
  ASSERT_TRUE(Until([&](const std::vector<Delivery>& d) {
    std::map<std::string, std::vector<double>> pressures;
    for (const Payload& data : On(d, DeviceTopic("DDATA"), from))
      for (const Metric& m : data.metrics())
        if (m.name().ends_with("/Pressure") && !m.is_null()) pressures[m.name()].push_back(m.double_value());
    for (const auto& [name, values] : pressures)
      if (values.size() >= 3 && std::is_sorted(values.rbegin(), values.rend()) && values.front() > values.back())
        return true;
    return false;
  })) << "a gauge falls during the pump-down";

  // A gauge in fault: its state says so, its reading is null and bad.
  from = Seen().size();
  sim->Type("fault G3 151\n");
  ASSERT_TRUE(Until([&](const std::vector<Delivery>& d) {
    for (const Payload& data : On(d, DeviceTopic("DDATA"), from)) {
      const Metric* pressure = Find(data, "Gauges/G3/Pressure");
      if (pressure && pressure->is_null() && QualityOf(*pressure) == 0) return true;
    }
    return false;
  })) << "the fault's reading is null with quality 0";
  bool stateTold = false;
  for (const Payload& data : On(Seen(), DeviceTopic("DDATA"), from))
    if (const Metric* state = Find(data, "Gauges/G3/State"))
      stateTold = stateTold || (!state->string_value().empty() && state->string_value() != "ok");
  EXPECT_TRUE(stateTold) << "the fault's text is the gauge's state";

  // A host asks for a rebirth: NBIRTH with the same bdSeq and seq 0, DBIRTH.
  from = Seen().size();
  Payload rebirth;
  Metric* ask = rebirth.add_metrics();
  ask->set_name("Node Control/Rebirth");
  ask->set_datatype(11);
  ask->set_boolean_value(true);
  ASSERT_TRUE(watcher->Publish(NodeTopic("NCMD"), rebirth.SerializeAsString()));
  ASSERT_TRUE(Until([&](const auto& d) { return CountOn(d, DeviceTopic("DBIRTH"), from) == 1; }));
  const std::vector<Payload> reborn = On(Seen(), NodeTopic("NBIRTH"), from);
  ASSERT_EQ(reborn.size(), 1u);
  EXPECT_EQ(reborn[0].seq(), 0u);
  EXPECT_EQ(BdSeqOf(reborn[0]), bdSeq) << "a rebirth is the same connection";

  // A write from the network: refused, said once, nothing on the line.
  const std::string before = SimLineCounters();
  Payload write;
  Metric* open = write.add_metrics();
  open->set_name("Valves/V1/State");
  open->set_datatype(12);
  open->set_string_value("open");
  ASSERT_TRUE(watcher->Publish(DeviceTopic("DCMD"), write.SerializeAsString()));
  const auto deadline = std::chrono::steady_clock::now() + 10s;
  while (ReadFile(dir / "panel.err").find("refused") == std::string::npos &&
         std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(50ms);
  const std::string said = ReadFile(dir / "panel.err");
  EXPECT_NE(said.find("Valves/V1/State"), std::string::npos) << said;
  std::this_thread::sleep_for(1s);
  const std::string after = SimLineCounters();
  for (const std::string& counters : {before, after}) {
    EXPECT_NE(counters.find(" 0 commands, "), std::string::npos) << "no command reached the controller: " << counters;
    EXPECT_NE(counters.find(" 0 unknown"), std::string::npos) << counters;
  }
  EXPECT_EQ(ReadFile(dir / "sim.err").find("V1 open"), std::string::npos) << "the simulator logged no command";

  // The line hangs up: the controller dies to the host; back, it is born again.
  from = Seen().size();
  sim->Type("hangup 3\n");
  ASSERT_TRUE(Until([&](const auto& d) { return CountOn(d, DeviceTopic("DDEATH"), from) == 1; }));
  ASSERT_TRUE(Until([&](const auto& d) { return CountOn(d, DeviceTopic("DBIRTH"), from) == 1; }, 30s))
      << ReadFile(dir / "panel.err");

  // The clean end: NDEATH with the connection's bdSeq, published before the
  // panel disconnects.
  from = Seen().size();
  panel->Signal(SIGTERM);
  ASSERT_TRUE(panel->Wait(15s));
  ASSERT_TRUE(Until([&](const auto& d) { return CountOn(d, NodeTopic("NDEATH"), from) == 1; }, 10s));
  EXPECT_EQ(BdSeqOf(On(Seen(), NodeTopic("NDEATH"), from).front()), bdSeq);

  record::Database db(record, record::Database::Mode::ReadOnly);
  record::Statement events = db.Prepare("SELECT text FROM event WHERE kind = 'publishing' ORDER BY t_ns");
  std::vector<std::string> published;
  while (events.Step()) published.push_back(events.Text(0));
  EXPECT_NE(std::find_if(published.begin(), published.end(),
                         [](const std::string& t) { return t.find("Valves/V1/State") != std::string::npos; }),
            published.end())
      << "the refused write is in the record";
}

// A broker away for 20 s gives a new NBIRTH with the next bdSeq; a panel
// killed outright dies to the host by its will, with the bdSeq of its birth.
TEST_F(PublishEndToEndTest, ABrokerOutageAndAKilledPanelKeepBirthAndDeathMatched) {
  StartPanel();
  ASSERT_TRUE(Until([](const auto& d) { return CountOn(d, DeviceTopic("DBIRTH")) == 1; }))
      << ReadFile(dir / "panel.err");
  const std::uint64_t first = BdSeqOf(On(Seen(), NodeTopic("NBIRTH")).front());

  broker.Stop();
  std::this_thread::sleep_for(20s);
  const std::size_t from = Seen().size();
  ASSERT_TRUE(broker.Start());
  ASSERT_TRUE(Until([&](const auto& d) { return CountOn(d, DeviceTopic("DBIRTH"), from) == 1; }, 60s))
      << ReadFile(dir / "panel.err");
  const std::vector<Payload> births = On(Seen(), NodeTopic("NBIRTH"), from);
  ASSERT_EQ(births.size(), 1u);
  const std::uint64_t second = BdSeqOf(births[0]);
  EXPECT_EQ(second, (first + 1) % 256) << "the next connection, the next bdSeq";
  EXPECT_EQ(births[0].seq(), 0u);

  const std::size_t beforeKill = Seen().size();
  panel->Signal(SIGKILL);
  ASSERT_TRUE(panel->Wait(5s));
  // The broker tells the will once it finds the connection gone.
  ASSERT_TRUE(Until([&](const auto& d) { return CountOn(d, NodeTopic("NDEATH"), beforeKill) == 1; }, 60s));
  EXPECT_EQ(BdSeqOf(On(Seen(), NodeTopic("NDEATH"), beforeKill).front()), second);
}

// Over TLS with a login, as a site broker would have it: the real panel
// verifies the broker against the site's authority, logs in with the
// password from its file, and its births reach the broker; an authority
// that did not sign the broker's certificate is refused, and the record
// says why.
TEST_F(PublishEndToEndTest, OverTlsTheBrokerIsVerifiedAndTheLoginComesFromItsFile) {
  Broker secure(testing::BrokerOptions{true});
  ASSERT_TRUE(secure.ok()) << secure.Log();
  const std::optional<testing::Authority> stranger = testing::MakeAuthority(dir.path(), "stranger");
  ASSERT_TRUE(stranger);
  const std::string passwordFile = dir / "password";
  {
    std::ofstream file(passwordFile);
    file << secure.options().password << "\n";
  }
  struct Case {
    const char* name;
    std::string authority;
    std::string said;  // what the record's publishing events hold
  };
  const Case cases[] = {
      {"the site's authority", secure.caFile(), "publishing to localhost"},
      {"a stranger's authority", stranger->certificate, "not publishing: TLS failed: certificate verify failed"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string record = dir / (std::string(c.name) + ".halvorn");
    std::vector<std::string> arguments = {"--port",
                                          "1=" + link,
                                          "--record",
                                          record,
                                          "--publish",
                                          "mqtts://localhost:" + std::to_string(secure.port()),
                                          "--sparkplug-node",
                                          "tls",
                                          "--mqtt-ca",
                                          c.authority,
                                          "--mqtt-user",
                                          secure.options().user,
                                          "--mqtt-password-file",
                                          passwordFile};
    std::vector<std::string> environment = ProbeEnvironment(dir / "probe.txt", "offscreen", true);
    environment.push_back("XDG_STATE_HOME=" + std::string(dir / "state"));
    process::ChildProcess tls({HALVORN_PANEL_PROGRAM, arguments, environment, dir / "tls.err"});
    ASSERT_TRUE(tls.started());
    const std::size_t logged = secure.Log().size();
    const auto deadline = std::chrono::steady_clock::now() + 20s;
    const auto birthArrived = [&] {
      return secure.Log().find("'spBv1.0/halvorn/DBIRTH/tls/controller'", logged) != std::string::npos;
    };
    while (!birthArrived() && std::chrono::steady_clock::now() < deadline) std::this_thread::sleep_for(100ms);
    const bool secureBirth = c.authority == secure.caFile();
    if (!secureBirth) std::this_thread::sleep_for(3s);  // time to be refused, and to try again
    tls.Signal(SIGTERM);
    ASSERT_TRUE(tls.Wait(15s));
    EXPECT_EQ(birthArrived(), secureBirth) << secure.Log();

    record::Database db(record, record::Database::Mode::ReadOnly);
    record::Statement events = db.Prepare("SELECT text FROM event WHERE kind = 'publishing'");
    std::vector<std::string> said;
    while (events.Step()) said.push_back(events.Text(0));
    EXPECT_NE(std::find(said.begin(), said.end(), c.said), said.end()) << ReadFile(dir / "tls.err");
  }
  EXPECT_EQ(ReadFile(dir / "tls.err").find(secure.options().password), std::string::npos)
      << "the password is never written out";
}

}  // namespace
}  // namespace halvorn
