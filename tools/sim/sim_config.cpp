#include "tools/sim/sim_config.h"

#include <QtCore/QJsonArray>
#include <QtCore/QJsonDocument>
#include <QtCore/QJsonObject>

#include <cstdio>
#include <set>

#include "protocol/text.h"

namespace telvane::sim {

const char CONFIG_SCHEMA[] = R"({
  "devices": [                      one object per device; every field is optional
    {
      "mac": "00-1a-2b-3c-4d-5e",   also 00:1a:... or 001a2b...; default 02-5e-00-00-00-<n>
      "ipv4_address": "192.0.2.20", "ipv4_mask": "255.255.255.0", "ipv4_gateway": "192.0.2.1",
      "dhcp": false, "locked": false,
      "status_extra": 0,            ORed into status_flags (e.g. 4 sends a reserved bit)
      "model_name": "MODEL01",      8-bit text, the first 16 bytes are sent
      "reply": "extended",          "base" (40 bytes) or "extended"
      "device_name": "Device",      sent as UTF-8 bytes, or UTF-16 / invalid, see below
      "name_encoding": "ansi",      "ansi", "utf16" or "invalid"
      "invalid_name_byte": 5,       first byte of an invalid name, 1 to 31
      "dns4_auto": false, "dns4_preferred": "192.0.2.53", "dns4_alternate": "192.0.2.54",
      "ipv6": false, "ipv6_dhcp": false, "dns6_auto": false,
      "ipv6_address": "2001:db8::20", "ipv6_prefix_length": 64, "ipv6_gateway": "2001:db8::1",
      "dns6_preferred": "2001:db8::53", "dns6_alternate": "2001:db8::54",
      "pad_to": 0,                  pad an extended reply with zero bytes to this length
      "answer": "auto",             "auto" (unicast within the device's subnet, else
                                    limited broadcast), "unicast", "broadcast" (to
                                    255.255.255.255), "subnet" (the interface's subnet
                                    broadcast); always at the requester's port, out of
                                    the interface the request came in on
      "delay_ms": 0,                wait before every answer
      "set": "accept",              "accept" (and apply), "refuse", "silent",
                                    "bad_checksum", "other_mac"; default "refuse" for a
                                    locked device
      "refuse_code": 1,             result byte of a refusal, 1 to 255
      "other_mac": "00-00-00-00-00-01",  MAC of the "other_mac" answer
      "interface": "veth0"          answer only requests arriving on this interface
                                    (name or its IPv4 address); default: all
    }
  ]
})";

namespace {

class Reader final {
public:
    Reader(const QJsonObject& object, int index) : object_(object), index_(index) {}

    bool ok() const { return error_.empty(); }
    const std::string& error() const { return error_; }

    void Check(const std::set<QString>& known) {
        for (auto it = object_.begin(); it != object_.end(); ++it) {
            if (!known.contains(it.key())) Fail(it.key(), "is not a known field");
        }
    }
    void Bool(const char* key, bool& out) {
        const QJsonValue v = object_.value(QLatin1String(key));
        if (v.isUndefined()) return;
        if (!v.isBool()) return Fail(key, "must be true or false");
        out = v.toBool();
    }
    void Text(const char* key, std::string& out) {
        const QJsonValue v = object_.value(QLatin1String(key));
        if (v.isUndefined()) return;
        if (!v.isString()) return Fail(key, "must be a string");
        out = v.toString().toStdString();
    }
    template <typename T>
    void Number(const char* key, T& out, long long low, long long high) {
        const QJsonValue v = object_.value(QLatin1String(key));
        if (v.isUndefined()) return;
        const double d = v.toDouble(-1.0);
        const auto n = static_cast<long long>(d);
        if (!v.isDouble() || static_cast<double>(n) != d || n < low || n > high) {
            return Fail(key, "must be a whole number from " + std::to_string(low) + " to " + std::to_string(high));
        }
        out = static_cast<T>(n);
    }
    void Mac(const char* key, MAC& out) {
        std::string text;
        Text(key, text);
        if (text.empty()) return;
        if (const auto m = ParseMac(text)) {
            out = *m;
        } else {
            Fail(key, "is not a MAC address");
        }
    }
    void Ipv4(const char* key, IPV4& out) {
        std::string text;
        Text(key, text);
        if (text.empty()) return;
        if (const auto a = ParseIpv4(text)) {
            out = *a;
        } else {
            Fail(key, "is not a dotted IPv4 address");
        }
    }
    void Ipv6(const char* key, IPV6& out) {
        std::string text;
        Text(key, text);
        if (text.empty()) return;
        if (const auto a = ParseIpv6(FromUtf8(text))) {
            out = *a;
        } else {
            Fail(key, "is not an IPv6 address");
        }
    }
    template <typename E>
    void Choice(const char* key, E& out, std::initializer_list<std::pair<const char*, E>> choices) {
        std::string text;
        Text(key, text);
        if (text.empty()) return;
        for (const auto& [name, value] : choices) {
            if (text == name) {
                out = value;
                return;
            }
        }
        Fail(key, "has an unknown value \"" + text + "\"");
    }
    bool Has(const char* key) const { return object_.contains(QLatin1String(key)); }

private:
    void Fail(const QString& key, const std::string& what) {
        if (error_.empty()) error_ = "device " + std::to_string(index_) + ": \"" + key.toStdString() + "\" " + what;
    }
    void Fail(const char* key, const std::string& what) { Fail(QString::fromLatin1(key), what); }

    const QJsonObject& object_;
    int index_;
    std::string error_;
};

MAC DefaultMac(int index) {
    return MAC{0x02, 0x5e, 0x00, 0x00, static_cast<std::uint8_t>((index + 1) >> 8),
               static_cast<std::uint8_t>((index + 1) & 0xFF)};
}

}  // namespace

CONFIG_RESULT ParseConfig(const QByteArray& json) {
    CONFIG_RESULT result;
    QJsonParseError parse_error{};
    const QJsonDocument document = QJsonDocument::fromJson(json, &parse_error);
    if (document.isNull()) {
        result.error = "not valid JSON: " + parse_error.errorString().toStdString() + " at offset " +
                       std::to_string(parse_error.offset);
        return result;
    }
    const QJsonValue devices = document.object().value(QLatin1String("devices"));
    if (!document.isObject() || !devices.isArray()) {
        result.error = "the configuration must be an object with a \"devices\" array";
        return result;
    }
    const QJsonArray array = devices.toArray();
    for (int i = 0; i < array.size(); ++i) {
        if (!array.at(i).isObject()) {
            result.error = "device " + std::to_string(i) + " is not an object";
            return result;
        }
        const QJsonObject object = array.at(i).toObject();
        Reader in(object, i);
        in.Check({"mac", "ipv4_address", "ipv4_mask", "ipv4_gateway", "dhcp", "locked", "status_extra", "model_name",
                  "reply", "device_name", "name_encoding", "invalid_name_byte", "dns4_auto", "dns4_preferred",
                  "dns4_alternate", "ipv6", "ipv6_dhcp", "dns6_auto", "ipv6_address", "ipv6_prefix_length",
                  "ipv6_gateway", "dns6_preferred", "dns6_alternate", "pad_to", "answer", "delay_ms", "set",
                  "refuse_code", "other_mac", "interface"});
        SIM_DEVICE d;
        d.mac = DefaultMac(i);
        d.ipv4_mask = {255, 255, 255, 0};
        d.model_name = "SIM-MODEL";
        d.device_name = "sim-device-" + std::to_string(i);
        in.Mac("mac", d.mac);
        in.Ipv4("ipv4_address", d.ipv4_address);
        in.Ipv4("ipv4_mask", d.ipv4_mask);
        in.Ipv4("ipv4_gateway", d.ipv4_gateway);
        in.Bool("dhcp", d.dhcp);
        in.Bool("locked", d.locked);
        in.Number("status_extra", d.status_extra, 0, 255);
        in.Text("model_name", d.model_name);
        in.Choice("reply", d.form, {{"base", REPLY_FORM::BASE}, {"extended", REPLY_FORM::EXTENDED}});
        in.Text("device_name", d.device_name);
        in.Choice("name_encoding", d.name_encoding,
                  {{"ansi", NAME_ENCODING::ANSI}, {"utf16", NAME_ENCODING::UTF16}, {"invalid", NAME_ENCODING::INVALID}});
        in.Number("invalid_name_byte", d.invalid_name_byte, 1, 31);
        in.Bool("dns4_auto", d.dns4_auto);
        in.Ipv4("dns4_preferred", d.dns4_preferred);
        in.Ipv4("dns4_alternate", d.dns4_alternate);
        in.Bool("ipv6", d.ipv6);
        in.Bool("ipv6_dhcp", d.ipv6_dhcp);
        in.Bool("dns6_auto", d.dns6_auto);
        in.Ipv6("ipv6_address", d.ipv6_address);
        in.Number("ipv6_prefix_length", d.ipv6_prefix_length, 0, 255);
        in.Ipv6("ipv6_gateway", d.ipv6_gateway);
        in.Ipv6("dns6_preferred", d.dns6_preferred);
        in.Ipv6("dns6_alternate", d.dns6_alternate);
        in.Number("pad_to", d.pad_to, 0, 65000);
        in.Choice("answer", d.answer,
                  {{"auto", ANSWER_MODE::AUTO},
                   {"unicast", ANSWER_MODE::UNICAST},
                   {"broadcast", ANSWER_MODE::BROADCAST},
                   {"subnet", ANSWER_MODE::SUBNET}});
        in.Number("delay_ms", d.delay_ms, 0, 600000);
        if (d.locked) d.set = SET_BEHAVIOUR::REFUSE;
        in.Choice("set", d.set,
                  {{"accept", SET_BEHAVIOUR::ACCEPT},
                   {"refuse", SET_BEHAVIOUR::REFUSE},
                   {"silent", SET_BEHAVIOUR::SILENT},
                   {"bad_checksum", SET_BEHAVIOUR::BAD_CHECKSUM},
                   {"other_mac", SET_BEHAVIOUR::OTHER_MAC}});
        in.Number("refuse_code", d.refuse_code, 1, 255);
        if (in.Has("other_mac")) {
            MAC other{};
            in.Mac("other_mac", other);
            d.other_mac = other;
        }
        in.Text("interface", d.interface);
        if (!in.ok()) {
            result.error = in.error();
            result.devices.clear();
            return result;
        }
        result.devices.push_back(std::move(d));
    }
    return result;
}

std::vector<SIM_DEVICE> GenerateDevices(int n) {
    std::vector<SIM_DEVICE> out;
    for (int i = 0; i < n; ++i) {
        SIM_DEVICE d;
        d.mac = DefaultMac(i);
        d.ipv4_address = {10, 77, static_cast<std::uint8_t>(i / 250), static_cast<std::uint8_t>(i % 250 + 1)};
        d.ipv4_mask = {255, 255, 0, 0};
        d.ipv4_gateway = {10, 77, 255, 254};
        d.model_name = "SIM-MODEL";
        char name[32];
        std::snprintf(name, sizeof name, "sim-device-%03d", i);
        d.device_name = name;
        out.push_back(std::move(d));
    }
    return out;
}

}  // namespace telvane::sim
