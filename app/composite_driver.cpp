#include "app/composite_driver.h"

#include <cstring>

namespace brisfell {

class CompositeDriver::RoutedHandle : public AdapterHandle {
 public:
  RoutedHandle(PacketDriver& owner, std::unique_ptr<AdapterHandle> inner)
      : owner_(owner), inner_(std::move(inner)) {}
  PacketDriver& Owner() const { return owner_; }
  AdapterHandle& Inner() const { return *inner_; }
  std::unique_ptr<AdapterHandle> Release() { return std::move(inner_); }

 private:
  PacketDriver& owner_;
  std::unique_ptr<AdapterHandle> inner_;
};

void CompositeDriver::AddMember(PacketDriver& member) { members_.push_back(&member); }

// Above 3.0, so the engine asks for the 8-bit name list, the only one the members are asked for.
std::string CompositeDriver::GetVersion() { return "4.1"; }

namespace {

// Splits an 8-bit name list (names, an empty name, then one description per name).
bool ParseNameList(const std::vector<uint8_t>& buffer, std::vector<std::string>& names,
                   std::vector<std::string>& descriptions) {
  size_t pos = 0;
  const size_t size = buffer.size();
  auto readString = [&](std::string& out) {
    const size_t start = pos;
    while (pos < size && buffer[pos] != 0) ++pos;
    if (pos >= size) return false;  // no terminator inside the buffer
    out.assign(reinterpret_cast<const char*>(buffer.data()) + start, pos - start);
    ++pos;
    return true;
  };
  for (;;) {
    std::string name;
    if (!readString(name)) return false;
    if (name.empty()) break;
    names.push_back(std::move(name));
  }
  for (size_t i = 0; i < names.size(); ++i) {
    std::string description;
    if (!readString(description)) description.clear();
    descriptions.push_back(std::move(description));
  }
  return true;
}

}  // namespace

std::vector<CompositeDriver::Listed> CompositeDriver::ListAll(bool& anyListed) {
  std::vector<Listed> all;
  anyListed = members_.empty();
  for (PacketDriver* member : members_) {
    std::vector<uint8_t> buffer(driver::kNameListBuffer8, 0);
    std::vector<std::string> names, descriptions;
    // One member that cannot list its adapters does not hide the others'.
    if (!member->GetAdapterNames(buffer.data(), static_cast<uint32_t>(buffer.size()), false) ||
        !ParseNameList(buffer, names, descriptions)) {
      const std::string why = member->LastError();
      ownError_ = why.empty() ? "an adapter list cannot be read" : why;
      continue;
    }
    anyListed = true;
    for (size_t i = 0; i < names.size(); ++i) {
      bool taken = false;
      for (const auto& l : all) taken = taken || l.name == names[i];
      if (taken) continue;  // the first member that lists a name owns it
      all.push_back({names[i], descriptions[i], member});
    }
  }
  return all;
}

bool CompositeDriver::GetAdapterNames(uint8_t* buffer, uint32_t size, bool wide) {
  ownError_.clear();
  bool anyListed = false;
  listed_ = ListAll(anyListed);
  if (!anyListed) return false;
  const size_t unit = wide ? 2 : 1;
  std::vector<uint8_t> out;
  for (const auto& l : listed_) {
    for (char c : l.name) {
      out.push_back(static_cast<uint8_t>(c));
      if (wide) out.push_back(0);
    }
    out.insert(out.end(), unit, 0);
  }
  out.insert(out.end(), unit, 0);
  for (const auto& l : listed_) {
    out.insert(out.end(), l.description.begin(), l.description.end());
    out.push_back(0);
  }
  if (out.size() > size) {
    ownError_ = "the adapter list does not fit the driver's buffer";
    return false;
  }
  std::memcpy(buffer, out.data(), out.size());
  return true;
}

std::unique_ptr<AdapterHandle> CompositeDriver::OpenAdapter(const uint8_t* name, bool wide) {
  std::string text;
  if (!wide) {
    text = reinterpret_cast<const char*>(name);
  } else {
    for (size_t k = 0; name[k] != 0 || name[k + 1] != 0; k += 2) text += static_cast<char>(name[k]);
  }
  for (const auto& l : listed_) {
    if (l.name != text) continue;
    lastUsed_ = l.owner;
    ownError_.clear();
    auto inner = l.owner->OpenAdapter(reinterpret_cast<const uint8_t*>(l.name.c_str()), false);
    if (!inner) return nullptr;
    return std::make_unique<RoutedHandle>(*l.owner, std::move(inner));
  }
  lastUsed_ = nullptr;
  ownError_ = "no such adapter: " + text;
  return nullptr;
}

CompositeDriver::RoutedHandle& CompositeDriver::Routed(AdapterHandle& adapter) {
  auto& routed = static_cast<RoutedHandle&>(adapter);
  lastUsed_ = &routed.Owner();
  return routed;
}

void CompositeDriver::CloseAdapter(std::unique_ptr<AdapterHandle> adapter) {
  if (!adapter) return;
  auto& routed = Routed(*adapter);
  routed.Owner().CloseAdapter(routed.Release());
}

bool CompositeDriver::GetNetType(AdapterHandle& adapter, uint32_t& linkType) {
  auto& r = Routed(adapter);
  return r.Owner().GetNetType(r.Inner(), linkType);
}

bool CompositeDriver::Request(AdapterHandle& adapter, uint32_t oid, uint8_t* data, uint32_t length) {
  auto& r = Routed(adapter);
  return r.Owner().Request(r.Inner(), oid, data, length);
}

bool CompositeDriver::SetHwFilter(AdapterHandle& adapter, uint32_t filter) {
  auto& r = Routed(adapter);
  return r.Owner().SetHwFilter(r.Inner(), filter);
}

bool CompositeDriver::SetBuff(AdapterHandle& adapter, uint32_t bytes) {
  auto& r = Routed(adapter);
  return r.Owner().SetBuff(r.Inner(), bytes);
}

bool CompositeDriver::SetReadTimeout(AdapterHandle& adapter, int milliseconds) {
  auto& r = Routed(adapter);
  return r.Owner().SetReadTimeout(r.Inner(), milliseconds);
}

bool CompositeDriver::SetNumWrites(AdapterHandle& adapter, int count) {
  auto& r = Routed(adapter);
  return r.Owner().SetNumWrites(r.Inner(), count);
}

bool CompositeDriver::SendPacket(AdapterHandle& adapter, Packet& packet) {
  auto& r = Routed(adapter);
  return r.Owner().SendPacket(r.Inner(), packet);
}

bool CompositeDriver::ReceivePacket(AdapterHandle& adapter, Packet& packet) {
  auto& r = Routed(adapter);
  return r.Owner().ReceivePacket(r.Inner(), packet);
}

void CompositeDriver::DiscardPending(AdapterHandle& adapter) {
  auto& r = Routed(adapter);
  r.Owner().DiscardPending(r.Inner());
}

std::string CompositeDriver::LastError() const {
  if (!ownError_.empty()) return ownError_;
  return lastUsed_ ? lastUsed_->LastError() : std::string();
}

}  // namespace brisfell
