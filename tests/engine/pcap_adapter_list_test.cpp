// The libpcap driver's adapter list: which interfaces are offered, how they are described, and
// that the engine reads the list back exactly as the driver laid it out.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/engine.h"
#include "engine/pcap/adapter_list.h"
#include "engine/pcap/pcap_driver.h"
#include "fake_driver.h"

namespace brisfell::pcapdrv {
namespace {

InterfaceInfo Ethernet(const std::string& name, uint8_t last = 1, const std::string& description = "") {
  InterfaceInfo i;
  i.name = name;
  i.pcapDescription = description;
  i.hardwareType = kArpHardwareEthernet;
  i.mac = Mac{0x02, 0x42, 0xAC, 0x11, 0x00, last};
  return i;
}

// The engine over a driver whose list is the one the libpcap driver would lay out.
class ListedDriver : public testing::FakeDriver {
 public:
  ListedDriver(testing::ManualClock& clock, std::vector<InterfaceInfo> adapters)
      : FakeDriver(clock), adapters_(std::move(adapters)) {}
  bool GetAdapterNames(uint8_t* buffer, uint32_t size, bool wide) override {
    return WriteNameList(adapters_, buffer, size, wide);
  }

 private:
  std::vector<InterfaceInfo> adapters_;
};

TEST(PcapAdapterList, OnlyEthernetInterfacesAreOffered) {
  EXPECT_TRUE(IsEthernetInterface(Ethernet("eth0")));
  EXPECT_TRUE(IsEthernetInterface(Ethernet("wlan0")));  // Wi-Fi captures as Ethernet too

  InterfaceInfo lo = Ethernet("lo");
  lo.hardwareType = 772;  // ARPHRD_LOOPBACK
  lo.loopback = true;
  EXPECT_FALSE(IsEthernetInterface(lo));
  InterfaceInfo flaggedLoopback = Ethernet("lo1");
  flaggedLoopback.loopback = true;
  EXPECT_FALSE(IsEthernetInterface(flaggedLoopback));

  // Capture-only devices have no hardware type at all; tunnels have one that is not Ethernet.
  for (const char* name : {"any", "bluetooth0", "usbmon1", "nflog", "nfqueue", "dbus-system"}) {
    InterfaceInfo pseudo;
    pseudo.name = name;
    EXPECT_FALSE(IsEthernetInterface(pseudo)) << name;
  }
  InterfaceInfo tun = Ethernet("tun0");
  tun.hardwareType = 65534;  // ARPHRD_NONE
  EXPECT_FALSE(IsEthernetInterface(tun));
  InterfaceInfo any = Ethernet("any");
  EXPECT_FALSE(IsEthernetInterface(any));
}

TEST(PcapAdapterList, DescriptionNamesInterfaceMacAndWhatLibpcapSays) {
  EXPECT_EQ(DescribeInterface(Ethernet("eth0", 2)), "eth0 (MAC 02:42:AC:11:00:02; no description)");
  EXPECT_EQ(DescribeInterface(Ethernet("enp3s0", 7, "Intel I219-V")), "enp3s0 (MAC 02:42:AC:11:00:07; Intel I219-V)");
  InterfaceInfo noMac = Ethernet("eth1");
  noMac.mac.reset();
  EXPECT_EQ(DescribeInterface(noMac), "eth1 (MAC unknown; no description)");
}

TEST(PcapAdapterList, EngineReadsTheListBackInBothFormats) {
  const std::vector<InterfaceInfo> adapters = {Ethernet("eth0", 1), Ethernet("veth-a", 2, "virtual pair")};
  for (const bool wideDriver : {false, true}) {
    testing::ManualClock clock;
    ListedDriver driver(clock, adapters);
    // A driver of version 3.0 on the NT family makes the engine ask for the 16-bit list.
    driver.version = wideDriver ? "3.0" : "4.x libpcap";
    Engine engine(driver, clock);
    ASSERT_EQ(engine.EnumerateAdapters(), 2) << "wide " << wideDriver;
    EXPECT_EQ(engine.AdapterNamesWide(), wideDriver);
    EXPECT_EQ(engine.AdapterName(0), "eth0");
    EXPECT_EQ(engine.AdapterName(1), "veth-a");
    EXPECT_EQ(engine.AdapterDescription(0), "eth0 (MAC 02:42:AC:11:00:01; no description)");
    EXPECT_EQ(engine.AdapterDescription(1), "veth-a (MAC 02:42:AC:11:00:02; virtual pair)");
  }
}

TEST(PcapAdapterList, NameSlotsDecodeInBothFormats) {
  const uint8_t narrow[] = {'e', 't', 'h', '0', 0};
  const uint8_t wide[] = {'e', 0, 't', 0, 'h', 0, '1', 0, 0, 0};
  EXPECT_EQ(NameFromSlot(narrow, false), "eth0");
  EXPECT_EQ(NameFromSlot(wide, true), "eth1");
  EXPECT_EQ(NameFromSlot(nullptr, false), "");
}

TEST(PcapAdapterList, LongDescriptionsAreCutBetweenCharacters) {
  // "é" is two bytes; placed so that byte 127 would fall inside one of them.
  std::string text(126, 'x');
  text += "\xC3\xA9\xC3\xA9";
  const std::string cut = CutUtf8(text, 127);
  EXPECT_EQ(cut.size(), 126u);
  EXPECT_EQ(CutUtf8("short", 127), "short");

  testing::ManualClock clock;
  ListedDriver driver(clock, {Ethernet("eth0", 1, std::string(100, 'd') + "\xC3\xA9" + std::string(40, 'e'))});
  Engine engine(driver, clock);
  ASSERT_EQ(engine.EnumerateAdapters(), 1);
  const std::string shown = engine.AdapterDescription(0);
  EXPECT_LE(shown.size(), 127u);
  EXPECT_EQ(shown.rfind("eth0 (MAC 02:42:AC:11:00:01; ddd", 0), 0u);
}

TEST(PcapAdapterList, AdaptersThatDoNotFitAreLeftOutFromTheEnd) {
  std::vector<InterfaceInfo> many;
  for (int i = 0; i < 40; ++i) many.push_back(Ethernet("eth" + std::to_string(i), static_cast<uint8_t>(i)));
  // Each entry takes 5 or 6 bytes of name and about 45 of description: 200 bytes hold 3 or 4.
  std::vector<uint8_t> buffer(200, 0xEE);
  ASSERT_TRUE(WriteNameList(many, buffer.data(), static_cast<uint32_t>(buffer.size()), false));
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(buffer.data())), "eth0");
  // The list is still well formed: names, an empty name, then as many descriptions.
  size_t pos = 0;
  int names = 0;
  while (buffer[pos] != 0) {
    pos += std::string(reinterpret_cast<const char*>(buffer.data() + pos)).size() + 1;
    ++names;
  }
  ++pos;
  EXPECT_GE(names, 3);
  for (int i = 0; i < names; ++i) {
    const std::string d(reinterpret_cast<const char*>(buffer.data() + pos));
    EXPECT_EQ(d.rfind("eth" + std::to_string(i) + " (MAC", 0), 0u) << d;
    pos += d.size() + 1;
  }
  EXPECT_LE(pos, buffer.size());

  uint8_t one = 0xEE;
  EXPECT_TRUE(WriteNameList({}, &one, 1, false));
  EXPECT_EQ(one, 0);  // the empty list: one terminator
  EXPECT_FALSE(WriteNameList({}, &one, 0, false));
}

TEST(PcapAdapterList, PermissionTextSaysHowToGrantTheCapability) {
  EXPECT_EQ(PermissionDeniedText("eth0", "/opt/brisfell/bin/brisfell"),
            "eth0: permission denied: run as root or grant the capability: sudo setcap "
            "cap_net_raw+ep /opt/brisfell/bin/brisfell");
}

// The real driver, as far as it goes without capture rights: it lists only Ethernet adapters
// described as above, takes the 8-bit list, and explains a failed open.
TEST(PcapDriver, ListsDescribedEthernetAdaptersAndExplainsFailedOpens) {
  PcapDriver driver;
  EXPECT_EQ(driver.GetVersion().rfind("4.x libpcap", 0), 0u) << driver.GetVersion();
  SystemClock clock;
  Engine engine(driver, clock);
  const int count = engine.EnumerateAdapters();
  ASSERT_GE(count, 0) << driver.LastError();
  EXPECT_FALSE(engine.AdapterNamesWide());
  for (int i = 0; i < count; ++i) {
    const std::string name = engine.AdapterName(i);
    EXPECT_NE(name, "lo");
    EXPECT_NE(name, "any");
    EXPECT_EQ(engine.AdapterDescription(i).rfind(name + " (MAC ", 0), 0u) << engine.AdapterDescription(i);
  }

  const uint8_t missing[] = "bf-missing0";
  EXPECT_EQ(driver.OpenAdapter(missing, false), nullptr);
  const std::string why = driver.LastError();
  EXPECT_EQ(why.rfind("bf-missing0: ", 0), 0u) << why;
  EXPECT_TRUE(why.find("no such interface") != std::string::npos ||
              why.find("permission denied: run as root") != std::string::npos)
      << why;
}

}  // namespace
}  // namespace brisfell::pcapdrv
