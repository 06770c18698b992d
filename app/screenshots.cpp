#include "app/screenshots.h"

#include <QApplication>
#include <QDir>
#include <QPixmap>

#include "app/about_dialog.h"
#include "pages/vlan/tag_control_page.h"
#include "pages/vlan/vlan_config_page.h"
#include "app/network_map_window.h"
#include "app/security_audit_window.h"
#include "app/switch_keys_dialog.h"
#include "app/traffic_window.h"
#include "pages/status/mib_counter_page.h"

namespace brisfell {
namespace {

// Lets pending layout and paint requests run so the picture shows the finished window.
void Settle() {
  for (int i = 0; i < 3; ++i) QApplication::processEvents();
}

// The dialogs a page opens, pictured instead of run: the VLAN page's add and edit dialogs and
// the tag dialog, each on the first row. Cancelled, so nothing is written.
bool TakeDialogScreenshots(EngineJobs& jobs, Page* page, const QString& dir, const QString& prefix,
                           QStringList& written, QString& error) {
  bool ok = true;
  auto grab = [&](QDialog& dialog) {
    dialog.show();
    Settle();
    const QString path = QDir(dir).filePath(prefix + "-dialog-" + FileNamePart(dialog.windowTitle()) + ".png");
    if (dialog.grab().save(path, "PNG")) {
      written << path;
    } else {
      error = QString("Cannot write %1.").arg(path);
      ok = false;
    }
    return false;
  };
  auto firstRow = [](QTreeWidget* list) {
    if (list && list->topLevelItemCount() > 0) list->setCurrentItem(list->topLevelItem(0));
    return list && list->topLevelItemCount() > 0;
  };
  // Each dialog opens once its read is back.
  if (auto* vlan = dynamic_cast<VlanConfigPage*>(page)) {
    vlan->SetDialogRunner(grab);
    vlan->Button("Add Vlan")->click();
    jobs.WaitIdle();
    if (ok && firstRow(vlan->List())) vlan->Button("Edit Vlan")->click();
    jobs.WaitIdle();
    vlan->SetDialogRunner(ExecDialog);
  } else if (auto* tags = dynamic_cast<TagControlPage*>(page)) {
    tags->SetDialogRunner(grab);
    if (firstRow(tags->List())) tags->ConfigButton()->click();
    jobs.WaitIdle();
    tags->SetDialogRunner(ExecDialog);
  }
  return ok;
}

bool Save(QWidget& widget, const QString& dir, const QString& name, QStringList& written, QString& error) {
  Settle();
  const QString path = QDir(dir).filePath(name);
  if (!widget.grab().save(path, "PNG")) {
    error = QString("Cannot write %1.").arg(path);
    return false;
  }
  written << path;
  return true;
}

}  // namespace

QString FileNamePart(const QString& caption) {
  QString out;
  for (const QChar c : caption.toLower()) {
    if (c.isLetterOrNumber() && c.unicode() < 0x80) {
      out += c;
    } else if (!out.isEmpty() && !out.endsWith('-')) {
      out += '-';
    }
  }
  while (out.endsWith('-')) out.chop(1);
  return out;
}

bool TakeScreenshots(MainWindow& window, int adapter, const QString& dir, QStringList& written, QString& error) {
  if (!QDir().mkpath(dir)) {
    error = QString("Cannot create the directory %1.").arg(dir);
    return false;
  }
  EngineJobs& jobs = window.Jobs();
  window.show();
  jobs.WaitIdle();
  Settle();
  window.SelectAdapter(adapter);
  jobs.WaitIdle();
  const int switches = window.SwitchSelector()->count();
  if (switches == 0) {
    error = QString("No switch answered on the chosen adapter (%1).").arg(window.StatusText());
    return false;
  }
  for (int s = 0; s < switches; ++s) {
    window.SelectSwitch(s);
    for (int g = 0; g < window.GroupTabs()->count(); ++g) {
      window.ShowGroup(g);
      PageHost* host = window.CurrentHost();
      for (int t = 0; t < host->TabCount(); ++t) {
        if (t != host->CurrentPageIndex()) host->ShowPage(t);
        jobs.WaitIdle();
        Settle();
        const QString name = QString("sw%1-%2-%3-%4.png")
                                 .arg(s)
                                 .arg(FileNamePart(window.GroupTabs()->tabText(g)))
                                 .arg(t)
                                 .arg(FileNamePart(host->TabCaption(t)));
        const QString path = QDir(dir).filePath(name);
        if (!window.grab().save(path, "PNG")) {
          error = QString("Cannot write %1.").arg(path);
          return false;
        }
        written << path;
        const QString prefix = QString("sw%1-%2-%3").arg(s).arg(FileNamePart(window.GroupTabs()->tabText(g))).arg(t);
        if (!TakeDialogScreenshots(jobs, host->GetPage(t), dir, prefix, written, error)) return false;
      }
    }
  }

  // A page while its reads are under way: the engine thread is held after the first read of
  // the Port Status page of switch 0 (answered or not, on a lossy wire too), pictured, and
  // let go.
  window.SelectSwitch(0);
  jobs.WaitIdle();
  jobs.HoldAfterReads(1);
  window.CurrentHost()->ShowPage(1);
  if (!jobs.WaitHeld()) {
    error = "The Port Status page read nothing.";
    return false;
  }
  const bool busyShot = Save(window, dir, "sw0-status-1-port-status-busy.png", written, error);
  jobs.Release();
  jobs.WaitIdle();
  if (!busyShot) return false;
  // The live windows on switch 0: the network map, and the traffic window after as many
  // samples as it keeps (on the emulator's virtual time these take no time at all).
  NetworkMapWindow* map = window.ShowNetworkMap();
  jobs.WaitIdle();
  if (!map || !Save(*map, dir, "network-map.png", written, error)) return false;
  map->hide();
  TrafficWindow* traffic = window.ShowTraffic();
  if (!traffic) return false;
  jobs.WaitIdle();
  // The clock moves only while the engine thread has nothing to do.
  Clock& clock = window.GetEngine().GetClock();
  const int64_t samples = traffic->Recorder().KeepUs() / 1000 / traffic->IntervalMs();
  for (int64_t i = 0; i < samples; ++i) {
    clock.SleepMs(traffic->IntervalMs());
    traffic->SampleNow();
    jobs.WaitIdle();
  }
  if (!Save(*traffic, dir, "traffic.png", written, error)) return false;
  traffic->hide();

  // The MIB Counter page with auto refresh on: its rates after two readings.
  window.ShowGroup(0);
  PageHost* status = window.CurrentHost();
  status->ShowPage(2);
  jobs.WaitIdle();
  if (auto* mib = dynamic_cast<MibCounterPage*>(status->CurrentPage()); mib && mib->AutoRefresh()) {
    mib->AutoRefresh()->Box()->setChecked(true);
    jobs.WaitIdle();
    clock.SleepMs(mib->AutoRefresh()->IntervalMs());
    mib->AutoRefresh()->Tick();
    jobs.WaitIdle();
    if (!Save(window, dir, "sw0-status-2-mib-counter-auto-refresh.png", written, error)) return false;
    mib->AutoRefresh()->Box()->setChecked(false);
  }

  // The Tools menu's windows: the switch database's keys and the security audit, run.
  {
    SwitchKeysDialog keys(jobs, window.GetPrompt(), [] {}, &window);
    jobs.WaitIdle();
    if (!Save(keys, dir, "switch-keys.png", written, error)) return false;
    SecurityAuditWindow audit(window.GetEngine(), jobs, window.GetPrompt(), &window);
    audit.SetScenarioFile(window.ScenarioFile());
    audit.show();
    audit.Run();
    jobs.WaitIdle();
    if (!Save(audit, dir, "security-audit.png", written, error)) return false;
  }

  // The about box too, as the Help menu opens it.
  AboutDialog about(&window);
  about.show();
  Settle();
  const QString aboutPath = QDir(dir).filePath("about.png");
  if (!about.grab().save(aboutPath, "PNG")) {
    error = QString("Cannot write %1.").arg(aboutPath);
    return false;
  }
  written << aboutPath;
  return true;
}

}  // namespace brisfell
