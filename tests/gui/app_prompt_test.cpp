// Message boxes and file dialogs as QtPrompt puts them on screen: inspected and answered from
// a timer while they run modally, as an operator would see and answer them.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <functional>

#include "app/composite_driver.h"
#include "app/qt_prompt.h"
#include "engine/fake_driver.h"
#include "gui/app_support.h"

namespace brisfell::testing {
namespace {

// Runs `inspect` on the modal window once it is up; it must close it.
template <typename Window>
void WhenShown(std::function<void(Window*)> inspect) {
  QTimer::singleShot(0, [inspect] {
    auto* window = qobject_cast<Window*>(QApplication::activeModalWidget());
    ASSERT_NE(window, nullptr) << "no modal window of the expected kind";
    inspect(window);
  });
}

TEST(QtPromptTest, ErrorBoxHasItsTitleIconAndOnlyOk) {
  EnsureQtApp();
  QtPrompt prompt;
  bool seen = false;
  WhenShown<QMessageBox>([&](QMessageBox* box) {
    seen = true;
    EXPECT_EQ(box->windowTitle(), "Error");
    EXPECT_EQ(box->text(), "Please select Port to config!");
    EXPECT_EQ(box->icon(), QMessageBox::Critical);
    EXPECT_EQ(box->standardButtons(), QMessageBox::Ok);
    box->button(QMessageBox::Ok)->click();
  });
  prompt.Message("Error", "Please select Port to config!", PromptIcon::Error);
  EXPECT_TRUE(seen);

  // No title of its own: the application's.
  WhenShown<QMessageBox>([](QMessageBox* box) {
    EXPECT_EQ(box->windowTitle(), "Ardune Brisfell");
    box->accept();
  });
  prompt.Message("", "Done", PromptIcon::Information);
}

TEST(QtPromptTest, QuestionsDefaultToNoAndOnlyYesProceeds) {
  EnsureQtApp();
  QtPrompt prompt;
  WhenShown<QMessageBox>([](QMessageBox* box) {
    EXPECT_EQ(box->standardButtons(), QMessageBox::Yes | QMessageBox::No);
    EXPECT_EQ(static_cast<QAbstractButton*>(box->defaultButton()), box->button(QMessageBox::No));
    EXPECT_EQ(box->icon(), QMessageBox::Question);
    box->defaultButton()->click();  // Enter
  });
  EXPECT_FALSE(prompt.AskYesNo("Brisfell", "Reset the switch?", PromptIcon::Question));

  WhenShown<QMessageBox>([](QMessageBox* box) { box->button(QMessageBox::Yes)->click(); });
  EXPECT_TRUE(prompt.AskYesNo("Brisfell", "Reset the switch?", PromptIcon::Question));

  WhenShown<QMessageBox>([](QMessageBox* box) { box->reject(); });  // Escape
  EXPECT_FALSE(prompt.AskYesNo("Brisfell", "Reset the switch?", PromptIcon::Question));
}

TEST(QtPromptTest, SaveDialogAddsTheDefaultSuffixAndAsksBeforeOverwriting) {
  EnsureQtApp();
  QTemporaryDir folder;
  QtPrompt prompt;
  FileDialogRequest request;
  request.defaultExtension = "qsw";
  request.proposedName = folder.filePath("switch1").toStdString();
  WhenShown<QFileDialog>([](QFileDialog* dialog) {
    EXPECT_EQ(dialog->acceptMode(), QFileDialog::AcceptSave);
    EXPECT_EQ(dialog->defaultSuffix(), "qsw");
    EXPECT_FALSE(dialog->testOption(QFileDialog::DontConfirmOverwrite));
    EXPECT_EQ(dialog->nameFilters(), (QStringList{"QSW Files (*.qsw)", "All Files (*)"}));
    static_cast<QDialog*>(dialog)->accept();  // the Save button, with the proposed name
  });
  const auto saved = prompt.SaveFileName(request);
  ASSERT_TRUE(saved.has_value());
  EXPECT_EQ(QString::fromStdString(*saved), folder.filePath("switch1.qsw"));

  WhenShown<QFileDialog>([](QFileDialog* dialog) { dialog->reject(); });
  EXPECT_FALSE(prompt.SaveFileName(request).has_value());

  // The name with its suffix now exists: saving asks first, and No keeps the dialog open.
  QFile existing(folder.filePath("switch1.qsw"));
  ASSERT_TRUE(existing.open(QIODevice::WriteOnly));
  existing.close();
  bool asked = false;
  WhenShown<QFileDialog>([&asked](QFileDialog* dialog) {
    QTimer::singleShot(0, [&asked, dialog] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      asked = box != nullptr && box->text().contains("switch1.qsw");
      if (box) box->button(QMessageBox::No)->click();
      QTimer::singleShot(0, dialog, [dialog] {
        EXPECT_TRUE(dialog->isVisible());
        dialog->reject();
      });
    });
    static_cast<QDialog*>(dialog)->accept();
  });
  EXPECT_FALSE(prompt.SaveFileName(request).has_value());
  EXPECT_TRUE(asked);
}

TEST(QtPromptTest, OpenDialogTakesExistingFilesOnly) {
  EnsureQtApp();
  QtPrompt prompt;
  WhenShown<QFileDialog>([](QFileDialog* dialog) {
    EXPECT_EQ(dialog->acceptMode(), QFileDialog::AcceptOpen);
    EXPECT_EQ(dialog->fileMode(), QFileDialog::ExistingFile);
    dialog->reject();
  });
  EXPECT_FALSE(prompt.OpenFileName({}).has_value());
}

}  // namespace
}  // namespace brisfell::testing
