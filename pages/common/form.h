// Form pages as tables. A page that shows radio pairs, choice lists and port check boxes bound
// to register bits declares them once, as a `FormTable`; the generic refresh and update below
// run over that table (the Qt renderer and the command line use the same table), so each page
// is its table plus whatever it alone does.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "engine/switch_record.h"
#include "pages/common/fields.h"
#include "pages/common/outcome.h"
#include "pages/common/page_context.h"

namespace brisfell {

enum class FieldKind { RadioPair, Choice, PortSet };

// One control group of a form, bound to register bits.
struct FormField {
  FieldKind kind = FieldKind::RadioPair;
  const char* keyword = "";  // the command line's name for it, and the controls' object names
  const char* label = "";    // its caption on the page
  bool visible = true;       // hidden fields still take part in refresh and update

  // RadioPair and Choice: the bits.
  BitField bits;
  // RadioPair: the two captions in page order, which of them a set bit selects, and the
  // command line's words for them (in caption order).
  std::array<const char*, 2> captions{"Enable", "Disable"};
  bool firstMeansSet = true;
  std::array<const char*, 2> words{"on", "off"};
  // Choice: the items in list order (the index is the field's value) and their words.
  std::vector<const char*> items;
  std::vector<const char*> itemWords;
  // PortSet: one bit a chip port; a ticked box is a set bit unless `tickedMeansClear`.
  PortField ports;
  bool tickedMeansClear = false;

  // The bits this field holds in register `reg` of a switch with `portCount` ports.
  uint32_t MaskIn(uint16_t reg, int portCount) const;
  // Number of values a radio pair or choice offers.
  int ValueCount() const { return kind == FieldKind::RadioPair ? 2 : static_cast<int>(items.size()); }
};

FormField RadioPair(const char* keyword, const char* label, BitField bit, bool firstMeansSet,
                    std::array<const char*, 2> captions = {"Enable", "Disable"},
                    std::array<const char*, 2> words = {"on", "off"});
FormField Choice(const char* keyword, const char* label, BitField bits, std::vector<const char*> items,
                 std::vector<const char*> itemWords);
FormField PortSet(const char* keyword, const char* label, PortField ports, bool tickedMeansClear = false);
FormField Hidden(FormField field);

// How an update writes a register: read it again and replace only the form's bits, or write
// it whole from the form (bits no field holds are 0).
enum class WriteMode { None, ReadModifyWrite, Whole };

struct FormRegister {
  uint16_t reg = 0;
  WriteMode write = WriteMode::None;
  // Read (and write) only on switches with more than this many ports.
  int readAbovePorts = -1;
  int writeAbovePorts = -1;
};

struct FormTable {
  const char* keyword = "";  // the command line's page name ("global")
  const char* caption = "";  // the tab caption
  std::vector<FormField> fields;
  // Refresh reads these in order; update writes those with a write mode, in the same order.
  std::vector<FormRegister> registers;
  // The command line offers `show KEYWORD` and `KEYWORD SETTING VALUE...` for the table; a page
  // whose commands say more than its table does has commands of its own instead.
  bool tableCommands = true;

  const FormField* Find(const std::string& keyword) const;
  int IndexOf(const std::string& keyword) const;
};

// What the form holds for one field.
struct FieldValue {
  int choice = -1;         // radio pair: 0 first, 1 second; choice: item index; -1 none
  uint32_t ticked = 0;     // port set: bit p = shown position p is ticked
  bool tickedChosen = false;  // port set: the operator set every box at once (All or None)
  bool operator==(const FieldValue&) const = default;
};

struct FormState {
  int portCount = 0;
  std::vector<FieldValue> values;  // one per field of the formTable
  std::set<uint16_t> read;         // registers read successfully since the page opened
  std::map<uint16_t, uint32_t> lastRead;  // what the last successful read of each returned
};

FormState NewFormState(const FormTable& formTable, int portCount);

// Takes one register's value into the fields it holds (through the switch's port map).
void DecodeRegister(const FormTable& formTable, const SwitchRecord& record, uint16_t reg, uint32_t value, FormState& state);
// The register as the form would write it: `base` with the bits of every field that has a value
// replaced. Fields without one keep the bits of `base`.
uint32_t EncodeRegister(const FormTable& formTable, const SwitchRecord& record, uint16_t reg, uint32_t base,
                        const FormState& state);
// Whether every bit a whole write of `reg` would set was read or chosen.
bool RegisterKnown(const FormTable& formTable, uint16_t reg, const FormState& state);

// Refresh: reads the form's registers in one batch; each one read updates its fields, one
// that could not be read leaves them as they were (the outcome says which and why).
Outcome FormRefresh(PageContext& context, const FormTable& formTable, FormState& state);
// The same in two steps, for callers that read several switches at once: the registers a
// refresh of `record` reads, and taking what was read (`failure` empty when all of it was).
std::vector<uint16_t> FormRegisters(const FormTable& formTable, const SwitchRecord& record);
Outcome FormTake(const FormTable& formTable, const SwitchRecord& record, const std::map<uint16_t, uint32_t>& values,
                 const std::string& failure, FormState& state);

struct FormWrite {
  uint16_t reg = 0;
  uint32_t value = 0;
  bool operator==(const FormWrite&) const = default;
};
// Update: writes the registers the form writes, in order. A read-modify-write register whose
// read fails, and a whole register whose bits were neither read nor chosen since the page
// opened, are not written (the outcome names them).
Outcome FormUpdate(PageContext& context, const FormTable& formTable, const FormState& state,
                   std::vector<FormWrite>* written = nullptr);

// Texts: a radio pair's or choice's caption, a port set's ports ("1, 2, G1"; "none"), or "" when
// the field has no value.
std::string FieldText(const FormField& field, const FieldValue& value, int portCount);
// The command line's word for a value ("on", "16:1"); "" when none.
std::string FieldWord(const FormField& field, const FieldValue& value);
// The value a command-line word names (case-insensitive), -1 when none.
int ChoiceFromWord(const FormField& field, const std::string& word);

struct FieldChange {
  std::string keyword;
  std::string label;
  std::string before;
  std::string after;
};
// The fields whose values differ between two states, in table order.
std::vector<FieldChange> FormChanges(const FormTable& formTable, const FormState& before, const FormState& after);

// The positions of a shown-position mask below `portCount`, labelled as the pages show them.
std::string PortListText(uint32_t positions, int portCount);

}  // namespace brisfell
