// The Igmp Snooping page: its table, and the router ports the switch has learnt (read only).
#pragma once

#include <QPlainTextEdit>
#include <QPointer>

#include "pages/widgets/form_page.h"

namespace brisfell {

class IgmpPage : public FormPage {
 public:
  IgmpPage(PageContext& context, EngineJobs& jobs);
  QPlainTextEdit* RouterPorts() const { return routerPorts_; }

 protected:
  void BuildExtraControls(QWidget* window) override;
  void ShowExtra() override;

 private:
  QPointer<QPlainTextEdit> routerPorts_;
};

}  // namespace brisfell
