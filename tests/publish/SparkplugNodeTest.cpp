// The panel as a Sparkplug edge node, read back with the same protobuf
// classes a host uses: what the births carry, the sequence across every
// message, data with only what changed, the slow metrics at most once a
// second, the controller's death and birth in order, a rebirth, writes
// refused, hostile commands ignored, a fresh birth on every connection, and
// births that wait for the primary host.
#include "publish/SparkplugNode.h"

#include <gtest/gtest.h>
#include <sparkplug_b.pb.h>

#include <set>
#include <string>
#include <vector>

namespace halvorn::publish {
namespace {

namespace pb = org::eclipse::tahu::protobuf;

constexpr std::int64_t kT0 = 1'700'000'000'000;

pb::Payload Decoded(const Message& message) {
  pb::Payload payload;
  EXPECT_TRUE(payload.ParseFromString(message.payload)) << message.topic;
  return payload;
}

const pb::Payload_Metric* Named(const pb::Payload& payload, std::string_view name) {
  for (const pb::Payload_Metric& metric : payload.metrics())
    if (metric.name() == name) return &metric;
  return nullptr;
}

const pb::Payload_PropertyValue* Property(const pb::Payload_Metric& metric, std::string_view key) {
  for (int i = 0; i < metric.properties().keys_size(); ++i)
    if (metric.properties().keys(i) == key) return &metric.properties().values(i);
  return nullptr;
}

std::vector<std::string> Names(const pb::Payload& payload) {
  std::vector<std::string> names;
  for (const pb::Payload_Metric& metric : payload.metrics()) names.push_back(metric.name());
  return names;
}

std::vector<std::string> Topics(const std::vector<Message>& messages) {
  std::vector<std::string> topics;
  for (const Message& message : messages) topics.push_back(message.topic);
  return topics;
}

void AddText(pb::Payload_PropertySet& set, const std::string& key, const std::string& value) {
  set.add_keys(key);
  pb::Payload_PropertyValue& property = *set.add_values();
  property.set_type(12);
  property.set_string_value(value);
}

std::string Rebirth(bool value) {
  pb::Payload payload;
  pb::Payload_Metric& metric = *payload.add_metrics();
  metric.set_name("Node Control/Rebirth");
  metric.set_datatype(11);
  metric.set_boolean_value(value);
  return payload.SerializeAsString();
}

struct Node {
  MetricTable table{{{"V7", alarms::Priority::Medium}, {"G6-ABOVE", alarms::Priority::High}}};
  MetricBoard board{table.size()};
  SparkplugNode node{{"halvorn", "panel1", "1.4.0", "/dev/ttyUSB0 9600,n,8,1", std::nullopt},
                     table};
  BoardChanges changes;
  std::int64_t now = kT0;

  void Set(const std::string& name, const MetricValue& value, std::int32_t quality = kQualityGood) {
    const std::optional<std::size_t> metric = table.Find(name);
    ASSERT_TRUE(metric) << name;
    board.Set(*metric, value, quality, now);
  }
  void Online(bool online) {
    board.SetOnline(online);
    board.Commit();
  }
  std::vector<Message> Take() {
    board.Commit();
    board.Take(changes);
    return node.Update(changes, now);
  }
  // Connected with the controller online: NBIRTH and DBIRTH out.
  void Born(std::uint64_t bdSeq = 1) {
    Online(true);
    (void)Take();
    ASSERT_EQ(node.Connected(bdSeq, now).size(), 2u);
  }
  // One DDATA with `metric` set to `text`, and its seq.
  std::uint64_t DataSeq(std::string_view text) {
    Set("Valves/V1/State", MetricValue::Text(text));
    const std::vector<Message> messages = Take();
    EXPECT_EQ(messages.size(), 1u);
    return messages.empty() ? 999 : Decoded(messages[0]).seq();
  }
};

TEST(SparkplugNodeTest, BirthsCarryEveryMetricWithItsTypeUnitRangeValueAndQuality) {
  Node n;
  n.Set("Gauges/G1/Pressure", MetricValue::Number(5.0e-3));
  n.Set("Gauges/G2/Pressure", MetricValue::Null(), kQualityBad);  // a fault
  n.Set("Gauges/G6/Pressure", MetricValue::Null(), kQualityBad);  // below its range
  n.Set("Flows/MFC1/Flow", MetricValue::Null(), kQualityStale);   // greyed
  n.Set("Valves/V1/State", MetricValue::Text("open\x8a"));        // a byte of code page 1252
  n.Set("Link/Good messages", MetricValue::Integer(1234));
  n.Online(true);
  (void)n.Take();
  const std::vector<Message> births = n.node.Connected(3, kT0 + 5);
  ASSERT_EQ(Topics(births), (std::vector<std::string>{"spBv1.0/halvorn/NBIRTH/panel1",
                                                      "spBv1.0/halvorn/DBIRTH/panel1/controller"}));
  for (const Message& birth : births) {
    EXPECT_EQ(birth.qos, 0);
    EXPECT_FALSE(birth.retain);
  }

  const pb::Payload nbirth = Decoded(births[0]);
  EXPECT_EQ(nbirth.seq(), 0u);
  EXPECT_EQ(nbirth.timestamp(), static_cast<std::uint64_t>(kT0 + 5));
  EXPECT_EQ(Names(nbirth), (std::vector<std::string>{"bdSeq", "Node Control/Rebirth",
                                                     "Properties/Version", "Properties/Port"}));
  EXPECT_EQ(Named(nbirth, "bdSeq")->datatype(), 8u);
  EXPECT_EQ(Named(nbirth, "bdSeq")->long_value(), 3u);
  EXPECT_EQ(Named(nbirth, "Node Control/Rebirth")->datatype(), 11u);
  EXPECT_FALSE(Named(nbirth, "Node Control/Rebirth")->boolean_value());
  EXPECT_EQ(Named(nbirth, "Properties/Version")->string_value(), "1.4.0");
  EXPECT_EQ(Named(nbirth, "Properties/Port")->string_value(), "/dev/ttyUSB0 9600,n,8,1");

  const pb::Payload dbirth = Decoded(births[1]);
  EXPECT_EQ(dbirth.seq(), 1u);
  EXPECT_EQ(dbirth.metrics_size(), 16 + 3 + 8 * 2 + 4 * 3 + 2 + 3 + 2 * 2);
  const std::vector<std::string> names = Names(dbirth);
  EXPECT_EQ(std::set<std::string>(names.begin(), names.end()).size(), names.size())
      << "no name twice";
  for (const pb::Payload_Metric& metric : dbirth.metrics()) {
    SCOPED_TRACE(metric.name());
    ASSERT_NE(Property(metric, "Quality"), nullptr);
    EXPECT_EQ(Property(metric, "Quality")->type(), 3u);
  }

  const struct {
    const char* name;
    std::uint32_t type;
    const char* unit;  // "" none
    std::optional<double> low, high;
  } kinds[] = {
      {"Valves/V1/State", 12, "", {}, {}},
      {"Valves/CV2/State", 12, "", {}, {}},
      {"Pumps/ROTARY2/State", 12, "", {}, {}},
      {"Pumps/TMP/State", 12, "", {}, {}},
      {"Gauges/G1/Pressure", 10, "mBar", 1.0, {}},
      {"Gauges/G8/Pressure", 10, "mBar", 1e-4, {}},
      {"Gauges/G3/State", 12, "", {}, {}},
      {"Flows/MFC1/Flow", 10, "percent", 0.0, 100.0},
      {"Flows/MFC4/Flow sccm", 10, "sccm", 0.0, 2000.0},
      {"Flows/MFC2/Setpoint", 10, "percent", 0.0, 100.0},
      {"Electrode/Position", 12, "", {}, {}},
      {"Electrode/Cooling", 12, "", {}, {}},
      {"Controller/Uptime", 10, "s", {}, {}},
      {"Link/Good messages", 4, "", {}, {}},
      {"Link/CRC errors", 4, "", {}, {}},
      {"Alarms/V7/State", 12, "", {}, {}},
      {"Alarms/G6-ABOVE/Priority", 12, "", {}, {}},
  };
  for (const auto& row : kinds) {
    SCOPED_TRACE(row.name);
    const pb::Payload_Metric* metric = Named(dbirth, row.name);
    ASSERT_NE(metric, nullptr);
    EXPECT_EQ(metric->datatype(), row.type);
    const pb::Payload_PropertyValue* unit = Property(*metric, "engUnit");
    EXPECT_EQ(unit ? unit->string_value() : "", row.unit);
    const pb::Payload_PropertyValue* low = Property(*metric, "engLow");
    const pb::Payload_PropertyValue* high = Property(*metric, "engHigh");
    EXPECT_EQ(low ? std::optional<double>(low->double_value()) : std::nullopt, row.low);
    EXPECT_EQ(high ? std::optional<double>(high->double_value()) : std::nullopt, row.high);
  }

  const struct {
    const char* name;
    bool null;
    std::uint32_t quality;
  } values[] = {
      {"Gauges/G1/Pressure", false, 192}, {"Gauges/G2/Pressure", true, 0},
      {"Gauges/G6/Pressure", true, 0},    {"Flows/MFC1/Flow", true, 500},
      {"Valves/V1/State", false, 192},    {"Link/Good messages", false, 192},
      {"Valves/V2/State", true, 500},  // never told yet
  };
  for (const auto& row : values) {
    SCOPED_TRACE(row.name);
    const pb::Payload_Metric& metric = *Named(dbirth, row.name);
    EXPECT_EQ(metric.is_null(), row.null);
    EXPECT_EQ(metric.value_case() == pb::Payload_Metric::VALUE_NOT_SET, row.null);
    EXPECT_EQ(Property(metric, "Quality")->int_value(), row.quality);
  }
  EXPECT_DOUBLE_EQ(Named(dbirth, "Gauges/G1/Pressure")->double_value(), 5.0e-3);
  EXPECT_EQ(Named(dbirth, "Gauges/G1/Pressure")->timestamp(), static_cast<std::uint64_t>(kT0));
  EXPECT_EQ(Named(dbirth, "Valves/V1/State")->string_value(), "open\xC5\xA0");  // as UTF-8
  EXPECT_EQ(Named(dbirth, "Link/Good messages")->long_value(), 1234u);

  const Message will = n.node.Death(3);
  EXPECT_EQ(will.topic, "spBv1.0/halvorn/NDEATH/panel1");
  EXPECT_EQ(will.qos, 1);
  EXPECT_FALSE(will.retain);
  const pb::Payload death = Decoded(will);
  EXPECT_FALSE(death.has_seq());
  ASSERT_EQ(Names(death), std::vector<std::string>{"bdSeq"});
  EXPECT_EQ(death.metrics(0).datatype(), 8u);
  EXPECT_EQ(death.metrics(0).long_value(), 3u);
}

TEST(SparkplugNodeTest, SeqCountsEveryMessageAfterTheNodeBirthAndWrapsAfter255) {
  Node n;
  n.Born();
  std::uint64_t expected = 2;  // after NBIRTH 0 and DBIRTH 1
  for (int i = 0; i < 300; ++i) {
    ASSERT_EQ(n.DataSeq(i % 2 ? "open" : "closed"), expected % 256) << "message " << i;
    ++expected;
  }
  n.Online(false);
  n.Online(true);
  const std::vector<Message> again = n.Take();
  ASSERT_EQ(again.size(), 2u);
  EXPECT_EQ(Decoded(again[0]).seq(), expected++ % 256) << "DDEATH counts";
  EXPECT_EQ(Decoded(again[1]).seq(), expected++ % 256) << "DBIRTH counts";
  EXPECT_EQ(n.DataSeq("moving"), expected % 256);
}

TEST(SparkplugNodeTest, DataCarriesOnlyWhatChangedWithItsQuality) {
  Node n;
  n.Set("Gauges/G1/Pressure", MetricValue::Number(2.0));
  n.Born();
  n.now += 100;
  n.Set("Gauges/G1/Pressure", MetricValue::Null(), kQualityStale);
  n.Set("Valves/V3/State", MetricValue::Text("open"));
  std::vector<Message> data = n.Take();
  ASSERT_EQ(Topics(data), std::vector<std::string>{"spBv1.0/halvorn/DDATA/panel1/controller"});
  const pb::Payload payload = Decoded(data[0]);
  EXPECT_EQ(Names(payload), (std::vector<std::string>{"Valves/V3/State", "Gauges/G1/Pressure"}));
  EXPECT_EQ(payload.timestamp(), static_cast<std::uint64_t>(n.now));
  const pb::Payload_Metric& gauge = *Named(payload, "Gauges/G1/Pressure");
  EXPECT_TRUE(gauge.is_null());
  EXPECT_EQ(Property(gauge, "Quality")->int_value(), 500u);
  EXPECT_EQ(Property(gauge, "engUnit"), nullptr) << "units belong to the birth";

  n.Set("Valves/V3/State", MetricValue::Text("open"));
  EXPECT_TRUE(n.Take().empty()) << "the same again is no change";
}

TEST(SparkplugNodeTest, UptimeAndCountersGoOutAtMostOnceASecond) {
  Node n;
  n.Born();  // published in the birth at kT0
  n.now = kT0 + 100;
  n.Set("Link/Good messages", MetricValue::Integer(10));
  n.Set("Controller/Uptime", MetricValue::Number(3600));
  n.Set("Valves/V1/State", MetricValue::Text("open"));
  std::vector<Message> data = n.Take();
  ASSERT_EQ(data.size(), 1u);
  EXPECT_EQ(Names(Decoded(data[0])), std::vector<std::string>{"Valves/V1/State"});
  EXPECT_EQ(n.node.NextDueMs(), kT0 + 1000);

  n.now = kT0 + 999;
  n.Set("Link/Good messages", MetricValue::Integer(11));
  EXPECT_TRUE(n.Take().empty());
  n.now = kT0 + 1000;
  data = n.Take();  // nothing new on the board: the deadline
  ASSERT_EQ(data.size(), 1u);
  const pb::Payload due = Decoded(data[0]);
  EXPECT_EQ(Names(due), (std::vector<std::string>{"Controller/Uptime", "Link/Good messages"}));
  EXPECT_EQ(Named(due, "Link/Good messages")->long_value(), 11u) << "the latest";
  EXPECT_EQ(n.node.NextDueMs(), std::nullopt);

  // A wall clock set back holds nothing for as long as it went back.
  n.now = kT0 - 60'000;
  n.Set("Link/Good messages", MetricValue::Integer(12));
  ASSERT_EQ(n.Take().size(), 1u);
}

TEST(SparkplugNodeTest, TheControllerDiesAndIsBornAgainInTheOrderItHappened) {
  Node n;
  n.Born();
  n.Online(false);
  n.Set("Valves/V1/State", MetricValue::Text("open"), kQualityStale);
  n.Online(true);
  std::vector<Message> messages = n.Take();
  ASSERT_EQ(Topics(messages),
            (std::vector<std::string>{"spBv1.0/halvorn/DDEATH/panel1/controller",
                                      "spBv1.0/halvorn/DBIRTH/panel1/controller"}));
  EXPECT_EQ(Decoded(messages[0]).metrics_size(), 0);
  EXPECT_EQ(Named(Decoded(messages[1]), "Valves/V1/State")->string_value(), "open");

  n.Online(false);
  EXPECT_EQ(Topics(n.Take()), std::vector<std::string>{"spBv1.0/halvorn/DDEATH/panel1/controller"});
  n.Set("Valves/V1/State", MetricValue::Text("closed"));
  EXPECT_TRUE(n.Take().empty()) << "no data for a dead device";
  EXPECT_EQ(n.node.NextDueMs(), std::nullopt);
  n.Online(true);
  messages = n.Take();
  ASSERT_EQ(Topics(messages), std::vector<std::string>{"spBv1.0/halvorn/DBIRTH/panel1/controller"});
  EXPECT_EQ(Named(Decoded(messages[0]), "Valves/V1/State")->string_value(), "closed");
}

TEST(SparkplugNodeTest, ARebirthKeepsTheConnectionsBdSeqAndStartsTheSeqAgain) {
  Node n;
  n.Born(7);
  (void)n.DataSeq("open");
  (void)n.DataSeq("closed");
  const CommandOutcome rebirth =
      n.node.Command("spBv1.0/halvorn/NCMD/panel1", Rebirth(true), n.now);
  EXPECT_EQ(rebirth.kind, CommandOutcome::Kind::Acted);
  ASSERT_EQ(rebirth.messages.size(), 2u);
  const pb::Payload nbirth = Decoded(rebirth.messages[0]);
  EXPECT_EQ(nbirth.seq(), 0u);
  EXPECT_EQ(Named(nbirth, "bdSeq")->long_value(), 7u);
  EXPECT_EQ(Decoded(rebirth.messages[1]).seq(), 1u);
  EXPECT_EQ(n.DataSeq("open"), 2u);
  EXPECT_EQ(n.node.Command("spBv1.0/halvorn/NCMD/panel1", Rebirth(false), n.now).kind,
            CommandOutcome::Kind::Ignored);
}

TEST(SparkplugNodeTest, AWriteFromTheNetworkIsRefusedAndChangesNothing) {
  Node n;
  n.Born();
  pb::Payload write;
  pb::Payload_Metric& valve = *write.add_metrics();
  valve.set_name("Valves/V1/State");
  valve.set_datatype(12);
  valve.set_string_value("open");
  write.add_metrics()->set_alias(4);
  const CommandOutcome outcome =
      n.node.Command("spBv1.0/halvorn/DCMD/panel1/controller", write.SerializeAsString(), n.now);
  EXPECT_EQ(outcome.kind, CommandOutcome::Kind::Refused);
  EXPECT_EQ(
      outcome.text,
      "refused a write from the network to Valves/V1/State, alias 4: the panel publishes only");
  EXPECT_TRUE(outcome.messages.empty());
  EXPECT_TRUE(n.Take().empty());
  EXPECT_EQ(n.DataSeq("closed"), 2u) << "the sequence went on as if nothing came";
}

TEST(SparkplugNodeTest, HostileCommandsAreIgnoredWithAReason) {
  Node n;
  n.Born();
  const std::string ncmd = "spBv1.0/halvorn/NCMD/panel1";
  const std::string dcmd = "spBv1.0/halvorn/DCMD/panel1/controller";
  const std::string whole = Rebirth(true);
  pb::Payload asString;
  asString.add_metrics()->set_name("Node Control/Rebirth");
  asString.mutable_metrics(0)->set_string_value("true");
  pb::Payload asNumber;
  asNumber.add_metrics()->set_name("Node Control/Rebirth");
  asNumber.mutable_metrics(0)->set_int_value(1);
  pb::Payload many;
  for (int i = 0; i < 1000; ++i) many.add_metrics()->set_name(std::string(40, 'x') + "\n\x1b[2J");
  const struct {
    std::string topic;
    std::string payload;
    CommandOutcome::Kind kind;
    std::string reasonHas;
  } cases[] = {
      {ncmd, "", CommandOutcome::Kind::Ignored, "asks for no rebirth (no metric)"},
      {ncmd, "\xff\xff\xff\xff", CommandOutcome::Kind::Ignored, "no Sparkplug payload"},
      {ncmd, whole.substr(0, whole.size() - 1), CommandOutcome::Kind::Ignored,
       "no Sparkplug payload"},
      {ncmd, std::string(200, '\x12'), CommandOutcome::Kind::Ignored, ""},  // nested without end
      {ncmd, asString.SerializeAsString(), CommandOutcome::Kind::Ignored, "asks for no rebirth"},
      {ncmd, asNumber.SerializeAsString(), CommandOutcome::Kind::Ignored, "asks for no rebirth"},
      {ncmd, std::string(70'000, 'a'), CommandOutcome::Kind::Ignored, "70000 bytes"},
      {dcmd, "\x0a\x05", CommandOutcome::Kind::Ignored, "no Sparkplug payload"},
      {dcmd, many.SerializeAsString(), CommandOutcome::Kind::Refused,
       "and 992 more: the panel publishes only"},
      {"spBv1.0/halvorn/NCMD/panel2", whole, CommandOutcome::Kind::Ignored, "not for this node"},
      {"spBv1.0/halvorn/DCMD/panel1/other", whole, CommandOutcome::Kind::Ignored,
       "not for this node"},
      {"spBv1.0/STATE/scada", "{\"online\":true}", CommandOutcome::Kind::Ignored,
       "not for this node"},
      {std::string("\x01\xff/\n"), whole, CommandOutcome::Kind::Ignored,
       "a message on ?\?/?, not for this node"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.topic + " " + std::to_string(c.payload.size()) + " bytes");
    const CommandOutcome outcome = n.node.Command(c.topic, c.payload, n.now);
    EXPECT_EQ(outcome.kind, c.kind) << outcome.text;
    EXPECT_NE(outcome.text.find(c.reasonHas), std::string::npos) << outcome.text;
    EXPECT_TRUE(outcome.messages.empty());
    EXPECT_LT(outcome.text.size(), 1200u);
    for (const char ch : outcome.text) EXPECT_TRUE(ch >= 0x20 && ch < 0x7F) << "one printable line";
  }
  EXPECT_EQ(n.DataSeq("open"), 2u) << "none of them reached the node";
}

TEST(SparkplugNodeTest, MangledPayloadsNeitherCrashNorReachThePlant) {
  Node n;
  n.Born();
  pb::Payload write;
  pb::Payload_Metric& metric = *write.add_metrics();
  metric.set_name("Flows/MFC1/Setpoint");
  metric.set_datatype(10);
  metric.set_double_value(40.0);
  AddText(*metric.mutable_properties(), "engUnit", "percent");
  const std::string seeds[] = {write.SerializeAsString(), Rebirth(true),
                               Decoded(n.node.Death(1)).SerializeAsString()};
  const std::string topics[] = {"spBv1.0/halvorn/NCMD/panel1",
                                "spBv1.0/halvorn/DCMD/panel1/controller"};
  std::uint32_t random = 12345;
  const auto next = [&random] { return random = random * 1'103'515'245u + 12'345u; };
  for (int round = 0; round < 5000; ++round) {
    std::string bytes = seeds[next() % 3];
    for (std::uint32_t flips = next() % 4 + 1; flips > 0; --flips) {
      const std::size_t at = next() % bytes.size();
      switch (next() % 3) {
        case 0: bytes[at] = static_cast<char>(next() >> 16); break;
        case 1: bytes.resize(at); break;
        default: bytes.insert(at, 1, static_cast<char>(next() >> 16)); break;
      }
      if (bytes.empty()) bytes = "x";
    }
    const std::string& topic = topics[next() % 2];
    const CommandOutcome outcome = n.node.Command(topic, bytes, n.now);
    SCOPED_TRACE("round " + std::to_string(round) + ": " + outcome.text);
    if (topic == topics[1]) {
      EXPECT_NE(outcome.kind, CommandOutcome::Kind::Acted);
    }
    EXPECT_EQ(outcome.messages.empty(), outcome.kind != CommandOutcome::Kind::Acted);
    for (const char ch : outcome.text) ASSERT_TRUE(ch >= 0x20 && ch < 0x7F);
  }
}

TEST(SparkplugNodeTest, NothingGoesOutWhileDisconnectedAndTheNextConnectionIsBornAfresh) {
  Node n;
  n.Born(1);
  (void)n.DataSeq("open");
  n.node.Disconnected();
  n.Set("Valves/V1/State", MetricValue::Text("closed"));
  n.Set("Link/Good messages", MetricValue::Integer(40));
  EXPECT_TRUE(n.Take().empty());
  n.Set("Valves/V1/State", MetricValue::Text("moving"));
  EXPECT_TRUE(n.Take().empty());
  EXPECT_EQ(n.node.NextDueMs(), std::nullopt);
  EXPECT_EQ(n.node.Command("spBv1.0/halvorn/NCMD/panel1", Rebirth(true), n.now).kind,
            CommandOutcome::Kind::Ignored);

  const std::vector<Message> births = n.node.Connected(2, n.now);
  ASSERT_EQ(births.size(), 2u);
  EXPECT_EQ(Named(Decoded(births[0]), "bdSeq")->long_value(), 2u);
  EXPECT_EQ(Decoded(births[0]).seq(), 0u);
  EXPECT_EQ(Named(Decoded(births[1]), "Valves/V1/State")->string_value(), "moving")
      << "only the latest";
  EXPECT_TRUE(n.Take().empty()) << "nothing from before is replayed";
}

TEST(SparkplugNodeTest, WithAPrimaryHostBirthsWaitUntilItIsOnlineAndItsGoingOfflineReconnects) {
  MetricTable table;
  MetricBoard board{table.size()};
  SparkplugNode node{{"halvorn", "panel1", "1.4.0", "port", std::string("scada")}, table};
  EXPECT_EQ(
      node.Subscriptions(),
      (std::vector<std::string>{"spBv1.0/halvorn/NCMD/panel1",
                                "spBv1.0/halvorn/DCMD/panel1/controller", "spBv1.0/STATE/scada"}));
  BoardChanges changes;
  board.SetOnline(true);
  board.Commit();
  board.Take(changes);
  (void)node.Update(changes, kT0);
  EXPECT_TRUE(node.Connected(1, kT0).empty());
  const std::string state = "spBv1.0/STATE/scada";
  EXPECT_EQ(node.Command(state, "{\"online\":false,\"timestamp\":5}", kT0).kind,
            CommandOutcome::Kind::Ignored);
  EXPECT_EQ(node.Command(state, "{\"online\":tru", kT0).kind, CommandOutcome::Kind::Ignored);
  EXPECT_FALSE(node.born());
  const CommandOutcome online =
      node.Command(state, " {\"timestamp\" : 10, \"online\" : true} ", kT0 + 1);
  EXPECT_EQ(online.kind, CommandOutcome::Kind::Acted);
  EXPECT_EQ(Topics(online.messages),
            (std::vector<std::string>{"spBv1.0/halvorn/NBIRTH/panel1",
                                      "spBv1.0/halvorn/DBIRTH/panel1/controller"}));
  EXPECT_EQ(node.Command(state, "{\"online\":false,\"timestamp\":9}", kT0).kind,
            CommandOutcome::Kind::Ignored)
      << "older than what the host said last";
  const CommandOutcome offline =
      node.Command(state, "{\"online\":false,\"timestamp\":11}", kT0 + 2);
  EXPECT_EQ(offline.kind, CommandOutcome::Kind::Reconnect);
  EXPECT_TRUE(offline.messages.empty());
}

}  // namespace
}  // namespace halvorn::publish
