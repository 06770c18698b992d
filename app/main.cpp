// brisfell: the desktop console. Lists the adapters (and with --simulate the emulated
// segment), and runs until its main window is closed.
#include <QApplication>
#include <QCoreApplication>
#include <cstdio>
#include <cstdlib>

#include "app/app_session.h"
#include "app/artwork.h"
#include "app/launch_options.h"
#include "app/screenshots.h"

namespace {

// Without a display the toolkit aborts when the application is made: say what to do instead.
bool HasDisplay() {
  return qEnvironmentVariableIsSet("QT_QPA_PLATFORM") || qEnvironmentVariableIsSet("DISPLAY") ||
         qEnvironmentVariableIsSet("WAYLAND_DISPLAY");
}

}  // namespace

int main(int argc, char** argv) {
  brisfell::EarlyLaunch early = brisfell::EarlyLaunch::kRun;
  {
    // A core application needs no display; the help text takes the program's name from it.
    QCoreApplication probe(argc, argv);
    early = brisfell::PreflightLaunchOptions(QCoreApplication::arguments());
  }
  switch (early) {
    case brisfell::EarlyLaunch::kPrinted:
      return 0;
    case brisfell::EarlyLaunch::kScreenshots:
      qputenv("QT_QPA_PLATFORM", "offscreen");
      break;
    case brisfell::EarlyLaunch::kPlatformGiven:
      break;
    case brisfell::EarlyLaunch::kRun:
      if (!HasDisplay()) {
        std::fprintf(stderr,
                     "brisfell: no display (DISPLAY and WAYLAND_DISPLAY are not set). Run it on a desktop, or use "
                     "brisfell-cli; 'brisfell --simulate --screenshots DIR' works without one.\n");
        return 1;
      }
      break;
  }
  QApplication app(argc, argv);
  QApplication::setApplicationName("brisfell");
  QApplication::setApplicationVersion("3.30");
  QApplication::setWindowIcon(brisfell::ApplicationIcon());

  brisfell::LaunchOptions options;
  QString error;
  if (!brisfell::ParseLaunchOptions(QApplication::arguments(), options, error)) {
    std::fprintf(stderr, "brisfell: %s\n", error.toLocal8Bit().constData());
    return 2;
  }
  if (options.helpOrVersion) return 0;

  auto session = brisfell::AppSession::Create(options, error);
  if (!session) {
    std::fprintf(stderr, "brisfell: %s\n", error.toLocal8Bit().constData());
    return 1;
  }

  if (!options.screenshotsDir.isEmpty()) {
    // The offscreen platform says it cannot pass size hints on, once per window: not news here.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& message) {
      if (message.contains("propagateSizeHints")) return;
      std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
      if (type == QtFatalMsg) std::abort();
    });
    // The adapters are listed on the engine thread; the pictures wait for each step.
    session->Jobs().WaitIdle();
    const int adapter = session->EmulatedAdapterIndex();
    if (adapter < 0) {
      std::fprintf(stderr, "brisfell: the emulated segment is not among the adapters\n");
      return 1;
    }
    QStringList written;
    if (!brisfell::TakeScreenshots(session->Window(), adapter, options.screenshotsDir, written, error)) {
      std::fprintf(stderr, "brisfell: %s\n", error.toLocal8Bit().constData());
      return 1;
    }
    std::printf("%lld pictures written to %s\n", static_cast<long long>(written.size()),
                options.screenshotsDir.toLocal8Bit().constData());
    return 0;
  }

  session->Window().show();
  return QApplication::exec();
}
