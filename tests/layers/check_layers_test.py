#!/usr/bin/env python3
"""scripts/check-layers on small made-up trees: each fault is named with its
file and line, and a tree that keeps the rule passes."""

import os
import subprocess
import sys
import tempfile
import unittest

CHECKER = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts",
                       "check-layers")

LAYERS = """# Notes

## Layers

1. `top` — the program.
2. `left` `right` — two that keep apart.
3. `base` — everything below.

## Other

1. `ignored` — a list of another section.
"""


class CheckLayersTest(unittest.TestCase):
    def setUp(self):
        self.root = None
        self.make_tree()

    def tearDown(self):
        self.root.cleanup()

    def make_tree(self):
        """A fresh tree that keeps the rule."""
        if self.root is not None:
            self.root.cleanup()
        self.root = tempfile.TemporaryDirectory()
        self.write("DEVELOPERS.md", LAYERS)
        self.write("src/top/main.cc",
                   '#include "left/l.h"\n#include "right/r.h"\n#include "base/b.h"\n')
        self.write("src/left/l.h", '#include <string>\n#include "base/b.h"\n')
        self.write("src/left/l.cc", '#include "left/l.h"\n')
        self.write("src/right/r.h", '#include "base/b.h"\n')
        self.write("src/base/b.h", "")
        self.write("src/base/b.cc", '#include "base/b.h"\n')
        self.write("src/base/b_test.cc", '#include "base/b.h"\n#include "support/t.h"\n')
        self.write("tests/support/t.h", '#include "base/b.h"\n#include "peer/p.h"\n')
        self.write("tools/peer/p.h", "")

    def write(self, path, text):
        full = os.path.join(self.root.name, path)
        os.makedirs(os.path.dirname(full), exist_ok=True)
        with open(full, "w", encoding="utf-8") as f:
            f.write(text)

    def run_checker(self):
        result = subprocess.run([sys.executable, CHECKER, self.root.name], capture_output=True,
                                text=True, check=False)
        return result.returncode, result.stdout.splitlines()

    def test_a_tree_that_keeps_the_rule_passes(self):
        self.assertEqual(self.run_checker(), (0, []))

    def test_each_fault_names_its_file_and_line(self):
        cases = [
            ("a higher layer, from a test file too",
             {"src/base/b_test.cc": '#include "base/b.h"\n\n#include "left/l.h"\n'},
             ["src/base/b_test.cc:3: base includes \"left/l.h\" of left, a higher layer",
              "src/base/b_test.cc:3: folders base and left include each other "
              "(and src/left/l.h:2)"]),
            ("a module of the same layer",
             {"src/right/r.cc": '#include "right/r.h"\n#include "left/l.h"\n'},
             ["src/right/r.cc:2: right includes \"left/l.h\" of left: the two share a layer "
              "and keep apart"]),
            ("a relative way to a higher layer",
             {"src/base/c.cc": '#include "../top/main.cc"\n'},
             ["src/base/c.cc:1: base includes \"../top/main.cc\" of top, a higher layer",
              "src/base/c.cc:1: folders base and top include each other "
              "(and src/top/main.cc:3)"]),
            ("a folder the list lacks",
             {"src/extra/e.h": ""},
             ["src/extra: a folder that the layer list of DEVELOPERS.md lacks"]),
            ("an include that is no file",
             {"src/left/m.cc": '#include "left/gone.h"\n'},
             ["src/left/m.cc:1: \"left/gone.h\" is no file of src/, tests/ or tools/"]),
            ("a tool used by the program's own files, tests included",
             {"src/base/b_test.cc": '#include "base/b.h"\n#include "peer/p.h"\n'},
             ["src/base/b_test.cc:2: \"peer/p.h\" is a tool's; only the test helpers of "
              "tests/support use the tools"]),
        ]
        for name, files, expected in cases:
            with self.subTest(name):
                self.make_tree()
                for path, text in files.items():
                    self.write(path, text)
                self.assertEqual(self.run_checker(), (1, expected))

    def test_files_including_each_other_over_any_number_of_steps(self):
        # A header and its source are one file: a.cc -> b.h, b.cc -> c.h,
        # c.h -> a.h is a loop of three.
        self.write("src/base/a.h", "")
        self.write("src/base/a.cc", '#include "base/a.h"\n#include "base/b.h"\n')
        self.write("src/base/b.cc", '#include "base/b.h"\n#include "base/c.h"\n')
        self.write("src/base/c.h", '\n#include "base/a.h"\n')
        self.assertEqual(self.run_checker(), (1, [
            "src/base/a.cc:2: files include each other: src/base/a -> src/base/b -> "
            "src/base/c -> src/base/a (src/base/a.cc:2, src/base/b.cc:2, src/base/c.h:2)"]))

    def test_without_a_layer_list_nothing_passes(self):
        self.write("DEVELOPERS.md", "# Notes\n\nNo list here.\n")
        self.assertEqual(self.run_checker(),
                         (1, ["DEVELOPERS.md: no layer list found under \"## Layers\""]))


if __name__ == "__main__":
    unittest.main()
