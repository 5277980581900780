"""Runs Quillon.exe under Wine on a private X server and reads its windows
through the inspection helper (inspect.exe), so the end-to-end tests check
control texts, states and menus (ids from the program's resource headers)
rather than pixels. Each test works in its own copy of the run's pristine
Wine prefix, with its own X server, program folder, copier state and the
small files it loads."""
import os
import random
import re
import shutil
import signal
import struct
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
RESOURCES = Path(__file__).resolve().parents[2] / "resources"
ID = {
    name: int(value)
    for header in ("resource_ids.h", "other_address_ids.h")
    for name, value in re.findall(r"^#define\s+(ID\w+)\s+(\d+)", (RESOURCES / header).read_text(), re.M)
}
LABELS = list(range(ID["IDC_LABEL_ROM_FILE"], ID["IDC_LABEL_PATCH_FILE"] + 1))
FIELDS = list(range(ID["IDC_ROM_FILE"], ID["IDC_PATCH_FILE"] + 1))
TITLE = b"QUILLON GUI TEST"
PATCH_OFFSET, PATCH_PAYLOAD = 0x1100, b"PATCHED!"


def check(condition, message):
    if not condition:
        raise AssertionError(message)


# CTest's time-out: leave through the session's clean-up.
signal.signal(signal.SIGTERM, lambda signum, frame: sys.exit(f"terminated by signal {signum}"))


def windows_path(path: Path) -> str:
    return "Z:" + str(Path(path).resolve()).replace("/", "\\")


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
        self.menu_read = False
        self.controls, self.items, self.others, self.top_menus_grey, self.clipped = {}, {}, [], [], []
        for kind, *parts in (line.split("\t") for line in text.splitlines()):
            if kind == "control":
                self.controls[int(parts[0])] = {"enabled": parts[1] == "1", "text": unescape(parts[2])}
            elif kind == "window":  # another window of the program: {"caption", "children": {id: text}}
                self.others.append({"caption": unescape(parts[0]), "children": {}})
            elif kind == "child" and self.others:
                self.others[-1]["children"][int(parts[0])] = unescape(parts[2])
            elif kind == "item":
                self.items[int(parts[0])] = {"grey": parts[1] == "1", "checked": parts[2] == "1", "text": parts[3]}
            elif kind == "popup":
                self.top_menus_grey.append(parts[0] == "1")
            elif kind == "clipped":
                self.clipped.append(int(parts[0]))
            elif kind == "end":
                self.menu_read = True

    def text(self, control_id: int) -> str:
        return self.controls[control_id]["text"]

    def window(self, caption: str):
        return next((other for other in self.others if other["caption"] == caption), None)

    def checked(self, *item_ids):
        return [i for i in item_ids if self.items[i]["checked"]]

    def grey(self, *item_ids):
        return [i for i in item_ids if self.items[i]["grey"]]


def snes_rom():
    data = bytearray(random.Random(1).randbytes(256 * 1024))  # varied: a misplaced block shows in the copier
    # Fast LoROM, 2 Mbit, 64 kbit SRAM, USA, Nintendo, version 1.2, then the checksum pair.
    header = TITLE.ljust(21, b" ") + bytes([0x20, 0x02, 0x08, 0x03, 0x01, 0x01, 0x02])
    data[0x7FC0:0x8000] = (header + struct.pack("<HH", 0xEDCB, 0x1234)).ljust(64, b"\0")
    return bytes(data)


def write_set(folder: Path):
    """game.smc with its SRAM and patch companions."""
    (folder / "game.smc").write_bytes(snes_rom())
    (folder / "game.srm").write_bytes(bytes((i * 3) & 0xFF for i in range(8192)))
    # The patch's offsets count with a 512-byte copier header.
    ips = b"PATCH" + PATCH_OFFSET.to_bytes(3, "big") + len(PATCH_PAYLOAD).to_bytes(2, "big") + PATCH_PAYLOAD + b"EOF"
    (folder / "game.ips").write_bytes(ips)


def idle(w: Window) -> bool:
    return w.text(ID["IDC_PLAY"]) == "&Play" and not any(w.top_menus_grey) and w.text(ID["IDC_PROGRESS"]) == ""


def wine_env(prefix: Path, display: str, **extra) -> dict:
    defaults = dict(WINEPREFIX=str(Path(prefix).resolve()), DISPLAY=display, WINEDEBUG="-all",
                    WINEDLLOVERRIDES="mscoree,mshtml=")
    return {**os.environ, **defaults, **extra}


def make_pristine_prefix(target: Path):
    """wineboot once per run (it needs no display), and Wine's own fonts; the tests copy the result."""
    shutil.rmtree(target, ignore_errors=True)
    target.parent.mkdir(parents=True, exist_ok=True)
    subprocess.run(["wineboot", "-i"], env=wine_env(target, ""), check=True, timeout=300, **QUIET)
    subprocess.run(["wineserver", "-w"], env=wine_env(target, ""), check=True, timeout=300)
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
        self.xvfb = subprocess.Popen(["Xvfb", "-displayfd", "1", "-screen", "0", "1024x768x24", "-nolisten", "tcp"],
                                     stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        self.display = ":" + self.xvfb.stdout.readline().decode().strip()
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
            subprocess.run(["wine", str(self.app / "inspect.exe"), "dump"], env=self.env(), timeout=120, **QUIET)
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
        self.xvfb.terminate()
        self.xvfb.wait(timeout=10)
        return False

    def env(self, **extra) -> dict:
        return wine_env(self.prefix, self.display, **extra)

    def install(self, name: str, folder: Path = None, as_name: str = None):
        """Copies a file of the Windows build (the program, a helper, one of the emulator's port libraries)."""
        built = [self.win64 / d / name for d in ("bin", "emulator") if (self.win64 / d / name).exists()]
        check(built, f"{name} is not built in {self.win64}")
        shutil.copy(built[0], (folder or self.app) / (as_name or name))

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
        self.wait_for(lambda w: ID["IDC_PLAY"] in w.controls and w.menu_read, 60, "the main window and its menu")
        self.focus_window(MAIN_CAPTION)

    def quit(self, how=("command", str(ID["IDM_EXIT"])), timeout: float = 20):
        """Ends the program through File > Exit (or another inspect.exe verb); it must exit with 0 in time."""
        self.inspect(*how)
        check(self.program.wait(timeout=timeout) == 0, "exit code")

    def inspect(self, *args) -> subprocess.CompletedProcess:
        return run(["wine", str(self.app / "inspect.exe"), *args], self.env())

    def read(self) -> Window:
        return Window(self.inspect("dump").stdout)

    def wait_for(self, condition, timeout: float, what: str) -> Window:
        deadline = time.monotonic() + timeout
        while True:
            last = self.read()
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
        """Drops the files on the main window, as a drag from the desktop does:
        the probe that a reading loads into the program finds the list and posts the drop."""
        (self.app / "drop.txt").write_text("".join(windows_path(p) + "\n" for p in paths))
        result = self.inspect("dump")
        check(f"dropped\t{len(paths)}" in result.stdout, f"the drop did not reach the window: {result.stdout!r}")

    # --- keyboard ---------------------------------------------------------------
    def xdotool(self, *args) -> subprocess.CompletedProcess:
        return run(["xdotool", *args], self.env())

    def focus_window(self, caption: str):
        # No window manager here: the keyboard goes where we put the X focus.
        found = self.xdotool("search", "--onlyvisible", "--name", f"^{caption}$").stdout.split()
        check(found, f"no X window {caption!r}")
        self.xdotool("windowfocus", "--sync", found[-1])

    def keys(self, *keys):
        self.focus_window(MAIN_CAPTION)
        self.xdotool("key", "--delay", "30", *keys)

    def enter(self, window: str, text: str):
        """Types into the window's focused field and presses Enter."""
        self.focus_window(window)
        self.xdotool("type", "--delay", "5", text)
        self.xdotool("key", "Return")

    def open_dialog(self) -> dict:
        self.keys("ctrl+o")
        return self.wait_window("Open", 15)

    def load_game(self):
        """Writes the test files and opens game.smc through Ctrl+O; its companions come with it."""
        write_set(self.files)
        self.open_dialog()
        self.enter("Open", windows_path(self.files / "game.smc"))
        return self.wait_for(lambda w: w.text(ID["IDC_ROM_FILE"]) == "game.smc", 15, "the ROM in the window")

    def upload_and_run(self, timeout: float):
        """F5 with the game loaded: the copier ends up holding the patched ROM and the SRAM, and runs it."""
        self.keys("F5")
        self.wait_for(lambda w: "F 01" in " ".join(self.packets()) and idle(w), timeout, "the upload and execute")
        rom = bytearray(snes_rom())
        rom[PATCH_OFFSET - 512 : PATCH_OFFSET - 512 + len(PATCH_PAYLOAD)] = PATCH_PAYLOAD
        check((self.state / "dram.bin").read_bytes()[: len(rom)] == rom, "DRAM does not hold the patched ROM")
        sram = (self.files / "game.srm").read_bytes()
        check((self.state / "sram.bin").read_bytes()[: len(sram)] == sram, "SRAM is not game.srm")
        check([e[:4] for e in self.packets()][-2:] == ["F 05", "F 01"], f"execute packets: {self.packets()}")

    # --- what the program left behind ------------------------------------------
    def reg(self, *args) -> subprocess.CompletedProcess:
        return run(["wine", "reg", *args], self.env(), timeout=60)

    def settings(self) -> dict:
        lines = self.reg("query", SETTINGS_KEY).stdout.splitlines()
        return {p[0]: (p[1], p[2]) for p in (line.split() for line in lines) if len(p) == 3 and p[1].startswith("REG_")}

    def packets(self) -> list:
        """The function packets the emulated copier received."""
        log = self.state / "events.log"
        return [e for e in log.read_text().split("\n") if e.startswith("F ")] if log.exists() else []
