#include "app/tools_menu.h"

#include <QMenuBar>

#include "app/main_window.h"
#include "app/security_audit_window.h"
#include "app/switch_keys_dialog.h"

namespace brisfell {

void AddToolsMenu(MainWindow& window, EngineJobs& jobs, Prompt& prompt) {
  QMenuBar* bar = window.menuBar();
  auto* tools = new QMenu(kToolsMenuTitle, bar);
  tools->setObjectName("toolsMenu");
  QAction* help = nullptr;
  for (QAction* a : bar->actions())
    if (a->text() == "&Help") help = a;
  if (help)
    bar->insertMenu(help, tools);
  else
    bar->addMenu(tools);

  QAction* keys = tools->addAction(kSwitchKeysMenuText);
  keys->setObjectName("switchKeysAction");
  QObject::connect(keys, &QAction::triggered, &window, [&window, &jobs, &prompt] {
    SwitchKeysDialog dialog(
        jobs, prompt, [&window, &jobs] { window.SelectAdapter(jobs.View().currentAdapter); }, &window);
    dialog.exec();
  });

  QAction* audit = tools->addAction(kSecurityAuditMenuText);
  audit->setObjectName("securityAuditAction");
  QObject::connect(audit, &QAction::triggered, &window, [&window, &jobs, &prompt] {
    auto* shown = window.findChild<SecurityAuditWindow*>();
    if (!shown) {
      shown = new SecurityAuditWindow(window.GetEngine(), jobs, prompt, &window);
      shown->setAttribute(Qt::WA_DeleteOnClose);
      shown->SetScenarioFile(window.ScenarioFile());
    }
    shown->show();
    shown->raise();
    shown->Run();
  });
}

QAction* SwitchKeysAction(const MainWindow& window) { return window.findChild<QAction*>("switchKeysAction"); }
QAction* SecurityAuditAction(const MainWindow& window) { return window.findChild<QAction*>("securityAuditAction"); }

}  // namespace brisfell
