#!/usr/bin/env python3
"""Unit checks of the telvane.devices modules against a stand-in for telvane-cli: the
command each task runs, how the command line's JSON becomes the task's result, and that
the documentation describes the options the modules take.

Run: python3 contrib/ansible/tests/test_modules.py
"""

import importlib
import json
import os
import subprocess
import sys
import tempfile
import unittest

import yaml

# No __pycache__ inside the collection's tree, which ansible-galaxy builds from.
sys.dont_write_bytecode = True
os.environ["PYTHONDONTWRITEBYTECODE"] = "1"

HERE = os.path.dirname(os.path.abspath(__file__))
COLLECTIONS = os.path.dirname(HERE)
FAKE_CLI = os.path.join(HERE, "fake-telvane-cli")
MODULES = "ansible_collections.telvane.devices.plugins.modules."
sys.path.insert(0, COLLECTIONS)

MAC = "00-1a-2b-3c-4d-5e"


def run_module(name, args, output, exit_code=0, check_mode=False, diff=False, read_input=False):
    """Runs a module as Ansible would, in its own process; returns (result, cli arguments)."""
    with tempfile.TemporaryDirectory() as tmp:
        argsfile = os.path.join(tmp, "args.json")
        recorded = os.path.join(tmp, "cli-args.json")
        params = dict(args, cli=FAKE_CLI, _ansible_check_mode=check_mode, _ansible_tmpdir=tmp,
                      _ansible_remote_tmp=tmp, _ansible_diff=diff)
        with open(argsfile, "w") as f:
            json.dump({"ANSIBLE_MODULE_ARGS": params}, f)
        env = dict(os.environ, PYTHONPATH=COLLECTIONS, FAKE_TELVANE_ARGS=recorded,
                   FAKE_TELVANE_OUTPUT=output if isinstance(output, str) else json.dumps(output),
                   FAKE_TELVANE_EXIT=str(exit_code))
        proc = subprocess.run([sys.executable, "-m", MODULES + name, argsfile], capture_output=True, text=True,
                              env=env)
        result = json.loads(proc.stdout)
        cli_args = None
        if os.path.exists(recorded):
            with open(recorded) as f:
                cli_args = json.load(f)
        if read_input:
            with open(recorded + ".input") as f:
                return result, cli_args, json.load(f)
    return result, cli_args


ACCEPTED = {"mac": MAC, "outcome": "accepted", "sends": 1, "result": 0, "changed": True}


class Config(unittest.TestCase):
    def test_settings_become_the_command_lines_options(self):
        result, cli = run_module("config", dict(mac=MAC, adapter="192.0.2.1", ip="192.0.2.40", mask="255.255.255.0",
                                                gateway="", dhcp=False, dns4=[], dns4_auto=False, ipv6="2001:db8::40",
                                                prefix=64, ipv6_dhcp=False, dns6=["2001:db8::53", "2001:db8::54"],
                                                dns6_auto=False, force=True, wait_reenumerate=True), ACCEPTED)
        self.assertFalse(result.get("failed"), result)
        self.assertEqual(cli, ["set", "--mac", MAC, "--adapter", "192.0.2.1", "--ip", "192.0.2.40", "--mask",
                               "255.255.255.0", "--gateway", "", "--ipv6", "2001:db8::40", "--prefix", "64",
                               "--static", "--dns4-manual", "--ipv6-static", "--dns6-manual", "--dns4", "-", "--dns6",
                               "2001:db8::53", "2001:db8::54", "--force", "--wait-reenumerate", "--ensure",
                               "--with-settings", "--json"])

    def test_choices_set_true_take_the_automatic_flags(self):
        _, cli = run_module("config", dict(mac=MAC, dhcp=True, dns4_auto=True, ipv6_dhcp=True, dns6_auto=True),
                            ACCEPTED)
        self.assertEqual(cli, ["set", "--mac", MAC, "--dhcp", "--dns4-auto", "--ipv6-dhcp", "--dns6-auto", "--ensure",
                               "--with-settings", "--json"])

    def test_accepted_set_is_changed(self):
        result, _ = run_module("config", dict(mac=MAC, ip="192.0.2.40"), ACCEPTED)
        self.assertTrue(result["changed"])
        self.assertEqual(result["outcome"], "accepted")
        self.assertEqual(result["result"], 0)

    def test_unchanged_device_is_not_changed(self):
        result, _ = run_module("config", dict(mac=MAC, ip="192.0.2.40"),
                               {"mac": MAC, "outcome": "unchanged", "sends": 0, "result": None, "changed": False})
        self.assertFalse(result["changed"])
        self.assertEqual(result["sends"], 0)

    def test_check_mode_runs_a_dry_run_and_reports_the_change(self):
        result, cli = run_module("config", dict(mac=MAC, ip="192.0.2.41", wait_reenumerate=True),
                                 {"mac": MAC, "outcome": "dry-run", "sends": 0, "result": None, "changed": True,
                                  "request": {"hex": "ffff4950"}}, check_mode=True)
        self.assertEqual(cli, ["set", "--mac", MAC, "--ip", "192.0.2.41", "--ensure", "--dry-run", "--with-settings",
                               "--json"])
        self.assertTrue(result["changed"])
        self.assertEqual(result["request"], {"hex": "ffff4950"})

    def test_refusal_fails_with_the_message_and_the_devices_result(self):
        refused = {"mac": MAC, "outcome": "refused", "sends": 1, "result": 5, "message": "the device refused (5)",
                   "error": {"code": "refused", "message": "the device refused (5)", "exit": 1}}
        result, _ = run_module("config", dict(mac=MAC, ip="192.0.2.40"), refused, exit_code=1)
        self.assertTrue(result["failed"])
        self.assertEqual(result["msg"], "the device refused (5)")
        self.assertEqual(result["error_code"], "refused")
        self.assertEqual(result["result"], 5)
        self.assertEqual(result["rc"], 1)

    def test_bad_input_fails_with_the_command_lines_message(self):
        invalid = {"error": {"code": "invalid", "message": "IP address is invalid.", "exit": 2}}
        result, _ = run_module("config", dict(mac=MAC, ip="300.1.1.1"), invalid, exit_code=2)
        self.assertTrue(result["failed"])
        self.assertEqual(result["msg"], "IP address is invalid.")
        self.assertEqual(result["error_code"], "invalid")

    def test_output_that_is_not_json_fails(self):
        result, _ = run_module("config", dict(mac=MAC), "Segmentation fault\n", exit_code=139)
        self.assertTrue(result["failed"])
        self.assertIn("no JSON document", result["msg"])

    def test_more_than_two_servers_fail_before_the_command_line_runs(self):
        result, cli = run_module("config", dict(mac=MAC, dns4=["192.0.2.1", "192.0.2.2", "192.0.2.3"]), ACCEPTED)
        self.assertTrue(result["failed"])
        self.assertIsNone(cli)


SECOND = "00-1a-2b-3c-4d-5f"
BEFORE = {"device_name": "Hall", "mac": MAC, "ipv4_address": "192.0.2.20", "ipv4_mask": "255.255.255.0",
          "ipv4_gateway": "192.0.2.1", "dhcp": False, "locked": False, "has_extension": False}


class Site(unittest.TestCase):
    """devices and snapshot: a whole site through one set --from-json."""

    def test_devices_go_to_one_command_line_call_keyed_by_sets_options(self):
        batch = {"failed": 0, "devices": [
            {"line": 2, "mac": MAC, "outcome": "accepted", "changed": True, "sends": 1, "result": 0},
            {"line": 3, "mac": SECOND, "outcome": "unchanged", "changed": False, "sends": 0, "result": None}]}
        result, cli, rows = run_module("config", dict(adapter="0", force=True, devices=[
            dict(mac=MAC, ip="192.0.2.40", gateway="", dns4=[], dhcp=False, prefix=64),
            dict(mac=SECOND, dhcp=True, dns4_auto=True)]), batch, read_input=True)
        self.assertFalse(result.get("failed"), result)
        self.assertEqual(cli[:2], ["set", "--from-json"])
        self.assertEqual(cli[3:], ["--adapter", "0", "--force", "--ensure", "--with-settings", "--json"])
        self.assertEqual(rows, [{"mac": MAC, "ip": "192.0.2.40", "gateway": "-", "dhcp": False, "dns4": [],
                                 "prefix": "64"},
                                {"mac": SECOND, "dhcp": True, "dns4-auto": True}])
        self.assertTrue(result["changed"])
        self.assertEqual([d["outcome"] for d in result["devices"]], ["accepted", "unchanged"])

    def test_nothing_changed_is_not_changed_and_a_failed_row_fails_the_task(self):
        unchanged = {"failed": 0, "devices": [{"mac": MAC, "outcome": "unchanged", "changed": False}]}
        result, _ = run_module("config", dict(devices=[dict(mac=MAC, ip="192.0.2.40")]), unchanged)
        self.assertFalse(result["changed"])
        failed = {"failed": 1, "devices": [
            {"mac": MAC, "outcome": "accepted", "changed": True},
            {"mac": SECOND, "outcome": "not-found", "changed": False,
             "error": {"code": "unknown-mac", "message": "no device with MAC %s answered" % SECOND, "exit": 2}}],
            "error": {"code": "rows-failed", "message": "1 of 2 rows failed", "exit": 1}}
        result, _ = run_module("config", dict(devices=[dict(mac=MAC, ip="192.0.2.40"), dict(mac=SECOND, dhcp=True)]),
                               failed, exit_code=1)
        self.assertTrue(result["failed"])
        self.assertTrue(result["changed"], "the first device did change")
        self.assertIn("no device with MAC %s answered" % SECOND, result["msg"])
        self.assertEqual(result["failed_devices"], 1)

    def test_snapshot_in_check_mode_and_items_that_are_wrong(self):
        _, cli = run_module("config", dict(snapshot="/var/lib/telvane/site.json"), {"failed": 0, "devices": []},
                            check_mode=True)
        self.assertEqual(cli, ["set", "--from-json", "/var/lib/telvane/site.json", "--ensure", "--dry-run",
                               "--with-settings", "--json"])
        for wrong in (dict(devices=[dict(ip="192.0.2.40")]), dict(devices=[dict(mac=MAC, colour="red")]),
                      dict(devices=[dict(mac=MAC)], ip="192.0.2.40"), dict(mac=MAC, snapshot="/x")):
            result, cli = run_module("config", wrong, {"failed": 0, "devices": []})
            self.assertTrue(result["failed"], wrong)
            self.assertIsNone(cli, wrong)

    def test_diff_shows_before_and_after_without_what_dhcp_does_not_carry(self):
        after = {"type": "basic", "ipv4_address": "0.0.0.0", "ipv4_mask": "0.0.0.0", "ipv4_gateway": "0.0.0.0",
                 "dhcp": True}
        single = dict(ACCEPTED, before=BEFORE, after=after)
        result, _ = run_module("config", dict(mac=MAC, dhcp=True), single, diff=True)
        self.assertEqual(result["diff"], {"before": {"dhcp": False}, "after": {"dhcp": True}})
        self.assertEqual(result["before"], BEFORE)
        batch = {"failed": 0, "devices": [dict(single, changed=True), dict(single, mac=SECOND, changed=False)]}
        result, _ = run_module("config", dict(devices=[dict(mac=MAC, dhcp=True), dict(mac=SECOND, dhcp=True)]), batch,
                               check_mode=True, diff=True)
        self.assertEqual(result["diff"], {"before": {MAC: {"dhcp": False}}, "after": {MAC: {"dhcp": True}}})


DEVICES = [{"device_name": "Hall", "model_name": "M1", "mac": MAC, "ipv4_address": "192.0.2.20"},
           {"device_name": "Gate", "model_name": "M2", "mac": "00-1a-2b-3c-4d-5f", "ipv4_address": "192.0.2.21"}]


class Discover(unittest.TestCase):
    def test_returns_the_devices_and_changes_nothing(self):
        result, cli = run_module("discover", dict(adapter="1"), DEVICES)
        self.assertEqual(cli, ["enumerate", "--adapter", "1", "--json"])
        self.assertFalse(result["changed"])
        self.assertEqual(result["devices"], DEVICES)
        self.assertEqual(result["count"], 2)

    def test_all_adapters(self):
        _, cli = run_module("discover", dict(all_adapters=True), [])
        self.assertEqual(cli, ["enumerate", "--all-adapters", "--json"])

    def test_adapter_and_all_adapters_exclude_each_other(self):
        result, cli = run_module("discover", dict(adapter="0", all_adapters=True), [])
        self.assertTrue(result["failed"])
        self.assertIsNone(cli)

    def test_all_adapters_false_goes_with_an_adapter(self):
        # A play often passes the flag from a variable: false must not clash with adapter.
        result, cli = run_module("discover", dict(adapter="0", all_adapters=False), [])
        self.assertFalse(result.get("failed"), result)
        self.assertEqual(cli, ["enumerate", "--adapter", "0", "--json"])

    def test_local_failure_fails_with_its_code(self):
        result, _ = run_module("discover", {}, {"error": {"code": "no-adapter", "message": "no usable adapter",
                                                          "exit": 3}}, exit_code=3)
        self.assertTrue(result["failed"])
        self.assertEqual(result["error_code"], "no-adapter")
        self.assertEqual(result["rc"], 3)


class Documentation(unittest.TestCase):
    """ansible-doc shows DOCUMENTATION: every option the module takes must be there, alike."""

    def argument_spec(self, name):
        module = importlib.import_module(MODULES + name)
        captured = {}

        class Stop(Exception):
            pass

        def capture(argument_spec, **kwargs):
            captured.update(argument_spec)
            raise Stop()

        module.AnsibleModule = capture
        with self.assertRaises(Stop):
            module.main()
        return module, captured

    def check(self, name):
        module, accepted = self.argument_spec(name)
        documented = yaml.safe_load(module.DOCUMENTATION)["options"]
        self.assertEqual(sorted(documented), sorted(accepted))
        for option, s in accepted.items():
            d = documented[option]
            self.assertEqual(d.get("type"), s.get("type"), option)
            self.assertEqual(d.get("required", False), s.get("required", False), option)
            self.assertEqual(d.get("default"), s.get("default"), option)
            self.assertEqual(d.get("elements"), s.get("elements"), option)
        for block in ("EXAMPLES", "RETURN"):
            self.assertTrue(yaml.safe_load(getattr(module, block)), block)

    def test_config(self):
        self.check("config")

    def test_discover(self):
        self.check("discover")


if __name__ == "__main__":
    unittest.main()
