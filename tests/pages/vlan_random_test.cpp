// Seeded sequences of adds, edits and deletes through the page logic on emulated switches,
// checked after every step against a plain model of the operator's VLANs and against the
// invariants the chip's table must keep.
#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <random>
#include <set>
#include <string>

#include "pages/vlan/vlan_config.h"
#include "pages/vlan/vlan_edit.h"
#include "vlan_fixture.h"

namespace brisfell::testing {
namespace {

// The operator's VLANs by entry, as the list should show them.
using Vlans = std::map<int, VlanEntryValue>;

struct Expected {
  std::optional<std::string> failure;
  Vlans next;
};

bool Within(uint32_t inner, uint32_t outer) { return (inner & ~outer) == 0; }

void DropContained(Vlans& v) {
  for (int k = 0; k < kOperatorEntries; ++k) {
    auto it = v.find(k);
    if (it == v.end() || !it->second.PortBased()) continue;
    for (const auto& [j, other] : v) {
      if (j != k && other.PortBased() && Within(it->second.members, other.members)) {
        v.erase(it);
        break;
      }
    }
  }
}

// Every distinct union of the port-based VLANs of a port in two or more needs a free entry
// among 1-30.
bool CombinedFit(const Vlans& v, int n) {
  std::set<uint32_t> unions;
  for (int p = 0; p < n; ++p) {
    uint32_t u = 0;
    int count = 0;
    for (const auto& [k, e] : v)
      if (e.PortBased() && (e.members >> p & 1)) {
        ++count;
        u |= e.members;
      }
    if (count > 1) unions.insert(u);
  }
  int free = 0;
  for (int k = 1; k < kOperatorEntries; ++k) free += v.count(k) == 0;
  return static_cast<int>(unions.size()) <= free;
}

Expected ModelSet(const Vlans& v, int n, int entry, uint32_t members, bool tagged, uint32_t vid) {
  Expected out;
  if (entry == -1) {
    for (int k = 0; k < kOperatorEntries && entry == -1; ++k)
      if (!v.count(k)) entry = k;
    if (entry == -1) {
      out.failure = kMaxVlansReached;
      return out;
    }
  }
  if (tagged) {
    if (vid < 1 || vid > 4094) {
      out.failure = "Failed!\nInvalid VLAN ID (use 1-4094)!\n";
      return out;
    }
    for (const auto& [k, e] : v)
      if (k != entry && e.vlanId == vid) {
        out.failure = Format("Same Tag with VLAN %d!\n", k + 1);
        return out;
      }
  }
  out.next = v;
  out.next[entry] = {members, tagged ? vid : 0};
  DropContained(out.next);
  if (!CombinedFit(out.next, n)) out.failure = kMaxVlansReached;
  return out;
}

Expected ModelDelete(const Vlans& v, int n, int entry) {
  Expected out;
  out.next = v;
  out.next.erase(entry);
  if (!CombinedFit(out.next, n)) out.failure = kMaxVlansReached;
  return out;
}

Vlans Listed(const VlanImage& image) {
  Vlans v;
  for (int k = 0; k < kOperatorEntries; ++k)
    if (IsListedVlan(image.entries, k)) v[k] = image.entries[k];
  return v;
}

void ExpectChipConsistent(const VlanImage& image) {
  uint32_t inOthers = 0;
  for (int k = 0; k < kOperatorEntries; ++k) inOthers |= image.entries[k].members;
  EXPECT_EQ(image.entries[kUnassignedEntry].members, image.allPorts & ~inOthers);
  for (int p = 0; p < image.portCount; ++p) {
    const int idx = image.PortIndex(p);
    EXPECT_TRUE(image.entries[idx].members >> p & 1) << "port " << p << " has index " << idx;
  }
  const Vlans listed = Listed(image);
  for (const auto& [k, a] : listed)
    for (const auto& [j, b] : listed)
      if (j != k && a.PortBased() && b.PortBased()) {
        EXPECT_FALSE(Within(b.members, a.members)) << k << " " << j;
      }
}

class VlanRandom : public VlanTest, public ::testing::WithParamInterface<std::tuple<int, int>> {};

TEST_P(VlanRandom, SequencesKeepTheTableConsistent) {
  const auto [n, seed] = GetParam();
  Use(n);
  std::mt19937 rng(static_cast<uint32_t>(seed * 7919 + n));
  auto chance = [&](int percent) { return static_cast<int>(rng() % 100) < percent; };

  // Start from the power-on table, from "Delete All" or from home VLANs.
  const int start = seed % 3;
  if (start == 1 || (start == 0 && n > 24)) {
    ASSERT_EQ(DeleteAllVlans(ctx), VlanOutcome::kWritten);
  } else if (start == 2) {
    prompt.answers = {true};
    ASSERT_EQ(ResetToHomeVlan(ctx), VlanOutcome::kWritten);
  }
  Vlans model = Listed(ChipImage());

  // A few ports only, so that VLANs overlap often; ends of the port range included.
  const std::vector<int> pool = {0, 1, 2, 3, 4, 5, n - 2, n - 1};
  const uint32_t vids[] = {10, 20, 30, 40, 4094, 4095, 0};
  int refusals = 0, writes = 0, combinedSeen = 0;

  for (int step = 0; step < 40; ++step) {
    SCOPED_TRACE("step " + std::to_string(step));
    Chip().ClearLog();
    prompt.shown.clear();

    Expected expected;
    VlanOutcome outcome;
    const int op = static_cast<int>(rng() % 4);
    if (op == 3 && !model.empty()) {
      auto it = std::next(model.begin(), static_cast<long>(rng() % model.size()));
      const int entry = it->first;
      expected = ModelDelete(model, n, entry);
      outcome = DeleteSelectedVlan(ctx, Format("Vlan %d", entry + 1));
    } else {
      int entry = -1;
      if (op == 2 && !model.empty()) entry = std::next(model.begin(), static_cast<long>(rng() % model.size()))->first;
      VlanEditForm form;
      form.entry = entry;
      form.portCount = n;
      uint32_t members = 0;
      const int count = 1 + static_cast<int>(rng() % 3);
      for (int i = 0; i < count; ++i) {
        const int position = pool[rng() % pool.size()];
        form.checked[position] = true;
        members |= 1u << ChipPort(position);
      }
      const bool tagged = chance(35);
      ChooseVlanType(form, tagged ? kVlanTagBased : kVlanPortBased);
      const uint32_t vid = vids[rng() % std::size(vids)];
      form.vlanIdText = vid ? std::to_string(vid) : "";
      expected = ModelSet(model, n, entry, members, tagged, vid);
      outcome = ApplyVlanEdit(ctx, form);
    }

    EXPECT_FALSE(sim.engine.IoOpen());
    if (expected.failure) {
      ++refusals;
      EXPECT_EQ(outcome, VlanOutcome::kRefused);
      EXPECT_EQ(prompt.MessageTexts(), std::vector<std::string>{*expected.failure});
      EXPECT_TRUE(Chip().WriteLog().empty());
    } else {
      ++writes;
      EXPECT_EQ(outcome, VlanOutcome::kWritten);
      EXPECT_TRUE(prompt.shown.empty());
      model = expected.next;
    }
    const VlanImage chip = ChipImage();
    for (int k = 1; k < kOperatorEntries; ++k)
      combinedSeen += chip.entries[k].members != 0 && !IsListedVlan(chip.entries, k);
    EXPECT_EQ(Listed(chip), model);
    ExpectChipConsistent(chip);
    if (::testing::Test::HasFailure()) break;
  }
  EXPECT_GT(writes, 0);
  RecordProperty("writes", writes);
  RecordProperty("refusals", refusals);
  RecordProperty("combinedEntries", combinedSeen);
}

INSTANTIATE_TEST_SUITE_P(Vlan, VlanRandom,
                         ::testing::Combine(::testing::Values(16, 24, 26), ::testing::Range(1, 7)));

}  // namespace
}  // namespace brisfell::testing
