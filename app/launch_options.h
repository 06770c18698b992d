// The command line of the brisfell program.
#pragma once

#include <QString>
#include <QStringList>

namespace brisfell {

struct LaunchOptions {
  bool simulate = false;     // list the emulated segment as one more adapter
  QString scenarioFile;      // with simulate: the scenario to emulate; empty for the built-in one
  QString screenshotsDir;    // with simulate: write a picture of every view here, then exit
  QString faults;            // with simulate: the segment's faults, as brisfell-sim --faults takes them
  bool helpOrVersion = false;  // the parser printed help or the version: exit at once
};

// Parses the arguments (argv[0] first). False with a message on a command line that makes no
// sense; help and version are printed here and reported through helpOrVersion.
bool ParseLaunchOptions(const QStringList& arguments, LaunchOptions& options, QString& error);

}  // namespace brisfell
