#include "link_endpoints.h"

#include <gtest/gtest.h>

#include <map>

namespace mivo::link {
namespace {

TEST(ResolveLinkEndpoints, DefaultsEnvironmentAndOptions) {
  std::map<std::string, std::string> env;
  auto lookup = [&env](const char* name) -> std::optional<std::string> {
    auto found = env.find(name);
    if (found == env.end()) return std::nullopt;
    return found->second;
  };
  LinkEndpoints defaults;
  EXPECT_FALSE(ResolveLinkEndpoints({}, lookup, defaults));
  EXPECT_EQ(defaults.phoneAddress, "192.168.1.1");
  EXPECT_EQ(defaults.phonePort, 5001);
  EXPECT_EQ(defaults.tftpPort, 69);
  EXPECT_FALSE(defaults.addressOverridden);

  env = {
      {"MIVO_PHONE_ADDRESS", "127.0.0.1"}, {"MIVO_PHONE_PORT", "6001"}, {"MIVO_TFTP_PORT", "6969"}};
  LinkEndpoints fromEnv;
  EXPECT_FALSE(ResolveLinkEndpoints({}, lookup, fromEnv));
  EXPECT_EQ(fromEnv.phoneAddress, "127.0.0.1");
  EXPECT_TRUE(fromEnv.addressOverridden);
  EXPECT_EQ(fromEnv.phonePort, 6001);
  EXPECT_EQ(fromEnv.tftpPort, 6969);

  LinkEndpoints fromOptions;
  EXPECT_FALSE(ResolveLinkEndpoints({"127.0.0.2", 7001, 7069}, lookup, fromOptions));
  EXPECT_EQ(fromOptions.phoneAddress, "127.0.0.2");
  EXPECT_EQ(fromOptions.phonePort, 7001);
  EXPECT_EQ(fromOptions.tftpPort, 7069);

  env["MIVO_TFTP_PORT"] = "70000";
  LinkEndpoints bad;
  const auto error = ResolveLinkEndpoints({}, lookup, bad);
  ASSERT_TRUE(error);
  EXPECT_EQ(*error, "MIVO_TFTP_PORT is not a port number: 70000");
}

}  // namespace
}  // namespace mivo::link
