// The Tools menu of the main window: the switch database's keys and the security audit.
#pragma once

#include <QAction>

#include "pages/common/prompt.h"
#include "pages/widgets/engine_jobs.h"

namespace brisfell {

class MainWindow;

inline constexpr const char* kToolsMenuTitle = "&Tools";
inline constexpr const char* kSwitchKeysMenuText = "Switch &Keys...";
inline constexpr const char* kSecurityAuditMenuText = "Security &Audit...";

// Adds the menu before Help. Switch Keys is modal and rescans the current adapter after an
// edit; the audit window stays open beside the main window and runs when it is shown. Both
// send their work to the engine thread like the pages.
void AddToolsMenu(MainWindow& window, EngineJobs& jobs, Prompt& prompt);

// The menu's entries, for tests.
QAction* SwitchKeysAction(const MainWindow& window);
QAction* SecurityAuditAction(const MainWindow& window);

}  // namespace brisfell
