#include "app/launch_options.h"

#include <QCommandLineParser>
#include <cstdio>

namespace brisfell {

bool ParseLaunchOptions(const QStringList& arguments, LaunchOptions& options, QString& error) {
  QCommandLineParser parser;
  parser.setApplicationDescription("Ardune Brisfell Remote Management Tool");
  const QCommandLineOption help = parser.addHelpOption();
  const QCommandLineOption version = parser.addVersionOption();
  const QCommandLineOption simulate(
      "simulate", "Also list the emulated switch segment as an adapter: the built-in scenario, or SCENARIO.");
  const QCommandLineOption screenshots(
      "screenshots", "With --simulate: choose the emulated adapter, save a PNG of every view into DIR, and exit.",
      "DIR");
  const QCommandLineOption faults(
      "faults", "With --simulate: faults of the emulated segment, as key=value pairs (drop=0.1,replyDelayMs=300).",
      "FAULTS");
  parser.addOption(simulate);
  parser.addOption(screenshots);
  parser.addOption(faults);
  parser.addPositionalArgument("scenario", "Scenario file of the emulated segment (with --simulate).", "[SCENARIO]");

  if (!parser.parse(arguments)) {
    error = parser.errorText();
    return false;
  }
  const bool wantsHelp = parser.isSet(help) || parser.isSet("help-all");
  if (wantsHelp || parser.isSet(version)) {
    const QString text = wantsHelp ? parser.helpText()
                                            : QString("%1 %2\n").arg("brisfell", "3.30");
    std::fputs(text.toLocal8Bit().constData(), stdout);
    options.helpOrVersion = true;
    return true;
  }
  options.simulate = parser.isSet(simulate);
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
  if (parser.isSet(screenshots)) {
    if (!options.simulate) {
      error = "--screenshots needs --simulate.";
      return false;
    }
    options.screenshotsDir = parser.value(screenshots);
    if (options.screenshotsDir.isEmpty()) {
      error = "--screenshots needs a directory.";
      return false;
    }
  }
  if (parser.isSet(faults)) {
    if (!options.simulate) {
      error = "--faults needs --simulate.";
      return false;
    }
    options.faults = parser.value(faults);
  }
  return true;
}

}  // namespace brisfell
