// brisfell-cli: the engine and the page logic from the command line.
//
// Each cli/cmd_*.cpp file adds its subcommands through a CommandRegistrar; main() builds the
// CLI11 app, lets every registrar add its commands, parses, and runs the chosen one. A command
// asks the session for what it needs (the engine with the chosen switch current, a prompt
// that answers from --yes, table and JSON output) and returns its exit status.
#pragma once

#include <CLI/CLI.hpp>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "pages/common/page_context.h"
#include "pages/common/prompt.h"
#include "pages/common/table.h"

namespace brisfell::cli {

enum ExitStatus { kExitOk = 0, kExitFailed = 1, kExitUsage = 2 };

struct GlobalOptions {
  std::string adapter;              // --adapter/-a NAME|INDEX
  std::string switchSelector;       // --switch/-s MAC|INDEX (default: switch 0)
  bool sim = false;                 // --sim [SCENARIO]
  std::string simScenario;          //   "" for the built-in scenario
  std::string pcapPath;             // --pcap FILE
  bool json = false;                // --json
  bool yes = false;                 // --yes: answer Yes to every question
};

// Answers questions from --yes (No otherwise), prints boxes to stderr, refuses file dialogs
// unless a file name was given with SetNextFileName.
class CliPrompt : public Prompt {
 public:
  explicit CliPrompt(const GlobalOptions& options) : options_(options) {}
  void Message(const std::string& title, const std::string& text, PromptIcon icon) override;
  bool AskYesNo(const std::string& title, const std::string& text, PromptIcon icon) override;
  std::optional<std::string> SaveFileName(const FileDialogRequest& request) override;
  std::optional<std::string> OpenFileName(const FileDialogRequest& request) override;
  void SetNextFileName(std::string name) { nextFile_ = std::move(name); }
  // Whether an error box was shown (commands exit 1 after a refusal).
  bool ErrorShown() const { return errorShown_; }

 private:
  const GlobalOptions& options_;
  std::optional<std::string> nextFile_;
  bool errorShown_ = false;
};

class Session {
 public:
  explicit Session(GlobalOptions& options);
  ~Session();

  GlobalOptions& Options() { return options_; }

  // The engine with adapters enumerated (no discovery yet); nullptr after printing why.
  Engine* OpenEngine();
  // OpenEngine, select the adapter and run discovery (with the switch database in the
  // current directory, as the GUI does); false after printing why.
  bool Discover();
  // Discover, then make the --switch switch current; false after printing why.
  bool SelectSwitch();

  Engine& engine();
  CliPrompt& prompt();
  PageContext& context();
  int lastDiscoveryResult() const { return lastDiscoveryResult_; }

  // Prints a page's list: aligned columns, or {"columns":[...],"rows":[[...]]} with --json.
  void PrintTable(const Table& table);
  // One clear line on stderr.
  void Error(const std::string& message);

 private:
  struct Impl;
  GlobalOptions& options_;
  std::unique_ptr<Impl> impl_;
  int lastDiscoveryResult_ = 0;
};

// A command's work, run after parsing; returns the exit status.
using CommandAction = std::function<int()>;
// Adds subcommands to `app`; `run` is what the chosen subcommand does (set it from the
// subcommand's callback, or by calling SetAction).
using CommandSetup = std::function<void(CLI::App& app, Session& session, CommandAction& run)>;

struct CommandRegistrar {
  explicit CommandRegistrar(CommandSetup setup);
};
std::vector<CommandSetup>& CommandSetups();

// Makes `action` the work to run when subcommand `sub` is chosen.
inline void OnRun(CLI::App* sub, CommandAction& run, CommandAction action) {
  sub->callback([&run, action] { run = action; });
}
// The shared parent subcommand (e.g. "show"), created by whichever command file asks first.
CLI::App* SharedSubcommand(CLI::App& app, const std::string& name, const std::string& description);

// The packet driver for real adapters; null (after setting `why`) when this build has none.
std::unique_ptr<PacketDriver> CreateRealDriver(std::string& why);

// Parses a register or number written in decimal or with a 0x prefix.
std::optional<uint32_t> ParseNumber(const std::string& text);
// Parses a PORTLIST of shown port names and ranges ("1-4,9,G1") into 0-based positions,
// checked against the port count; nullopt when malformed.
std::optional<std::vector<int>> ParsePortList(const std::string& text, int portCount);
// Parses one port name ("7", "G2") into a 0-based position.
std::optional<int> ParsePort(const std::string& text, int portCount);

}  // namespace brisfell::cli
