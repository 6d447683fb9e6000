#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "link/Frame.h"
#include "link/Receiver.h"
#include "panel/Dump.h"
#include "support/FakeSerialPort.h"
#include "support/PlantAnswers.h"

namespace halvorn {
namespace {

using testing::OnLine;
using testing::ValveLine;

// A valve answer with valve `open` open and the rest closed: 25 bytes on the
// line, and each one tells which answer was shown last.
std::string OneValveOpen(int open) {
  std::string states(16, '\x17');
  states[static_cast<std::size_t>(open % 16)] = '\x18';
  return ValveLine(states);
}

// The panel as the shell holds it: the port's receive event is wired to the
// receiver by the panel itself.
class ReceiveEventTest : public ::testing::Test {
 protected:
  testing::FakeSerialPort port;
  FrontPanel panel{port};
  Form1& form = panel.form;
};

TEST_F(ReceiveEventTest, ReceivedBytesReachTheReceiver) {
  port.Deliver(OnLine("105"));
  EXPECT_TRUE(port.waiting.empty());
  EXPECT_EQ(form.lstWarnings.items, (std::vector<std::string>{" 105 (OP_ERR_ICPCON_BUS)"}));
  EXPECT_EQ(form.shpRecv.fillColor, colours::Green);
  EXPECT_EQ(form.Timer4.starts, 1u);
}

TEST_F(ReceiveEventTest, TheWatcherHearsOfEachEventAfterThePanelHasTakenIt) {
  std::vector<int> events;
  std::vector<std::size_t> warningsSeen;
  panel.portEventHandled = [&](int commEvent) {
    events.push_back(commEvent);
    warningsSeen.push_back(form.lstWarnings.items.size());
  };
  port.Deliver(OnLine("105") + OnLine("106"));
  port.RaiseEvent(kCommEventLost);
  EXPECT_EQ(events, (std::vector<int>{kCommEventReceive, kCommEventLost}));
  EXPECT_EQ(warningsSeen, (std::vector<std::size_t>{2, 2}));
}

TEST(FrontPanelTest, APortThatOutlivesItsPanelCallsNoOneBack) {
  testing::FakeSerialPort port;
  int told = 0;
  {
    FrontPanel panel{port};
    panel.portEventHandled = [&](int) { ++told; };
    port.Deliver(OnLine("105"));
  }
  port.Deliver(OnLine("105"));
  EXPECT_EQ(told, 1);
  EXPECT_EQ(port.waiting, OnLine("105"));
}

TEST_F(ReceiveEventTest, OtherEventsLeaveTheWaitingBytesAlone) {
  port.waiting = OnLine("105");
  const std::string before = DumpForm(form);
  for (const int event : {0, 1, 3, kCommEventLost}) {
    SCOPED_TRACE(event);
    port.RaiseEvent(event);
    EXPECT_EQ(port.waiting, OnLine("105"));
    EXPECT_EQ(DumpForm(form), before);
  }
  port.RaiseEvent(kCommEventReceive);
  EXPECT_EQ(panel.CorrectMessageCount, 1);
}

TEST_F(ReceiveEventTest, TwentyAnswersBatchedIntoOneReadAreAllProcessed) {
  std::string batch;
  for (int i = 0; i < 20; ++i) batch += OneValveOpen(i);
  ASSERT_EQ(batch.size(), 500u);
  port.Deliver(batch);
  EXPECT_EQ(panel.CorrectMessageCount, 20);
  EXPECT_EQ(panel.CrcErrorCount, 0);
  EXPECT_EQ(form.Timer4.starts, 20u);
  EXPECT_TRUE(panel.ReceiveBuffer.empty());
  // The last answer (valve number 20 % 16 = 4, V4) was shown last.
  EXPECT_EQ(form.lblV4state.caption, "open");
  EXPECT_EQ(form.lblV3state.caption, "closed");
}

TEST_F(ReceiveEventTest, SeveralKilobytesFromABusyDriverLoseNoAnswer) {
  std::string batch;
  for (int i = 0; i < 400; ++i) batch += i % 2 ? OneValveOpen(i) : OnLine("999");
  ASSERT_GT(batch.size(), 4096u);
  port.Deliver(batch);
  EXPECT_EQ(panel.CorrectMessageCount, 400);
  EXPECT_EQ(panel.CrcErrorCount, 0);
  EXPECT_EQ(form.lstMessages.ListCount(), 10);
}

TEST_F(ReceiveEventTest, ThePartialAnswerAfterTheLastCarriageReturnWaitsForTheRest) {
  std::string batch;
  for (int i = 0; i < 12; ++i) batch += OneValveOpen(i);
  const std::string last = OneValveOpen(7);
  port.Deliver(batch + last.substr(0, 11));
  EXPECT_EQ(panel.CorrectMessageCount, 12);
  EXPECT_EQ(panel.ReceiveBuffer, last.substr(0, 11));
  port.Deliver(last.substr(11));
  EXPECT_EQ(panel.CorrectMessageCount, 13);
  EXPECT_EQ(panel.CrcErrorCount, 0);
  EXPECT_EQ(form.lblV8state.caption, "open");
}

TEST_F(ReceiveEventTest, AnAnswerSplitOverTwoReadsIsProcessedOnce) {
  const std::string line = OneValveOpen(0);
  port.Deliver(line.substr(0, 13));
  EXPECT_EQ(panel.CorrectMessageCount + panel.CrcErrorCount, 0);
  port.Deliver(line.substr(13));
  EXPECT_EQ(panel.CorrectMessageCount, 1);
  EXPECT_EQ(panel.CrcErrorCount, 0);
  EXPECT_EQ(form.lblV1state.caption, "open");
}

TEST_F(ReceiveEventTest, ALineThatNeverEndsIsStillDropped) {
  const std::string before = DumpForm(form);
  port.Deliver(std::string(300, 'x'));
  EXPECT_TRUE(panel.ReceiveBuffer.empty());
  EXPECT_EQ(DumpForm(form), before);
  // What follows starts afresh and is read normally.
  port.Deliver(OneValveOpen(2));
  EXPECT_EQ(panel.CorrectMessageCount, 1);
  EXPECT_EQ(panel.CrcErrorCount, 0);
}

TEST_F(ReceiveEventTest, AnOverlongLineInsideABatchIsDroppedAndItsNeighboursKept) {
  // The first and the last answer survive; the 300-byte line between them
  // does not, and takes nothing else with it.
  port.Deliver(OnLine("911") + std::string(300, 'x') + '\r' + OnLine("912"));
  EXPECT_EQ(form.lstMessages.items, (std::vector<std::string>{"912156", "911155"}));
  EXPECT_EQ(panel.CrcErrorCount, 0);
  EXPECT_EQ(form.Timer4.starts, 2u);
}

TEST_F(ReceiveEventTest, ABufferAlreadyHalfFullStillBoundsTheLineItBelongsTo) {
  // 200 bytes wait without an end; the 100 that end them make one line of
  // 300, which goes, while the answer read with it is kept.
  port.Deliver(std::string(200, 'y'));
  port.Deliver(std::string(99, 'y') + '\r' + OneValveOpen(5));
  EXPECT_EQ(panel.CrcErrorCount, 0);
  EXPECT_EQ(panel.CorrectMessageCount, 1);
  EXPECT_EQ(form.lblV6state.caption, "open");
}

TEST_F(ReceiveEventTest, AnEmptyReadChangesNothing) {
  port.Deliver(OneValveOpen(0).substr(0, 4));
  const std::string before = DumpForm(form);
  port.Deliver("");
  EXPECT_EQ(DumpForm(form), before);
  EXPECT_EQ(panel.ReceiveBuffer, OneValveOpen(0).substr(0, 4));
}

TEST_F(ReceiveEventTest, ReceiveTextGivenTheWholeBatchDirectlyKeepsItsBound) {
  // The bound belongs to ReceiveText; only the receive event cuts a batch
  // into lines first.
  std::string batch;
  for (int i = 0; i < 20; ++i) batch += OneValveOpen(i);
  ReceiveText(panel, batch);
  EXPECT_EQ(panel.CorrectMessageCount, 0);
  EXPECT_TRUE(panel.ReceiveBuffer.empty());
}

TEST_F(ReceiveEventTest, ArbitraryTrafficIsCountedOnceAndKeepsThePanelWithinItsBounds) {
  // Seeded, so a failure repeats: good answers of every handled type at and
  // one byte off their exact answer-text lengths, corrupt ones, and raw noise, delivered in reads
  // of any size.
  std::mt19937 random(20240611);
  const int types[] = {10, 60, 61, 62, 63, 81, 100, 105, 106, 121, 0, 999, 7};
  const int lengths[] = {15, 61, 21, 8, 25, 5, 3, 3, 3, 5, 0, 20, 4};
  auto byte = [&] { return static_cast<char>(random() % 256); };
  std::string traffic;
  int carriageReturns = 0;
  for (int i = 0; i < 3000; ++i) {
    const auto pick = random() % std::size(types);
    std::string text = std::to_string(types[pick]);
    text.insert(0, 3 - text.size(), '0');
    const int length = lengths[pick] + static_cast<int>(random() % 3) - 1;
    while (static_cast<int>(text.size()) < length) {
      const char c = byte();
      if (c != '\r') text += c;
    }
    std::string line = OnLine(text);
    if (random() % 4 == 0) line[random() % line.size()] = byte();  // corrupt, maybe a CR
    if (random() % 50 == 0) line = std::string(random() % 400, 'n') + '\r';
    traffic += line;
  }
  for (const char c : traffic) carriageReturns += c == '\r';

  std::size_t at = 0;
  while (at < traffic.size()) {
    const std::size_t piece = random() % 700;
    port.Deliver(traffic.substr(at, piece));
    at += piece;
    ASSERT_LE(panel.ReceiveBuffer.size(), kReceiveBufferLimit);
    ASSERT_LE(form.lstWarnings.ListCount(), kMessageListLength);
    ASSERT_LE(form.lstMessages.ListCount(), kMessageListLength);
  }
  const std::int64_t counted =
      std::int64_t{panel.CorrectMessageCount} + std::int64_t{panel.CrcErrorCount};
  // Each message cut out lit the lamp once and was counted once, good or bad;
  // only the carriage returns of dropped overlong lines cut nothing.
  EXPECT_EQ(counted, static_cast<std::int64_t>(form.Timer4.starts));
  EXPECT_LE(counted, carriageReturns);
  EXPECT_GT(panel.CorrectMessageCount, 1000);
  EXPECT_GT(panel.CrcErrorCount, 100);
}

}  // namespace
}  // namespace halvorn

namespace halvorn {
namespace {

class LostDeviceTest : public ::testing::Test {
 protected:
  testing::FakeSerialPort port;
  FrontPanel panel{port};
  Form1& form = panel.form;
};

TEST_F(LostDeviceTest, ALostDeviceClosesThePortAndSaysSo) {
  port.SetCommPort(3);
  ASSERT_EQ(port.Open(), open_error::None);
  port.Deliver(OnLine("105"));
  port.RaiseEvent(kCommEventLost);
  EXPECT_FALSE(port.PortOpen());
  EXPECT_EQ(form.lblStatus.caption, "Port 3 lost");
  // Everything received before the loss was kept.
  EXPECT_EQ(form.lstWarnings.ListCount(), 1);
}

TEST_F(LostDeviceTest, ALossReportedAfterTheOperatorClosedThePortChangesNothing) {
  form.lblStatus.caption = "Port 1 closed";
  port.RaiseEvent(kCommEventLost);
  EXPECT_EQ(form.lblStatus.caption, "Port 1 closed");
}

}  // namespace
}  // namespace halvorn
