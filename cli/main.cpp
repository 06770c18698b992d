// brisfell-cli: exit status 0 on success, 1 when the operation failed, 2 on a usage error.
#include <iostream>

#include "cli/cli.h"

int main(int argc, char** argv) {
  using namespace brisfell::cli;
  CLI::App app{"brisfell-cli: manage RRCP switches from the command line", "brisfell-cli"};
  GlobalOptions options;
  app.add_option("-a,--adapter", options.adapter, "Adapter by name or index (default: the first)");
  app.add_option("-s,--switch", options.switchSelector, "Switch by MAC or index (default: switch 0)");
  CLI::Option* sim = app.add_option("--sim", options.simScenario,
                                    "Use the emulated segment (the built-in scenario without a file)")
                         ->expected(0, 1);
  app.add_option("--pcap", options.pcapPath, "Record every frame sent and received (pcap)");
  app.add_flag("--json", options.json, "Machine-readable output");
  app.add_flag("-y,--yes", options.yes, "Answer Yes to every question");
  app.require_subcommand(1);
  // Global options may also follow the command ("show vlans --json"); subcommands inherit this.
  app.fallthrough();

  Session session(options);
  CommandAction run;
  for (auto& setup : CommandSetups()) setup(app, session, run);

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    const int code = app.exit(e);
    return code == 0 ? kExitOk : kExitUsage;
  }
  options.sim = sim->count() > 0;
  if (!run) {
    std::cerr << app.help();
    return kExitUsage;
  }
  return run();
}
