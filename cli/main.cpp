// brisfell-cli: exit status 0 on success, 1 when the operation failed, 2 on a usage error.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <iostream>

#include "cli/cli.h"

#ifndef BRISFELL_VERSION
#define BRISFELL_VERSION "unknown"
#endif

namespace {

using namespace brisfell::cli;

bool WantsJson(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--json" || a == "-j") return true;
  }
  return false;
}

// Colour on stdout: always, never, or (auto) on a terminal unless NO_COLOR or TERM=dumb.
bool ColorOn(const std::string& when, int fd) {
  if (when == "always") return true;
  if (when == "never") return false;
  const char* term = std::getenv("TERM");
  return ::isatty(fd) && !std::getenv("NO_COLOR") && !(term && std::string(term) == "dumb");
}

// The deepest subcommand the command line reached.
CLI::App* Reached(CLI::App& app) {
  CLI::App* at = &app;
  for (;;) {
    auto parsed = at->get_subcommands();
    if (parsed.empty()) return at;
    at = parsed.front();
  }
}

std::vector<std::string> Choices(CLI::App* at) {
  std::vector<std::string> names;
  for (CLI::App* sub : at->get_subcommands([](CLI::App*) { return true; })) names.push_back(sub->get_name());
  std::sort(names.begin(), names.end());
  return names;
}

std::string Joined(const std::vector<std::string>& words) {
  std::string out;
  for (const auto& w : words) out += (out.empty() ? "" : ", ") + w;
  return out;
}

// The command's words ("show status").
std::string PathOf(const CLI::App* at) {
  std::string path = at->get_name();
  for (const CLI::App* p = at->get_parent(); p && p->get_parent(); p = p->get_parent()) path = p->get_name() + " " + path;
  return path;
}

// The options a command itself takes ("--vid"), for a word it does not know.
std::vector<std::string> OwnOptions(const CLI::App* at) {
  std::vector<std::string> names;
  for (const CLI::Option* o : at->get_options())
    if (!o->get_positional() && o != at->get_help_ptr() && !o->get_lnames().empty()) names.push_back("--" + o->get_lnames().front());
  return names;
}

// A command or page that is missing (`word` empty) or unknown: the message lists the choices.
// A word a command without subcommands does not take names the command and its options.
int ChoiceFailure(Output& out, CLI::App& app, const std::string& word) {
  CLI::App* at = Reached(app);
  auto choices = Choices(at);
  std::string text;
  if (at == &app) {
    text = (word.empty() ? "no command given" : "unknown command: " + word) + " (commands: " + Joined(choices) + ")";
  } else if (choices.empty()) {
    choices = OwnOptions(at);
    const bool option = word.size() > 1 && word[0] == '-';
    text = "'" + PathOf(at) + "' takes no " + (option ? "option " : "argument ") + word + " (" +
           (choices.empty() ? std::string("it has no options of its own") : "its options: " + Joined(choices)) +
           "; see 'brisfell-cli " + PathOf(at) + " --help')";
  } else {
    text = "'" + PathOf(at) + "' " + (word.empty() ? "needs one of: " : "has no " + word + "; choose one of: ") +
           Joined(choices);
  }
  Json details = Json::object();
  details["choices"] = choices;
  out.Error(text, details);
  if (!out.Json()) std::cerr << "Run with --help for more information.\n";
  out.Finish();
  return kExitUsage;
}

// Closing a packet socket waits for the kernel's RCU grace period, often 10 to 30 ms: longer
// than a whole command for a known switch. The caller of a command need not wait for it: a
// child that shares the sockets holds them until this process has exited (the pipe's end
// closes then) and releases them on its own time. It keeps no standard stream open, so a
// pipeline ends with the command.
void ReleaseSocketsAfterExit() {
  std::fflush(nullptr);
  int exited[2];
  if (::pipe(exited) != 0) return;
  const pid_t pid = ::fork();
  if (pid < 0) {
    ::close(exited[0]);
    ::close(exited[1]);
    return;
  }
  if (pid > 0) {
    ::close(exited[0]);  // the write end closes when this process exits
    return;
  }
  ::close(exited[1]);
  const int null = ::open("/dev/null", O_RDWR);
  if (null >= 0)
    for (int fd = 0; fd <= 2; ++fd) ::dup2(null, fd);
  ::setsid();
  char c = 0;
  while (::read(exited[0], &c, 1) < 0 && errno == EINTR) {
  }
  ::_exit(0);
}

// The command line with "--sim WORD" settled: WORD is the scenario only when it names an
// existing file or ends in .json ("--sim shwo status" keeps "shwo" a command word). A bare
// --sim is taken out (the parser would take the next word as its value) and reported in `bare`.
std::vector<std::string> SettleSim(int argc, char** argv, bool& bare) {
  std::vector<std::string> args(argv, argv + argc);
  bare = false;
  for (size_t i = 1; i < args.size(); ++i) {
    if (args[i] == "--") break;
    if (args[i] != "--sim") continue;
    if (i + 1 < args.size() && IsScenarioWord(args[i + 1])) {
      args[i] = "--sim=" + args[i + 1];
      args.erase(args.begin() + static_cast<std::ptrdiff_t>(i) + 1);
    } else {
      bare = true;
      args.erase(args.begin() + static_cast<std::ptrdiff_t>(i));
      --i;
    }
  }
  return args;
}

int UsageFailure(Output& out, const std::string& message) {
  out.Error(message);
  if (!out.Json()) std::cerr << "Run with --help for more information.\n";
  out.Finish();
  return kExitUsage;
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"brisfell-cli: manage RRCP switches from the command line", "brisfell-cli"};
  GlobalOptions options;
  bool listCommands = false;
  app.set_version_flag("-V,--version", std::string("brisfell-cli ") + BRISFELL_VERSION);
  app.add_option("-a,--adapter", options.adapter, "Adapter by name or index (default: the first)")
      ->type_name("ADAPTER|INDEX");
  app.add_option("-s,--switch", options.switchSelector, "Switch by MAC or index (default: switch 0)")
      ->check(CLI::Validator(
          [](std::string& text) -> std::string {
            if (brisfell::ParseMac(text) || ParseNumber(text)) return {};
            return "bad switch: " + text + " (a MAC address such as 02:0B:F1:00:00:01, or an index from 0)";
          },
          ""))
      ->type_name("MAC|INDEX");
  app.add_option("--key", options.key, "Authentication key of the --switch MAC, e.g. 0x1234 (not yet in the database)")
      ->check(NumberCheck("key", 0, 0xFFFF))
      ->type_name("KEY");
  app.add_option("--db", options.database, "Switch database file (default: qswrec.dat in the current directory)")
      ->type_name("FILE");
  CLI::Option* sim = app.add_option("--sim", options.simScenario,
                                    "Use the emulated segment: the built-in scenario, or SCENARIO when the next "
                                    "word names a file or ends in .json")
                         ->expected(0, 1)
                         ->type_name("[SCENARIO]");
  app.add_option("--sim-state", options.simState,
                 "With --sim: load the emulated switches' registers and EEPROM from FILE, save them after")
      ->type_name("FILE");
  app.add_option("--pcap", options.pcapPath, "Record every frame sent and received (pcap)")->type_name("FILE");
  app.add_flag("-j,--json", options.json, "Typed JSON output (keys in the man page)");
  app.add_flag("-b,--brief", options.brief, "Brief lists: the main columns, no header");
  app.add_option("--color,--colour", options.color, "Colour: auto (on a terminal), always, never")
      ->check(CLI::IsMember({"auto", "always", "never"}))
      ->type_name("WHEN");
  app.add_option("--timeout", options.timeoutMs,
                 brisfell::Format("How long one register read may take, in ms (default %u; EEPROM operations %ux as long)",
                                  brisfell::kRegisterTimeoutMs, brisfell::kEepromTimeoutMs / brisfell::kRegisterTimeoutMs))
      ->check(NumberCheck("timeout", 10, 60'000))
      ->type_name("MS");
  app.add_option("--retries", options.retries,
                 brisfell::Format("How often an unanswered get is asked again (default %d)", brisfell::kRegisterTries - 1))
      ->check(NumberCheck("retries", 0, 100))
      ->type_name("N");
  app.add_flag("--dry-run", options.dryRun, "Print the writes a command would make; send none");
  app.add_flag("-y,--yes", options.yes, "Answer Yes to every question");
  app.add_flag("--commands", listCommands, "List every command, one a line")->group("");
  // Global options may also follow the command ("show vlans --json"); subcommands inherit this.
  app.fallthrough();

  Session session(options);
  Output& out = session.out();
  out.SetStyle({WantsJson(argc, argv), false, false, false});
  Commands commands(app, session);
  for (auto& setup : CommandSetups()) setup(commands);

  // brisfell-cli --complete WORD... CURRENT: what may follow, for the shell's completion.
  if (argc >= 2 && std::string(argv[1]) == "--complete") {
    std::vector<std::string> typed(argv + 2, argv + argc);
    const std::string current = typed.empty() ? "" : typed.back();
    if (!typed.empty()) typed.pop_back();
    for (const auto& c : CompletionCandidates(app, commands.AllKeywords(), typed, current)) std::cout << c << "\n";
    return kExitOk;
  }

  bool bareSim = false;
  std::vector<std::string> settled = SettleSim(argc, argv, bareSim);
  std::vector<char*> settledArgv;
  for (auto& a : settled) settledArgv.push_back(a.data());
  try {
    app.parse(static_cast<int>(settledArgv.size()), settledArgv.data());
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForAllHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForVersion& e) {
    return app.exit(e);
  } catch (const CLI::ExtrasError&) {
    // An unknown word where a command or page was expected.
    const auto extras = app.remaining();
    return ChoiceFailure(out, app, extras.empty() ? "?" : extras.front());
  } catch (const CLI::ParseError& e) {
    return UsageFailure(out, e.what());
  }
  options.sim = sim->count() > 0 || bareSim;
  out.SetStyle({options.json, !options.json && ColorOn(options.color, STDOUT_FILENO), options.brief && !options.json,
                ColorOn(options.color, STDERR_FILENO)});

  if (listCommands) {
    for (const auto& c : commands.All()) std::cout << c.path << "\n";
    return kExitOk;
  }
  if (!commands.Chosen()) return ChoiceFailure(out, app, "");
  if (!options.key.empty() && !brisfell::ParseMac(options.switchSelector))
    return UsageFailure(out, "--key needs the switch's MAC address in --switch");
  if (!options.simState.empty() && !options.sim)
    return UsageFailure(out, "--sim-state needs --sim");

  int status = kExitFailed;
  try {
    status = commands.RunChosen();
  } catch (const std::exception& e) {
    session.Error(e.what());
    status = kExitFailed;
  }
  status = session.Finish(status);
  if (session.UsedRealAdapter()) ReleaseSocketsAfterExit();
  return status;
}
