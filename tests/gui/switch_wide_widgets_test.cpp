// The switch-wide pages as widgets: each renders its table, refreshes when created, and its
// Update writes what the controls hold.
#include <gtest/gtest.h>

#include <QRadioButton>

#include "page_widget_fixture.h"
#include "pages/features/global_config_page.h"
#include "pages/features/igmp_page.h"
#include "pages/features/qos_page.h"
#include "pages/system/device_reset_page.h"
#include "pages/system/fault_info_page.h"
#include "pages/vlan/vlan_control_page.h"
#include "support/sim_fixture.h"

namespace brisfell::testing {
namespace {

struct SwitchWideWidgets : PageWidgetTest<> {};

TEST_F(SwitchWideWidgets, GlobalPageShowsTheBitsAndUpdatesThem) {
  auto& sw = Use(24);
  sw.SetRegister(kRegPortControl, 0x0012);
  sw.SetRegister(kRegGlobalControl, 0x0004);
  GlobalConfigPage page(ctx, *jobs);
  Show(page);
  FormView* view = page.View();
  EXPECT_TRUE(view->Radio("backpressure")->Second()->isChecked());
  EXPECT_TRUE(view->Radio("storm-filter")->Second()->isChecked());
  EXPECT_TRUE(view->Radio("loop-detect")->First()->isChecked());
  EXPECT_EQ(view->Radio("backpressure")->title(), " Half Duplex Back Pressure Flow Control:");
  view->Radio("backpressure")->First()->click();
  page.UpdateButton()->click();
  Settle();
  EXPECT_EQ(sw.Register(kRegPortControl), 0x0010u);
  EXPECT_TRUE(status.empty());
}

TEST_F(SwitchWideWidgets, APageOpenedOnASilentSwitchWritesNothingAndSaysSo) {
  auto& sw = Use(24);
  sw.SetMuted(true);
  QosPage page(ctx, *jobs);
  Show(page);
  EXPECT_EQ(page.View()->Radio("tos")->Value(), -1);
  EXPECT_EQ(page.View()->List("ratio")->currentIndex(), -1);
  EXPECT_TRUE(page.NoticeText().startsWith("Refresh failed: ")) << page.NoticeText().toStdString();
  sw.SetMuted(false);
  page.UpdateButton()->click();
  Settle();
  EXPECT_TRUE(sw.WriteLog().empty());
  ASSERT_FALSE(status.empty());
  EXPECT_NE(status.back().find("press Refresh"), std::string::npos) << status.back();
  EXPECT_EQ(sim.segment.OpenAdapterCount(), 0);
}

TEST_F(SwitchWideWidgets, QosPortBoxesFollowThePortCountAndAllTicksThem) {
  auto& sw = Use(16);
  QosPage page(ctx, *jobs);
  Show(page);
  PortBoxes* boxes = page.View()->Ports("high");
  for (int p = 0; p < 26; ++p) EXPECT_EQ(boxes->Box(p)->isVisibleTo(page.Window()), p < 16) << p;
  EXPECT_EQ(boxes->Box(25)->text(), "G2");
  boxes->AllButton()->click();
  page.UpdateButton()->click();
  Settle();
  EXPECT_EQ(sw.Register(kRegHighPriorityLow), 0xFFFFu);
  EXPECT_EQ(sw.WritesTo(kRegHighPriorityHigh), std::vector<uint32_t>({0}));
}

TEST_F(SwitchWideWidgets, VlanControlHidesTwoPairsAndIgmpShowsTheRouterPorts) {
  Use(26).SetRegister(kRegIgmpRouterPorts, 0b101);
  VlanControlPage vlan(ctx, *jobs);
  Show(vlan);
  EXPECT_EQ(vlan.View()->Radio("multicast-leaky"), nullptr);
  EXPECT_EQ(vlan.View()->Radio("admit")->First()->text(), "Admit only Vlan-Tagged frames");
  vlan.DestroyWindow();
  IgmpPage igmp(ctx, *jobs);
  Show(igmp);
  EXPECT_EQ(igmp.RouterPorts()->toPlainText(), "1,3,");
}

TEST_F(SwitchWideWidgets, FaultAndResetPagesAdaptToTheModel) {
  for (int ports : {16, 24, 26}) {
    SCOPED_TRACE(ports);
    Use(ports).SetRegister(kRegFaultStatus, 0x0002);
    FaultInfoPage faults(ctx, *jobs);
    Show(faults);
    EXPECT_EQ(faults.TrunkFault()->text(), "Error");
    EXPECT_EQ(faults.GigaPhyGroup()->isVisibleTo(faults.Window()), ports == 26);
    EXPECT_EQ(faults.LoopPorts()->Box(ports - 1)->isVisibleTo(faults.Window()), true);
    if (ports < 26) {
      EXPECT_FALSE(faults.LoopPorts()->Box(ports)->isVisibleTo(faults.Window()));
    }
  }
  UseVendor(0x6B2D7004);
  DeviceResetPage reset(ctx, *jobs);
  Show(reset);
  EXPECT_FALSE(reset.HardwareResetButton()->isVisibleTo(reset.Window()));
  EXPECT_TRUE(reset.SoftResetButton()->isVisibleTo(reset.Window()));
}

}  // namespace
}  // namespace brisfell::testing
