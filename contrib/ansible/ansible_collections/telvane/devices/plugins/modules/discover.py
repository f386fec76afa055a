#!/usr/bin/python
# -*- coding: utf-8 -*-

from __future__ import absolute_import, division, print_function

__metaclass__ = type

DOCUMENTATION = r"""
---
module: discover
short_description: List the network devices that answer on the host's segment
version_added: "0.1.0"
description:
  - Runs C(telvane-cli enumerate --json) on the managed host and returns every device that
    answered the discovery broadcast, in the order of their answers.
  - Discovery reaches the segment of the chosen adapter only, so run it on a host in each
    segment.
  - Never changes anything; check mode runs it as usual.
options:
  adapter:
    description:
      - The adapter to broadcast through, by its IPv4 address or by its number in
        C(telvane-cli adapters).
      - Default is the command line's own, adapter 0.
      - Mutually exclusive with I(all_adapters).
    type: str
  all_adapters:
    description:
      - Enumerate on every usable adapter at once; each device then carries the
        C(adapter) it was heard on, and a device heard on two adapters is listed twice.
    type: bool
    default: false
  cli:
    description:
      - Path of C(telvane-cli) on the managed host. Default is the one found on C(PATH).
    type: path
requirements:
  - C(telvane-cli) on the managed host (the C(telvane-cli) package, no desktop needed)
notes:
  - The host needs the firewall rule for replies from UDP source port 18768 that the
    Telvane README describes.
author:
  - Telvane developers
"""

EXAMPLES = r"""
- name: Find the devices on this site's segment
  telvane.devices.discover:
  register: found

- name: Show every device's address
  ansible.builtin.debug:
    msg: "{{ item.mac }} at {{ item.ipv4_address }} ({{ item.model_name }})"
  loop: "{{ found.devices }}"

- name: Look on the adapter that faces the devices
  telvane.devices.discover:
    adapter: 192.0.2.1

- name: Look on every adapter of the host
  telvane.devices.discover:
    all_adapters: true
"""

RETURN = r"""
devices:
  description:
    - The devices that answered, as C(telvane-cli enumerate --json) prints them.
    - Devices that do not report the extended description have no DNS or IPv6 members.
    - Each device also has C(same_subnet) (its address is in the adapter's subnet, null
      when unknown), C(address_conflict) (the MACs of other devices answering with its
      IPv4 address, at most the first 8) and C(address_conflict_count) (how many other
      MACs answered with it in all).
  returned: success
  type: list
  elements: dict
  sample:
    - device_name: Hall camera
      model_name: MODEL01
      mac: 00-1a-2b-3c-4d-5e
      ipv4_address: 192.0.2.20
      ipv4_mask: 255.255.255.0
      ipv4_gateway: 192.0.2.1
      dhcp: false
      locked: false
      has_extension: false
      same_subnet: true
      address_conflict: []
      address_conflict_count: 0
count:
  description: How many devices answered.
  returned: success
  type: int
  sample: 1
cmd:
  description: The command line that was run.
  returned: always
  type: list
  elements: str
  sample: ["/usr/bin/telvane-cli", "enumerate", "--json"]
error_code:
  description:
    - The command line's error code when it failed, for example C(no-adapter), C(socket),
      C(send) (a request could not leave the host) or C(adapter-down) (the adapter is down
      or has no link); the task fails rather than return an empty list.
  returned: failure
  type: str
  sample: no-adapter
rc:
  description: The command line's exit status.
  returned: failure
  type: int
  sample: 3
"""

from ansible.module_utils.basic import AnsibleModule
from ansible_collections.telvane.devices.plugins.module_utils.telvane_cli import (adapter_args, fail_from_cli,
                                                                                   run_cli)


def main():
    module = AnsibleModule(
        argument_spec=dict(
            adapter=dict(type="str"),
            all_adapters=dict(type="bool", default=False),
            cli=dict(type="path"),
        ),
        supports_check_mode=True,
    )
    # Not mutually_exclusive: that would refuse all_adapters: false beside an adapter.
    if module.params["adapter"] is not None and module.params["all_adapters"]:
        module.fail_json(msg="adapter and all_adapters exclude each other", error_code="usage")
    rc, document, cmd = run_cli(module, ["enumerate"] + adapter_args(module))
    if rc != 0 or not isinstance(document, list):
        fail_from_cli(module, rc, document, cmd)
    module.exit_json(changed=False, devices=document, count=len(document), cmd=cmd)


if __name__ == "__main__":
    main()
