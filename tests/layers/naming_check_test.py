#!/usr/bin/env python3
"""The naming check on planted files: a k-prefixed name of ours fails, other libraries' names,
comments and strings pass, and the reported line is the name's."""

import pathlib
import subprocess
import sys
import tempfile
import unittest

CHECK = pathlib.Path(__file__).with_name("naming_check.py")


def run_check(text, path="app/session/a.cpp"):
    with tempfile.TemporaryDirectory() as root:
        file = pathlib.Path(root, path)
        file.parent.mkdir(parents=True)
        file.write_text(text)
        result = subprocess.run([sys.executable, str(CHECK), root], capture_output=True, text=True)
        return result.returncode, result.stdout


class NamingCheck(unittest.TestCase):
    def test_k_prefixed_names_of_ours_fail(self):
        for text in ("constexpr int kMaxRedirects = 5;\n",
                     "enum class Mode { kFast, slow };\n",
                     "static constexpr std::chrono::hours kCheckInterval{24};\n"):
            with self.subTest(text):
                code, out = run_check(text)
                self.assertEqual(code, 1)
                self.assertIn("app/session/a.cpp:1:", out)

    def test_other_libraries_comments_and_strings_pass(self):
        code, out = run_check(
            "->Unit(benchmark::kMillisecond);\n"
            "auto c = libyuv::kYuvI601Constants;\n"
            "// 16.7 kB a frame, kMaxRedirects in a comment\n"
            "/* kSpan\n   kOther */\n"
            'const char* text = "kNotAName";\n'
            "constexpr std::size_t maxRedirects = 5;\n")
        self.assertEqual(code, 0, out)

    def test_the_line_after_a_block_comment_is_counted_right(self):
        code, out = run_check("/* one\n two */\nint kLate = 1;\n")
        self.assertEqual(code, 1)
        self.assertIn("a.cpp:3:", out)


if __name__ == "__main__":
    unittest.main()
