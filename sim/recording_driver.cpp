#include "sim/recording_driver.h"

#include <chrono>

#include "engine/byte_order.h"
#include "engine/frames.h"

namespace brisfell::sim {
RecordingDriver::RecordingDriver(PacketDriver& inner, PcapWriter& writer, Clock* clock)
    : inner_(inner), writer_(writer), clock_(clock) {}

int64_t RecordingDriver::NowUs() {
  if (clock_) return clock_->NowUs();
  using namespace std::chrono;
  return duration_cast<microseconds>(system_clock::now().time_since_epoch()).count();
}

void RecordingDriver::Record(const uint8_t* frame, size_t length, int64_t timestampUs) {
  if (writer_.Write(frame, length, timestampUs)) {
    ++framesWritten_;
  } else {
    writeOk_ = false;
  }
}

bool RecordingDriver::SendPacket(AdapterHandle& adapter, Packet& packet) {
  if (packet.buffer && packet.length > 0) Record(packet.buffer, packet.length, NowUs());
  return inner_.SendPacket(adapter, packet);
}

bool RecordingDriver::ReceivePacket(AdapterHandle& adapter, Packet& packet) {
  const bool ok = inner_.ReceivePacket(adapter, packet);
  if (!ok || !packet.buffer || packet.bytesReceived == 0) return ok;
  const uint32_t n = packet.bytesReceived < packet.length ? packet.bytesReceived : packet.length;
  // The same walk the engine makes, so that the file holds exactly the frames it saw; the time
  // stamps come from the capture headers.
  size_t offset = 0;
  while (offset < n && n - offset >= capture::kHeaderSize) {
    const uint8_t* h = packet.buffer + offset;
    const int64_t stamp = static_cast<int64_t>(LoadLe32(h)) * 1'000'000 + LoadLe32(h + 4);
    const uint32_t captured = LoadLe32(h + capture::kCapLenOffset);
    const uint16_t headerLength = LoadLe16(h + capture::kHdrLenOffset);
    if (headerLength < capture::kHeaderSize) break;
    const size_t dataStart = offset + headerLength;
    if (dataStart > n || captured > n - dataStart) break;
    Record(packet.buffer + dataStart, captured, stamp);
    offset = (dataStart + captured + 3) & ~static_cast<size_t>(3);
  }
  return ok;
}

}  // namespace brisfell::sim
