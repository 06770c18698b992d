#include "app/launch_options.h"

#include <QCommandLineParser>
#include <cstdio>

namespace brisfell {
namespace {

// The program's options, for the full parse and for the early look before the application.
struct LaunchParser {
  QCommandLineParser parser;
  QCommandLineOption help = parser.addHelpOption();
  QCommandLineOption version = parser.addVersionOption();
  QCommandLineOption simulate{
      "simulate", "Also list the emulated switch segment as an adapter: the built-in scenario, or SCENARIO."};
  QCommandLineOption screenshots{
      "screenshots", "With --simulate: choose the emulated adapter, save a PNG of every view into DIR, and exit.",
      "DIR"};
  QCommandLineOption faults{
      "faults", "With --simulate: faults of the emulated segment, as key=value pairs (drop=0.1,replyDelayMs=300).",
      "FAULTS"};

  LaunchParser() {
    parser.setApplicationDescription("Ardune Brisfell Remote Management Tool");
    parser.addOption(simulate);
    parser.addOption(screenshots);
    parser.addOption(faults);
    parser.addPositionalArgument("scenario", "Scenario file of the emulated segment (with --simulate).", "[SCENARIO]");
  }

  // Prints the help or the version when either was asked for; true then.
  bool PrintHelpOrVersion() {
    const bool wantsHelp = parser.isSet(help) || parser.isSet("help-all");
    if (!wantsHelp && !parser.isSet(version)) return false;
    const QString text = wantsHelp ? parser.helpText() : QString("%1 %2\n").arg("brisfell", "3.30");
    std::fputs(text.toLocal8Bit().constData(), stdout);
    return true;
  }
};

}  // namespace

EarlyLaunch PreflightLaunchOptions(const QStringList& arguments) {
  LaunchParser p;
  // Errors (and the toolkit's own options, unknown here) are left for ParseLaunchOptions.
  p.parser.parse(arguments);
  if (p.PrintHelpOrVersion()) return EarlyLaunch::kPrinted;
  if (p.parser.isSet(p.screenshots)) return EarlyLaunch::kScreenshots;
  for (const QString& a : arguments)
    if (a == "-platform" || a.startsWith("-platform=")) return EarlyLaunch::kPlatformGiven;
  return EarlyLaunch::kRun;
}

bool ParseLaunchOptions(const QStringList& arguments, LaunchOptions& options, QString& error) {
  LaunchParser p;
  QCommandLineParser& parser = p.parser;
  if (!parser.parse(arguments)) {
    error = parser.errorText();
    return false;
  }
  if (p.PrintHelpOrVersion()) {
    options.helpOrVersion = true;
    return true;
  }
  options.simulate = parser.isSet(p.simulate);
  const QStringList positional = parser.positionalArguments();
  if (positional.size() > 1) {
    error = "Only one scenario file can be given.";
    return false;
  }
  if (!positional.isEmpty()) {
    if (!options.simulate) {
      error = "A scenario file needs --simulate.";
      return false;
    }
    options.scenarioFile = positional.first();
  }
  if (parser.isSet(p.screenshots)) {
    if (!options.simulate) {
      error = "--screenshots needs --simulate.";
      return false;
    }
    options.screenshotsDir = parser.value(p.screenshots);
    if (options.screenshotsDir.isEmpty()) {
      error = "--screenshots needs a directory.";
      return false;
    }
  }
  if (parser.isSet(p.faults)) {
    if (!options.simulate) {
      error = "--faults needs --simulate.";
      return false;
    }
    options.faults = parser.value(p.faults);
  }
  return true;
}

}  // namespace brisfell
