#include "panels/factory_default_panel.h"
#include "panel_fixture.h"

namespace {

TEST_F(PanelTest, FactoryDefault_SendsTheResetAtOnce) {
  Show(std::make_unique<FactoryDefaultPanel>(host_, scale_));
  Button("ButtonFactoryDefault")->click();
  EXPECT_EQ(ReceivedAfter(1), std::vector<std::string>{"INITIALPRINTER\r\n"});
  ASSERT_EQ(host_.calls.size(), 1u);
  EXPECT_EQ(host_.calls[0].operation, PrinterOperation::FactoryReset);
  EXPECT_TRUE(std::holds_alternative<std::monostate>(host_.calls[0].record));
}

}  // namespace
