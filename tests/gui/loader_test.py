#!/usr/bin/env python3
"""The Windows port-library loader under Wine, through loader_probe.exe:
which library it binds, from which folder, and when it gives up.

    loader_test.py WORK WIN64DIR

Each case runs the probe from a fresh folder holding only the libraries the
case puts there, in a copy of the run's pristine prefix, with the emulated
copier (QUILLON_SIM) behind the emulator's libraries."""
import shutil
import subprocess
import sys
import tempfile
from pathlib import Path

sys.dont_write_bytecode = True  # no __pycache__ in the source tree
sys.path.insert(0, str(Path(__file__).resolve().parent))
from harness import WinePrefix, built_file, windows_path  # noqa: E402

# The load-failure text as the probe prints it (newlines escaped).
FAILURE = (
    "failed: Could not load IO.DLL\\nThis file is used to communicate with your copier.\\n"
    "You can download IO.DLL from http://www.geekhideout.com/iodll.shtml"
)
IO, MISSING, INPOUT = "io.dll", "io_missing_export.dll", "inpoutx64.dll"


class Case:
    def __init__(self, name, beside, in_cwd, bound_as):
        self.name = name
        self.beside = beside  # {name there: built file}, next to the probe
        self.in_cwd = in_cwd  # the same, in the folder the probe is started from
        self.bound_as = bound_as  # the library that must be bound, or None for the failure text


CASES = [
    Case("io_dll_beside_the_program", {IO: IO}, {}, IO),
    Case("io_dll_without_IsDriverInstalled", {IO: MISSING}, {}, None),
    Case("inpout_after_an_unusable_io_dll", {IO: MISSING, INPOUT: INPOUT}, {}, INPOUT),
    Case("io_dll_only_in_the_current_folder", {}, {IO: IO}, None),
]


def run_case(case: Case, root: Path, win64: Path, env: dict) -> list:
    app, cwd = root / "app", root / "cwd"
    app.mkdir()
    cwd.mkdir()
    shutil.copy(built_file(win64, "loader_probe.exe"), app / "loader_probe.exe")
    for folder, files in ((app, case.beside), (cwd, case.in_cwd)):
        for as_name, name in files.items():
            shutil.copy(built_file(win64, name), folder / as_name)
    # Output to files, not pipes: the Wine daemons the first run starts would
    # inherit the pipes and keep them open after the probe has ended.
    with open(root / "stdout", "w") as out, open(root / "stderr", "w") as err:
        command = ["wine", str(app / "loader_probe.exe")]
        result = subprocess.run(command, cwd=cwd, env=env, stdin=subprocess.DEVNULL, stdout=out, stderr=err, timeout=30)
    # The first line only: a crash adds Wine's whole debugger dump.
    line = ((root / "stdout").read_text().strip().splitlines() or [""])[0]
    stderr = ((root / "stderr").read_text().strip().splitlines() or [""])[0]
    problems = []
    if case.bound_as is None:
        if result.returncode != 1 or line != FAILURE:
            problems.append(f"expected the failure text and exit 1, got exit {result.returncode}: {line!r}")
        if "still loaded" in stderr:
            problems.append(f"a rejected library was not freed: {stderr.strip()!r}")
        return problems
    # Exactly the expected library, loaded from beside the program.
    expected = f"bound {case.bound_as}@{windows_path(app / case.bound_as)} driver=1 status=0x"
    if result.returncode != 0 or not line.lower().startswith(expected.lower()) or len(line) != len(expected) + 2:
        problems.append(f"expected {expected!r}XX and exit 0, got exit {result.returncode}: {line!r} {stderr!r}")
    return problems


def main(argv):
    if len(argv) != 3:
        sys.exit(__doc__)
    work, win64 = Path(argv[1]).resolve(), Path(argv[2]).resolve()
    wine = WinePrefix(work / "loader", work / "pristine")
    env = wine.env(QUILLON_SIM="device=swc")
    failures = 0
    try:
        for case in CASES:
            problems = run_case(case, Path(tempfile.mkdtemp(prefix=case.name + ".", dir=wine.root)), win64, env)
            print(f"{'FAIL' if problems else 'ok  '} {case.name}")
            for problem in problems:
                print(f"     {problem}")
            failures += bool(problems)
    finally:
        wine.close(passed=failures == 0)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
