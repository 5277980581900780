"""Runs Quillon.exe under Wine on a private X server and reads its windows
through the inspection helper (inspect.exe), so the end-to-end tests check
control texts, states and menus (ids from the program's resource header)
rather than pixels. Each test works in its own copy of the run's pristine
Wine prefix, with its own X server, program folder and copier state."""
import os
import re
import shutil
import signal
import subprocess
import sys
import time
from pathlib import Path

MAIN_CAPTION = "Quillon Link"
MESSAGE_TEXT_ID = 0xFFFF  # the text of a message box
SETTINGS_KEY = "HKCU\\Software\\Morvane\\Quillon"
QUIET = dict(stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
# Debian's Wine leaves its own fonts (MS Sans Serif, Tahoma) out of a new
# prefix; without them the dialog font falls back to a wider one.
WINE_FONTS = Path("/usr/share/wine/fonts")
_HEADER = Path(__file__).resolve().parents[2] / "resources" / "resource_ids.h"
ID = {name: int(value) for name, value in re.findall(r"^#define\s+(ID\w+)\s+(\d+)", _HEADER.read_text(), re.M)}
LABELS = [v for k, v in ID.items() if k.startswith("IDC_LABEL_")]
FIELDS = [v for k, v in ID.items() if k.startswith("IDC_") and v not in LABELS + [ID["IDC_PLAY"], ID["IDC_PROGRESS"]]]


def check(condition, message):
    if not condition:
        raise AssertionError(message)


# CTest's time-out: leave through the session's clean-up.
signal.signal(signal.SIGTERM, lambda signum, frame: sys.exit(f"terminated by signal {signum}"))


def windows_path(path: Path) -> str:
    return "Z:" + str(Path(path).resolve()).replace("/", "\\")


def built_file(win64: Path, name: str) -> Path:
    """A file of the Windows build: the program, a helper or one of the emulator's libraries."""
    for folder in ("bin", "emulator", "emulator/dll"):
        if (win64 / folder / name).exists():
            return win64 / folder / name
    raise AssertionError(f"{name} is not built in {win64}")


def unescape(text: str) -> str:
    return re.sub(r"\\(.)", lambda m: {"n": "\n", "r": "\r", "t": "\t"}.get(m.group(1), m.group(1)), text)


def run(command, env: dict, timeout: float = 30, **options) -> subprocess.CompletedProcess:
    """Runs a command with its output captured. One that hangs on a busy
    machine counts as failed (124); the waits take their reading again."""
    try:
        return subprocess.run(command, env=env, capture_output=True, text=True, timeout=timeout, **options)
    except subprocess.TimeoutExpired:
        return subprocess.CompletedProcess(command, 124, "", "timed out")


class Window:
    """One reading of the program's windows as inspect.exe printed it."""

    def __init__(self, text: str):
        self.exists = self.enabled = self.menu_read = False
        self.controls, self.items, self.popups = {}, {}, {}
        self.others = []  # [{"caption", "children": {id: text}}]
        self.clipped = []
        for kind, *parts in (line.split("\t") for line in text.splitlines()):
            if kind == "main":
                self.exists, self.enabled = True, parts[0] == "1"
            elif kind == "control":
                flags = zip(("enabled", "focus", "default"), (flag == "1" for flag in parts[1:4]))
                self.controls[int(parts[0])] = dict(flags, text=unescape(parts[4]))
            elif kind == "window":
                self.others.append({"caption": unescape(parts[0]), "children": {}})
            elif kind == "child" and self.others:
                self.others[-1]["children"][int(parts[0])] = unescape(parts[4])
            elif kind == "item":
                self.items[int(parts[0])] = {"grey": parts[1] == "1", "checked": parts[2] == "1"}
            elif kind == "popup":
                self.popups[parts[0]] = {"grey": parts[1] == "1"}
            elif kind == "clipped":
                self.clipped.append(int(parts[0]))
            elif kind == "end":
                self.menu_read = True

    def text(self, control_id: int) -> str:
        return self.controls[control_id]["text"]

    def window(self, caption: str):
        return next((other for other in self.others if other["caption"] == caption), None)

    def top_menus_grey(self):
        return [popup["grey"] for place, popup in self.popups.items() if "." not in place]

    def checked(self, *item_ids):
        return [i for i in item_ids if self.items[i]["checked"]]

    def grey(self, *item_ids):
        return [i for i in item_ids if self.items[i]["grey"]]


def start_xvfb():
    xvfb = subprocess.Popen(["Xvfb", "-displayfd", "1", "-screen", "0", "1024x768x24", "-nolisten", "tcp"],
                            stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    return xvfb, ":" + xvfb.stdout.readline().decode().strip()


def stop_xvfb(xvfb):
    xvfb.terminate()
    xvfb.wait(timeout=10)


def wine_env(prefix: Path, display: str, **extra) -> dict:
    defaults = dict(WINEPREFIX=str(Path(prefix).resolve()), DISPLAY=display, WINEDEBUG="-all",
                    WINEDLLOVERRIDES="mscoree,mshtml=")
    return {**os.environ, **defaults, **extra}


def make_pristine_prefix(target: Path):
    """wineboot once per run, and Wine's own fonts; the tests copy the result."""
    shutil.rmtree(target, ignore_errors=True)
    target.parent.mkdir(parents=True, exist_ok=True)
    xvfb, display = start_xvfb()
    try:
        subprocess.run(["wineboot", "-i"], env=wine_env(target, display), check=True, timeout=300, **QUIET)
        subprocess.run(["wineserver", "-w"], env=wine_env(target, display), check=True, timeout=300)
    finally:
        stop_xvfb(xvfb)
    fonts = target / "drive_c" / "windows" / "Fonts"
    fonts.mkdir(parents=True, exist_ok=True)
    for font in WINE_FONTS.glob("*"):
        shutil.copy(font, fonts / font.name)
    (target / ".pristine").write_text("made by wineboot for the end-to-end tests\n")


class Session:
    """One test's copy of the run's pristine prefix, X server, program folder
    and emulated copier state. A failed test keeps its folder."""

    def __init__(self, name: str, work: Path, win64: Path):
        self.work, self.root, self.win64, self.pristine = work, work / name, win64, work / "pristine"
        self.prefix, self.app, self.files, self.state = (self.root / d for d in ("prefix", "app", "files", "state"))
        self.xvfb = self.program = self.display = None

    def __enter__(self):
        self.xvfb, self.display = start_xvfb()
        try:
            if not (self.pristine / ".pristine").exists():
                make_pristine_prefix(self.pristine)
            shutil.rmtree(self.root, ignore_errors=True)
            self.root.mkdir(parents=True)
            subprocess.run(["cp", "-a", str(self.pristine), str(self.prefix)], check=True)
            # Wine's daemons outlive the command that starts them and would
            # hold a captured output open: they start here, with no pipes.
            subprocess.run(["wineserver", "-p"], env=self.env(), check=True, **QUIET)
            self.app.mkdir()
            self.files.mkdir()
            for name in ("Quillon.exe", "inspect.exe", "window_probe.dll"):
                self.install(name)
            subprocess.run(["wine", str(self.app / "inspect.exe"), "controls"], env=self.env(), timeout=120, **QUIET)
        except BaseException:
            self.__exit__(*sys.exc_info())  # a failed set-up leaves no X server behind
            raise
        return self

    def __exit__(self, *exc):
        if self.program and self.program.poll() is None:
            self.program.kill()
        if self.prefix.exists():
            subprocess.run(["wineserver", "-k"], env=self.env(), **QUIET)
            if exc[0] is None:
                shutil.rmtree(self.root, ignore_errors=True)
        stop_xvfb(self.xvfb)
        return False

    def env(self, **extra) -> dict:
        return wine_env(self.prefix, self.display, **extra)

    def install(self, name: str, folder: Path = None, as_name: str = None):
        """Copies a file of the Windows build (say one of the emulator's port libraries) beside the program."""
        shutil.copy(built_file(self.win64, name), (folder or self.app) / (as_name or name))

    port_library = install

    # --- the program ----------------------------------------------------
    def start(self, sim_options: str = "device=swc", library: str = None):
        """Starts the program, with that port library of the emulator beside it."""
        if library:
            self.install(library)
        options = f"{sim_options},state={windows_path(self.state)}"
        with open(self.root / "program.log", "ab") as log:
            self.program = subprocess.Popen(["wine", str(self.app / "Quillon.exe")],
                                            env=self.env(QUILLON_SIM=options, WINEDEBUG="err+all"),
                                            stdin=subprocess.DEVNULL, stdout=log, stderr=log)
        # The menu probe is only sent in once the dialog has finished starting.
        self.wait_for(lambda w: w.exists and ID["IDC_PLAY"] in w.controls, 60, "the main window", menu=False)
        self.wait_for(lambda w: w.exists and w.menu_read, 30, "the main window's menu")
        self.focus_window(MAIN_CAPTION)

    def wait_exit(self, timeout: float) -> int:
        try:
            return self.program.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            raise AssertionError(f"the program did not end within {timeout} s")

    def inspect(self, *args) -> subprocess.CompletedProcess:
        return run(["wine", str(self.app / "inspect.exe"), *args], self.env())

    def read(self, menu: bool = True) -> Window:
        return Window(self.inspect("dump" if menu else "controls").stdout)

    def wait_for(self, condition, timeout: float, what: str, menu: bool = True) -> Window:
        deadline = time.monotonic() + timeout
        while True:
            last = self.read(menu)
            try:
                if condition(last):
                    return last
            except (KeyError, IndexError, TypeError):
                pass
            check(time.monotonic() <= deadline, f"timed out waiting for {what}; last: {last.controls} {last.others}")
            time.sleep(0.2)

    def wait_window(self, caption: str, timeout: float = 30) -> dict:
        return self.wait_for(lambda w: w.window(caption), timeout, f"the window {caption!r}").window(caption)

    def wait_closed(self, caption: str, timeout: float = 15):
        self.wait_for(lambda w: w.window(caption) is None, timeout, f"{caption!r} to close")

    def answer(self, caption: str, timeout: float = 30) -> str:
        """Waits for the program's window with that caption, ends it (Cancel,
        or OK) and returns its message text (empty for other windows)."""
        text = self.wait_window(caption, timeout)["children"].get(MESSAGE_TEXT_ID, "")
        check(self.inspect("dismiss", caption).returncode == 0, f"no window {caption!r} to dismiss")
        self.wait_closed(caption)
        return text

    def command(self, name: str):
        self.inspect("command", str(ID[name]))

    def drop(self, *paths: Path):
        """Drops the files on the main window, as a drag from the desktop does."""
        result = self.inspect("drop", *(windows_path(p) for p in paths))
        check(f"dropped\t{len(paths)}" in result.stdout, f"the drop did not reach the window: {result.stdout!r}")

    # --- keyboard ------------------------------------------------------------
    def xdotool(self, *args) -> subprocess.CompletedProcess:
        return run(["xdotool", *args], self.env())

    def x_window(self, caption: str) -> str:
        found = self.xdotool("search", "--onlyvisible", "--name", f"^{caption}$").stdout.split()
        check(found, f"no X window {caption!r}")
        return found[-1]

    def focus_window(self, caption: str):
        # No window manager here: the keyboard goes where we put the X focus.
        self.xdotool("windowfocus", "--sync", self.x_window(caption))

    def keys(self, *keys, window: str = MAIN_CAPTION):
        self.focus_window(window)
        self.xdotool("key", "--delay", "30", *keys)

    def type_text(self, text: str):
        self.xdotool("type", "--delay", "5", text)

    def open_dialog(self) -> dict:
        self.keys("ctrl+o")
        return self.wait_window("Open", 15)

    def open_file(self, path: Path):
        """File > Open through Ctrl+O, typing the path and Enter."""
        self.open_dialog()
        self.type_text(windows_path(path))
        self.keys("Return", window="Open")
        self.wait_closed("Open")

    open_files = open_file

    def screenshot(self):
        """The main window as an image in the run's folder, for the README."""
        target = self.work / "screenshot.png"
        subprocess.run(["/usr/bin/import", "-window", self.x_window(MAIN_CAPTION), str(target)], env=self.env(),
                       check=True)

    # --- what the program left behind ------------------------------------------
    def reg(self, *args) -> subprocess.CompletedProcess:
        return run(["wine", "reg", *args], self.env(), timeout=60)

    def settings(self) -> dict:
        lines = self.reg("query", SETTINGS_KEY).stdout.splitlines()
        return {p[0]: (p[1], p[2]) for p in (line.split() for line in lines) if len(p) == 3 and p[1].startswith("REG_")}

    def events(self) -> list:
        log = self.state / "events.log"
        return log.read_text().split("\n") if log.exists() else []

    def packets(self) -> list:
        """The function packets the emulated copier received."""
        return [e for e in self.events() if e.startswith("F ")]
