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


def run_module(name, args, output, exit_code=0, check_mode=False):
    """Runs a module as Ansible would, in its own process; returns (result, cli arguments)."""
    with tempfile.TemporaryDirectory() as tmp:
        argsfile = os.path.join(tmp, "args.json")
        recorded = os.path.join(tmp, "cli-args.json")
        params = dict(args, cli=FAKE_CLI, _ansible_check_mode=check_mode, _ansible_tmpdir=tmp,
                      _ansible_remote_tmp=tmp)
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
                               "2001:db8::53", "2001:db8::54", "--force", "--wait-reenumerate", "--ensure", "--json"])

    def test_choices_set_true_take_the_automatic_flags(self):
        _, cli = run_module("config", dict(mac=MAC, dhcp=True, dns4_auto=True, ipv6_dhcp=True, dns6_auto=True),
                            ACCEPTED)
        self.assertEqual(cli, ["set", "--mac", MAC, "--dhcp", "--dns4-auto", "--ipv6-dhcp", "--dns6-auto", "--ensure",
                               "--json"])

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
        self.assertEqual(cli, ["set", "--mac", MAC, "--ip", "192.0.2.41", "--ensure", "--dry-run", "--json"])
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
