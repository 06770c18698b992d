#include <cstdio>
#include <iostream>
#include <nlohmann/json.hpp>

#include "cli/cli.h"
#include "sim/pcap_writer.h"
#include "sim/recording_driver.h"
#include "sim/scenario.h"
#include "sim/segment.h"

namespace brisfell::cli {

// ---------------------------------------------------------------- registration

std::vector<CommandSetup>& CommandSetups() {
  static std::vector<CommandSetup> setups;
  return setups;
}

CommandRegistrar::CommandRegistrar(CommandSetup setup) { CommandSetups().push_back(std::move(setup)); }

CLI::App* SharedSubcommand(CLI::App& app, const std::string& name, const std::string& description) {
  // get_subcommand throws when there is none (CLI11 2.1 has no non-throwing look-up).
  for (CLI::App* existing : app.get_subcommands([&](CLI::App* s) { return s->get_name() == name; }))
    return existing;
  CLI::App* sub = app.add_subcommand(name, description);
  sub->require_subcommand(1);
  return sub;
}

// ---------------------------------------------------------------- parsing helpers

std::optional<uint32_t> ParseNumber(const std::string& text) {
  if (text.empty()) return std::nullopt;
  size_t used = 0;
  unsigned long long v = 0;
  try {
    v = std::stoull(text, &used, 0);
  } catch (...) {
    return std::nullopt;
  }
  // stoull takes a leading minus sign as wrap-around; a negative number is not a register.
  if (used != text.size() || text[0] == '-' || v > 0xFFFFFFFFull) return std::nullopt;
  return static_cast<uint32_t>(v);
}

std::optional<int> ParsePort(const std::string& text, int portCount) {
  if (text.empty()) return std::nullopt;
  int position = -1;
  if (text[0] == 'G' || text[0] == 'g') {
    auto n = ParseNumber(text.substr(1));
    if (!n || *n < 1 || *n > 2) return std::nullopt;
    position = 23 + static_cast<int>(*n);
  } else {
    auto n = ParseNumber(text);
    if (!n || *n < 1 || *n > 24) return std::nullopt;
    position = static_cast<int>(*n) - 1;
  }
  if (position >= portCount) return std::nullopt;
  return position;
}

std::optional<std::vector<int>> ParsePortList(const std::string& text, int portCount) {
  std::vector<int> out;
  size_t start = 0;
  while (start <= text.size()) {
    size_t comma = text.find(',', start);
    std::string item = text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
    size_t dash = item.find('-');
    if (dash == std::string::npos) {
      auto p = ParsePort(item, portCount);
      if (!p) return std::nullopt;
      out.push_back(*p);
    } else {
      auto a = ParsePort(item.substr(0, dash), portCount);
      auto b = ParsePort(item.substr(dash + 1), portCount);
      if (!a || !b || *a > *b) return std::nullopt;
      for (int p = *a; p <= *b; ++p) out.push_back(p);
    }
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  std::sort(out.begin(), out.end());
  out.erase(std::unique(out.begin(), out.end()), out.end());
  if (out.empty()) return std::nullopt;
  return out;
}

// ---------------------------------------------------------------- prompt

void CliPrompt::Message(const std::string& title, const std::string& text, PromptIcon icon) {
  if (icon == PromptIcon::Error) errorShown_ = true;
  std::string line = text;
  while (!line.empty() && line.back() == '\n') line.pop_back();
  for (auto& c : line)
    if (c == '\n') c = ' ';
  std::cerr << (title.empty() ? std::string(kApplicationTitle) : title) << ": " << line << "\n";
}

bool CliPrompt::AskYesNo(const std::string& title, const std::string& text, PromptIcon) {
  if (options_.yes) return true;
  std::cerr << title << ":\n" << text << "\n(answered No; pass --yes to proceed)\n";
  return false;
}

std::optional<std::string> CliPrompt::SaveFileName(const FileDialogRequest&) {
  auto name = std::move(nextFile_);
  nextFile_.reset();
  return name;
}

std::optional<std::string> CliPrompt::OpenFileName(const FileDialogRequest&) {
  auto name = std::move(nextFile_);
  nextFile_.reset();
  return name;
}

// ---------------------------------------------------------------- session

struct Session::Impl {
  explicit Impl(const GlobalOptions& options) : prompt(options) {}
  std::unique_ptr<Clock> clock;
  std::unique_ptr<sim::Segment> segment;
  std::unique_ptr<PacketDriver> realDriver;
  // --pcap: every frame through the driver also goes to the file (both outlive the engine).
  std::unique_ptr<sim::PcapWriter> pcapWriter;
  std::unique_ptr<sim::RecordingDriver> recorder;
  PacketDriver* driver = nullptr;
  std::unique_ptr<Engine> engine;
  CliPrompt prompt;
  std::unique_ptr<PageContext> context;
  bool discovered = false;
  bool selected = false;
};

Session::Session(GlobalOptions& options) : options_(options), impl_(std::make_unique<Impl>(options)) {}
Session::~Session() = default;

void Session::Error(const std::string& message) { std::cerr << "brisfell-cli: " << message << "\n"; }

Engine* Session::OpenEngine() {
  if (impl_->engine) return impl_->engine.get();
  if (options_.sim) {
    // The emulated segment runs on virtual time: scripts don't wait a real second per discovery.
    auto clock = std::make_unique<sim::VirtualClock>();
    try {
      sim::Scenario scenario =
          options_.simScenario.empty() ? sim::DefaultScenario() : sim::LoadScenarioFile(options_.simScenario);
      impl_->segment = std::make_unique<sim::Segment>(scenario, *clock);
    } catch (const std::exception& e) {
      Error(std::string("cannot load scenario: ") + e.what());
      return nullptr;
    }
    impl_->driver = impl_->segment.get();
    impl_->clock = std::move(clock);
  } else {
    std::string why;
    impl_->realDriver = CreateRealDriver(why);
    if (!impl_->realDriver) {
      Error(why.empty() ? "no packet driver available" : why);
      return nullptr;
    }
    impl_->driver = impl_->realDriver.get();
    impl_->clock = std::make_unique<SystemClock>();
  }
  if (!options_.pcapPath.empty()) {
    impl_->pcapWriter = std::make_unique<sim::PcapWriter>();
    if (!impl_->pcapWriter->Open(options_.pcapPath)) {
      Error("cannot record to " + options_.pcapPath + ": " + impl_->pcapWriter->LastError());
      return nullptr;
    }
    // Sent frames are stamped on the session's clock, like the capture headers of the
    // emulated segment; a real adapter's frames carry wall-clock time on both sides.
    impl_->recorder = std::make_unique<sim::RecordingDriver>(*impl_->driver, *impl_->pcapWriter,
                                                             options_.sim ? impl_->clock.get() : nullptr);
    impl_->driver = impl_->recorder.get();
  }
  impl_->engine = std::make_unique<Engine>(*impl_->driver, *impl_->clock);
  impl_->engine->SetErrorNotifier([this](const std::string& m) { impl_->prompt.Message("", m, PromptIcon::Error); });
  impl_->context = std::make_unique<PageContext>(PageContext{*impl_->engine, impl_->prompt});
  if (impl_->engine->EnumerateAdapters() < 0) {
    Error("the packet driver cannot list the adapters");
    impl_->engine.reset();
    return nullptr;
  }
  return impl_->engine.get();
}

bool Session::Discover() {
  if (impl_->discovered) return true;
  Engine* engine = OpenEngine();
  if (!engine) return false;
  int adapter = 0;
  if (!options_.adapter.empty()) {
    adapter = -1;
    for (int i = 0; i < engine->AdapterCount(); ++i)
      if (engine->AdapterName(i) == options_.adapter) adapter = i;
    if (adapter < 0) {
      auto n = ParseNumber(options_.adapter);
      if (n && static_cast<int>(*n) < engine->AdapterCount()) adapter = static_cast<int>(*n);
    }
    if (adapter < 0) {
      Error("no such adapter: " + options_.adapter + " (see 'brisfell-cli adapters')");
      return false;
    }
  } else if (engine->AdapterCount() == 0) {
    Error("no adapter found (see 'brisfell-cli adapters')");
    return false;
  }
  lastDiscoveryResult_ = engine->DiscoverSwitches(adapter, true);
  if (lastDiscoveryResult_ < 0) {
    const std::string why = engine->LastAdapterError();
    const std::string name = engine->AdapterName(adapter);
    // The driver's reasons usually name the interface already.
    if (why.rfind(name + ":", 0) == 0)
      Error("cannot open adapter " + why);
    else
      Error("cannot open adapter " + name + (why.empty() ? "" : ": " + why));
    return false;
  }
  impl_->discovered = true;
  return true;
}

bool Session::SelectSwitch() {
  if (impl_->selected) return true;
  if (!Discover()) return false;
  Engine& e = *impl_->engine;
  int index = -1;
  const std::string& sel = options_.switchSelector;
  if (sel.empty()) {
    index = e.SwitchCount() > 0 ? 0 : -1;
  } else if (auto mac = ParseMac(sel)) {
    for (int i = 0; i < e.SwitchCount(); ++i)
      if (e.GetSwitchRecord(i)->mac == *mac) index = i;
  } else if (auto n = ParseNumber(sel)) {
    if (static_cast<int>(*n) < e.SwitchCount()) index = static_cast<int>(*n);
  }
  if (index < 0) {
    Error(sel.empty() ? "no switch found on the adapter" : "no such switch: " + sel);
    return false;
  }
  e.SetCurrentSwitchIndex(index);
  impl_->selected = true;
  return true;
}

Engine& Session::engine() { return *impl_->engine; }
CliPrompt& Session::prompt() { return impl_->prompt; }
PageContext& Session::context() { return *impl_->context; }

void Session::PrintTable(const Table& table) {
  if (options_.json) {
    nlohmann::json j;
    j["columns"] = table.columns;
    j["rows"] = table.rows;
    std::cout << j.dump() << "\n";
    return;
  }
  std::vector<size_t> width(table.columns.size(), 0);
  for (size_t c = 0; c < table.columns.size(); ++c) width[c] = table.columns[c].size();
  for (const auto& row : table.rows)
    for (size_t c = 0; c < row.size() && c < width.size(); ++c) width[c] = std::max(width[c], row[c].size());
  auto line = [&](const std::vector<std::string>& cells) {
    std::string out;
    for (size_t c = 0; c < cells.size(); ++c) {
      out += cells[c];
      if (c + 1 < cells.size()) out += std::string(width[c] - std::min(width[c], cells[c].size()) + 2, ' ');
    }
    std::cout << out << "\n";
  };
  line(table.columns);
  for (const auto& row : table.rows) line(row);
}

}  // namespace brisfell::cli
