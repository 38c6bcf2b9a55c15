"""One batch of a grid: runs models of GRID one program process each, one after another.

  python3 grid_job.py GRID N [N...]

N are line numbers of GRID/grid.list (several may come as one argument, blank-separated, as GNU
parallel and the Slurm script pass a line of GRID/grid.batches). The program, its options and their
files are those of GRID/grid.settings.

A model runs in a folder of its own, GRID/models/.NAME.PID (the tables, the listing, the messages,
the deck converted from a MARCS model), which is renamed to GRID/models/NAME when the program ends
with status 0 and wrote both tables, or to GRID/models/NAME.failed otherwise. A rename of a folder
is atomic, so the files of a model appear together or not at all: a folder GRID/models/NAME is
always a whole run. Each of these folders holds the digest of the model's input and of the
program's options and input files (file `digest`); a model whose folder has the digest of its
present input is done and is skipped, so a batch run again (a resubmitted Slurm array, say) runs
only what is missing or changed.

The models of a batch run one after another whatever their outcome: a failing model is recorded
in its .failed folder (`status`: the exit status and the first message) and the next one runs.
SIGTERM, SIGINT or SIGHUP (GNU parallel's --termseq, Slurm's scancel) go to the running program,
which stops, the model's folder is removed and the batch ends with 128 + signal.

Exit status: 0 when every model of the batch is done, 1 when some failed, 2 on a usage error.

Only the standard library is used: a grid starts one of these per batch.
"""
import hashlib
import json
import os
import shutil
import signal
import subprocess
import sys

PACKAGE_PARENT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
STOP_SIGNALS = (signal.SIGTERM, signal.SIGINT, signal.SIGHUP)


def read_plan(grid):
    """[(name, input)] of GRID/grid.list, in order."""
    with open(os.path.join(grid, "grid.list")) as f:
        return [tuple(ln.rstrip("\n").split("\t")) for ln in f if ln.strip()]


def read_settings(grid):
    with open(os.path.join(grid, "grid.settings")) as f:
        return json.load(f)


def file_digest(path, h):
    h.update(path.encode() + b"\0")
    with open(path, "rb") as f:
        for block in iter(lambda: f.read(1 << 20), b""):
            h.update(block)
    h.update(b"\0")


def options_digest(settings):
    """The part of a model's digest that every model shares: the program and its options, with the
    content of every file an option names (an edited edge list changes every model)."""
    h = hashlib.sha256()
    h.update(settings["program"].encode() + b"\0")
    for option, path in settings["files"]:
        h.update(option.encode() + b"\0")
        file_digest(path, h)
    return h


def model_digest(shared, path):
    """Hex digest of one model: SHARED (options_digest) and the content of its input."""
    h = shared.copy()
    file_digest(path, h)
    return h.hexdigest()


def read_digest(folder):
    try:
        with open(os.path.join(folder, "digest")) as f:
            return f.read().strip()
    except OSError:
        return None


def model_state(models, name, digest):
    """'done' when models/NAME holds both tables of a run of the input with DIGEST, 'failed' when
    models/NAME.failed holds a failed run of it, None otherwise (never run, or run on another
    input or with other options)."""
    done = os.path.join(models, name)
    if read_digest(done) == digest and all(
            os.path.isfile(os.path.join(done, t)) for t in ("fort.10", "fort.11")):
        return "done"
    if read_digest(done + ".failed") == digest:
        return "failed"
    return None


def put_in_place(folder, final):
    """Renames FOLDER to FINAL, replacing a folder of that name (moved aside first: a folder that
    is not empty cannot be renamed over)."""
    old = None
    if os.path.lexists(final):
        old = f"{final}.old.{os.getpid()}"
        os.rename(final, old)
    os.rename(folder, final)
    if old:
        shutil.rmtree(old, ignore_errors=True)


def convert_marcs(src, deck):
    """The card deck of the MARCS model SRC, written to DECK; None or the converter's message."""
    if PACKAGE_PARENT not in sys.path:
        sys.path.insert(0, PACKAGE_PARENT)
    from atmotab import marcs

    try:
        text = marcs.convert([src])
    except (marcs.ModelError, ValueError, OSError) as e:
        return f"marcs2deck: {e}"
    with open(deck, "w") as f:
        f.write(text)
    return None


class Batch:
    def __init__(self, grid):
        self.grid = grid
        self.models = os.path.join(grid, "models")
        self.settings = read_settings(grid)
        self.shared = options_digest(self.settings)
        self.child = None
        self.stopped = 0

    def on_signal(self, signum, _frame):
        self.stopped = signum
        if self.child is not None and self.child.poll() is None:
            self.child.send_signal(signum)

    def run_model(self, name, path):
        """Runs one model; returns its exit status (0 done or skipped)."""
        digest = model_digest(self.shared, path)
        if model_state(self.models, name, digest) == "done":
            return 0
        work = os.path.join(self.models, f".{name}.{os.getpid()}")
        shutil.rmtree(work, ignore_errors=True)
        os.mkdir(work)
        file = {k: os.path.join(work, k) for k in ("fort.10", "fort.11", "listing", "stderr")}
        deck = path
        status = 0
        if path.endswith(".mod"):
            deck = os.path.join(work, "deck")
            message = convert_marcs(path, deck)
            if message:
                with open(file["stderr"], "w") as f:
                    f.write(message + "\n")
                status = 2
        if status == 0:
            cmd = [self.settings["program"]]
            for option, arg in self.settings["files"]:
                cmd += [option, arg]
            cmd += ["--table", file["fort.10"], "--maxima", file["fort.11"]]
            with open(deck, "rb") as cards, open(file["listing"], "wb") as listing, \
                    open(file["stderr"], "wb") as errors:
                self.child = subprocess.Popen(cmd, stdin=cards, stdout=listing, stderr=errors)
                if self.stopped:  # a signal before the child existed
                    self.child.send_signal(self.stopped)
                status = self.child.wait()
                self.child = None
            if status < 0:
                status = 128 - status
        if self.stopped:
            shutil.rmtree(work, ignore_errors=True)
            return 128 + self.stopped
        if status == 0 and not all(os.path.isfile(file[t]) and os.path.getsize(file[t]) > 0
                                   for t in ("fort.10", "fort.11")):
            status = 2
            with open(file["stderr"], "a") as f:
                f.write(f"grid: {path}: the run wrote no model (no BEGIN card?)\n")
        with open(os.path.join(work, "digest"), "w") as f:
            f.write(digest + "\n")
        if status == 0:
            put_in_place(work, os.path.join(self.models, name))
            shutil.rmtree(os.path.join(self.models, name + ".failed"), ignore_errors=True)
        else:
            for t in ("fort.10", "fort.11"):
                if os.path.exists(file[t]):
                    os.remove(file[t])
            with open(os.path.join(work, "status"), "w") as f:
                f.write(f"{status}\n")
            put_in_place(work, os.path.join(self.models, name + ".failed"))
            shutil.rmtree(os.path.join(self.models, name), ignore_errors=True)
        return status


def main(argv=None):
    argv = sys.argv[1:] if argv is None else argv
    numbers = [w for a in argv[1:] for w in a.split()]
    if not argv or not numbers or not all(w.isdigit() and int(w) > 0 for w in numbers):
        print("usage: grid_job.py GRID N [N...]   (N: line numbers of GRID/grid.list)",
              file=sys.stderr)
        return 2
    grid = argv[0]
    try:
        rows = read_plan(grid)
        batch = Batch(grid)
    except (OSError, ValueError, KeyError) as e:
        print(f"grid_job: {grid} holds no grid made by grid.py list/run: {e}", file=sys.stderr)
        return 2
    for s in STOP_SIGNALS:
        signal.signal(s, batch.on_signal)
    worst = 0
    for n in map(int, numbers):
        if n > len(rows):
            print(f"grid_job: no model {n} in {grid}/grid.list ({len(rows)} models)",
                  file=sys.stderr)
            return 2
        name, path = rows[n - 1]
        try:
            status = batch.run_model(name, path)
        except OSError as e:
            print(f"grid_job: {name}: {e}", file=sys.stderr)
            status = 2
        if batch.stopped:
            return 128 + batch.stopped
        worst = worst or (1 if status else 0)
    return worst


if __name__ == "__main__":
    sys.exit(main())
