#!/usr/bin/python
# -*- coding: utf-8 -*-

from __future__ import absolute_import, division, print_function

__metaclass__ = type

DOCUMENTATION = r"""
---
module: config
short_description: Set network devices' IPv4, IPv6 and DNS configuration, one or a whole site
version_added: "0.1.0"
description:
  - Runs C(telvane-cli set --ensure) on the managed host. The command line enumerates the
    segment, finds the device by its MAC address, applies the settings given to the
    device's current ones and sends a set request only when the result differs from what
    the device reported. The task is changed only when a request was sent and accepted.
  - In check mode it adds C(--dry-run), which checks everything and reports whether a
    request would change the device, and sends nothing.
  - Settings left out keep the device's current value, automatic DNS included. A value
    implies its manual choice, as on the command line; an automatic choice together with
    one of its values fails.
  - Where no request can keep a setting left out together with the change asked for, the
    task fails with C(cannot-keep) and nothing is sent. A static address for a device
    that takes its address and its DNS servers by DHCP is such a change, so give I(dns4)
    (or I(dns4_auto)) too; likewise I(dns6) or I(dns6_auto) with a static IPv6 address.
  - A refusal by the device, a device that does not answer, an unknown MAC address, a
    locked device or an invalid setting fails the task with the command line's message.
  - A whole site in one task, with I(devices) (a list of devices, each with I(mac) and the
    same settings options) or I(snapshot) (a file that C(telvane-cli enumerate --json) or
    the I(devices) result of M(telvane.devices.discover) wrote). One command line call,
    one enumeration and a batch underneath, a result per device, changed when any device
    changed.
  - With C(--diff) it shows each device's settings before and after (in check mode too);
    the result always carries the settings the device had before.
  - The command line journals each set before it is sent (see C(telvane-cli history) and
    C(telvane-cli restore)).
options:
  mac:
    description:
      - The device, as 00-1a-2b-3c-4d-5e, 00:1A:2B:3C:4D:5E or 001a2b3c4d5e.
      - Exactly one of I(mac), I(devices) and I(snapshot) is given.
    type: str
  devices:
    description:
      - Several devices at once, each a dictionary with I(mac) and any of the settings
        options below (I(ip), I(mask), I(gateway), I(dhcp), I(dns4), I(dns4_auto),
        I(ipv6), I(prefix), I(ipv6_gateway), I(ipv6_dhcp), I(dns6), I(dns6_auto)).
    type: list
    elements: dict
  snapshot:
    description:
      - Path on the managed host of a snapshot of a site, the JSON that
        C(telvane-cli enumerate --json) prints (or M(telvane.devices.discover) returns as
        I(devices)). Each device is set back to the settings in it, only where they
        differ; a device of another model than the snapshot's fails its own row.
    type: path
  adapter:
    description:
      - The adapter that faces the device, by its IPv4 address or by its number in
        C(telvane-cli adapters). Default is the command line's own, adapter 0.
    type: str
  force:
    description:
      - Send even when the new address conflicts with another device or leaves the
        adapter's subnet.
    type: bool
    default: false
  wait_reenumerate:
    description:
      - After an acceptance, wait the twelve seconds the device takes to apply its
        configuration, enumerate again and fail unless the device answers, at the
        static address asked for if one was.
    type: bool
    default: false
  ip:
    description: Static IPv4 address (turns IPv4 DHCP off).
    type: str
  mask:
    description: IPv4 subnet mask (turns IPv4 DHCP off).
    type: str
  gateway:
    description: IPv4 default gateway; an empty string for none (turns IPv4 DHCP off).
    type: str
  dhcp:
    description:
      - C(true) takes the IPv4 configuration by DHCP; C(false) makes it static, keeping
        the current address unless I(ip) is given.
    type: bool
  dns4:
    description:
      - The preferred and optionally the alternate IPv4 DNS server; an empty list for
        none (makes IPv4 DNS manual).
    type: list
    elements: str
  dns4_auto:
    description: C(true) takes the IPv4 DNS servers automatically; C(false) makes them manual.
    type: bool
  ipv6:
    description: Static IPv6 address (turns IPv6 DHCP off). Only for devices with IPv6.
    type: str
  prefix:
    description: IPv6 prefix length, 0 to 128 (turns IPv6 DHCP off).
    type: int
  ipv6_gateway:
    description: IPv6 default gateway; an empty string for none (turns IPv6 DHCP off).
    type: str
  ipv6_dhcp:
    description: C(true) takes the IPv6 configuration automatically; C(false) makes it static.
    type: bool
  dns6:
    description:
      - The preferred and optionally the alternate IPv6 DNS server; an empty list for
        none (makes IPv6 DNS manual).
    type: list
    elements: str
  dns6_auto:
    description: C(true) takes the IPv6 DNS servers automatically; C(false) makes them manual.
    type: bool
  cli:
    description:
      - Path of C(telvane-cli) on the managed host. Default is the one found on C(PATH).
    type: path
requirements:
  - C(telvane-cli) on the managed host (the C(telvane-cli) package, no desktop needed)
notes:
  - The DNS and IPv6 settings reach only devices that report the extended description;
    giving one to another device fails the task and sends nothing.
  - Supports check mode and diff mode.
author:
  - Telvane developers
"""

EXAMPLES = r"""
- name: Give the hall camera a static address
  telvane.devices.config:
    mac: 00-1a-2b-3c-4d-5e
    ip: 192.0.2.40
    mask: 255.255.255.0
    gateway: 192.0.2.1
    dns4: [192.0.2.53, 192.0.2.54]

- name: Let a meter take everything by DHCP, and wait until it answers again
  telvane.devices.config:
    mac: 00-1a-2b-3c-4d-5f
    dhcp: true
    dns4_auto: true
    wait_reenumerate: true

- name: Configure every device of the site from the inventory, in one task
  telvane.devices.config:
    adapter: "{{ telvane_adapter | default(omit) }}"
    devices: "{{ telvane_devices }}"   # each item: mac, ip, mask, gateway, dns4, ...

- name: Snapshot the site
  telvane.devices.discover:
  register: site

- name: Keep the snapshot on the managed host
  ansible.builtin.copy:
    content: "{{ site.devices | to_nice_json }}"
    dest: /var/lib/telvane/site.json

- name: Later, put the site back as the snapshot has it (only the devices that differ)
  telvane.devices.config:
    snapshot: /var/lib/telvane/site.json
"""

RETURN = r"""
before:
  description:
    - The settings the device reported before the task, under the names
      C(telvane-cli enumerate) uses.
  returned: success, with I(mac)
  type: dict
after:
  description: The settings the task sends (or would send in check mode), under the same names.
  returned: success, with I(mac)
  type: dict
devices:
  description:
    - With I(devices) or I(snapshot), one result per device in the order given, each with
      I(mac), I(outcome), I(changed), I(sends), I(result), I(before), I(after) and, when it
      failed, I(error).
  returned: with I(devices) or I(snapshot)
  type: list
  elements: dict
failed_devices:
  description: With I(devices) or I(snapshot), how many devices failed.
  returned: with I(devices) or I(snapshot)
  type: int
  sample: 0
outcome:
  description:
    - What happened, in the command line's words, C(accepted), C(unchanged) when the
      device already had these settings, or what check mode would do.
  returned: success
  type: str
  sample: accepted
mac:
  description: The device's MAC address as the command line writes it.
  returned: success
  type: str
  sample: 00-1a-2b-3c-4d-5e
sends:
  description: How many set requests were sent (0 when nothing had to change, and in check mode).
  returned: success
  type: int
  sample: 1
result:
  description:
    - The device's result byte (0 for an acceptance), or null when it did not answer or
      nothing was sent. Also returned when the task fails on a refusal.
  returned: always
  type: int
  sample: 0
request:
  description: In check mode, the set request that would be sent, as the command line prints it.
  returned: when supported by the command line in check mode
  type: raw
confirmed:
  description: With I(wait_reenumerate), whether the device answered again as asked.
  returned: when I(wait_reenumerate) is set and the device accepted
  type: bool
  sample: true
address:
  description: With I(wait_reenumerate), the IPv4 address the device answered from afterwards.
  returned: when I(wait_reenumerate) is set and the device accepted
  type: str
  sample: 192.0.2.40
telvane:
  description: The whole JSON document the command line printed.
  returned: with I(mac)
  type: dict
cmd:
  description: The command line that was run.
  returned: always
  type: list
  elements: str
  sample: ["/usr/bin/telvane-cli", "set", "--mac", "00-1a-2b-3c-4d-5e", "--ip", "192.0.2.40", "--ensure", "--json"]
error_code:
  description:
    - The command line's error code when it failed, such as C(refused), C(no-answer),
      C(unknown-mac), C(locked), C(invalid), C(not-applicable), C(cannot-keep) or
      C(address-conflict); C(send) when the request could not leave the host (rc 4) and
      C(adapter-down) when the adapter is down or has no link.
  returned: failure
  type: str
  sample: refused
rc:
  description: The command line's exit status.
  returned: failure
  type: int
  sample: 1
"""

import json
import os
import tempfile

from ansible.module_utils.basic import AnsibleModule
from ansible_collections.telvane.devices.plugins.module_utils.telvane_cli import fail_from_cli, run_cli

# Values passed as they are: option name -> command line option.
VALUE_OPTIONS = [
    ("ip", "--ip"),
    ("mask", "--mask"),
    ("gateway", "--gateway"),
    ("ipv6", "--ipv6"),
    ("prefix", "--prefix"),
    ("ipv6_gateway", "--ipv6-gateway"),
]
# Choices: option name -> (flag when true, flag when false).
CHOICE_OPTIONS = [
    ("dhcp", "--dhcp", "--static"),
    ("dns4_auto", "--dns4-auto", "--dns4-manual"),
    ("ipv6_dhcp", "--ipv6-dhcp", "--ipv6-static"),
    ("dns6_auto", "--dns6-auto", "--dns6-manual"),
]
# Server lists: one or two addresses; an empty list is the command line's "-" (none).
LIST_OPTIONS = [("dns4", "--dns4"), ("dns6", "--dns6")]

# Members of the command line's answer handed back as they are.
RETURNED = ("outcome", "mac", "sends", "result", "request", "confirmed", "address", "before", "after")

# The settings an automatic choice makes meaningless: left out of the diff on both sides.
CARRIED_BY = [
    ("dhcp", ("ipv4_address", "ipv4_mask", "ipv4_gateway")),
    ("dns4_auto", ("dns4_preferred", "dns4_alternate")),
    ("ipv6_dhcp", ("ipv6_address", "ipv6_prefix_length", "ipv6_gateway")),
    ("dns6_auto", ("dns6_preferred", "dns6_alternate")),
]


def settings_view(settings, automatic_from):
    """The settings as the diff shows them: the request's fields, without what the
    automatic choices in automatic_from do not carry."""
    if not isinstance(settings, dict) or not isinstance(automatic_from, dict):
        return {}
    view = dict((k, v) for k, v in settings.items() if k in automatic_from and k != "type")
    for choice, values in CARRIED_BY:
        if automatic_from.get(choice) is True:
            for key in values:
                view.pop(key, None)
    return view


def diff_of(device):
    """(before, after) of one device's result, alike in their keys."""
    before = device.get("before")
    after = device.get("after")
    return settings_view(before, after), settings_view(after, after)


SETTINGS_SPEC = dict(
    ip=dict(type="str"),
    mask=dict(type="str"),
    gateway=dict(type="str"),
    dhcp=dict(type="bool"),
    dns4=dict(type="list", elements="str"),
    dns4_auto=dict(type="bool"),
    ipv6=dict(type="str"),
    prefix=dict(type="int"),
    ipv6_gateway=dict(type="str"),
    ipv6_dhcp=dict(type="bool"),
    dns6=dict(type="list", elements="str"),
    dns6_auto=dict(type="bool"),
)


def common_args(module):
    """Adapter, force, the re-enumeration and the mode: what every form of the task shares."""
    p = module.params
    args = []
    if p["force"]:
        args.append("--force")
    if p["wait_reenumerate"] and not module.check_mode:
        args.append("--wait-reenumerate")
    # Check mode compares as --ensure does and stops before sending.
    args += ["--ensure", "--dry-run"] if module.check_mode else ["--ensure"]
    return args + ["--with-settings"]


def device_row(module, item, index):
    """One item of devices as an object of set --from-json, keyed by set's options."""
    if not isinstance(item, dict) or not item.get("mac"):
        module.fail_json(msg="devices[%d] needs a mac" % index, error_code="invalid")
    unknown = sorted(set(item) - set(SETTINGS_SPEC) - {"mac"})
    if unknown:
        module.fail_json(msg="devices[%d]: unknown option %s" % (index, ", ".join(unknown)), error_code="invalid")
    row = {"mac": str(item["mac"])}
    for name, option in SETTINGS_SPEC.items():
        value = item.get(name)
        if value is None:
            continue
        key = name.replace("_", "-")
        if option["type"] == "bool":
            row[key] = module.boolean(value)
        elif option["type"] == "list":
            servers = [str(v) for v in value] if isinstance(value, (list, tuple)) else [str(value)]
            if len(servers) > 2:
                module.fail_json(msg="devices[%d]: %s takes one or two addresses, or none" % (index, name),
                                 error_code="invalid")
            row[key] = servers
        elif name in ("gateway", "ipv6_gateway") and value == "":
            row[key] = "-"  # none; an empty cell would leave the gateway as it is
        else:
            row[key] = str(value)
    return row


def run_batch(module):
    """devices or snapshot: one set --from-json for the whole site."""
    p = module.params
    path = p["snapshot"]
    written = None
    if p["devices"] is not None:
        rows = [device_row(module, item, i) for i, item in enumerate(p["devices"])]
        fd, written = tempfile.mkstemp(prefix="telvane-site-", suffix=".json", dir=module.tmpdir)
        with os.fdopen(fd, "w") as f:
            json.dump(rows, f)
        path = written
    args = ["set", "--from-json", path]
    if p["adapter"] is not None:
        args += ["--adapter", p["adapter"]]
    try:
        rc, document, cmd = run_cli(module, args + common_args(module))
    finally:
        if written:
            os.unlink(written)
    if not isinstance(document, dict) or ("devices" not in document and "error" in document):
        fail_from_cli(module, rc, document if isinstance(document, dict) else {}, cmd)
    devices = document.get("devices") or []
    changed = any(d.get("changed") or d.get("outcome") == "accepted" for d in devices)
    # The document itself is not returned again: for a site it is as large as devices.
    result = dict(changed=changed, devices=devices, failed_devices=document.get("failed", 0), cmd=cmd)
    if module._diff:
        befores, afters = {}, {}
        for d in devices:
            if d.get("changed") and "before" in d:
                befores[d["mac"]], afters[d["mac"]] = diff_of(d)
        result["diff"] = dict(before=befores, after=afters)
    if rc != 0 or document.get("failed"):
        failed = [d for d in devices if "error" in d]
        messages = ["%s: %s" % (d.get("mac"), d["error"].get("message")) for d in failed if d.get("error")]
        result.pop("changed")
        module.fail_json(msg="; ".join(messages) or "telvane-cli failed with exit %d" % rc, rc=rc,
                         error_code=(document.get("error") or {}).get("code", "rows-failed"), changed=changed,
                         **dict((k, v) for k, v in result.items()))
    module.exit_json(**result)


def set_args(module):
    p = module.params
    args = ["set", "--mac", p["mac"]]
    if p["adapter"] is not None:
        args += ["--adapter", p["adapter"]]
    for name, option in VALUE_OPTIONS:
        if p[name] is not None:
            args += [option, str(p[name])]
    for name, on, off in CHOICE_OPTIONS:
        if p[name] is not None:
            args.append(on if p[name] else off)
    for name, option in LIST_OPTIONS:
        servers = p[name]
        if servers is None:
            continue
        if len(servers) > 2:
            module.fail_json(msg="%s takes one or two addresses, or none" % name, error_code="invalid")
        args += [option] + (list(servers) if servers else ["-"])
    return args + common_args(module)


def main():
    module = AnsibleModule(
        argument_spec=dict(
            mac=dict(type="str"),
            devices=dict(type="list", elements="dict"),
            snapshot=dict(type="path"),
            adapter=dict(type="str"),
            force=dict(type="bool", default=False),
            wait_reenumerate=dict(type="bool", default=False),
            cli=dict(type="path"),
            **SETTINGS_SPEC
        ),
        mutually_exclusive=[("mac", "devices", "snapshot")],
        required_one_of=[("mac", "devices", "snapshot")],
        supports_check_mode=True,
    )
    if module.params["mac"] is None:
        given = [name for name in SETTINGS_SPEC if module.params[name] is not None]
        if given:
            module.fail_json(msg="with devices or snapshot the settings go in each device, not beside: %s"
                             % ", ".join(given), error_code="usage")
        run_batch(module)
        return
    rc, document, cmd = run_cli(module, set_args(module))
    if not isinstance(document, dict):
        fail_from_cli(module, rc, {}, cmd)
    returned = dict((k, document[k]) for k in RETURNED if k in document)
    if rc != 0 or "error" in document:
        fail_from_cli(module, rc, document, cmd, telvane=document, **returned)
    # The command line says whether the device changed (or would, in check mode).
    changed = document.get("changed")
    if changed is None:
        changed = document.get("outcome") == "accepted"
    result = dict(changed=bool(changed), telvane=document, cmd=cmd, **returned)
    if module._diff and "before" in document:
        before, after = diff_of(document)
        result["diff"] = dict(before=before, after=after)
    module.exit_json(**result)


if __name__ == "__main__":
    main()
