// Base of every page. The page object lives for the whole process; its window is created
// when its tab is shown and destroyed when another tab (or group, or switch) is chosen.
// Creating the window builds the controls and then initialises the page, which by default
// refreshes it: that is how every page reads the current switch whenever it comes on screen.
#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>

#include "pages/common/page_context.h"

namespace brisfell {

class Page {
 public:
  Page(PageContext& context, QString caption);
  virtual ~Page();
  Page(const Page&) = delete;
  Page& operator=(const Page&) = delete;

  const QString& Caption() const { return caption_; }

  // Creates the window as a child of `parent`, builds the controls and initialises the page.
  QWidget* CreateWindow(QWidget* parent);
  void DestroyWindow();
  QWidget* Window() const { return window_; }
  // How many windows this page has had (tests check that nothing is rebuilt needlessly).
  int WindowsCreated() const { return windowsCreated_; }

 protected:
  // Fills the freshly created, empty window with the page's controls.
  virtual void BuildControls(QWidget* window) = 0;
  // Runs once the controls exist; pages read the switch here.
  virtual void Initialise() { Refresh(); }
  virtual void Refresh() {}

  // Both an adapter and a switch are current; otherwise pages show nothing and send nothing.
  bool Ready() const { return context_.Ready(); }

  PageContext& context_;

 private:
  QString caption_;
  QPointer<QWidget> window_;
  int windowsCreated_ = 0;
};

// Shows the wait cursor while a blocking engine operation runs.
class BusyCursor {
 public:
  BusyCursor();
  ~BusyCursor();
  BusyCursor(const BusyCursor&) = delete;
  BusyCursor& operator=(const BusyCursor&) = delete;
};

}  // namespace brisfell
