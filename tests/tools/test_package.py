"""The Python package installed offline into fresh virtual environments: one that sees the
system's packages (numpy, matplotlib, setuptools, wheel from Debian) gets `pip install
--no-build-isolation`, and its commands run; a plain one gets the wheel built there (`--no-deps`:
without a package index numpy cannot be installed into it), and its commands say what is missing
instead of failing with a traceback."""
import glob
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

import atmotab_run as ar  # noqa: I001 (exits 77 without numpy or the program)

try:
    import ensurepip  # noqa: F401 (python3-venv: a venv with pip)
    import setuptools  # noqa: F401
    import wheel  # noqa: F401
except ImportError as e:
    print(f"skipped: {sys.executable} cannot build the package offline: no {e.name} "
          "(Debian: python3-venv, python3-setuptools, python3-wheel)")
    sys.exit(77)

ENV = dict(os.environ, PIP_DISABLE_PIP_VERSION_CHECK="1", PIP_NO_INDEX="1", PYTHONPATH="")


def sh(*args, cwd=None):
    return subprocess.run([str(a) for a in args], capture_output=True, text=True, env=ENV, cwd=cwd)


class Install(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.mkdtemp()
        t = cls.tmp
        cls.src = os.path.join(t, "src")  # pip builds in the source folder: a copy of it
        shutil.copytree(os.path.join(ar.SOURCE, "python"), cls.src,
                        ignore=shutil.ignore_patterns("build", "*.egg-info", "__pycache__"))
        cls.paths, _ = ar.run_program(t, ar.solar_cards(depths=20) + "END\n")
        cls.system = os.path.join(t, "system")
        cls.plain = os.path.join(t, "plain")
        for venv, extra in ((cls.system, ["--system-site-packages"]), (cls.plain, [])):
            p = sh(sys.executable, "-m", "venv", *extra, venv)
            assert p.returncode == 0, p.stderr
        p = sh(os.path.join(cls.system, "bin", "pip"), "install", "--no-build-isolation", cls.src)
        assert p.returncode == 0, p.stdout + p.stderr
        p = sh(os.path.join(cls.system, "bin", "pip"), "wheel", "--no-build-isolation",
               "--no-deps", "-w", os.path.join(t, "dist"), cls.src)
        assert p.returncode == 0, p.stdout + p.stderr
        (cls.wheel,) = glob.glob(os.path.join(t, "dist", "atmotab-*.whl"))

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.tmp)

    def command(self, venv, *args):
        return sh(os.path.join(venv, "bin", args[0]), *args[1:], cwd=self.tmp)

    def test_system_site_packages_venv(self):
        table = self.paths["table"]
        png = os.path.join(self.tmp, "opacity.png")
        # (command, what its output holds)
        cases = [(["atmotab-read", table], "unit 10, 1 model(s)"),
                 (["python", "-m", "atmotab", "read", "-q", "T", table], "4066.8"),
                 (["atmotab-plot", "opacity", table, "-o", png], "wrote"),
                 (["atmotab-marcs", os.path.join(ar.EXAMPLES, "sun.mod")], "TEFF    5777."),
                 (["atmotab-grid", "--help"], "usage"),
                 (["python", "-m", "atmotab", "--help"], "commands:")]
        for args, text in cases:
            p = self.command(self.system, *args)
            self.assertEqual(p.returncode, 0, f"{args}: {p.stderr}")
            self.assertIn(text, p.stdout, args)
        self.assertTrue(os.path.getsize(png) > 10000)
        # The installed copy, not the checkout's; its grid job script can run.
        p = self.command(self.system, "python", "-c", "import atmotab.grid as g; print(g.JOB)")
        self.assertIn(os.path.join(self.system, "lib"), p.stdout)
        self.assertTrue(os.access(p.stdout.strip(), os.X_OK))

    def test_plain_venv(self):
        p = self.command(self.plain, "pip", "install", "--no-deps", self.wheel)
        self.assertEqual(p.returncode, 0, p.stderr)
        p = self.command(self.plain, "atmotab-marcs", os.path.join(ar.EXAMPLES, "sun.mod"))
        self.assertEqual(p.returncode, 0, p.stderr)
        self.assertIn("GRAVITY 4.44", p.stdout)
        p = self.command(self.plain, "python", "-c", "import numpy")
        if p.returncode == 0:
            self.skipTest("numpy is installed in the plain environment")
        for args in (["atmotab-read", self.paths["table"]],
                     ["python", "-m", "atmotab", "read", self.paths["table"]]):
            p = self.command(self.plain, *args)
            self.assertEqual(p.returncode, 2, args)
            self.assertIn("needs numpy", p.stderr)
            self.assertIn("pip install numpy", p.stderr)
            self.assertNotIn("Traceback", p.stderr)


if __name__ == "__main__":
    unittest.main()
