#!/usr/bin/env python3
"""A line in continuous production with crashes of its stations and of its ledger.

Starts a PostgreSQL server of its own, creates the line's ledger in it with the `ledger` command, and runs N
stations: each the real tool offscreen in continuous production, in an application directory of its own (a copy
of the executable, its own bench of simulated handsets, the same cfg/ImeiSN.ini sources and a cfg/line.ini that
names the ledger and shares the counters). Whenever a station has written a handset the next one goes on. At
random moments a station is killed with SIGKILL and started again, and the database is stopped as if it
crashed (pg_ctl -m immediate) and started again. Then it checks every handset written and the ledger:

  duplicate    an identity found on two handsets
  unledgered   an identity on a handset that the ledger does not hold, or holds for another station
  unexplained  a ledger entry that no handset and no crash explains: a written set not on a handset of its
               station, or a set only claimed whose cycle was neither killed nor refused (no kill of its
               station and no restart of the database between its claim and the station's next claim)
  outside      a default IMEI or Bluetooth address outside the blocks its station took of the shared counter

With --standby the ledger is a primary and a standby with synchronous replication, both named in the stations'
connection string (target_session_attrs=read-write). Instead of restarting the database it fails over, again
and again: the standby stops hearing from the primary for --wal-stall seconds (the primary's WAL sender is
stopped, as on a stalled link), the primary is killed (pg_ctl -m immediate), the standby promoted (pg_ctl
promote), and a few seconds later the old primary is wiped and copied from the new one (pg_basebackup -R) as
its standby; the next failover waits until that standby streams. The checks run on the last primary (a set
only claimed is explained by a failover from its stall until its new standby streams, as by a crash), and add:

  lost_claims  an identity on a handset that the surviving ledger does not hold: a station writes a handset
               only once the ledger acknowledged the set's claim, so the failover lost an acknowledged claim

With --view the line view is checked against what the trial wrote, once the stations are stopped: `ledger serve`
runs as a reader of the ledger, its API and its page (in headless chromium) must show each station's sets written
in the last hour and its first-pass yield, the shift's sets, and what is left of each shared counter, as the
ledger's own rows give them:

  view_mismatch  a figure of the API or the page that differs from the ledger's rows

With --async the replication is asynchronous (synchronous_standby_names empty): the primary acknowledges the
claims made while the standby hears nothing, the failover loses them, and lost_claims (with duplicate and
unledgered) shows it.

    tests/line_kill_trials.py [--stations 8] [--handsets 30] [--minutes 20] [--build DIR] [--seed S] [--keep]
                              [--standby [--async] [--wal-stall 2]] [--view]

Exit code 0 when none was found.
"""
import argparse
import atexit
import glob
import json
import os
import pwd
import random
import re
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time
import urllib.request

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE = os.path.dirname(HERE)
PG_BIN = os.environ.get("DOVERARIZ_PG_BINDIR", "/usr/lib/postgresql/15/bin")
KINDS = {"imei": 1, "mbsn": 2, "psn": 4, "bt": 8}
OWNER = "line_owner"
LEFT_RUNNING = []  # servers and stations to stop when the trial ends early (sys.exit, SIGTERM)


def stop_left_running():
    for thing in reversed(LEFT_RUNNING):
        thing.halt()


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


class Server:
    """A PostgreSQL cluster in the work directory, run as postgres (or nobody) when this runs as root.

    `settings` are server settings of every start (-c name=value); a standby is made by copying a running
    primary (pg_basebackup -R), which leaves it following that primary."""

    def __init__(self, work, name="pg", settings=(), primary=None):
        self.dir = os.path.join(work, name)
        os.makedirs(self.dir)
        self.data = os.path.join(self.dir, "data")
        self.log = os.path.join(self.dir, "server.log")
        self.port = free_port()
        self.settings = list(settings)
        self.prefix = []
        if os.geteuid() == 0:
            for name in ("postgres", "nobody"):
                try:
                    user = pwd.getpwnam(name)
                except KeyError:
                    continue
                os.chown(self.dir, user.pw_uid, user.pw_gid)
                os.chmod(work, 0o755)
                self.prefix = ["runuser", "-u", name, "--"]
                break
        if primary:
            self.copy_of(primary)
        else:
            self.tool("initdb", "-D", self.data, "-U", OWNER, "-A", "trust", "-E", "UTF8", "--locale=C", "--no-sync",
                      "--no-instructions")

    def tool(self, name, *args, check=True):
        r = subprocess.run(self.prefix + [os.path.join(PG_BIN, name)] + list(args), capture_output=True, text=True)
        if check and r.returncode != 0:
            sys.exit("%s failed: %s%s" % (name, r.stderr, r.stdout))
        return r

    def start(self):
        options = ("-p %d -c listen_addresses='' -c unix_socket_directories='%s' -c fsync=off "
                   "-c full_page_writes=off -c max_connections=100 -c shared_buffers=64MB" % (self.port, self.dir))
        options += "".join(" -c %s" % setting for setting in self.settings)
        self.tool("pg_ctl", "-D", self.data, "-l", self.log, "-w", "-t", "60", "-o", options, "start")
        if self not in LEFT_RUNNING:
            LEFT_RUNNING.append(self)

    def halt(self):
        self.tool("pg_ctl", "-D", self.data, "-m", "immediate", "stop", check=False)

    def crash(self):
        self.tool("pg_ctl", "-D", self.data, "-m", "immediate", "-w", "stop", check=False)

    def stop(self):
        self.tool("pg_ctl", "-D", self.data, "-m", "fast", "-w", "stop", check=False)

    def copy_of(self, primary):
        """Makes this cluster anew as a standby of `primary` (which runs): its files and a standby.signal."""
        shutil.rmtree(self.data, ignore_errors=True)
        self.tool("pg_basebackup", "-D", self.data, "-h", primary.dir, "-p", str(primary.port), "-U", OWNER, "-R",
                  "-X", "stream", "-c", "fast", "--no-sync")

    def promote(self):
        self.tool("pg_ctl", "-D", self.data, "-w", "-t", "60", "promote")

    def conn(self, user, db="line"):
        return "host=%s port=%d dbname=%s user=%s" % (self.dir, self.port, db, user)

    def query(self, sql, check=True, db="line"):
        r = subprocess.run([os.path.join(PG_BIN, "psql"), "-X", "-A", "-t", "-F", "|", "-v", "ON_ERROR_STOP=1", "-c",
                            sql, self.conn(OWNER, db)], capture_output=True, text=True)
        if r.returncode != 0:
            if check:
                sys.exit("psql failed: %s" % r.stderr)
            return None
        return [line.split("|") for line in r.stdout.splitlines() if line]


def pair_conn(servers, user, db="line"):
    """One connection string naming both servers: libpq tries them in turn and keeps the one that takes writes."""
    return ("host=%s port=%s dbname=%s user=%s target_session_attrs=read-write"
            % (",".join(s.dir for s in servers), ",".join(str(s.port) for s in servers), db, user))


class Pair:
    """A primary and its standby that trade places: the primary is killed (pg_ctl -m immediate), the standby
    promoted (pg_ctl promote), and the old primary's cluster made anew as the new primary's standby."""

    def __init__(self, work, synchronous):
        # A claim is acknowledged once the standby has it on disk: any standby, synchronous_commit on. With the
        # empty list the primary acknowledges alone (asynchronous replication).
        settings = ["synchronous_standby_names='%s'" % ("*" if synchronous else ""), "synchronous_commit=on",
                    "wal_keep_size=256MB"]
        self.primary = Server(work, "pg-a", settings)
        self.standby = None
        self.settings = settings
        self.work = work
        self.servers = [self.primary]

    def add_standby(self):
        if self.standby is None:
            self.standby = Server(self.work, "pg-b", self.settings, primary=self.primary)
            self.servers.append(self.standby)
        else:
            self.standby.copy_of(self.primary)
        self.standby.start()

    def streaming(self):
        """Whether the standby streams from the primary and has caught up with it."""
        rows = self.primary.query("SELECT count(*) FROM pg_stat_replication WHERE state = 'streaming' AND "
                                  "replay_lsn = pg_current_wal_lsn()", check=False, db="postgres")
        return bool(rows) and rows[0][0] != "0"

    def walsenders(self):
        rows = self.primary.query("SELECT pid FROM pg_stat_replication", check=False, db="postgres") or []
        return [int(r[0]) for r in rows]

    def claim_since(self, last):
        """Whether a claim committed after set `last`: one the primary shows, or one waiting for the standby."""
        rows = self.primary.query("SELECT (SELECT coalesce(max(id), 0) FROM ledger.cycles) > %d OR EXISTS (SELECT 1 "
                                  "FROM pg_stat_activity WHERE wait_event = 'SyncRep')" % last, check=False)
        return bool(rows) and rows[0][0] == "t"

    def fail_over(self, stall):
        """The standby stops hearing from the primary (its WAL sender is stopped) for `stall` seconds and until a
        claim has committed meanwhile (10 s more at most), then the primary dies and the standby takes over."""
        last = int((self.primary.query("SELECT coalesce(max(id), 0) FROM ledger.cycles", check=False) or [["0"]])[0][0])
        senders = self.walsenders()
        for pid in senders:
            os.kill(pid, signal.SIGSTOP)
        stalled = time.time()
        time.sleep(stall)
        # Synchronous, the claim waits for the standby and its station is never told; asynchronous, it is told.
        while time.time() < stalled + stall + 10 and not self.claim_since(last):
            time.sleep(0.1)
        # What the sender still held never reaches the standby: as if the link and the primary went down together.
        for pid in senders:
            os.kill(pid, signal.SIGKILL)
        self.primary.crash()
        self.standby.promote()
        self.primary, self.standby = self.standby, self.primary

    def conn(self, user, db="line"):
        return pair_conn(self.servers, user, db)


class Station:
    def __init__(self, n, work, runtime, server, block, env):
        self.name = "LINE-%02d" % n
        self.role = "station%02d" % n
        self.app = os.path.join(work, self.name)
        os.makedirs(os.path.join(self.app, "cfg"))
        shutil.copy2(os.path.join(runtime, "doverariz"), self.app)
        # The device backends are modules beside the executable.
        for module in glob.glob(os.path.join(runtime, "tgtlink-*.so")):
            os.symlink(module, os.path.join(self.app, os.path.basename(module)))
        os.symlink(os.path.join(runtime, "ramrun"), os.path.join(self.app, "ramrun"))
        shutil.copy2(os.path.join(runtime, "stations.txt"), self.app)
        with open(os.path.join(self.app, "cfg", "ImeiSN.ini"), "w") as f:
            f.write(station_ini())
        with open(os.path.join(self.app, "cfg", "line.ini"), "w") as f:
            f.write("[Ledger]\nConnection=%s connect_timeout=3\nStation=%s\nSharedCounters=true\nCounterBlock=%d\n"
                    % (server.conn(self.role), self.name, block))
        self.env = dict(env)
        # The single-instance lock lives in the temporary directory: one of its own per station.
        os.makedirs(os.path.join(self.app, "tmp"))
        self.env.update({"TGTLINK_BENCH": os.path.join(work, "bench-" + self.name),
                         "TGTLINK_STATIONS": os.path.join(self.app, "stations.txt"),
                         "TMPDIR": os.path.join(self.app, "tmp")})
        self.proc = None
        self.written = []  # the identities of each handset taken off, with the time it was taken off
        self.kills = []
        self.last_written = time.time()
        self.handset(["plug", "USB1", "--station", "CALIBRATION=pass"])

    def handset(self, args, check=True):
        r = subprocess.run([self.handset_exe] + args, env=self.env, capture_output=True, text=True)
        if check and r.returncode != 0:
            sys.exit("%s: handset %s failed: %s" % (self.name, " ".join(args), r.stderr))
        return r

    def start(self):
        self.proc = subprocess.Popen([os.path.join(self.app, "doverariz")], env=self.env, cwd=self.app,
                                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        if self not in LEFT_RUNNING:
            LEFT_RUNNING.append(self)

    def halt(self):
        if self.proc and self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait()

    def kill(self):
        self.proc.send_signal(signal.SIGKILL)
        self.proc.wait()
        self.kills.append(time.time())
        self.last_written = time.time()

    def take_off_if_written(self, gap):
        r = self.handset(["show", "USB1", "--json"], check=False)
        h = json.loads(r.stdout) if r.returncode == 0 else None
        f = (h or {}).get("factoryData") or {}
        values = [("imei", v) for v in f.get("imeis", []) if v]
        values += [(k, f.get(k, "")) for k in ("mbsn", "psn", "bt") if f.get(k, "")]
        if not values:
            return False
        self.written.append(values)
        self.last_written = time.time()
        self.handset(["swap", "USB1", "--gap", str(gap)])
        return True


def station_ini():
    # The demo station, with the advancing counters as sources: two default IMEIs and a Bluetooth range.
    with open(os.path.join(SOURCE, "scripts", "demo-ImeiSN.ini")) as f:
        ini = f.read()
    for old, new in (("StartDelay=1000", "StartDelay=0"),
                     ("Imei1InputType=4", "Imei1InputType=1"), ("Imei2InputType=4", "Imei2InputType=1"),
                     ("Imei3InputType=4", "Imei3InputType=0"), ("Imei4InputType=4", "Imei4InputType=0")):
        assert old in ini, old
        ini = ini.replace(old, new)
    return ini + "ImeiDefaultValue=356938035600000\nlanguage=English\n"


def check_view(ledger, conn, server, work):
    """The line view's API and page against the ledger's rows; the number of figures that differ."""
    run = lambda *a: subprocess.run([ledger, "--connection", conn(OWNER)] + list(a), capture_output=True,
                                    text=True, check=True).stdout
    run("add-reader", "line_view")
    token = run("token", "add", "screen").strip()
    # The shift began an hour ago and ends in four, as TestLineView's.
    now = time.localtime()
    starts = ",".join(time.strftime("%H:%M", time.localtime(time.time() + d)) for d in (-3600, 4 * 3600))
    serve = subprocess.Popen([ledger, "--connection", conn("line_view"), "serve", "--listen", "127.0.0.1:0",
                              "--shifts", starts], stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    try:
        line = serve.stdout.readline()
        if "Serving the line view on " not in line:
            print("view_mismatch: ledger serve did not start: %s%s" % (line, serve.stderr.read()))
            return 1
        base = line.split(" on ", 1)[1].strip().rstrip("/")
        request = urllib.request.Request(base + "/api/line", headers={"Authorization": "Bearer " + token})
        figures = json.load(urllib.request.urlopen(request, timeout=30))
        chromium = shutil.which("chromium")
        dom = subprocess.run([chromium, "--headless=new", "--no-sandbox", "--disable-gpu", "--no-first-run",
                              "--user-data-dir=" + os.path.join(work, "chromium"), "--virtual-time-budget=10000",
                              "--dump-dom", base + "/?lang=en#token=" + token],
                             capture_output=True, text=True, timeout=120).stdout
    finally:
        serve.kill()
        serve.wait()

    # What the ledger's rows say, at the API's instant: a claim open for three minutes is a failed attempt.
    at = figures["generatedAt"]
    day = time.strftime("%Y-%m-%dT00:00:00%z", now)
    rows = server.query(
        "SELECT station, count(*) FILTER (WHERE written_at >= '{at}'::timestamptz - interval '1 hour'), "
        "count(*) FILTER (WHERE claimed_at >= '{day}' AND state = 'written'), "
        "count(*) FILTER (WHERE claimed_at >= '{day}' AND (state = 'written' OR "
        "claimed_at < '{at}'::timestamptz - interval '3 minutes')) "
        "FROM ledger.cycles WHERE NOT imported GROUP BY station ORDER BY station".format(at=at, day=day))
    expected = {station: (int(hour), int(today), int(attempts)) for station, hour, today, attempts in rows}
    counters = {name: int(left) for name, left in server.query(
        "SELECT k.name, greatest(0, k.last_value - greatest(k.next_value - 1, coalesce(max(b.last_value), "
        "k.next_value - 1))) FROM ledger.counters k LEFT JOIN ledger.counter_blocks b ON b.counter = k.name "
        "GROUP BY k.name, k.next_value, k.last_value")}
    mismatches = []
    shown = {s["station"]: s for s in figures["stations"]}
    for station, (hour, today, attempts) in expected.items():
        s = shown.get(station, {})
        fpy = today / attempts if attempts else None
        if s.get("writtenLastHour") != hour or (fpy is None) != (s.get("firstPassYield") is None) or (
                fpy is not None and abs(s["firstPassYield"] - fpy) > 1e-9):
            mismatches.append("API %s: %s, the ledger %d written of %d" % (station, s, hour, attempts))
        cell = re.search(r'data-station="%s".*?class="number hour">(\d+)<.*?class="number yield[^"]*">([^<]*)<'
                         % re.escape(station), dom)
        page_fpy = "%.1f %%" % (fpy * 100) if fpy is not None else "\u2014"
        if not cell or int(cell.group(1)) != hour or cell.group(2) != page_fpy:
            mismatches.append("page %s: %s, the ledger %d written, %s" % (station, cell and cell.groups(), hour,
                                                                          page_fpy))
    shift = sum(b["sets"] for b in figures["throughput"]["buckets"])
    bars = sum(int(n) for n in re.findall(r'class="bar"[^>]*data-sets="(\d+)"', dom))
    written = sum(hour for hour, _, _ in expected.values())
    if shift != written or bars != written:
        mismatches.append("shift: API %d, page %d, the ledger %d" % (shift, bars, written))
    for r in figures["ranges"]:
        cell = re.search(r'data-range="%s".*?class="number left[^"]*">(\d+)<' % re.escape(r["name"]), dom)
        if r["left"] != counters.get(r["name"]) or not cell or int(cell.group(1)) != r["left"]:
            mismatches.append("counter %s: API %d, page %s, the ledger %s" % (r["name"], r["left"],
                                                                             cell and cell.group(1),
                                                                             counters.get(r["name"])))
    if len(figures["ranges"]) != len(counters):
        mismatches.append("counters: API %d, the ledger %d" % (len(figures["ranges"]), len(counters)))
    for m in mismatches:
        print("view_mismatch: " + m)
    print("view_checked: %d stations, %d sets this shift, %d counters" % (len(expected), written, len(counters)))
    return len(mismatches)


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--stations", type=int, default=8)
    parser.add_argument("--handsets", type=int, default=30, help="handsets to write per station")
    parser.add_argument("--minutes", type=float, default=20, help="stop after this long in any case")
    parser.add_argument("--block", type=int, default=10, help="CounterBlock of the stations")
    parser.add_argument("--kill-every", type=float, default=3.0, help="mean seconds between station kills")
    parser.add_argument("--crash-every", type=float, default=20.0, help="mean seconds between database crashes")
    parser.add_argument("--stall", type=float, default=15.0,
                        help="restart a station that wrote nothing for this many seconds")
    parser.add_argument("--build", default=os.path.join(SOURCE, "build"))
    parser.add_argument("--seed", type=int, default=None)
    parser.add_argument("--keep", action="store_true", help="keep the work directory")
    parser.add_argument("--standby", action="store_true",
                        help="a primary and a synchronous standby: every --crash-every seconds the primary is killed "
                             "and the standby takes over; the old primary is made the new standby")
    parser.add_argument("--async", dest="asynchronous", action="store_true",
                        help="with --standby: replication left asynchronous, to show the claims it loses")
    parser.add_argument("--view", action="store_true",
                        help="then check the line view's API and page (headless chromium) against the ledger")
    parser.add_argument("--wal-stall", type=float, default=2.0,
                        help="with --standby: seconds the standby hears nothing before the primary is killed")
    args = parser.parse_args()
    if args.asynchronous:
        args.standby = True
    if args.view and not shutil.which("chromium"):
        print("chromium is not installed (scripts/install-deps.sh test)")
        return 1 if os.environ.get("DOVERARIZ_REQUIRE_POSTGRESQL") else 77
    tools = ["initdb", "pg_ctl", "postgres"] + (["pg_basebackup"] if args.standby else [])
    missing = [t for t in tools if not os.access(os.path.join(PG_BIN, t), os.X_OK)]
    if missing:
        # As the ledger's tests: a skip where the server is not installed, a failure where it is required.
        print("PostgreSQL server binaries missing in %s: %s" % (PG_BIN, " ".join(missing)))
        return 1 if os.environ.get("DOVERARIZ_REQUIRE_POSTGRESQL") else 77
    rng = random.Random(args.seed)
    # Absolute: the links made to it hold it as it is written.
    runtime = os.path.abspath(os.path.join(args.build, "bin"))
    work = tempfile.mkdtemp(prefix="line-kill-")

    if args.standby:
        pair = Pair(work, not args.asynchronous)
        pair.primary.start()
        pair.add_standby()
        waited = time.time()
        while not pair.streaming():
            if time.time() > waited + 60:
                sys.exit("the standby did not stream within 60 s")
            time.sleep(0.2)
        server = pair.primary
        ledger_conn = pair
    else:
        pair = None
        server = Server(work)
        server.start()
        ledger_conn = server
    r = subprocess.run([os.path.join(PG_BIN, "createdb"), "-h", server.dir, "-p", str(server.port), "-U", OWNER,
                        "line"], capture_output=True, text=True)
    if r.returncode != 0:
        sys.exit("createdb failed: " + r.stderr)
    ledger = os.path.join(runtime, "ledger")

    def run_ledger(*a):
        r = subprocess.run([ledger, "--connection", ledger_conn.conn(OWNER)] + list(a), capture_output=True, text=True)
        if r.returncode != 0:
            sys.exit("ledger %s failed: %s%s" % (" ".join(a), r.stderr, r.stdout))

    run_ledger("create-schema")
    # The shared counters of the demo station, added by the owner before the stations share them.
    run_ledger("add-counter", "--imei-tac", "35693803", "--first", "35693803560000", "--block", str(args.block))
    run_ledger("add-counter", "--bt-range", "002715082c32-020203040508", "--block", str(args.block))
    env = dict(os.environ)
    env.update({
        # Short library calls, so that kills land in every part of a cycle (the worker's fixed pauses stay).
        "TGTLINK_DELAY_SCALE": "0.05",
        "QT_QPA_PLATFORM": "offscreen",
        "DOVERARIZ_EXIT_AFTER_MS": "3600000",
        "DOVERARIZ_WRITE_ON_PORT": "1",
    })
    Station.handset_exe = os.path.join(runtime, "handset")
    stations = []
    for n in range(1, args.stations + 1):
        run_ledger("add-station", "station%02d" % n, "--station", "LINE-%02d" % n)
        stations.append(Station(n, work, runtime, ledger_conn, args.block, env))

    crashes = []  # (stopped, started) times of the database; with a standby, (stalled, standby back) of failovers
    rebuild_at = None  # when the old primary is made the new standby
    rebuilt = False  # the new standby runs and has yet to catch up
    trials = 0
    stall_restarts = 0
    for st in stations:
        st.start()
    started = time.time()
    deadline = started + args.minutes * 60
    next_kill = started + rng.expovariate(1 / args.kill_every)
    next_crash = started + rng.expovariate(1 / args.crash_every)
    last_report = started
    while time.time() < deadline and any(len(st.written) < args.handsets for st in stations):
        for st in stations:
            st.take_off_if_written(400)
        now = time.time()
        if now >= next_kill:
            st = rng.choice(stations)
            st.kill()
            st.take_off_if_written(0)
            st.start()
            trials += 1
            next_kill = now + rng.expovariate(1 / args.kill_every)
        for st in stations:
            # A cycle refused while the ledger was down ends continuous production, until the operator
            # presses Write again: here a restart does.
            if now - st.last_written > args.stall:
                st.kill()
                st.kills.pop()
                st.take_off_if_written(0)
                st.start()
                stall_restarts += 1
        if pair and rebuild_at is not None and now >= rebuild_at:
            # Until then the primary has no standby: synchronous commits wait, and stations refuse.
            pair.add_standby()
            rebuild_at = None
            rebuilt = True
        if pair and rebuilt and pair.streaming():
            crashes[-1] = (crashes[-1][0], time.time())
            rebuilt = False
        if pair and now >= next_crash and crashes and crashes[-1][1] is None:
            pass  # the last failover is not over: the next one waits for the standby
        elif pair and now >= next_crash:
            stalled = time.time()
            pair.fail_over(args.wal_stall)
            crashes.append((stalled, None))
            rebuild_at = time.time() + rng.uniform(1.0, 6.0)
            # Counted from this failover, so that they come every --crash-every seconds on average where the
            # standby is back in time.
            next_crash = stalled + rng.expovariate(1 / args.crash_every)
        elif now >= next_crash:
            stopped = time.time()
            server.crash()
            time.sleep(rng.uniform(0.2, 3.0))
            server.start()
            crashes.append((stopped, time.time()))
            next_crash = time.time() + rng.expovariate(1 / args.crash_every)
        if now - last_report > 30:
            last_report = now
            print("progress: %ds, %d handsets, %d kills, %d database crashes or failovers"
                  % (now - started, sum(len(s.written) for s in stations), trials, len(crashes)), flush=True)
        time.sleep(0.1)
    for st in stations:
        st.kill()
        st.take_off_if_written(0)
    end = time.time()
    if pair:
        server = pair.primary
        crashes = [(stopped, started or end) for stopped, started in crashes]

    # What the ledger holds: the sets with their station and state, the identities, the blocks.
    cycles = {}
    for cid, station, state, claimed in server.query(
            "SELECT id, station, state, extract(epoch FROM claimed_at) FROM ledger.cycles WHERE NOT imported"):
        cycles[int(cid)] = (station, state, float(claimed))
    held = {}
    for kind, value, cid in server.query("SELECT kind, value, cycle_id FROM ledger.identities"):
        held[(int(kind), value)] = int(cid)
    blocks = {}
    for counter, first, last, station in server.query(
            "SELECT counter, first_value, last_value, station FROM ledger.counter_blocks"):
        blocks.setdefault(station, []).append((counter, int(first), int(last)))
    view_mismatches = check_view(ledger, ledger_conn.conn, server, work) if args.view else 0
    for s in pair.servers if pair else [server]:
        s.stop()

    seen = {}
    duplicates = unledgered = outside = lost_claims = 0
    on_handsets = set()  # cycles whose identities are on a handset
    for st in stations:
        for n, values in enumerate(st.written):
            for kind, value in values:
                key = (KINDS[kind], value)
                if key in seen and seen[key] != (st.name, n):
                    duplicates += 1
                    print("duplicate: %s %s on %s #%d and %s #%d" % (kind, value, *seen[key], st.name, n))
                seen[key] = (st.name, n)
                cid = held.get(key)
                if cid is None:
                    # The station wrote the handset only once the ledger had acknowledged its claim.
                    lost_claims += 1
                    print("lost claim: %s %s on %s #%d is not in the surviving ledger" % (kind, value, st.name, n))
                if cid is None or cycles.get(cid, ("",))[0] != st.name:
                    unledgered += 1
                    print("unledgered: %s %s on %s #%d" % (kind, value, st.name, n))
                    continue
                on_handsets.add(cid)
                if kind == "imei":
                    number, counter = int(value[:14]), "DefaultIMEI:" + value[:8]
                elif kind == "bt":
                    number, counter = int(value, 16), "BT:"
                else:
                    continue
                if not any(c.startswith(counter) and first <= number <= last
                           for c, first, last in blocks.get(st.name, [])):
                    outside += 1
                    print("outside: %s %s on %s #%d" % (kind, value, st.name, n))

    claims = {}
    for cid, (station, state, claimed) in cycles.items():
        claims.setdefault(station, []).append(claimed)
    for times in claims.values():
        times.sort()
    unexplained = claimed_only = killed = refused = unsaved_marks = 0
    for cid, (station, state, claimed) in sorted(cycles.items()):
        if state == "written":
            if cid not in on_handsets:
                unexplained += 1
                print("unexplained: set %d of %s is written but on no handset" % (cid, station))
            continue
        claimed_only += 1
        later = [t for t in claims[station] if t > claimed]
        until = later[0] if later else end
        st = next(s for s in stations if s.name == station)
        if any(claimed - 1 <= k <= until for k in st.kills):
            killed += 1
        elif any(stopped >= claimed - 1 and stopped <= until for stopped, _ in crashes):
            refused += 1
        elif pair and any(stopped <= until and back >= claimed - 1 for stopped, back in crashes):
            # A mark or a claim whose answer was lost while the primary died or had no standby yet.
            refused += 1
        else:
            unexplained += 1
            print("unexplained: set %d of %s is only claimed, and neither a kill nor a crash followed" % (cid, station))
        if cid in on_handsets:
            unsaved_marks += 1

    print("stations: %d" % len(stations))
    print("trials: %d" % trials)
    print("database_crashes: %d" % (0 if pair else len(crashes)))
    if pair:
        print("failovers: %d (%s replication)" % (len(crashes), "asynchronous" if args.asynchronous else "synchronous"))
    print("stall_restarts: %d" % stall_restarts)
    print("seconds: %d" % (end - started))
    print("handsets_written: %d" % sum(len(s.written) for s in stations))
    print("handsets_per_station: %s" % " ".join(str(len(s.written)) for s in stations))
    print("identities_checked: %d" % len(seen))
    print("ledger_sets: %d" % len(cycles))
    print("claimed_only: %d (killed %d, refused %d; on a handset, mark lost: %d)"
          % (claimed_only, killed, refused, unsaved_marks))
    print("counter_blocks: %d" % sum(len(b) for b in blocks.values()))
    print("duplicate: %d" % duplicates)
    print("unledgered: %d" % unledgered)
    print("unexplained: %d" % unexplained)
    print("outside: %d" % outside)
    if pair:
        print("lost_claims: %d" % lost_claims)
    if args.keep:
        print("work: %s" % work)
    else:
        shutil.rmtree(work, ignore_errors=True)
    return 0 if duplicates == unledgered == unexplained == outside == lost_claims == view_mismatches == 0 else 1


if __name__ == "__main__":
    atexit.register(stop_left_running)
    signal.signal(signal.SIGTERM, lambda *_: sys.exit("stopped by SIGTERM"))
    sys.exit(main())
