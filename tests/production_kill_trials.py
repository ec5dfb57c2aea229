#!/usr/bin/env python3
"""Continuous production with crashes.

Runs the real tool offscreen in continuous production (every identity produced by the tool, everything recorded
in the histories), puts the next handset on the bench whenever one is written, kills the tool with SIGKILL at a
random moment, restarts it, and so on. Then checks every handset written and the history files:

  duplicate   an identity found on two handsets
  unrecorded  an identity on a handset that its history does not hold

    tests/production_kill_trials.py [--trials N] [--build DIR] [--seed S] [--keep]

Exit code 0 when neither was found.
"""
import argparse
import glob
import json
import os
import random
import shutil
import signal
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE = os.path.dirname(HERE)


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--trials", type=int, default=100)
    parser.add_argument("--build", default=os.path.join(SOURCE, "build"))
    parser.add_argument("--seed", type=int, default=None)
    parser.add_argument("--keep", action="store_true", help="keep the work directory")
    args = parser.parse_args()
    rng = random.Random(args.seed)

    # Absolute: the links made to it below hold it as it is written.
    runtime = os.path.abspath(os.path.join(args.build, "bin"))
    work = tempfile.mkdtemp(prefix="production-kill-")
    app = os.path.join(work, "app")
    os.makedirs(os.path.join(app, "cfg"))
    # The tool finds cfg/ and ramrun/ beside its executable: a copy of it in a directory of its own.
    shutil.copy2(os.path.join(runtime, "doverariz"), app)
    # The device backends are modules beside the executable.
    for module in glob.glob(os.path.join(runtime, "tgtlink-*.so")):
        os.symlink(module, os.path.join(app, os.path.basename(module)))
    os.symlink(os.path.join(runtime, "ramrun"), os.path.join(app, "ramrun"))
    shutil.copy2(os.path.join(runtime, "stations.txt"), app)
    with open(os.path.join(SOURCE, "scripts", "demo-ImeiSN.ini")) as f:
        ini = f.read().replace("StartDelay=1000", "StartDelay=0")
    with open(os.path.join(app, "cfg", "ImeiSN.ini"), "w") as f:
        f.write(ini + "language=English\n")

    env = dict(os.environ)
    env.update({
        "TGTLINK_BENCH": os.path.join(work, "bench"),
        "TGTLINK_STATIONS": os.path.join(app, "stations.txt"),
        # Short library calls, so that kills land in every part of a cycle (the worker's fixed pauses stay).
        "TGTLINK_DELAY_SCALE": "0.05",
        "QT_QPA_PLATFORM": "offscreen",
        "DOVERARIZ_EXIT_AFTER_MS": "3600000",
        "DOVERARIZ_WRITE_ON_PORT": "1",
    })
    handset = [os.path.join(runtime, "handset")]

    def run_handset(*a, check=True):
        r = subprocess.run(handset + list(a), env=env, capture_output=True, text=True)
        if check and r.returncode != 0:
            sys.exit("handset %s failed: %s" % (" ".join(a), r.stderr))
        return r

    def show():
        r = run_handset("show", "USB1", "--json", check=False)
        return json.loads(r.stdout) if r.returncode == 0 else None

    def identities(h):
        f = (h or {}).get("factoryData") or {}
        values = [("imei", v) for v in f.get("imeis", []) if v]
        values += [(k, f.get(k, "")) for k in ("mbsn", "psn", "bt") if f.get(k, "")]
        return values

    written = []  # the identities of each handset taken off the bench

    def take_off_if_written(gap):
        h = show()
        if not identities(h):
            return False
        written.append(identities(h))
        run_handset("swap", "USB1", "--gap", str(gap))
        return True

    run_handset("plug", "USB1", "--station", "CALIBRATION=pass")
    for trial in range(args.trials):
        tool = subprocess.Popen([os.path.join(app, "doverariz")], env=env, cwd=app,
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        deadline = time.monotonic() + rng.uniform(0.3, 4.0)
        while time.monotonic() < deadline:
            # The next handset goes on the fixture once this one is written, as an operator would.
            if not take_off_if_written(400):
                time.sleep(0.03)
        tool.send_signal(signal.SIGKILL)
        tool.wait()
        take_off_if_written(0)
    take_off_if_written(0)

    histories = {}
    for kind in ("imei", "mbsn", "psn", "bt"):
        path = os.path.join(app, "cfg", kind + "_history.data")
        values = set()
        if os.path.exists(path):
            with open(path, encoding="latin-1") as f:
                for line in f:
                    line = line.strip()
                    if not line or line.startswith("#"):
                        continue
                    if kind == "imei":  # date and time, then the set's IMEIs joined by commas
                        values.update(line.split()[-1].split(","))
                    else:
                        values.add(line)
        histories[kind] = values

    seen = {}
    duplicates = unrecorded = 0
    for n, handset_values in enumerate(written):
        for kind, value in handset_values:
            if (kind, value) in seen and seen[(kind, value)] != n:
                duplicates += 1
                print("duplicate: %s %s on handsets %d and %d" % (kind, value, seen[(kind, value)], n))
            seen[(kind, value)] = n
            if value not in histories[kind]:
                unrecorded += 1
                print("unrecorded: %s %s on handset %d" % (kind, value, n))

    print("trials: %d" % args.trials)
    print("handsets_written: %d" % len(written))
    print("identities_checked: %d" % len(seen))
    print("history_imeis: %d" % len(histories["imei"]))
    print("duplicate: %d" % duplicates)
    print("unrecorded: %d" % unrecorded)
    if args.keep:
        print("work: %s" % work)
    else:
        shutil.rmtree(work, ignore_errors=True)
    # A run that wrote nothing proves nothing.
    if not written:
        print("nothing was written")
        return 1
    return 0 if duplicates == 0 and unrecorded == 0 else 1


if __name__ == "__main__":
    sys.exit(main())
