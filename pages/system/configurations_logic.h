// The Configurations page's four actions: a switch's settings saved to and loaded from a
// configuration file, the factory default, and the settings saved into the switch's
// configuration EEPROM. Each takes the page context (and a progress callback) and returns what
// happened; the boxes and file dialogs go through the context's prompt.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "pages/common/outcome.h"
#include "pages/common/page_context.h"
#include "pages/system/config_file.h"

namespace brisfell {

inline constexpr const char* kConfigurationsCaption = "Configurations";
inline constexpr const char* kFileGroupCaption = "File:";
inline constexpr const char* kSwitchGroupCaption = "Switch:";
inline constexpr const char* kLoadFromFileText = "Load from File";
inline constexpr const char* kSaveToFileText = "Save to File";
inline constexpr const char* kFactoryDefaultText = "Factory Default";
inline constexpr const char* kSaveToHardwareText = "Save to Hardware";

inline constexpr const char* kErrorTitle = "Error";
inline constexpr const char* kOpenFileFailed = "Open file failed!";
inline constexpr const char* kGetRegisterFailed = "Get register failed!";
inline constexpr const char* kInvalidFileFormat = "Invalid file format!";
inline constexpr const char* kEepromReadFailed = "Eeprom read failed";
inline constexpr const char* kMacMismatchTitle = "MAC Address Mismatch";
inline constexpr const char* kConfigFileNameFormat = "adn_%02X_%02X_%02X_%02X_%02X_%02X.qsw";
inline constexpr const char* kConfigFileExtension = "qsw";
inline constexpr const char* kSaveToHardwareQuestion =
    "Only the Trunking, Igmp, QoS, Home VLAN and Ports Properties\n"
    "configurations can be saved.\n"
    "VLAN settings other than Home VLAN are not saved.\n"
    "Continue?";

// The switch whose key lives in EEPROM: its Save to Hardware asks nothing.
constexpr uint32_t kVendorSilentEepromSave = 0x6B2D7004;
// Save to Hardware is offered, and Factory Default goes through the EEPROM, up to this many ports.
constexpr int kMaxPortsWithEepromImage = 24;
// The factory default skips this register.
constexpr uint16_t kFactoryDefaultSkippedRegister = 0x0616;

// Called with 0 when an action starts talking to the switch (after its questions and file
// dialogs), then after each step: `done` of `total` steps.
using ProgressFn = std::function<void(int done, int total)>;

// The name the save dialog proposes for a switch.
std::string ProposedConfigFileName(const Mac& mac);
// The question a load asks when the file was taken from another switch.
std::string MacMismatchQuestion(const Mac& fileMac, const Mac& switchMac);
// Whether the page offers Save to Hardware for a switch of `portCount` ports.
inline bool SaveToHardwareOffered(int portCount) { return portCount <= kMaxPortsWithEepromImage; }

enum class ConfigOutcome {
  NotReady,          // no adapter or no switch: nothing happened
  Cancelled,         // the file dialog was cancelled
  OpenFileFailed,    // "Open file failed!" (also a file that could not be written or replaced)
  ReadFailed,        // "Get register failed!"
  InvalidFile,       // "Invalid file format!"
  Declined,          // the operator answered No
  Done,
};

struct SaveFileResult {
  ConfigOutcome outcome = ConfigOutcome::NotReady;
  std::string path;
  std::string problem;  // why the file could not be written, in words
  // This save's own rows: the model's list with the values just read (masked).
  std::vector<ConfigEntry> rows;
};

// A register whose value a load changed.
struct RegisterChange {
  uint16_t reg = 0;
  uint32_t before = 0;
  uint32_t after = 0;
  bool operator==(const RegisterChange&) const = default;
};

struct LoadFileResult {
  ConfigOutcome outcome = ConfigOutcome::NotReady;
  std::string path;
  std::string problem;  // why the file could not be read or is invalid, in words
  int entries = 0;      // entries in the file
  int written = 0;      // registers written (the soft reset not counted)
  std::vector<uint16_t> unread;  // registers left alone because their read failed
  std::vector<RegisterChange> changed;  // registers written with a value other than the one read
};

// Save to File: the file name comes from the prompt's save dialog. The file is written to a
// new file next to it and put in place only once the whole save succeeded; a link, FIFO,
// device or folder at that name is refused and left as it is.
SaveFileResult SaveConfigToFile(PageContext& ctx, const ProgressFn& progress = {});
// Load from File: the file name comes from the prompt's open dialog.
LoadFileResult LoadConfigFromFile(PageContext& ctx, const ProgressFn& progress = {});

enum class EepromOutcome {
  NotReady,           // no adapter or no switch
  NotOffered,         // more than 24 ports: the switch has no EEPROM image
  Declined,           // the operator answered No
  Saved,
  RegisterReadFailed,  // "Get register failed!"
  EepromReadFailed,    // "Eeprom read failed"
  EepromWriteFailed,   // "Eeprom write failed"
};

struct EepromSaveResult {
  EepromOutcome outcome = EepromOutcome::NotReady;
  int words = 0;         // map rows handled
  int wordsWritten = 0;  // of them, rows whose word had to be written
  uint16_t failedRegister = 0;
  uint16_t failedAddress = 0;
};

// SaveToEeprom: copies the registers of the model's EEPROM map into the EEPROM, writing only
// words that differ. Shows its failure message itself. `base` and `total` place its steps in
// a longer action's progress (0 and the map's row count on its own; with a base above 0 the
// start was reported by the longer action).
EepromSaveResult SaveToEeprom(PageContext& ctx, const ProgressFn& progress = {}, int base = 0, int total = -1);
// Save to Hardware: asks first (except on the switch that keeps its key in EEPROM), then
// SaveToEeprom.
EepromSaveResult SaveToHardware(PageContext& ctx, const ProgressFn& progress = {});

enum class ResetSent { None, Soft, Hardware };

struct FactoryDefaultResult {
  bool ran = false;  // false when no adapter or switch was current
  int registersWritten = 0;
  ResetSent reset = ResetSent::None;
  EepromSaveResult eeprom;  // for switches of up to 24 ports
};

// Factory Default: every row's power-on default into its register (0x0616 skipped), then a
// soft reset above 24 ports, else SaveToEeprom and, when it succeeded, a hardware reset.
FactoryDefaultResult FactoryDefault(PageContext& ctx, const ProgressFn& progress = {});

// One register a file and the switch disagree on.
struct ConfigDifference {
  ConfigEntry entry;     // as the file has it
  uint32_t current = 0;  // the switch's value
};

struct ConfigDiffResult {
  bool ran = false;  // false when no adapter or switch was current
  std::vector<ConfigDifference> differences;
  std::vector<uint16_t> unread;  // registers whose read failed
};

// The same outcomes in the terms every page uses. Failures the page showed a box for are
// refusals carrying the box's text.
Outcome ToOutcome(ConfigOutcome outcome);
Outcome ToOutcome(EepromOutcome outcome);

// Compares each entry of a file with the switch under the entry's mask; reads only.
ConfigDiffResult DiffConfig(PageContext& ctx, const ConfigFile& file, const ProgressFn& progress = {});

}  // namespace brisfell
