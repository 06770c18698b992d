#include "pages/ports/port_dialogs_logic.h"

#include <algorithm>

#include "pages/ports/port_registers.h"

namespace brisfell {

const std::array<const char*, 6> kAdvertisedSpeedTexts = {"Auto",      "10M Half",  "10M Full",
                                                          "100M Half", "100M Full", "1000M Full"};

namespace {

bool IsGigabit(int chip) { return chip >= 24; }

int HighestBit(int v, int top) {
  for (int bit = top; bit >= 0; --bit)
    if (v & (1 << bit)) return bit;
  return -1;
}

bool InRange(int value, int count) { return value >= 0 && value < count; }

// Only bits 0-4, 7 (speed) and 5-6 (pause) of the byte are replaced.
uint8_t ApplyAdvertise(uint8_t a, int chip, int speed, int pause) {
  if (InRange(speed, 6)) a = static_cast<uint8_t>((a & 0x60) | AbilityBitsFor(speed, chip) | kAutoFlag);
  if (InRange(pause, 4)) a = static_cast<uint8_t>((a & ~0x60) | (pause << 5));
  return a;
}

}  // namespace

uint8_t AbilityBitsFor(int speedIndex, int chip) {
  switch (speedIndex) {
    case 0: return IsGigabit(chip) ? 0x1F : 0x0F;
    case 1: return 0x01;
    case 2: return 0x02;
    case 3: return 0x04;
    case 4: return 0x08;
    case 5: return IsGigabit(chip) ? 0x10 : 0x08;  // ports below 24 have no gigabit ability
    default: return 0;
  }
}

int SpeedIndexFromAbilities(uint8_t advertise, int chip) {
  const int v = Abilities(advertise);
  if (IsGigabit(chip)) {
    if (v == 0x1F) return 0;
    // Bit 4 is "1000M Full" (5), bit 3 "100M Full" (4), ... bit 0 "10M Half" (1).
    const int bit = HighestBit(v, 4);
    return bit < 0 ? -1 : bit + 1;
  }
  if (v == 0x0F) return 0;
  const int bit = HighestBit(v, 3);
  return bit < 0 ? -1 : bit + 1;
}

PortSettings SettingsFromRegisters(const SinglePortRegisters& read, int chip) {
  PortSettings s;
  const uint8_t a = PortByte(read.advertise, chip);
  const uint8_t b = PortByte(read.bandwidth, chip);
  s.enable = read.disable & DisableMask(chip) ? 1 : 0;
  s.speed = SpeedIndexFromAbilities(a, chip);
  s.rx = RxBandwidthCode(b);
  s.tx = TxBandwidthCode(b);
  s.pause = PauseCode(a);
  return s;
}

SinglePortRegisters ApplySinglePort(const SinglePortRegisters& read, int chip, const PortSettings& settings) {
  SinglePortRegisters out = read;
  if (settings.enable == 0) out.disable &= ~DisableMask(chip);
  if (settings.enable == 1) out.disable |= DisableMask(chip);

  uint8_t b = PortByte(read.bandwidth, chip);
  if (InRange(settings.rx, 8)) b = static_cast<uint8_t>((b & ~0x07) | settings.rx);
  if (InRange(settings.tx, 8)) b = static_cast<uint8_t>((b & ~0x70) | (settings.tx << 4));
  out.bandwidth = WithPortByte(read.bandwidth, chip, b);

  out.advertise = WithPortByte(read.advertise, chip,
                               ApplyAdvertise(PortByte(read.advertise, chip), chip, settings.speed, settings.pause));
  return out;
}

namespace {

bool ReadSinglePort(Engine& engine, int sw, int chip, SinglePortRegisters& regs) {
  return engine.ReadRegister(sw, DisableRegister(chip), regs.disable, kRegisterTimeoutMs) &&
         engine.ReadRegister(sw, PairRegister(kRegPortAdvertise, chip), regs.advertise, kRegisterTimeoutMs) &&
         engine.ReadRegister(sw, PairRegister(kRegPortBandwidth, chip), regs.bandwidth, kRegisterTimeoutMs);
}

}  // namespace

PortDialogState OpenPortDialog(PageContext& context) {
  PortDialogState state;
  state.row = context.selectedListRow;
  state.title = Format("Config Port %d", state.row + 1);
  state.chip = context.engine.MapPortToChip(context.Switch(), state.row);
  if (!context.Ready() || state.chip < 0) return state;
  SinglePortRegisters regs;
  {
    AdapterIo io(context.engine);
    if (!ReadSinglePort(context.engine, context.Switch(), state.chip, regs)) return state;
  }
  state.settings = SettingsFromRegisters(regs, state.chip);
  state.read = true;
  return state;
}

bool ApplyPortDialog(PageContext& context, const PortDialogState& state, const PortSettings& chosen,
                     LockoutPolicy policy) {
  if (!context.Ready() || state.chip < 0) return false;
  const uint32_t disabled = chosen.enable == 1 ? 1u << state.chip : 0;
  if (LockoutGuard(context, LockoutRiskOf(context, 0, disabled), policy).kind != OutcomeKind::Done) return false;
  Engine& engine = context.engine;
  const int sw = context.Switch();
  const int k = state.chip;
  AdapterIo io(engine);
  SinglePortRegisters read;
  if (!ReadSinglePort(engine, sw, k, read)) return false;
  const SinglePortRegisters next = ApplySinglePort(read, k, chosen);
  if (next.bandwidth != read.bandwidth) engine.WriteRegister(sw, PairRegister(kRegPortBandwidth, k), next.bandwidth);
  if (next.disable != read.disable) engine.WriteRegister(sw, DisableRegister(k), next.disable);
  if (next.advertise != read.advertise) {
    engine.WriteRegister(sw, PairRegister(kRegPortAdvertise, k), next.advertise);
    // A new advertisement takes effect only after the chip renegotiates.
    engine.WriteRegister(sw, kRegReset, kSoftResetCommand);
  }
  return true;
}

std::array<uint16_t, 28> PortsDialogRegisters() {
  std::array<uint16_t, 28> regs{};
  size_t i = 0;
  regs[i++] = kRegPortDisable;
  regs[i++] = kRegPortDisable + 1;
  for (int r = 0; r < kPortPairRegisters; ++r) regs[i++] = static_cast<uint16_t>(kRegPortBandwidth + r);
  for (int r = 0; r < kPortPairRegisters; ++r) regs[i++] = static_cast<uint16_t>(kRegPortAdvertise + r);
  return regs;
}

void ApplyPortsGroups(std::map<uint16_t, uint32_t>& registers, uint32_t chipMask, int n, const PortsChoice& choice) {
  const PortSettings& s = choice.settings;
  n = std::clamp(n, 0, kMaxChipPorts);
  auto editByte = [&](uint16_t base, int k, auto edit) {
    uint32_t& value = registers[PairRegister(base, k)];
    value = WithPortByte(value, k, edit(PortByte(value, k)));
  };
  auto forEach = [&](auto apply) {
    for (int k = 0; k < n; ++k)
      if (chipMask & (1u << k)) apply(k);
  };
  if (choice.applyEnable && InRange(s.enable, 2))
    forEach([&](int k) {
      uint32_t& value = registers[DisableRegister(k)];
      value = s.enable == 1 ? value | DisableMask(k) : value & ~DisableMask(k);
    });
  // The multi-port dialog owns the whole nibble: bits 3 and 7 are cleared with the code.
  if (choice.applyRx && InRange(s.rx, 8))
    forEach([&](int k) {
      editByte(kRegPortBandwidth, k, [&](uint8_t b) { return static_cast<uint8_t>((b & 0xF0) | s.rx); });
    });
  if (choice.applyTx && InRange(s.tx, 8))
    forEach([&](int k) {
      editByte(kRegPortBandwidth, k, [&](uint8_t b) { return static_cast<uint8_t>((b & 0x0F) | (s.tx << 4)); });
    });
  if (choice.applySpeed && InRange(s.speed, 6))
    forEach([&](int k) { editByte(kRegPortAdvertise, k, [&](uint8_t a) { return ApplyAdvertise(a, k, s.speed, -1); }); });
  if (choice.applyPause && InRange(s.pause, 4))
    forEach([&](int k) { editByte(kRegPortAdvertise, k, [&](uint8_t a) { return ApplyAdvertise(a, k, -1, s.pause); }); });
}

bool ApplyPortsDialog(PageContext& context, const PortsChoice& choice, LockoutPolicy policy) {
  if (!context.Ready()) return false;
  Engine& engine = context.engine;
  const int sw = context.Switch();
  const int n = std::clamp(context.PortCount(), 0, kMaxChipPorts);
  uint32_t mask = 0;
  for (int p = 0; p < n; ++p) {
    if (!choice.ports[p]) continue;
    const int chip = engine.MapPortToChip(sw, p);
    if (chip >= 0) mask |= 1u << chip;
  }
  if (mask == 0) return false;
  const bool disables = choice.applyEnable && choice.settings.enable == 1;
  if (LockoutGuard(context, LockoutRiskOf(context, 0, disables ? mask : 0), policy).kind != OutcomeKind::Done)
    return false;

  const auto order = PortsDialogRegisters();
  RegisterReader reader(engine, sw);
  AdapterIo io(engine);
  for (uint16_t reg : order) reader.Add(reg);
  if (!reader.ReadAll()) return false;
  std::map<uint16_t, uint32_t> registers = reader.Values();
  ApplyPortsGroups(registers, mask, n, choice);
  for (uint16_t reg : order) engine.WriteRegister(sw, reg, registers[reg]);
  engine.WriteRegister(sw, kRegReset, kSoftResetCommand);
  return true;
}

}  // namespace brisfell
