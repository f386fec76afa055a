#!/usr/bin/python
# -*- coding: utf-8 -*-

from __future__ import absolute_import, division, print_function

__metaclass__ = type

DOCUMENTATION = r"""
---
module: config
short_description: Set one network device's IPv4, IPv6 and DNS configuration
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
options:
  mac:
    description:
      - The device, as 00-1a-2b-3c-4d-5e, 00:1A:2B:3C:4D:5E or 001a2b3c4d5e.
    type: str
    required: true
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
  - Supports check mode.
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

- name: Configure each device of the site from the inventory
  telvane.devices.config:
    mac: "{{ item.mac }}"
    ip: "{{ item.ip }}"
    mask: "{{ item.mask | default('255.255.255.0') }}"
    gateway: "{{ item.gateway | default(omit) }}"
    adapter: "{{ telvane_adapter | default(omit) }}"
  loop: "{{ telvane_devices }}"
"""

RETURN = r"""
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
  returned: always
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
RETURNED = ("outcome", "mac", "sends", "result", "request", "confirmed", "address")


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
    if p["force"]:
        args.append("--force")
    if p["wait_reenumerate"] and not module.check_mode:
        args.append("--wait-reenumerate")
    # Check mode compares as --ensure does and stops before sending.
    args += ["--ensure", "--dry-run"] if module.check_mode else ["--ensure"]
    return args


def main():
    module = AnsibleModule(
        argument_spec=dict(
            mac=dict(type="str", required=True),
            adapter=dict(type="str"),
            force=dict(type="bool", default=False),
            wait_reenumerate=dict(type="bool", default=False),
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
            cli=dict(type="path"),
        ),
        supports_check_mode=True,
    )
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
    module.exit_json(changed=bool(changed), telvane=document, cmd=cmd, **returned)


if __name__ == "__main__":
    main()
