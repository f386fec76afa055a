#include "inventory/row_text.h"

#include <algorithm>

#include "protocol/text.h"

namespace telvane {

namespace {

std::u16string Ascii(const std::string& s) {
    return std::u16string(s.begin(), s.end());
}

}  // namespace

std::u16string DeviceNameText(const DEVICE_INFO& e) {
    const auto& area = e.device_name;
    if (area[0] != 0) {
        const auto end = std::find(area.begin(), area.end(), std::uint8_t{0});
        return DecodeAnsi(std::span(area.begin(), end));
    }
    std::u16string out;
    for (std::size_t i = 1; i + 1 < area.size(); i += 2) {
        const auto unit = static_cast<char16_t>(area[i] | (area[i + 1] << 8));
        if (unit == 0) break;
        out.push_back(unit);
    }
    return out;
}

std::u16string ModelNameText(const DEVICE_INFO& e) {
    const auto begin = e.model_name.begin();
    const auto end = std::find(begin, begin + 16, std::uint8_t{0});
    return DecodeAnsi(std::span(begin, end));
}

std::u16string MacText(const DEVICE_INFO& e) {
    return Ascii(FormatMac(e.mac));
}

bool HasIpv6(const DEVICE_INFO& e) {
    return e.has_extension != 0 && (e.ext_flags & EXT_IPV6) != 0;
}

std::u16string Ipv6Text(const IPV6& address) {
    const std::string text = FormatIpv6(address);
    return text.empty() ? std::u16string(u"???") : Ascii(text);
}

std::u16string IpAddressText(const DEVICE_INFO& e) {
    std::u16string out = Ascii(FormatIpv4(e.ipv4_address));
    if (HasIpv6(e)) out += u" (" + Ipv6Text(e.ipv6_address) + u")";
    return out;
}

std::array<std::u16string, 4> RowCellTexts(const DEVICE_INFO& e) {
    return {VisibleText(DeviceNameText(e)), VisibleText(ModelNameText(e)), MacText(e), IpAddressText(e)};
}

std::u16string RowCopyText(const DEVICE_INFO& e) {
    const std::array<std::u16string, 4> cells = RowCellTexts(e);
    return cells[0] + u'\t' + cells[1] + u'\t' + cells[2] + u'\t' + cells[3];
}

std::string DeviceWebUrl(const DEVICE_INFO& e) {
    return "http://" + FormatIpv4(e.ipv4_address) + "/";
}

}  // namespace telvane
