// The read and write paths as a real wire needs them: gets asked again when no answer comes,
// batches that keep a window of gets in flight, answers matched to the switch and register
// asked (late, doubled and stray ones dropped), writes read back, and failures that say what
// failed.
#include <algorithm>
#include <climits>
#include <cstdlib>

#include "engine/engine.h"

namespace brisfell {

// One register of one switch being read.
struct Engine::Ask {
  uint16_t reg = 0;
  int tries = 0;          // gets sent
  int64_t firstUs = 0;    // when the first went out: the register's time-out runs from here
  int64_t lastUs = 0;
  uint64_t lastSeq = 0;   // the latest get's place among all gets sent
  uint64_t answeredSeq = 0;
  int64_t answeredUs = 0;
  int overtaken = 0;      // answers to later gets of the same switch since the latest get
  bool probe = false;     // asked only to learn that late answers have stopped coming
  bool timedOut = false;  // asked again because no answer came in time (not because overtaken)
  bool tailProbed = false;  // the latest get was a tail probe
  bool done = false;
  uint32_t value = 0;
};

// The registers asked of one switch, in asking order.
struct Engine::Lane {
  int index = -1;
  const SwitchRecord* record = nullptr;
  std::vector<Ask> asks;
  size_t next = 0;  // the first not asked yet
  uint64_t provenSeq = 0;  // the latest get known to be answered: every earlier one was too, or is lost
  bool failed = false;
  std::string failure;

  bool Complete() const {
    return std::all_of(asks.begin(), asks.end(), [](const Ask& a) { return a.done; });
  }
  const Ask& Find(uint16_t reg) const {
    return *std::find_if(asks.begin(), asks.end(), [&](const Ask& a) { return a.reg == reg && !a.probe; });
  }
};

namespace {

int64_t Ms(int64_t us) { return (us + 500) / 1000; }

}  // namespace

std::string Engine::SwitchName(int index) const {
  const SwitchRecord* r = GetSwitchRecord(index);
  return r ? FormatMac(r->mac) + " (" + r->modelName + ")" : Format("switch %d (not in the table)", index);
}

bool Engine::Fail(const std::string& why) {
  lastFailure_ = why;
  return false;
}

int64_t Engine::ScaledUs(unsigned timeoutMs) const {
  return static_cast<int64_t>(timeoutMs) * 1000 * static_cast<int64_t>(link_.timeoutMs) / kRegisterTimeoutMs;
}

// Smoothed round trip and its variation, as TCP keeps them; only gets answered at their first
// try are measured (an answer to a repeated get may be the first one's).
void Engine::SampleRoundTrip(int64_t us) {
  us = std::max<int64_t>(us, 1);
  if (srttUs_ == 0) {
    srttUs_ = us;
    rttvarUs_ = us / 2;
  } else {
    rttvarUs_ = (3 * rttvarUs_ + std::llabs(srttUs_ - us)) / 4;
    srttUs_ = std::max<int64_t>(1, (7 * srttUs_ + us) / 8);
  }
}

int64_t Engine::RetransmitTimeoutUs() const {
  const int64_t floor = static_cast<int64_t>(link_.floorMs) * 1000;
  const int64_t ceiling = std::max<int64_t>(floor, static_cast<int64_t>(link_.ceilingMs) * 1000);
  const int64_t rto = srttUs_ == 0 ? static_cast<int64_t>(kRetransmitInitialMs) * 1000 : srttUs_ + 4 * rttvarUs_;
  return std::clamp(std::max(rto, floor) << rtoShift_, floor, ceiling);
}

// How long the last gets of a batch wait before one more is sent: twice the measured round
// trip, within the retransmission time-out; 0 (none) before anything was measured.
int64_t Engine::TailProbeUs() const {
  if (srttUs_ == 0) return 0;
  return std::min(std::max(2 * srttUs_, kTailProbeMinUs), RetransmitTimeoutUs());
}

// The wait before asking again after `tries` gets: doubled with each try, up to the ceiling.
int64_t Engine::BackoffUs(int tries) const {
  const int64_t ceiling = std::max<int64_t>(static_cast<int64_t>(link_.floorMs), link_.ceilingMs) * 1000;
  int64_t wait = RetransmitTimeoutUs();
  for (int i = 1; i < tries && wait < ceiling; ++i) wait *= 2;
  return std::min(wait, ceiling);
}

bool Engine::SendGet(Lane& lane, Ask& ask, int64_t nowUs) {
  if (!SendFrame(*Io(), BuildGet(stationMac_, lane.record->mac, lane.record->authKey, ask.reg))) return false;
  if (ask.tries == 0) ask.firstUs = nowUs;
  ++ask.tries;
  ask.lastUs = nowUs;
  ask.lastSeq = ++sendSeq_;
  ask.overtaken = 0;
  ask.tailProbed = false;
  return true;
}

void Engine::TakeReply(std::vector<Lane>& lanes, const RrcpFrame& reply, int64_t nowUs) {
  auto lane = std::find_if(lanes.begin(), lanes.end(),
                           [&](const Lane& l) { return !l.failed && l.record->mac == reply.source; });
  if (lane == lanes.end()) return;  // a switch nobody asked
  auto ask = std::find_if(lane->asks.begin(), lane->asks.end(),
                          [&](const Ask& a) { return a.reg == reply.reg && a.tries > 0 && !a.done; });
  if (ask == lane->asks.end()) {
    // Doubled, or for a register not asked (now). A copy of an answer taken says how long
    // copies may trail their first.
    for (const Ask& a : lane->asks)
      if (a.reg == reply.reg && a.done && !a.probe)
        copySpanUs_ = std::min<int64_t>(std::max(copySpanUs_, nowUs - a.answeredUs), kRetransmitCeilingMs * 1000);
    return;
  }
  // Taken for a late answer to a get of a failed operation, until this switch has answered a
  // get of this operation (the probe, below): asked again in time.
  if (owed_.count({reply.source, reply.reg})) return;
  // A switch answers in order: an answer taken earlier for a get sent after this one's latest
  // was not that get's (a stray naming the wrong register). It is asked again.
  for (Ask& b : lane->asks)
    if (b.done && b.answeredSeq > ask->lastSeq) {
      b.done = false;
      b.overtaken = kOvertakenReplies;
    }
  ask->done = true;
  ask->value = reply.value;
  ask->answeredSeq = ask->lastSeq;
  ask->answeredUs = nowUs;
  lastAnswerUs_ = nowUs;
  if (ask->tries == 1) {
    SampleRoundTrip(nowUs - ask->firstUs);
    rtoShift_ = 0;
    lane->provenSeq = std::max(lane->provenSeq, ask->lastSeq);
  } else if (ask->timedOut) {
    // Answered, but maybe only the first get, after the time-out: a round trip longer than
    // it cannot be measured this way (which get the answer is for is unknown). The time-out
    // stays doubled until a get answered at its first try is measured.
    rtoShift_ = std::min(rtoShift_ + 1, 16);
  }
  // This switch has answered a get of this operation: anything still owed from before came
  // ahead of it or was lost.
  std::erase_if(owed_, [&](const auto& entry) { return entry.first.first == reply.source; });
  for (Ask& c : lane->asks)
    if (c.tries > 0 && !c.done && c.lastSeq < ask->lastSeq) ++c.overtaken;
}

bool Engine::RunAsks(std::vector<Lane>& lanes, int64_t budgetUs) {
  AdapterHandle* io = Io();
  auto failAll = [&](const std::string& why) {
    for (Lane& l : lanes)
      if (!l.failed && !l.Complete()) {
        l.failed = true;
        l.failure = why;
      }
  };
  std::unique_ptr<Packet> packet;
  if (!io) {
    failAll("the adapter is not open for register access");
  } else if (!(packet = driver_.AllocatePacket())) {
    failAll("the packet driver has no packet object");
  }
  if (!io || !packet) return Fail(lanes.empty() ? "" : lanes.front().failure);

  const int64_t start = clock_.NowUs();
  std::erase_if(owed_, [&](const auto& e) { return start - e.second > static_cast<int64_t>(kLateReplyHorizonMs) * 1000; });
  // A switch that may still answer gets of a failed operation is first asked a register that
  // no such get named: it answers in order, so once that answer is in, the late ones are too.
  for (Lane& lane : lanes) {
    const Mac& mac = lane.record->mac;
    if (std::none_of(owed_.begin(), owed_.end(), [&](const auto& e) { return e.first.first == mac; })) continue;
    uint16_t probe = kRegPortInterface;
    while (owed_.count({mac, probe})) ++probe;
    auto same = std::find_if(lane.asks.begin(), lane.asks.end(), [&](const Ask& a) { return a.reg == probe; });
    if (same != lane.asks.end()) {
      std::rotate(lane.asks.begin(), same, same + 1);
    } else {
      Ask ask{probe};
      ask.probe = true;
      lane.asks.insert(lane.asks.begin(), ask);
    }
  }
  // Whatever is already waiting was sent before these gets and cannot answer them; where
  // answers have come in copies, the copies of the last operation's are waited out first.
  if (copySpanUs_ > 0 && lastAnswerUs_ + copySpanUs_ > start) clock_.SleepUs(lastAnswerUs_ + copySpanUs_ - start);
  driver_.DiscardPending(*io);
  receiveBuffer_.resize(driver::kReceiveBuffer);
  const int window = std::max(1, link_.window);
  const int tries = std::max(1, link_.tries);
  int64_t waitUs = -1;
  std::string error;

  for (;;) {
    const int64_t now = clock_.NowUs();
    bool open = false;
    int64_t wake = INT64_MAX;
    for (Lane& lane : lanes) {
      if (lane.failed) continue;
      for (Ask& a : lane.asks)
        if (a.probe && a.tries > 0 && now - a.firstUs >= budgetUs) a.done = true;  // the others will tell
      for (const Ask& a : lane.asks)
        if (a.tries > 0 && !a.done && now - a.firstUs >= budgetUs) {
          lane.failed = true;
          lane.failure = Format("no answer from %s for register 0x%04X after %d %s in %lld ms", SwitchName(lane.index).c_str(),
                                a.reg, a.tries, a.tries == 1 ? "try" : "tries", static_cast<long long>(Ms(now - a.firstUs)));
          break;
        }
      if (lane.failed) continue;
      int inFlight = static_cast<int>(
          std::count_if(lane.asks.begin(), lane.asks.end(), [](const Ask& a) { return a.tries > 0 && !a.done; }));
      for (; inFlight < window && lane.next < lane.asks.size() && error.empty(); ++inFlight)
        if (!SendGet(lane, lane.asks[lane.next++], now)) error = "could not send to " + SwitchName(lane.index);
      const bool allAsked = lane.next == lane.asks.size();
      const int64_t probeUs = TailProbeUs();
      for (Ask& a : lane.asks) {
        if (a.tries == 0 || a.done || !error.empty()) continue;
        if (a.tries < tries) {
          const bool probe = allAsked && probeUs > 0 && !a.tailProbed;
          if (now >= a.lastUs + BackoffUs(a.tries)) {
            a.timedOut = true;
            if (!SendGet(lane, a, now)) error = "could not send to " + SwitchName(lane.index);
          } else if (probe && now >= a.lastUs + probeUs) {
            if (!SendGet(lane, a, now)) error = "could not send to " + SwitchName(lane.index);
            a.tailProbed = true;
          } else if (probe) {
            wake = std::min(wake, a.lastUs + probeUs);
          }
          wake = std::min(wake, a.lastUs + BackoffUs(a.tries));
        }
        wake = std::min(wake, a.firstUs + budgetUs);
      }
      open = open || !lane.Complete();
    }
    if (!error.empty() || !open) break;
    if (Cancelled()) {
      error = "cancelled";
      break;
    }
    const int64_t us = std::clamp<int64_t>(wake - now, 1, kReadRegisterDriverTimeoutMs * 1000);
    if (us != waitUs) {
      if (!driver_.SetReadTimeoutUs(*io, us)) {
        error = "the adapter's read time-out cannot be set";
        break;
      }
      waitUs = us;
    }
    InitPacket(*packet, receiveBuffer_.data(), static_cast<uint32_t>(receiveBuffer_.size()));
    if (!driver_.ReceivePacket(*io, *packet)) {
      error = "receiving from the adapter failed";
      break;
    }
    if (packet->bytesReceived == 0) continue;
    const int64_t at = clock_.NowUs();
    WalkBatch(receiveBuffer_.data(), packet->bytesReceived, [&](const uint8_t* data, size_t length) {
      if (auto reply = DecodeFrame(data, length); reply && reply->opcode == rrcp::kOpGetReply) TakeReply(lanes, *reply, at);
      return true;
    });
    // Only after the whole batch: a stray that came ahead of the answer it travels with must
    // not make the answered get look lost.
    for (Lane& lane : lanes)
      for (Ask& a : lane.asks)
        if (!lane.failed && a.tries > 0 && !a.done && a.tries < tries && a.overtaken >= kOvertakenReplies &&
            error.empty() && !SendGet(lane, a, at))
          error = "could not send to " + SwitchName(lane.index);
  }
  if (!error.empty()) {
    const std::string why = driver_.LastError();
    failAll(why.empty() || error == "cancelled" ? error : error + ": " + why);
  }
  // Gets that may still be answered during a later operation: unanswered ones, and those
  // asked again whose answer may have been the earlier get's, unless the switch has since
  // answered a get sent after them.
  for (const Lane& lane : lanes)
    for (const Ask& a : lane.asks)
      if (a.tries > 0 && (!a.done || a.tries > 1) && a.lastSeq > lane.provenSeq)
        owed_[{lane.record->mac, a.reg}] = a.lastUs;
  driver_.FreePacket(std::move(packet));

  bool all = true;
  for (const Lane& lane : lanes)
    if (lane.failed) {
      if (all) lastFailure_ = lane.failure;
      all = false;
    }
  return all;
}

// ---------------------------------------------------------------- register reads

bool Engine::ReadSwitches(std::vector<SwitchRead>& reads, unsigned timeoutMs) {
  CheckThread();
  lastFailure_.clear();
  std::vector<Lane> lanes;
  std::vector<int> laneOf(reads.size(), -1);
  bool all = true;
  for (size_t i = 0; i < reads.size(); ++i) {
    SwitchRead& read = reads[i];
    read.values.clear();
    read.ok = false;
    read.failure.clear();
    const SwitchRecord* record = GetSwitchRecord(read.index);
    if (!record) {
      read.failure = Format("no switch %d in the switch table", read.index);
      lastFailure_ = read.failure;
      all = false;
      continue;
    }
    // One lane a switch, each register asked once, in the order first given.
    auto same = std::find_if(lanes.begin(), lanes.end(), [&](const Lane& l) { return l.index == read.index; });
    if (same == lanes.end()) {
      lanes.push_back({});
      lanes.back().index = read.index;
      lanes.back().record = record;
      same = lanes.end() - 1;
    }
    laneOf[i] = static_cast<int>(same - lanes.begin());
    for (uint16_t reg : read.registers)
      if (std::none_of(same->asks.begin(), same->asks.end(), [&](const Ask& a) { return a.reg == reg; }))
        same->asks.push_back(Ask{reg});
  }
  if (!RunAsks(lanes, ScaledUs(timeoutMs))) all = false;
  for (size_t i = 0; i < reads.size(); ++i) {
    if (laneOf[i] < 0) continue;
    const Lane& lane = lanes[static_cast<size_t>(laneOf[i])];
    SwitchRead& read = reads[i];
    for (const Ask& a : lane.asks)
      if (a.done && !a.probe && std::find(read.registers.begin(), read.registers.end(), a.reg) != read.registers.end())
        read.values[a.reg] = a.value;
    read.ok = !lane.failed;
    read.failure = lane.failure;
    if (readObserver_) readObserver_(read.index, read.ok);
  }
  return all;
}

bool Engine::ReadRegisters(int index, const std::vector<uint16_t>& registers, std::map<uint16_t, uint32_t>& values,
                           unsigned timeoutMs) {
  std::vector<SwitchRead> reads(1);
  reads[0].index = index;
  reads[0].registers = registers;
  const bool ok = ReadSwitches(reads, timeoutMs);
  values = std::move(reads[0].values);
  return ok;
}

bool Engine::ReadRegister(int index, uint16_t reg, uint32_t& value, unsigned timeoutMs) {
  std::map<uint16_t, uint32_t> values;
  if (!ReadRegisters(index, {reg}, values, timeoutMs)) return false;
  value = values[reg];
  return true;
}

// One register until an absolute deadline (the reads inside writes and EEPROM operations).
bool Engine::ReadUntil(int index, uint16_t reg, uint32_t& value, int64_t deadlineUs) {
  const SwitchRecord* record = GetSwitchRecord(index);
  if (!record) return Fail(Format("no switch %d in the switch table", index));
  const int64_t left = deadlineUs - clock_.NowUs();
  if (left <= 0 || Cancelled()) return Fail(Format("no time left to read register 0x%04X of %s", reg, SwitchName(index).c_str()));
  std::vector<Lane> lanes(1);
  lanes[0].index = index;
  lanes[0].record = record;
  lanes[0].asks.push_back(Ask{reg});
  if (!RunAsks(lanes, left)) return false;
  value = lanes[0].Find(reg).value;
  return true;
}

// ---------------------------------------------------------------- register writes

bool Engine::SendSet(int index, uint16_t reg, uint32_t value) {
  const SwitchRecord* record = GetSwitchRecord(index);
  AdapterHandle* io = Io();
  if (!record) return Fail(Format("no switch %d in the switch table", index));
  if (!io) return Fail("the adapter is not open for register access");
  if (!SendFrame(*io, BuildSet(stationMac_, record->mac, record->authKey, reg, value))) {
    const std::string why = driver_.LastError();
    return Fail(Format("could not send register 0x%04X to %s", reg, SwitchName(index).c_str()) + (why.empty() ? "" : ": " + why));
  }
  return true;
}

bool Engine::WriteRegister(int index, uint16_t reg, uint32_t value) {
  CheckThread();
  lastFailure_.clear();
  if (IsChipOwnedRegister(reg)) return SendSet(index, reg, value);
  const int64_t start = clock_.NowUs();
  const int64_t deadline = start + ScaledUs(kRegisterTimeoutMs);
  for (int sent = 1;; ++sent) {
    if (!SendSet(index, reg, value)) return false;
    // The switch handles frames in order: the answer to a get sent after the set shows it.
    uint32_t held = 0;
    if (!ReadUntil(index, reg, held, deadline))
      return Fail(Format("register 0x%04X of %s was written but could not be read back: ", reg, SwitchName(index).c_str()) +
                  lastFailure_);
    if ((held & 0xFFFF) == (value & 0xFFFF)) return true;
    if (clock_.NowUs() >= deadline || Cancelled())
      return Fail(Format("%s holds 0x%04X in register 0x%04X after %d %s of 0x%04X in %lld ms", SwitchName(index).c_str(),
                         held & 0xFFFF, reg, sent, sent == 1 ? "write" : "writes", value & 0xFFFF,
                         static_cast<long long>(Ms(clock_.NowUs() - start))));
  }
}

// ---------------------------------------------------------------- EEPROM

// Issues an EEPROM command until the control register shows that very command (address and
// direction) completed without the failed bit; polls the busy bit every 5 ms. A control
// register still showing an earlier command means the command was lost on its way: it is
// issued again.
bool Engine::RunEepromCommand(int index, const std::function<bool()>& issue, uint32_t command, int64_t deadlineUs) {
  auto expired = [&] { return clock_.NowUs() >= deadlineUs || Cancelled(); };
  for (;;) {
    if (!issue()) return false;
    for (;;) {
      uint32_t control = 0;
      if (!ReadUntil(index, kRegEepromControl, control, deadlineUs)) return false;
      if (control & kEepromBusy) {
        if (expired()) return Fail(Format("the EEPROM of %s stayed busy", SwitchName(index).c_str()));
        clock_.SleepMs(kEepromPollMs);
        continue;
      }
      if ((control & kEepromCommandMask) == command && !(control & kEepromFailed)) return true;
      break;  // failed, or not this command: issue it again
    }
    if (expired())
      return Fail(Format("the EEPROM of %s did not carry out the command for byte 0x%04X", SwitchName(index).c_str(),
                         command & kEepromAddressMask));
    clock_.SleepMs(kEepromPollMs);
  }
}

bool Engine::ReadEepromByte(int index, uint16_t address, uint8_t& byte, unsigned timeoutMs) {
  std::vector<EepromRead> reads(1);
  reads[0].index = index;
  reads[0].address = address;
  if (!ReadEepromBytes(reads, timeoutMs)) return false;
  byte = reads[0].byte;
  return true;
}

// Each byte: the read command, then the control and data registers asked together. The data
// answer counts only when the control register shows this command done and was asked once
// (the data get then went out after it); otherwise the control register is polled every 5 ms
// and the command issued again when it failed or was lost. Switches run side by side.
bool Engine::ReadEepromBytes(std::vector<EepromRead>& reads, unsigned timeoutMs) {
  CheckThread();
  lastFailure_.clear();
  return ReadEepromBytesFor(reads, ScaledUs(timeoutMs));
}

bool Engine::ReadEepromBytesFor(std::vector<EepromRead>& reads, int64_t budget) {
  enum class Step { Issue, Poll, Data, Done };
  struct Job {
    int index = -1;
    std::vector<size_t> bytes;  // indexes into `reads`, in order
    size_t at = 0;
    Step step = Step::Issue;
    int64_t startUs = 0;
    int64_t notBeforeUs = 0;
    int commands = 0;
    bool failed = false;
  };
  std::vector<Job> jobs;
  for (size_t i = 0; i < reads.size(); ++i) {
    reads[i].ok = false;
    auto job = std::find_if(jobs.begin(), jobs.end(), [&](const Job& j) { return j.index == reads[i].index; });
    if (job == jobs.end()) {
      jobs.push_back({});
      jobs.back().index = reads[i].index;
      job = jobs.end() - 1;
    }
    job->bytes.push_back(i);
  }
  const int64_t start = clock_.NowUs();
  for (Job& j : jobs) j.startUs = start;
  std::string failure;
  auto fail = [&](Job& j, const std::string& why) {
    j.failed = true;
    if (failure.empty()) failure = why;
  };
  auto command = [&](const Job& j) { return (reads[j.bytes[j.at]].address & kEepromAddressMask) | kEepromReadCommand; };

  for (;;) {
    const int64_t now = clock_.NowUs();
    std::vector<Lane> lanes;
    std::vector<Job*> asked;
    int64_t wake = INT64_MAX;
    for (Job& j : jobs) {
      if (j.failed || j.step == Step::Done) continue;
      const uint16_t address = reads[j.bytes[j.at]].address;
      if (now - j.startUs >= budget || Cancelled()) {
        fail(j, Format("EEPROM byte 0x%04X of %s could not be read in %lld ms (%d %s)", address,
                       SwitchName(j.index).c_str(), static_cast<long long>(Ms(now - j.startUs)), j.commands,
                       j.commands == 1 ? "command" : "commands"));
        continue;
      }
      if (now < j.notBeforeUs) {
        wake = std::min(wake, j.notBeforeUs);
        continue;
      }
      if (j.step == Step::Issue) {
        if (!SendSet(j.index, kRegEepromControl, command(j))) {
          fail(j, lastFailure_);
          continue;
        }
        ++j.commands;
        j.step = Step::Poll;
      }
      Lane lane;
      lane.index = j.index;
      lane.record = GetSwitchRecord(j.index);
      if (j.step == Step::Poll) lane.asks.push_back(Ask{kRegEepromControl});
      lane.asks.push_back(Ask{kRegEepromData});
      lanes.push_back(std::move(lane));
      asked.push_back(&j);
    }
    if (lanes.empty()) {
      if (wake == INT64_MAX) break;
      clock_.SleepUs(wake - now);
      continue;
    }
    int64_t left = 0;
    for (const Job* j : asked) left = std::max(left, j->startUs + budget - now);
    RunAsks(lanes, std::min(left, ScaledUs(kRegisterTimeoutMs)));
    const int64_t after = clock_.NowUs();
    for (size_t k = 0; k < lanes.size(); ++k) {
      Job& j = *asked[k];
      const Lane& lane = lanes[k];
      if (lane.failed) {
        fail(j, Format("EEPROM byte 0x%04X: ", reads[j.bytes[j.at]].address) + lane.failure);
        continue;
      }
      const Ask& data = lane.Find(kRegEepromData);
      if (j.step == Step::Poll) {
        const Ask& control = lane.Find(kRegEepromControl);
        if (control.value & kEepromBusy) {
          j.notBeforeUs = after + kEepromPollMs * 1000;
          continue;
        }
        if ((control.value & kEepromCommandMask) != command(j) || (control.value & kEepromFailed)) {
          j.step = Step::Issue;  // failed, or lost on its way: issued again
          j.notBeforeUs = after + kEepromPollMs * 1000;
          continue;
        }
        if (control.tries != 1) {
          j.step = Step::Data;  // the data get may have gone out before the command completed
          continue;
        }
      }
      EepromRead& r = reads[j.bytes[j.at]];
      r.byte = static_cast<uint8_t>((data.value >> 8) & 0xFF);
      r.ok = true;
      j.commands = 0;
      j.startUs = after;
      j.step = ++j.at < j.bytes.size() ? Step::Issue : Step::Done;
    }
  }
  if (!failure.empty()) return Fail(failure);
  return std::all_of(reads.begin(), reads.end(), [](const EepromRead& r) { return r.ok; });
}

bool Engine::WriteEepromByte(int index, uint16_t address, uint8_t byte, unsigned timeoutMs) {
  CheckThread();
  lastFailure_.clear();
  const int64_t start = clock_.NowUs();
  const int64_t deadline = start + ScaledUs(timeoutMs);
  const uint32_t write = address & kEepromAddressMask;
  // A failed command is issued again whole: data, then command.
  auto issueWrite = [&] { return SendSet(index, kRegEepromData, byte) && SendSet(index, kRegEepromControl, write); };
  for (int attempt = 1;; ++attempt) {
    if (!RunEepromCommand(index, issueWrite, write, deadline)) return false;
    // A lost data frame writes whatever the data register held: only the byte read back
    // tells that the EEPROM holds what was asked.
    std::vector<EepromRead> back(1);
    back[0].index = index;
    back[0].address = address;
    const int64_t left = deadline - clock_.NowUs();
    if (left <= 0 || !ReadEepromBytesFor(back, left))
      return Fail(Format("EEPROM byte 0x%04X of %s was written but could not be read back", address,
                         SwitchName(index).c_str()) +
                  (left > 0 ? ": " + lastFailure_ : ""));
    if (back[0].byte == byte) return true;
    if (clock_.NowUs() >= deadline || Cancelled())
      return Fail(Format("EEPROM byte 0x%04X of %s holds 0x%02X after %d %s of 0x%02X in %lld ms", address,
                         SwitchName(index).c_str(), back[0].byte, attempt, attempt == 1 ? "write" : "writes", byte,
                         static_cast<long long>(Ms(clock_.NowUs() - start))));
    clock_.SleepMs(kEepromPollMs);
  }
}

// The vendor copy in EEPROM bytes 26-29 of every switch whose hello named another maker,
// all switches at once. A switch whose bytes could not be read keeps what its hello said.
bool Engine::LookUpVendors(std::vector<SwitchRecord*>& records) {
  if (records.empty()) return true;
  std::vector<EepromRead> reads;
  for (const SwitchRecord* r : records)
    for (uint16_t a = 26; a < 30; ++a) reads.push_back({r->index, a});
  for (int attempt = 0; attempt < kVendorLookUpTries; ++attempt) {
    std::vector<EepromRead> missing;
    for (const EepromRead& r : reads)
      if (!r.ok) missing.push_back(r);
    if (missing.empty()) break;
    ReadEepromBytesFor(missing, ScaledUs(kEepromTimeoutMs));
    for (const EepromRead& m : missing)
      for (EepromRead& r : reads)
        if (r.index == m.index && r.address == m.address && m.ok) r = m;
  }
  bool all = true;
  for (SwitchRecord* rec : records) {
    uint32_t v = 0;
    bool whole = true;
    for (const EepromRead& r : reads)
      if (r.index == rec->index) {
        whole = whole && r.ok;
        v |= static_cast<uint32_t>(r.byte) << (8 * (r.address - 26));
      }
    if (!whole) {
      all = false;
      warnings_.push_back(UnknownModelWarning(*rec));
      continue;
    }
    if ((v >> 16) == kKnownMakerCode) rec->vendorId = v;
  }
  return all;
}

}  // namespace brisfell
