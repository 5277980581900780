#!/usr/bin/env python3
"""End-to-end tests of Quillon.exe under Wine, against the emulated copier
of io.dll (options in QUILLON_SIM, memory and events in a state folder) or
the bridge simulator behind a pseudo-terminal that Wine shows as a COM port.

    gui_tests.py prepare WORK            make the pristine Wine prefix of this run
    gui_tests.py run NAME WORK WIN64DIR  run one test in a copy of it
    gui_tests.py list                    the test names
"""
import os
import random
import re
import subprocess
import sys
import time
from pathlib import Path

sys.dont_write_bytecode = True  # no __pycache__ in the source tree
from harness import FIELDS, ID, LABELS, QUIET, SETTINGS_KEY, TITLE, Session, check, idle, make_pristine_prefix  # noqa
from harness import run, windows_path, write_set  # noqa: E402

PLAY, PROGRESS, ROM_FILE, SRAM_FILE = ID["IDC_PLAY"], ID["IDC_PROGRESS"], ID["IDC_ROM_FILE"], ID["IDC_SRAM_FILE"]
UPLOAD_ITEMS = [ID[n] for n in ("IDM_UPLOAD_AND_RUN", "IDM_UPLOAD_AND_RUN_REALTIME", "IDM_UPLOAD_ROM",
                                "IDM_UPLOAD_ROM_IPS", "IDM_UPLOAD_SRAM", "IDM_UPLOAD_REALTIME")]
SWC_ONLY_ITEMS = [ID[n] for n in ("IDM_CARTRIDGE_INFO", "IDM_EXECUTE_REALTIME", "IDM_DOWNLOAD_REALTIME")]
DEVICES = [ID["IDM_DEVICE_SWC"], ID["IDM_DEVICE_SMD"]]
PORTS = [ID[n] for n in ("IDM_LPT1", "IDM_LPT2", "IDM_LPT3", "IDM_PORT_BRIDGE", "IDM_PORT_OTHER_ADDRESS")]
LPT1, BRIDGE, OTHER = PORTS[0], PORTS[3], PORTS[4]
FILE_TYPES = 1136  # the file dialogs' file-type combo box


def running(w):
    return w.text(PLAY) == "Cancel" and all(w.top_menus_grey)


def marks(w):
    return w.checked(*DEVICES, *PORTS)


def wait_marks(s: Session, expected: list, what: str):
    return s.wait_for(lambda w: marks(w) == expected, 15, what)


# --- tests ------------------------------------------------------------------


def test_about_names_the_port_library_maker(s: Session):
    s.start()
    # No port library beside the program: the load failure names where to get one.
    s.keys("F7")
    failure = s.answer("SWC Interface")
    site = re.search(r"https?://(?:www\.)?([\w.-]+)", failure)
    check(site is not None, f"the load failure names no site: {failure!r}")
    s.command("IDM_ABOUT")
    lines = s.answer("About").split("\n")
    check(len(lines) == 6 and lines[0] == "Quillon Link v2.0" and lines[3] == "", f"About lines: {lines}")
    check("IO.DLL" in lines[4] and "IO.DLL" in lines[5], f"About does not credit the port library: {lines[4:]}")
    check(site.group(1) in lines[5], f"About does not name the library's maker {site.group(1)}: {lines[5]!r}")


def test_open_loads_rom_and_companions(s: Session):
    s.start()
    w = s.load_game()
    expected = ["game.smc", TITLE.decode(), "Fast LoROM", "2Mb", "64kb", "USA", "Nintendo", "1.2", "game.srm", "",
                "game.ips"]
    check([w.text(f).strip() for f in FIELDS] == expected, f"fields: {[w.text(f) for f in FIELDS]}")
    realtime_label = ID["IDC_LABEL_REALTIME_FILE"]
    check([w.controls[l]["enabled"] for l in LABELS] == [l != realtime_label for l in LABELS], "labels after the load")
    check(w.grey(*UPLOAD_ITEMS) == [ID["IDM_UPLOAD_REALTIME"]], f"grey upload items: {w.grey(*UPLOAD_ITEMS)}")
    # With Wine's own dialog font every text fits its control.
    check(w.clipped == [], f"texts cut short: {w.clipped}")

    # An Open that chose a listed filter shows it again; a pattern typed in
    # the file-name field is kept for the next Open.
    dialog = s.open_dialog()
    check(dialog["children"].get(FILE_TYPES) == "ROM Image (*.swc, *.smc, *.sfc, *.fig)", f"file type: {dialog}")
    s.enter("Open", windows_path(s.files) + "\\*.xyz")
    time.sleep(0.5)
    s.enter("Open", "game.srm")
    s.wait_closed("Open")
    dialog = s.open_dialog()
    check(dialog["children"].get(FILE_TYPES) == "*.xyz", f"the typed pattern did not come back: {dialog}")
    s.answer("Open")
    check(s.read().text(ROM_FILE) == "game.smc", "cancelling the Open dialog changed the slots")


def test_drop_cancel_and_exit_during_a_job(s: Session):
    write_set(s.files)
    other = s.files / "other.srm"
    other.write_bytes(bytes(8192))
    (s.files / "game.rts").write_bytes(b"")  # no real-time save: the companion search skips it
    s.start("device=swc,fault=slow:1", "io.dll")
    # Every dropped file fills its slot; the ROM's companion search leaves those slots alone.
    s.drop(s.files / "game.smc", other, s.files / "game.ips")
    w = s.wait_for(lambda w: w.text(ROM_FILE) == "game.smc", 15, "the dropped ROM")
    slots = [w.text(f).strip() for f in (SRAM_FILE, ID["IDC_REALTIME_FILE"], ID["IDC_PATCH_FILE"])]
    check(slots == ["other.srm", "", "game.ips"], f"slots after the drop: {slots}")

    s.keys("F5")
    s.wait_for(lambda w: running(w) and w.text(PROGRESS).startswith("ROM "), 60, "the upload to show progress")
    # Files dropped meanwhile are refused with a message and load nothing.
    s.drop(s.files / "game.srm")
    check("A transfer is running" in s.answer("Quillon Link", 15), "no message for the refused drop")
    check(s.read().text(SRAM_FILE) == "other.srm", "a drop during a job changed the SRAM slot")
    s.keys("Return")  # the default button: Cancel
    w = s.wait_for(idle, 60, "the cancelled job to end")
    check(s.packets() == [], f"a cancelled upload still executed: {s.packets()}")

    # Closing the window stops a running job before it executes, and the settings are still written.
    s.keys("F5")
    s.wait_for(running, 60, "the second upload to start")
    s.quit(("close",), 10)
    check(s.settings().get("Device") == ("REG_DWORD", "0x0"), "settings not written after exit during a job")
    check(s.packets() == [], f"the job executed after exit: {s.packets()}")


def test_dead_copier_times_out(s: Session):
    s.start("device=swc,fault=dead", "io.dll")
    s.load_game()
    s.keys("F5")
    check("Super NES is turned on." in s.answer("SWC Interface"), "no time-out box from the upload job")
    s.wait_for(idle, 15, "the window to return to idle")


def test_settings_persist(s: Session):
    s.start()
    w = s.read()
    check(sorted(w.grey(*w.items)) == UPLOAD_ITEMS, f"grey menu items at start: {w.grey(*w.items)}")
    check(marks(w) == [DEVICES[0], LPT1] and s.settings() == {}, f"check marks at start: {marks(w)}")
    # Escape is the dialog manager's cancel, and F5's item is grey without a ROM: neither does anything.
    s.keys("Escape", "F5")
    time.sleep(1.0)
    check(s.program.poll() is None and s.read().others == [], "Escape or F5 did something")

    s.command("IDM_DEVICE_SMD")
    s.command("IDM_LPT3")
    wait_marks(s, [DEVICES[1], PORTS[2]], "the new check marks")
    s.quit(timeout=5)  # Exit takes effect at once, without waiting for another message.
    check(s.settings() == {"Device": ("REG_DWORD", "0x1"), "Lpt": ("REG_DWORD", "0x3")}, f"written: {s.settings()}")

    # Four bytes count whatever their type.
    s.reg("add", SETTINGS_KEY, "/v", "Lpt", "/t", "REG_BINARY", "/d", "02000000", "/f")
    s.start()
    w = s.read()
    check(marks(w) == [DEVICES[1], PORTS[1]] and w.grey(*SWC_ONLY_ITEMS) == SWC_ONLY_ITEMS, f"not restored: {marks(w)}")
    s.quit(("close",), 5)
    check(s.settings() == {"Device": ("REG_DWORD", "0x1"), "Lpt": ("REG_DWORD", "0x2")}, f"rewritten: {s.settings()}")


def test_download_through_save_dialog(s: Session):
    s.state.mkdir()
    saved_sram = bytes(random.Random(7).randbytes(32768))
    (s.state / "sram.bin").write_bytes(saved_sram)
    s.start("device=swc", "io.dll")

    s.keys("F9")
    dialog = s.wait_window("Save As")
    check(dialog["children"].get(FILE_TYPES) == "Backup Battery Data (*.bbd)", f"file type: {dialog}")
    check(running(s.read()), "the menus are not grey while the download job asks for a name")
    target = s.files / "saved.srm"
    s.enter("Save As", windows_path(target))
    s.wait_for(lambda w: idle(w) and w.window("Save As") is None, 60, "the SRAM download to end")
    check(target.read_bytes() == saved_sram, "the downloaded .srm file is not the copier's SRAM")

    # F10 reaches the window too (not the menu bar); cancelling its dialog ends the job.
    s.keys("F10")
    dialog = s.wait_window("Save As")
    check(dialog["children"].get(FILE_TYPES) == "Real-time Save (*.rts)", f"file type: {dialog}")
    s.answer("Save As")
    s.wait_for(idle, 15, "the cancelled download to end")
    check(sorted(p.name for p in s.files.iterdir()) == ["saved.srm"], "a cancelled download wrote a file")


def start_bridge_sim(s: Session, com: str) -> subprocess.Popen:
    sim = s.work.parent / "bin" / "quillon-bridge-sim"
    check(sim.exists(), f"{sim} is not built")
    log = open(s.root / "bridge-sim.log", "wb")
    process = subprocess.Popen([str(sim), f"device=swc,state={s.state}"], stdout=subprocess.PIPE, stderr=log,
                               stdin=subprocess.DEVNULL)
    pty = process.stdout.readline().decode().strip()
    check(pty.startswith("/dev/"), f"the simulator printed no terminal: {pty!r}")
    # Wine's mount manager maps the ports of this key when its services
    # start: a new server, and a first program that starts them.
    s.reg("add", "HKLM\\Software\\Wine\\Ports", "/v", com, "/t", "REG_SZ", "/d", pty, "/f")
    for step in ("-k", "-w", "-p"):
        subprocess.run(["wineserver", step], env=s.env(), timeout=60, **QUIET)
    deadline = time.monotonic() + 180  # the first program after a restart boots the services
    while com not in s.reg("query", "HKLM\\HARDWARE\\DEVICEMAP\\SERIALCOMM").stdout:
        check(time.monotonic() < deadline, f"Wine does not list {com}")
        time.sleep(1)
    return process


def test_port_menu_usb_bridge(s: Session):
    sim = start_bridge_sim(s, "COM7")
    # The simulated board is slower than a real one: the program waits longer for it.
    os.environ["QUILLON_BRIDGE_TIME_SCALE"] = "20"
    try:
        s.start()  # no port library beside the program: only the bridge can reach the copier
        s.command("IDM_PORT_BRIDGE")
        wait_marks(s, [DEVICES[0], BRIDGE], "the USB Bridge check mark")
        s.load_game()
        s.upload_and_run(240)
        s.quit()
        settings = s.settings()
        check(settings.get("Lpt") == ("REG_DWORD", "0x4") and settings.get("BridgePort") == ("REG_SZ", "COM7"),
              f"settings after the bridge run: {settings}")
    finally:
        sim.kill()
        sim.wait(timeout=10)


def test_port_menu_other_address(s: Session):
    s.start(library="io.dll")
    texts = {i: s.read().items[i]["text"] for i in PORTS}
    check(texts == dict(zip(PORTS, ("LPT&1", "LPT&2", "LPT&3", "USB &Bridge", "Other &Address..."))), texts)
    s.command("IDM_PORT_OTHER_ADDRESS")
    s.wait_window("Other Address")
    # A refused address keeps the dialog open with the reason under the field (selected: typing replaces it).
    for typed, reason in (("F8", "below 0x0100"), ("FFF9", "0xFFF8"), ("D014", "multiple of 8"), ("D01G", "in hex")):
        s.enter("Other Address", typed)
        time.sleep(0.5)
        dialog = s.read().window("Other Address")
        check(dialog and reason in dialog["children"].get(ID["IDC_ADDRESS_PROBLEM"], ""), f"{typed!r}: {dialog}")
    s.answer("Other Address")  # Cancel
    check(s.read().checked(*PORTS) == [LPT1], "a refused address or Cancel moved the check mark")

    s.command("IDM_PORT_OTHER_ADDRESS")
    s.wait_window("Other Address")
    s.enter("Other Address", "0xd010")
    s.wait_closed("Other Address")
    w = wait_marks(s, [DEVICES[0], OTHER], "the Other Address check mark")
    check(w.items[OTHER]["text"] == "LPT at 0xD010", f"Other Address item: {w.items[OTHER]}")

    s.load_game()
    s.upload_and_run(120)
    s.quit()  # the port library is unloaded: ports.log is written
    ports = (s.state / "ports.log").read_text().split()
    check(ports == ["D010", "D011", "D012"], f"port registers used: {ports}")
    settings = s.settings()
    check(settings.get("Lpt") == ("REG_DWORD", "0x5") and settings.get("LptBase") == ("REG_DWORD", "0xd010"),
          f"settings: {settings}")

    s.start()
    w = wait_marks(s, [DEVICES[0], OTHER], "the restored Other Address check mark")
    check(w.items[OTHER]["text"] == "LPT at 0xD010", "the restored item does not name the base")


# The Windows port-library loader, through loader_probe.exe: which library
# it binds, from which folder, and when it gives up. Each case runs the probe
# from a fresh folder holding only the libraries the case puts there.
IO, INPOUT = "io.dll", "inpoutx64.dll"
# name, {name beside the probe: built file}, the same in the folder it starts from, the library bound (None: the
# load fails, with the text the port-binding tests check)
CASES = [
    ("io_dll_beside_the_program", {IO: IO}, {}, IO),
    # The rejected io.dll must be freed: the probe lists every port library still loaded.
    ("inpout_after_an_io_dll_without_IsDriverInstalled", {IO: "io_missing_export.dll", INPOUT: INPOUT}, {}, INPOUT),
    ("io_dll_only_in_the_current_folder", {}, {IO: IO}, None),
]


def test_port_library_loader(s: Session):
    problems = []
    for name, beside, in_cwd, bound in CASES:
        app, cwd = s.root / name / "app", s.root / name / "cwd"
        for folder, files in ((app, {"loader_probe.exe": "loader_probe.exe", **beside}), (cwd, in_cwd)):
            folder.mkdir(parents=True)
            for as_name, built in files.items():
                s.install(built, folder, as_name)
        result = run(["wine", str(app / "loader_probe.exe")], s.env(QUILLON_SIM="device=swc"), cwd=cwd)
        # The first line only: a crash adds Wine's whole debugger dump.
        got = f"exit {result.returncode}: " + (result.stdout.strip().splitlines() or [""])[0]
        expected = "exit 1: failed: Could not load IO.DLL"
        if bound:
            expected = f"exit 0: bound {bound}@{windows_path(app / bound)} driver=1"
        if got.lower() != expected.lower():
            problems.append(f"{name}: expected {expected!r}, got {got!r} {result.stderr[:200]!r}")
    check(problems == [], "\n".join(problems))


TESTS = {name[5:]: fn for name, fn in sorted(globals().items()) if name.startswith("test_")}


def main(argv):
    if argv[1:] == ["list"]:
        print("\n".join(TESTS))
    elif len(argv) == 3 and argv[1] == "prepare":
        make_pristine_prefix(Path(argv[2]) / "pristine")
    elif len(argv) == 5 and argv[1] == "run" and argv[2] in TESTS:
        with Session(argv[2], Path(argv[3]), Path(argv[4])) as session:
            TESTS[argv[2]](session)
        print(f"{argv[2]}: passed")
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main(sys.argv)
