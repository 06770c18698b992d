#include "pages/system/configurations_page.h"

#include <QHBoxLayout>
#include <QVBoxLayout>
#include <algorithm>

namespace brisfell {

ConfigurationsPage::ConfigurationsPage(PageContext& context, EngineJobs& jobs) : Page(context, jobs, kConfigurationsCaption) {}

void ConfigurationsPage::BuildControls(QWidget* window) {
  window_ = window;
  auto* layout = new QVBoxLayout(window);
  auto* row = new QHBoxLayout;
  auto group = [&](const char* caption, const char* name) {
    auto* box = new QGroupBox(caption, window);
    box->setObjectName(name);
    auto* inner = new QHBoxLayout(box);
    inner->setSpacing(12);
    row->addWidget(box);
    return box;
  };
  auto button = [&](QGroupBox* box, const char* text, const char* name) {
    auto* b = new QPushButton(text, box);
    b->setObjectName(name);
    b->setMinimumWidth(std::max(130, b->sizeHint().width()));
    box->layout()->addWidget(b);
    return b;
  };
  fileGroup_ = group(kFileGroupCaption, "fileGroup");
  load_ = button(fileGroup_, kLoadFromFileText, "loadFromFile");
  save_ = button(fileGroup_, kSaveToFileText, "saveToFile");
  switchGroup_ = group(kSwitchGroupCaption, "switchGroup");
  factoryDefault_ = button(switchGroup_, kFactoryDefaultText, "factoryDefault");
  saveToHardware_ = button(switchGroup_, kSaveToHardwareText, "saveToHardware");
  // Without Save to Hardware the Switch box keeps its size, so the page does not jump.
  QSizePolicy keep = saveToHardware_->sizePolicy();
  keep.setRetainSizeWhenHidden(true);
  saveToHardware_->setSizePolicy(keep);
  row->addStretch();
  layout->addLayout(row);
  layout->addStretch();

  QObject::connect(save_, &QPushButton::clicked, window, [this] { Start(kSaveToFileText, SaveConfigToFile); });
  QObject::connect(load_, &QPushButton::clicked, window, [this] { Start(kLoadFromFileText, LoadConfigFromFile); });
  QObject::connect(factoryDefault_, &QPushButton::clicked, window, [this] { Start(kFactoryDefaultText, FactoryDefault); });
  QObject::connect(saveToHardware_, &QPushButton::clicked, window, [this] { Start(kSaveToHardwareText, SaveToHardware); });
}

void ConfigurationsPage::Initialise() {
  portCount_ = PortCount();
  saveToHardware_->setVisible(SaveToHardwareOffered(portCount_));
  saveToHardware_->setEnabled(SaveToHardwareOffered(portCount_));
}

template <class Result>
void ConfigurationsPage::Start(const char* title, Result (*action)(PageContext&, const ProgressFn&)) {
  if (Busy()) return;
  // The logic's questions, file dialogs and messages come to this thread; its steps show on
  // the busy panel's bar.
  Run(
      title,
      [action](PageContext& c, JobControl& job) {
        action(c, [&job](int done, int total) { job.Progress(done, total); });
      },
      [](bool) {});
}

}  // namespace brisfell
