// The Device Security page: the authentication key, the access button, and the ports that may
// carry management frames, with All, None, Refresh and Update.
#pragma once

#include <QLineEdit>
#include <QPointer>
#include <QPushButton>

#include "pages/common/page.h"
#include "pages/security/device_security_logic.h"
#include "pages/widgets/form_widget.h"

namespace brisfell {

class DeviceSecurityPage : public Page {
 public:
  DeviceSecurityPage(PageContext& context, EngineJobs& jobs);

  void Refresh() override;
  void Update();
  void PressAccess();

  QLineEdit* KeyEdit() const { return key_; }
  QPushButton* AccessButton() const { return access_; }
  PortBoxes* Ports() const { return view_ ? view_->Ports("authorised") : nullptr; }
  QPushButton* RefreshButton() const { return refresh_; }
  QPushButton* UpdateButton() const { return update_; }
  const SecurityState& State() const { return state_; }
  const Outcome& LastOutcome() const { return last_; }

 protected:
  void BuildControls(QWidget* window) override;
  void Initialise() override;

 private:
  void Collect();
  void Show();
  void Report(const Outcome& outcome, const char* action);

  SecurityState state_;
  Outcome last_;
  QPointer<FormView> view_;
  QPointer<QLineEdit> key_;
  QPointer<QPushButton> access_;
  QPointer<QPushButton> refresh_;
  QPointer<QPushButton> update_;
};

}  // namespace brisfell
