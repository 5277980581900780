"""Runs Quillon.exe under Wine on a private X server and reads its window
through the inspection helper (inspect.exe), so the end-to-end tests check
control texts, states and menus rather than pixels.

One pristine Wine prefix is made per test run (wineboot); every test works
in its own copy of it, with its own X server, program folder and emulated
copier state folder."""
import os
import shutil
import signal
import subprocess
import sys
import time
from pathlib import Path

MAIN_CAPTION = "Quillon Link"
PLAY_ID = 1001


class GuiFailure(AssertionError):
    pass


def _stop_on_sigterm(signum, frame):
    # CTest's time-out: leave through the sessions' clean-up.
    sys.exit(f"terminated by signal {signum}")


signal.signal(signal.SIGTERM, _stop_on_sigterm)


def windows_path(path: Path) -> str:
    return "Z:" + str(Path(path).resolve()).replace("/", "\\")


def unescape(text: str) -> str:
    out, i = [], 0
    while i < len(text):
        c = text[i]
        if c == "\\" and i + 1 < len(text):
            nxt = text[i + 1]
            out.append({"n": "\n", "r": "\r", "t": "\t", "\\": "\\"}.get(nxt, nxt))
            i += 2
        else:
            out.append(c)
            i += 1
    return "".join(out)


class Window:
    """One reading of the program's windows as inspect.exe printed it."""

    def __init__(self, text: str):
        self.exists = False
        self.enabled = False
        self.controls = {}
        self.items = {}
        self.popups = {}
        self.others = []  # [{"class", "caption", "children": [...]}]
        self.menu_read = False
        for line in text.splitlines():
            parts = line.split("\t")
            kind = parts[0]
            if kind == "main":
                self.exists = True
                self.enabled = parts[1] == "1"
            elif kind == "control":
                self.controls[int(parts[1])] = {
                    "class": parts[2],
                    "enabled": parts[3] == "1",
                    "focus": parts[4] == "1",
                    "default": parts[5] == "1",
                    "text": unescape(parts[6]) if len(parts) > 6 else "",
                }
            elif kind == "item":
                self.items[int(parts[1])] = {"grey": parts[2] == "1", "checked": parts[3] == "1", "text": unescape(parts[4])}
            elif kind == "popup":
                self.popups[parts[1]] = {"grey": parts[2] == "1", "text": unescape(parts[3])}
            elif kind == "end":
                self.menu_read = True
            elif kind == "window":
                self.others.append({"class": parts[1], "caption": unescape(parts[2]) if len(parts) > 2 else "", "children": []})
            elif kind == "child" and self.others:
                self.others[-1]["children"].append(
                    {"id": int(parts[1]), "class": parts[2], "enabled": parts[3] == "1", "text": unescape(parts[6]) if len(parts) > 6 else ""}
                )

    def text(self, control_id: int) -> str:
        return self.controls[control_id]["text"]

    def window(self, caption: str):
        for other in self.others:
            if other["caption"] == caption:
                return other
        return None

    def top_menus_grey(self):
        return [self.popups[str(p)]["grey"] for p in range(4)]


class Session:
    """A fresh prefix, X server and program folder for one test."""

    def __init__(self, name: str, work: Path, win64: Path, pristine: Path):
        self.name = name
        self.root = work / name
        self.win64 = win64
        self.pristine = pristine
        shutil.rmtree(self.root, ignore_errors=True)
        self.root.mkdir(parents=True)
        self.prefix = self.root / "prefix"
        self.app = self.root / "app"
        self.files = self.root / "files"
        self.state = self.root / "state"
        self.app.mkdir()
        self.files.mkdir()
        self.xvfb = None
        self.program = None
        self.display = None
        self.sim_options = "device=swc"

    # --- set-up -------------------------------------------------------
    def __enter__(self):
        subprocess.run(["cp", "-a", str(self.pristine), str(self.prefix)], check=True)
        self.xvfb = subprocess.Popen(
            ["Xvfb", "-displayfd", "1", "-screen", "0", "1024x768x24", "-nolisten", "tcp"],
            stdout=subprocess.PIPE,
            stderr=subprocess.DEVNULL,
        )
        self.display = ":" + self.xvfb.stdout.readline().decode().strip()
        for name in ("Quillon.exe", "inspect.exe", "window_probe.dll"):
            shutil.copy(self.win64 / "bin" / name, self.app / name)
        # Bring the prefix up (wineserver, services, desktop) with no pipes
        # attached: those daemons outlive the command that starts them, and
        # would hold a captured output open.
        quiet = dict(stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        subprocess.run(["wineserver", "-p"], env=self.env(), check=True, **quiet)
        subprocess.run(["wine", str(self.app / "inspect.exe"), "controls"], env=self.env(), timeout=120, **quiet)
        return self

    def __exit__(self, *exc):
        if self.program and self.program.poll() is None:
            self.program.kill()
        subprocess.run(["wineserver", "-k"], env=self.env(), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        if self.xvfb:
            self.xvfb.terminate()
            self.xvfb.wait(timeout=10)
        if exc[0] is None:
            shutil.rmtree(self.prefix, ignore_errors=True)  # a failed test keeps its prefix to look into
        return False

    def env(self, **extra):
        env = dict(os.environ)
        env.update(
            WINEPREFIX=str(self.prefix),
            DISPLAY=self.display or "",
            WINEDEBUG="-all",
            WINEDLLOVERRIDES="mscoree,mshtml=",
        )
        env.update(extra)
        return env

    def port_library(self, name: str, as_name: str = None):
        """Copies one of the emulator's port libraries beside the program."""
        for candidate in (self.win64 / "emulator" / name, self.win64 / "emulator" / "dll" / name, self.win64 / "bin" / name):
            if candidate.exists():
                shutil.copy(candidate, self.app / (as_name or name))
                return
        raise GuiFailure(f"the emulator's {name} is not built in {self.win64}")

    # --- the program ----------------------------------------------------
    def start(self, sim_options: str = None):
        if sim_options is not None:
            self.sim_options = sim_options
        options = f"{self.sim_options},state={windows_path(self.state)}"
        with open(self.root / "program.log", "ab") as log:
            self.program = subprocess.Popen(
                ["wine", str(self.app / "Quillon.exe")],
                env=self.env(QUILLON_SIM=options, WINEDEBUG="err+all"),
                stdin=subprocess.DEVNULL,
                stdout=log,
                stderr=log,
            )
        # The menu probe is only sent in once the dialog has finished starting.
        self.wait_for(lambda w: w.exists and PLAY_ID in w.controls, 30, "the main window", menu=False)
        self.wait_for(lambda w: w.exists and w.menu_read, 30, "the main window's menu")
        self.focus_main()

    def wait_exit(self, timeout: float) -> int:
        try:
            return self.program.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            raise GuiFailure(f"the program did not end within {timeout} s")

    def inspect(self, *args) -> subprocess.CompletedProcess:
        return subprocess.run(
            ["wine", str(self.app / "inspect.exe"), *args], env=self.env(), capture_output=True, text=True, timeout=30
        )

    def read(self, menu: bool = True) -> Window:
        return Window(self.inspect("dump" if menu else "controls").stdout)

    def wait_for(self, condition, timeout: float, what: str, menu: bool = True) -> Window:
        deadline = time.monotonic() + timeout
        last = None
        while True:
            last = self.read(menu)
            try:
                if condition(last):
                    return last
            except (KeyError, IndexError, TypeError):
                pass
            if time.monotonic() > deadline:
                raise GuiFailure(f"timed out waiting for {what}; last reading: controls={last.controls} others={last.others}")
            time.sleep(0.2)

    def command(self, command_id: int):
        self.inspect("command", str(command_id))

    def drop(self, *paths: Path):
        """Drops the files on the main window, as a drag from the desktop does."""
        result = self.inspect("drop", *(windows_path(p) for p in paths))
        if f"dropped\t{len(paths)}" not in result.stdout:
            raise GuiFailure(f"the drop did not reach the window: {result.stdout!r}")

    def dismiss(self, caption: str):
        result = self.inspect("dismiss", caption)
        if result.returncode != 0:
            raise GuiFailure(f"no window {caption!r} to dismiss")

    # --- keyboard ------------------------------------------------------------
    def xdotool(self, *args):
        return subprocess.run(["xdotool", *args], env=self.env(), capture_output=True, text=True, timeout=30)

    def focus_main(self):
        self.focus_window(MAIN_CAPTION)

    def focus_window(self, caption: str):
        # No window manager here: the keyboard goes where we put the X focus.
        found = self.xdotool("search", "--onlyvisible", "--name", f"^{caption}$").stdout.split()
        if not found:
            raise GuiFailure(f"no X window {caption!r}")
        self.xdotool("windowfocus", "--sync", found[-1])

    def keys(self, *keys):
        self.xdotool("key", "--delay", "30", *keys)

    def type_text(self, text: str):
        self.xdotool("type", "--delay", "5", text)

    def open_files(self, *paths: Path):
        """File > Open through Ctrl+O, typing the path(s) and Enter."""
        self.focus_main()
        self.keys("ctrl+o")
        self.wait_for(lambda w: w.window("Open") is not None, 15, "the Open dialog")
        if len(paths) == 1:
            self.type_text(windows_path(paths[0]))
        else:
            folder = windows_path(paths[0].parent)
            self.type_text(folder + "\\")
            self.keys("Return")
            time.sleep(0.5)
            self.type_text(" ".join(f'"{p.name}"' for p in paths))
        self.keys("Return")
        self.wait_for(lambda w: w.window("Open") is None, 15, "the Open dialog to close")

    def screenshot(self, target: Path):
        found = self.xdotool("search", "--onlyvisible", "--name", f"^{MAIN_CAPTION}$").stdout.split()
        convert = "/usr/bin/import"
        subprocess.run([convert, "-window", found[0] if found else "root", str(target)], env=self.env(), check=True)

    # --- wine registry ----------------------------------------------------
    def reg(self, *args) -> subprocess.CompletedProcess:
        return subprocess.run(["wine", "reg", *args], env=self.env(), capture_output=True, text=True, timeout=60)

    def settings(self) -> dict:
        out = self.reg("query", "HKCU\\Software\\Morvane\\Quillon").stdout
        values = {}
        for line in out.splitlines():
            parts = line.split()
            if len(parts) == 3 and parts[1].startswith("REG_"):
                values[parts[0]] = (parts[1], parts[2])
        return values

    def events(self) -> list:
        log = self.state / "events.log"
        return log.read_text().split("\n") if log.exists() else []


def make_pristine_prefix(target: Path):
    """wineboot once per run; the tests copy the result."""
    shutil.rmtree(target, ignore_errors=True)
    target.parent.mkdir(parents=True, exist_ok=True)
    xvfb = subprocess.Popen(
        ["Xvfb", "-displayfd", "1", "-screen", "0", "1024x768x24", "-nolisten", "tcp"],
        stdout=subprocess.PIPE,
        stderr=subprocess.DEVNULL,
    )
    display = ":" + xvfb.stdout.readline().decode().strip()
    env = dict(os.environ, WINEPREFIX=str(target), DISPLAY=display, WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree,mshtml=")
    try:
        subprocess.run(["wineboot", "-i"], env=env, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=300)
        subprocess.run(["wineserver", "-w"], env=env, check=True, timeout=300)
    finally:
        xvfb.terminate()
        xvfb.wait(timeout=10)
    (target / ".pristine").write_text("made by wineboot for the end-to-end tests\n")
