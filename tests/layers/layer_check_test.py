#!/usr/bin/env python3
"""The layer check on small planted trees: each bad include fails it, each allowed one passes."""

import pathlib
import subprocess
import sys
import tempfile
import unittest

CHECK = pathlib.Path(__file__).with_name("layer_check.py")


def run_check(files):
    with tempfile.TemporaryDirectory() as root:
        for name, text in files.items():
            path = pathlib.Path(root, name)
            path.parent.mkdir(parents=True, exist_ok=True)
            path.write_text(text)
        result = subprocess.run([sys.executable, str(CHECK), root], capture_output=True, text=True)
        return result.returncode, result.stdout


class LayerCheck(unittest.TestCase):
    def test_bad_includes_fail(self):
        cases = {
            "upward from platform": ("platform/keyboard/keys.h", '#include "protocol/key.h"\n'),
            "core into media": ("core/link/a.cpp", '#include "media/studio.h"\n'),
            "media into core": ("media/a.cpp", '#include "core/link/pen_channel.h"\n'),
            "protocol into app": ("protocol/a.h", '  #  include "app/desktop-control/x.h"\n'),
            "design into core": ("design/colors.cpp", '#include "core/link/a.h"\n'),
            "app into tools": ("app/desktop-control/a.cpp", '#include "tools/pad/pad.h"\n'),
            "Qt in core": ("core/link/a.cpp", "#include <QObject>\n"),
            "Qt module path in media": ("media/a.cpp", "#include <QtCore/QString>\n"),
            "a fake in production": ("app/a.cpp", '#include "platform/clock/testing/fake.h"\n'),
            "a fake in a tool": ("tools/design-gallery/a.cpp", '#include "app/session/testing/fake.h"\n'),
            "tests from production": ("core/a.cpp", '#include "core/link/tests/support.h"\n'),
            "test support from production": ("platform/a.cpp",
                                             '#include "tests/support/scratch.h"\n'),
            "desktop control into the session": ("app/desktop-control/a.cpp",
                                                 '#include "app/session/mac_session.h"\n'),
            "the session into the interface": ("app/session/a.cpp",
                                               '#include "app/interface/card_art.h"\n'),
            "a session test into Studio": ("app/session/tests/a_test.cpp",
                                           '#include "app/studio/display_capture.h"\n'),
            "the session into the shell": ("app/session/a.cpp",
                                           '#include "app/shell/mac_shell.h"\n'),
            "updates into the session": ("app/updates/a.cpp",
                                         '#include "app/session/session_facade.h"\n'),
            "controls into permissions": ("app/controls/a.h",
                                          '#include "app/permissions/guide_model.h"\n'),
        }
        for name, (path, text) in cases.items():
            with self.subTest(name):
                code, out = run_check({path: text})
                self.assertEqual(code, 1)
                self.assertIn(f"{path}:1:", out)

    def test_allowed_includes_pass(self):
        code, out = run_check({
            "platform/input/a.cpp": '#include "platform/desktop/desktop.h"\n#include <vector>\n',
            "protocol/a.cpp": '#include "platform/crypto/crypto.h"\n#include "local.h"\n',
            "core/link/a.cpp": '#include "protocol/a.h"\n',
            "media/a.cpp": '#include "protocol/a.h"\n',
            "design/a.cpp": "#include <QColor>\n",
            "app/a.cpp": '#include "core/link/a.h"\n#include "design/a.h"\n#include <QObject>\n',
            "app/interface/a.cpp": '#include "app/session/a.h"\n#include "app/desktop-control/a.h"\n',
            "app/shell/a.cpp": '#include "app/updates/a.h"\n#include "app/permissions/a.h"\n',
            "app/session/a.cpp": '#include "app/permissions/a.h"\n#include "app/controls/a.h"\n',
            "app/studio/tests/a_test.cpp": '#include "app/session/testing/fake.h"\n',
            "app/main.cpp": '#include "app/interface/a.h"\n#include "app/studio/a.h"\n',
            "tools/pad/a.cpp": '#include "media/a.h"\n#include "core/link/a.h"\n',
            "tools/ui-shots/a.cpp": '#include "app/session/testing/fake_session.h"\n',
            "core/link/tests/a.cpp": '#include "tests/support/scratch.h"\n'
                                     '#include "platform/dispatch/testing/manual.h"\n',
            "media/bench/a.cpp": '#include "media/tests/fixtures.h"\n',
            "tests/e2e/host.cpp": '#include "tools/pad/a.h"\n',
            "build/default/platform/a.cpp": '#include "app/a.h"\n',
        })
        self.assertEqual((code, out), (0, ""))


if __name__ == "__main__":
    unittest.main()
