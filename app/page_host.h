// A group of pages behind its own tab control. The host object and its pages live for the
// whole process; the host's window exists only while its group is shown, and of its pages
// only the one on the selected tab has a window. Whatever brings a page on screen creates
// its window afresh, so the page reads the current switch again.
#pragma once

#include <QPointer>
#include <QString>
#include <QTabWidget>
#include <memory>
#include <vector>

#include "pages/common/page.h"

namespace brisfell {

class PageHost {
 public:
  PageHost(QString name, std::vector<QString> tabCaptions);
  virtual ~PageHost();
  PageHost(const PageHost&) = delete;
  PageHost& operator=(const PageHost&) = delete;

  const QString& Name() const { return name_; }
  int TabCount() const { return static_cast<int>(captions_.size()); }
  const QString& TabCaption(int k) const { return captions_[k]; }

  // Pages are added in tab order, one for every tab, before the first window is created.
  void AddPage(std::unique_ptr<Page> page);
  int PageCount() const { return static_cast<int>(pages_.size()); }
  Page* GetPage(int k) const;

  // Builds the tabs and shows page 0; a host always starts on its first tab.
  QWidget* CreateWindow(QWidget* parent);
  // Destroys the current page's window and the host's.
  void DestroyWindow();
  QWidget* Window() const { return window_; }
  QTabWidget* Tabs() const { return tabs_; }
  int WindowsCreated() const { return windowsCreated_; }
  // Width the host's tab bar needs to show every caption in full.
  int TabBarWidthHint() const;

  // Destroys the current page's window and creates page k's; selects tab k.
  void ShowPage(int k);
  int CurrentPageIndex() const { return current_; }
  Page* CurrentPage() const { return GetPage(current_); }

 protected:
  // A host with a single tab has nothing to switch to.
  virtual bool FollowsTabSelection() const { return true; }

 private:
  QString name_;
  std::vector<QString> captions_;
  std::vector<std::unique_ptr<Page>> pages_;
  QPointer<QWidget> window_;
  QPointer<QTabWidget> tabs_;
  std::vector<QPointer<QWidget>> slots_;
  int current_ = -1;
  int windowsCreated_ = 0;
};

class StatusHost : public PageHost {
 public:
  StatusHost();
};

class ConfigurationHost : public PageHost {
 public:
  ConfigurationHost();
};

class SecurityHost : public PageHost {
 public:
  SecurityHost();

 protected:
  bool FollowsTabSelection() const override { return false; }
};

class SystemHost : public PageHost {
 public:
  SystemHost();
};

}  // namespace brisfell
