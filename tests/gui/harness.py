"""Runs Quillon.exe under Wine on a private X server and reads its window
through the inspection helper (inspect.exe), so the end-to-end tests check
control texts, states and menus rather than pixels.

One pristine Wine prefix is made per test run (wineboot); every test works
in its own copy of it, with its own X server, program folder and emulated
copier state folder. Control and command ids come from the resource header
the program is built with."""
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
QUIET = dict(stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
# Debian's Wine leaves its own fonts (MS Sans Serif, Tahoma) out of a new
# prefix; without them the dialog font falls back to a wider one.
WINE_FONTS = Path("/usr/share/wine/fonts")


def _resource_ids() -> dict:
    header = Path(__file__).resolve().parents[2] / "resources" / "resource_ids.h"
    return {name: int(value) for name, value in re.findall(r"^#define\s+(ID\w+)\s+(\d+)", header.read_text(), re.M)}


ID = _resource_ids()
LABELS = [v for k, v in ID.items() if k.startswith("IDC_LABEL_")]
FIELDS = [v for k, v in ID.items() if k.startswith("IDC_") and not k.startswith("IDC_LABEL_")
          and k not in ("IDC_PLAY", "IDC_PROGRESS")]


class GuiFailure(AssertionError):
    pass


def check(condition, message):
    if not condition:
        raise GuiFailure(message)


def _stop_on_sigterm(signum, frame):
    # CTest's time-out: leave through the sessions' clean-up.
    sys.exit(f"terminated by signal {signum}")


signal.signal(signal.SIGTERM, _stop_on_sigterm)


def windows_path(path: Path) -> str:
    return "Z:" + str(Path(path).resolve()).replace("/", "\\")


def built_file(win64: Path, name: str) -> Path:
    """A file of the Windows build: the program, a helper or one of the emulator's libraries."""
    for candidate in (win64 / "bin" / name, win64 / "emulator" / name, win64 / "emulator" / "dll" / name):
        if candidate.exists():
            return candidate
    raise GuiFailure(f"{name} is not built in {win64}")


def unescape(text: str) -> str:
    return re.sub(r"\\(.)", lambda m: {"n": "\n", "r": "\r", "t": "\t"}.get(m.group(1), m.group(1)), text)


class Window:
    """One reading of the program's windows as inspect.exe printed it."""

    def __init__(self, text: str):
        self.exists = self.enabled = self.menu_read = False
        self.controls, self.items, self.popups = {}, {}, {}
        self.others = []  # [{"caption", "children": {id: text}}]
        self.clipped = []
        for line in text.splitlines():
            kind, *parts = line.split("\t")
            if kind == "main":
                self.exists, self.enabled = True, parts[0] == "1"
            elif kind in ("control", "child"):
                control = {"class": parts[1], "enabled": parts[2] == "1", "focus": parts[3] == "1",
                           "default": parts[4] == "1", "text": unescape(parts[5]) if len(parts) > 5 else ""}
                if kind == "control":
                    self.controls[int(parts[0])] = control
                elif self.others:
                    self.others[-1]["children"][int(parts[0])] = control["text"]
            elif kind == "item":
                self.items[int(parts[0])] = {"grey": parts[1] == "1", "checked": parts[2] == "1"}
            elif kind == "popup":
                self.popups[parts[0]] = {"grey": parts[1] == "1"}
            elif kind == "clipped":
                self.clipped.append(int(parts[0]))
            elif kind == "end":
                self.menu_read = True
            elif kind == "window":
                self.others.append({"caption": unescape(parts[1]) if len(parts) > 1 else "", "children": {}})

    def text(self, control_id: int) -> str:
        return self.controls[control_id]["text"]

    def window(self, caption: str):
        return next((other for other in self.others if other["caption"] == caption), None)

    def top_menus_grey(self):
        return [self.popups[str(p)]["grey"] for p in range(4)]

    def checked(self, *item_ids):
        return [i for i in item_ids if self.items[i]["checked"]]

    def grey(self, *item_ids):
        return [i for i in item_ids if self.items[i]["grey"]]


def start_xvfb():
    xvfb = subprocess.Popen(["Xvfb", "-displayfd", "1", "-screen", "0", "1024x768x24", "-nolisten", "tcp"],
                            stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    return xvfb, ":" + xvfb.stdout.readline().decode().strip()


def wine_env(prefix: Path, display: str = "", **extra) -> dict:
    env = dict(os.environ, WINEPREFIX=str(Path(prefix).resolve()), DISPLAY=display, WINEDEBUG="-all",
               WINEDLLOVERRIDES="mscoree,mshtml=")
    env.update(extra)
    return env


class WinePrefix:
    """A copy of the run's pristine prefix with its wineserver, started with
    no pipes attached: the daemons outlive the command that starts them and
    would hold a captured output open. A failed test keeps its folder."""

    def __init__(self, root: Path, pristine: Path, display: str = ""):
        self.root, self.prefix, self.display = root, root / "prefix", display
        if not (pristine / ".pristine").exists():
            make_pristine_prefix(pristine)
        shutil.rmtree(root, ignore_errors=True)
        root.mkdir(parents=True)
        subprocess.run(["cp", "-a", str(pristine), str(self.prefix)], check=True)
        subprocess.run(["wineserver", "-p"], env=self.env(), check=True, **QUIET)

    def env(self, **extra) -> dict:
        return wine_env(self.prefix, self.display, **extra)

    def close(self, passed: bool):
        subprocess.run(["wineserver", "-k"], env=self.env(), **QUIET)
        if passed:
            shutil.rmtree(self.root, ignore_errors=True)


class Session:
    """A fresh prefix, X server and program folder for one test."""

    def __init__(self, name: str, work: Path, win64: Path):
        self.root, self.win64, self.pristine = work / name, win64, work / "pristine"
        self.app, self.files, self.state = self.root / "app", self.root / "files", self.root / "state"
        self.xvfb = self.program = self.wine = None

    def __enter__(self):
        self.xvfb, display = start_xvfb()
        try:
            self.wine = WinePrefix(self.root, self.pristine, display)
            self.app.mkdir()
            self.files.mkdir()
            for name in ("Quillon.exe", "inspect.exe", "window_probe.dll"):
                shutil.copy(built_file(self.win64, name), self.app / name)
            subprocess.run(["wine", str(self.app / "inspect.exe"), "controls"], env=self.env(), timeout=120, **QUIET)
        except BaseException:
            self.__exit__(*sys.exc_info())  # a failed set-up leaves no X server behind
            raise
        return self

    def __exit__(self, *exc):
        if self.program and self.program.poll() is None:
            self.program.kill()
        if self.wine:
            self.wine.close(passed=exc[0] is None)
        if self.xvfb:
            self.xvfb.terminate()
            self.xvfb.wait(timeout=10)
        return False

    def env(self, **extra):
        return self.wine.env(**extra)

    def port_library(self, name: str):
        """Copies one of the emulator's port libraries beside the program."""
        shutil.copy(built_file(self.win64, name), self.app / name)

    # --- the program ----------------------------------------------------
    def start(self, sim_options: str = "device=swc"):
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
            raise GuiFailure(f"the program did not end within {timeout} s")

    def inspect(self, *args) -> subprocess.CompletedProcess:
        command = ["wine", str(self.app / "inspect.exe"), *args]
        try:
            return subprocess.run(command, env=self.env(), capture_output=True, text=True, timeout=30)
        except subprocess.TimeoutExpired:
            # A busy machine: a reading that fails is taken again by the waits.
            return subprocess.CompletedProcess(command, 124, "", "timed out")

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
            if time.monotonic() > deadline:
                raise GuiFailure(f"timed out waiting for {what}; last: controls={last.controls} others={last.others}")
            time.sleep(0.2)

    def wait_window(self, caption: str, timeout: float = 30) -> dict:
        found = self.wait_for(lambda w: w.window(caption) is not None, timeout, f"the window {caption!r}")
        return found.window(caption)

    def answer(self, caption: str, timeout: float = 30) -> str:
        """Waits for the program's window with that caption, ends it (Cancel,
        or OK) and returns its message text (empty for other windows)."""
        texts = self.wait_window(caption, timeout)["children"].get(MESSAGE_TEXT_ID, "")
        if self.inspect("dismiss", caption).returncode != 0:
            raise GuiFailure(f"no window {caption!r} to dismiss")
        self.wait_for(lambda w: w.window(caption) is None, 15, f"{caption!r} to close")
        return texts

    def command(self, name: str):
        self.inspect("command", str(ID[name]))

    def drop(self, *paths: Path):
        """Drops the files on the main window, as a drag from the desktop does."""
        result = self.inspect("drop", *(windows_path(p) for p in paths))
        if f"dropped\t{len(paths)}" not in result.stdout:
            raise GuiFailure(f"the drop did not reach the window: {result.stdout!r}")

    # --- keyboard ------------------------------------------------------------
    def xdotool(self, *args):
        return subprocess.run(["xdotool", *args], env=self.env(), capture_output=True, text=True, timeout=30)

    def x_window(self, caption: str) -> str:
        found = self.xdotool("search", "--onlyvisible", "--name", f"^{caption}$").stdout.split()
        if not found:
            raise GuiFailure(f"no X window {caption!r}")
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

    def open_files(self, *paths: Path):
        """File > Open through Ctrl+O, typing the path(s) and Enter."""
        self.open_dialog()
        if len(paths) == 1:
            self.type_text(windows_path(paths[0]))
        else:
            self.type_text(windows_path(paths[0].parent) + "\\")
            self.keys("Return", window="Open")
            time.sleep(0.5)
            self.type_text(" ".join(f'"{p.name}"' for p in paths))
        self.keys("Return", window="Open")
        self.wait_for(lambda w: w.window("Open") is None, 15, "the Open dialog to close")

    def screenshot(self, target: Path):
        subprocess.run(["/usr/bin/import", "-window", self.x_window(MAIN_CAPTION), str(target)], env=self.env(),
                       check=True)

    # --- what the program left behind ------------------------------------------
    def reg(self, *args) -> subprocess.CompletedProcess:
        return subprocess.run(["wine", "reg", *args], env=self.env(), capture_output=True, text=True, timeout=60)

    def settings(self) -> dict:
        out = self.reg("query", "HKCU\\Software\\Morvane\\Quillon").stdout
        return {p[0]: (p[1], p[2]) for p in (line.split() for line in out.splitlines())
                if len(p) == 3 and p[1].startswith("REG_")}

    def events(self) -> list:
        log = self.state / "events.log"
        return log.read_text().split("\n") if log.exists() else []

    def packets(self) -> list:
        """The function packets the emulated copier received."""
        return [e for e in self.events() if e.startswith("F ")]


def make_pristine_prefix(target: Path):
    """wineboot once per run, and Wine's own fonts; the tests copy the result."""
    shutil.rmtree(target, ignore_errors=True)
    target.parent.mkdir(parents=True, exist_ok=True)
    xvfb, display = start_xvfb()
    env = wine_env(target, display)
    try:
        subprocess.run(["wineboot", "-i"], env=env, check=True, timeout=300, **QUIET)
        subprocess.run(["wineserver", "-w"], env=env, check=True, timeout=300)
    finally:
        xvfb.terminate()
        xvfb.wait(timeout=10)
    fonts = target / "drive_c" / "windows" / "Fonts"
    fonts.mkdir(parents=True, exist_ok=True)
    for font in WINE_FONTS.glob("*"):
        shutil.copy(font, fonts / font.name)
    (target / ".pristine").write_text("made by wineboot for the end-to-end tests\n")
