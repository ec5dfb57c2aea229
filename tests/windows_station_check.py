#!/usr/bin/env python3
"""The Windows build as a station meets it, under wine: the tool in a folder of its own with the demo
configuration, a bench handset plugged on USB1 by handset.exe, Write pressed by DOVERARIZ_WRITE_ON_PORT. The
handset must get its identities and the histories must hold them; a second copy started meanwhile must be
refused; ledger.exe and xlscells.exe must start.

Use: windows_station_check.py BUILD_DIR   (scripts/windows.sh sets WINEPREFIX, WINEPATH and QT_PLUGIN_PATH)
"""
import glob
import json
import os
import shutil
import subprocess
import sys
import tempfile
import time

SOURCE = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
WINE = os.environ.get("WINE", "/usr/lib/wine/wine64")


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def main():
    build = sys.argv[1] if len(sys.argv) > 1 else "build-windows"
    runtime = os.path.join(build, "bin")
    work = tempfile.mkdtemp(prefix="windows-check-")
    app = os.path.join(work, "app")
    os.makedirs(os.path.join(app, "cfg"))
    for name in ["doverariz.exe", "stations.txt"] + [os.path.basename(p) for p in
                                                     glob.glob(os.path.join(runtime, "tgtlink-*.dll"))]:
        shutil.copy2(os.path.join(runtime, name), app)
    for folder in ("ramrun", "tr"):
        shutil.copytree(os.path.join(runtime, folder), os.path.join(app, folder))
    with open(os.path.join(SOURCE, "scripts", "demo-ImeiSN.ini")) as f:
        ini = f.read().replace("StartDelay=1000", "StartDelay=0")
    with open(os.path.join(app, "cfg", "ImeiSN.ini"), "w") as f:
        f.write(ini + "language=English\n")

    env = dict(os.environ)
    env.update({
        "TGTLINK_BENCH": windows_path(os.path.join(work, "bench")),
        "TGTLINK_STATIONS": windows_path(os.path.join(app, "stations.txt")),
        "TGTLINK_DELAY_SCALE": "0.05",
        "QT_QPA_PLATFORM": "offscreen",
        "DOVERARIZ_EXIT_AFTER_MS": "600000",
        "DOVERARIZ_WRITE_ON_PORT": "1",
    })

    def run(program, *args, timeout=120):
        return subprocess.run([WINE, program] + list(args), env=env, capture_output=True, text=True,
                              timeout=timeout)

    handset = os.path.join(runtime, "handset.exe")
    failures = []
    r = run(handset, "plug", "USB1", "--station", "CALIBRATION=pass")
    if r.returncode != 0:
        sys.exit("handset plug failed: %s%s" % (r.stdout, r.stderr))

    tool = subprocess.Popen([WINE, os.path.join(app, "doverariz.exe")], env=env, cwd=app,
                            stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
    # A second copy on the same data folder, once the first holds it: refused with the message.
    time.sleep(8)
    second = run(os.path.join(app, "doverariz.exe"), timeout=90)
    second_checked = True
    if second.returncode == 0 or "You have already run an application." not in second.stdout:
        failures.append("a second copy was not refused (exit %d): %s" % (second.returncode, second.stdout.strip()))
    written = None
    deadline = time.monotonic() + 180
    while time.monotonic() < deadline and tool.poll() is None:
        r = run(handset, "show", "USB1", "--json")
        if r.returncode == 0:
            factory = json.loads(r.stdout).get("factoryData") or {}
            if any(factory.get("imeis", [])):
                written = factory
                break
        time.sleep(1)
    tool.kill()
    output = tool.communicate()[0]
    if written is None:
        failures.append("no handset was written within 180 s; the tool said:\n" + output)
    else:
        history = open(os.path.join(app, "cfg", "imei_history.data"), encoding="latin-1").read()
        for imei in filter(None, written.get("imeis", [])):
            if imei not in history:
                failures.append("IMEI %s is on the handset, not in the history" % imei)
        print("written: IMEIs %s, MBSN %s, PSN %s, BT %s" % (
            ",".join(filter(None, written.get("imeis", []))), written.get("mbsn"), written.get("psn"),
            written.get("bt")))
    if not second_checked:
        failures.append("the second copy was never started")

    for program, args in (("ledger.exe", ["--help"]), ("xlscells.exe", [])):
        r = run(os.path.join(runtime, program), *args)
        if "Usage" not in r.stdout + r.stderr and "usage" not in r.stdout + r.stderr:
            failures.append("%s did not start: exit %d %s%s" % (program, r.returncode, r.stdout, r.stderr))

    for failure in failures:
        print("FAILED: " + failure)
    if not failures:
        shutil.rmtree(work, ignore_errors=True)
        print("The Windows build wrote a handset, kept it in its history and refused a second copy.")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
