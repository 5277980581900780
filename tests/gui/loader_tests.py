"""The Windows port-library loader under Wine, through loader_probe.exe: which
library it binds, from which folder, and when it gives up. Each case runs the
probe from a fresh folder holding only the libraries the case puts there,
with the emulated copier (QUILLON_SIM) behind the emulator's libraries."""
from harness import Session, check, run, windows_path

# The load-failure text as the probe prints it (newlines escaped).
FAILURE = (
    "failed: Could not load IO.DLL\\nThis file is used to communicate with your copier.\\n"
    "You can download IO.DLL from http://www.geekhideout.com/iodll.shtml"
)
IO, MISSING, INPOUT = "io.dll", "io_missing_export.dll", "inpoutx64.dll"
# name, {name beside the probe: built file}, the same in the folder it starts from, the library bound (None: failure)
CASES = [
    ("io_dll_beside_the_program", {IO: IO}, {}, IO),
    ("io_dll_without_IsDriverInstalled", {IO: MISSING}, {}, None),
    ("inpout_after_an_unusable_io_dll", {IO: MISSING, INPOUT: INPOUT}, {}, INPOUT),
    ("io_dll_only_in_the_current_folder", {}, {IO: IO}, None),
]


def loader_problems(s: Session, name: str, beside: dict, in_cwd: dict, bound_as) -> list:
    app, cwd = s.root / name / "app", s.root / name / "cwd"
    for folder, files in ((app, {"loader_probe.exe": "loader_probe.exe", **beside}), (cwd, in_cwd)):
        folder.mkdir(parents=True)
        for as_name, built in files.items():
            s.install(built, folder, as_name)
    result = run(["wine", str(app / "loader_probe.exe")], s.env(QUILLON_SIM="device=swc"), cwd=cwd)
    # The first lines only: a crash adds Wine's whole debugger dump.
    line, stderr = ((text.strip().splitlines() or [""])[0] for text in (result.stdout, result.stderr))
    if bound_as is None:
        problems = [] if result.returncode == 1 and line == FAILURE else [f"exit {result.returncode}: {line!r}"]
        return problems + ([f"a rejected library was not freed: {stderr!r}"] if "still loaded" in stderr else [])
    # Exactly the expected library, loaded from beside the program; the status byte is any two hex digits.
    expected = f"bound {bound_as}@{windows_path(app / bound_as)} driver=1 status=0x"
    if result.returncode == 0 and line.lower().startswith(expected.lower()) and len(line) == len(expected) + 2:
        return []
    return [f"expected {expected!r}XX and exit 0, got exit {result.returncode}: {line!r} {stderr!r}"]


def test_port_library_loader(s: Session):
    problems = [f"{case[0]}: {problem}" for case in CASES for problem in loader_problems(s, *case)]
    check(problems == [], "\n".join(problems))
