#include "app/qt_prompt.h"

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QStringList>

namespace brisfell {
namespace {

QMessageBox::Icon BoxIcon(PromptIcon icon) {
  switch (icon) {
    case PromptIcon::Error: return QMessageBox::Critical;
    case PromptIcon::Warning: return QMessageBox::Warning;
    case PromptIcon::Question: return QMessageBox::Question;
    case PromptIcon::Information: return QMessageBox::Information;
    case PromptIcon::None: break;
  }
  return QMessageBox::NoIcon;
}

QString Title(const std::string& title) {
  return QString::fromStdString(title.empty() ? std::string(kApplicationTitle) : title);
}

}  // namespace

QString QtFileFilter(const std::string& filter) {
  // Pairs of description and patterns, ended by an empty field.
  const QStringList fields = QString::fromStdString(filter).split('|');
  QStringList out;
  for (int i = 0; i + 1 < fields.size(); i += 2) {
    QString description = fields[i].trimmed();
    if (description.isEmpty()) break;
    QStringList patterns;
    for (const QString& p : fields[i + 1].split(';', Qt::SkipEmptyParts))
      patterns << (p.trimmed() == "*.*" ? QString("*") : p.trimmed());
    if (patterns.isEmpty()) patterns << "*";
    // The description usually repeats the patterns in brackets; Qt reads the patterns from
    // the last brackets, so they are written once, in Qt's form.
    const qsizetype open = description.lastIndexOf('(');
    if (open > 0 && description.endsWith(')')) description = description.left(open).trimmed();
    out << QString("%1 (%2)").arg(description, patterns.join(' '));
  }
  return out.join(";;");
}

void QtPrompt::Message(const std::string& title, const std::string& text, PromptIcon icon) {
  QMessageBox box(BoxIcon(icon), Title(title), QString::fromStdString(text), QMessageBox::Ok, parent_);
  box.setDefaultButton(QMessageBox::Ok);
  box.exec();
}

bool QtPrompt::AskYesNo(const std::string& title, const std::string& text, PromptIcon icon) {
  QMessageBox box(BoxIcon(icon), Title(title), QString::fromStdString(text), QMessageBox::Yes | QMessageBox::No,
                  parent_);
  box.setDefaultButton(QMessageBox::No);
  box.setEscapeButton(QMessageBox::No);
  return box.exec() == QMessageBox::Yes;
}

std::optional<std::string> QtPrompt::SaveFileName(const FileDialogRequest& request) {
  QFileDialog dialog(parent_, "Save As");
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setNameFilter(QtFileFilter(request.filter));
  dialog.setDefaultSuffix(QString::fromStdString(request.defaultExtension));
  dialog.setOption(QFileDialog::DontConfirmOverwrite, false);
  if (!request.proposedName.empty()) dialog.selectFile(QString::fromStdString(request.proposedName));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return QFile::encodeName(dialog.selectedFiles().first()).toStdString();
}

std::optional<std::string> QtPrompt::OpenFileName(const FileDialogRequest& request) {
  QFileDialog dialog(parent_, "Open");
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setNameFilter(QtFileFilter(request.filter));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return QFile::encodeName(dialog.selectedFiles().first()).toStdString();
}

}  // namespace brisfell
