#!/usr/bin/env python3
"""Checks tools/wireshark/telvane.lua with tshark.

1. On the committed capture (datagrams.pcap, made by make-captures.sh inside private
   namespaces) every frame's payload must be the datagram that was sent, and every field
   the dissector shows must be the value the datagram was built from (datagrams.json),
   including the checksum verdict as a field and as expert information. Every field the
   dissector registers must be compared there.
2. On sim.pcap (make-sim-capture.sh: telvane-cli enumerating and setting telvane-sim's
   devices in the namespace harness) every reply must show what the simulator was
   configured to send (sim-devices.json) and what the command line read from it
   (sim-enumerate.json), and every set request what the command line was asked to send
   (sim-sets.json).
3. Every fixture datagram cut short at every length, and with junk appended, must dissect
   without a Lua error: datagrams come from anyone on the segment.

Usage: check-dissector.py DISSECTOR.lua
"""

import ipaddress
import json
import os
import shutil
import struct
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))


def tshark_json(lua, pcap, fields):
    cmd = ["tshark", "-n", "-X", "lua_script:" + lua, "-r", pcap, "-T", "json"]
    for f in fields:
        cmd += ["-e", f]
    out = subprocess.run(cmd, check=True, capture_output=True, text=True).stdout
    return [frame["_source"]["layers"] for frame in json.loads(out)]


def normalise(expected, shown):
    """tshark prints booleans as 1/0 and hex numbers as 0x..; compare as values."""
    if isinstance(expected, bool):
        return {"1": True, "0": False, "True": True, "False": False}.get(shown, shown)
    if isinstance(expected, int):
        try:
            return int(shown, 0)
        except ValueError:
            return shown
    return shown


def check_capture(lua):
    manifest = json.load(open(os.path.join(HERE, "datagrams.json"), encoding="utf-8"))
    fields = sorted({k for item in manifest for k in item["fields"]})
    frames = tshark_json(lua, os.path.join(HERE, "datagrams.pcap"),
                         ["frame.number", "udp.payload", "_ws.expert.message", "_ws.lua.text"] + fields)
    failures = []
    if len(frames) != len(manifest):
        return ["capture has %d frames, %d datagrams were sent" % (len(frames), len(manifest))]
    for layers, item in zip(frames, manifest):
        n = layers["frame.number"][0]
        payload = layers.get("udp.payload", [""])[0].replace(":", "")
        if payload != item["bytes"]:
            failures.append("frame %s: captured payload %s differs from the datagram sent %s" % (n, payload, item["bytes"]))
            continue
        for field, expected in item["fields"].items():
            shown = layers.get(field)
            if expected is None:
                if shown is not None:
                    failures.append("frame %s: %s shown (%s) but the datagram has no such field" % (n, field, shown))
                continue
            if shown is None:
                failures.append("frame %s: %s missing, expected %r" % (n, field, expected))
                continue
            if len(shown) != 1:
                failures.append("frame %s: %s shown %d times" % (n, field, len(shown)))
                continue
            value = normalise(expected, shown[0])
            if value != expected:
                failures.append("frame %s: %s is %r, expected %r" % (n, field, shown[0], expected))
        experts = layers.get("_ws.expert.message", [])
        bad = any(m.startswith("Bad checksum") for m in experts)
        good = "Checksum good" in experts
        if item["fields"]["telvane.checksum.good"] != good or bad == good:
            failures.append("frame %s: checksum expert info %r does not match the checksum sent" % (n, experts))
    return failures


FLAG_NAMES = {
    "telvane.ext_flags.dns4_auto": "EXT_DNS4_AUTO",
    "telvane.ext_flags.dns6_auto": "EXT_DNS6_AUTO",
    "telvane.ext_flags.dhcp6": "EXT_DHCP6",
    "telvane.ext_flags.ipv6": "EXT_IPV6",
    "telvane.set_flags.dns4_auto": "SET_DNS4_AUTO",
    "telvane.set_flags.dhcp4": "SET_DHCP4",
    "telvane.set_flags.dns6_auto": "SET_DNS6_AUTO",
    "telvane.set_flags.dhcp6": "SET_DHCP6",
    "telvane.status_flags.dhcp": "DHCP",
    "telvane.status_flags.locked": "Locked",
}


def check_coverage(lua):
    """Every field the dissector registers must be compared on some captured frame."""
    manifest = json.load(open(os.path.join(HERE, "datagrams.json"), encoding="utf-8"))
    compared = {k for item in manifest for k, v in item["fields"].items() if v is not None}
    # -G takes no -X option: load the dissector as a personal plugin of a scratch home.
    with tempfile.TemporaryDirectory() as home:
        plugins = os.path.join(home, ".local", "lib", "wireshark", "plugins")
        os.makedirs(plugins)
        shutil.copy(lua, plugins)
        env = dict(os.environ, HOME=home, XDG_CONFIG_HOME=os.path.join(home, ".config"))
        out = subprocess.run(["tshark", "-G", "fields"], check=True, capture_output=True, text=True, env=env).stdout
    registered = {}
    for line in out.splitlines():
        cols = line.split("\t")
        if len(cols) > 3 and cols[0] == "F" and cols[2].startswith("telvane.") and cols[3] != "FT_NONE":
            registered[cols[2]] = cols[1]
    if not registered:
        return ["the dissector registers no fields"]
    failures = ["field %s is never compared with what was sent" % f for f in sorted(set(registered) - compared)]
    # The flag bits carry the protocol's own names; the two sets must never be mixed up.
    for field, name in FLAG_NAMES.items():
        if registered.get(field) != name:
            failures.append("field %s is named %r, expected %r" % (field, registered.get(field), name))
    return failures


REPLY_FIELDS = ["telvane.type", "telvane.mac", "telvane.ipv4_address", "telvane.ipv4_mask", "telvane.ipv4_gateway",
                "telvane.status_flags.dhcp", "telvane.status_flags.locked", "telvane.status_flags.reserved",
                "telvane.model_name", "telvane.checksum.good", "telvane.ext_flags", "telvane.ext_flags.dns4_auto",
                "telvane.ext_flags.dns6_auto", "telvane.ext_flags.dhcp6", "telvane.ext_flags.ipv6",
                "telvane.dns4_preferred", "telvane.dns4_alternate", "telvane.ipv6_address",
                "telvane.ipv6_prefix_length", "telvane.ipv6_gateway", "telvane.dns6_preferred",
                "telvane.dns6_alternate", "telvane.name_form", "telvane.device_name"]


def sim_expected(device):
    """The fields of an enumerate reply as the simulator was told to send them."""
    mac = device["mac"].replace("-", ":").lower()
    e = {
        "telvane.type": 0xC5CE,
        "telvane.mac": mac,
        "telvane.ipv4_address": device.get("ipv4_address", "0.0.0.0"),
        "telvane.ipv4_mask": device.get("ipv4_mask", "255.255.255.0"),
        "telvane.ipv4_gateway": device.get("ipv4_gateway", "0.0.0.0"),
        "telvane.status_flags.dhcp": device.get("dhcp", False),
        "telvane.status_flags.locked": device.get("locked", False),
        "telvane.status_flags.reserved": (device.get("status_extra", 0) & 0x3C) >> 2,
        "telvane.model_name": device.get("model_name", ""),
        "telvane.checksum.good": True,
    }
    if device.get("reply", "extended") == "base":
        e["telvane.ext_flags"] = None
        e["telvane.device_name"] = None
        return e
    e.update({
        "telvane.ext_flags.dns4_auto": device.get("dns4_auto", False),
        "telvane.ext_flags.dns6_auto": device.get("dns6_auto", False),
        "telvane.ext_flags.dhcp6": device.get("ipv6_dhcp", False),
        "telvane.ext_flags.ipv6": device.get("ipv6", False),
        "telvane.dns4_preferred": device.get("dns4_preferred", "0.0.0.0"),
        "telvane.dns4_alternate": device.get("dns4_alternate", "0.0.0.0"),
    })
    for f in ("ipv6_address", "ipv6_gateway", "dns6_preferred", "dns6_alternate"):
        e["telvane." + f] = str(ipaddress.IPv6Address(device.get(f, "::")))
    e["telvane.ipv6_prefix_length"] = device.get("ipv6_prefix_length", 0)
    form = {"ansi": 0, "utf16": 1, "invalid": 2}[device.get("name_encoding", "ansi")]
    e["telvane.name_form"] = form
    e["telvane.device_name"] = "Invalid Device Name!!!" if form == 2 else device.get("device_name", "")
    return e


def program_expected(entry):
    """The fields of an enumerate reply as telvane-cli read it (its --json output)."""
    e = {
        "telvane.mac": entry["mac"].replace("-", ":"),
        "telvane.ipv4_address": entry["ipv4_address"],
        "telvane.ipv4_mask": entry["ipv4_mask"],
        "telvane.ipv4_gateway": entry["ipv4_gateway"],
        "telvane.status_flags.dhcp": entry["dhcp"],
        "telvane.status_flags.locked": entry["locked"],
        "telvane.model_name": entry["model_name"],
    }
    if entry["has_extension"]:
        e.update({
            "telvane.device_name": entry["device_name"],
            "telvane.ext_flags.dns4_auto": entry["dns4_auto"],
            "telvane.ext_flags.dns6_auto": entry["dns6_auto"],
            "telvane.ext_flags.dhcp6": entry["ipv6_dhcp"],
            "telvane.ext_flags.ipv6": entry["ipv6"],
            "telvane.ipv6_prefix_length": entry["ipv6_prefix_length"],
        })
        for f in ("dns4_preferred", "dns4_alternate", "ipv6_address", "ipv6_gateway", "dns6_preferred",
                  "dns6_alternate"):
            e["telvane." + f] = entry[f]
    return e


def compare(where, layers, expected, failures):
    for field, want in expected.items():
        shown = layers.get(field)
        if want is None:
            if shown is not None:
                failures.append("%s: %s shown (%s) but the datagram has no such field" % (where, field, shown))
        elif shown is None or len(shown) != 1:
            failures.append("%s: %s is %s, expected %r" % (where, field, shown, want))
        elif normalise(want, shown[0]) != want:
            failures.append("%s: %s is %r, expected %r" % (where, field, shown[0], want))


def check_sim_capture(lua):
    """sim.pcap: telvane-cli enumerating telvane-sim's devices in the namespace harness."""
    config = json.load(open(os.path.join(HERE, "sim-devices.json"), encoding="utf-8"))["devices"]
    read = json.load(open(os.path.join(HERE, "sim-enumerate.json"), encoding="utf-8"))
    logged = [line.split(" data=")[1].strip() for line in open(os.path.join(HERE, "sim.log"))]
    sets = json.load(open(os.path.join(HERE, "sim-sets.json"), encoding="utf-8"))
    fields = set(REPLY_FIELDS) | {k for s in sets for k in s["request"]} | {"telvane.result", "telvane.accepted"}
    frames = tshark_json(lua, os.path.join(HERE, "sim.pcap"), ["frame.number", "udp.payload"] + sorted(fields))
    failures = []
    if [f.get("udp.payload", [""])[0].replace(":", "") for f in frames] != logged:
        failures.append("sim.pcap does not hold the datagrams of the simulator's log")
    by_mac = {d["mac"].replace("-", ":").lower(): d for d in config}
    program = {e["mac"].replace("-", ":"): e for e in read}
    requests = replies = set_requests = set_replies = 0
    for layers in frames:
        n = layers["frame.number"][0]
        where = "sim.pcap frame %s" % n
        kind = normalise(0, layers.get("telvane.type", ["0"])[0])
        mac = layers.get("telvane.mac", ["?"])[0]
        if kind == 0x454E:
            requests += 1
            compare(where, layers, {"telvane.checksum.good": True}, failures)
        elif kind in (0x4950, 0x4941):
            # The program's request, as the command line was asked to send it.
            if set_requests < len(sets):
                compare(where + " (as asked)", layers, sets[set_requests]["request"], failures)
            set_requests += 1
        elif kind == 0xC9D0:
            set_replies += 1
            device = by_mac.get(mac)
            if device is None:
                failures.append("%s: set reply from %s, none of the simulated devices" % (where, mac))
                continue
            result = {"accept": 0, "refuse": device.get("refuse_code", 1)}[device.get("set", "accept")]
            compare(where + " (as sent)", layers,
                    {"telvane.result": result, "telvane.accepted": result == 0, "telvane.checksum.good": True}, failures)
        elif kind == 0xC5CE:
            replies += 1
            if mac not in by_mac:
                failures.append("%s: MAC %s is none of the simulated devices" % (where, mac))
                continue
            compare(where + " (as sent)", layers, sim_expected(by_mac[mac]), failures)
            if mac in program:
                compare(where + " (as the program read it)", layers, program_expected(program[mac]), failures)
        else:
            failures.append("%s: not dissected as a Telvane datagram" % where)
    runs = 1 + len(sets)  # every set enumerates first
    if requests != 3 * runs or replies != 3 * runs * len(config):
        failures.append("sim.pcap: %d requests and %d replies, expected %d and %d" %
                        (requests, replies, 3 * runs, 3 * runs * len(config)))
    if set_requests != len(sets) or set_replies != len(sets):
        failures.append("sim.pcap: %d set requests and %d set replies, expected %d of each" %
                        (set_requests, set_replies, len(sets)))
    if len(program) < len(config) - 1:
        failures.append("the program read only %d devices" % len(program))
    return failures


def write_pcap(path, payloads):
    """Ethernet + IPv4 + UDP frames from a source port to 18768."""
    with open(path, "wb") as out:
        out.write(struct.pack("<IHHiIII", 0xA1B2C3D4, 2, 4, 0, 0, 65535, 1))
        for i, payload in enumerate(payloads):
            udp = struct.pack(">HHHH", 18768, 40000, 8 + len(payload), 0) + payload
            ip = struct.pack(">BBHHHBBH4s4s", 0x45, 0, 20 + len(udp), i & 0xFFFF, 0, 64, 17, 0,
                             bytes([192, 0, 2, 10]), bytes([192, 0, 2, 1]))
            frame = b"\x02\0\0\0\0\x01" + b"\x02\0\0\0\0\x02" + b"\x08\x00" + ip + udp
            out.write(struct.pack("<IIII", i, 0, len(frame), len(frame)))
            out.write(frame)


def check_damaged(lua):
    manifest = json.load(open(os.path.join(HERE, "datagrams.json"), encoding="utf-8"))
    payloads = []
    for item in manifest:
        data = bytes.fromhex(item["bytes"])
        payloads += [data[:k] for k in range(4, len(data))]
        payloads.append(data + b"\xaa" * 7)
    with tempfile.TemporaryDirectory() as tmp:
        pcap = os.path.join(tmp, "damaged.pcap")
        write_pcap(pcap, payloads)
        cmd = ["tshark", "-n", "-X", "lua_script:" + lua, "-r", pcap, "-V"]
        out = subprocess.run(cmd, check=True, capture_output=True, text=True)
    failures = []
    text = out.stdout + out.stderr
    if "Lua Error" in text or "Malformed Packet" in text:
        lines = [l for l in text.splitlines() if "Lua Error" in l or "Malformed Packet" in l]
        failures.append("damaged datagrams raise errors in the dissector: %s" % lines[:5])
    shown = text.count("Telvane Discovery Protocol,")
    if shown != len(payloads):
        failures.append("only %d of %d damaged datagrams were dissected" % (shown, len(payloads)))
    return failures


def main():
    lua = os.path.abspath(sys.argv[1])
    failures = check_coverage(lua) + check_capture(lua) + check_sim_capture(lua) + check_damaged(lua)
    for f in failures:
        print("FAIL:", f)
    if failures:
        sys.exit(1)
    print("dissector: all fields of the captured datagrams match what was sent; damaged datagrams dissect cleanly")


if __name__ == "__main__":
    main()
