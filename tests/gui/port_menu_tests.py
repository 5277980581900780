"""The Port menu's choices beyond LPT1..LPT3 under Wine: the USB bridge
(the bridge simulator behind a pseudo-terminal that Wine shows as a COM
port) and Other Address (the emulator's io.dll, which lists the port
addresses it was given in ports.log of its state folder)."""
import os
import re
import subprocess
import time
from pathlib import Path

from harness import ID, QUIET, SETTINGS_KEY, Session, check
from make_test_files import ips_patch, snes_rom, write_set

OTHER_IDS = {n: int(v) for n, v in re.findall(r"^#define\s+(ID\w+)\s+(\d+)", (
    Path(__file__).resolve().parents[2] / "resources" / "other_address_ids.h").read_text(), re.M)}
PORT_ITEMS = [ID[n] for n in ("IDM_LPT1", "IDM_LPT2", "IDM_LPT3", "IDM_PORT_BRIDGE", "IDM_PORT_OTHER_ADDRESS")]
LPT1, BRIDGE, OTHER = PORT_ITEMS[0], PORT_ITEMS[3], PORT_ITEMS[4]
DIALOG = "Other Address"
BRIDGE_COM = "COM7"


def menu_texts(s: Session) -> dict:
    """The Port items' texts as the menu shows them."""
    lines = (line.split("\t") for line in s.inspect("dump").stdout.splitlines())
    return {int(p[1]): p[4] for p in lines if len(p) >= 5 and p[0] == "item" and int(p[1]) in PORT_ITEMS}


def port_mark(s: Session, item: int, what: str):
    return s.wait_for(lambda w: w.checked(*PORT_ITEMS) == [item], 15, what)


def upload_and_run(s: Session, timeout: float):
    write_set(s.files)
    s.open_file(s.files / "game.smc")
    s.wait_for(lambda w: w.text(ID["IDC_ROM_FILE"]) == "game.smc", 15, "the ROM in the window")
    s.keys("F5")
    s.wait_for(lambda w: "F 01" in " ".join(s.events()) and w.text(ID["IDC_PLAY"]) == "&Play", timeout,
               "the upload and execute to finish")
    rom = bytearray(snes_rom())
    patch = ips_patch()
    offset = int.from_bytes(patch[5:8], "big") - 512
    rom[offset: offset + len(patch) - 13] = patch[10:-3]
    check((s.state / "dram.bin").read_bytes()[: len(rom)] == bytes(rom), "DRAM does not hold the patched ROM")
    check([e[:4] for e in s.packets()][-2:] == ["F 05", "F 01"], f"execute packets: {s.packets()}")


def exit_program(s: Session):
    s.command("IDM_EXIT")
    check(s.wait_exit(20) == 0, "exit code")


def start_bridge_sim(s: Session) -> subprocess.Popen:
    sim = s.work.parent / "bin" / "quillon-bridge-sim"
    check(sim.exists(), f"{sim} is not built")
    log = open(s.root / "bridge-sim.log", "wb")
    process = subprocess.Popen([str(sim), f"device=swc,state={s.state}"], stdout=subprocess.PIPE, stderr=log,
                               stdin=subprocess.DEVNULL)
    pty = process.stdout.readline().decode().strip()
    check(pty.startswith("/dev/"), f"the simulator printed no terminal: {pty!r}")
    # Wine's mount manager maps the ports of this key when its services
    # start: a new server, and a first program that starts them.
    s.reg("add", "HKLM\\Software\\Wine\\Ports", "/v", BRIDGE_COM, "/t", "REG_SZ", "/d", pty, "/f")
    for step in ("-k", "-w", "-p"):
        subprocess.run(["wineserver", step], env=s.env(), timeout=60, **QUIET)
    deadline = time.monotonic() + 180  # the first program after a restart boots the services
    while BRIDGE_COM not in s.reg("query", "HKLM\\HARDWARE\\DEVICEMAP\\SERIALCOMM").stdout:
        check(time.monotonic() < deadline, f"Wine does not list {BRIDGE_COM}")
        time.sleep(1)
    return process


def test_port_menu_usb_bridge(s: Session):
    sim = start_bridge_sim(s)
    # The simulated board is slower than a real one: the program waits longer for it.
    os.environ["QUILLON_BRIDGE_TIME_SCALE"] = "20"
    try:
        s.start()  # no port library beside the program: only the bridge can reach the copier
        s.command("IDM_PORT_BRIDGE")
        port_mark(s, BRIDGE, "the USB Bridge check mark")
        upload_and_run(s, 240)
        exit_program(s)
        settings = s.settings()
        check(settings.get("Lpt") == ("REG_DWORD", "0x4") and settings.get("BridgePort") == ("REG_SZ", BRIDGE_COM),
              f"settings after the bridge run: {settings}")

        # The next start is on the bridge again, through the port it remembers.
        packets = len(s.packets())
        s.start()
        port_mark(s, BRIDGE, "the restored USB Bridge check mark")
        s.command("IDM_EXECUTE")
        s.wait_for(lambda w: len(s.packets()) == packets + 2, 60, "Execute only through the bridge")
        exit_program(s)
    finally:
        del os.environ["QUILLON_BRIDGE_TIME_SCALE"]
        sim.kill()
        sim.wait(timeout=10)


def type_address(s: Session, text: str) -> dict:
    """Types into the dialog's field (a refused address is left selected) and presses Enter."""
    s.focus_window(DIALOG)
    s.type_text(text)
    s.keys("Return", window=DIALOG)
    time.sleep(0.5)
    return s.read().window(DIALOG)


def port_menu_screenshot(s: Session):
    """The open Port menu, for the README: the window and the menus beside it."""
    s.keys("alt+f")
    time.sleep(0.5)
    s.keys("p")
    time.sleep(1.0)
    geometry = s.xdotool("getwindowgeometry", "--shell", s.x_window("Quillon Link")).stdout
    place = dict(line.split("=") for line in geometry.split())
    target = s.work / "port-menu.png"
    # The popups lie inside the window's area (Wine draws no caption here, with no window manager).
    crop = f"{place['WIDTH']}x{place['HEIGHT']}+{place['X']}+{place['Y']}"
    subprocess.run(["/usr/bin/import", "-window", "root", "-crop", crop, str(target)], env=s.env(), check=True)
    s.keys("Escape", "Escape", "Escape")


def test_port_menu_other_address(s: Session):
    s.start(library="io.dll")
    check(menu_texts(s) == {PORT_ITEMS[0]: "LPT&1", PORT_ITEMS[1]: "LPT&2", PORT_ITEMS[2]: "LPT&3",
                            BRIDGE: "USB &Bridge", OTHER: "Other &Address..."}, f"Port items: {menu_texts(s)}")
    s.command("IDM_PORT_OTHER_ADDRESS")
    s.wait_window(DIALOG)
    problem = OTHER_IDS["IDC_ADDRESS_PROBLEM"]
    for typed, reason in (("F8", "below 0x0100"), ("FFF9", "0xFFF8"), ("D014", "multiple of 8"), ("D01G", "in hex"),
                          ("0x", "in hex")):
        dialog = type_address(s, typed)
        check(dialog is not None and reason in dialog["children"].get(problem, ""), f"{typed!r} not refused: {dialog}")
    check(s.read().checked(*PORT_ITEMS) == [LPT1], "a refused address moved the check mark")

    type_address(s, "0xd010")
    s.wait_closed(DIALOG)
    port_mark(s, OTHER, "the Other Address check mark")
    check(menu_texts(s)[OTHER] == "LPT at 0xD010", f"Other Address item: {menu_texts(s)[OTHER]!r}")
    port_menu_screenshot(s)

    upload_and_run(s, 120)
    exit_program(s)  # the port library is unloaded: ports.log is written
    ports = (s.state / "ports.log").read_text().split()
    check(ports == ["D010", "D011", "D012"], f"port registers used: {ports}")
    settings = s.settings()
    check(settings.get("Lpt") == ("REG_DWORD", "0x5") and settings.get("LptBase") == ("REG_DWORD", "0xd010"),
          f"settings: {settings}")

    # Restored with its base; a 5 whose base is gone starts at LPT1.
    s.start()
    port_mark(s, OTHER, "the restored Other Address check mark")
    check(menu_texts(s)[OTHER] == "LPT at 0xD010", "the restored item does not name the base")
    exit_program(s)
    s.reg("delete", SETTINGS_KEY, "/v", "LptBase", "/f")
    s.start()
    port_mark(s, LPT1, "LPT1 for a 5 without LptBase")
    check(menu_texts(s)[OTHER] == "Other &Address...", "the item names a base that is not stored")
    s.command("IDM_PORT_OTHER_ADDRESS")  # cancelling the dialog changes nothing
    s.answer(DIALOG)
    check(s.read().checked(*PORT_ITEMS) == [LPT1], "a cancelled dialog moved the check mark")
