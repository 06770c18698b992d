#include "pages/system/configurations_page.h"

#include <QHBoxLayout>
#include <QVBoxLayout>
#include <algorithm>
#include <optional>

namespace brisfell {

ConfigurationsPage::ConfigurationsPage(PageContext& context) : Page(context, kConfigurationsCaption) {}

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

  QObject::connect(save_, &QPushButton::clicked, window, [this] {
    Run(kSaveToFileText, false, [this](const ProgressFn& p) { SaveConfigToFile(context_, p); });
  });
  QObject::connect(load_, &QPushButton::clicked, window, [this] {
    Run(kLoadFromFileText, false, [this](const ProgressFn& p) { LoadConfigFromFile(context_, p); });
  });
  QObject::connect(factoryDefault_, &QPushButton::clicked, window, [this] {
    Run(kFactoryDefaultText, true, [this](const ProgressFn& p) { FactoryDefault(context_, p); });
  });
  QObject::connect(saveToHardware_, &QPushButton::clicked, window, [this] {
    Run(kSaveToHardwareText, true, [this](const ProgressFn& p) { SaveToHardware(context_, p); });
  });
}

void ConfigurationsPage::Initialise() {
  portCount_ = context_.PortCount();
  saveToHardware_->setVisible(SaveToHardwareOffered(portCount_));
  EnableButtons(true);
}

void ConfigurationsPage::EnableButtons(bool enable) {
  for (QPushButton* b : {load_.data(), save_.data(), factoryDefault_.data()})
    if (b) b->setEnabled(enable);
  if (saveToHardware_) saveToHardware_->setEnabled(enable && SaveToHardwareOffered(portCount_));
}

void ConfigurationsPage::Run(const QString& title, bool showProgress,
                             const std::function<void(const ProgressFn&)>& action) {
  if (running_) return;
  running_ = true;
  EnableButtons(false);
  std::optional<BusyCursor> busy;
  // Owned by the page window; a guarded pointer in case that window goes first.
  QPointer<QProgressDialog> dialog;
  // Questions and file dialogs come before the first step; the wait cursor and the progress
  // dialog only once the switch is being talked to.
  const ProgressFn progress = [&](int done, int total) {
    if (!busy) busy.emplace();
    if (!showProgress) return;
    if (!dialog) {
      dialog = new QProgressDialog(title, QString(), 0, total, window_);
      dialog->setWindowTitle(kApplicationTitle);
      dialog->setWindowModality(Qt::ApplicationModal);
      dialog->setCancelButton(nullptr);
      dialog->setAutoReset(false);
      dialog->setAutoClose(false);
      dialog->setMinimumDuration(300);
      progress_ = dialog;
    }
    dialog->setMaximum(total);
    dialog->setValue(done);
  };
  action(progress);
  delete dialog.data();
  busy.reset();
  EnableButtons(true);
  running_ = false;
}

}  // namespace brisfell
