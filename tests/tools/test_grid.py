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
        return os.path.join(out, "models", f"{k:05d}-m{k:02d}.fort.{unit}")

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
            hosts = [ln.split("\t")[1] for ln in f.read().splitlines()[1:]]
        self.assertEqual((len(hosts), set(hosts)), (NMODELS, {"hosta", "hostb"}))
        self.check_models(out, range(1, NMODELS + 1))

    def test_interrupted_grid_resumes(self):
        out = self.folder("resume")
        calls = os.path.join(self.tmp.name, "calls.log")
        slow = ar.write(os.path.join(self.tmp.name, "slow-atmotab"), f"""#!/bin/sh
echo "$6" >> {calls}
sleep 0.3
exec {ar.BINARY} "$@"
""")
        os.chmod(slow, 0o755)
        args = ["run", out, self.decks, "--edges", self.edges, "--program", slow, "--jobs", "2"]
        # As a terminal's Ctrl-C: SIGINT to the whole process group, after some models are done.
        first = subprocess.Popen([sys.executable, GRID, *args], start_new_session=True,
                                 stderr=subprocess.PIPE, text=True)
        joblog = os.path.join(out, "joblog")

        def logged():
            if not os.path.exists(joblog):
                return set()
            with open(joblog) as f:
                return {int(ln.split("\t")[0]) for ln in f.read().splitlines()[1:]}

        deadline = time.monotonic() + 60
        while len(logged()) < 4 and time.monotonic() < deadline:
            time.sleep(0.05)
        os.killpg(first.pid, signal.SIGINT)
        _, err = first.communicate(timeout=60)
        self.assertEqual(first.returncode, 130, err)
        self.assertIn("interrupted; run the same command again to resume", err)
        done = logged()
        self.assertTrue(4 <= len(done) < NMODELS, done)
        # A model the job log has is finished; a table under its final name is always complete
        # (a model that finished as the grid stopped may have one without a job-log entry: it
        # runs again, to the same result).
        for k in range(1, NMODELS + 1):
            for u in (10, 11):
                path = self.model_file(out, k, u)
                if k in done:
                    self.assertTrue(os.path.exists(path), path)
                if os.path.exists(path):
                    f = at.read_file(path)
                    self.assertEqual((len(f.models), f.truncated), (1, None))
        os.remove(calls)

        proc = grid(*args)
        self.assertEqual(proc.returncode, 0, proc.stderr)
        self.assertIn(f"(this run: {NMODELS - len(done)} ran, {len(done)} skipped", proc.stderr)
        with open(calls) as f:
            rerun = {int(os.path.basename(p)[:5]) for p in f.read().split()}
        self.assertEqual(rerun, set(range(1, NMODELS + 1)) - done)
        self.check_models(out, range(1, NMODELS + 1))

    def test_failing_deck_leaves_the_others(self):
        out = self.folder("failing")
        decks = os.path.join(self.tmp.name, "decks-one-bad")
        shutil.rmtree(decks, ignore_errors=True)
        shutil.copytree(self.decks, decks)
        bad = os.path.join(decks, "m07.deck")
        with open(bad) as f:
            good_cards = f.read()
        ar.write(bad, good_cards.replace("ITERATIONS 1", "ITERATIONS ONE"))
        args = ["run", out, decks, "--edges", self.edges, "--program", ar.BINARY]
        proc = grid(*args)
        self.assertEqual(proc.returncode, 1, proc.stderr)
        self.assertIn(f"FAILED 00007-m07 ({bad}): exit status 1: atmotab: ", proc.stderr)
        self.assertIn(f"{NMODELS} models: {NMODELS - 1} done, 1 failed", proc.stderr)
        self.assertIn(f"merged {NMODELS - 1} models", proc.stderr)
        self.assertFalse(any(os.path.exists(self.model_file(out, 7, u) .replace(".fort.", ".part."))
                             for u in (10, 11)))
        others = [k for k in range(1, NMODELS + 1) if k != 7]
        self.check_models(out, others)
        # Mended, the failed model runs again on request, and only it.
        ar.write(bad, good_cards)
        proc = grid(*args, "--retry-failed")
        self.assertEqual(proc.returncode, 0, proc.stderr)
        self.assertIn(f"(this run: 1 ran, {NMODELS - 1} skipped", proc.stderr)
        self.check_models(out, range(1, NMODELS + 1))

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
            self.assertEqual(read_bytes(base + ".fort.10"), read_bytes(paths["table"]), n)
            self.assertEqual(read_bytes(base + ".fort.11"), read_bytes(paths["maxima"]), n)

        slurm = self.folder("slurm")
        proc = grid("list", slurm, mods, "--edges", self.edges, "--program", ar.BINARY)
        self.assertEqual(proc.returncode, 0, proc.stderr)
        script = os.path.join(ar.SOURCE, "docs", "grid.slurm")
        for task in [*range(1, len(names) + 1), 1]:  # the last one again: nothing to do
            env = dict(os.environ, GRID=slurm, SLURM_ARRAY_TASK_ID=str(task))
            proc = subprocess.run(["bash", script], env=env, capture_output=True, text=True)
            self.assertEqual(proc.returncode, 0, proc.stderr)
        proc = grid("merge", slurm)
        self.assertEqual(proc.returncode, 0, proc.stderr)
        for u in (10, 11):
            self.assertEqual(read_bytes(os.path.join(slurm, f"grid.fort.{u}")),
                             read_bytes(os.path.join(out, f"grid.fort.{u}")))
        env = dict(os.environ, GRID=slurm, SLURM_ARRAY_TASK_ID=str(len(names) + 1))
        proc = subprocess.run(["bash", script], env=env, capture_output=True, text=True)
        self.assertEqual(proc.returncode, 2)
        self.assertIn(f"no model {len(names) + 1}", proc.stderr)


if __name__ == "__main__":
    unittest.main()
