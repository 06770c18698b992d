// The Configurations page as a widget, on the emulated segment: its controls per model, and
// what the operator sees while an action runs.
#include <gtest/gtest.h>

#include <QFileInfo>
#include <QGroupBox>
#include <functional>

#include "page_widget_fixture.h"
#include "pages/system/configurations_page.h"
#include "support/sim_fixture.h"

namespace brisfell::testing {
namespace {

// A scripted prompt that also lets the test look at the page whenever a box comes up, that is,
// in the middle of an action.
struct WatchingPrompt : ScriptedPrompt {
  std::function<void()> onBox;
  void Message(const std::string& title, const std::string& text, PromptIcon icon) override {
    ScriptedPrompt::Message(title, text, icon);
    if (onBox) onBox();
  }
  bool AskYesNo(const std::string& title, const std::string& text, PromptIcon icon) override {
    if (onBox) onBox();
    return ScriptedPrompt::AskYesNo(title, text, icon);
  }
};

struct ConfigurationsWidget : PageWidgetTest<WatchingPrompt> {
  static std::vector<bool> Enabled(const ConfigurationsPage& page) {
    return {page.LoadButton()->isEnabled(), page.SaveButton()->isEnabled(), page.FactoryDefaultButton()->isEnabled(),
            page.SaveToHardwareButton()->isEnabled()};
  }
};

TEST_F(ConfigurationsWidget, ControlsOfEachModel) {
  for (int ports : {16, 24, 26}) {
    SCOPED_TRACE(ports);
    auto& sw = Use(ports);
    ConfigurationsPage page(ctx, *jobs);
    EXPECT_EQ(page.Caption(), "Configurations");
    QWidget* window = page.CreateWindow(&host);
    Settle();
    EXPECT_EQ(page.FileGroup()->title(), "File:");
    EXPECT_EQ(page.SwitchGroup()->title(), "Switch:");
    EXPECT_EQ(page.LoadButton()->text(), "Load from File");
    EXPECT_EQ(page.SaveButton()->text(), "Save to File");
    EXPECT_EQ(page.FactoryDefaultButton()->text(), "Factory Default");
    EXPECT_EQ(page.SaveToHardwareButton()->text(), "Save to Hardware");
    EXPECT_EQ(page.LoadButton()->parent(), page.FileGroup());
    EXPECT_EQ(page.SaveButton()->parent(), page.FileGroup());
    EXPECT_EQ(page.FactoryDefaultButton()->parent(), page.SwitchGroup());
    EXPECT_EQ(page.SaveToHardwareButton()->parent(), page.SwitchGroup());
    const bool offered = ports <= 24;
    EXPECT_EQ(page.SaveToHardwareButton()->isVisibleTo(window), offered);
    EXPECT_EQ(Enabled(page), (std::vector<bool>{true, true, true, offered}));
    EXPECT_TRUE(sw.ReadLog().empty()) << "the page reads nothing until a button is pressed";
    EXPECT_TRUE(prompt.shown.empty());
  }
}

TEST_F(ConfigurationsWidget, SaveAndLoadThroughTheButtons) {
  auto& sw = Use(24);
  ConfigurationsPage page(ctx, *jobs);
  Show(page);
  const std::string path = sim.tempDir + "/core.qsw";
  prompt.fileNames.push_back(path);
  page.SaveButton()->click();
  Settle();
  EXPECT_EQ(QFileInfo(QString::fromStdString(path)).size(), 2768);
  sw.SetRegister(0x0307, 0x0000);
  sw.ClearLog();
  prompt.fileNames.push_back(path);
  page.LoadButton()->click();
  Settle();
  EXPECT_EQ(sw.Register(0x0307), 0x0004u) << "the file's bits of the scenario's 0x8204";
  EXPECT_EQ(sw.WriteLog().back(), (sim::RegisterWrite{0x0000, 1}));
  EXPECT_TRUE(prompt.MessageTexts().empty());
  EXPECT_EQ(Enabled(page), (std::vector<bool>{true, true, true, true}));
  EXPECT_TRUE(page.BusyIndicator()->isHidden());
}

// While Factory Default or Save to Hardware runs, every button is disabled and the page's busy
// panel counts the steps; afterwards the page is as before.
TEST_F(ConfigurationsWidget, ButtonsAreDisabledAndProgressShownWhileAnActionRuns) {
  auto& sw = Use(24);
  ConfigurationsPage page(ctx, *jobs);
  Show(page);
  struct Seen {
    std::vector<bool> enabled;
    bool panel = false;
    int value = -1, maximum = -1;
  };
  std::vector<Seen> seen;
  // The boxes come up on this thread while the action waits on the engine thread.
  prompt.onBox = [&] {
    Seen s{Enabled(page)};
    BusyPanel* panel = page.BusyIndicator();
    s.panel = !panel->isHidden();
    s.value = panel->Bar()->value();
    s.maximum = panel->Bar()->maximum();
    seen.push_back(s);
    page.FactoryDefaultButton()->click();  // cannot start a second action
  };

  // Factory Default: 170 register writes, then the 22 EEPROM words; the first EEPROM read fails.
  sw.FailNextEepromCommands(1 << 20);
  page.FactoryDefaultButton()->click();
  Settle();
  sw.FailNextEepromCommands(0);
  EXPECT_EQ(prompt.MessageTexts(), std::vector<std::string>{"Eeprom read failed"});
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].enabled, (std::vector<bool>{false, false, false, false}));
  EXPECT_TRUE(seen[0].panel);
  EXPECT_EQ(seen[0].maximum, 192);
  EXPECT_EQ(seen[0].value, 170);
  EXPECT_FALSE(sw.WasWritten(0x0000));

  // Save to Hardware asks first (no steps yet), then fails writing the first word.
  seen.clear();
  prompt.shown.clear();
  sw.SetRegister(0x0201, sw.Register(0x0201) ^ 0x8000);
  sw.SetEepromWriteProtected(true);
  prompt.answers.push_back(true);
  page.SaveToHardwareButton()->click();
  Settle();
  sw.SetEepromWriteProtected(false);
  EXPECT_EQ(prompt.MessageTexts(), std::vector<std::string>{"Eeprom write failed"});
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0].enabled, (std::vector<bool>{false, false, false, false}));
  EXPECT_EQ(seen[0].maximum, 0) << "no count of steps during the question";
  EXPECT_EQ(seen[1].enabled, (std::vector<bool>{false, false, false, false}));
  EXPECT_EQ(seen[1].maximum, 22);
  EXPECT_EQ(seen[1].value, 0);

  EXPECT_EQ(Enabled(page), (std::vector<bool>{true, true, true, true}));
  EXPECT_TRUE(page.BusyIndicator()->isHidden());
  EXPECT_EQ(sw.WritesTo(0x0000), std::vector<uint32_t>{}) << "the clicks from inside did nothing";
}

}  // namespace
}  // namespace brisfell::testing
