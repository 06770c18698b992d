// Received batches: the walker over capture headers, the codec and the hello-reply and get-reply
// filters see whatever the adapter hands over. None may read outside the batch, the get-reply
// search must agree with walking the batch and filtering each frame, and what the codec
// decodes it encodes back to the same fields.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "engine/byte_order.h"
#include "engine/frames.h"

using namespace brisfell;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 8) return 0;
  // The first bytes choose what is asked for: a register and the switch that must answer.
  const uint16_t reg = LoadLe16(data);
  Mac from{};
  for (int i = 0; i < 6; ++i) from[i] = data[2 + i];
  const uint8_t* batch = data + 8;
  const size_t n = size - 8;

  std::optional<uint32_t> firstMatch;
  size_t frames = 0;
  WalkBatch(batch, n, [&](const uint8_t* frame, size_t length) {
    // Every frame handed out lies inside the batch.
    if (frame < batch || frame + length > batch + n) std::abort();
    ++frames;
    (void)DescribeFrame(frame, length);
    if (const auto decoded = DecodeFrame(frame, length)) {
      const Frame again = EncodeFrame(*decoded);
      if (DecodeFrame(again.data(), again.size()) != decoded) std::abort();
    }
    if (auto hello = ParseHelloReply(frame, length)) {
      if (length < rrcp::kHelloReplyMinLength) std::abort();
    }
    if (auto value = ParseGetReply(frame, length, reg, from)) {
      if (length < rrcp::kGetReplyMinLength) std::abort();
      if (!firstMatch) firstMatch = value;
    }
    return true;
  });
  // A frame is at least its capture header long, so the walk always ends.
  if (frames > n / capture::kHeaderSize + 1) std::abort();
  if (FindGetReply(batch, n, reg, from) != firstMatch) std::abort();
  return 0;
}
