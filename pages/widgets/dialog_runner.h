// How a page runs the modal dialogs it opens: exec() in the application; tests put in a
// runner that sets the controls and presses OK or Cancel.
#pragma once

#include <QDialog>
#include <functional>

namespace brisfell {

// True when the dialog ended with OK.
using DialogRunner = std::function<bool(QDialog&)>;

inline bool ExecDialog(QDialog& dialog) { return dialog.exec() == QDialog::Accepted; }

}  // namespace brisfell
