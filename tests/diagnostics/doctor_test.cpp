#include "diagnostics/doctor.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#if defined(__unix__)
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace telvane {
namespace {

const MAC kMac1 = {0x02, 0x00, 0x5e, 0x00, 0x01, 0x01};

// A computer with one adapter, tvp1 192.0.2.1/24, strict filtering in `all`, no firewall rules.
DOCTOR_SOURCES Sources() {
    DOCTOR_SOURCES s;
    s.system = HOST_SYSTEM::LINUX;
    s.interfaces = [] {
        INTERFACE_STATE tvp1;
        tvp1.name = "tvp1";
        tvp1.index = 3;
        tvp1.up = tvp1.carrier = true;
        tvp1.hardware_address = kMac1;
        tvp1.ipv4 = {{{192, 0, 2, 1}, 24}};
        return std::vector<INTERFACE_STATE>{tvp1};
    };
    s.ipv4_setting = [](const std::string& name, const std::string&) { return std::optional<int>(name == "all"); };
    s.port_range = [] { return std::pair<std::uint16_t, std::uint16_t>{32768, 60999}; };
    s.ruleset = [] {
        PROGRAM_RESULT r;
        r.started = true;
        r.exit_code = 0;
        r.output = R"({"nftables": [{"metainfo": {"version": "1.0.6"}}]})";
        return r;
    };
    return s;
}

TEST(Doctor, RunsEveryCheckInOrderOnTheChosenAdapter) {
    int probes = 0;
    const auto report = RunDoctorChecks(
        {{kMac1, "192.0.2.1"}}, "192.0.2.1",
        [&] {
            ++probes;
            return PROBE_FACTS{"192.0.2.1", true, 2, {}, 0, {}};
        },
        Sources());
    EXPECT_EQ(probes, 1);
    EXPECT_EQ(report.interface_name, "tvp1");
    const auto json = DoctorReportJson(report);
    EXPECT_EQ(json["adapter"], "192.0.2.1");
    std::vector<std::string> lines;
    for (const auto& check : json["checks"]) {
        // Keys in their documented order.
        std::vector<std::string> keys;
        for (const auto& [key, value] : check.items()) keys.push_back(key);
        EXPECT_EQ(keys, (std::vector<std::string>{"id", "status", "detail", "fix"}));
        lines.push_back(check["id"].get<std::string>() + " " + check["status"].get<std::string>() + ": " +
                        check["detail"].get<std::string>());
    }
    EXPECT_EQ(lines, (std::vector<std::string>{
                         "adapters ok: usable: 192.0.2.1 (tvp1, 02-00-5e-00-01-01, up, carrier)",
                         "firewall ok: no firewall rules on the input path",
                         "rp_filter warn: strict reverse-path filtering on tvp1 (all 1, tvp1 0): replies from devices "
                         "with an address in another subnet are dropped",
                         "same_subnet ok: no other adapter is on 192.0.2.0/24; replies arrive on tvp1",
                         "probe ok: 2 devices answered on 192.0.2.1",
                     }));
    EXPECT_EQ(json["checks"][2]["fix"], "use loose filtering: sysctl -w net.ipv4.conf.tvp1.rp_filter=2");
    EXPECT_EQ(DoctorExitCode(report.checks), 5);
}

TEST(Doctor, TextPutsEachFixUnderItsCheck) {
    DOCTOR_REPORT report{"192.0.2.1",
                         "tvp1",
                         {{"adapters", CHECK_STATUS::OK, "usable: 192.0.2.1", ""},
                          {"rp_filter", CHECK_STATUS::WARN, "strict", "sysctl -w x=2"}}};
    EXPECT_EQ(DoctorReportText(report),
              "Adapter 192.0.2.1 (tvp1)\n"
              "ok       adapters   usable: 192.0.2.1\n"
              "warn     rp_filter  strict\n"
              "                    fix: sysctl -w x=2\n");
}

// Guards against sending anything, or judging a made-up adapter, when none is usable.
TEST(Doctor, WithoutAdapterNothingIsProbed) {
    int probes = 0;
    const auto report = RunDoctorChecks(
        {}, "",
        [&] {
            ++probes;
            return PROBE_FACTS{};
        },
        Sources());
    EXPECT_EQ(probes, 0);
    ASSERT_EQ(report.checks.size(), 5u);
    EXPECT_EQ(report.checks[0].status, CHECK_STATUS::FAIL);
    EXPECT_EQ(report.checks[4].id, "probe");
    EXPECT_EQ(report.checks[4].detail, "no usable adapter to check");
    EXPECT_EQ(DoctorReportText(report).substr(0, 18), "No usable adapter\n");
}

// Windows has neither nft nor /proc/sys: nothing is read for those checks, and what they
// say names Windows' own ways; nor is a switched-off adapter brought up with ip.
TEST(Doctor, OnWindowsNoLinuxSourceIsReadOrAdvised) {
    DOCTOR_SOURCES sources = Sources();
    sources.system = HOST_SYSTEM::WINDOWS;
    sources.ruleset = [] {
        ADD_FAILURE() << "ruleset read on Windows";
        return PROGRAM_RESULT{};
    };
    sources.ipv4_setting = [](const std::string&, const std::string&) {
        ADD_FAILURE() << "rp_filter read on Windows";
        return std::optional<int>();
    };
    const auto interfaces = sources.interfaces;
    sources.interfaces = [interfaces] {
        auto list = interfaces();
        list[0].up = false;
        return list;
    };
    const auto report = RunDoctorChecks(
        {{kMac1, "192.0.2.1"}}, "192.0.2.1",
        [] {
            return PROBE_FACTS{"192.0.2.1", true, 1, {}, 0, {}};
        },
        sources);
    ASSERT_EQ(report.checks.size(), 5u);
    EXPECT_EQ(report.checks[0].fix, "enable tvp1 in Network Connections (ncpa.cpl)");
    EXPECT_EQ(report.checks[1].id, "firewall");
    EXPECT_EQ(report.checks[1].status, CHECK_STATUS::UNKNOWN);
    EXPECT_NE(report.checks[1].fix.find("netsh advfirewall firewall add rule"), std::string::npos);
    EXPECT_NE(report.checks[1].fix.find("remoteport=" + std::to_string(DISCOVERY_PORT)), std::string::npos);
    EXPECT_EQ(report.checks[2].id, "rp_filter");
    EXPECT_EQ(report.checks[2].status, CHECK_STATUS::OK);
    const std::string text = DoctorReportText(report);
    for (const char* linux_word : {"nft", "sysctl", "ip link", "sudo"}) {
        EXPECT_EQ(text.find(linux_word), std::string::npos) << linux_word;
    }
}

#if defined(__unix__)
// Guards against the doctor, run as root, taking whatever "nft" comes first in PATH.
TEST(Doctor, RulesetIsReadWithNftByItsOwnPath) {
    char dir[] = "/tmp/telvane-path-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    const std::string fake = std::string(dir) + "/nft";
    {
        std::ofstream script(fake);
        script << "#!/bin/sh\necho planted\n";
    }
    ASSERT_EQ(chmod(fake.c_str(), 0755), 0);
    const char* old_path = std::getenv("PATH");
    const std::string saved = old_path ? old_path : "";
    setenv("PATH", (std::string(dir) + ":" + saved).c_str(), 1);
    const PROGRAM_RESULT r = DOCTOR_SOURCES{}.ruleset();
    setenv("PATH", saved.c_str(), 1);
    std::remove(fake.c_str());
    rmdir(dir);
    EXPECT_EQ(r.output.find("planted"), std::string::npos);
}
#endif

}  // namespace
}  // namespace telvane
