#include "pages/vlan/vlan_edit.h"

#include <cctype>

namespace brisfell {

VlanEditForm InitVlanEditForm(PageContext& ctx) {
  VlanEditForm form;
  form.entry = ctx.selectedListRow;
  form.portCount = ctx.Switch() == -1 ? 0 : ctx.PortCount();
  if (form.entry == -1) {
    form.caption = kAddVlanCaption;
    ChooseVlanType(form, kVlanPortBased);
    return form;
  }
  form.caption = Format(kEditVlanCaptionFormat, form.entry + 1);
  if (!ctx.Ready() || form.entry < 0 || form.entry >= kVlanEntries) return form;

  // The high member register is read on every model; the all-ports mask drops what a 16-port
  // chip may hold there.
  const int sw = ctx.Switch();
  uint32_t low = 0, high = 0, id = 0;
  {
    AdapterIo io(ctx.engine);
    if (!io.ok()) return form;
    if (!ctx.engine.ReadRegister(sw, VlanMembersLowRegister(form.entry), low, kRegisterTimeoutMs) ||
        !ctx.engine.ReadRegister(sw, VlanMembersHighRegister(form.entry), high, kRegisterTimeoutMs) ||
        !ctx.engine.ReadRegister(sw, VlanIdRegister(form.entry), id, kRegisterTimeoutMs))
      return form;
  }
  const uint32_t members = ((low & 0xFFFF) | (high & 0x3FF) << 16) & AllPortsMask(form.portCount);
  const uint32_t vlanId = id & kVlanIdMask;
  if (vlanId != 0) {
    ChooseVlanType(form, kVlanTagBased);
    form.vlanIdText = Format("%u", vlanId);
  } else {
    ChooseVlanType(form, kVlanPortBased);
    form.vlanIdText.clear();
  }
  for (int p = 0; p < form.portCount; ++p) {
    const int position = ctx.engine.MapChipToPort(sw, p);
    if (position >= 0 && position < kMaxChipPorts) form.checked[position] = members & (1u << p);
  }
  return form;
}

void ChooseVlanType(VlanEditForm& form, int type) {
  form.type = type;
  form.vlanIdEnabled = type != kVlanPortBased;
}

void SetAllPorts(VlanEditForm& form, bool checked) {
  for (int f = 0; f < form.portCount && f < kMaxChipPorts; ++f) form.checked[f] = checked;
}

uint32_t ParseVlanIdText(const std::string& text) {
  constexpr uint32_t kSaturated = 0xFFFFF;
  uint32_t value = 0;
  for (char c : text) {
    if (!std::isdigit(static_cast<unsigned char>(c))) break;
    value = value * 10 + static_cast<uint32_t>(c - '0');
    if (value > kSaturated) value = kSaturated;
  }
  return value;
}

VlanOutcome ApplyVlanEdit(PageContext& ctx, const VlanEditForm& form) {
  if (!ctx.Ready() || form.entry < -1 || form.entry >= kOperatorEntries) return VlanOutcome::kNothing;
  const int sw = ctx.Switch();

  uint32_t members = 0;
  for (int p = 0; p < form.portCount && p < kMaxChipPorts; ++p) {
    const int position = ctx.engine.MapChipToPort(sw, p);
    if (position >= 0 && position < kMaxChipPorts && form.checked[position]) members |= 1u << p;
  }
  if (members == 0) {
    ctx.prompt.Message(kVlanErrorTitle, kNoPortSelected, PromptIcon::Error);
    return VlanOutcome::kRefused;
  }

  const std::optional<VlanImage> image = ReadVlanImage(ctx.engine, sw);
  if (!image) return VlanOutcome::kReadFailed;

  VlanChange change;
  change.kind = VlanChange::Kind::Set;
  change.entry = form.entry;
  change.members = members;
  change.tagBased = form.type != kVlanPortBased;
  change.vlanId = change.tagBased ? ParseVlanIdText(form.vlanIdText) : 0;
  const VlanRebuild rebuild = RebuildVlanTable(*image, change);
  if (rebuild.failure) {
    ctx.prompt.Message(kVlanErrorTitle, *rebuild.failure, PromptIcon::Error);
    return VlanOutcome::kRefused;
  }
  return WriteRebuild(ctx, *image, rebuild);
}

}  // namespace brisfell
