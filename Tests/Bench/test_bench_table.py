"""The page writer of bench_table.py: the table goes between the page's
markers and nothing else on the page changes."""

import os
import shutil
import sys
import tempfile
import unittest

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..")
sys.path.insert(0, os.path.join(ROOT, "Benchmarks"))

from bench_table import TABLE_BEGINS, TABLE_ENDS, write_into_page  # noqa: E402

PERFORMANCE_PAGE = os.path.join(ROOT, "docs", "performance.md")


class WriteIntoPageTest(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.mkdtemp()
        self.addCleanup(shutil.rmtree, self.folder)
        self.path = os.path.join(self.folder, "page.md")

    def write(self, text):
        with open(self.path, "w", encoding="utf-8") as file:
            file.write(text)

    def read(self):
        with open(self.path, encoding="utf-8") as file:
            return file.read()

    def test_replaces_only_the_table(self):
        self.write(f"# Figures\n\nbefore\n{TABLE_BEGINS}\n\nold | table\n\n{TABLE_ENDS}\nafter\n")
        self.assertTrue(write_into_page(self.path, "| new | table |"))
        self.assertEqual(self.read(),
                         f"# Figures\n\nbefore\n{TABLE_BEGINS}\n\n| new | table |\n\n{TABLE_ENDS}\nafter\n")

    def test_refuses_a_page_without_both_markers_in_order(self):
        for text in ("no markers\n", f"{TABLE_BEGINS}\nno end\n", f"{TABLE_ENDS}\n{TABLE_BEGINS}\n"):
            with self.subTest(text=text):
                self.write(text)
                self.assertFalse(write_into_page(self.path, "| new |"))
                self.assertEqual(self.read(), text)
        self.assertFalse(write_into_page(os.path.join(self.folder, "missing.md"), "| new |"))

    def test_the_performance_page_is_as_the_writer_writes_it(self):
        shutil.copy(PERFORMANCE_PAGE, self.path)
        page = self.read()
        begin = page.index(TABLE_BEGINS) + len(TABLE_BEGINS)
        table = page[begin:page.index(TABLE_ENDS)].strip("\n")
        self.assertTrue(write_into_page(self.path, table))
        self.assertEqual(self.read(), page)


if __name__ == "__main__":
    unittest.main()
