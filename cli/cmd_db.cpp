// Switch database commands: db list, db add, db remove. They work on the --db file (which
// --dry-run leaves as it is).
#include "cli/cli.h"
#include "engine/no_wire_driver.h"
#include "pages/security/device_security_logic.h"
#include "pages/security/switch_keys.h"

namespace brisfell::cli {
namespace {

const Schema& KeySchema() {
  static const Schema schema = {{"mac"}, {"auth_key", NumberValue}, {"answered", FlagValue("yes", "no")}};
  return schema;
}

// The --db file itself, as loaded now.
struct DatabaseFile {
  explicit DatabaseFile(Session& s) : engine(wire, clock) {
    engine.SetErrorNotifier([&s](const std::string& m) { s.out().Note(m); });
    engine.SetDatabasePath(s.Options().database);
    engine.LoadSwitchDatabase();
  }
  NoWireDriver wire;  // editing the file needs no adapter, nor the right to open one
  SystemClock clock;
  Engine engine;
};

Mac MacArg(const std::string& text) { return *ParseMac(text); }  // checked while parsing

int List(Session& s) {
  // Discovery has just saved what it found; the list is what the file now holds.
  s.out().List("switches", SwitchKeyTable(SwitchKeyEntries(s.engine()), true), KeySchema());
  return kExitOk;
}

int Add(Session& s, const std::string& macText, const std::string& keyText) {
  DatabaseFile file(s);
  Engine& e = file.engine;
  const Mac mac = MacArg(macText);
  const uint16_t key = *ParseKeyText(keyText);
  std::optional<uint16_t> was;
  for (const auto& rec : e.DatabaseRecords())
    if (rec.mac == mac) was = KeyValue(rec.key);
  if (was == key) {
    s.out().NothingToDo(FormatMac(mac) + ": already remembered with key " + KeyText(key) + "; nothing to change");
    return kExitOk;
  }
  if (!s.Options().dryRun && !e.RememberSwitch(mac, KeyBytesOf(key)))
    throw Failure("the switch database " + e.DatabasePath() + " could not be saved");
  Change c;
  c.subject = FormatMac(mac);
  c.where = Json::object();
  c.where["mac"] = FormatMac(mac);
  if (was) {
    c.setting = "auth_key";
    c.before = KeyText(*was);
    c.after = KeyText(key);
    c.beforeValue = *was;
    c.afterValue = key;
  } else {
    c.kind = Change::Kind::kAdded;
    c.row = Json::object();
    c.row["mac"] = FormatMac(mac);
    c.row["auth_key"] = key;
  }
  s.out().Changed(c);
  return kExitOk;
}

int Remove(Session& s, const std::string& macText) {
  DatabaseFile file(s);
  Engine& e = file.engine;
  const Mac mac = MacArg(macText);
  std::optional<uint16_t> was;
  for (const auto& rec : e.DatabaseRecords())
    if (rec.mac == mac) was = KeyValue(rec.key);
  if (!was) throw Failure(FormatMac(mac) + " is not in the switch database " + e.DatabasePath());
  if (!s.Options().dryRun && !e.ForgetSwitch(mac))
    throw Failure("the switch database " + e.DatabasePath() + " could not be saved");
  Change c;
  c.kind = Change::Kind::kRemoved;
  c.subject = FormatMac(mac);
  c.where = Json::object();
  c.where["mac"] = FormatMac(mac);
  c.row = Json::object();
  c.row["mac"] = FormatMac(mac);
  c.row["auth_key"] = *was;
  s.out().Changed(c);
  return kExitOk;
}

CLI::Validator MacCheck() {
  return CLI::Validator(
      [](std::string& t) -> std::string { return ParseMac(t) ? std::string() : "bad MAC address: " + t; }, "MAC");
}

CLI::Validator KeyCheck() {
  return CLI::Validator(
      [](std::string& t) -> std::string {
        return ParseKeyText(t) ? std::string() : "bad key: " + t + " (0x and four hexadecimal digits)";
      },
      "0xNNNN");
}

struct Args {
  std::string mac;
  std::string key;
};

CommandRegistrar registrar([](Commands& c) {
  static Args a;
  CLI::App* db = c.Group("db");
  c.Add(db, "list", "Discover, then list the switch database: MAC, key, and whether the switch answered",
        Needs::kTable, List);
  CLI::App* add = c.Add(
      db, "add", "Remember a switch's key (for a switch whose key was set elsewhere)", Needs::kNothing,
      [](Session& s) { return Add(s, a.mac, a.key); });
  add->add_option("mac", a.mac, "The switch's MAC address")->required()->check(MacCheck());
  add->add_option("key", a.key, "Its key: 0xNNNN")->required()->check(KeyCheck());
  c.Add(db, "remove", "Forget a switch and its key", Needs::kNothing, [](Session& s) { return Remove(s, a.mac); })
      ->add_option("mac", a.mac, "The switch's MAC address")
      ->required()
      ->check(MacCheck());
});

}  // namespace
}  // namespace brisfell::cli
