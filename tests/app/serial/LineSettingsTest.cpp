// How the settings text updates the line settings, and the terminal
// attributes they give (including PARENB, which a pseudo-terminal does not
// keep).
#include "serial/LineSettings.h"

#include <gtest/gtest.h>

#include <string>

namespace halvorn::shell {
namespace {

TEST(LineSettingsTest, StartsAtNineThousandSixHundredNoParityEightOne) {
  EXPECT_EQ(ToText(LineSettings{}), "9600,n,8,1");
}

TEST(LineSettingsTest, EachFieldChangesItsSettingOnlyWhenItCanBeApplied) {
  struct Case {
    std::string text;
    std::string expected;  // as ToText, starting from 38400,o,7,2
  };
  const Case cases[] = {
      {"115200,n,8,1", "115200,n,8,1"},
      {"2400,E,8,1", "2400,e,8,1"},
      {"9600,N,8,1", "9600,n,8,1"},
      {"460800,M,5,1", "460800,m,5,1"},
      {"921600,S,6,1", "921600,s,6,1"},
      {"115200,,8,1", "115200,o,8,1"},  // empty parity keeps odd
      {"115200,o,8,1", "115200,o,8,1"},
      {"19200,e,8,1", "38400,e,8,1"},   // not a rate of the baud list
      {"0,e,8,1", "38400,e,8,1"},
      {"-9600,e,8,1", "38400,e,8,1"},
      {"+9600,e,8,1", "38400,e,8,1"},
      {" 9600,e,8,1", "38400,e,8,1"},
      {"9600x,e,8,1", "38400,e,8,1"},
      {"99999999999999999999,e,8,1", "38400,e,8,1"},
      {"9600,x,8,1", "9600,o,8,1"},
      {"9600,no,8,1", "9600,o,8,1"},
      {"9600,n,9,1", "9600,n,7,1"},
      {"9600,n,4,1", "9600,n,7,1"},
      {"9600,n,8,0", "9600,n,8,2"},
      {"9600,n,8,1.5", "9600,n,8,2"},
      {"9600", "9600,o,7,2"},  // missing fields keep theirs
      {"", "38400,o,7,2"},
      {",,,", "38400,o,7,2"},
      {"2400,e,8,1,extra", "2400,e,8,1"},
  };
  const LineSettings start{38400, Parity::Odd, 7, 2};
  for (const Case& test : cases) {
    SCOPED_TRACE("text '" + test.text + "'");
    EXPECT_EQ(ToText(UpdateLineSettings(start, test.text)), test.expected);
  }
}

TEST(LineSettingsTest, StartUpSequenceEndsAtTheDefaultLine) {
  LineSettings line{};
  line = UpdateLineSettings(line, "9600,N,8,1");
  line = UpdateLineSettings(line, "115200,,8,1");
  EXPECT_EQ(ToText(line), "115200,n,8,1");
  line = UpdateLineSettings(line, "115200,n,8,1");
  EXPECT_EQ(line, (LineSettings{115200, Parity::None, 8, 1}));
}

// A terminal as a previous user may have left it: cooked, echoing, with
// flow control, parity and odd sizes.
termios CookedTerminal() {
  termios attributes{};
  attributes.c_iflag = ICRNL | IXON | IXOFF | INPCK | ISTRIP | IGNPAR | BRKINT;
  attributes.c_oflag = OPOST | ONLCR;
  attributes.c_lflag = ICANON | ECHO | ECHOE | ISIG | IEXTEN;
  attributes.c_cflag = CS7 | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS | HUPCL;
  attributes.c_cc[VMIN] = 0;
  attributes.c_cc[VTIME] = 5;
  cfsetispeed(&attributes, B1200);
  cfsetospeed(&attributes, B1200);
  return attributes;
}

TEST(LineSettingsTest, ParityLettersGiveTheirTerminalFlags) {
  struct Case {
    Parity parity;
    tcflag_t flags;  // of PARENB, PARODD, CMSPAR
  };
  const Case cases[] = {
      {Parity::None, 0},
      {Parity::Even, PARENB},
      {Parity::Odd, PARENB | PARODD},
      {Parity::Mark, PARENB | CMSPAR | PARODD},
      {Parity::Space, PARENB | CMSPAR},
  };
  for (const Case& test : cases) {
    const LineSettings line{9600, test.parity, 8, 1};
    SCOPED_TRACE(ToText(line));
    termios attributes = CookedTerminal();
    ApplyLineSettings(line, attributes);
    EXPECT_EQ(attributes.c_cflag & (PARENB | PARODD | CMSPAR), test.flags);
  }
}

TEST(LineSettingsTest, SpeedsSizesAndStopBitsGiveTheirTerminalFlags) {
  struct Case {
    LineSettings line;
    speed_t speed;
    tcflag_t size;
    bool twoStopBits;
  };
  const Case cases[] = {
      {{2400, Parity::None, 8, 1}, B2400, CS8, false},
      {{9600, Parity::None, 8, 1}, B9600, CS8, false},
      {{38400, Parity::None, 7, 2}, B38400, CS7, true},
      {{115200, Parity::None, 6, 1}, B115200, CS6, false},
      {{460800, Parity::None, 5, 2}, B460800, CS5, true},
      {{921600, Parity::None, 8, 1}, B921600, CS8, false},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(ToText(test.line));
    termios attributes = CookedTerminal();
    ApplyLineSettings(test.line, attributes);
    EXPECT_EQ(cfgetispeed(&attributes), test.speed);
    EXPECT_EQ(cfgetospeed(&attributes), test.speed);
    EXPECT_EQ(attributes.c_cflag & CSIZE, test.size);
    EXPECT_EQ((attributes.c_cflag & CSTOPB) != 0, test.twoStopBits);
  }
}

TEST(LineSettingsTest, EveryByteGoesThroughUntranslated) {
  termios attributes = CookedTerminal();
  ApplyLineSettings(LineSettings{}, attributes);
  EXPECT_EQ(attributes.c_iflag & (ICRNL | INLCR | IGNCR | IXON | IXOFF | IXANY | INPCK | ISTRIP |
                                  IGNPAR | PARMRK | BRKINT),
            0u);
  EXPECT_EQ(attributes.c_oflag & OPOST, 0u);
  EXPECT_EQ(attributes.c_lflag & (ICANON | ECHO | ECHONL | ISIG | IEXTEN), 0u);
  EXPECT_EQ(attributes.c_cflag & CRTSCTS, 0u);
  EXPECT_EQ(attributes.c_cflag & (CLOCAL | CREAD), static_cast<tcflag_t>(CLOCAL | CREAD));
  EXPECT_EQ(attributes.c_cflag & (PARENB | CSIZE), static_cast<tcflag_t>(CS8));
  // A read waits for a byte, so a read of nothing is a hang-up.
  EXPECT_EQ(attributes.c_cc[VMIN], 1);
  EXPECT_EQ(attributes.c_cc[VTIME], 0);
}

}  // namespace
}  // namespace halvorn::shell
