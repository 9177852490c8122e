// The USB link address setup on the real network stack, inside network namespaces that
// the test creates and deletes. Needs root; nothing leaves the test's own namespaces.

#include <gtest/gtest.h>
#include <unistd.h>

#include "test_process.h"

namespace mivo::link {
namespace {

using testing::ReadFile;
using testing::RunShell;
using testing::TempFolder;
using testing::TestProcess;

const std::string kTool = USB_LINK_SETUP_TOOL;
const std::string kPhonesim = std::getenv("PHONESIM") ? std::getenv("PHONESIM") : PHONESIM_PATH;
const std::string kCli = std::getenv("MIVO_CLI") ? std::getenv("MIVO_CLI") : MIVO_CLI_PATH;

// A network namespace named after the test process, deleted with everything in it.
class Namespace {
 public:
  explicit Namespace(const std::string& role)
      : m_name("mivo-link-" + std::to_string(::getpid()) + "-" + role) {
    m_ok = RunShell("ip netns add " + m_name) == 0 &&
           RunShell("ip -n " + m_name + " link set lo up") == 0;
  }
  ~Namespace() { RunShell("ip netns delete " + m_name + " 2>/dev/null"); }
  Namespace(const Namespace&) = delete;
  Namespace& operator=(const Namespace&) = delete;

  bool ok() const { return m_ok; }
  const std::string& name() const { return m_name; }
  int Ip(const std::string& arguments) const {
    return RunShell("ip -n " + m_name + " " + arguments + " >/dev/null 2>&1");
  }
  // Runs a shell command line inside the namespace; its exit status.
  int Exec(const std::string& command) const {
    return RunShell("ip netns exec " + m_name + " " + command);
  }
  std::string Addresses(const std::string& device) const {
    TempFolder folder;
    Exec("ip -4 -o addr show dev " + device + " > " + (folder / "a").string());
    return ReadFile(folder / "a");
  }

 private:
  std::string m_name;
  bool m_ok = false;
};

class UsbLinkNamespace : public ::testing::Test {
 protected:
  void SetUp() override {
    if (::geteuid() != 0) GTEST_SKIP() << "network namespaces need root";
    if (RunShell("command -v ip >/dev/null") != 0) GTEST_SKIP() << "ip (iproute2) missing";
  }
};

TEST_F(UsbLinkNamespace, ReplacesEarlierAddressesOfTheAliasedAdapterOnly) {
  Namespace pc("pc");
  ASSERT_TRUE(pc.ok());
  ASSERT_EQ(pc.Ip("link add usb0 type veth peer name other0"), 0);
  ASSERT_EQ(pc.Ip("link set usb0 alias 'Velto 5837 USB Remote NDIS'"), 0);
  for (const char* device : {"usb0", "other0"})
    ASSERT_EQ(pc.Ip(std::string("link set ") + device + " up"), 0);
  ASSERT_EQ(pc.Ip("addr add 192.168.1.2/24 dev usb0"), 0);
  ASSERT_EQ(pc.Ip("addr add 192.168.1.9/24 dev usb0"), 0);
  ASSERT_EQ(pc.Ip("addr add 192.168.1.50/24 dev other0"), 0);

  EXPECT_EQ(pc.Exec(kTool + " >/dev/null"), 0);
  const std::string usb = pc.Addresses("usb0");
  EXPECT_NE(usb.find("192.168.1.2/24"), std::string::npos) << usb;
  EXPECT_EQ(usb.find("192.168.1.9/"), std::string::npos) << usb;
  EXPECT_NE(pc.Addresses("other0").find("192.168.1.50/24"), std::string::npos);

  // 192.168.1.2 held by another interface: the next free one is taken.
  ASSERT_EQ(pc.Ip("addr add 192.168.1.2/32 dev lo"), 0);
  EXPECT_EQ(pc.Exec(kTool + " >/dev/null"), 0);
  EXPECT_NE(pc.Addresses("usb0").find("192.168.1.3/24"), std::string::npos) << pc.Addresses("usb0");
}

TEST_F(UsbLinkNamespace, WithoutTheAliasNothingChangesAndTheMessageNamesTheAdapter) {
  Namespace pc("noalias");
  ASSERT_TRUE(pc.ok());
  ASSERT_EQ(pc.Ip("link add usb0 type veth peer name usb1"), 0);
  ASSERT_EQ(pc.Ip("link set usb0 up"), 0);
  ASSERT_EQ(pc.Ip("addr add 192.168.1.2/24 dev usb0"), 0);
  TempFolder folder;
  EXPECT_EQ(pc.Exec(kTool + " > " + (folder / "out").string()), 1);
  EXPECT_EQ(ReadFile(folder / "out"), "Velto 5837 USB not found or not activated !\n");
  EXPECT_NE(pc.Addresses("usb0").find("192.168.1.2/24"), std::string::npos);
}

// The phone at 192.168.1.1 in a second namespace, reached through the veth after the
// setup gave the PC's side its address: connect, mode, login.
TEST_F(UsbLinkNamespace, ConnectReachesThePhoneThroughTheUsbLink) {
  if (kPhonesim.empty() || kCli.empty()) GTEST_SKIP() << "phonesim or mivo-cli not built";
  Namespace pc("pc2");
  Namespace phoneSide("phone");
  ASSERT_TRUE(pc.ok() && phoneSide.ok());
  ASSERT_EQ(pc.Ip("link add usb0 type veth peer name eth0 netns " + phoneSide.name()), 0);
  ASSERT_EQ(pc.Ip("link set usb0 alias 'Velto 5837 USB'"), 0);
  ASSERT_EQ(pc.Ip("link set usb0 up"), 0);
  ASSERT_EQ(phoneSide.Ip("addr add 192.168.1.1/24 dev eth0"), 0);
  ASSERT_EQ(phoneSide.Ip("link set eth0 up"), 0);

  TestProcess phone({"ip", "netns", "exec", phoneSide.name(), kPhonesim, "--allow-remote",
                     "--listen", "192.168.1.1:0"});
  const std::string port = phone.ReadLine();
  ASSERT_FALSE(port.empty());
  TempFolder folder;
  const int status = pc.Exec("env -u MIVO_PHONE_ADDRESS " + kCli + " connect --phone-port " + port +
                             " > " + (folder / "out").string() + " 2>&1");
  EXPECT_EQ(status, 0) << ReadFile(folder / "out");
  EXPECT_NE(ReadFile(folder / "out").find("MAC address: 02:00:00:00:58:37"), std::string::npos);
  EXPECT_NE(pc.Addresses("usb0").find("192.168.1.2/24"), std::string::npos);
}

}  // namespace
}  // namespace mivo::link
