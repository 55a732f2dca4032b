#!/usr/bin/env python3
"""The include-order guard on a planted tree: each kind of upward include is
caught and named, and the includes that run down the layers are let through."""
import pathlib
import subprocess
import sys
import tempfile

script = pathlib.Path(sys.argv[1])

planted = {
    # Allowed: down the layers, into res/ from the shell, Windows headers in the shell.
    "core/net/ok.h": '#include "core/base/clock.h"\n#include <vector>\n',
    "shell/frame/ok.h": '#include <windows.h>\n#include "core/ui/markup.h"\n#include "res/resource.h"\n'
    '#include "shell/win/window.h"\n',
    # Each of these breaks the order once.
    "core/base/up.h": '#include "core/net/network_info.h"\n',
    "core/net/shell.cpp": '#  include "shell/win/window.h"\n',
    "core/base/windows.cpp": "#include <Windows.h>\n",
    "core/ui/resource.h": '#include "res/resource.h"\n',
    "shell/views/frame.h": '#include "shell/frame/main_frame.h"\n',
}
expected = [
    "core/base/up.h:1",
    "core/base/windows.cpp:1",
    "core/net/shell.cpp:1",
    "core/ui/resource.h:1",
    "shell/views/frame.h:1",
]

with tempfile.TemporaryDirectory() as root:
    for name, text in planted.items():
        path = pathlib.Path(root, name)
        path.parent.mkdir(parents=True, exist_ok=True)
        path.write_text(text)
    run = subprocess.run([sys.executable, script, root], capture_output=True, text=True)
    found = sorted(line.split(": ")[0] for line in run.stderr.splitlines() if line.startswith(("core/", "shell/")))
    if run.returncode != 1 or found != expected:
        print(f"exit {run.returncode}, faults {found}, expected {expected}\n{run.stderr}")
        sys.exit(1)

real = subprocess.run([sys.executable, script, script.parent.parent / "src"], capture_output=True, text=True)
if real.returncode != 0:
    print("the source tree breaks the include order:\n" + real.stderr)
    sys.exit(1)
print("the planted faults were caught and the source tree keeps the order")
