"""./run with the build replaced by stand-ins (its packages, cmake and both programs): it starts the program
that keeps her records in her data folder, not the portable one whose records `rm -rf build` would take,
and brings records an earlier ./run kept in build/release/bin/ over without overwriting any."""

import os
import shutil
import stat
import subprocess
import sys
import tempfile
import unittest

RUN = sys.argv.pop(1)

# Each stand-in program says which one it is; cmake --build makes both.
FAKE_CMAKE = """#!/bin/sh
if [ "$1" = --build ]; then
    mkdir -p "$2/bin" "$2/installed-layout"
    printf '#!/bin/sh\\necho portable\\n' > "$2/bin/eveluna"
    printf '#!/bin/sh\\necho installed\\n' > "$2/installed-layout/eveluna"
    chmod +x "$2/bin/eveluna" "$2/installed-layout/eveluna"
fi
"""


class Run(unittest.TestCase):
    def setUp(self):
        self.root = tempfile.mkdtemp(prefix="eveluna-run-")
        self.tree = os.path.join(self.root, "tree")
        self.home = os.path.join(self.root, "home")
        self.tools = os.path.join(self.root, "tools")
        for folder in (os.path.join(self.tree, ".ci"), self.home, self.tools):
            os.makedirs(folder)
        shutil.copy2(RUN, os.path.join(self.tree, "run"))
        self.script(os.path.join(self.tree, ".ci", "ensure-packages"), "#!/bin/sh\nexit 0\n")
        self.script(os.path.join(self.tools, "cmake"), FAKE_CMAKE)
        self.portable = os.path.join(self.tree, "build", "release", "bin")
        self.data = os.path.join(self.home, ".local", "share", "eveluna")

    def tearDown(self):
        shutil.rmtree(self.root)

    @staticmethod
    def script(path, text):
        with open(path, "w") as f:
            f.write(text)
        os.chmod(path, 0o755)

    @staticmethod
    def write(folder, name, data):
        os.makedirs(folder, exist_ok=True)
        with open(os.path.join(folder, name), "wb") as f:
            f.write(data)

    @staticmethod
    def read(folder, name):
        with open(os.path.join(folder, name), "rb") as f:
            return f.read()

    def run_script(self):
        env = {k: v for k, v in os.environ.items() if k not in ("XDG_DATA_HOME", "WAYLAND_DISPLAY")}
        env.update(HOME=self.home, DISPLAY=":99", PATH=self.tools + os.pathsep + env.get("PATH", ""))
        run = subprocess.run([os.path.join(self.tree, "run")], capture_output=True, text=True, env=env, timeout=30)
        self.assertEqual(run.returncode, 0, run.stderr)
        return run.stdout

    def test_startsTheProgramWithRecordsInHerDataFolder(self):
        out = self.run_script()
        self.assertEqual(out.splitlines()[-1], "installed")
        self.assertIn(self.data, out)

    def test_recordsOfAnEarlierRun_areCopiedOnce_neverOverwritten(self):
        self.write(self.portable, "date.dat", b"2025/11/21\r\n")
        self.write(self.portable, "setting.ini", b"[Day Setting]\r\n")
        self.write(os.path.join(self.portable, "backup"), "keep", b"old")
        self.run_script()
        self.assertEqual(self.read(self.data, "date.dat"), b"2025/11/21\r\n")
        self.assertEqual(self.read(self.data, "setting.ini"), b"[Day Setting]\r\n")
        self.assertEqual(self.read(os.path.join(self.data, "backup"), "keep"), b"old")
        self.assertEqual(stat.S_IMODE(os.stat(self.data).st_mode), 0o700)
        self.assertEqual(self.read(self.portable, "date.dat"), b"2025/11/21\r\n")
        # Her data folder now has records: later runs leave them alone.
        self.write(self.data, "date.dat", b"2025/12/19\r\n")
        self.write(self.portable, "dateMemo.dat", b"2025/11/21,\"x\"\r\n")
        self.run_script()
        self.assertEqual(self.read(self.data, "date.dat"), b"2025/12/19\r\n")
        self.assertFalse(os.path.exists(os.path.join(self.data, "dateMemo.dat")))


if __name__ == "__main__":
    unittest.main()
