// A PacketDriver that passes everything through to another one and writes every frame it
// sends, and every frame of each batch it receives, to a pcap file (--pcap FILE).
#pragma once

#include <memory>
#include <string>

#include "engine/clock.h"
#include "engine/packet_driver.h"
#include "sim/pcap_writer.h"

namespace brisfell::sim {

class RecordingDriver : public PacketDriver {
 public:
  // Sent frames are stamped with `clock` when given, else with the wall-clock time; received
  // frames keep the time stamps of their capture headers. Over the emulated segment, pass the
  // segment's clock so that both kinds of stamp agree. Neither `inner` nor `writer` is owned.
  RecordingDriver(PacketDriver& inner, PcapWriter& writer, Clock* clock = nullptr);

  std::string GetVersion() override { return inner_.GetVersion(); }
  OsVersion GetOsVersion() override { return inner_.GetOsVersion(); }
  bool GetAdapterNames(uint8_t* buffer, uint32_t size, bool wide) override {
    return inner_.GetAdapterNames(buffer, size, wide);
  }
  std::unique_ptr<AdapterHandle> OpenAdapter(const uint8_t* name, bool wide) override {
    return inner_.OpenAdapter(name, wide);
  }
  void CloseAdapter(std::unique_ptr<AdapterHandle> adapter) override { inner_.CloseAdapter(std::move(adapter)); }
  bool GetNetType(AdapterHandle& adapter, uint32_t& linkType) override { return inner_.GetNetType(adapter, linkType); }
  bool Request(AdapterHandle& adapter, uint32_t oid, uint8_t* data, uint32_t length) override {
    return inner_.Request(adapter, oid, data, length);
  }
  bool SetHwFilter(AdapterHandle& adapter, uint32_t filter) override { return inner_.SetHwFilter(adapter, filter); }
  bool SetBuff(AdapterHandle& adapter, uint32_t bytes) override { return inner_.SetBuff(adapter, bytes); }
  bool SetReadTimeout(AdapterHandle& adapter, int milliseconds) override {
    return inner_.SetReadTimeout(adapter, milliseconds);
  }
  bool SetReadTimeoutUs(AdapterHandle& adapter, int64_t microseconds) override {
    return inner_.SetReadTimeoutUs(adapter, microseconds);
  }
  std::unique_ptr<Packet> AllocatePacket() override { return inner_.AllocatePacket(); }
  void FreePacket(std::unique_ptr<Packet> packet) override { inner_.FreePacket(std::move(packet)); }
  bool SetNumWrites(AdapterHandle& adapter, int count) override { return inner_.SetNumWrites(adapter, count); }
  bool SendPacket(AdapterHandle& adapter, Packet& packet) override;
  bool ReceivePacket(AdapterHandle& adapter, Packet& packet) override;
  void DiscardPending(AdapterHandle& adapter) override { inner_.DiscardPending(adapter); }
  std::string LastError() const override { return inner_.LastError(); }

  // Whether every frame so far reached the file.
  bool WriteOk() const { return writeOk_; }
  size_t FramesWritten() const { return framesWritten_; }

 private:
  int64_t NowUs();
  void Record(const uint8_t* frame, size_t length, int64_t timestampUs);

  PacketDriver& inner_;
  PcapWriter& writer_;
  Clock* clock_;
  bool writeOk_ = true;
  size_t framesWritten_ = 0;
};

}  // namespace brisfell::sim
