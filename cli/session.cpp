#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <map>
#include <set>

#include "cli/cli.h"
#include "engine/safe_file.h"
#include "sim/pcap_writer.h"
#include "sim/recording_driver.h"
#include "sim/scenario.h"
#include "sim/segment.h"
#include "sim/state_file.h"

namespace brisfell::cli {
namespace {

std::string Hex(uint32_t v, int digits) { return Format("0x%0*X", digits, v); }

// The line of a message box as one line of text.
std::string OneLine(std::string text) {
  while (!text.empty() && text.back() == '\n') text.pop_back();
  for (auto& c : text)
    if (c == '\n') c = ' ';
  return text;
}

}  // namespace

// ---------------------------------------------------------------- registration

std::vector<CommandSetup>& CommandSetups() {
  static std::vector<CommandSetup> setups;
  return setups;
}

CommandRegistrar::CommandRegistrar(CommandSetup setup) { CommandSetups().push_back(std::move(setup)); }

std::string GroupHelp(const std::string& name) {
  if (name == "show") return "Show a page's list";
  if (name == "vlan") return "Add, edit and delete VLANs; delete them all or set home VLANs";
  if (name == "config") return "Configuration files: save, load, show, and compare with the switch";
  return "Commands for " + name;
}

CLI::App* Commands::Group(const std::string& name) {
  // get_subcommand throws when there is none (CLI11 2.1 has no non-throwing look-up).
  for (CLI::App* existing : app_.get_subcommands([&](CLI::App* s) { return s->get_name() == name; }))
    return existing;
  return app_.add_subcommand(name, GroupHelp(name));
}

CLI::App* Commands::Add(CLI::App* parent, const std::string& name, const std::string& help, Needs needs,
                        CommandBody body, bool writes, std::function<void()> check) {
  CLI::App* sub = parent->add_subcommand(name, help);
  std::string path = name;
  for (CLI::App* p = parent; p && p != &app_; p = p->get_parent()) path = p->get_name() + " " + path;
  all_.push_back({path, help, needs, writes});
  bodies_.push_back(std::move(body));
  checks_.push_back(std::move(check));
  const size_t index = all_.size() - 1;
  sub->callback([this, index] {
    chosen_ = &all_[index];
    chosenIndex_ = index;
  });
  return sub;
}

int Commands::RunChosen() {
  if (!chosen_) return kExitUsage;
  Session& s = session_;
  try {
    if (checks_[chosenIndex_]) checks_[chosenIndex_]();
    bool ready = true;
    switch (chosen_->needs) {
      case Needs::kNothing: break;
      case Needs::kEngine: ready = s.OpenEngine() != nullptr; break;
      case Needs::kTable: ready = s.Discover(); break;
      case Needs::kSwitch: ready = s.SelectSwitch(false); break;
      case Needs::kSwitchInTable: ready = s.SelectSwitch(true); break;
    }
    if (!ready) return kExitFailed;
    return bodies_[chosenIndex_](s);
  } catch (const UsageError& e) {
    s.Error(e.what());
    return kExitUsage;
  } catch (const Failure& e) {
    s.Error(e.what(), e.details);
    return kExitFailed;
  }
}

// ---------------------------------------------------------------- outcomes

std::string ReadFailure(Session& s, const std::string& generic, const std::string& consequence) {
  const std::string& why = s.engine().LastFailure();
  return (why.empty() ? generic : why) + (consequence.empty() ? "" : "; " + consequence);
}

int ExitStatusFor(Session& s, const Outcome& outcome) {
  switch (outcome.kind) {
    case OutcomeKind::Done:
      if (!outcome.message.empty()) s.out().Note(outcome.message);
      return kExitOk;
    case OutcomeKind::NothingToDo:
      s.out().NothingToDo(outcome.message.empty() ? "nothing to change" : outcome.message);
      return kExitOk;
    case OutcomeKind::Refused:
      // The page's own message box may have said it already.
      if (!s.out().HasError()) s.Error(outcome.message.empty() ? "refused; nothing was written" : outcome.message);
      return kExitFailed;
    case OutcomeKind::ReadFailed:
      s.Error(outcome.message.empty() ? ReadFailure(s, "reading the switch's registers failed") : outcome.message);
      return kExitFailed;
    case OutcomeKind::Declined:
      s.Error("answered No; nothing was written (pass --yes to proceed)");
      return kExitFailed;
  }
  return kExitFailed;
}

int ExitStatusFor(Session& s, VlanOutcome outcome) {
  switch (outcome) {
    case VlanOutcome::kWritten:
      return kExitOk;
    case VlanOutcome::kReadFailed:
      s.Error(ReadFailure(s, "reading the VLAN registers failed", "nothing was written"));
      return kExitFailed;
    case VlanOutcome::kWriteFailed:
      s.Error("the adapter cannot be opened for register access");
      return kExitFailed;
    case VlanOutcome::kNothing:
      s.Error("no switch is selected");
      return kExitFailed;
    case VlanOutcome::kDeclined:
      s.Error("answered No; nothing was written (pass --yes to proceed)");
      return kExitFailed;
    case VlanOutcome::kRefused:
    case VlanOutcome::kNoSelection:
      // The page's message was the error.
      if (!s.out().HasError()) s.Error("refused; nothing was written");
      return kExitFailed;
  }
  return kExitFailed;
}

// ---------------------------------------------------------------- prompt

void CliPrompt::Message(const std::string& title, const std::string& text, PromptIcon icon) {
  const std::string line = OneLine(text);
  if (icon == PromptIcon::Error) {
    errorShown_ = true;
    Json details = Json::object();
    details["title"] = title.empty() ? std::string(kApplicationTitle) : title;
    out_.Error(line, details);
    return;
  }
  out_.Note(line);
}

bool CliPrompt::AskYesNo(const std::string& title, const std::string& text, PromptIcon) {
  if (options_.yes) return true;
  std::cerr << title << ":\n" << text << "\n";
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
  Impl(const GlobalOptions& options, Output& out) : prompt(options, out) {}
  ~Impl() {
    if (!databaseCopy.empty()) ::unlink(databaseCopy.c_str());
  }
  std::unique_ptr<Clock> clock;
  std::optional<sim::Scenario> scenario;
  std::unique_ptr<sim::Segment> segment;
  std::unique_ptr<PacketDriver> realDriver;
  // --pcap: every frame through the driver also goes to the file (both outlive the engine).
  std::unique_ptr<sim::PcapWriter> pcapWriter;
  std::unique_ptr<sim::RecordingDriver> recorder;
  std::unique_ptr<WireTap> tap;
  std::unique_ptr<Engine> engine;
  CliPrompt prompt;
  std::unique_ptr<PageContext> context;
  int adapter = -1;
  bool discovered = false;
  bool selected = false;
  bool direct = false;
  // The switch database the engine works on during the command: a copy of --db, saved back
  // only when the command ends without a usage error.
  std::string databaseCopy;
  bool databaseFailed = false;  // the switch database could not be read or written
};

Session::Session(GlobalOptions& options) : options_(options), impl_(std::make_unique<Impl>(options, out_)) {}
Session::~Session() = default;

void Session::Error(const std::string& message, const Json& details) { out_.Error(message, details); }

Engine* Session::OpenEngine() {
  if (impl_->engine) return impl_->engine.get();
  PacketDriver* driver = nullptr;
  if (options_.sim) {
    // The emulated segment runs on virtual time: scripts don't wait a real second per discovery.
    auto clock = std::make_unique<sim::VirtualClock>();
    try {
      impl_->scenario =
          options_.simScenario.empty() ? sim::DefaultScenario() : sim::LoadScenarioFile(options_.simScenario);
      impl_->segment = std::make_unique<sim::Segment>(*impl_->scenario, *clock);
    } catch (const std::exception& e) {
      Error(std::string("cannot load scenario: ") + e.what());
      return nullptr;
    }
    std::string why;
    if (!options_.simState.empty() && !sim::LoadSegmentState(*impl_->segment, options_.simState, why)) {
      Error("cannot load the emulator state: " + why);
      impl_->segment.reset();
      return nullptr;
    }
    driver = impl_->segment.get();
    impl_->clock = std::move(clock);
  } else {
    std::string why;
    impl_->realDriver = CreateRealDriver(why);
    if (!impl_->realDriver) {
      Error(why.empty() ? "no packet driver available" : why);
      return nullptr;
    }
    driver = impl_->realDriver.get();
    impl_->clock = std::make_unique<SystemClock>();
  }
  if (!options_.pcapPath.empty()) {
    impl_->pcapWriter = std::make_unique<sim::PcapWriter>();
    if (!impl_->pcapWriter->Open(options_.pcapPath)) {
      Error("cannot record to " + impl_->pcapWriter->LastError());  // the error starts with the path
      return nullptr;
    }
    // Sent frames are stamped on the session's clock, like the capture headers of the
    // emulated segment; a real adapter's frames carry wall-clock time on both sides.
    impl_->recorder = std::make_unique<sim::RecordingDriver>(*driver, *impl_->pcapWriter,
                                                             options_.sim ? impl_->clock.get() : nullptr);
    driver = impl_->recorder.get();
  }
  // Outermost, so that frames --dry-run holds back never reach the recording.
  impl_->tap = std::make_unique<WireTap>(*driver);
  impl_->tap->SetDryRun(options_.dryRun);
  impl_->engine = std::make_unique<Engine>(*impl_->tap, *impl_->clock);
  LinkSettings link;
  if (auto ms = ParseNumber(options_.timeoutMs)) link.timeoutMs = static_cast<unsigned>(*ms);
  if (auto n = ParseNumber(options_.retries)) link.tries = static_cast<int>(*n) + 1;
  impl_->engine->SetLinkSettings(link);
  impl_->engine->SetErrorNotifier([this](const std::string& m) {
    impl_->databaseFailed = true;
    out_.Note(OneLine(m));
  });
  impl_->context = std::make_unique<PageContext>(PageContext{*impl_->engine, impl_->prompt});
  if (impl_->engine->EnumerateAdapters() < 0) {
    Error("the packet driver cannot list the adapters");
    impl_->engine.reset();
    return nullptr;
  }
  return impl_->engine.get();
}

bool Session::ResolveAdapter(int& adapter) {
  if (impl_->adapter >= 0) {
    adapter = impl_->adapter;
    return true;
  }
  Engine& engine = *impl_->engine;
  adapter = 0;
  if (!options_.adapter.empty()) {
    adapter = -1;
    for (int i = 0; i < engine.AdapterCount(); ++i)
      if (engine.AdapterName(i) == options_.adapter) adapter = i;
    if (adapter < 0) {
      auto n = ParseNumber(options_.adapter);
      if (n && static_cast<int>(*n) < engine.AdapterCount()) adapter = static_cast<int>(*n);
    }
    if (adapter < 0) {
      Error("no such adapter: " + options_.adapter + " (see 'brisfell-cli adapters')");
      return false;
    }
  } else if (engine.AdapterCount() == 0) {
    Error("no adapter found (see 'brisfell-cli adapters')");
    return false;
  }
  impl_->adapter = adapter;
  return true;
}

bool Session::PrepareDatabase(bool withKeyRecord) {
  if (!impl_->databaseCopy.empty()) return true;
  std::string pattern = "/tmp/brisfell-cli-db-XXXXXX";
  const int fd = ::mkstemp(pattern.data());
  if (fd < 0) {
    Error("cannot make a working copy of the switch database in /tmp");
    return false;
  }
  impl_->databaseCopy = pattern;
  // Only a regular file is copied: a link could lead to a private file whose bytes would go out
  // as MACs and keys, a FIFO would never end. Without its database the console may address
  // the wrong switches, so a file that cannot be read fails the command.
  std::vector<uint8_t> bytes;
  std::string why;
  struct stat st {};
  if (::lstat(options_.database.c_str(), &st) == 0 || errno != ENOENT) {
    if (!ReadRegularFile(options_.database, kMaxDatabaseFileBytes, bytes, why)) {
      Error(std::string(kOpenRecordFileFailed) + " " + why);
      impl_->databaseFailed = true;
      return false;
    }
  }
  // For a discovery, a switch named with --key is remembered for the directed phase, first.
  const auto mac = ParseMac(options_.switchSelector);
  if (withKeyRecord && !options_.key.empty() && mac) {
    const KeyBytes key = KeyBytesOf(static_cast<uint16_t>(*ParseNumber(options_.key)));
    std::vector<uint8_t> first(mac->begin(), mac->end());
    first.insert(first.end(), key.begin(), key.end());
    bytes.insert(bytes.begin(), first.begin(), first.end());
  }
  bool ok = true;
  for (size_t done = 0; done < bytes.size() && ok;) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    ok = n > 0;
    if (ok) done += static_cast<size_t>(n);
  }
  ::close(fd);
  if (!ok) {
    Error("cannot make a working copy of the switch database in /tmp");
    return false;
  }
  impl_->engine->SetDatabasePath(impl_->databaseCopy);
  return true;
}

// Why the adapter could not be had: another console, or what the driver said.
void Session::AdapterOpenFailed(int adapter) {
  const std::string why = impl_->engine->LastAdapterError();
  const std::string name = impl_->engine->AdapterName(adapter);
  if (why == AnotherConsoleMessage(name))
    Error(why);
  else if (why.rfind(name + ":", 0) == 0)  // the driver's reasons usually name the interface
    Error("cannot open adapter " + why);
  else
    Error("cannot open adapter " + name + (why.empty() ? "" : ": " + why));
}

bool Session::Discover() {
  if (impl_->discovered) return true;
  Engine* engine = OpenEngine();
  if (!engine) return false;
  int adapter = 0;
  if (!ResolveAdapter(adapter) || !PrepareDatabase(true)) return false;
  lastDiscoveryResult_ = engine->DiscoverSwitches(adapter, true);
  if (lastDiscoveryResult_ < 0) {
    AdapterOpenFailed(adapter);
    return false;
  }
  for (const std::string& warning : engine->DiscoveryWarnings()) out_.Note("warning: " + warning);
  // Without its database the console may address the wrong switches or lose their keys.
  if (impl_->databaseFailed) return false;
  impl_->discovered = true;
  impl_->direct = false;
  return true;
}

bool Session::SelectSwitch(bool fullTable) {
  if (impl_->selected && (!fullTable || impl_->discovered)) return true;
  Engine* e = OpenEngine();
  if (!e) return false;
  const std::string& sel = options_.switchSelector;
  const auto mac = sel.empty() ? std::nullopt : ParseMac(sel);

  if (mac && !fullTable) {
    int adapter = 0;
    if (!ResolveAdapter(adapter) || !PrepareDatabase(false)) return false;
    std::optional<KeyBytes> key;
    if (!options_.key.empty()) {
      key = KeyBytesOf(static_cast<uint16_t>(*ParseNumber(options_.key)));
    } else {
      e->LoadSwitchDatabase();
      for (const auto& rec : e->DatabaseRecords())
        if (rec.mac == *mac) key = rec.key;
    }
    if (key) {
      const int reached = e->ReachSwitch(adapter, *mac, *key);
      if (reached < 0) {
        AdapterOpenFailed(adapter);
        return false;
      }
      for (const std::string& warning : e->DiscoveryWarnings()) out_.Note("warning: " + warning);
      if (reached > 0) {
        // The database's remembered switches are kept when it is saved at the end.
        e->LoadSwitchDatabase();
        e->SetCurrentSwitchIndex(0);
        impl_->selected = impl_->direct = true;
        return true;
      }
      if (!options_.key.empty()) {
        Error(Format("switch %s did not answer a hello with key 0x%04X", FormatMac(*mac).c_str(), KeyValue(*key)));
        return false;
      }
      // A remembered switch that did not answer may have moved or changed its key: discover.
    }
  }

  if (!Discover()) return false;
  int index = -1;
  if (sel.empty()) {
    index = e->SwitchCount() > 0 ? 0 : -1;
  } else if (mac) {
    for (int i = 0; i < e->SwitchCount(); ++i)
      if (e->GetSwitchRecord(i)->mac == *mac) index = i;
  } else if (auto n = ParseNumber(sel)) {
    if (static_cast<int>(*n) < e->SwitchCount()) index = static_cast<int>(*n);
  }
  if (index < 0) {
    Error(sel.empty() ? "no switch found on the adapter" : "no such switch: " + sel);
    return false;
  }
  // An index names whichever switch answered in that place this time: say which one it is.
  if (!sel.empty() && !mac)
    out_.Note(Format("switch %d is %s (%s)", index, FormatMac(e->GetSwitchRecord(index)->mac).c_str(),
                     e->ModelName(index).c_str()));
  e->SetCurrentSwitchIndex(index);
  impl_->selected = true;
  return true;
}

bool Session::ReachedDirectly() const { return impl_->direct; }
bool Session::UsedRealAdapter() const { return impl_->realDriver != nullptr && impl_->adapter >= 0; }

Engine& Session::engine() { return *impl_->engine; }
CliPrompt& Session::prompt() { return impl_->prompt; }
PageContext& Session::context() { return *impl_->context; }

const SwitchRecord& Session::Record() {
  const SwitchRecord* r = impl_->engine ? impl_->engine->GetSwitchRecord(impl_->engine->CurrentSwitchIndex()) : nullptr;
  if (!r) throw Failure("no switch is selected");
  return *r;
}

int Session::Port(const std::string& text) { return PortOn(text, Record().portCount); }
std::vector<int> Session::Ports(const std::string& text) { return PortsOn(text, Record().portCount); }

const std::vector<WireWrite>& Session::Writes() const {
  static const std::vector<WireWrite> none;
  return impl_->tap ? impl_->tap->Writes() : none;
}

// Reads back every register of the switch's configuration list that the command wrote (the
// last value written to each) and compares the bits the list names.
int Session::VerifyWrites() {
  Engine& e = *impl_->engine;
  std::vector<std::pair<Mac, uint16_t>> order;
  std::map<std::pair<Mac, uint16_t>, uint32_t> last;
  for (const auto& w : impl_->tap->Writes()) {
    if (!w.sent) continue;
    const auto key = std::make_pair(w.mac, w.reg);
    if (!last.count(key)) order.push_back(key);
    last[key] = w.value;
  }
  Json mismatches = Json::array();
  std::vector<std::string> lines;
  bool opened = false;
  std::optional<AdapterIo> io;
  for (const auto& key : order) {
    int index = -1;
    for (int i = 0; i < e.SwitchCount(); ++i)
      if (e.GetSwitchRecord(i)->mac == key.first) index = i;
    const SwitchRecord* r = e.GetSwitchRecord(index);
    if (!r || !r->factoryDefaults) continue;
    uint32_t mask = 0;
    for (const auto& row : *r->factoryDefaults)
      if (row.reg == key.second) mask = row.mask;
    if (mask == 0) continue;  // not a plain setting: a command, a status or a key
    if (!opened) {
      io.emplace(e);
      opened = true;
    }
    uint32_t found = 0;
    const uint32_t expected = last[key] & mask;
    const bool read = e.ReadRegister(index, key.second, found, kRegisterTimeoutMs);
    if (read && (found & mask) == expected) continue;
    Json m = Json::object();
    m["mac"] = FormatMac(key.first);
    m["register"] = key.second;
    m["expected"] = expected;
    m["found"] = read ? Json(found & mask) : Json(nullptr);
    m["mask"] = mask;
    mismatches.push_back(m);
    lines.push_back(read ? Format("register 0x%04X: expected 0x%04X, found 0x%04X (bits 0x%04X)", key.second, expected,
                                  found & mask, mask)
                         : Format("register 0x%04X: expected 0x%04X, but it cannot be read back", key.second, expected));
  }
  if (mismatches.empty()) return kExitOk;
  Json details = Json::object();
  details["mismatches"] = mismatches;
  std::string message = "the switch did not take the write: " + lines.front();
  for (size_t i = 1; i < lines.size(); ++i) message += "; " + lines[i];
  Error(message, details);
  return kExitFailed;
}

// After a directed hello the database keeps its order (discovery numbers the switches in that
// order, so -s INDEX keeps its meaning): only the reached switch's key is brought up to date,
// or the switch is added at the end. An unchanged database is not rewritten.
void Session::SaveReachedSwitch() {
  const Engine& e = *impl_->engine;
  const SwitchRecord* reached = e.GetSwitchRecord(0);
  if (!reached) return;
  std::vector<uint8_t> bytes;
  bool found = false, changed = false;
  for (const auto& rec : e.DatabaseRecords()) {
    KeyBytes key = rec.key;
    if (rec.mac == reached->mac) {
      changed = changed || (!found && key != reached->authKey);
      if (!found) key = reached->authKey;
      found = true;
    }
    bytes.insert(bytes.end(), rec.mac.begin(), rec.mac.end());
    bytes.insert(bytes.end(), key.begin(), key.end());
  }
  if (!found) {
    bytes.insert(bytes.end(), reached->mac.begin(), reached->mac.end());
    bytes.insert(bytes.end(), reached->authKey.begin(), reached->authKey.end());
  }
  if (found && !changed) return;
  // Through a new private file of its own name, never through a link (see ReplaceFile).
  std::string why;
  if (!ReplaceFile(options_.database, bytes.data(), bytes.size(), why)) {
    impl_->databaseFailed = true;
    out_.Note(std::string(kOpenRecordFileFailed) + " " + why);
  }
}

int Session::Finish(int status) {
  const bool dryRun = impl_->tap && impl_->tap->DryRun();
  if (dryRun) {
    Json writes = Json::array();
    for (const auto& w : impl_->tap->Writes()) {
      Json j = Json::object();
      j["mac"] = FormatMac(w.mac);
      j["register"] = w.reg;
      j["value"] = w.value;
      writes.push_back(j);
      out_.Line(Format("dry run: would write %s to register %s of %s", Hex(w.value, 4).c_str(),
                       Hex(w.reg, 4).c_str(), FormatMac(w.mac).c_str()));
    }
    if (impl_->tap->Writes().empty()) out_.Line("dry run: nothing would be written");
    out_.Doc()["dry_run"] = true;
    out_.Doc()["writes"] = writes;
  } else if (status == kExitOk && impl_->tap && impl_->engine) {
    status = VerifyWrites();
  }
  if (status != kExitUsage && !dryRun && impl_->engine) {
    if (impl_->direct) {
      SaveReachedSwitch();
    } else if (impl_->discovered && !impl_->databaseCopy.empty()) {
      impl_->engine->SetDatabasePath(options_.database);
      impl_->engine->SaveSwitchDatabase();
    }
    // A database that could not be read or saved fails the command, whatever else it did.
    if (impl_->databaseFailed && status == kExitOk) status = kExitFailed;
    std::string why;
    if (impl_->segment && !options_.simState.empty() &&
        !sim::SaveSegmentState(*impl_->segment, *impl_->scenario, options_.simState, why))
      out_.Note("cannot save the emulator state: " + why);
  }
  out_.Finish();
  return status;
}

}  // namespace brisfell::cli
