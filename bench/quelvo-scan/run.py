#!/usr/bin/python3
"""quelvo-scan timed beside the tools it is measured against, in one run,
each pair alternated round by round (medians of the rounds):

    bench/quelvo-scan/run.py [BUILD] [FOLDER] [ROUNDS]

  1. quelvo-scan --format json of an offline installation made from the real
     Windows 10 classes hive (dirty, so recovered from its logs first: the
     recovery is in the time) against hivexml dumping that SOFTWARE hive;
     target at most 0.5x;
  2. the same for a generated clean ~100 MB SOFTWARE hive; at most 0.5x;
  3. quelvo-scan of the sandbox Wine prefix against
     wine reg query 'HKLM\\Software\\Classes' /s under the same prefix, its
     wineserver already running; at most 0.2x;
  4. deploy/ansible/quelvo-scan.yml over 20 local hosts against the same
     playbook running `true` instead of quelvo-scan; at most 1.5x.

BUILD (default build) must hold quelvo-scan, quelvo_scan_bench_targets and
make_fleet (a build with tests and benchmarks); FOLDER (default
/tmp/quelvo-scan-bench) keeps the generated targets between runs.
"""
import os
import pathlib
import statistics
import subprocess
import sys
import tempfile
import time

root = pathlib.Path(__file__).resolve().parents[2]
build = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else root / "build").resolve()
folder = pathlib.Path(sys.argv[2] if len(sys.argv) > 2 else "/tmp/quelvo-scan-bench").resolve()
rounds = int(sys.argv[3]) if len(sys.argv) > 3 else 5
scan = build / "programs/quelvo-scan/quelvo-scan"
folder.mkdir(parents=True, exist_ok=True)
wine_env = dict(os.environ, WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree,mshtml=")


def timed(command, env=None, ok=(0,)):
    # Messages to a file, not a pipe: Wine's background processes inherit
    # it and would hold a pipe open.
    with tempfile.TemporaryFile() as err:
        start = time.perf_counter()
        run = subprocess.run(command, env=env, stdout=subprocess.DEVNULL, stderr=err)
        elapsed = time.perf_counter() - start
        if run.returncode not in ok:
            err.seek(0)
            raise SystemExit(f"{command[0]}: exit status {run.returncode}: {err.read().decode()[-500:]}")
    return elapsed


def pair(name, ours, theirs, target, n=rounds):
    mine, other = [], []
    timed(ours[0], ours[1], ours[2])  # warm caches for both
    timed(theirs[0], theirs[1], theirs[2])
    for _ in range(n):
        mine.append(timed(*ours))
        other.append(timed(*theirs))
    a, b = statistics.median(mine), statistics.median(other)
    ratio = a / b
    print(f"{name:<58} {a:8.3f} s {b:8.3f} s {ratio:6.2f}x  (target <= {target}x){'' if ratio <= target else '  OVER'}")
    return ratio


made = subprocess.run([str(build / "bench/quelvo-scan/quelvo_scan_bench_targets"), str(folder)],
                      check=True, capture_output=True, text=True).stdout.split()
usrclass, hive100 = (pathlib.Path(p) for p in made)
sandbox = folder / "sandbox-prefix"
subprocess.run([str(root / "scripts/make-sandbox-prefix"), str(sandbox)], check=True)
print(f"{'':<58} {'quelvo-scan':>10} {'reference':>10}  ratio")

for name, target_folder in (("offline installation, real Windows 10 classes hive (dirty)", usrclass),
                            ("offline installation, generated 100 MB hive", hive100)):
    software = target_folder / "Windows/System32/config/SOFTWARE"
    pair(f"{name} / hivexml",
         ([str(scan), "--target", str(target_folder), "--format", "json"], None, (0, 1)),
         (["hivexml", str(software)], None, (0,)), 0.5)

subprocess.run(["wineserver", "-p"], env=dict(wine_env, WINEPREFIX=str(sandbox)), check=True)
try:
    pair("Wine prefix (sandbox) / wine reg query HKLM\\Software\\Classes /s",
         ([str(scan), "--target", str(sandbox), "--format", "json"], None, (0, 1)),
         (["wine", "reg", "query", "HKLM\\Software\\Classes", "/s"], dict(wine_env, WINEPREFIX=str(sandbox)), (0,)),
         0.2)
finally:
    subprocess.run(["wineserver", "-k"], env=dict(wine_env, WINEPREFIX=str(sandbox)))

fleet = folder / "fleet"
subprocess.run([str(build / "tests/deploy/ansible/make_fleet"), str(fleet), str(sandbox)], check=True,
               capture_output=True)
ansible_env = dict(os.environ, ANSIBLE_NOCOLOR="1", ANSIBLE_LOCAL_TEMP=str(fleet / "ansible-tmp"),
                   ANSIBLE_HOME=str(fleet / "ansible-home"))
playbook = ["ansible-playbook", "-i", str(fleet / "inventory.yml"), str(root / "deploy/ansible/quelvo-scan.yml"),
            "-f", "8", "-e", f"quelvo_report_dir={fleet / 'reports'}"]
pair("playbook over 20 hosts / the same running `true`",
     (playbook + ["-e", f"quelvo_scan_command={scan}"], ansible_env, (0,)),
     (playbook + ["-e", "quelvo_scan_command=true"], ansible_env, (0,)), 1.5, n=max(3, rounds // 2))
print(f"load average after the run: {os.getloadavg()[0]:.1f} on {os.cpu_count()} processors")
