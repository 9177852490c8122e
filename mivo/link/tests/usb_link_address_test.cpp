#include "usb_link_address.h"

#include <gtest/gtest.h>

#include <set>

#include "link_fakes.h"

namespace mivo::link {
namespace {

using testing::FakeUi;

class FakeNet : public NetConfigPort {
 public:
  std::vector<int> InterfaceIndexes() override { return indexes; }
  std::size_t LocalAddressCount() override { return localCount; }
  std::vector<AdapterInfo> Adapters() override { return adapters; }
  bool AddAddress(int index, const std::string& address, const std::string& mask) override {
    attempts.push_back(address);
    if (failing.count(address) != 0 || mask != "255.255.255.0") return false;
    added.push_back({index, address});
    return true;
  }
  bool DeleteAddress(int index, const AdapterAddress& address) override {
    deleted.push_back({index, address.address});
    return true;
  }

  std::vector<int> indexes = {1, 5};
  std::size_t localCount = 2;
  std::vector<AdapterInfo> adapters = {
      {1, "lo", {{"127.0.0.1", 8}}},
      {5, "Velto 5837 USB Ethernet", {{"192.168.1.2", 24}, {"10.1.1.1", 8}, {"192.168.1.77", 24}}},
  };
  std::set<std::string> failing;
  std::vector<std::string> attempts;
  std::vector<std::pair<int, std::string>> added;
  std::vector<std::pair<int, std::string>> deleted;
};

TEST(SetupUsbLinkAddress, ReplacesEarlierAddressesWithTheFirstFreeOne) {
  FakeNet net;
  FakeUi ui;
  EXPECT_EQ(SetupUsbLinkAddress(net, ui), 1);
  EXPECT_EQ(net.deleted,
            (std::vector<std::pair<int, std::string>>{{5, "192.168.1.2"}, {5, "192.168.1.77"}}));
  EXPECT_EQ(net.added, (std::vector<std::pair<int, std::string>>{{5, "192.168.1.2"}}));
  EXPECT_TRUE(ui.shown.empty());
}

TEST(SetupUsbLinkAddress, TriesTheNextHostWhenAnAddFails) {
  FakeNet net;
  FakeUi ui;
  net.failing = {"192.168.1.2"};
  EXPECT_EQ(SetupUsbLinkAddress(net, ui), 1);
  EXPECT_EQ(net.added, (std::vector<std::pair<int, std::string>>{{5, "192.168.1.3"}}));
}

TEST(SetupUsbLinkAddress, FailuresShowTheirMessage) {
  FakeUi ui;
  FakeNet noAdapter;
  noAdapter.adapters.pop_back();
  EXPECT_EQ(SetupUsbLinkAddress(noAdapter, ui), 0);
  EXPECT_TRUE(noAdapter.attempts.empty());

  FakeNet allFail;
  for (int n = 2; n <= 255; ++n) allFail.failing.insert("192.168.1." + std::to_string(n));
  EXPECT_EQ(SetupUsbLinkAddress(allFail, ui), 0);
  EXPECT_EQ(allFail.attempts.size(), 254u);
  EXPECT_EQ(allFail.attempts.back(), "192.168.1.255");

  FakeNet unknownIndex;
  unknownIndex.indexes = {1};
  EXPECT_EQ(SetupUsbLinkAddress(unknownIndex, ui), 0);
  EXPECT_TRUE(unknownIndex.attempts.empty());

  EXPECT_EQ(ui.Texts(), (std::vector<std::string>{
                            "Velto 5837 USB not found or not activated !",
                            "Error add the IP address from 192.168.1.2 to 192.168.1.255 on Velto "
                            "5837 USB !",
                            "Error add the IP address from 192.168.1.2 to 192.168.1.255 on Velto "
                            "5837 USB !"}));
}

TEST(SetupUsbLinkAddress, EmptyAddressTableChangesNothing) {
  FakeNet net;
  FakeUi ui;
  net.localCount = 0;
  EXPECT_EQ(SetupUsbLinkAddress(net, ui), 1);
  EXPECT_TRUE(net.deleted.empty());
  EXPECT_TRUE(net.attempts.empty());
}

TEST(SetupUsbLinkAddress, DescriptionPrefixIsCaseSensitive) {
  FakeNet net;
  FakeUi ui;
  net.adapters[1].description = "velto 5837 usb";
  EXPECT_EQ(SetupUsbLinkAddress(net, ui), 0);
  EXPECT_TRUE(net.deleted.empty());
}

}  // namespace
}  // namespace mivo::link
