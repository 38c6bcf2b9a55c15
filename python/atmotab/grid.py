"""Run a grid of models with GNU parallel: batches of models on all local cores or on remote
hosts, one atmotab process per model, so that an interrupted grid resumes where it stopped.

  grid.py run OUT INPUT... --edges FILE [--molecules FILE] [--program PATH] [--jobs N]
                           [--batch K] [--sshlogin HOST ...]
  grid.py list OUT INPUT... --edges FILE [--molecules FILE] [--program PATH] [--batch K]
                           (the plan and its batches only, e.g. for Slurm)
  grid.py merge OUT

INPUT: atmotab decks, MARCS models (*.mod, converted when their job runs), folders (their *.deck
and *.mod files in name order) or @FILE (one input per line). The models keep the order of the
inputs. --edges and --molecules (and every other input file of the program) go to each model's
run.

OUT holds grid.list (the plan: one line per model, name and input), grid.settings (program, its
options, the batch job), grid.batches (the model numbers of each batch of the last run or list),
joblog (GNU parallel's job log, one entry per batch) and per model the folder models/NAME (tables
fort.10 and fort.11, listing, stderr, the digest of its input and options) when its run
succeeded, models/NAME.failed when it failed.
A model is done when its folder holds the digest of its present input and program options:
running the same `run` command again runs only the models that are not done, including those
whose deck (or edge list, ...) was edited since, and skips the failed ones unless --retry-failed.
`merge` (done after `run` unless --no-merge) concatenates the table pairs of the done models in
the order of the plan into OUT/grid.fort.10 and OUT/grid.fort.11, and lists their models in
OUT/grid.models; the others are left out and counted.

Remote hosts (--sshlogin, --sshloginfile: GNU parallel's options, passed on) must see OUT, the
inputs, the program and this package at the same paths (a shared file system), and have python3.
SIGTERM, SIGINT or SIGHUP stop the running jobs (GNU parallel's --termseq): finished models stay,
unfinished ones leave nothing.
One grid.py at a time works in a folder (OUT/grid.lock).
Exit status: 0 when every model of the grid is done, 1 when some failed or did not run, 2 on a
usage error, a folder in use or a merge that could not write, 128 + signal when stopped by a signal.
"""
import argparse
import errno
import fcntl
import json
import math
import os
import re
import shlex
import shutil
import signal
import subprocess
import sys
import time

from . import grid_job
from .program import ProgramNotFound, find_program

JOB = os.path.abspath(grid_job.__file__)
# The program's options that name an input file, each passed on to every model's run:
# (option, what it is, required).
PROGRAM_FILES = (("--edges", "edge list (unit 17)", True),
                 ("--molecules", "molecule list (unit 2), for decks with READ MOLECULES", False))
MAX_BATCH = 100


class GridError(Exception):
    pass


def say(text):
    print(f"grid: {text}", file=sys.stderr, flush=True)


def expand_inputs(inputs):
    """Absolute paths of the models, in order."""
    out = []
    for item in inputs:
        if item.startswith("@"):
            try:
                with open(item[1:]) as f:
                    lines = [ln.strip() for ln in f if ln.strip() and not ln.startswith("#")]
            except OSError as e:
                raise GridError(f"cannot read the input list {item[1:]}: {e.strerror}") from None
            base = os.path.dirname(os.path.abspath(item[1:]))
            out += expand_inputs([os.path.join(base, ln) for ln in lines])
        elif os.path.isdir(item):
            names = sorted(n for n in os.listdir(item) if n.endswith((".deck", ".mod")))
            if not names:
                raise GridError(f"folder {item} has no *.deck or *.mod files")
            out += [os.path.abspath(os.path.join(item, n)) for n in names]
        elif os.path.isfile(item):
            out.append(os.path.abspath(item))
        else:
            raise GridError(f"no such file or folder: {item}")
        if any("\t" in p or "\n" in p for p in out):
            raise GridError("input paths must not contain tabs or newlines")
    return out


def model_names(paths):
    """NNNNN-stem per input: unique, in order, safe as a file name."""
    width = max(5, len(str(len(paths))))
    names = []
    for k, p in enumerate(paths, 1):
        stem = os.path.basename(p)
        stem = stem[:-4] if stem.endswith(".mod") else stem[:-5] if stem.endswith(".deck") else stem
        names.append(f"{k:0{width}d}-" + re.sub(r"[^A-Za-z0-9._+-]", "_", stem)[:80])
    return names


def read_plan(out):
    try:
        return grid_job.read_plan(out)
    except OSError:
        raise GridError(f"{out} holds no grid (no grid.list); start it with grid.py run") from None


def read_settings(out):
    try:
        with open(os.path.join(out, "grid.settings")) as f:
            return json.load(f)
    except (OSError, ValueError):
        raise GridError(f"{out} has no readable grid.settings") from None


def job_command(out, settings, python):
    """The batch job of the grid in OUT, without its model numbers (grid_job.py)."""
    cmd = [python, "-S", settings["job"], os.path.abspath(out), settings["program"]]
    for option, path in settings["files"]:
        cmd += [option, path]
    if settings.get("hdf5"):
        cmd += ["--hdf5", grid_job.HDF5_NAME]
    return cmd + ["--"]


def has_hdf5(program):
    """Whether PROGRAM was built with its HDF5 output (its --help says when it was not)."""
    try:
        text = subprocess.run([program, "--help"], capture_output=True, text=True,
                              stdin=subprocess.DEVNULL, timeout=60).stdout
    except (OSError, subprocess.TimeoutExpired):
        return False
    return "--hdf5" in text and "not built in this program" not in text


def make_settings(args):
    try:
        program = find_program(args.program)
    except ProgramNotFound as e:
        raise GridError(str(e)) from None
    files = []
    for option, what, _ in PROGRAM_FILES:
        path = getattr(args, option[2:])
        if path is None:
            continue
        if not os.path.isfile(path):
            raise GridError(f"{option} {path}: no such file (the {what})")
        files.append([option, os.path.abspath(path)])
    # Each model also writes its HDF5 file when the program can, for GRID/grid.h5.
    return {"program": program, "files": files, "job": JOB, "hdf5": has_hdf5(program)}


def plan(out, inputs, settings):
    """Writes OUT/grid.list and OUT/grid.settings, or checks that an existing grid in OUT has the
    same ones. Returns the plan."""
    paths = expand_inputs(inputs)
    if not paths:
        raise GridError("no models given")
    rows = list(zip(model_names(paths), paths))
    list_path, settings_path = os.path.join(out, "grid.list"), os.path.join(out, "grid.settings")
    if os.path.exists(list_path):
        if read_plan(out) != rows:
            raise GridError(f"{out} holds a grid of other inputs (grid.list); give another folder "
                            "or remove it")
        old = read_settings(out)
        if {k: old.get(k) for k in settings} != settings:
            raise GridError(f"{out} holds a grid run with another program or edge list, or other "
                            f"program options ({settings_path}); give another folder or remove it")
        return rows
    os.makedirs(os.path.join(out, "models"), exist_ok=True)
    with open(list_path + ".part", "w") as f:
        f.writelines(f"{name}\t{p}\n" for name, p in rows)
    with open(settings_path, "w") as f:
        json.dump(settings, f, indent=1)
        f.write("\n")
    with open(os.path.join(out, "grid.job"), "w") as f:
        f.write(shlex.join(job_command(out, settings, "python3")) + "\n")
    os.replace(list_path + ".part", list_path)
    return rows


def states(out, rows):
    """Per model of the plan: 'done', 'failed' or None (see grid_job.model_state), for its
    present input and the grid's options; an input that cannot be read counts as not done."""
    settings = read_settings(out)
    shared = grid_job.options_digest(settings["program"], settings["files"])
    models = os.path.join(out, "models")
    result = []
    for name, path in rows:
        try:
            digest = grid_job.model_digest(shared, path)
        except OSError:
            result.append(None)
            continue
        result.append(grid_job.model_state(models, name, digest))
    return result


def batch_size(nmodels, jobs):
    """Models per batch: about two batches per job slot, and at most MAX_BATCH. Each batch costs
    a job of GNU parallel and a start of Python and of the program (about 50 ms of CPU in all);
    more batches than slots let a slot that finishes early take over work; batches of at most
    MAX_BATCH models keep the progress (and the job log) moving on large grids."""
    return max(1, min(MAX_BATCH, math.ceil(nmodels / (2 * max(1, jobs)))))


def write_batches(out, numbers, k):
    """OUT/grid.batches: the model NUMBERS (from 1) in lines of K; returns the number of lines."""
    lines = [" ".join(map(str, numbers[i:i + k])) for i in range(0, len(numbers), k)]
    with open(os.path.join(out, "grid.batches.part"), "w") as f:
        f.writelines(ln + "\n" for ln in lines)
    os.replace(os.path.join(out, "grid.batches.part"), os.path.join(out, "grid.batches"))
    return len(lines)


def job_slots(args):
    """The number of jobs that run at once, for choosing the batch size."""
    hosts = list(args.sshlogin or [])
    if hosts:
        counts = [int(h.split("/", 1)[0]) if re.match(r"^\d+/", h) else (args.jobs or os.cpu_count())
                  for h in hosts]
        return sum(int(c) for c in counts)
    return int(args.jobs) if args.jobs and str(args.jobs).isdigit() else (os.cpu_count() or 1)


def lock_grid(out):
    """Takes the grid folder OUT for this run, list or merge (an exclusive lock of OUT/grid.lock,
    held while the returned file is open): two of them at once in one folder would take each
    other's models in progress for leftovers of a killed job, and write the same merged files."""
    try:
        os.makedirs(out, exist_ok=True)
        f = open(os.path.join(out, "grid.lock"), "a")
    except OSError as e:
        raise GridError(f"cannot use {out} as a grid folder: {e.strerror or e}") from None
    try:
        fcntl.flock(f, fcntl.LOCK_EX | fcntl.LOCK_NB)
    except BlockingIOError:
        f.close()
        raise GridError(f"{out} is in use by another grid.py (run, list or merge); run this when it "
                        "has ended") from None
    except OSError as e:
        if e.errno not in (errno.ENOSYS, errno.EOPNOTSUPP, errno.ENOLCK):  # a file system without
            f.close()                                                      # locks: on without one
            raise GridError(f"cannot lock {f.name}: {e.strerror}") from None
    return f


def remove_leftovers(out):
    """Folders of models whose job was killed (models/.NAME.PID, NAME.old.PID): never a result."""
    models = os.path.join(out, "models")
    for entry in os.listdir(models):
        if entry.startswith(".") or ".old." in entry:
            shutil.rmtree(os.path.join(models, entry), ignore_errors=True)


class Stop:
    """SIGTERM, SIGINT and SIGHUP while GNU parallel runs: each is passed on to it as SIGTERM, on
    which it stops its jobs with its --termseq (TERM, and KILL when they do not end) and exits."""

    def __init__(self):
        self.signum = 0
        self.proc = None
        self.saved = {}

    def __enter__(self):
        for s in grid_job.STOP_SIGNALS:
            self.saved[s] = signal.signal(s, self.on_signal)
        return self

    def __exit__(self, *exc):
        for s, h in self.saved.items():
            signal.signal(s, h)

    def on_signal(self, signum, _frame):
        self.signum = self.signum or signum
        if self.proc is not None and self.proc.poll() is None:
            self.proc.send_signal(signal.SIGTERM)

    def wait(self):
        # GNU parallel ignores SIGTERM until its first job started: pass it on until it ends.
        while True:
            try:
                return self.proc.wait(timeout=1.0 if self.signum else None)
            except subprocess.TimeoutExpired:
                self.proc.send_signal(signal.SIGTERM)


def stray_jobs(out, job):
    """Pids of batch jobs of the grid in OUT still running (Linux /proc): GNU parallel that is
    stopped as it starts a job can leave that job behind."""
    pids = []
    grid = os.path.abspath(out)
    for entry in os.listdir("/proc") if os.path.isdir("/proc") else []:
        if not entry.isdigit() or int(entry) == os.getpid():
            continue
        try:
            with open(f"/proc/{entry}/cmdline", "rb") as f:
                argv = f.read().split(b"\0")
        except OSError:
            continue
        if job.encode() in argv and grid.encode() in argv:
            pids.append(int(entry))
    return pids


def stop_strays(out, job, signum):
    """Sends SIGNUM to the stray jobs of the grid in OUT until none is left (KILL after 5 s)."""
    deadline = time.monotonic() + 5
    quiet = 0
    while quiet < 3:  # a job GNU parallel forked just before it stopped may not have started yet
        pids = stray_jobs(out, job)
        quiet = 0 if pids else quiet + 1
        for pid in pids:
            try:
                os.kill(pid, signal.SIGKILL if time.monotonic() > deadline else signum)
            except ProcessLookupError:
                pass
        time.sleep(0.1)


def run_parallel(out, args, stop):
    # GNU parallel is a Perl script with its author's copyright at its top (the "parallel" of
    # moreutils, with other options, is not); reading that costs less than starting it to ask.
    path = shutil.which("parallel")
    try:
        with open(path or "", "rb") as f:
            gnu = b"Ole Tange" in f.read(1024)
    except OSError:
        gnu = False
    if not gnu:
        raise GridError("GNU parallel is not installed (Debian package 'parallel')")
    cmd = ["parallel", "--joblog", "+" + os.path.join(out, "joblog"),
           "--termseq", "TERM,200,TERM,100,KILL,25",
           "--arg-file", os.path.join(out, "grid.batches")]
    if args.jobs:
        cmd += ["--jobs", args.jobs]
    for host in args.sshlogin or []:
        cmd += ["--sshlogin", host]
    if args.sshloginfile:
        cmd += ["--sshloginfile", args.sshloginfile]
    if args.ssh:
        cmd += ["--ssh", args.ssh]
    if args.bar or (args.bar is None and sys.stderr.isatty()):
        cmd.append("--bar")
    # The batch job needs only the standard library: on remote hosts their python3.
    python = "python3" if args.sshlogin or args.sshloginfile else sys.executable
    cmd.append(shlex.join(job_command(out, read_settings(out), python)) + " {}")
    stop.proc = subprocess.Popen(cmd, stdin=subprocess.DEVNULL)
    if stop.signum:  # a signal before GNU parallel existed
        stop.proc.send_signal(signal.SIGTERM)
    status = stop.wait()
    if stop.signum and not (args.sshlogin or args.sshloginfile):
        stop_strays(out, read_settings(out)["job"], stop.signum)
    return status


def failure_reason(out, name):
    folder = os.path.join(out, "models", name + ".failed")
    try:
        with open(os.path.join(folder, "status")) as f:
            status = int(f.read().split()[0])
    except (OSError, ValueError, IndexError):
        status = None
    what = f"signal {status - 128}" if status and status > 128 else f"exit status {status}"
    try:
        with open(os.path.join(folder, "stderr"), errors="replace") as f:
            lines = [ln.strip() for ln in f if ln.strip()]
        return what + ": " + (lines[0] if lines else "no message")
    except OSError:
        return what + ": no message"


def report(out, rows, ran):
    """Prints the failed models and the counts; RAN are the numbers of the models this run
    started. Returns (done, failed, not run)."""
    now = states(out, rows)
    for (name, path), s in zip(rows, now):
        if s == "failed":
            say(f"FAILED {name} ({path}): {failure_reason(out, name)}")
    done, failed = now.count("done"), now.count("failed")
    finished = sum(1 for k in ran if now[k - 1] is not None)
    say(f"{len(rows)} models: {done} done, {failed} failed, {len(rows) - done - failed} not run "
        f"(this run: {finished} ran, {len(rows) - len(ran)} skipped as run before)")
    return done, failed, len(rows) - done - failed


def merge(out):
    """Concatenates the done models' table pairs in plan order; returns the number left out."""
    from . import tables as at

    rows = read_plan(out)
    now = states(out, rows)
    final = {u: os.path.join(out, f"grid.fort.{u}") for u in (10, 11)}
    final["models"] = os.path.join(out, "grid.models")
    parts = {u: f + ".part" for u, f in final.items()}
    index = []
    left_out = 0
    try:
        with open(parts[10], "wb") as t10, open(parts[11], "wb") as t11:
            for (name, path), s in zip(rows, now):
                if s != "done":
                    left_out += 1
                    continue
                base = os.path.join(out, "models", name)
                try:
                    run = at.read(os.path.join(base, "fort.10"), os.path.join(base, "fort.11"))
                except at.TableError as e:
                    raise GridError(f"{name}: {e}") from None
                if run.truncated or not run.models:
                    raise GridError(f"{name}: tables incomplete: {'; '.join(run.truncated)}")
                for unit, dest in (("fort.10", t10), ("fort.11", t11)):
                    with open(os.path.join(base, unit), "rb") as src:
                        shutil.copyfileobj(src, dest)
                index += [(name, path, m.TITLE) for m in run.models]
        with open(parts["models"], "w") as f:
            f.write("# model in grid.fort.10/11, grid name, input, TITLE\n")
            f.writelines(f"{k}\t{n}\t{p}\t{t}\n" for k, (n, p, t) in enumerate(index, 1))
        for u in parts:
            os.replace(parts[u], final[u])
    except BaseException as e:
        # A damaged model's tables, a full disk: the merged files of an earlier merge stay as
        # they were, and no partial one is left.
        for part in parts.values():
            if os.path.lexists(part):
                os.remove(part)
        if isinstance(e, OSError):
            raise GridError(cannot_merge(out, "grid.fort.10 and grid.fort.11", e)) from None
        raise
    say(f"merged {len(index)} models from {len(rows) - left_out} inputs into "
        f"{final[10]} and grid.fort.11"
        + (f"; {left_out} not done, left out" if left_out else ""))
    merge_hdf5(out, rows)
    return left_out


def cannot_merge(out, what, error):
    """The message of a merge that could not write WHAT into OUT (the OSError ERROR)."""
    return (f"cannot write {what} in {out}: {error.strerror or error}; the done models stay in "
            f"{os.path.join(out, 'models')}: `grid.py merge {out}` merges them when there is room")


def merge_hdf5(out, rows):
    """OUT/grid.h5 from the models' HDF5 files (when the grid wrote them): their model groups
    and an index to select them by (atmotab.hdf5.Grid)."""
    from . import hdf5

    h5s = [os.path.join(out, "models", name, grid_job.HDF5_NAME) for name, _ in rows]
    if not any(os.path.exists(p) for p in h5s):
        return
    if hdf5.h5py is None:
        say("grid.h5 not written: this Python has no h5py (Debian: python3-h5py)")
        return
    entries = []
    for (name, path), h5, s in zip(rows, h5s, states(out, rows)):
        if s == "done" and os.path.exists(h5):
            entries.append((name, path, h5, "done"))
        else:
            entries.append((name, path, None, "done, no HDF5 file" if s == "done" else
                            "failed: " + failure_reason(out, name) if s == "failed"
                            else "not run"))
    try:
        n = hdf5.write_grid(os.path.join(out, "grid.h5"), entries)
    except OSError as e:
        raise GridError(cannot_merge(out, "grid.h5", e)) from None
    say(f"wrote {os.path.join(out, 'grid.h5')}: {n} models and their index")


def arguments(argv):
    ap = argparse.ArgumentParser(prog="grid.py", description=__doc__.split("\n\n")[0],
                                 formatter_class=argparse.RawDescriptionHelpFormatter,
                                 epilog=__doc__.split("\n\n", 1)[1])
    sub = ap.add_subparsers(dest="command", required=True)
    for name in ("run", "list"):
        p = sub.add_parser(name)
        p.add_argument("out", metavar="OUT", help="grid folder")
        p.add_argument("inputs", nargs="+", metavar="INPUT")
        for option, what, required in PROGRAM_FILES:
            p.add_argument(option, required=required, metavar="FILE",
                           help=f"the {what}, for every model")
        p.add_argument("--program", help="atmotab binary [default: $ATMOTAB, atmotab on PATH, "
                       "build/atmotab of this checkout]")
        p.add_argument("--batch", type=int, metavar="K", help="models per batch (one job, one "
                       f"Slurm array task) [about 2 batches per job slot, at most {MAX_BATCH}]")
        p.add_argument("--jobs", "-j", help="jobs per host (GNU parallel -j); for `list`, the "
                       "array tasks that run at once, for the batch size [all cores]")
        p.add_argument("--retry-failed", action="store_true", help="run failed models again")
        if name == "run":
            p.add_argument("--sshlogin", "-S", action="append",
                           help="remote host, as GNU parallel takes it (':' is this machine)")
            p.add_argument("--sshloginfile", help="file of hosts (GNU parallel --sshloginfile)")
            p.add_argument("--ssh", help="ssh command for the remote hosts (GNU parallel --ssh)")
            p.add_argument("--no-merge", action="store_true", help="do not merge the tables")
            p.add_argument("--bar", action=argparse.BooleanOptionalAction, default=None,
                           help="GNU parallel's progress bar [when standard error is a terminal]")
    p = sub.add_parser("merge")
    p.add_argument("out", metavar="OUT")
    args = ap.parse_args(argv)
    if getattr(args, "batch", None) is not None and args.batch < 1:
        ap.error("--batch must be at least 1")
    return args


def main(argv=None):
    args = arguments(argv)
    lock = None
    try:
        if args.command != "merge" or os.path.isdir(args.out):
            lock = lock_grid(args.out)
        if args.command == "merge":
            return 1 if merge(args.out) else 0
        rows = plan(args.out, args.inputs, make_settings(args))
        before = states(args.out, rows)
        todo = [k for k, s in enumerate(before, 1)
                if s is None or (s == "failed" and args.retry_failed)]
        k = args.batch or batch_size(len(todo), job_slots(args) if args.command == "run"
                                     else int(args.jobs or os.cpu_count() or 1))
        nbatches = write_batches(args.out, todo, k)
        if args.command == "list":
            batches = os.path.join(args.out, "grid.batches")
            say(f"{len(rows)} models planned in {os.path.join(args.out, 'grid.list')}; "
                f"{len(todo)} to run in {nbatches} batches of up to {k} ({batches})")
            if nbatches:
                say(f"on Slurm: sbatch --array=1-{nbatches} "
                    f"--export=ALL,GRID={os.path.abspath(args.out)} docs/grid.slurm")
            return 0
        remove_leftovers(args.out)
        with Stop() as stop:
            if todo:
                run_parallel(args.out, args, stop)
        done, failed, missing = report(args.out, rows, todo)
        if stop.signum:
            what = ("interrupted" if stop.signum == signal.SIGINT
                    else f"stopped by {signal.Signals(stop.signum).name}")
            say(f"{what}; run the same command again to resume (the running models were "
                f"stopped and left nothing; `grid.py merge {args.out}` merges the {done} done "
                "models)")
            return 128 + stop.signum
        if not args.no_merge:
            merge(args.out)
        return 0 if done == len(rows) else 1
    except GridError as e:
        say(str(e))
        return 2
    except KeyboardInterrupt:
        say("interrupted")
        return 130
    finally:
        if lock is not None:
            lock.close()


if __name__ == "__main__":
    sys.exit(main())
