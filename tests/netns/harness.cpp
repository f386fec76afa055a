#include "tests/netns/harness.h"

#include <QtCore/QDeadlineTimer>
#include <QtCore/QFile>
#include <QtCore/QProcess>
#include <QtCore/QTemporaryDir>
#include <QtCore/QThread>

#include <cstdlib>
#include <sstream>

namespace telvane::netns {

namespace {

std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value == nullptr ? std::string() : std::string(value);
}

std::string Numbered(const char* prefix, int n, const char* suffix = "") {
    return Env((std::string(prefix) + std::to_string(n) + suffix).c_str());
}

QStringList ToQt(const std::vector<std::string>& args) {
    QStringList out;
    for (const auto& a : args) out << QString::fromStdString(a);
    return out;
}

std::uint16_t Port(const std::string& text) { return static_cast<std::uint16_t>(std::strtoul(text.c_str(), nullptr, 10)); }

void SplitEndpoint(const std::string& text, std::string& address, std::uint16_t& port) {
    const auto colon = text.rfind(':');
    if (colon == std::string::npos) {
        address = text;
        return;
    }
    address = text.substr(0, colon);
    port = Port(text.substr(colon + 1));
}

SIM_LOG_LINE ParseLine(const std::string& line) {
    SIM_LOG_LINE out;
    std::istringstream in(line);
    in >> out.kind;
    std::string field;
    while (in >> field) {
        const auto eq = field.find('=');
        if (eq == std::string::npos) continue;
        const std::string key = field.substr(0, eq);
        const std::string value = field.substr(eq + 1);
        if (key == "t") out.t_ms = std::strtod(value.c_str(), nullptr);
        if (key == "from") SplitEndpoint(value, out.from_address, out.from_port);
        if (key == "to") SplitEndpoint(value, out.to_address, out.to_port);
        if (key == "if") out.interface = value;
        if (key == "data") out.data = FromHex(value);
    }
    return out;
}

}  // namespace

bool InsideHarness() { return Env("TELVANE_NETNS_HARNESS") == "1" && !Env("TELVANE_SIM_NETNS").empty(); }
bool InCi() { return Env("CI") == "true"; }

std::string AdapterAddress(int n) { return Numbered("TELVANE_ADAPTER", n); }
std::string AdapterMac(int n) { return Numbered("TELVANE_ADAPTER", n, "_MAC"); }
std::string SimAddress(int n) { return Numbered("TELVANE_SIM_ADDRESS", n); }
std::string SimInterface(int n) { return "tvd" + std::to_string(n); }

namespace {

bool RunLayoutScript(const char* layout) {
    QProcess script;
    script.setProcessChannelMode(QProcess::ForwardedChannels);
    script.start(QStringLiteral(TELVANE_NETNS_SCRIPT), {QStringLiteral("layout"), QString::fromLatin1(layout)});
    return script.waitForFinished(30000) && script.exitStatus() == QProcess::NormalExit && script.exitCode() == 0;
}

}  // namespace

SameSubnetLayout::SameSubnetLayout() : up_(RunLayoutScript("same-subnet")) {
    if (!up_) ADD_FAILURE() << "scripts/netns.sh could not add the two adapters on one subnet";
}

SameSubnetLayout::~SameSubnetLayout() {
    RunLayoutScript("base");
}

std::string ToolPath(const std::string& name) {
    if (name == "telvane-sim") return TELVANE_SIM_PATH;
    if (name == "telvane-cli") return TELVANE_CLI_PATH;
    ADD_FAILURE() << "no such tool: " << name;
    return name;
}

std::vector<std::uint8_t> FromHex(const std::string& hex) {
    std::vector<std::uint8_t> out;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
        out.push_back(static_cast<std::uint8_t>(std::strtoul(hex.substr(i, 2).c_str(), nullptr, 16)));
    }
    return out;
}

struct SimProcess::State {
    std::string config;
    std::vector<std::string> extra_args;
    QTemporaryDir dir;
    QProcess process;
    QString log_path;
};

SimProcess::SimProcess(std::string config_json, std::vector<std::string> extra_args)
    : state_(std::make_unique<State>()) {
    state_->config = std::move(config_json);
    state_->extra_args = std::move(extra_args);
    state_->log_path = state_->dir.filePath(QStringLiteral("sim.log"));
}

SimProcess::~SimProcess() { Stop(); }

bool SimProcess::Start(int timeout_ms) {
    const QString config_path = state_->dir.filePath(QStringLiteral("sim.json"));
    QFile config(config_path);
    if (!config.open(QIODevice::WriteOnly) ||
        config.write(state_->config.data(), static_cast<qint64>(state_->config.size())) !=
            static_cast<qint64>(state_->config.size())) {
        ADD_FAILURE() << "cannot write the simulator's configuration";
        return false;
    }
    config.close();
    std::vector<std::string> args = {"netns", "exec", Env("TELVANE_SIM_NETNS"), ToolPath("telvane-sim"),
                                     "--config", config_path.toStdString(), "--log", state_->log_path.toStdString()};
    args.insert(args.end(), state_->extra_args.begin(), state_->extra_args.end());
    state_->process.setProcessChannelMode(QProcess::ForwardedChannels);
    state_->process.start(QStringLiteral("ip"), ToQt(args));
    if (!state_->process.waitForStarted(timeout_ms)) {
        ADD_FAILURE() << "telvane-sim did not start: " << state_->process.errorString().toStdString();
        return false;
    }
    const QDeadlineTimer deadline(timeout_ms);
    while (!deadline.hasExpired()) {
        if (LogText().find("# listening") != std::string::npos) return true;
        if (state_->process.state() == QProcess::NotRunning) break;
        QThread::msleep(10);
    }
    ADD_FAILURE() << "telvane-sim is not listening; its log:\n" << LogText();
    return false;
}

void SimProcess::Stop() {
    if (state_->process.state() == QProcess::NotRunning) return;
    state_->process.terminate();
    if (!state_->process.waitForFinished(5000)) {
        state_->process.kill();
        state_->process.waitForFinished(5000);
    }
}

std::string SimProcess::LogText() const {
    QFile log(state_->log_path);
    if (!log.open(QIODevice::ReadOnly)) return {};
    return log.readAll().toStdString();
}

std::vector<SIM_LOG_LINE> SimProcess::Log() const {
    std::vector<SIM_LOG_LINE> out;
    std::istringstream in(LogText());
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line[0] != '#') out.push_back(ParseLine(line));
    }
    return out;
}

std::vector<SIM_LOG_LINE> SimProcess::Received() const {
    std::vector<SIM_LOG_LINE> out;
    for (auto& l : Log()) {
        if (l.kind == "RX") out.push_back(l);
    }
    return out;
}

std::vector<SIM_LOG_LINE> SimProcess::Sent() const {
    std::vector<SIM_LOG_LINE> out;
    for (auto& l : Log()) {
        if (l.kind.rfind("TX", 0) == 0) out.push_back(l);
    }
    return out;
}

std::vector<SIM_LOG_LINE> SimProcess::SetRequests() const {
    std::vector<SIM_LOG_LINE> out;
    for (const SIM_LOG_LINE& line : Received()) {
        // Both set requests have 0x49 as the first byte of their type; nothing else does.
        if (line.data.size() >= 4 && line.data[2] == 0x49) out.push_back(line);
    }
    return out;
}

TOOL_RESULT RunTool(const std::string& name, const std::vector<std::string>& args, int timeout_ms) {
    QProcess process;
    process.start(QString::fromStdString(ToolPath(name)), ToQt(args));
    TOOL_RESULT result;
    if (!process.waitForFinished(timeout_ms)) {
        process.kill();
        process.waitForFinished();
        ADD_FAILURE() << name << " did not finish";
        return result;
    }
    result.exit_code = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.out = process.readAllStandardOutput().toStdString();
    result.err = process.readAllStandardError().toStdString();
    return result;
}

}  // namespace telvane::netns
