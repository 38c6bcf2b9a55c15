"""tools/check_layers.py: the tree keeps its layer order, and the check finds includes that break it."""
import os
import sys
import tempfile
import unittest

ROOT = os.environ.get("ATMOTAB_SOURCE_DIR", os.path.join(os.path.dirname(__file__), "..", ".."))
sys.path.insert(0, os.path.join(ROOT, "tools"))
import check_layers  # noqa: E402


def make_tree(files):
    """A temporary source tree holding FILES {relative path: text}."""
    tmp = tempfile.TemporaryDirectory()
    for rel, text in files.items():
        path = os.path.join(tmp.name, rel)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "w", encoding="utf-8") as f:
            f.write(text)
    return tmp


class CheckLayers(unittest.TestCase):
    def test_the_tree_has_no_include_against_the_order(self):
        self.assertEqual(check_layers.violations(ROOT), [])

    def test_upward_and_sideways_includes_are_found(self):
        tmp = make_tree({
            "fortio/a.h": '#include "fortio/b.h"\n#include "common/state.h"\n',
            "common/state.h": '#include "fortio/a.h"\n#include <vector>\n',
            "input/c.cpp": '#include "common/state.h"\n  #  include "populations/p.h"\n',
            "populations/p.h": '#include "input/c.h"\n',
            "opacity/k.cpp": '#include "populations/p.h"\n// #include "driver/x.h" is a comment\n',
            "driver/d.cpp": '#include "opacity/k.h"\n#include "input/c.h"\n',
        })
        with tmp:
            found = check_layers.violations(tmp.name)
            self.assertEqual(found, [
                ("fortio/a.h", 2, "common/state.h"),
                ("input/c.cpp", 2, "populations/p.h"),
                ("populations/p.h", 1, "input/c.h"),
            ])
            self.assertEqual(check_layers.main([tmp.name]), 1)

    def test_clean_tree_passes(self):
        with make_tree({"driver/d.cpp": '#include "fortio/error.h"\n'}) as root:
            self.assertEqual(check_layers.main([root]), 0)


if __name__ == "__main__":
    unittest.main()
