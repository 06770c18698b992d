#include "app/switch_keys_dialog.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "pages/common/report_list.h"
#include "pages/security/device_security_logic.h"
#include "pages/security/switch_keys.h"
#include "pages/widgets/controls_widget.h"

namespace brisfell {
namespace {

constexpr const char* kRefusedTitle = "ERROR";

}  // namespace

SwitchKeysDialog::SwitchKeysDialog(EngineJobs& jobs, Prompt& prompt, std::function<void()> rescan, QWidget* parent)
    : QDialog(parent), jobs_(jobs), prompt_(prompt), rescan_(std::move(rescan)) {
  setWindowTitle(kSwitchKeysTitle);
  setObjectName("switchKeys");
  auto* layout = new QVBoxLayout(this);
  list_ = MakeReportList(this, SwitchKeyTable({}, false), {170, 80, 80});
  list_->setObjectName("keyList");
  list_->setMinimumHeight(180);
  layout->addWidget(list_, 1);

  auto* form = new QFormLayout;
  mac_ = new QLineEdit(this);
  mac_->setObjectName("mac");
  mac_->setPlaceholderText("02:0B:F1:16:00:44");
  key_ = new QLineEdit(this);
  key_->setObjectName("key");
  key_->setMaxLength(kKeyTextLength);
  key_->setPlaceholderText("0x1234");
  form->addRow("MAC Address:", mac_);
  form->addRow("Key:", key_);
  layout->addLayout(form);

  auto* row = new QHBoxLayout;
  add_ = MakeButton("Add", "add", this);
  remove_ = MakeButton("Remove", "remove", this);
  auto* close = MakeButton("Close", "close", this);
  row->addWidget(add_);
  row->addWidget(remove_);
  row->addStretch();
  row->addWidget(close);
  layout->addLayout(row);
  note_ = new QLabel(this);
  note_->setObjectName("note");
  note_->setWordWrap(true);
  layout->addWidget(note_);

  connect(add_, &QPushButton::clicked, this, [this] { AddEntry(); });
  connect(remove_, &QPushButton::clicked, this, [this] { RemoveSelected(); });
  connect(close, &QPushButton::clicked, this, &QDialog::accept);
  slot_ = new JobSlot(jobs_, this, list_, {mac_, key_, add_, remove_});
  Reload();
  resize(460, 380);
}

void SwitchKeysDialog::Reload() {
  slot_->Run(
      "Reading the switch database...",
      [](JobControl& job) {
        // Before any discovery the entries are what the file holds.
        if (job.engine.CurrentAdapterIndex() < 0) job.engine.LoadSwitchDatabase();
        return SwitchKeyEntries(job.engine);
      },
      [this](std::vector<SwitchKeyEntry> entries) {
        entries_ = std::move(entries);
        const EngineView& view = jobs_.View();
        const bool discovered = view.currentAdapter >= 0;
        FillReportList(list_, SwitchKeyTable(entries_, discovered));
        note_->setText(discovered ? QString("Answered: whether the switch answered the last discovery on %1.")
                                        .arg(QString::fromStdString(view.AdapterDescription(view.currentAdapter)))
                                  : QString("Choose an adapter to see which switches answer."));
      });
}

void SwitchKeysDialog::Edited(bool saved) {
  // A failed save has said so through the engine's message. Discovery goes first, so the
  // entries read next say which switches answered it.
  if (saved && jobs_.View().currentAdapter >= 0 && rescan_) rescan_();
  Reload();
}

void SwitchKeysDialog::AddEntry() {
  const auto mac = ParseMac(mac_->text().trimmed().toStdString());
  if (!mac) {
    prompt_.Message(kRefusedTitle, "Please enter the switch's MAC address, e.g. 02:0B:F1:16:00:44.", PromptIcon::Error);
    return;
  }
  const auto key = ParseKeyText(key_->text().trimmed().toStdString());
  if (!key) {
    prompt_.Message(kRefusedTitle, kKeyInvalidMessage, PromptIcon::Error);
    return;
  }
  slot_->Run(
      "Saving the switch database...",
      [mac = *mac, key = *key](JobControl& job) { return job.engine.RememberSwitch(mac, KeyBytesOf(key)); },
      [this](bool saved) {
        if (saved) {
          mac_->clear();
          key_->clear();
        }
        Edited(saved);
      });
}

void SwitchKeysDialog::RemoveSelected() {
  const int row = SelectionMark(list_);
  const auto& entries = entries_;
  if (row < 0 || row >= static_cast<int>(entries.size())) {
    prompt_.Message("Error", "Please select a switch to remove!", PromptIcon::Error);
    return;
  }
  const SwitchKeyEntry& e = entries[static_cast<size_t>(row)];
  const std::string question = "Forget switch " + FormatMac(e.mac) + " and its key " + KeyText(e.key) +
                               "?\nA switch whose key is not the default is then found no more.";
  if (!prompt_.AskYesNo(kSwitchKeysTitle, question, PromptIcon::Question)) return;
  slot_->Run(
      "Saving the switch database...", [mac = e.mac](JobControl& job) { return job.engine.ForgetSwitch(mac); },
      [this](bool saved) { Edited(saved); });
}

}  // namespace brisfell
