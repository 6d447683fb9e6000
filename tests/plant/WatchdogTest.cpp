#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "panel/Dump.h"
#include "plant/Electrode.h"
#include "plant/Flows.h"
#include "plant/Gauges.h"
#include "plant/Pumps.h"
#include "plant/Valves.h"
#include "plant/Watchdog.h"
#include "support/PlantAnswers.h"

namespace halvorn {
namespace {

using testing::Answer;
using testing::Bytes;
using testing::kValid;

enum Group { kFlows = 1, kGauges = 2, kPumps = 4, kValves = 8 };

// Shapes of each group that a tick greys.
std::vector<Shape*> GroupShapes(Form1& f, int groups) {
  std::vector<Shape*> shapes;
  if (groups & kFlows)
    shapes.insert(shapes.end(), {&f.shpMFC1, &f.shpMFC2, &f.shpMFC3, &f.shpMFC4});
  if (groups & kGauges) {
    shapes.insert(shapes.end(),
                  {&f.shpG1, &f.shpG2, &f.shpG3, &f.shpG4, &f.shpG5, &f.shpG6, &f.shpG7, &f.shpG8});
  }
  if (groups & kPumps) shapes.insert(shapes.end(), {&f.shpTMP, &f.shpRotary1, &f.shpRotary2});
  if (groups & kValves) {
    shapes.insert(shapes.end(),
                  {&f.shpV1, &f.shpV2, &f.shpV3, &f.shpV4, &f.shpV5, &f.shpV6, &f.shpV7, &f.shpV8,
                   &f.shpV9, &f.shpV10, &f.shpV11, &f.shpV12, &f.shpV13, &f.shpV14, &f.shpCV1,
                   &f.shpCV2, &f.shpVmech1, &f.shpVmech2, &f.shpVmech3});
  }
  return shapes;
}

class WatchdogTest : public ::testing::Test {
 protected:
  Form1 form;
  WatchdogFlags flags;

  // Every group shows a fresh answer; no shape is grey.
  void SetUp() override {
    std::string gauges;
    for (int g = 0; g < 8; ++g) gauges += kValid + "123415";
    DecodeGaugeMessage(form, Answer("060__" + gauges));
    DecodeValveMessage(form, Answer("061__" + std::string(16, '\x18')));
    DecodePumpMessage(form, Answer("062__..."));
    DecodeFlowMessage(form, Answer("063__" + kValid + "12.5" + kValid + "12.5" + kValid + "12.5" +
                                   kValid + "12.5"));
    DecodeElectrodePositionMessage(form, Answer("081_R"));
    DecodeElectrodeCoolingMessage(form, Answer("121_z"));
  }

  // The form as it should be after greying `groups`: only those shapes change.
  std::string Greyed(int groups) const {
    Form1 expected = form;
    for (Shape* shape : GroupShapes(expected, groups)) shape->fillColor = colours::SystemGrayText;
    return DumpForm(expected);
  }
};

TEST_F(WatchdogTest, WithNoAnswerSinceTheLastTickEveryGroupIsGreyedAndNothingElseChanges) {
  const std::string expected = Greyed(kFlows | kGauges | kPumps | kValves);
  Timer5_Timer(form, flags);
  EXPECT_EQ(DumpForm(form), expected);
  // Captions, the electrode labels included, are all still there.
  EXPECT_EQ(form.lblV1state.caption, "open");
  EXPECT_EQ(form.lblElectrodePosition.caption, "in");
  EXPECT_EQ(form.lblElectrodeCooling.caption, "running");
}

TEST_F(WatchdogTest, OnlyTheGroupsWhoseFlagIsClearAreGreyed) {
  const struct {
    const char* name;
    WatchdogFlags set;
    int greyed;
  } cases[] = {
      {"flows answered", {.FlowsUpdated = 1}, kGauges | kPumps | kValves},
      {"gauges answered", {.GaugesUpdated = 1}, kFlows | kPumps | kValves},
      {"pumps answered", {.PumpsUpdated = 1}, kFlows | kGauges | kValves},
      {"valves answered", {.ValvesUpdated = 1}, kFlows | kGauges | kPumps},
      {"all but gauges answered",
       {.ValvesUpdated = 1, .PumpsUpdated = 1, .FlowsUpdated = 1},
       kGauges},
      {"all answered", {1, 1, 1, 1}, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    SetUp();
    flags = c.set;
    const std::string expected = Greyed(c.greyed);
    Timer5_Timer(form, flags);
    EXPECT_EQ(DumpForm(form), expected);
    form = Form1{};
  }
}

TEST_F(WatchdogTest, ATickClearsEveryFlagSoTheNextTickGreysAGroupThatStoppedAnswering) {
  flags = {1, 1, 1, 1};
  Timer5_Timer(form, flags);
  EXPECT_EQ(flags.GaugesUpdated, 0);
  EXPECT_EQ(flags.ValvesUpdated, 0);
  EXPECT_EQ(flags.PumpsUpdated, 0);
  EXPECT_EQ(flags.FlowsUpdated, 0);
  EXPECT_EQ(form.shpG1.fillColor, colours::White);
  Timer5_Timer(form, flags);
  EXPECT_EQ(form.shpG1.fillColor, colours::SystemGrayText);
  EXPECT_EQ(form.shpV1.fillColor, colours::SystemGrayText);
}

TEST_F(WatchdogTest, ATickWithEveryFlagClearIsRepeatableAndStable) {
  // With the port closed no answer comes: each tick greys everything again.
  Timer5_Timer(form, flags);
  const std::string afterFirst = DumpForm(form);
  Timer5_Timer(form, flags);
  Timer5_Timer(form, flags);
  EXPECT_EQ(DumpForm(form), afterFirst);
}

TEST_F(WatchdogTest, FlagsHoldingOtherThanZeroOrOneCountAsSet) {
  flags.GaugesUpdated = 2;
  flags.ValvesUpdated = -1;
  Timer5_Timer(form, flags);
  EXPECT_EQ(form.shpG1.fillColor, colours::White);
  EXPECT_EQ(form.shpV1.fillColor, colours::Green);
  EXPECT_EQ(form.shpMFC1.fillColor, colours::SystemGrayText);
  EXPECT_EQ(flags.GaugesUpdated, 0);
  EXPECT_EQ(flags.ValvesUpdated, 0);
}

}  // namespace
}  // namespace halvorn
