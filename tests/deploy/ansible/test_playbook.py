#!/usr/bin/python3
"""deploy/ansible/quelvo-scan.yml run by Debian's ansible over a fleet of
hosts on this machine (ansible_connection: local), several forks:

    test_playbook.py MAKE_FLEET QUELVO_SCAN PLAYBOOK [SANDBOX-PREFIX]

A check, then a repair (quelvo_fix=true, in serial batches). The fleet
summary must give each host's own numbers, state and exit status, list the
hosts not checked completely with their report's reason, and after the
repair every repairable host must be repaired, its backups on disk.
"""
import json
import os
import pathlib
import re
import subprocess
import sys
import tempfile

FORKS = "8"
failures = []


def check(condition, what):
    if not condition:
        failures.append(what)


def playbook(playbook_path, inventory, reports, scan, *extra):
    env = dict(os.environ, ANSIBLE_NOCOLOR="1", ANSIBLE_CALLBACKS_ENABLED=os.environ.get("QUELVO_ANSIBLE_CALLBACKS", ""), ANSIBLE_HOST_KEY_CHECKING="0",
               ANSIBLE_LOCAL_TEMP=str(reports.parent / "ansible-tmp"),
               ANSIBLE_HOME=str(reports.parent / "ansible-home"), ANSIBLE_RETRY_FILES_ENABLED="0")
    command = ["ansible-playbook", "-i", str(inventory), str(playbook_path), "-f", FORKS,
               "-e", f"quelvo_report_dir={reports}", "-e", f"quelvo_scan_command={scan}", *extra]
    run = subprocess.run(command, env=env, capture_output=True, text=True)
    if run.returncode != 0:
        print(run.stdout[-6000:], run.stderr[-3000:], sep="\n")
        raise SystemExit(f"ansible-playbook failed with status {run.returncode}")
    return run.stdout


def summary_rows(reports):
    """host -> the summary's cells, and the not-checked list (host -> text)."""
    text = (reports / "fleet-summary.md").read_text()
    rows, unchecked = {}, {}
    for line in text.splitlines():
        if line.startswith("| ") and not line.startswith("| Host"):
            cells = [c.strip() for c in re.split(r"(?<!\\)\|", line)[1:-1]]
            rows[cells[0]] = cells
        elif line.startswith("- "):
            host, _, rest = line[2:].partition(": ")
            unchecked[host] = rest
    return rows, unchecked


def cell(text):
    return str(text).replace("\\", "\\\\").replace("|", "\\|").replace("\r", " ").replace("\n", " ")


def host_reports(reports):
    """host -> its report, from reports.json (every host must have one here)."""
    every = json.loads((reports / "reports.json").read_text())
    return {host: entry["report"] for host, entry in every.items()}


def check_summary(reports, hosts, fixed):
    rows, unchecked = summary_rows(reports)
    by_host = host_reports(reports)
    check(set(rows) == set(hosts), f"summary rows {sorted(rows)} are not the hosts {sorted(hosts)}")
    for host in hosts:
        report = by_host.get(host)
        row = rows.get(host)
        check(report is not None, f"{host}: no report")
        if not report:
            continue
        if not row:
            continue
        counts = report["counts"]
        want = [report["target"]["state"], str(report["exitStatus"]), str(counts["examined"]), str(counts["problems"]),
                str(counts["registryProblems"]), str(counts["needsApplication"]), str(counts["valid"])]
        check(row[2:9] == want, f"{host}: summary {row[2:9]}, report {want}")
        if fixed:
            repair = report["repair"]
            want = [str(len(repair["removed"])), str(len(repair["backups"]))] if repair else ["-", "-"]
            check(row[9:11] == want, f"{host}: removed/backups {row[9:11]}, report {want}")
        if report["target"]["state"] != "complete":
            check(unchecked.get(host) == f'{report["target"]["state"]}: {cell(report["target"]["reason"])}',
                  f"{host}: not listed with its reason: {unchecked.get(host)!r}")
        else:
            check(host not in unchecked, f"{host}: listed as not checked")
    for host, state in (("hive-damaged-01", "damaged"), ("missing-01", "missing"), ("hive-stale-01", "stale")):
        check(unchecked.get(host, "").startswith(state + ": "), f"{host} is not listed as {state}")


def main():
    make_fleet, scan, playbook_path = (str(pathlib.Path(a).absolute()) for a in sys.argv[1:4])
    sandbox = sys.argv[4] if len(sys.argv) > 4 and pathlib.Path(sys.argv[4], ".quelvo-sandbox").exists() else None
    with tempfile.TemporaryDirectory(prefix="quelvo-fleet-") as work:
        work = pathlib.Path(work)
        subprocess.run([make_fleet, str(work)] + ([sandbox] if sandbox else []), check=True, capture_output=True)
        inventory = work / "inventory.yml"
        hosts = re.findall(r"^    (\S+):$", inventory.read_text(), re.M)
        check(len(hosts) >= (20 if sandbox else 12), f"only {len(hosts)} hosts")

        reports = work / "reports"
        playbook(playbook_path, inventory, reports, scan)
        check_summary(reports, hosts, fixed=False)
        before = host_reports(reports)
        check(any(r["exitStatus"] == 0 for r in before.values()), "no host had nothing to repair")

        fixed_reports = work / "fixed"
        output = playbook(playbook_path, inventory, fixed_reports, scan, "-e", "quelvo_fix=true",
                          "-e", "quelvo_serial=8")
        batches = output.count("PLAY [Check file-extension associations with quelvo-scan]")
        check(batches == -(-len(hosts) // 8), f"{batches} batches for {len(hosts)} hosts in eights")
        check_summary(fixed_reports, hosts, fixed=True)
        after = host_reports(fixed_reports)
        for host in hosts:
            report = after[host]
            old = before[host]
            repairable = old["target"]["state"] == "complete" and old["counts"]["registryProblems"] > 0
            repair = report["repair"]
            if repairable:
                removed = sorted(k["extension"] for k in repair["removed"])
                wanted = sorted(e["name"] for e in old["extensions"] if e["class"] == "registry-problem")
                check(removed == wanted, f"{host}: removed {removed}, broken {wanted}")
                check(len(repair["backups"]) >= 1 and all(pathlib.Path(b["path"]).is_file() for b in repair["backups"]),
                      f"{host}: backups {repair['backups']}")
                check(all(pathlib.Path(b["path"]).parent == work / "backups" / host for b in repair["backups"]),
                      f"{host}: backups outside its folder")
                again = subprocess.run([scan, "--target", str(work / "targets" / host), "--format", "json"],
                                       capture_output=True, text=True)
                check(json.loads(again.stdout)["counts"]["registryProblems"] == 0, f"{host}: still broken")
            elif repair is not None and old["counts"]["registryProblems"] > 0:
                check(repair["refused"] and repair["removed"] == [], f"{host}: not refused: {repair}")
    for failure in failures:
        print("FAIL:", failure)
    print(f"{len(hosts)} hosts, {len(failures)} failures")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
