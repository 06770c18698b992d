#include "sim/recording_driver.h"

#include <chrono>

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
  WalkCapture(packet.buffer, n, [&](const CapturedFrame& f) {
    Record(f.data, f.capturedLength, f.timestampUs);
    return true;
  });
  return ok;
}

}  // namespace brisfell::sim
