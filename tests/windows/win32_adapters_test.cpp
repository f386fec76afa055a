#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "net/win32_adapters.h"
#include "protocol/text.h"

namespace telvane::win32 {
namespace {

// The namespace's program side as scripts/netns.sh describes it in the environment.
std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value == nullptr ? std::string() : value;
}

std::string MacText(const MAC& m) {
    char text[18];
    std::snprintf(text, sizeof text, "%02x-%02x-%02x-%02x-%02x-%02x", m[0], m[1], m[2], m[3], m[4], m[5]);
    return text;
}

class Win32Adapters : public ::testing::Test {
protected:
    void SetUp() override {
        if (Env("TELVANE_NETNS_HARNESS") != "1") GTEST_SKIP() << "needs the namespace of scripts/netns.sh";
    }
};

TEST_F(Win32Adapters, ListsTheNamespacesLinksInOrderWithAddressesAndPrefixes) {
    const std::vector<SystemAdapter> all = QuerySystemAdapters();
    std::vector<SystemAdapter> links;
    for (const SystemAdapter& a : all) {
        if (a.adapter.ipv4_text == Env("TELVANE_ADAPTER1") || a.adapter.ipv4_text == Env("TELVANE_ADAPTER2"))
            links.push_back(a);
    }
    ASSERT_EQ(links.size(), 2u);
    EXPECT_EQ(links[0].adapter.ipv4_text, Env("TELVANE_ADAPTER1"));
    EXPECT_EQ(MacText(links[0].adapter.hardware_address), Env("TELVANE_ADAPTER1_MAC"));
    EXPECT_EQ(links[1].adapter.ipv4_text, Env("TELVANE_ADAPTER2"));
    EXPECT_EQ(MacText(links[1].adapter.hardware_address), Env("TELVANE_ADAPTER2_MAC"));
    EXPECT_EQ(links[0].ipv4_prefix_length, 24);
    EXPECT_EQ(FormatIpv4(links[0].adapter.ipv4_mask), "255.255.255.0");
    EXPECT_EQ(FormatIpv4(links[1].adapter.ipv4_mask), "255.255.255.0");
    EXPECT_NE(links[0].interface_index, links[1].interface_index);
}

// The usability rule skips adapters without a hardware address; loopback is one.
TEST_F(Win32Adapters, LoopbackHasNoHardwareAddress) {
    bool seen = false;
    for (const SystemAdapter& a : QuerySystemAdapters()) {
        if (a.adapter.ipv4_text != "127.0.0.1") continue;
        seen = true;
        EXPECT_EQ(MacText(a.adapter.hardware_address), "00-00-00-00-00-00");
    }
    EXPECT_TRUE(seen);
}

TEST_F(Win32Adapters, FindsTheInterfaceHoldingAnAddress) {
    const auto address = ParseIpv4(Env("TELVANE_ADAPTER2"));
    ASSERT_TRUE(address.has_value());
    const auto index = InterfaceHolding(*address);
    ASSERT_TRUE(index.has_value());
    for (const SystemAdapter& a : QuerySystemAdapters()) {
        if (a.adapter.ipv4_text == Env("TELVANE_ADAPTER2")) {
            EXPECT_EQ(a.interface_index, *index);
        }
    }
    EXPECT_FALSE(InterfaceHolding(IPV4{203, 0, 113, 77}).has_value());
}

}  // namespace
}  // namespace telvane::win32
