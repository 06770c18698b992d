// One console at a time on an adapter: the engine holds the adapter's lock for each
// open-use-close and waits a few seconds (on its own clock) for another console.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "engine/adapter_lock.h"
#include "engine/engine.h"
#include "fake_segment.h"

namespace brisfell {
namespace {

using testing::MacOf;
using testing::Segment;

// Locks on demand: busy for the first `busyTries` tries (or always), or failing outright.
struct ScriptedLocks : AdapterLocks {
  struct Held : AdapterLock {
    explicit Held(int& live) : live_(live) { ++live_; }
    ~Held() override { --live_; }
    int& live_;
  };
  int busyTries = 0;
  bool alwaysBusy = false;
  bool fails = false;
  int tries = 0;
  int live = 0;  // locks held right now
  std::vector<std::string> names;

  bool Applies(const std::string&) override { return true; }
  std::unique_ptr<AdapterLock> TryLock(const std::string& adapter, Outcome& outcome, std::string& error) override {
    ++tries;
    names.push_back(adapter);
    if (fails) {
      outcome = Outcome::Failed;
      error = "/run/brisfell: Read-only file system";
      return nullptr;
    }
    if (alwaysBusy || tries <= busyTries) {
      outcome = Outcome::Busy;
      return nullptr;
    }
    outcome = Outcome::Held;
    return std::make_unique<Held>(live);
  }
};

struct LockedSegment : Segment {
  std::shared_ptr<ScriptedLocks> locks = std::make_shared<ScriptedLocks>();
  int liveWhenSending = -1;
  LockedSegment() {
    engine.SetAdapterLocks(locks);
    switches = {{MacOf(1), 0x6B2D7002}};
    auto inner = driver.respond;
    driver.respond = [this, inner](const std::vector<uint8_t>& f) {
      liveWhenSending = std::min(liveWhenSending < 0 ? locks->live : liveWhenSending, locks->live);
      return inner(f);
    };
  }
};

TEST(AdapterLock, HeldForEachOpenUseCloseAndOnlyThen) {
  LockedSegment seg;
  ASSERT_EQ(seg.engine.DiscoverSwitches(0, false), 1);
  EXPECT_EQ(seg.liveWhenSending, 1) << "every frame of the discovery went out under the lock";
  EXPECT_EQ(seg.locks->live, 0) << "let go when the discovery adapter closed";
  EXPECT_EQ(seg.locks->names.front(), "fake0");
  seg.engine.SetCurrentSwitchIndex(0);
  {
    AdapterIo io(seg.engine);
    ASSERT_TRUE(io.ok());
    EXPECT_EQ(seg.locks->live, 1);
    uint32_t v = 0;
    EXPECT_TRUE(seg.engine.ReadRegister(0, 0x0200, v, kRegisterTimeoutMs));
  }
  EXPECT_EQ(seg.locks->live, 0);
  EXPECT_EQ(seg.driver.openHandles, 0);
}

// Another console holds the adapter for a while, or for good; or the lock itself is broken.
TEST(AdapterLock, WaitsForAnotherConsoleThenGivesUpWithItsMessage) {
  struct Case {
    const char* name;
    int busyTries;
    bool alwaysBusy;
    bool fails;
    int discovered;       // DiscoverSwitches' result
    int64_t waitedMinMs;  // at least this long spent on the lock
  };
  const std::vector<Case> cases = {
      {"free", 0, false, false, 1, 0},
      {"busy for half a second", 10, false, false, 1, 10 * kAdapterLockRetryMs},
      {"busy for good", 0, true, false, -1, kAdapterLockWaitMs},
      {"lock unavailable", 0, false, true, 1, 0},
  };
  for (const auto& c : cases) {
    LockedSegment seg;
    seg.locks->busyTries = c.busyTries;
    seg.locks->alwaysBusy = c.alwaysBusy;
    seg.locks->fails = c.fails;
    const int64_t start = seg.clock.NowMs();
    EXPECT_EQ(seg.engine.DiscoverSwitches(0, false), c.discovered) << c.name;
    const int64_t took = seg.clock.NowMs() - start;
    EXPECT_GE(took, c.waitedMinMs) << c.name;
    EXPECT_LT(took, c.waitedMinMs + 1200) << c.name << ": the lock wait plus one discovery at most";
    if (c.discovered < 0) {
      EXPECT_EQ(seg.engine.LastAdapterError(), "another console is using fake0") << c.name;
      EXPECT_EQ(seg.driver.opens, 0) << c.name << ": the adapter is not even opened";
    }
    const auto warnings = seg.engine.DiscoveryWarnings();
    if (c.fails) {
      ASSERT_EQ(warnings.size(), 1u) << c.name;
      EXPECT_NE(warnings[0].find("Read-only file system"), std::string::npos) << warnings[0];
    } else {
      EXPECT_TRUE(warnings.empty()) << c.name;
    }
    EXPECT_EQ(seg.locks->live, 0) << c.name;
  }

  // A page action meets the other console the same way: no handle, nothing sent.
  LockedSegment seg;
  ASSERT_EQ(seg.engine.DiscoverSwitches(0, false), 1);
  seg.engine.SetCurrentSwitchIndex(0);
  seg.locks->alwaysBusy = true;
  const size_t sent = seg.driver.sent.size();
  const int64_t start = seg.clock.NowMs();
  EXPECT_FALSE(seg.engine.OpenAdapterIo(0));
  EXPECT_GE(seg.clock.NowMs() - start, kAdapterLockWaitMs);
  EXPECT_EQ(seg.engine.LastAdapterError(), "another console is using fake0");
  EXPECT_FALSE(seg.engine.IoOpen());
  EXPECT_EQ(seg.driver.sent.size(), sent);
}

TEST(AdapterLock, LockFilesExcludeOneAnotherUntilLetGo) {
  testing::TempDir dir;
  FileAdapterLocks first(dir.File("locks")), second(dir.File("locks"));
  AdapterLocks::Outcome outcome{};
  std::string error;
  auto held = first.TryLock("eth0", outcome, error);
  ASSERT_EQ(outcome, AdapterLocks::Outcome::Held) << error;
  EXPECT_EQ(second.TryLock("eth0", outcome, error), nullptr);
  EXPECT_EQ(outcome, AdapterLocks::Outcome::Busy);
  EXPECT_EQ(error, "another console is using eth0");
  auto other = second.TryLock("eth1", outcome, error);
  EXPECT_EQ(outcome, AdapterLocks::Outcome::Held) << "another adapter is free";
  held.reset();
  EXPECT_NE(second.TryLock("eth0", outcome, error), nullptr);
  EXPECT_EQ(outcome, AdapterLocks::Outcome::Held);
  EXPECT_EQ(std::filesystem::status(dir.File("locks")).permissions() & std::filesystem::perms::all,
            std::filesystem::perms::owner_all);

  // A name can never lead out of the folder.
  EXPECT_EQ(FileAdapterLocks::FileName("eth0"), "eth0.lock");
  EXPECT_EQ(FileAdapterLocks::FileName("../../etc/passwd"), "_.._.._etc_passwd.lock");
  EXPECT_EQ(FileAdapterLocks::FileName(""), "_.lock");
  // Only the machine's own interfaces are shared with other processes.
  EXPECT_TRUE(first.Applies("lo"));
  EXPECT_FALSE(first.Applies("brisfell-sim0"));
  EXPECT_FALSE(first.Applies("fake0"));
}

// Every console meets in one shared folder (sticky and root's, as /run/lock): the lock file is
// readable by all whatever the umask, so that a console of another user can lock it too, and
// what is planted in its place (a link, a FIFO) is refused without being followed or blocking.
TEST(AdapterLock, TheSharedPlaceServesEveryUserAndRefusesWhatIsPlanted) {
  testing::TempDir dir;
  const std::string shared = dir.File("lock");
  ASSERT_EQ(::mkdir(shared.c_str(), 0700), 0);
  ASSERT_EQ(::chmod(shared.c_str(), 01777), 0);
  FileAdapterLocks locks(shared);
  AdapterLocks::Outcome outcome{};
  std::string error;
  const mode_t umask = ::umask(077);
  auto held = locks.TryLock("eth0", outcome, error);
  ::umask(umask);
  ASSERT_EQ(outcome, AdapterLocks::Outcome::Held) << error;
  struct stat st {};
  ASSERT_EQ(::stat((shared + "/eth0.lock").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0644u);

  ASSERT_EQ(::symlink("/etc/passwd", (shared + "/eth1.lock").c_str()), 0);
  ASSERT_EQ(::mkfifo((shared + "/eth2.lock").c_str(), 0644), 0);
  for (const char* adapter : {"eth1", "eth2"}) {
    EXPECT_EQ(locks.TryLock(adapter, outcome, error), nullptr) << adapter;
    EXPECT_EQ(outcome, AdapterLocks::Outcome::Failed) << adapter;
    EXPECT_NE(error.find(shared + "/" + adapter + ".lock"), std::string::npos) << error;
  }
}

}  // namespace
}  // namespace brisfell
