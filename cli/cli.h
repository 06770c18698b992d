// brisfell-cli: the engine and the page logic from the command line.
//
// How to add a command
// --------------------
// Put it in a cli/cmd_*.cpp file that registers itself:
//
//   CommandRegistrar registrar([](Commands& c) {
//     static std::string ports;                       // the parsed arguments live on
//     CLI::App* cmd = c.Add(c.Group("show"), "trunks", "Show the trunk groups",
//                           Needs::kSwitch, [](Session& s) { return ShowTrunks(s); });
//     cmd->add_option("ports", ports, "PORTLIST, e.g. 1-4,9,G1")->required()->check(PortListCheck());
//   });
//
// - Arguments are checked while parsing (NumberCheck, PortCheck, PortListCheck in parse.h), so a
//   malformed one is a usage error (exit 2) before a frame is sent. What depends on the switch
//   (its port range, its trunk groups) is checked in the body with s.Ports()/PortsOn()/
//   NumberArg(), which throw UsageError; do that before the first write.
// - `Needs` says what is ready when the body runs: kSwitch (the --switch switch is current,
//   reached by one directed hello when it is known), kTable (a full discovery), kEngine
//   (adapters listed) or kNothing. The body never selects the switch itself.
// - Output goes through s.out(): List() for a page's list with a Schema of snake_case keys and
//   typed values (documented in dist/man/brisfell-cli.1), Changed()/NothingToDo() for what a
//   write did (DiffLists() of the page's list before and after is the usual way), Note() for
//   notices on stderr, Error() for failures. Never print JSON yourself.
// - Return kExitOk, kExitFailed or kExitUsage, or throw UsageError / Failure. A page operation's
//   outcome (Outcome, VlanOutcome) becomes an exit status in ExitStatusFor(), nowhere else.
// - Write commands (`writes` = true in Add) honour --dry-run without doing anything:
//   the session holds the set frames back, answers reads of those registers with what was
//   "written", prints the writes, and checks after a real write that every plain-settings
//   register written reads back as written (exit 1 with expected and found values otherwise).
// - Add the command and its JSON to dist/man/brisfell-cli.1; a test checks that every
//   registered command is described there.
#pragma once

#include <CLI/CLI.hpp>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "cli/completion.h"
#include "cli/output.h"
#include "cli/parse.h"
#include "cli/wire_tap.h"
#include "engine/engine.h"
#include "pages/common/outcome.h"
#include "pages/common/page_context.h"
#include "pages/common/prompt.h"
#include "pages/common/table.h"
#include "pages/vlan/vlan_config.h"

namespace brisfell::cli {

enum ExitStatus { kExitOk = 0, kExitFailed = 1, kExitUsage = 2 };

// The operation failed (exit 1); the message says why.
struct Failure : std::runtime_error {
  explicit Failure(const std::string& message, Json details = {})
      : std::runtime_error(message), details(std::move(details)) {}
  Json details;
};

struct GlobalOptions {
  std::string adapter;              // --adapter/-a NAME|INDEX
  std::string switchSelector;       // --switch/-s MAC|INDEX (default: switch 0)
  std::string key;                  // --key 0xNNNN: the key of the --switch MAC
  std::string database = "qswrec.dat";  // --db FILE
  bool sim = false;                 // --sim [SCENARIO]
  std::string simScenario;          //   "" for the built-in scenario
  std::string simState;             // --sim-state FILE
  std::string pcapPath;             // --pcap FILE
  bool json = false;                // --json/-j
  bool brief = false;               // --brief/-b
  std::string color = "auto";       // --color auto|always|never
  bool dryRun = false;              // --dry-run
  bool yes = false;                 // --yes: answer Yes to every question
  std::string timeoutMs;            // --timeout MS: how long one register read may take
  std::string retries;              // --retries N: gets asked again per register
};

// Answers questions from --yes (No otherwise), turns boxes into notices or errors, refuses
// file dialogs unless a file name was given with SetNextFileName.
class CliPrompt : public Prompt {
 public:
  CliPrompt(const GlobalOptions& options, Output& out) : options_(options), out_(out) {}
  void Message(const std::string& title, const std::string& text, PromptIcon icon) override;
  bool AskYesNo(const std::string& title, const std::string& text, PromptIcon icon) override;
  std::optional<std::string> SaveFileName(const FileDialogRequest& request) override;
  std::optional<std::string> OpenFileName(const FileDialogRequest& request) override;
  void SetNextFileName(std::string name) { nextFile_ = std::move(name); }
  // Whether an error box was shown (commands exit 1 after a refusal).
  bool ErrorShown() const { return errorShown_; }

 private:
  const GlobalOptions& options_;
  Output& out_;
  std::optional<std::string> nextFile_;
  bool errorShown_ = false;
};

// What a command needs ready before its body runs.
enum class Needs {
  kNothing,
  kEngine,  // the engine with the adapters listed
  kTable,   // a full discovery on the adapter
  kSwitch,  // the --switch switch current: one directed hello when it is known, else discovery
  kSwitchInTable,  // the --switch switch current after a full discovery (topology)
};

class Session {
 public:
  explicit Session(GlobalOptions& options);
  ~Session();

  GlobalOptions& Options() { return options_; }
  Output& out() { return out_; }

  // The engine with adapters enumerated (no discovery yet); nullptr after printing why.
  Engine* OpenEngine();
  // OpenEngine, select the adapter and run discovery; false after printing why.
  bool Discover();
  // Makes the --switch switch current. A MAC that the switch database or --key gives a key for
  // is reached by one directed hello (unless `fullTable`); anything else runs discovery.
  // False after printing why.
  bool SelectSwitch(bool fullTable = false);
  // Whether the switch was reached without a discovery.
  bool ReachedDirectly() const;
  // Whether a real adapter's driver was used (its sockets are still open until exit).
  bool UsedRealAdapter() const;

  Engine& engine();
  CliPrompt& prompt();
  PageContext& context();
  // The current switch's record (SelectSwitch first).
  const SwitchRecord& Record();
  int lastDiscoveryResult() const { return lastDiscoveryResult_; }

  // Ports named on the command line, checked against the current switch (UsageError otherwise).
  int Port(const std::string& text);
  std::vector<int> Ports(const std::string& text);

  // Set frames the command sent, or held back with --dry-run.
  const std::vector<WireWrite>& Writes() const;

  // A failure: "brisfell-cli: MESSAGE" on stderr, or {"error": MESSAGE} with --json.
  void Error(const std::string& message, const Json& details = {});

  // Ends the command: with --dry-run reports the writes held back; otherwise reads back the
  // plain-settings registers written, saves the switch database and the --sim-state file
  // (not after a usage error); prints the JSON document. Returns the final exit status.
  int Finish(int status);

 private:
  struct Impl;
  bool ResolveAdapter(int& adapter);
  bool PrepareDatabase(bool withKeyRecord);
  int VerifyWrites();
  void AdapterOpenFailed(int adapter);
  GlobalOptions& options_;
  Output out_;
  std::unique_ptr<Impl> impl_;
  int lastDiscoveryResult_ = 0;
};

// What a command does once its arguments are parsed and what it needs is ready.
using CommandBody = std::function<int(Session&)>;

struct CommandInfo {
  std::string path;  // "port", "show status", "vlan add"
  std::string help;
  Needs needs = Needs::kSwitch;
  bool writes = false;
};

// Where command files add their commands (see "How to add a command" above).
class Commands {
 public:
  Commands(CLI::App& app, Session& session) : app_(app), session_(session) {}
  CLI::App& App() { return app_; }
  Session& session() { return session_; }

  // A parent of several commands ("show", "vlan"), created once with its fixed help text.
  CLI::App* Group(const std::string& name);
  // A command `name` under `parent` (&App() for the top level or a Group). Its arguments are
  // added to the returned subcommand. `check`, when given, runs before anything is prepared
  // and throws UsageError for arguments that only make sense together (a range and a count).
  CLI::App* Add(CLI::App* parent, const std::string& name, const std::string& help, Needs needs, CommandBody body,
                bool writes = false, std::function<void()> check = {});

  // The settings words a command takes after its fixed arguments, for completion.
  void Keywords(const CLI::App* command, KeywordGrammar grammar) { keywords_[command] = std::move(grammar); }
  const std::map<const CLI::App*, KeywordGrammar>& AllKeywords() const { return keywords_; }

  // Every command's full path, in registration order ("--commands" prints them).
  const std::vector<CommandInfo>& All() const { return all_; }
  // The command chosen on the command line, after parsing; nullptr when none.
  const CommandInfo* Chosen() const { return chosen_; }
  // Prepares what the chosen command needs and runs it; UsageError and Failure become exit 2
  // and 1. Returns the exit status before Session::Finish.
  int RunChosen();

 private:
  CLI::App& app_;
  Session& session_;
  std::vector<CommandInfo> all_;
  std::vector<CommandBody> bodies_;
  std::vector<std::function<void()>> checks_;
  std::map<const CLI::App*, KeywordGrammar> keywords_;
  const CommandInfo* chosen_ = nullptr;
  size_t chosenIndex_ = 0;
};

using CommandSetup = std::function<void(Commands&)>;
struct CommandRegistrar {
  explicit CommandRegistrar(CommandSetup setup);
};
std::vector<CommandSetup>& CommandSetups();

// The help texts of the command groups, in one place.
std::string GroupHelp(const std::string& name);

// The exit status for a page operation's outcome, after reporting it (failures as errors,
// nothing to do as such). The one place that maps page outcomes to exit statuses.
int ExitStatusFor(Session& s, const Outcome& outcome);
int ExitStatusFor(Session& s, VlanOutcome outcome);

// What a failed read tells the operator: the engine's own account of it (the switch, the
// register, how many tries in how long) when it has one, else `generic`; then `consequence`
// ("nothing was written") after a semicolon.
std::string ReadFailure(Session& s, const std::string& generic, const std::string& consequence = "");

// How a report says that a frame went out: under --dry-run it did not.
inline const char* Sent(Session& s) { return s.Options().dryRun ? "held back (dry run)" : "sent"; }

// The packet driver for real adapters; null (after setting `why`) when this build has none.
std::unique_ptr<PacketDriver> CreateRealDriver(std::string& why);

}  // namespace brisfell::cli
