#include "pages/common/form.h"

#include <algorithm>
#include <cctype>

namespace brisfell {

uint32_t FormField::MaskIn(uint16_t reg, int portCount) const {
  if (kind != FieldKind::PortSet) return bits.reg == reg ? bits.Mask() : 0;
  uint32_t mask = 0;
  for (int k = 0; k < std::min(portCount, kMaxChipPorts); ++k)
    if (ports.Register(k) == reg) mask |= ports.Of(k).Mask();
  return mask;
}

FormField RadioPair(const char* keyword, const char* label, BitField bit, bool firstMeansSet,
                    std::array<const char*, 2> captions, std::array<const char*, 2> words) {
  FormField f;
  f.kind = FieldKind::RadioPair;
  f.keyword = keyword;
  f.label = label;
  f.bits = bit;
  f.firstMeansSet = firstMeansSet;
  f.captions = captions;
  f.words = words;
  return f;
}

FormField Choice(const char* keyword, const char* label, BitField bits, std::vector<const char*> items,
                 std::vector<const char*> itemWords) {
  FormField f;
  f.kind = FieldKind::Choice;
  f.keyword = keyword;
  f.label = label;
  f.bits = bits;
  f.items = std::move(items);
  f.itemWords = std::move(itemWords);
  return f;
}

FormField PortSet(const char* keyword, const char* label, PortField ports, bool tickedMeansClear) {
  FormField f;
  f.kind = FieldKind::PortSet;
  f.keyword = keyword;
  f.label = label;
  f.ports = ports;
  f.tickedMeansClear = tickedMeansClear;
  return f;
}

FormField Hidden(FormField field) {
  field.visible = false;
  return field;
}

const FormField* FormTable::Find(const std::string& keyword) const {
  const int i = IndexOf(keyword);
  return i < 0 ? nullptr : &fields[static_cast<size_t>(i)];
}

int FormTable::IndexOf(const std::string& keyword) const {
  for (size_t i = 0; i < fields.size(); ++i)
    if (keyword == fields[i].keyword) return static_cast<int>(i);
  return -1;
}

FormState NewFormState(const FormTable& formTable, int portCount) {
  FormState state;
  state.portCount = portCount;
  state.values.resize(formTable.fields.size());
  return state;
}

namespace {

int Ports(const SwitchRecord& record) { return std::clamp(record.portCount, 0, kMaxChipPorts); }

bool Touches(const FormField& f, uint16_t reg, int portCount) { return f.MaskIn(reg, portCount) != 0; }

}  // namespace

void DecodeRegister(const FormTable& formTable, const SwitchRecord& record, uint16_t reg, uint32_t value, FormState& state) {
  const int n = Ports(record);
  state.values.resize(formTable.fields.size());
  for (size_t i = 0; i < formTable.fields.size(); ++i) {
    const FormField& f = formTable.fields[i];
    if (!Touches(f, reg, n)) continue;
    FieldValue& v = state.values[i];
    switch (f.kind) {
      case FieldKind::RadioPair:
        v.choice = (f.bits.Get(value) != 0) == f.firstMeansSet ? 0 : 1;
        break;
      case FieldKind::Choice: {
        const uint32_t code = f.bits.Get(value);
        v.choice = code < f.items.size() ? static_cast<int>(code) : -1;
        break;
      }
      case FieldKind::PortSet:
        for (int k = 0; k < n; ++k) {
          if (f.ports.Register(k) != reg) continue;
          const bool set = f.ports.Get(value, k) != 0;
          const uint32_t position = 1u << record.chipToPort[k];
          if (set != f.tickedMeansClear)
            v.ticked |= position;
          else
            v.ticked &= ~position;
        }
        break;
    }
  }
}

uint32_t EncodeRegister(const FormTable& formTable, const SwitchRecord& record, uint16_t reg, uint32_t base,
                        const FormState& state) {
  const int n = Ports(record);
  uint32_t out = base;
  for (size_t i = 0; i < formTable.fields.size() && i < state.values.size(); ++i) {
    const FormField& f = formTable.fields[i];
    if (!Touches(f, reg, n)) continue;
    const FieldValue& v = state.values[i];
    switch (f.kind) {
      case FieldKind::RadioPair:
        if (v.choice == 0 || v.choice == 1) out = f.bits.With(out, (v.choice == 0) == f.firstMeansSet ? 1 : 0);
        break;
      case FieldKind::Choice:
        if (v.choice >= 0 && v.choice < f.ValueCount()) out = f.bits.With(out, static_cast<uint32_t>(v.choice));
        break;
      case FieldKind::PortSet:
        for (int k = 0; k < n; ++k) {
          if (f.ports.Register(k) != reg) continue;
          const bool ticked = (v.ticked >> record.chipToPort[k]) & 1;
          out = f.ports.With(out, k, ticked != f.tickedMeansClear ? 1 : 0);
        }
        break;
    }
  }
  return out;
}

bool RegisterKnown(const FormTable& formTable, uint16_t reg, const FormState& state) {
  for (size_t i = 0; i < formTable.fields.size() && i < state.values.size(); ++i) {
    const FormField& f = formTable.fields[i];
    if (!Touches(f, reg, state.portCount)) continue;
    const FieldValue& v = state.values[i];
    const bool known = f.kind == FieldKind::PortSet ? (state.read.count(reg) > 0 || v.tickedChosen) : v.choice >= 0;
    if (!known) return false;
  }
  return true;
}

namespace {

std::string RegisterList(const std::vector<uint16_t>& regs) {
  std::string out;
  for (uint16_t r : regs) out += (out.empty() ? "" : ", ") + Format("0x%04X", r);
  return out;
}

}  // namespace

std::vector<uint16_t> FormRegisters(const FormTable& formTable, const SwitchRecord& record) {
  std::vector<uint16_t> regs;
  for (const FormRegister& r : formTable.registers)
    if (record.portCount > r.readAbovePorts) regs.push_back(r.reg);
  return regs;
}

Outcome FormTake(const FormTable& formTable, const SwitchRecord& record, const std::map<uint16_t, uint32_t>& values,
                 const std::string& failure, FormState& state) {
  state.portCount = record.portCount;
  const std::vector<uint16_t> regs = FormRegisters(formTable, record);
  std::vector<uint16_t> failed;
  for (uint16_t reg : regs) {
    const auto it = values.find(reg);
    if (it == values.end()) {
      failed.push_back(reg);
      continue;
    }
    DecodeRegister(formTable, record, reg, it->second, state);
    state.read.insert(reg);
    state.lastRead[reg] = it->second;
  }
  if (failed.empty() && failure.empty()) return Outcome::Done();
  return Outcome::ReadFailed("could not read " + RegisterList(failed) + (failure.empty() ? "" : " (" + failure + ")"));
}

Outcome FormRefresh(PageContext& context, const FormTable& formTable, FormState& state) {
  if (!context.Ready()) return Outcome::NothingToDo();
  const SwitchRecord* record = context.Record();
  if (!record) return Outcome::NothingToDo();
  std::map<uint16_t, uint32_t> values;
  bool ok = false;
  {
    AdapterIo io(context.engine);
    ok = context.engine.ReadRegisters(context.Switch(), FormRegisters(formTable, *record), values);
  }
  return FormTake(formTable, *record, values, ok ? "" : context.engine.LastFailure(), state);
}

Outcome FormUpdate(PageContext& context, const FormTable& formTable, const FormState& state, std::vector<FormWrite>* written) {
  if (!context.Ready()) return Outcome::NothingToDo();
  const SwitchRecord* record = context.Record();
  if (!record) return Outcome::NothingToDo();
  const int sw = context.Switch();
  std::vector<uint16_t> unread;   // read-modify-write registers whose read failed now
  std::vector<uint16_t> unknown;  // whole registers never read nor chosen since the page opened
  AdapterIo io(context.engine);
  // The read-modify-write registers are read together first.
  std::vector<uint16_t> toRead;
  for (const FormRegister& r : formTable.registers)
    if (r.write == WriteMode::ReadModifyWrite && record->portCount > r.writeAbovePorts) toRead.push_back(r.reg);
  std::map<uint16_t, uint32_t> current;
  if (!toRead.empty()) context.engine.ReadRegisters(sw, toRead, current);
  for (const FormRegister& r : formTable.registers) {
    if (r.write == WriteMode::None || record->portCount <= r.writeAbovePorts) continue;
    uint32_t value = 0;
    if (r.write == WriteMode::ReadModifyWrite) {
      const auto read = current.find(r.reg);
      if (read == current.end()) {
        unread.push_back(r.reg);
        continue;
      }
      value = EncodeRegister(formTable, *record, r.reg, read->second, state);
    } else {
      if (!RegisterKnown(formTable, r.reg, state)) {
        unknown.push_back(r.reg);
        continue;
      }
      value = EncodeRegister(formTable, *record, r.reg, 0, state);
    }
    context.engine.WriteRegister(sw, r.reg, value);
    if (written) written->push_back({r.reg, value});
  }
  if (unread.empty() && unknown.empty()) return Outcome::Done();
  std::string why = "Not written: ";
  if (!unread.empty()) why += RegisterList(unread) + " (read failed)";
  if (!unknown.empty())
    why += std::string(unread.empty() ? "" : "; ") + RegisterList(unknown) +
           " (not read since the page opened; press Refresh)";
  return Outcome::ReadFailed(why);
}

std::string PortListText(uint32_t positions, int portCount) {
  std::string out;
  for (int p = 0; p < std::min(portCount, kMaxChipPorts); ++p)
    if ((positions >> p) & 1) out += (out.empty() ? "" : ", ") + PortLabel(p);
  return out.empty() ? "none" : out;
}

std::string FieldText(const FormField& field, const FieldValue& value, int portCount) {
  switch (field.kind) {
    case FieldKind::RadioPair:
      return value.choice == 0 || value.choice == 1 ? field.captions[static_cast<size_t>(value.choice)] : "";
    case FieldKind::Choice:
      return value.choice >= 0 && value.choice < field.ValueCount() ? field.items[static_cast<size_t>(value.choice)]
                                                                    : "";
    case FieldKind::PortSet:
      return PortListText(value.ticked, portCount);
  }
  return "";
}

std::string FieldWord(const FormField& field, const FieldValue& value) {
  if (field.kind == FieldKind::RadioPair)
    return value.choice == 0 || value.choice == 1 ? field.words[static_cast<size_t>(value.choice)] : "";
  if (field.kind == FieldKind::Choice)
    return value.choice >= 0 && value.choice < static_cast<int>(field.itemWords.size())
               ? field.itemWords[static_cast<size_t>(value.choice)]
               : "";
  return "";
}

int ChoiceFromWord(const FormField& field, const std::string& word) {
  auto same = [&](const char* candidate) {
    const std::string c = candidate;
    return c.size() == word.size() &&
           std::equal(c.begin(), c.end(), word.begin(), [](char a, char b) {
             return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
           });
  };
  if (field.kind == FieldKind::RadioPair) {
    for (int i = 0; i < 2; ++i)
      if (same(field.words[static_cast<size_t>(i)])) return i;
  } else if (field.kind == FieldKind::Choice) {
    for (size_t i = 0; i < field.itemWords.size(); ++i)
      if (same(field.itemWords[i])) return static_cast<int>(i);
  }
  return -1;
}

std::vector<FieldChange> FormChanges(const FormTable& formTable, const FormState& before, const FormState& after) {
  std::vector<FieldChange> changes;
  for (size_t i = 0; i < formTable.fields.size(); ++i) {
    const FieldValue b = i < before.values.size() ? before.values[i] : FieldValue{};
    const FieldValue a = i < after.values.size() ? after.values[i] : FieldValue{};
    const FormField& f = formTable.fields[i];
    const bool differs = f.kind == FieldKind::PortSet ? b.ticked != a.ticked : b.choice != a.choice;
    if (!differs) continue;
    changes.push_back({f.keyword, f.label, FieldText(f, b, after.portCount), FieldText(f, a, after.portCount)});
  }
  return changes;
}

}  // namespace brisfell
