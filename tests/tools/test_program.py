"""atmotab.program.find_program: the option, $ATMOTAB, PATH, then the checkout's build folder, and
an error that names every place it looked."""
import os
import stat
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "python"))
from atmotab import program  # noqa: E402


def executable(path):
    with open(path, "w") as f:
        f.write("#!/bin/sh\n")
    os.chmod(path, stat.S_IRWXU)
    return path


class FindProgram(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.TemporaryDirectory()
        d = self.tmp.name
        self.given = executable(os.path.join(d, "given"))
        self.env = executable(os.path.join(d, "env"))
        os.makedirs(os.path.join(d, "bin"))
        os.makedirs(os.path.join(d, "checkout", "build"))
        self.on_path = executable(os.path.join(d, "bin", "atmotab"))
        self.built = executable(os.path.join(d, "checkout", "build", "atmotab"))
        self.plain = os.path.join(d, "not_executable")
        open(self.plain, "w").close()
        self.saved = program.CHECKOUT
        program.CHECKOUT = os.path.join(d, "checkout")

    def tearDown(self):
        program.CHECKOUT = self.saved
        self.tmp.cleanup()

    def find(self, given, env, path):
        """find_program with the option GIVEN, $ATMOTAB ENV (None: unset) and PATH."""
        environ = {"PATH": path} if env is None else {"PATH": path, "ATMOTAB": env}
        return program.find_program(given, environ)

    def test_order_of_the_places(self):
        bin_dir = os.path.dirname(self.on_path)
        empty = os.path.join(self.tmp.name, "checkout")  # a PATH without atmotab
        # (option, $ATMOTAB, PATH, expected)
        cases = [(self.given, self.env, bin_dir, self.given),
                 (None, self.env, bin_dir, self.env),
                 (None, None, bin_dir, self.on_path),
                 (None, "", bin_dir, self.on_path),
                 (None, None, empty, self.built)]
        for given, env, path, want in cases:
            self.assertEqual(self.find(given, env, path), want, (given, env, path))

    def test_errors_name_what_was_tried(self):
        empty = os.path.join(self.tmp.name, "checkout")
        os.remove(self.built)
        # (option, $ATMOTAB, words the message must hold)
        cases = [(None, None, ["the option: not set", "$ATMOTAB: not set", "PATH: no atmotab",
                               "build folder: " + self.built]),
                 (self.plain, None, ["the option: " + self.plain + " is not an executable"]),
                 (None, os.path.join(self.tmp.name, "missing"),
                  ["$ATMOTAB: " + os.path.join(self.tmp.name, "missing")])]
        for given, env, words in cases:
            with self.assertRaises(program.ProgramNotFound) as e:
                self.find(given, env, empty)
            for w in words:
                self.assertIn(w, str(e.exception))
        # A path given that is wrong is not passed over for one found later.
        with self.assertRaises(program.ProgramNotFound):
            program.find_program(self.plain, {"PATH": os.path.dirname(self.on_path)})


if __name__ == "__main__":
    unittest.main()
