#include "cli/wire_tap.h"

#include <cstring>

#include "engine/engine.h"
#include "engine/frames.h"
#include "engine/registers.h"

namespace brisfell::cli {

// The real driver's handle, plus the replies the shadow owes this handle.
struct WireTap::Handle : AdapterHandle {
  std::unique_ptr<AdapterHandle> inner;
  std::deque<std::vector<uint8_t>> owed;
};

WireTap::Handle* WireTap::Own(AdapterHandle& adapter) { return static_cast<Handle*>(&adapter); }

std::unique_ptr<AdapterHandle> WireTap::OpenAdapter(const uint8_t* name, bool wide) {
  auto inner = inner_.OpenAdapter(name, wide);
  if (!inner) return nullptr;
  auto h = std::make_unique<Handle>();
  h->inner = std::move(inner);
  return h;
}

void WireTap::CloseAdapter(std::unique_ptr<AdapterHandle> adapter) {
  if (!adapter) return;
  inner_.CloseAdapter(std::move(Own(*adapter)->inner));
  adapter.reset();
}

bool WireTap::GetNetType(AdapterHandle& adapter, uint32_t& linkType) {
  return inner_.GetNetType(*Own(adapter)->inner, linkType);
}
bool WireTap::Request(AdapterHandle& adapter, uint32_t oid, uint8_t* data, uint32_t length) {
  return inner_.Request(*Own(adapter)->inner, oid, data, length);
}
bool WireTap::SetHwFilter(AdapterHandle& adapter, uint32_t filter) {
  return inner_.SetHwFilter(*Own(adapter)->inner, filter);
}
bool WireTap::SetBuff(AdapterHandle& adapter, uint32_t bytes) { return inner_.SetBuff(*Own(adapter)->inner, bytes); }
bool WireTap::SetReadTimeout(AdapterHandle& adapter, int milliseconds) {
  return inner_.SetReadTimeout(*Own(adapter)->inner, milliseconds);
}
bool WireTap::SetReadTimeoutUs(AdapterHandle& adapter, int64_t microseconds) {
  return inner_.SetReadTimeoutUs(*Own(adapter)->inner, microseconds);
}
bool WireTap::SetNumWrites(AdapterHandle& adapter, int count) {
  return inner_.SetNumWrites(*Own(adapter)->inner, count);
}

bool WireTap::SendPacket(AdapterHandle& adapter, Packet& packet) {
  Handle* h = Own(adapter);
  const auto f = DecodeFrame(packet.buffer, packet.buffer ? packet.length : 0);
  if (f && f->opcode == rrcp::kOpSet) {
    const Mac& to = f->destination;
    const uint16_t reg = f->reg;
    const uint32_t value = f->value;
    const bool eepromRead = reg == kRegEepromControl && (value & kEepromReadCommand);
    if (eepromRead) {
      const auto held = eepromShadow_.find({to, static_cast<uint16_t>(value & kEepromAddressMask)});
      if (dryRun_ && held != eepromShadow_.end()) {
        // A byte this run wrote (held back): the command completes at once with that byte, as
        // the chip would have read it back.
        shadow_[{to, kRegEepromControl}] = value & kEepromCommandMask;
        shadow_[{to, kRegEepromData}] = reg_bit::kEepromByteRead.With(0, held->second);
        return true;
      }
      // The chip answers the EEPROM registers itself from here on.
      shadow_.erase({to, kRegEepromControl});
      shadow_.erase({to, kRegEepromData});
    } else {
      writes_.push_back({to, reg, value, !dryRun_});
      if (dryRun_) {
        if (reg == kRegEepromControl) {
          // A write command, completed at once with the data register's held-back byte.
          const auto data = shadow_.find({to, kRegEepromData});
          if (data != shadow_.end())
            eepromShadow_[{to, static_cast<uint16_t>(value & kEepromAddressMask)}] = static_cast<uint8_t>(data->second);
        }
        shadow_[{to, reg}] = reg == kRegEepromControl ? value & kEepromCommandMask : value;
        return true;
      }
    }
  } else if (dryRun_ && f && f->opcode == rrcp::kOpGet) {
    const auto held = shadow_.find({f->destination, f->reg});
    if (held != shadow_.end()) {
      const Frame reply = BuildGetReply(f->source, f->destination, f->key, f->reg, held->second);
      h->owed.emplace_back(reply.begin(), reply.end());
      return true;
    }
  }
  ++framesSent_;
  return inner_.SendPacket(*h->inner, packet);
}

bool WireTap::ReceivePacket(AdapterHandle& adapter, Packet& packet) {
  Handle* h = Own(adapter);
  if (h->owed.empty()) return inner_.ReceivePacket(*h->inner, packet);
  std::vector<uint8_t> batch;
  for (const auto& frame : h->owed) AppendCaptured(batch, frame.data(), frame.size(), 0);
  h->owed.clear();
  packet.bytesReceived = 0;
  if (!packet.buffer || batch.size() > packet.length) return false;
  std::memcpy(packet.buffer, batch.data(), batch.size());
  packet.bytesReceived = static_cast<uint32_t>(batch.size());
  return true;
}

void WireTap::DiscardPending(AdapterHandle& adapter) {
  Handle* h = Own(adapter);
  h->owed.clear();
  inner_.DiscardPending(*h->inner);
}

}  // namespace brisfell::cli
