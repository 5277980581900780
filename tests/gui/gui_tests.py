#!/usr/bin/env python3
"""End-to-end tests of Quillon.exe under Wine, against the emulated copier
of io.dll (options in QUILLON_SIM, memory and events in a state folder).

    gui_tests.py prepare WORK            make the pristine Wine prefix of this run
    gui_tests.py run NAME WORK WIN64DIR  run one test in a copy of it
    gui_tests.py list                    the test names
"""
import random
import re
import sys
import time
from pathlib import Path

sys.dont_write_bytecode = True  # no __pycache__ in the source tree
sys.path.insert(0, str(Path(__file__).resolve().parent))
from harness import FIELDS, ID, LABELS, SETTINGS_KEY, Session, check, make_pristine_prefix, windows_path  # noqa: E402
from loader_tests import test_port_library_loader  # noqa: E402,F401
from port_menu_tests import test_port_menu_other_address, test_port_menu_usb_bridge  # noqa: E402,F401
from make_test_files import TITLE, ips_patch, snes_rom, write_set  # noqa: E402

PLAY, PROGRESS, ROM_FILE, SRAM_FILE = ID["IDC_PLAY"], ID["IDC_PROGRESS"], ID["IDC_ROM_FILE"], ID["IDC_SRAM_FILE"]
UPLOAD_ITEMS = [ID[n] for n in ("IDM_UPLOAD_AND_RUN", "IDM_UPLOAD_AND_RUN_REALTIME", "IDM_UPLOAD_ROM",
                                "IDM_UPLOAD_ROM_IPS", "IDM_UPLOAD_SRAM", "IDM_UPLOAD_REALTIME")]
SWC_ONLY_ITEMS = [ID[n] for n in ("IDM_CARTRIDGE_INFO", "IDM_EXECUTE_REALTIME", "IDM_DOWNLOAD_REALTIME")]
DEVICES = [ID["IDM_DEVICE_SWC"], ID["IDM_DEVICE_SMD"]]
PORTS = [ID["IDM_LPT1"], ID["IDM_LPT2"], ID["IDM_LPT3"]]
FILE_TYPES = 1136  # the file dialogs' file-type combo box


def idle(w):
    return w.text(PLAY) == "&Play" and not any(w.top_menus_grey()) and w.text(PROGRESS) == ""


def running(w):
    return w.text(PLAY) == "Cancel" and all(w.top_menus_grey())


def marks(w):
    return w.checked(*DEVICES, *PORTS)


def blank(w):
    """Every label grey and every field empty, as with no ROM loaded."""
    return not any(w.controls[label]["enabled"] for label in LABELS) and all(w.text(f).strip() == "" for f in FIELDS)


def load_game(s: Session):
    write_set(s.files)
    s.open_file(s.files / "game.smc")
    return s.wait_for(lambda w: w.text(ROM_FILE) == "game.smc", 10, "the ROM in the window")


# --- tests ------------------------------------------------------------------


def test_initial_window(s: Session):
    s.start()
    w = s.read()
    check(blank(w) and w.text(PROGRESS) == "", "a label is not grey or a field not empty at start")
    play = w.controls[PLAY]
    check(play["default"] and play["focus"] and play["text"] == "&Play", f"Play is not the focused default: {play}")
    check(sorted(w.grey(*w.items)) == UPLOAD_ITEMS, f"grey menu items at start: {w.grey(*w.items)}")
    check(marks(w) == [DEVICES[0], PORTS[0]], f"check marks at start: {marks(w)}")

    # Escape is the dialog manager's cancel: it must neither close nor change anything.
    s.keys("Escape")
    time.sleep(0.5)
    check(s.program.poll() is None and s.read().exists, "Escape closed the window")


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
    w = load_game(s)
    expected = ["game.smc", TITLE.decode(), "Fast LoROM", "2Mb", "64kb", "USA", "Nintendo", "1.2", "game.srm", "",
                "game.ips"]
    check([w.text(f).strip() for f in FIELDS] == expected, f"fields: {[w.text(f) for f in FIELDS]}")
    realtime_label = ID["IDC_LABEL_REALTIME_FILE"]
    check([w.controls[l]["enabled"] for l in LABELS] == [l != realtime_label for l in LABELS], "labels after the load")
    check(w.grey(*UPLOAD_ITEMS) == [ID["IDM_UPLOAD_REALTIME"]], f"grey upload items: {w.grey(*UPLOAD_ITEMS)}")
    # With Wine's own dialog font every text fits its control.
    check(w.clipped == [], f"texts cut short: {w.clipped}")
    s.screenshot()

    # An Open that chose a listed filter shows it again; a pattern typed in
    # the file-name field is kept for the next Open.
    dialog = s.open_dialog()
    check(dialog["children"].get(FILE_TYPES) == "ROM Image (*.swc, *.smc, *.sfc, *.fig)", f"file type: {dialog}")
    s.type_text(windows_path(s.files) + "\\*.xyz")
    s.keys("Return", window="Open")
    time.sleep(0.5)
    s.type_text("game.srm")
    s.keys("Return", window="Open")
    s.wait_closed("Open")
    dialog = s.open_dialog()
    check(dialog["children"].get(FILE_TYPES) == "*.xyz", f"the typed pattern did not come back: {dialog}")
    s.answer("Open")
    check(s.read().text(ROM_FILE) == "game.smc", "cancelling the Open dialog changed the slots")


def test_upload_and_run(s: Session):
    s.start("device=swc", "io.dll")
    load_game(s)
    s.keys("F5")
    s.wait_for(lambda w: "F 01" in " ".join(s.events()) and idle(w), 120, "the upload and execute to finish")
    check([e[:4] for e in s.packets()][-2:] == ["F 05", "F 01"], f"execute packets: {s.packets()}")

    rom = bytearray(snes_rom())
    patch = ips_patch()
    offset = int.from_bytes(patch[5:8], "big") - 512  # offsets count with a copier header
    payload = patch[10:-3]
    rom[offset : offset + len(payload)] = payload
    check((s.state / "dram.bin").read_bytes()[: len(rom)] == bytes(rom), "DRAM does not hold the patched ROM")
    check((s.state / "sram.bin").read_bytes()[:8192] == (s.files / "game.srm").read_bytes(), "SRAM is not game.srm")
    check((s.state / "header.bin").stat().st_size == 512, "no upload header")


def test_cancel_stops_before_execute(s: Session):
    s.start("device=swc,fault=slow:1", "io.dll")
    load_game(s)
    s.keys("F5")
    s.wait_for(lambda w: running(w) and w.text(PROGRESS).startswith("ROM "), 60, "the upload to show progress")

    # While the job runs: no second job, no slot change, no Open dialog.
    s.command("IDM_DEVICE_SMD")
    s.keys("ctrl+o", "F5", "F7")
    time.sleep(1.0)
    w = s.read()
    check(marks(w)[0] == DEVICES[0] and w.text(ROM_FILE) == "game.smc", "device or slots changed during a job")
    check(w.window("Open") is None, "the Open dialog came up during a job")

    # Files dropped meanwhile are refused with a message and load nothing.
    other = s.files / "other.srm"
    other.write_bytes(bytes(8192))
    s.drop(other)
    check("A transfer is running" in s.answer("Quillon Link", 15), "no message for the refused drop")
    check(s.read().text(SRAM_FILE) == "game.srm", "a drop during a job changed the SRAM slot")

    s.keys("Return")  # the default button: Cancel
    w = s.wait_for(idle, 60, "the cancelled job to end")
    check(s.packets() == [], f"a cancelled upload still executed: {s.packets()}")
    check(w.text(ROM_FILE) == "game.smc" and not w.grey(UPLOAD_ITEMS[0]), "the window lost its loaded state")


def test_exit_during_job(s: Session):
    s.start("device=swc,fault=slow:1", "io.dll")
    load_game(s)
    s.keys("F5")
    s.wait_for(running, 60, "the upload to start")
    s.inspect("close")
    check(s.wait_exit(10) == 0, "exit code")
    check(s.settings().get("Device") == ("REG_DWORD", "0x0"), "settings not written after exit during a job")
    check(s.packets() == [], f"the job executed after exit: {s.packets()}")


def test_drop_fills_slots_from_the_drop(s: Session):
    write_set(s.files)
    other = s.files / "other.srm"
    other.write_bytes(bytes(range(256)) * 32)
    (s.files / "game.rts").write_bytes(b"")  # not a real-time save: the search finds nothing
    s.start()
    s.drop(s.files / "game.smc", other, s.files / "game.ips")
    w = s.wait_for(lambda w: w.text(ROM_FILE) == "game.smc", 15, "the dropped ROM")
    slots = [w.text(ID[n]).strip() for n in ("IDC_SRAM_FILE", "IDC_REALTIME_FILE", "IDC_PATCH_FILE")]
    check(slots == ["other.srm", "", "game.ips"], f"slots after the drop (the companion must not replace it): {slots}")
    check(w.grey(*UPLOAD_ITEMS) == [ID["IDM_UPLOAD_REALTIME"]], f"upload items after the drop: {w.grey(*UPLOAD_ITEMS)}")

    # A patch dropped alone keeps the ROM; no companion search runs.
    (s.files / "game.srm").unlink()
    s.drop(s.files / "game.ips")
    time.sleep(1.0)
    w = s.read()
    check(w.text(ROM_FILE) == "game.smc" and w.text(SRAM_FILE) == "other.srm", "a patch alone changed the slots")


def test_play_button_without_rom_plays_the_cartridge(s: Session):
    s.start("device=swc", "io.dll")
    # F5's item is grey without a ROM: the accelerator sends nothing.
    s.keys("F5")
    time.sleep(1.0)
    w = s.read()
    check(idle(w) and w.others == [] and not s.events(), "F5 did something without a ROM")

    # Enter presses the default button; with no ROM it plays the cartridge,
    # and an SWC with an empty slot says so.
    s.keys("Return")
    check("No game cartridge is detected" in s.answer("Play Cartridge", 60), "no message for the empty slot")
    w = s.wait_for(idle, 15, "the window to return to idle")
    check(w.text(ROM_FILE).strip() == "" and s.packets() == [], "play commands sent without a cartridge")


def test_cartridge_info(s: Session):
    write_set(s.files)
    s.start(f"device=swc,cart={windows_path(s.files / 'cartridge.sfc')}", "io.dll")
    s.command("IDM_CARTRIDGE_INFO")
    check("CARTRIDGE IN SLOT" in s.answer("Cartridge Info", 60), "the report does not name the cartridge")
    s.wait_for(lambda w: w.enabled, 10, "the window to take input again")


def test_dead_copier_times_out_once(s: Session):
    s.start("device=swc,fault=dead", "io.dll")
    load_game(s)
    s.keys("F5")
    check(s.answer("SWC Interface").strip() != "", "the time-out box has no text")
    s.wait_for(idle, 15, "the window to return to idle")
    time.sleep(1.5)
    check(s.read().window("SWC Interface") is None, "a second time-out box came up")
    check(s.packets() == [], "a dead copier recorded packets")


def test_switch_device(s: Session):
    s.start()
    load_game(s)
    s.command("IDM_DEVICE_SMD")
    w = s.wait_for(lambda w: marks(w) == [DEVICES[1], PORTS[0]], 10, "the SMD check mark beside LPT1's")
    check(blank(w), "a label stays enabled or a field is not blanked by the switch")
    check(w.grey(*UPLOAD_ITEMS, *SWC_ONLY_ITEMS) == UPLOAD_ITEMS + SWC_ONLY_ITEMS, "items enabled on SMD")

    s.command("IDM_DEVICE_SWC")
    w = s.wait_for(lambda w: marks(w)[0] == DEVICES[0], 10, "the SWC check mark")
    check(w.grey(*UPLOAD_ITEMS, *SWC_ONLY_ITEMS) == UPLOAD_ITEMS, "items back on SWC without a ROM")

    # The same device again keeps everything.
    load_game(s)
    s.command("IDM_DEVICE_SWC")
    time.sleep(0.5)
    check(s.read().text(ROM_FILE) == "game.smc", "choosing the selected device emptied the slots")


def test_settings_persist(s: Session):
    s.start()
    check(s.settings() == {}, "settings exist before the first exit")
    s.command("IDM_DEVICE_SMD")
    s.command("IDM_LPT3")
    s.wait_for(lambda w: marks(w) == [DEVICES[1], PORTS[2]], 10, "the new check marks")
    s.command("IDM_EXIT")
    # Exit takes effect at once, without waiting for another message.
    check(s.wait_exit(5) == 0, "exit code")
    check(s.settings() == {"Device": ("REG_DWORD", "0x1"), "Lpt": ("REG_DWORD", "0x3")}, f"written: {s.settings()}")

    # Four bytes count whatever their type.
    s.reg("add", SETTINGS_KEY, "/v", "Lpt", "/t", "REG_BINARY", "/d", "02000000", "/f")
    s.start()
    w = s.read()
    check(marks(w) == [DEVICES[1], PORTS[1]] and w.grey(*SWC_ONLY_ITEMS) == SWC_ONLY_ITEMS, f"not restored: {marks(w)}")
    s.inspect("close")
    check(s.wait_exit(5) == 0, "exit code after closing the window")
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
    s.focus_window("Save As")
    s.type_text(windows_path(target))
    s.keys("Return", window="Save As")
    s.wait_for(lambda w: idle(w) and w.window("Save As") is None, 60, "the SRAM download to end")
    check(target.read_bytes() == saved_sram, "the downloaded .srm file is not the copier's SRAM")

    # F10 reaches the window too (not the menu bar); cancelling its dialog ends the job.
    s.keys("F10")
    dialog = s.wait_window("Save As")
    check(dialog["children"].get(FILE_TYPES) == "Real-time Save (*.rts)", f"file type: {dialog}")
    s.answer("Save As")
    s.wait_for(idle, 15, "the cancelled download to end")
    check(sorted(p.name for p in s.files.iterdir()) == ["saved.srm"], "a cancelled download wrote a file")


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
