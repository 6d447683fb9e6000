// The device menu tree held against the window's declared menus.
#include "panel/Menus.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "panel/Devices.h"

namespace halvorn {
namespace {

TEST(MenusTest, TreeInDeclaredOrderWithItsCaptions) {
  const Form1 form;
  EXPECT_EQ(DumpMenuTree(form),
            "mnuTmp \"TMP\": mnuTmpOn \"Switch on\", mnuTmpOff \"Switch off\"\n"
            "mnuRotary1 \"Rotary1\": mnuRotary1On \"Switch on\", mnuRotary1Off \"Switch off\"\n"
            "mnuRotary2 \"Rotary2\": mnuRotary2On \"Switch on\", mnuRotary2Off \"Switch off\"\n"
            "mnuV1 \"V1\": mnuV1Open \"Open\", mnuV1Close \"Close\"\n"
            "mnuV2 \"V2\": mnuV2Open \"Open\", mnuV2close \"Close\"\n"
            "mnuV3 \"V3\": mnuV3Open \"Open\", mnuV3Close \"Close\"\n"
            "mnuV4 \"V4\": mnuV4Open \"Open\", mnuV4Close \"Close\"\n"
            "mnuV5 \"V5\": mnuV5Open \"Open\", mnuV5Close \"Close\"\n"
            "mnuV6 \"V6\": mnuV6Open \"Open\", mnuV6Close \"Close\"\n"
            "mnuV7 \"V7\": mnuV7open \"Open\", mnuV7Close \"Close\"\n"
            "mnuV8 \"V8\": mnuV8Open \"Open\", mnuV8Close \"Close\"\n"
            "mnuV9 \"V9\": mnuV9Open \"Open\", mnuV9Close \"Close\"\n"
            "mnuV10 \"V10\": mnuV10Open \"Open\", mnuV10close \"Close\"\n"
            "mnuV11 \"V11\": mnuV11Open \"Open\", mnuV11Close \"Close\"\n"
            "mnuV12 \"V12\": mnuV12Open \"Open\", mnuV12Close \"Close\"\n"
            "mnuV13 \"V13\": mnuV13Open \"Open\", mnuV13Close \"Close\"\n"
            "mnuV14 \"V14\": mnuV14Open \"Open\", mnuV14Close \"Close\"\n"
            "mnuCV1 \"CV1\": mnuCV1Open \"Open\", mnuCV1Close \"Close\"\n"
            "mnuCV2 \"CV2\": mnuCV2Open \"Open\", mnuCV2Close \"Close\"\n");
}

// The tree and the window's own inventory must agree, so the shell, which
// builds its menus from the inventory, shows what the tree says.
TEST(MenusTest, TreeFollowsTheInventoryAndEachItemBelongsToItsMenu) {
  Form1 form;
  const WidgetRefs all = AllWidgets(form);
  ASSERT_EQ(all.menus.size(), kSwitchedDevices.size());
  ASSERT_EQ(all.menuItems.size(), 2 * kSwitchedDevices.size());
  std::set<const MenuItem*> items;
  for (std::size_t i = 0; i < kSwitchedDevices.size(); ++i) {
    const SwitchedDevice& row = kSwitchedDevices[i];
    const Menu& menu = form.*row.menu;
    SCOPED_TRACE(menu.name);
    EXPECT_EQ(all.menus[i], &menu);
    EXPECT_EQ((form.*row.on).menu, menu.name);
    EXPECT_EQ((form.*row.off).menu, menu.name);
    EXPECT_TRUE(items.insert(&(form.*row.on)).second);
    EXPECT_TRUE(items.insert(&(form.*row.off)).second);
  }
  EXPECT_EQ(items.size(), 38u);
}

}  // namespace
}  // namespace halvorn
