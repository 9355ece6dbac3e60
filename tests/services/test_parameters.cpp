// Refusals worded for the panel, for descriptions the module's own do not
// cover: elements without labels, units the panel does not write, fractions.
#include <gtest/gtest.h>

#include "hostapp/services/parameters.h"

namespace tess::test {
namespace {

using resources::Element;
using resources::ElementType;

Element Real(const std::string& label, std::vector<resources::Flag> flags) {
  Element e;
  e.type = ElementType::Real;
  e.symbol = "TEST_VALUE";
  e.id = 1000;
  e.longLabel = label;
  e.flags = std::move(flags);
  return e;
}

TEST(ParameterRefusals, NameTheLabelOrElseTheSymbol) {
  const Element labelled = Real("Width", {{"MIN", "0.25"}, {"UNIT", "METER"}});
  EXPECT_EQ(host::RangeRefusal(labelled, 0.2), "Width must be at least 0.25 m");
  EXPECT_EQ(host::RangeRefusal(labelled, 0.25), "");
  const Element bare = Real("", {{"MAX", "90"}, {"UNIT", "DEGREE"}});
  EXPECT_EQ(host::RangeRefusal(bare, 90.5), "TEST_VALUE must be at most 90°");
  EXPECT_EQ(host::KindRefusal(bare), "TEST_VALUE must be a number");

  Element choice;
  choice.type = ElementType::Long;
  choice.symbol = "TEST_MODE";
  choice.longLabel = "Mode";
  choice.cycle = {{"TEST_MODE_FIRST", 0, 0, "First"}, {"TEST_MODE_BARE", 0, 1, ""}};
  EXPECT_EQ(host::KindRefusal(choice), "Mode must be one of First, TEST_MODE_BARE");
}

TEST(ParameterRefusals, WriteOnlyTheUnitsThePanelWrites) {
  const Element time = Real("Delay", {{"MIN", "-1.5"}, {"MAX", "2"}, {"UNIT", "TIME"}});
  EXPECT_EQ(host::RangeRefusal(time, 3), "Delay must be between -1.5 and 2");
  EXPECT_EQ(host::ShownWithUnit(Real("Share", {{"UNIT", "PERCENT"}}), 12.5), "12.5 %");
  EXPECT_EQ(host::RangeRefusal(Real("Free", {}), -1e9), "");
}

}  // namespace
}  // namespace tess::test
