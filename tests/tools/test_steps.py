"""tools/steps.sh: a check script ends on one summary line and its exit status says whether a step failed."""
import os
import subprocess
import unittest

ROOT = os.environ.get("ATMOTAB_SOURCE_DIR", os.path.join(os.path.dirname(__file__), "..", ".."))
STEPS = os.path.abspath(os.path.join(ROOT, "tools", "steps.sh"))


def run_steps(body):
    """Runs a bash script that sources steps.sh, runs BODY and ends with steps_end; (status, stdout lines)."""
    script = f"set -euo pipefail\nsource {STEPS}\n{body}\nsteps_end demo\n"
    p = subprocess.run(["bash", "-c", script], capture_output=True, text=True, check=False)
    return p.returncode, p.stdout.splitlines()


class Steps(unittest.TestCase):
    def test_summary_and_status(self):
        # (steps, exit status, last line)
        cases = [
            ("step a true\nstep b true",
             0, "demo: 2 passed, 0 failed (passed: a, b); exit status 0"),
            ("step a true\nstep 'b c' false\nstep d true",
             1, "demo: 2 passed, 1 failed (failed: b c; passed: a, d); exit status 1"),
            # a step stops at its first failing command, and a step after a failed one is not run
            ("f() { false; echo reached; }\nstep build f\nstep_after tests build echo ran\nstep fuzz true",
             1, "demo: 1 passed, 1 failed (failed: build; passed: fuzz; "
                "not run: tests (after build failed)); exit status 1"),
            ("step_after tests build true\nstep_not_run format 'no clang-format'",
             0, "demo: 1 passed, 0 failed (passed: tests; not run: format (no clang-format)); "
                "exit status 0"),
            ("step a false", 1, "demo: 0 passed, 1 failed (failed: a; passed: none); exit status 1"),
        ]
        for body, status, last in cases:
            with self.subTest(body=body):
                rc, lines = run_steps(body)
                self.assertEqual(rc, status)
                self.assertEqual(lines[-1], last)
                self.assertNotIn("reached", lines)
                self.assertNotIn("ran", lines)


if __name__ == "__main__":
    unittest.main()
