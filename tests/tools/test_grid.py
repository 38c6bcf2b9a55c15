"""tools/grid.py: grids of models under GNU parallel (local cores, stand-in remote hosts, an
interrupted and resumed grid, a failing model), MARCS models converted on the fly, the merged
table pair, and the Slurm array script of docs/."""
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import unittest

import atmotab_run as ar  # noqa: I001 (exits 77 without numpy or the program)

from atmotab import tables as at
from test_atmotab_tables import fortran_models

if shutil.which("parallel") is None:
    print("skipped: GNU parallel is not installed (Debian package 'parallel')")
    sys.exit(77)

NMODELS = 20
GRID = os.path.join(ar.TOOLS, "grid.py")

# A Fortran program that reads a unit-10/unit-11 pair with plain READ statements, model after
# model until the end of unit 10, each record with its exact list (a record shorter than its list
# is an error), and prints the number of depths and the title of each model.
FORTRAN_READER = """
program readpair
  implicit none
  integer :: nrhox, nedge, numnu, i, j, nmod
  real(8) :: teff, glog, edges(3, 377), idmol(60), momass(60), freqset(1131)
  character(len=8) :: title(74)
  character(len=74) :: text
  real(4) :: block(400), depth(2319), maxima(377 * 6 * 99)
  open(10, file='grid.fort.10', form='unformatted', access='sequential', status='old')
  open(11, file='grid.fort.11', form='unformatted', access='sequential', status='old')
  nmod = 0
  do
    read(10, end=900) nrhox, teff, glog, title
    read(11) nrhox, teff, glog, title
    read(10) nedge, ((edges(i, j), i = 1, 3), j = 1, nedge), idmol, momass
    read(11) nedge, ((edges(i, j), i = 1, 3), j = 1, nedge)
    read(10) numnu, (freqset(i), i = 1, numnu)
    read(11) numnu, (freqset(i), i = 1, numnu)
    read(10) block
    do j = 1, nrhox
      read(10) depth
    end do
    read(11) maxima
    nmod = nmod + 1
    do i = 1, 74
      text(i:i) = title(i)(1:1)
    end do
    write(*, '(I3, 1X, I3, 1X, A)') nmod, nrhox, trim(text)
  end do
900 read(11, end=910) nrhox
  stop 'unit 11 has more models than unit 10'
910 write(*, '(A, I4)') 'models', nmod
end program readpair
"""


def grid(*args, **kwargs):
    return subprocess.run([sys.executable, GRID, *args], capture_output=True, text=True, **kwargs)


def read_bytes(path):
    with open(path, "rb") as f:
        return f.read()


class Grid(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        """20 short decks, each with its own temperature scale, and each deck's tables from a run
        of its own."""
        cls.tmp = tempfile.TemporaryDirectory()
        root = cls.tmp.name
        cls.edges = ar.write(os.path.join(root, "edges.txt"), ar.SHORT_EDGES)
        cls.decks = os.path.join(root, "decks")
        os.mkdir(cls.decks)
        cls.alone = {}
        for k in range(1, NMODELS + 1):
            cards = ar.solar_cards(12, f"grid model {k}", 1.0 + 0.004 * k) + "END\n"
            ar.write(os.path.join(cls.decks, f"m{k:02d}.deck"), cards)
            single = os.path.join(root, "alone", f"m{k:02d}")
            os.makedirs(single)
            paths, _ = ar.run_program(single, cards)
            cls.alone[k] = (read_bytes(paths["table"]), read_bytes(paths["maxima"]))

    @classmethod
    def tearDownClass(cls):
        cls.tmp.cleanup()

    def folder(self, name):
        path = os.path.join(self.tmp.name, name)
        shutil.rmtree(path, ignore_errors=True)
        return path

    def model_file(self, out, k, unit):
        return os.path.join(out, "models", f"{k:05d}-m{k:02d}", f"fort.{unit}")

    def check_models(self, out, numbers):
        """The per-model tables of the grid are those of the decks run alone; the merged pair
        holds these models in order and reads back with both readers."""
        for k in numbers:
            self.assertEqual(read_bytes(self.model_file(out, k, 10)), self.alone[k][0], k)
            self.assertEqual(read_bytes(self.model_file(out, k, 11)), self.alone[k][1], k)
        merged = [os.path.join(out, f"grid.fort.{u}") for u in (10, 11)]
        for u, path in zip((0, 1), merged):
            self.assertEqual(read_bytes(path), b"".join(self.alone[k][u] for k in numbers))
        run = at.read(*merged)
        self.assertEqual(run.truncated, [])
        self.assertEqual([m.TITLE for m in run.models], [f"grid model {k}" for k in numbers])
        for unit, path in zip((10, 11), merged):
            theirs = fortran_models(path, unit)
            self.assertEqual([int(m["r1"]["nrhox"]) for m in theirs], [12] * len(numbers))
        with open(os.path.join(out, "grid.models")) as f:
            index = [ln.split("\t") for ln in f.read().splitlines()[1:]]
        self.assertEqual([(int(i[0]), i[1]) for i in index],
                         [(n, f"{k:05d}-m{k:02d}") for n, k in enumerate(numbers, 1)])

    def test_parallel_grid_equals_single_runs(self):
        out = self.folder("local")
        proc = grid("run", out, self.decks, "--edges", self.edges, "--program", ar.BINARY,
                    "--jobs", "2")
        self.assertEqual(proc.returncode, 0, proc.stderr)
        self.assertIn(f"{NMODELS} models: {NMODELS} done, 0 failed, 0 not run", proc.stderr)
        self.check_models(out, range(1, NMODELS + 1))
        if shutil.which("gfortran"):
            src = ar.write(os.path.join(out, "readpair.f90"), FORTRAN_READER)
            subprocess.run(["gfortran", "-o", os.path.join(out, "readpair"), src], check=True)
            proc = subprocess.run([os.path.join(out, "readpair")], cwd=out, capture_output=True,
                                  text=True)
            self.assertEqual(proc.returncode, 0, proc.stderr)
            want = [f"{k:3d}  12 grid model {k}" for k in range(1, NMODELS + 1)]
            self.assertEqual(proc.stdout.splitlines(), want + [f"models{NMODELS:4d}"])
        # The same command again runs nothing.
        proc = grid("run", out, self.decks, "--edges", self.edges, "--program", ar.BINARY)
        self.assertEqual(proc.returncode, 0, proc.stderr)
        self.assertIn(f"(this run: 0 ran, {NMODELS} skipped", proc.stderr)
        # Another list or edge list in the same folder is refused.
        proc = grid("run", out, os.path.join(self.decks, "m01.deck"), "--edges", self.edges,
                    "--program", ar.BINARY)
        self.assertEqual(proc.returncode, 2)
        self.assertIn("holds a grid of other inputs", proc.stderr)
        proc = grid("run", out, self.decks, "--edges", self.decks + "/m01.deck", "--program",
                    ar.BINARY)
        self.assertEqual(proc.returncode, 2)
        self.assertIn("with another program or edge list", proc.stderr)

    def test_remote_hosts(self):
        """Two stand-in hosts: an ssh that runs the command here, with a login's SHELL, as a host
        with the same file system would."""
        out = self.folder("remote")
        log = os.path.join(self.tmp.name, "ssh.log")
        ssh = ar.write(os.path.join(self.tmp.name, "ssh"), f"""#!/bin/sh
while [ $# -gt 0 ]; do case $1 in -o|-p|-l|-i|-S|-F) shift 2;; -*) shift;; *) break;; esac; done
echo "$1" >> {log}
shift
[ "${{1:-}}" = "--" ] && shift
# sshd always gives the remote command SHELL (GNU parallel's remote worker runs the job with it,
# and does nothing when it is unset, as in some CI environments)
SHELL=/bin/sh exec sh -c "$*"
""")
        os.chmod(ssh, 0o755)
        proc = grid("run", out, self.decks, "--edges", self.edges, "--program", ar.BINARY,
                    "--sshlogin", "1/hosta", "--sshlogin", "1/hostb", "--ssh", ssh)
        self.assertEqual(proc.returncode, 0, proc.stderr)
        with open(log) as f:
            self.assertEqual(set(f.read().split()), {"hosta", "hostb"})
        with open(os.path.join(out, "joblog")) as f:
            hosts = [ln.split("\t")[1] for ln in f.read().splitlines() if ln[:1].isdigit()]
        with open(os.path.join(out, "grid.batches")) as f:
            nbatches = len(f.read().splitlines())
        self.assertGreaterEqual(nbatches, 2)
        self.assertEqual((len(hosts), set(hosts)), (nbatches, {"hosta", "hostb"}))
        self.check_models(out, range(1, NMODELS + 1))

    def slow_program(self, calls):
        """A program that logs the decks of each --batch list (its last argument) to CALLS and
        starts 0.3 s late."""
        slow = ar.write(os.path.join(self.tmp.name, "slow-atmotab"), f"""#!/bin/sh
for list; do :; done
if [ -f "$list" ]; then cut -f1 "$list" >> {calls}; fi
sleep 0.3
exec {ar.BINARY} "$@"
""")
        os.chmod(slow, 0o755)
        return slow

    def done_models(self, out):
        return {k for k in range(1, NMODELS + 1) if os.path.isdir(os.path.dirname(
            self.model_file(out, k, 10)))}

    def stop_grid(self, args, out, signum, group):
        """Starts grid.py ARGS and sends it SIGNUM (to its process group, as a terminal's Ctrl-C,
        or to grid.py alone) once 4 models are done; returns (its exit status, its messages)."""
        first = subprocess.Popen([sys.executable, GRID, *args], start_new_session=True,
                                 stderr=subprocess.PIPE, text=True)
        deadline = time.monotonic() + 60
        while len(self.done_models(out)) < 4 and time.monotonic() < deadline:
            time.sleep(0.05)
        (os.killpg if group else os.kill)(first.pid, signum)
        _, err = first.communicate(timeout=60)
        return first.returncode, err

    def check_stopped(self, out, err):
        """After a stop: every model folder is a whole run, no work folder is left, nothing
        runs on, and the merge takes as many models as the report gave as done."""
        done = self.done_models(out)
        self.assertTrue(4 <= len(done) < NMODELS, done)
        self.assertIn(f"{NMODELS} models: {len(done)} done, 0 failed", err)
        for k in done:
            for u in (10, 11):
                f = at.read_file(self.model_file(out, k, u))
                self.assertEqual((len(f.models), f.truncated), (1, None))
        self.assertEqual([n for n in os.listdir(os.path.join(out, "models"))
                          if n.startswith(".")], [])
        time.sleep(1.0)  # jobs left running would finish models meanwhile
        self.assertEqual(self.done_models(out), done)
        proc = grid("merge", out)
        self.assertEqual(proc.returncode, 1, proc.stderr)
        self.assertIn(f"merged {len(done)} models", proc.stderr)
        return done

    def test_interrupted_grid_resumes(self):
        out = self.folder("resume")
        calls = os.path.join(self.tmp.name, "calls.log")
        args = ["run", out, self.decks, "--edges", self.edges, "--program",
                self.slow_program(calls), "--jobs", "2", "--batch", "1"]
        # As a terminal's Ctrl-C: SIGINT to the whole process group, after some models are done.
        status, err = self.stop_grid(args, out, signal.SIGINT, group=True)
        self.assertEqual(status, 130, err)
        self.assertIn("interrupted; run the same command again to resume", err)
        done = self.check_stopped(out, err)
        os.remove(calls)

        proc = grid(*args)
        self.assertEqual(proc.returncode, 0, proc.stderr)
        self.assertIn(f"(this run: {NMODELS - len(done)} ran, {len(done)} skipped", proc.stderr)
        with open(calls) as f:
            rerun = {int(os.path.basename(p)[1:3]) for p in f.read().split()}
        self.assertEqual(rerun, set(range(1, NMODELS + 1)) - done)
        self.check_models(out, range(1, NMODELS + 1))

    def test_sigterm_to_grid_alone_stops_its_jobs(self):
        """SIGTERM to grid.py only (a batch system, kill PID): GNU parallel and the running
        programs stop with it, in batches of several models. (SIGINT takes the same handler; its
        status and message are those of the Ctrl-C case above.)"""
        out = self.folder("stop-term")
        calls = os.path.join(self.tmp.name, "calls-term.log")
        args = ["run", out, self.decks, "--edges", self.edges, "--program",
                self.slow_program(calls), "--jobs", "2", "--batch", "2"]
        status, err = self.stop_grid(args, out, signal.SIGTERM, group=False)
        self.assertEqual(status, 128 + signal.SIGTERM, err)
        self.check_stopped(out, err)
        self.assertIn(f"`grid.py merge {out}` merges the", err)

    def test_failing_deck_leaves_the_others(self):
        out = self.folder("failing")
        decks = os.path.join(self.tmp.name, "decks-one-bad")
        shutil.rmtree(decks, ignore_errors=True)
        shutil.copytree(self.decks, decks)
        bad = os.path.join(decks, "m07.deck")
        with open(bad) as f:
            good_cards = f.read()
        ar.write(bad, good_cards.replace("ITERATIONS 1", "ITERATIONS ONE"))
        # m07 in the middle of the batch of models 6 to 10: the rest of the batch still runs.
        args = ["run", out, decks, "--edges", self.edges, "--program", ar.BINARY, "--batch", "5"]
        proc = grid(*args)
        self.assertEqual(proc.returncode, 1, proc.stderr)
        self.assertIn(f"FAILED 00007-m07 ({bad}): exit status 1: atmotab: ", proc.stderr)
        self.assertIn(f"{NMODELS} models: {NMODELS - 1} done, 1 failed", proc.stderr)
        self.assertIn(f"merged {NMODELS - 1} models", proc.stderr)
        # The failed model has no tables among the finished ones and left no work folder behind.
        self.assertFalse(any(os.path.exists(self.model_file(out, 7, u)) for u in (10, 11)))
        self.assertEqual([n for n in os.listdir(os.path.join(out, "models")) if n.startswith(".")],
                         [])
        others = [k for k in range(1, NMODELS + 1) if k != 7]
        self.check_models(out, others)
        # Mended, the failed model runs again on request, and only it.
        ar.write(bad, good_cards)
        proc = grid(*args, "--retry-failed")
        self.assertEqual(proc.returncode, 0, proc.stderr)
        self.assertIn(f"(this run: 1 ran, {NMODELS - 1} skipped", proc.stderr)
        self.check_models(out, range(1, NMODELS + 1))
        # A merge that cannot write (a part file leads to /dev/full) ends with status 2; the files
        # of the last merge stay, and no part file is left (grid.h5: when this build writes one).
        for merged in [m for m in ("grid.fort.11", "grid.h5") if os.path.exists(os.path.join(out, m))]:
            before = read_bytes(os.path.join(out, merged))
            os.symlink("/dev/full", os.path.join(out, merged + ".part"))
            proc = grid("merge", out)
            self.assertEqual(proc.returncode, 2, proc.stderr)
            self.assertIn("No space left on device", proc.stderr)
            self.assertEqual(read_bytes(os.path.join(out, merged)), before)
            self.assertEqual([n for n in os.listdir(out) if n.endswith(".part")], [])

    def test_batch_mode_runs_each_deck_from_a_new_state(self):
        """atmotab --batch: a deck after one that switched a source off, after a failing one and
        after a missing one gives the tables of its run alone (a state carried over from the deck
        before would change them); the status line of each deck is that of its run alone."""
        root = self.folder("batchmode")
        os.makedirs(root)
        plain = ar.solar_cards(12, "plain") + "END\n"
        off = ar.solar_cards(12, "h minus off").replace("BEGIN", "OPACITY OFF HMINUS\nBEGIN")
        decks = [  # (name, cards or None for a missing deck, status)
            ("off", off + "END\n", 0), ("plain", plain, 0),
            ("bad", plain.replace("ITERATIONS 1", "ITERATIONS ONE"), 1), ("missing", None, 2),
            ("again", plain, 0)]
        for name, cards, _ in decks:
            os.mkdir(os.path.join(root, name))
            if cards is not None:
                ar.write(os.path.join(root, name + ".deck"), cards)
        proc = subprocess.run([ar.BINARY, "--edges", self.edges, "--batch", "-"],
                              input="".join(f"{root}/{name}.deck\t{root}/{name}\n"
                                            for name, _, _ in decks),
                              capture_output=True, text=True)
        self.assertEqual(proc.returncode, 0, proc.stderr)
        self.assertEqual(proc.stdout, "".join(f"{status}\t{root}/{name}\n"
                                              for name, _, status in decks))
        for name, cards, status in decks:
            folder = os.path.join(root, name)
            if status != 0:
                self.assertIn(b"atmotab: ", read_bytes(os.path.join(folder, "stderr")))
                continue
            os.mkdir(folder + "-alone")
            paths, _ = ar.run_program(folder + "-alone", cards)
            for unit, key in (("fort.10", "table"), ("fort.11", "maxima"), ("listing", "listing")):
                self.assertEqual(read_bytes(os.path.join(folder, unit)),
                                 read_bytes(paths[key]), (name, unit))
        self.assertNotEqual(read_bytes(os.path.join(root, "off", "fort.10"))[200:],
                            read_bytes(os.path.join(root, "plain", "fort.10"))[200:])
        for bad_list in ("no tab here\n", "\tfolder\n"):
            proc = subprocess.run([ar.BINARY, "--edges", self.edges, "--batch", "-"],
                                  input=bad_list, capture_output=True, text=True)
            self.assertEqual(proc.returncode, 2)
            self.assertIn("--batch line 1: not DECK<tab>FOLDER", proc.stderr)

    def test_an_edited_input_runs_again(self):
        """Resume keeps a digest of each model's input and options: an edited deck runs again,
        an edited edge list runs every model again."""
        out = self.folder("digest")
        decks = os.path.join(self.tmp.name, "decks-edited")
        shutil.rmtree(decks, ignore_errors=True)
        shutil.copytree(self.decks, decks)
        edges = ar.write(os.path.join(self.tmp.name, "edges-edited.txt"), ar.SHORT_EDGES)
        args = ["run", out, decks, "--edges", edges, "--program", ar.BINARY, "--batch", "4"]
        self.assertEqual(grid(*args).returncode, 0)
        edited = ar.solar_cards(12, "grid model 3", 1.1) + "END\n"
        ar.write(os.path.join(decks, "m03.deck"), edited)
        alone = os.path.join(self.tmp.name, "digest-alone")
        os.makedirs(alone, exist_ok=True)
        paths, _ = ar.run_program(alone, edited)
        proc = grid(*args)
        self.assertEqual(proc.returncode, 0, proc.stderr)
        self.assertIn(f"(this run: 1 ran, {NMODELS - 1} skipped", proc.stderr)
        self.assertEqual(read_bytes(os.path.join(out, "grid.fort.10")),
                         b"".join(read_bytes(paths["table"]) if k == 3 else self.alone[k][0]
                                  for k in range(1, NMODELS + 1)))
        ar.write(edges, ar.SHORT_EDGES.replace("3000.", "2500."))
        proc = grid(*args)
        self.assertEqual(proc.returncode, 0, proc.stderr)
        self.assertIn(f"(this run: {NMODELS} ran, 0 skipped", proc.stderr)

    def test_molecules_and_usage_errors(self):
        """--molecules goes to every model (a deck that reads the molecule list fails without it,
        naming the option); the errors name the file that is wrong and the option to fix it."""
        deck = os.path.join(ar.EXAMPLES, "cool4000_molecules.deck")
        molecules = os.path.join(ar.SOURCE, "data", "molecules.dat")
        edges = os.path.join(ar.EXAMPLES, "edges.txt")
        out = self.folder("molecules")
        proc = grid("run", out, deck, "--edges", edges, "--program", ar.BINARY)
        self.assertEqual(proc.returncode, 1, proc.stderr)
        self.assertRegex(proc.stderr, r"FAILED 00001-cool4000_molecules .*molecule list.*")
        out = self.folder("molecules2")
        proc = grid("run", out, deck, "--edges", edges, "--molecules", molecules,
                    "--program", ar.BINARY)
        self.assertEqual(proc.returncode, 0, proc.stderr)
        alone = os.path.join(self.tmp.name, "molecules-alone")
        os.makedirs(alone, exist_ok=True)
        with open(deck) as f, open(edges) as e:
            paths, _ = ar.run_program(alone, f.read(), edges_text=e.read(),
                                      extra=("--molecules", molecules))
        for unit, key in ((10, "table"), (11, "maxima")):
            self.assertEqual(read_bytes(os.path.join(out, f"grid.fort.{unit}")),
                             read_bytes(paths[key]))
        missing = os.path.join(self.tmp.name, "no-such-atmotab")
        cases = [  # (arguments after the inputs, message)
            (["--edges", edges, "--program", missing],
             f"the option: {missing} is not an executable file"),
            (["--edges", edges, "--molecules", missing], f"--molecules {missing}: no such file"),
            (["--edges", missing], f"--edges {missing}: no such file"),
            (["--edges", edges, "--batch", "0"], "--batch must be at least 1"),
        ]
        for extra, message in cases:
            proc = grid("run", self.folder("usage"), deck, *extra)
            self.assertEqual(proc.returncode, 2, extra)
            self.assertIn(message, proc.stderr)

    def test_a_crash_fails_its_model_and_the_batch_goes_on(self):
        """A program process that dies in the middle of a batch (here a stand-in that crashes on
        one deck) fails that model with its signal; a new process runs the rest of the batch."""
        fake = ar.write(os.path.join(self.tmp.name, "crashing-atmotab"), f"""#!/bin/sh
for list; do :; done
while IFS="$(printf '\\t')" read -r deck folder; do
  case $deck in *m04.deck) kill -SEGV $$ ;; esac
  {ar.BINARY} "$1" "$2" --table "$folder/fort.10" --maxima "$folder/fort.11" <"$deck" \\
    >"$folder/listing" 2>"$folder/stderr"
  printf '%s\\t%s\\n' $? "$folder"
done <"$list"
""")
        os.chmod(fake, 0o755)
        out = self.folder("crash")
        proc = grid("run", out, self.decks, "--edges", self.edges, "--program", fake,
                    "--batch", "5")
        self.assertEqual(proc.returncode, 1, proc.stderr)
        self.assertIn(f"FAILED 00004-m04 ({self.decks}/m04.deck): signal 11: grid: the program "
                      "ended with status 139 in this model", proc.stderr)
        self.assertIn(f"{NMODELS} models: {NMODELS - 1} done, 1 failed", proc.stderr)
        self.check_models(out, [k for k in range(1, NMODELS + 1) if k != 4])

    def test_marcs_models_and_the_slurm_array(self):
        """A folder of MARCS models, converted on the fly; the same plan run as Slurm array tasks
        gives the same tables."""
        mods = os.path.join(self.tmp.name, "mods")
        shutil.rmtree(mods, ignore_errors=True)
        os.mkdir(mods)
        names = sorted(n for n in os.listdir(ar.EXAMPLES) if n.endswith(".mod"))
        for n in names:
            shutil.copy(os.path.join(ar.EXAMPLES, n), mods)
        out = self.folder("marcs")
        proc = grid("run", out, mods, "--edges", self.edges, "--program", ar.BINARY)
        self.assertEqual(proc.returncode, 0, proc.stderr)
        for k, n in enumerate(names, 1):
            deck = subprocess.run([sys.executable, os.path.join(ar.TOOLS, "marcs2deck.py"),
                                   os.path.join(mods, n)], capture_output=True, text=True,
                                  check=True).stdout
            single = os.path.join(self.tmp.name, f"marcs-alone-{k}")
            os.makedirs(single, exist_ok=True)
            paths, _ = ar.run_program(single, deck)
            base = os.path.join(out, "models", f"{k:05d}-{n[:-4][:80]}")
            self.assertEqual(read_bytes(base + "/fort.10"), read_bytes(paths["table"]), n)
            self.assertEqual(read_bytes(base + "/fort.11"), read_bytes(paths["maxima"]), n)

        slurm = self.folder("slurm")
        proc = grid("list", slurm, mods, "--edges", self.edges, "--program", ar.BINARY,
                    "--batch", "2")
        self.assertEqual(proc.returncode, 0, proc.stderr)
        script = os.path.join(ar.SOURCE, "docs", "grid.slurm")
        nbatches = (len(names) + 1) // 2
        self.assertIn(f"sbatch --array=1-{nbatches} ", proc.stderr)
        for task in [*range(1, nbatches + 1), 1]:  # the first one again: nothing to do
            env = dict(os.environ, GRID=slurm, SLURM_ARRAY_TASK_ID=str(task))
            proc = subprocess.run(["bash", script], env=env, capture_output=True, text=True)
            self.assertEqual(proc.returncode, 0, proc.stderr)
        proc = grid("merge", slurm)
        self.assertEqual(proc.returncode, 0, proc.stderr)
        for u in (10, 11):
            self.assertEqual(read_bytes(os.path.join(slurm, f"grid.fort.{u}")),
                             read_bytes(os.path.join(out, f"grid.fort.{u}")))
        env = dict(os.environ, GRID=slurm, SLURM_ARRAY_TASK_ID=str(nbatches + 1))
        proc = subprocess.run(["bash", script], env=env, capture_output=True, text=True)
        self.assertEqual(proc.returncode, 2)
        self.assertIn(f"no batch {nbatches + 1}", proc.stderr)


class GridParts(unittest.TestCase):
    """The batch job's record of a model, and the batch size."""

    def test_model_state(self):
        import atmotab.grid_job as job

        cases = [  # (files of models/M, files of models/M.failed, digest asked, state)
            (("fort.10", "fort.11", "digest:a"), (), "a", "done"),
            (("fort.10", "fort.11", "digest:a"), (), "b", None),  # input edited since
            (("fort.10", "digest:a"), (), "a", None),  # a table missing: not a whole run
            (("fort.10", "fort.11"), (), "a", None),  # no digest: not a finished record
            ((), ("listing", "digest:a"), "a", "failed"),
            ((), ("listing", "digest:a"), "b", None),  # mended since it failed
            (("fort.10", "fort.11", "digest:b"), ("digest:a",), "a", "failed"),
        ]
        for done, failed, digest, state in cases:
            with self.subTest(done=done, failed=failed, digest=digest), \
                    tempfile.TemporaryDirectory() as models:
                for folder, files in (("M", done), ("M.failed", failed)):
                    if files:
                        os.mkdir(os.path.join(models, folder))
                    for name in files:
                        name, _, text = name.partition(":")
                        ar.write(os.path.join(models, folder, name), text + "\n")
                self.assertEqual(job.model_state(models, "M", digest), state)

    def test_a_full_disk_at_a_models_end_leaves_nothing_of_it(self):
        # The job cannot record a finished model (its digest leads to /dev/full): not done, no
        # work folder left. Then, while a grid.py works in a folder, another is refused there.
        import contextlib
        import io

        import atmotab.grid_job as job
        from atmotab.grid import lock_grid

        with tempfile.TemporaryDirectory() as out:
            work = os.path.join(out, "models", ".00001-m.1")
            os.makedirs(work)
            os.symlink("/dev/full", os.path.join(work, "digest"))
            with contextlib.redirect_stderr(io.StringIO()):
                self.assertEqual(job.Batch(out, ar.BINARY, []).finish("00001-m", work, "a", 0), 2)
            self.assertEqual(os.listdir(os.path.join(out, "models")), [])
            held = lock_grid(out)
            proc = grid("merge", out)
            self.assertEqual(proc.returncode, 2, proc.stderr)
            self.assertIn("in use by another grid.py", proc.stderr)
            held.close()

    def test_batch_size(self):
        from atmotab.grid import MAX_BATCH, batch_size

        cases = [  # (models, job slots, models per batch)
            (200, 2, 50), (201, 2, 51), (20, 2, 5), (3, 8, 1), (0, 2, 1),
            (10 ** 6, 100, MAX_BATCH), (10, 0, 5),
        ]
        for nmodels, jobs, k in cases:
            self.assertEqual(batch_size(nmodels, jobs), k, (nmodels, jobs))

    def test_digest_follows_the_program_and_the_options(self):
        """(An edited deck or edge list: test_an_edited_input_runs_again.)"""
        import atmotab.grid_job as job

        with tempfile.TemporaryDirectory() as d:
            deck = ar.write(os.path.join(d, "a.deck"), "TITLE A\n")
            edges = ar.write(os.path.join(d, "edges"), "100. 0\n")

            def digest(program="/p", files=(("--edges", edges),)):
                return job.model_digest(job.options_digest(program, files), deck)

            seen = {digest()}
            self.assertEqual(digest(), min(seen))
            for what, value in (("program", digest(program="/q")),
                                ("option", digest(files=(("--molecules", edges),))),
                                ("option added", digest(files=(("--edges", edges),
                                                               ("--molecules", edges))))):
                self.assertNotIn(value, seen, what)
                seen.add(value)


if __name__ == "__main__":
    unittest.main()
