#include "diagnostics/doctor_checks.h"

#include <gtest/gtest.h>

#include <fstream>
#if defined(__unix__)
#include <pthread.h>
#endif
#include <sstream>

namespace telvane {
namespace {

using nlohmann::json;

// Rulesets as `nft -j list ruleset` printed them (nftables 1.0.6), made with nft and
// iptables in a private namespace.
std::string Sample(const std::string& name) {
    std::ifstream in(std::string(TELVANE_NFT_SAMPLES) + "/" + name + ".json");
    std::ostringstream text;
    text << in.rdbuf();
    EXPECT_FALSE(text.str().empty()) << name;
    return text.str();
}

PROGRAM_RESULT NftPrinted(const std::string& output) {
    PROGRAM_RESULT r;
    r.started = true;
    r.exit_code = 0;
    r.output = output;
    return r;
}

DOCTOR_CHECK Firewall(const std::string& sample, const std::string& interface_name = "tvp1") {
    return CheckFirewall(NftPrinted(Sample(sample)), FIREWALL_PACKET{interface_name, 32768, 60999});
}

// A ruleset of one inet input chain with policy drop and the given rules (nft -j form).
json DropChainWith(const json& rules) {
    json doc = {{"nftables", json::array()}};
    doc["nftables"].push_back({{"table", {{"family", "inet"}, {"name", "f"}, {"handle", 1}}}});
    doc["nftables"].push_back({{"chain",
                                {{"family", "inet"},
                                 {"table", "f"},
                                 {"name", "in"},
                                 {"handle", 1},
                                 {"type", "filter"},
                                 {"hook", "input"},
                                 {"prio", 0},
                                 {"policy", "drop"}}}});
    int handle = 2;
    for (const json& expr : rules) {
        doc["nftables"].push_back(
            {{"rule", {{"family", "inet"}, {"table", "f"}, {"chain", "in"}, {"handle", handle++}, {"expr", expr}}}});
    }
    return doc;
}

json UdpDportAccept(const json& right) {
    return json::array(
        {{{"match",
           {{"op", "=="}, {"left", {{"payload", {{"protocol", "udp"}, {"field", "dport"}}}}}, {"right", right}}}},
         {{"accept", nullptr}}});
}

TEST(FirewallCheck, NoRulesetIsOk) {
    const auto check = Firewall("empty");
    EXPECT_EQ(check.status, CHECK_STATUS::OK);
    EXPECT_EQ(check.detail, "no firewall rules on the input path");
}

// Guards against trusting "established,related": a reply to a broadcast is a new
// connection to the firewall, so the policy drops it.
TEST(FirewallCheck, DropPolicyWithOnlyEstablishedRuleFails) {
    const auto check = Firewall("drop_established");
    EXPECT_EQ(check.status, CHECK_STATUS::FAIL);
    EXPECT_EQ(check.detail,
              "inet filter input drops UDP datagrams from port 18768 on tvp1 (policy drop); \"ct state "
              "established,related\" does not match replies to a broadcast");
    EXPECT_EQ(check.fix, "nft insert rule inet filter input udp sport 18768 accept");
}

TEST(FirewallCheck, RuleAcceptingSourcePortIsOk) {
    const auto check = Firewall("drop_sport_accept");
    EXPECT_EQ(check.status, CHECK_STATUS::OK);
    EXPECT_EQ(check.detail, "inet filter input let UDP datagrams from port 18768 on tvp1 in");
}

// A verdict map on the tracking state has no element for a new connection.
TEST(FirewallCheck, StateVerdictMapPassesNewDatagramsOn) {
    EXPECT_EQ(Firewall("vmap").status, CHECK_STATUS::OK);
}

// A broadcast reply and a unicast one differ in packet type: nothing to decide on.
TEST(FirewallCheck, PacketTypeRuleIsUnknown) {
    const auto check = Firewall("pkttype");
    EXPECT_EQ(check.status, CHECK_STATUS::UNKNOWN);
    EXPECT_NE(check.detail.find("rule 4 depends on meta pkttype in chain inet filter input"), std::string::npos);
}

// An ingress chain sees only its own device's datagrams; a nat chain filters nothing.
TEST(FirewallCheck, IngressChainCountsOnItsDeviceOnly) {
    // This nft does not print the device; the check cannot know where the chain drops.
    const auto unbound = Firewall("netdev", "tvp1");
    EXPECT_EQ(unbound.status, CHECK_STATUS::UNKNOWN);
    EXPECT_NE(unbound.detail.find("rule 2 drops them if it is bound to tvp1 (nft does not say)"), std::string::npos);

    json doc = json::parse(Sample("netdev"));
    for (json& item : doc["nftables"]) {
        if (item.contains("chain") && item["chain"]["family"] == "netdev") item["chain"]["dev"] = "tvp1";
    }
    const auto on_device = CheckFirewall(NftPrinted(doc.dump()), {"tvp1", 32768, 60999});
    EXPECT_EQ(on_device.status, CHECK_STATUS::FAIL);
    EXPECT_EQ(on_device.detail, "netdev edge ingress drops UDP datagrams from port 18768 on tvp1 (rule 2 drops them)");
    EXPECT_EQ(CheckFirewall(NftPrinted(doc.dump()), {"tvp2", 32768, 60999}).status, CHECK_STATUS::OK);
}

// A zone layout as firewalld makes it: the status of a new connection has no NAT bit,
// and the zone's chain, reached by goto, ends in the base chain's reject.
TEST(FirewallCheck, ZoneChainsEndingInRejectFail) {
    const auto check = Firewall("zones");
    EXPECT_EQ(check.status, CHECK_STATUS::FAIL);
    EXPECT_EQ(check.detail,
              "inet firewalld filter_INPUT drops UDP datagrams from port 18768 on tvp1 (rule 12 drops them); \"ct "
              "state established,related\" does not match replies to a broadcast");
    EXPECT_EQ(check.fix, "firewall-cmd --permanent --add-source-port=18768/udp && firewall-cmd --reload");
}

TEST(FirewallCheck, AcceptInAJumpedChainCounts) {
    EXPECT_EQ(Firewall("drop_jump").status, CHECK_STATUS::OK);
}

// An iptables conntrack match cannot be read, but both of its ways end in accept.
TEST(FirewallCheck, UnreadableRuleThatDecidesNothingIsPassedOver) {
    EXPECT_EQ(Firewall("iptables_sport").status, CHECK_STATUS::OK);
}

TEST(FirewallCheck, RuleDependingOnTheSenderIsUnknownNamingTheChain) {
    const auto check = Firewall("drop_saddr");
    EXPECT_EQ(check.status, CHECK_STATUS::UNKNOWN);
    EXPECT_EQ(check.detail,
              "cannot tell whether inet filter input lets UDP datagrams from port 18768 on tvp1 in: rule 3 depends on "
              "ip saddr in chain inet filter input");
    EXPECT_EQ(check.fix, "make sure they are accepted: nft insert rule inet filter input udp sport 18768 accept");
}

// Guards against taking a rule for the discovery port as a rule for the replies: they
// come from that port, to a temporary one.
TEST(FirewallCheck, RejectRuleAfterDestinationPortRuleFails) {
    const auto check = Firewall("reject_rule");
    EXPECT_EQ(check.status, CHECK_STATUS::FAIL);
    EXPECT_EQ(check.detail,
              "ip filter input drops UDP datagrams from port 18768 on tvp1 (rule 3 drops them); a rule on destination "
              "port 18768 does not match replies, which come from that port");
}

TEST(FirewallCheck, InterfaceNameDecides) {
    json doc = json::parse(Sample("misc"));
    auto& items = doc["nftables"];
    // Keep the rules on the trusted set and on tvp1 only.
    items.erase(std::remove_if(items.begin(), items.end(),
                               [](const json& i) { return i.contains("rule") && i["rule"]["handle"].get<int>() > 4; }),
                items.end());
    EXPECT_EQ(EvaluateFirewall(doc, {"tvp1", 32768, 60999}).verdict, FIREWALL_VERDICT::ACCEPT);
    const auto other = EvaluateFirewall(doc, {"tvp2", 32768, 60999});
    EXPECT_EQ(other.verdict, FIREWALL_VERDICT::UNKNOWN);
    EXPECT_EQ(other.reason, "rule 3 depends on ip saddr");
    // The full sample accepts port sets and ranges holding the discovery port on any link.
    EXPECT_EQ(Firewall("misc", "tvp2").status, CHECK_STATUS::OK);
}

TEST(FirewallCheck, DestinationPortRangeMustCoverEveryTemporaryPort) {
    const FIREWALL_PACKET packet{"eth0", 32768, 60999};
    EXPECT_EQ(
        EvaluateFirewall(DropChainWith(json::array({UdpDportAccept({{"range", {1024, 65535}}})})), packet).verdict,
        FIREWALL_VERDICT::ACCEPT);
    EXPECT_EQ(
        EvaluateFirewall(DropChainWith(json::array({UdpDportAccept({{"range", {40000, 50000}}})})), packet).verdict,
        FIREWALL_VERDICT::UNKNOWN);
    EXPECT_EQ(EvaluateFirewall(DropChainWith(json::array({UdpDportAccept(18768)})), packet).verdict,
              FIREWALL_VERDICT::DROP);
}

TEST(FirewallCheck, ChainMadeByIptablesGetsAnIptablesFix) {
    json doc = json::parse(Sample("iptables_sport"));
    auto& items = doc["nftables"];
    items.erase(std::remove_if(items.begin(), items.end(),
                               [](const json& i) { return i.contains("rule") && i["rule"]["handle"] == 3; }),
                items.end());
    const auto check = CheckFirewall(NftPrinted(doc.dump()), {"eth0", 32768, 60999});
    EXPECT_EQ(check.status, CHECK_STATUS::UNKNOWN);
    EXPECT_EQ(check.fix, "make sure they are accepted: iptables -I INPUT -p udp --sport 18768 -j ACCEPT");
}

// Guards against chains that go to each other by goto being walked for ever. nft refuses
// to load such a loop, so the sample is written by hand.
TEST(FirewallCheck, ChainsThatLoopAreUnknown) {
    const auto check = Firewall("goto_loop");
    EXPECT_EQ(check.status, CHECK_STATUS::UNKNOWN);
    EXPECT_NE(check.detail.find("rule 6 goes to chain ping, which leads back to it: the chains loop"),
              std::string::npos)
        << check.detail;
}

// Runs the check on a thread with a 1 MB stack, as a Windows program's main thread has.
DOCTOR_CHECK FirewallOnSmallStack(const json& doc) {
    DOCTOR_CHECK out;
    const std::string text = doc.dump();
    const auto run = [&] { out = CheckFirewall(NftPrinted(text), {"tvp1", 32768, 60999}); };
#if defined(__unix__)
    pthread_attr_t attr;
    pthread_attr_init(&attr);
    pthread_attr_setstacksize(&attr, std::size_t{1} << 20);
    pthread_t thread;
    const auto body = [](void* f) -> void* {
        (*static_cast<decltype(run)*>(f))();
        return nullptr;
    };
    EXPECT_EQ(pthread_create(&thread, &attr, body, const_cast<void*>(static_cast<const void*>(&run))), 0);
    pthread_join(thread, nullptr);
    pthread_attr_destroy(&attr);
#else
    run();
#endif
    return out;
}

// Guards against the walk recursing once per undecided rule: a blocklist of 4,000
// sender addresses overflowed the stack. Past its bounds the walk says why it stopped.
TEST(FirewallCheck, LongRulesetsAreWalkedWithinBounds) {
    const auto blocklist = [](int count) {
        json rules = json::array();
        for (int i = 0; i < count; ++i) {
            const std::string address = "198.51." + std::to_string(i / 256) + "." + std::to_string(i % 256);
            rules.push_back(json::array({{{"match",
                                           {{"op", "=="},
                                            {"left", {{"payload", {{"protocol", "ip"}, {"field", "saddr"}}}}},
                                            {"right", address}}}},
                                         {{"drop", nullptr}}}));
        }
        return DropChainWith(rules);
    };
    DOCTOR_CHECK check = FirewallOnSmallStack(blocklist(4000));
    EXPECT_EQ(check.status, CHECK_STATUS::FAIL) << check.detail;
    EXPECT_NE(check.detail.find("(policy drop)"), std::string::npos) << check.detail;
    check = FirewallOnSmallStack(blocklist(5000));
    EXPECT_EQ(check.status, CHECK_STATUS::UNKNOWN);
    EXPECT_NE(check.detail.find("rule 4098 depends on ip saddr, and so do more than 4096 rules before it"),
              std::string::npos)
        << check.detail;
}

TEST(FirewallCheck, UnreadableRulesetIsUnknown) {
    PROGRAM_RESULT missing;
    EXPECT_EQ(CheckFirewall(missing, {}).status, CHECK_STATUS::UNKNOWN);
    EXPECT_EQ(CheckFirewall(missing, {}).detail, "cannot read the firewall rules: nft is not installed");

    PROGRAM_RESULT refused;
    refused.started = true;
    refused.exit_code = 1;
    refused.errors = "Operation not permitted (you must be root)\nnetlink: Error: cache initialization failed\n";
    const auto check = CheckFirewall(refused, {});
    EXPECT_EQ(check.status, CHECK_STATUS::UNKNOWN);
    EXPECT_EQ(check.detail, "cannot read the firewall rules: nft Operation not permitted (you must be root)");
    EXPECT_EQ(check.fix, "run doctor as root (sudo telvane-cli doctor) so that it can read them");

    EXPECT_EQ(CheckFirewall(NftPrinted("{\"nftables\": [tru"), {}).status, CHECK_STATUS::UNKNOWN);
}

}  // namespace
}  // namespace telvane
