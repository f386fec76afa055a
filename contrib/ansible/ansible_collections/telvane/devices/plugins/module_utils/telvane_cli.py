# -*- coding: utf-8 -*-
"""Runs telvane-cli on the managed host and reads the one JSON document it prints."""

from __future__ import absolute_import, division, print_function

__metaclass__ = type

import json

CLI_NAME = "telvane-cli"


def cli_path(module):
    """The command line given by the task's `cli` option, else the one on PATH."""
    given = module.params.get("cli")
    if given:
        return given
    return module.get_bin_path(CLI_NAME, required=True)


def adapter_args(module):
    args = []
    if module.params.get("adapter") is not None:
        args += ["--adapter", str(module.params["adapter"])]
    if module.params.get("all_adapters"):
        args.append("--all-adapters")
    return args


def run_cli(module, args):
    """Runs the command line with --json; returns (rc, document, cmd).

    Fails the task when the output is not one JSON document: every run of the command
    line prints one, failures included, so anything else means a wrong or broken program.
    """
    cmd = [cli_path(module)] + args + ["--json"]
    rc, out, err = module.run_command(cmd, environ_update={"LC_ALL": "C.UTF-8"})
    try:
        document = json.loads(out)
    except ValueError:
        module.fail_json(msg="%s printed no JSON document (exit %d): %s" % (CLI_NAME, rc, (err or out).strip()),
                         rc=rc, cmd=cmd, stdout=out, stderr=err)
    return rc, document, cmd


def fail_from_cli(module, rc, document, cmd, **extra):
    """Fails the task with the command line's own message and error code."""
    error = document.get("error") if isinstance(document, dict) else None
    if not isinstance(error, dict):
        error = {}
    code = error.get("code", "unknown")
    message = error.get("message") or "%s failed with exit %d" % (CLI_NAME, rc)
    module.fail_json(msg=message, error_code=code, rc=rc, cmd=cmd, **extra)
