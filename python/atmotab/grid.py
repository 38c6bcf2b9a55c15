"""Run a grid of models with GNU parallel: one atmotab process per model, on all local cores or
on remote hosts, with a job log so that an interrupted grid resumes where it stopped.

  grid.py run OUT INPUT... --edges FILE [--program PATH] [--jobs N] [--sshlogin HOST ...]
  grid.py list OUT INPUT... --edges FILE [--program PATH]   (the plan only, e.g. for Slurm)
  grid.py merge OUT

INPUT: atmotab decks, MARCS models (*.mod, converted on the fly with marcs2deck.py), folders
(their *.deck and *.mod files in name order) or @FILE (one input per line). The models keep the
order of the inputs.

OUT holds grid.list (the plan: one line per model, name and input), grid.settings (program, edge
list, per-model job script), joblog (GNU parallel's job log) and per model
models/NAME.{fort.10,fort.11,listing,stderr}.
Running the same `run` command again skips the models the job log shows as done (failed ones too,
unless --retry-failed). `merge` (done after `run` unless --no-merge) concatenates the per-model
table pairs in the order of the plan into OUT/grid.fort.10 and OUT/grid.fort.11, and lists their
models in OUT/grid.models; a failed model is left out and named.

Remote hosts (--sshlogin, --sshloginfile: GNU parallel's options, passed on) must see OUT, the
inputs, the program and these tools at the same paths (a shared file system), and have python3.
Exit status: 0 when every model of the grid is done, 1 when some failed or did not run, 2 on a
usage error.
"""
import argparse
import json
import os
import re
import shlex
import shutil
import subprocess
import sys

from ._paths import CHECKOUT

JOB = os.path.join(os.path.dirname(os.path.abspath(__file__)), "grid_job.sh")
DEFAULT_PROGRAM = os.path.join(CHECKOUT, "build", "atmotab")


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
    path = os.path.join(out, "grid.list")
    try:
        with open(path) as f:
            return [tuple(ln.rstrip("\n").split("\t")) for ln in f if ln.strip()]
    except OSError:
        raise GridError(f"{out} holds no grid (no grid.list); start it with grid.py run") from None


def read_settings(out):
    try:
        with open(os.path.join(out, "grid.settings")) as f:
            return json.load(f)
    except OSError:
        raise GridError(f"{out} has no grid.settings") from None


def plan(out, inputs, program, edges):
    """Writes OUT/grid.list and OUT/grid.settings, or checks that an existing grid in OUT has the
    same ones (so that its job log still applies). Returns the plan."""
    paths = expand_inputs(inputs)
    if not paths:
        raise GridError("no models given")
    rows = list(zip(model_names(paths), paths))
    settings = {"program": os.path.abspath(program), "edges": os.path.abspath(edges), "job": JOB}
    for what, p in settings.items():
        if not os.path.isfile(p):
            raise GridError(f"{what} {p} does not exist")
    list_path, settings_path = os.path.join(out, "grid.list"), os.path.join(out, "grid.settings")
    if os.path.exists(list_path):
        if read_plan(out) != rows:
            raise GridError(f"{out} holds a grid of other inputs (grid.list); give another folder "
                            "or remove it")
        if read_settings(out) != settings:
            raise GridError(f"{out} holds a grid run with another program or edge list "
                            f"({settings_path}); give another folder or remove it")
        return rows
    os.makedirs(os.path.join(out, "models"), exist_ok=True)
    with open(list_path + ".part", "w") as f:
        f.writelines(f"{name}\t{p}\n" for name, p in rows)
    with open(settings_path, "w") as f:
        json.dump(settings, f, indent=1)
        f.write("\n")
    os.replace(list_path + ".part", list_path)
    return rows


def read_joblog(out):
    """(exit status per model number from 1, number of entries) from GNU parallel's job log; the
    last entry of a model wins. A job killed by a signal counts as failed (128 + signal)."""
    status, entries = {}, 0
    try:
        with open(os.path.join(out, "joblog")) as f:
            next(f, None)  # Seq Host Starttime JobRuntime Send Receive Exitval Signal Command
            for line in f:
                cols = line.split("\t")
                if len(cols) >= 8 and cols[0].isdigit():
                    exitval, signal = int(cols[6]), int(cols[7])
                    status[int(cols[0])] = exitval if signal == 0 else 128 + signal
                    entries += 1
    except OSError:
        pass
    return status, entries


def job_command(out, settings):
    """The command GNU parallel runs per line of grid.list ({1} name, {2} input)."""
    q = shlex.quote
    return " ".join([q(settings["job"]), q(settings["program"]), q(settings["edges"]), "{2}",
                     q(os.path.join(os.path.abspath(out), "models", "")) + "{1}"])


def run_parallel(out, args):
    version = subprocess.run(["parallel", "--version"], capture_output=True, text=True,
                             stdin=subprocess.DEVNULL) if shutil.which("parallel") else None
    if version is None or "GNU parallel" not in version.stdout:
        raise GridError("GNU parallel is not installed (Debian package 'parallel')")
    settings = read_settings(out)
    cmd = ["parallel", "--joblog", os.path.join(out, "joblog"),
           "--resume-failed" if args.retry_failed else "--resume",
           "--colsep", "\t", "--arg-file", os.path.join(out, "grid.list")]
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
    cmd.append(job_command(out, settings))
    proc = subprocess.Popen(cmd, stdin=subprocess.DEVNULL)
    try:
        return proc.wait()
    except KeyboardInterrupt:
        proc.wait()
        raise


def failure_reason(out, name):
    try:
        with open(os.path.join(out, "models", name + ".stderr"), errors="replace") as f:
            lines = [ln.strip() for ln in f if ln.strip()]
        return lines[0] if lines else "no message"
    except OSError:
        return "no message (the job did not start?)"


def report(out, rows, skipped, entries_before):
    """Prints what happened per model; returns (done, failed, not run) counts."""
    status, entries = read_joblog(out)
    done = failed = missing = 0
    for k, (name, path) in enumerate(rows, 1):
        s = status.get(k)
        base = os.path.join(out, "models", name)
        if s is None:
            missing += 1
        elif s == 0 and os.path.exists(base + ".fort.10") and os.path.exists(base + ".fort.11"):
            done += 1
        else:
            failed += 1
            if s == 0:
                what = "finished, but its tables are gone (a new folder runs it again)"
            else:
                what = f"signal {s - 128}" if s > 128 else f"exit status {s}"
                what += ": " + failure_reason(out, name)
            say(f"FAILED {name} ({path}): {what}")
    say(f"{len(rows)} models: {done} done, {failed} failed, {missing} not run "
        f"(this run: {entries - entries_before} ran, {skipped} skipped as in the job log already)")
    return done, failed, missing


def merge(out):
    """Concatenates the finished models' table pairs in plan order; returns the number left out."""
    from . import tables as at

    rows = read_plan(out)
    parts = {u: os.path.join(out, f"grid.fort.{u}.part") for u in (10, 11)}
    index = []
    left_out = 0
    with open(parts[10], "wb") as t10, open(parts[11], "wb") as t11:
        for name, path in rows:
            base = os.path.join(out, "models", name)
            if not (os.path.exists(base + ".fort.10") and os.path.exists(base + ".fort.11")):
                left_out += 1
                continue
            try:
                run = at.read(base + ".fort.10", base + ".fort.11")
            except at.TableError as e:
                raise GridError(f"{name}: {e}") from None
            if run.truncated or not run.models:
                raise GridError(f"{name}: tables incomplete: {'; '.join(run.truncated)}")
            for f, dest in ((base + ".fort.10", t10), (base + ".fort.11", t11)):
                with open(f, "rb") as src:
                    shutil.copyfileobj(src, dest)
            index += [(name, path, m.TITLE) for m in run.models]
    for u in (10, 11):
        os.replace(parts[u], os.path.join(out, f"grid.fort.{u}"))
    with open(os.path.join(out, "grid.models"), "w") as f:
        f.write("# model in grid.fort.10/11, grid name, input, TITLE\n")
        f.writelines(f"{k}\t{n}\t{p}\t{t}\n" for k, (n, p, t) in enumerate(index, 1))
    say(f"merged {len(index)} models into {os.path.join(out, 'grid.fort.10')} and grid.fort.11"
        + (f"; {left_out} not finished, left out" if left_out else ""))
    return left_out


def main(argv=None):
    ap = argparse.ArgumentParser(prog="grid.py", description=__doc__.split("\n\n")[0],
                                 formatter_class=argparse.RawDescriptionHelpFormatter,
                                 epilog=__doc__.split("\n\n", 1)[1])
    sub = ap.add_subparsers(dest="command", required=True)
    for name in ("run", "list"):
        p = sub.add_parser(name)
        p.add_argument("out", metavar="OUT", help="grid folder")
        p.add_argument("inputs", nargs="+", metavar="INPUT")
        p.add_argument("--edges", required=True, help="edge list (unit 17) for every model")
        p.add_argument("--program", default=DEFAULT_PROGRAM, help="atmotab binary "
                       "[default: build/atmotab of this source tree]")
        if name == "run":
            p.add_argument("--jobs", "-j", help="jobs per host (GNU parallel -j) [all cores]")
            p.add_argument("--sshlogin", "-S", action="append",
                           help="remote host, as GNU parallel takes it (':' is this machine)")
            p.add_argument("--sshloginfile", help="file of hosts (GNU parallel --sshloginfile)")
            p.add_argument("--ssh", help="ssh command for the remote hosts (GNU parallel --ssh)")
            p.add_argument("--retry-failed", action="store_true", help="run failed models again")
            p.add_argument("--no-merge", action="store_true", help="do not merge the tables")
            p.add_argument("--bar", action=argparse.BooleanOptionalAction, default=None,
                           help="GNU parallel's progress bar [when standard error is a terminal]")
    p = sub.add_parser("merge")
    p.add_argument("out", metavar="OUT")
    args = ap.parse_args(argv)
    try:
        if args.command == "merge":
            return 1 if merge(args.out) else 0
        rows = plan(args.out, args.inputs, args.program, args.edges)
        if args.command == "list":
            say(f"{len(rows)} models planned in {os.path.join(args.out, 'grid.list')}")
            return 0
        before, entries = read_joblog(args.out)
        skipped = sum(1 for s in before.values() if s == 0 or not args.retry_failed)
        try:
            run_parallel(args.out, args)
        except KeyboardInterrupt:
            say("interrupted; run the same command again to resume")
            report(args.out, rows, skipped, entries)
            return 130
        done, failed, missing = report(args.out, rows, skipped, entries)
        if not args.no_merge:
            merge(args.out)
        return 0 if done == len(rows) else 1
    except GridError as e:
        say(str(e))
        return 2


if __name__ == "__main__":
    sys.exit(main())
