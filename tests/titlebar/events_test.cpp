#include <gtest/gtest.h>

#include "hostapp/gui/events.h"

namespace tess::gui {
namespace {

TEST(PanelEvents, ReadsEveryKindWithCommentsAndBlankLines) {
  const EventScript s =
      ParseEvents("# hover, then click\n\nmove 10 -3\n  click 40 12   # the name\r\nrclick 1 2\nwait 250", "e.txt");
  ASSERT_TRUE(s.error.empty()) << s.error;
  ASSERT_EQ(s.events.size(), 4u);
  EXPECT_EQ(s.events[0].kind, PanelEvent::Kind::Move);
  EXPECT_EQ(s.events[0].x, 10);
  EXPECT_EQ(s.events[0].y, -3);
  EXPECT_EQ(s.events[0].line, 3);
  EXPECT_EQ(s.events[1].kind, PanelEvent::Kind::Click);
  EXPECT_EQ(s.events[1].text, "  click 40 12");
  EXPECT_EQ(s.events[2].kind, PanelEvent::Kind::RightClick);
  EXPECT_EQ(s.events[3].kind, PanelEvent::Kind::Wait);
  EXPECT_EQ(s.events[3].milliseconds, 250);
  EXPECT_EQ(s.events[3].line, 6);
}

TEST(PanelEvents, MalformedLinesNameFileAndLine) {
  const struct {
    const char* text;
    const char* error;
  } cases[] = {
      {"move 1 2\njump 3 4\n", "e.txt:2: unknown event 'jump' (expected move, click, rclick or wait)"},
      {"click 1\n", "e.txt:1: 'click' takes two numbers, X and Y"},
      {"move 1 2 3\n", "e.txt:1: 'move' takes two numbers, X and Y"},
      {"\n\nmove 1.5 2\n", "e.txt:3: X '1.5' is not a whole number within +-1000000"},
      {"move 1 99999999999\n", "e.txt:1: Y '99999999999' is not a whole number within +-1000000"},
      {"wait -1\n", "e.txt:1: milliseconds '-1' are not a whole number from 0 to 3600000"},
      {"wait\n", "e.txt:1: 'wait' takes one number of milliseconds"},
  };
  for (const auto& c : cases) {
    const EventScript s = ParseEvents(c.text, "e.txt");
    EXPECT_TRUE(s.events.empty()) << c.text;
    EXPECT_EQ(s.error, c.error);
  }
}

TEST(PanelEvents, BinaryDataIsRefused) {
  const std::string text("move 1 2\n\x01\0\x02\n", 13);
  EXPECT_EQ(ParseEvents(text, "e.bin").error, "e.bin:2: binary data in an events file");
}

TEST(PanelEvents, MissingFileIsOneLine) {
  const EventScript s = ReadEvents("/nonexistent/events.txt");
  EXPECT_EQ(s.error, "/nonexistent/events.txt: no such events file");
}

}  // namespace
}  // namespace tess::gui
