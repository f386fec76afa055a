"""The datagrams of the dissector fixtures, built from the protocol's byte tables, and for
each the field values the dissector must show (the values they were built from).

Used by send-datagrams.py (which sends them inside a private namespace while a capture
runs) and by make-captures.sh, which writes the expected values next to the capture.
"""

import ipaddress
import struct

MARKER = b"\xff\xff"
MSG_ENUMERATE = 0x454E
MSG_ENUMERATE_REPLY = 0xC5CE
MSG_SET_BASIC = 0x4950
MSG_SET_EXTENDED = 0x4941
MSG_SET_REPLY = 0xC9D0

MAC = "00:1a:2b:3c:4d:5e"


def checksum(data):
    return sum(data) % 256


def mac_bytes(text):
    return bytes(int(x, 16) for x in text.split(":"))


def v4(text):
    return ipaddress.IPv4Address(text).packed


def v6(text):
    return ipaddress.IPv6Address(text).packed


def v6_text(text):
    return str(ipaddress.IPv6Address(text))


def header(kind):
    return MARKER + struct.pack(">H", kind)


def with_checksum(data, corrupt=False):
    c = checksum(data)
    return data + bytes([(c + 1) % 256 if corrupt else c])


def enumerate_request(corrupt=False):
    return with_checksum(header(MSG_ENUMERATE), corrupt), {
        "telvane.type": MSG_ENUMERATE,
        "telvane.checksum.good": not corrupt,
    }


def set_basic(mac, address, gateway, mask, dhcp):
    data = header(MSG_SET_BASIC) + mac_bytes(mac) + v4(address) + v4(gateway) + v4(mask) + bytes([dhcp])
    return with_checksum(data), {
        "telvane.type": MSG_SET_BASIC,
        "telvane.mac": mac,
        "telvane.ipv4_address": address,
        "telvane.ipv4_gateway": gateway,
        "telvane.ipv4_mask": mask,
        "telvane.dhcp": dhcp,
        "telvane.checksum.good": True,
    }


SET_BITS = {
    "telvane.set_flags.dns4_auto": 0x01,
    "telvane.set_flags.dhcp4": 0x02,
    "telvane.set_flags.dns6_auto": 0x04,
    "telvane.set_flags.dhcp6": 0x08,
}
EXT_BITS = {
    "telvane.ext_flags.dns4_auto": 0x01,
    "telvane.ext_flags.dns6_auto": 0x02,
    "telvane.ext_flags.dhcp6": 0x04,
    "telvane.ext_flags.ipv6": 0x08,
}


def set_extended(mac, address, mask, gateway, dns4, flags, ipv6="::", prefix=0, ipv6_gateway="::", dns6=("::", "::")):
    data = (header(MSG_SET_EXTENDED) + mac_bytes(mac) + v4(address) + v4(mask) + v4(gateway) + v4(dns4[0]) +
            v4(dns4[1]) + bytes([flags]) + v6(ipv6) + bytes([prefix]) + v6(ipv6_gateway) + v6(dns6[0]) + v6(dns6[1]))
    assert len(data) == 96
    expected = {
        "telvane.type": MSG_SET_EXTENDED,
        "telvane.mac": mac,
        "telvane.ipv4_address": address,
        "telvane.ipv4_mask": mask,
        "telvane.ipv4_gateway": gateway,
        "telvane.dns4_preferred": dns4[0],
        "telvane.dns4_alternate": dns4[1],
        "telvane.set_flags": flags,
        "telvane.ipv6_address": v6_text(ipv6),
        "telvane.ipv6_prefix_length": prefix,
        "telvane.ipv6_gateway": v6_text(ipv6_gateway),
        "telvane.dns6_preferred": v6_text(dns6[0]),
        "telvane.dns6_alternate": v6_text(dns6[1]),
        "telvane.checksum.good": True,
    }
    expected.update({k: bool(flags & bit) for k, bit in SET_BITS.items()})
    expected["telvane.set_flags.reserved"] = flags >> 4
    return with_checksum(data), expected


def set_reply(mac, result, corrupt=False):
    data = header(MSG_SET_REPLY) + mac_bytes(mac) + bytes([result])
    return with_checksum(data, corrupt), {
        "telvane.type": MSG_SET_REPLY,
        "telvane.mac": mac,
        "telvane.result": result,
        "telvane.accepted": result == 0,
        "telvane.checksum.good": not corrupt,
    }


def enumerate_reply(mac, address, gateway, mask, status, model, model_text, corrupt=False, ext=None):
    """model: the 16-byte area as sent (shorter is zero-filled); model_text: how it reads.
    ext: dict with flags, dns4, ipv6, prefix, ipv6_gateway, dns6, name (bytes as sent), name_text,
    form (0 8-bit, 1 UTF-16, 2 invalid), optionally name_length (else len(name)), cut (bytes dropped
    from the end of the datagram)."""
    base = (header(MSG_ENUMERATE_REPLY) + mac_bytes(mac) + v4(address) + v4(gateway) + v4(mask) + bytes([status]) +
            model.ljust(16, b"\0"))
    assert len(base) == 39
    data = with_checksum(base, corrupt)
    expected = {
        "telvane.type": MSG_ENUMERATE_REPLY,
        "telvane.mac": mac,
        "telvane.ipv4_address": address,
        "telvane.ipv4_gateway": gateway,
        "telvane.ipv4_mask": mask,
        "telvane.status_flags": status,
        "telvane.status_flags.dhcp": bool(status & 0x01),
        "telvane.status_flags.locked": bool(status & 0x02),
        "telvane.status_flags.reserved": (status & 0x3C) >> 2,
        "telvane.model_name": model_text,
        "telvane.checksum.good": not corrupt,
    }
    if ext is None:
        # A 40-byte reply has no extension: none of its fields may appear.
        for k in ("telvane.ext_flags", "telvane.device_name", "telvane.ipv6_address", "telvane.name_length"):
            expected[k] = None
        return data, expected
    if ext.get("flags_only"):
        # The extension cut after its flags byte: the program reads the rest as zeros.
        data += bytes([ext["flags"]])
        expected.update({"telvane.ext_flags": ext["flags"], "telvane.name_form": 1, "telvane.device_name": "",
                         "telvane.ipv6_address": None, "telvane.name_length": None})
        expected.update({k: bool(ext["flags"] & bit) for k, bit in EXT_BITS.items()})
        return data, expected
    name = ext["name"]
    length = ext.get("name_length", len(name))
    data += (bytes([ext["flags"]]) + v4(ext["dns4"][0]) + v4(ext["dns4"][1]) + v6(ext["ipv6"]) + bytes([ext["prefix"]]) +
             v6(ext["ipv6_gateway"]) + v6(ext["dns6"][0]) + v6(ext["dns6"][1]) + bytes([length]) + name)
    expected.update({
        "telvane.ext_flags": ext["flags"],
        "telvane.dns4_preferred": ext["dns4"][0],
        "telvane.dns4_alternate": ext["dns4"][1],
        "telvane.ipv6_address": v6_text(ext["ipv6"]),
        "telvane.ipv6_prefix_length": ext["prefix"],
        "telvane.ipv6_gateway": v6_text(ext["ipv6_gateway"]),
        "telvane.dns6_preferred": v6_text(ext["dns6"][0]),
        "telvane.dns6_alternate": v6_text(ext["dns6"][1]),
        "telvane.name_length": length,
        "telvane.name_form": ext["form"],
        "telvane.device_name": ext["name_text"],
    })
    expected.update({k: bool(ext["flags"] & bit) for k, bit in EXT_BITS.items()})
    return data, expected


def utf16_name(text):
    raw = text.encode("utf-16-be")
    return b"\0" + raw


NO_DNS = ("0.0.0.0", "0.0.0.0")
NO_DNS6 = ("::", "::")


def with_common(items):
    """Adds the fields every datagram has: the marker and the checksum byte with its sum."""
    for data, expected in items:
        at = 39 if expected["telvane.type"] == MSG_ENUMERATE_REPLY else len(data) - 1
        expected["telvane.marker"] = 0xFFFF
        expected["telvane.checksum"] = data[at]
        expected["telvane.checksum.computed"] = checksum(data[:at])
    return items


def requests():
    """Sent by the program's side: broadcast to port 18768."""
    return with_common([
        enumerate_request(),
        set_basic(MAC, "192.168.1.20", "192.168.1.1", "255.255.255.0", 0),
        set_basic("02:00:00:00:00:07", "0.0.0.0", "0.0.0.0", "0.0.0.0", 1),
        set_extended(MAC, "192.168.1.20", "255.255.255.0", "192.168.1.1", NO_DNS, 0x0D),
        set_extended("02:00:00:00:00:08", "198.51.100.20", "255.255.255.0", "198.51.100.1",
                     ("198.51.100.53", "198.51.100.54"), 0x00, "2001:db8::20", 64, "2001:db8::1",
                     ("2001:db8::53", "2001:db8:0:1::54")),
        set_extended("02:00:00:00:00:09", "0.0.0.0", "0.0.0.0", "0.0.0.0", NO_DNS, 0x02),
        # Bits 4..7 are not flags: shown as reserved, the four named bits stay apart.
        set_extended("02:00:00:00:00:0d", "192.0.2.77", "255.255.255.0", "192.0.2.1", NO_DNS, 0x51),
        enumerate_request(corrupt=True),
    ])


def replies():
    """Sent by the devices' side from port 18768 back to the program's port."""
    v6ext = dict(dns4=("203.0.113.53", "203.0.113.54"), ipv6="2001:db8:1::10", prefix=64,
                 ipv6_gateway="2001:db8:1::1", dns6=("2001:db8:1::53", "2001:db8:1::54"))
    return with_common([
        # The 40-byte reply without extension.
        enumerate_reply(MAC, "192.168.1.20", "192.168.1.1", "255.255.255.0", 0x00, b"MODEL01", "MODEL01"),
        # 8-bit name; the checksum covers the base part only.
        enumerate_reply("02:00:00:00:00:02", "203.0.113.10", "203.0.113.1", "255.255.255.0", 0x01, b"TV-200X",
                        "TV-200X",
                        ext=dict(v6ext, flags=0x09, name=b"Test-Device-Name", name_text="Test-Device-Name", form=0)),
        # UTF-16 name of 11 code units: name_length 23.
        enumerate_reply("02:00:00:00:00:03", "203.0.113.11", "203.0.113.1", "255.255.255.0", 0x00, b"TV-300",
                        "TV-300", ext=dict(v6ext, flags=0x0E, name=utf16_name("Gerät-Ω-日本語"),
                                           name_text="Gerät-Ω-日本語", form=1)),
        # A first byte of 1..31 makes the name invalid.
        enumerate_reply("02:00:00:00:00:04", "203.0.113.12", "203.0.113.1", "255.255.255.0", 0x00, b"TV-300",
                        "TV-300", ext=dict(v6ext, flags=0x00, name=b"\x1fabc", name_text="Invalid Device Name!!!",
                                           form=2)),
        # UTF-16 form with the zero byte alone: an empty name.
        enumerate_reply("02:00:00:00:00:05", "203.0.113.13", "203.0.113.1", "255.255.255.0", 0x00, b"TV-300",
                        "TV-300", ext=dict(v6ext, flags=0x08, name=b"\0", name_text="", form=1)),
        # Windows-1252 bytes that are not UTF-8; a full 16-byte model name; locked, bit 6 set.
        enumerate_reply("02:00:00:00:00:06", "203.0.113.14", "203.0.113.1", "255.255.255.0", 0x42,
                        b"ABCDEFGHIJKLMNOP", "ABCDEFGHIJKLMNOP",
                        ext=dict(v6ext, flags=0x01, name=b"Caf\xe9 \x80", name_text="Café €", form=0)),
        # An even UTF-16 length leaves half a unit, which is not taken; a surrogate pair.
        enumerate_reply("02:00:00:00:00:0a", "203.0.113.15", "203.0.113.1", "255.255.255.0", 0x00, b"TV-300",
                        "TV-300", ext=dict(v6ext, flags=0x0F, name=utf16_name("\U0001F600A") + b"\x00",
                                           name_text="\U0001F600A", form=1)),
        # A leading blank is still 8-bit text.
        enumerate_reply("02:00:00:00:00:0b", "203.0.113.16", "203.0.113.1", "255.255.255.0", 0x00, b"TV-300",
                        "TV-300", ext=dict(v6ext, flags=0x00, name=b" lead", name_text=" lead", form=0)),
        # name_length 0 does not hide the first name byte: 1..31 still makes the name invalid.
        enumerate_reply("02:00:00:00:00:0e", "203.0.113.18", "203.0.113.1", "255.255.255.0", 0x00, b"TV-300",
                        "TV-300", ext=dict(v6ext, flags=0x00, name=b"\x07abc", name_length=0,
                                           name_text="Invalid Device Name!!!", form=2)),
        # A UTF-16 name ends at its first zero unit, whatever the length says.
        enumerate_reply("02:00:00:00:00:0f", "203.0.113.19", "203.0.113.1", "255.255.255.0", 0x00, b"TV-300",
                        "TV-300", ext=dict(v6ext, flags=0x00, name=utf16_name("AB\0CD"), name_text="AB", form=1)),
        # ... and after 126 units: a length of 255 holds 127.
        enumerate_reply("02:00:00:00:00:10", "203.0.113.20", "203.0.113.1", "255.255.255.0", 0x00, b"TV-300",
                        "TV-300", ext=dict(v6ext, flags=0x00, name=utf16_name("n" * 126 + "Z"), name_text="n" * 126,
                                           form=1)),
        # A reply one byte longer than the base: the extension's flags, then nothing.
        enumerate_reply("02:00:00:00:00:11", "203.0.113.21", "203.0.113.1", "255.255.255.0", 0x00, b"TV-300",
                        "TV-300", ext=dict(flags=0x08, flags_only=True)),
        # Damaged base checksum; reserved status bit set.
        enumerate_reply("02:00:00:00:00:0c", "203.0.113.17", "203.0.113.1", "255.255.255.0", 0x04, b"TV-300",
                        "TV-300", corrupt=True),
        set_reply(MAC, 0),
        set_reply("02:00:00:00:00:02", 5),
        set_reply("02:00:00:00:00:03", 0, corrupt=True),
    ])
