#!/usr/bin/env python3
"""Checks tools/wireshark/telvane.lua with tshark.

1. On the committed capture (datagrams.pcap, made by make-captures.sh inside private
   namespaces) every frame's payload must be the datagram that was sent, and every field
   the dissector shows must be the value the datagram was built from (datagrams.json),
   including the checksum verdict as a field and as expert information.
2. Every fixture datagram cut short at every length, and with junk appended, must dissect
   without a Lua error: datagrams come from anyone on the segment.

Usage: check-dissector.py DISSECTOR.lua
"""

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
    registered = set()
    for line in out.splitlines():
        cols = line.split("\t")
        if len(cols) > 3 and cols[0] == "F" and cols[2].startswith("telvane.") and cols[3] != "FT_NONE":
            registered.add(cols[2])
    if not registered:
        return ["the dissector registers no fields"]
    return ["field %s is never compared with what was sent" % f for f in sorted(registered - compared)]


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
    failures = check_coverage(lua) + check_capture(lua) + check_damaged(lua)
    for f in failures:
        print("FAIL:", f)
    if failures:
        sys.exit(1)
    print("dissector: all fields of the captured datagrams match what was sent; damaged datagrams dissect cleanly")


if __name__ == "__main__":
    main()
