"""One batch of a grid: runs models of GRID one after another in one program process.

  python3 grid_job.py GRID PROGRAM [OPTION FILE]... -- N [N...]

PROGRAM is the atmotab binary, each OPTION FILE one of its input file options (--edges FILE, ...),
given to every model. N are line numbers of GRID/grid.list (several may come as one argument,
blank-separated, as GNU parallel and the Slurm script pass a line of GRID/grid.batches). grid.py
writes this command for its grid into GRID/grid.job.

A model runs in a folder of its own, GRID/models/.NAME.PID (the tables, the listing, the messages,
the deck converted from a MARCS model), which is renamed to GRID/models/NAME when the program ends
with status 0 and wrote both tables, or to GRID/models/NAME.failed otherwise. A rename of a folder
is atomic, so the files of a model appear together or not at all: a folder GRID/models/NAME is
always a whole run. Each of these folders holds the digest of the model's input and of the
program's options and input files (file `digest`); a model whose folder has the digest of its
present input is done and is skipped, so a batch run again (a resubmitted Slurm array, say) runs
only what is missing or changed.

The program runs the models of a batch one after another (its --batch mode: each deck a run of
its own, from a new run state), whatever their outcome: a failing model is recorded in its .failed
folder (`status`: its exit status; `stderr`: its messages) and the next one runs.
SIGTERM, SIGINT or SIGHUP (GNU parallel's --termseq, Slurm's scancel) go to the running program,
which stops, the model's folder is removed and the batch ends with 128 + signal.

Exit status: 0 when every model of the batch is done, 1 when some failed, 2 on a usage error.

A grid starts one of these per batch: it imports little (no subprocess, json or shutil), so that
its start stays a small part of a batch.
"""
import hashlib
import os
import signal
import sys

HDF5_NAME = "model.h5"  # a model's HDF5 file in its folder, when the grid writes them
PACKAGE_PARENT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
STOP_SIGNALS = (signal.SIGTERM, signal.SIGINT, signal.SIGHUP)


def read_plan(grid):
    """[(name, input)] of GRID/grid.list, in order."""
    with open(os.path.join(grid, "grid.list")) as f:
        return [tuple(ln.rstrip("\n").split("\t")) for ln in f if ln.strip()]


def file_digest(path, h):
    h.update(path.encode() + b"\0")
    with open(path, "rb") as f:
        for block in iter(lambda: f.read(1 << 20), b""):
            h.update(block)
    h.update(b"\0")


def options_digest(program, files):
    """The part of a model's digest that every model shares: the PROGRAM and its options FILES
    [(option, path)], with the content of every file an option names (an edited edge list changes
    every model)."""
    h = hashlib.sha256()
    h.update(program.encode() + b"\0")
    for option, path in files:
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


def remove_folder(folder):
    """Removes FOLDER and the files in it (a model's folder has no subfolders)."""
    try:
        names = os.listdir(folder)
    except FileNotFoundError:
        return
    for n in names:
        os.remove(os.path.join(folder, n))
    os.rmdir(folder)


def put_in_place(folder, final):
    """Renames FOLDER to FINAL, replacing a folder of that name (moved aside first: a folder that
    is not empty cannot be renamed over)."""
    old = None
    if os.path.lexists(final):
        old = f"{final}.old.{os.getpid()}"
        os.rename(final, old)
    os.rename(folder, final)
    if old:
        remove_folder(old)


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
    """The models of one batch, run by one program process (its --batch mode: each deck a run of
    its own, from a new run state, exactly as a process of its own would run it)."""

    def __init__(self, grid, program, files, outputs=()):
        self.models = os.path.join(grid, "models")
        self.program, self.files, self.outputs = program, files, list(outputs)
        self.shared = options_digest(program, files)
        self.child = None  # the pid of the running program
        self.stopped = 0

    def on_signal(self, signum, _frame):
        self.stopped = signum
        if self.child is not None:
            try:
                os.kill(self.child, signum)
            except ProcessLookupError:
                pass

    def finish(self, name, work, digest, status):
        """Puts the folder WORK of model NAME in place as done (STATUS 0) or failed; returns 0, or
        the status of a failed model. A model that cannot be put in place (a full disk) leaves
        nothing, and runs again with the next run of the grid."""
        try:
            return self.put_in_place(name, work, digest, status)
        except OSError as e:
            print(f"grid_job: {name}: cannot finish the model ({e.strerror or e}); it runs "
                  "again with the next run of the grid", file=sys.stderr)
            try:
                remove_folder(work)
            except OSError:
                pass
            return status or 2

    def put_in_place(self, name, work, digest, status):
        tables = [os.path.join(work, t) for t in ("fort.10", "fort.11")]
        if status == 0 and not all(os.path.isfile(t) and os.path.getsize(t) > 0 for t in tables):
            status = 2
            with open(os.path.join(work, "stderr"), "a") as f:
                f.write("grid: the run wrote no model (no BEGIN card?)\n")
        with open(os.path.join(work, "digest"), "w") as f:
            f.write(digest + "\n")
        if status == 0:
            put_in_place(work, os.path.join(self.models, name))
            remove_folder(os.path.join(self.models, name + ".failed"))
            return 0
        for t in tables:
            if os.path.exists(t):
                os.remove(t)
        with open(os.path.join(work, "status"), "w") as f:
            f.write(f"{status}\n")
        put_in_place(work, os.path.join(self.models, name + ".failed"))
        remove_folder(os.path.join(self.models, name))
        return status

    def prepare(self, name, path):
        """The work folder of a model to run, with its deck: (work, digest, deck), or None when
        the model is done already. A MARCS model that cannot be converted is finished as failed
        here: (None, status, None)."""
        digest = model_digest(self.shared, path)
        if model_state(self.models, name, digest) == "done":
            return None
        work = os.path.join(self.models, f".{name}.{os.getpid()}")
        remove_folder(work)
        os.mkdir(work)
        deck = path
        if path.endswith(".mod"):
            deck = os.path.join(work, "deck")
            message = convert_marcs(path, deck)
            if message:
                with open(os.path.join(work, "stderr"), "w") as f:
                    f.write(message + "\n")
                return None, self.finish(name, work, digest, 2), None
        return work, digest, deck

    def run(self, rows):
        """Runs the models ROWS [(name, input)]; returns the number that failed."""
        failed = 0
        pending = []  # (name, work, digest, deck) in order
        for name, path in rows:
            if self.stopped:
                break
            try:
                ready = self.prepare(name, path)
            except OSError as e:
                print(f"grid_job: {name}: {e}", file=sys.stderr)
                failed += 1
                continue
            if ready is None:
                continue
            if ready[0] is None:
                failed += 1
            else:
                pending.append((name, *ready))
        while pending and not self.stopped:
            failed += self.run_program(pending)
        for _, work, _, _ in pending:  # stopped: what did not finish leaves nothing
            remove_folder(work)
        return failed

    def run_program(self, pending):
        """One program process over the decks of PENDING, which loses each model as it finishes.
        A process that ends before the last deck (a crash) fails the deck it was running; the
        next call goes on with the rest. Returns the number of failed models."""
        listfile = os.path.join(self.models, f".batch.{os.getpid()}")
        with open(listfile, "w") as f:
            f.writelines(f"{deck}\t{work}\n" for _, work, _, deck in pending)
        cmd = [self.program]
        for option, arg in self.files + self.outputs:  # --hdf5 NAME: FOLDER/NAME per deck
            cmd += [option, arg]
        cmd += ["--batch", listfile]
        failed = 0
        read_end, write_end = os.pipe()
        try:
            self.child = os.posix_spawn(self.program, cmd, os.environ, file_actions=[
                (os.POSIX_SPAWN_OPEN, 0, os.devnull, os.O_RDONLY, 0),
                (os.POSIX_SPAWN_DUP2, write_end, 1),
                (os.POSIX_SPAWN_CLOSE, read_end)])
        except OSError:
            os.close(read_end)
            raise
        finally:
            os.close(write_end)
            if self.child is None:
                os.remove(listfile)
        try:
            if self.stopped:  # a signal before the child existed
                os.kill(self.child, self.stopped)
            with os.fdopen(read_end, "rb") as lines:
                for line in lines:
                    status, _, work = line.decode().rstrip("\n").partition("\t")
                    if not pending or work != pending[0][1]:
                        break
                    name, work, digest, _ = pending.pop(0)
                    if self.finish(name, work, digest, int(status)):
                        failed += 1
            status = os.waitstatus_to_exitcode(os.waitpid(self.child, 0)[1])
        finally:
            self.child = None
            os.remove(listfile)
        if pending and not self.stopped:
            name, work, digest, _ = pending.pop(0)
            status = 128 - status if status < 0 else status
            with open(os.path.join(work, "stderr"), "a") as f:
                f.write(f"grid: the program ended with status {status} in this model\n")
            self.finish(name, work, digest, status or 2)
            failed += 1
        return failed


def main(argv=None):
    argv = sys.argv[1:] if argv is None else argv
    cut = argv.index("--") if "--" in argv else len(argv)
    words = [w for a in argv[cut + 1:] for w in a.split()]
    options = argv[2:cut]
    pairs = list(zip(options[::2], options[1::2]))
    if cut < 2 or len(options) % 2 or not words or \
            not all(w.isdigit() and int(w) > 0 for w in words):
        print("usage: grid_job.py GRID PROGRAM [OPTION FILE]... -- N [N...]   (N: line numbers "
              "of GRID/grid.list)", file=sys.stderr)
        return 2
    grid, numbers = argv[0], [int(w) for w in words]
    try:
        rows = read_plan(grid)
        batch = Batch(grid, argv[1], [p for p in pairs if p[0] != "--hdf5"],
                      [p for p in pairs if p[0] == "--hdf5"])
    except (OSError, ValueError) as e:
        print(f"grid_job: {grid} holds no grid made by grid.py list/run: {e}", file=sys.stderr)
        return 2
    for s in STOP_SIGNALS:
        signal.signal(s, batch.on_signal)
    if any(n > len(rows) for n in numbers):
        print(f"grid_job: no model {max(numbers)} in {grid}/grid.list ({len(rows)} models)",
              file=sys.stderr)
        return 2
    failed = batch.run([rows[n - 1] for n in numbers])
    if batch.stopped:
        return 128 + batch.stopped
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
