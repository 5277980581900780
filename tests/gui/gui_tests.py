#!/usr/bin/env python3
"""End-to-end tests of Quillon.exe under Wine, against the emulated copier
of io.dll (options in QUILLON_SIM, memory and events in a state folder).

    gui_tests.py prepare WORK            make the pristine Wine prefix of this run
    gui_tests.py run NAME WORK WIN64DIR  run one test in a copy of it
    gui_tests.py list                    the test names
"""
import random
import shutil
import sys
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
from harness import GuiFailure, Session, make_pristine_prefix, windows_path  # noqa: E402
from make_test_files import TITLE, ips_patch, snes_rom, write_set  # noqa: E402

PLAY = 1001
LABELS = list(range(1002, 1013))
FIELDS = list(range(1013, 1024))
PROGRESS = 1024
UPLOAD_ITEMS = [40010, 40011, 40015, 40016, 40017, 40018]
SWC_ONLY_ITEMS = [40002, 40013, 40021]
DEVICE_SWC, DEVICE_SMD = 40005, 40006
LPT1, LPT2, LPT3 = 40007, 40008, 40009
EXIT, CARTRIDGE_INFO = 40004, 40002


def check(condition, message):
    if not condition:
        raise GuiFailure(message)


def idle(w):
    return w.text(PLAY) == "&Play" and not any(w.top_menus_grey()) and w.text(PROGRESS) == ""


def running(w):
    return w.text(PLAY) == "Cancel" and all(w.top_menus_grey())


def load_game(s: Session):
    write_set(s.files)
    s.open_files(s.files / "game.smc")
    return s.wait_for(lambda w: w.text(1013) == "game.smc", 10, "the ROM in the window")


def checked_pair(w):
    device = [i for i in (DEVICE_SWC, DEVICE_SMD) if w.items[i]["checked"]]
    port = [i for i in (LPT1, LPT2, LPT3) if w.items[i]["checked"]]
    return device, port


# --- tests ------------------------------------------------------------------


def test_initial_window(s: Session):
    s.start()
    w = s.read()
    for label in LABELS:
        check(not w.controls[label]["enabled"], f"label {label} is not grey at start")
    for field in FIELDS + [PROGRESS]:
        check(w.text(field).strip() == "", f"field {field} is not empty at start: {w.text(field)!r}")
    play = w.controls[PLAY]
    check(play["default"] and play["focus"] and play["text"] == "&Play", f"Play is not the focused default button: {play}")
    for item in UPLOAD_ITEMS:
        check(w.items[item]["grey"], f"menu item {item} is not grey at start")
    for item in SWC_ONLY_ITEMS + [40001, 40012, 40014, 40019, 40020]:
        check(not w.items[item]["grey"], f"menu item {item} is grey at start")
    check(checked_pair(w) == ([DEVICE_SWC], [LPT1]), f"check marks at start: {checked_pair(w)}")
    check(w.items[40010]["text"] == "Upload and &Run\tF5", f"menu text {w.items[40010]['text']!r}")

    version = s.inspect("version", str(s.app / "Quillon.exe")).stdout
    check("fileversion\t2.0.0.4" in version and "productversion\t2.0.0.4" in version, f"version block: {version}")
    check("string\tProductName\tQuillon Link" in version, f"version strings: {version}")

    # Escape is the dialog manager's cancel: it must neither close nor change anything.
    s.keys("Escape")
    time.sleep(0.5)
    check(s.program.poll() is None and s.read().exists, "Escape closed the window")


def test_open_loads_rom_and_companions(s: Session):
    s.start()
    w = load_game(s)
    expected = {
        1013: "game.smc",
        1014: TITLE.decode().ljust(21)[:21],
        1015: "Fast LoROM",
        1016: "2Mb",
        1017: "64kb",
        1018: "USA",
        1019: "Nintendo",
        1020: "1.2",
        1021: "game.srm",
        1023: "game.ips",
    }
    for field, text in expected.items():
        check(w.text(field) == text, f"field {field}: {w.text(field)!r}, expected {text!r}")
    for label in LABELS:
        check(w.controls[label]["enabled"] == (label != 1011), f"label {label} enabled={w.controls[label]['enabled']}")
    for item in (40010, 40011, 40015, 40016, 40017):
        check(not w.items[item]["grey"], f"menu item {item} still grey after the load")
    check(w.items[40018]["grey"], "real-time upload enabled without a real-time save")
    s.screenshot(s.root / "screenshot.png")

    # Opening again shows the first filter again (the dialog keeps the choice).
    s.focus_main()
    s.keys("ctrl+o")
    w = s.wait_for(lambda w: w.window("Open") is not None, 15, "the Open dialog")
    types = [c["text"] for c in w.window("Open")["children"] if c["id"] == 1136]
    check(types == ["ROM Image (*.swc, *.smc, *.sfc, *.fig)"], f"file type shown: {types}")
    s.dismiss("Open")
    w = s.wait_for(lambda w: w.window("Open") is None, 15, "the Open dialog to close")
    check(w.text(1013) == "game.smc", "cancelling the Open dialog changed the slots")


def test_upload_and_run(s: Session):
    s.port_library("io.dll")
    s.start("device=swc")
    load_game(s)
    s.focus_main()
    s.keys("F5")
    s.wait_for(lambda w: "F 01" in " ".join(s.events()) and idle(w), 120, "the upload and execute to finish")
    events = [e for e in s.events() if e.startswith("F ")]
    check(any(e.startswith("F 05 ") for e in events) and any(e.startswith("F 01 ") for e in events), f"events: {events}")
    check([e[:4] for e in events][-2:] == ["F 05", "F 01"], f"execute packets out of order: {events}")

    rom = bytearray(snes_rom())
    patch = ips_patch()
    offset = int.from_bytes(patch[5:8], "big") - 512  # offsets count with a copier header
    payload = patch[10:-3]
    rom[offset : offset + len(payload)] = payload
    dram = (s.state / "dram.bin").read_bytes()
    check(dram[: len(rom)] == bytes(rom), "the copier's DRAM does not hold the patched ROM image")
    sram = (s.state / "sram.bin").read_bytes()
    check(sram[:8192] == (s.files / "game.srm").read_bytes(), "the copier's SRAM does not hold game.srm")
    check((s.state / "header.bin").stat().st_size == 512, "no upload header")


def test_cancel_stops_before_execute(s: Session):
    s.port_library("io.dll")
    s.start("device=swc,fault=slow:1")
    load_game(s)
    s.focus_main()
    s.keys("F5")
    w = s.wait_for(lambda w: running(w) and w.text(PROGRESS).startswith("ROM "), 60, "the upload to show progress")

    # While the job runs: no second job, no slot change, no Open dialog.
    s.command(DEVICE_SMD)
    s.keys("ctrl+o", "F5", "F7")
    time.sleep(1.0)
    w = s.read()
    check(w.items[DEVICE_SWC]["checked"] and not w.items[DEVICE_SMD]["checked"], "device switched during a job")
    check(w.text(1013) == "game.smc", "ROM slot changed during a job")
    check(w.window("Open") is None, "the Open dialog came up during a job")

    # Files dropped meanwhile are refused with a message and load nothing.
    other = s.files / "other.srm"
    other.write_bytes(bytes(8192))
    s.drop(other)
    w = s.wait_for(lambda w: w.window("Quillon Link") is not None, 15, "the refused-drop message")
    texts = " ".join(c["text"] for c in w.window("Quillon Link")["children"])
    check("A transfer is running" in texts, f"refused-drop message: {texts!r}")
    s.dismiss("Quillon Link")
    w = s.wait_for(lambda w: w.window("Quillon Link") is None, 15, "the message to close")
    check(w.text(1021) == "game.srm", f"a drop during a job changed the SRAM slot: {w.text(1021)!r}")

    s.focus_main()
    s.keys("Return")  # the default button: Cancel
    s.wait_for(idle, 60, "the cancelled job to end")
    events = [e for e in s.events() if e.startswith("F ")]
    check(events == [], f"a cancelled upload still executed: {events}")
    w = s.read()
    check(w.text(1013) == "game.smc" and not w.items[40010]["grey"], "the window did not return to its loaded state")


def test_drop_fills_slots_from_the_drop(s: Session):
    write_set(s.files)
    other = s.files / "other.srm"
    other.write_bytes(bytes(range(256)) * 32)
    (s.files / "game.rts").write_bytes(b"")  # not a real-time save: the search finds nothing
    s.start()
    s.drop(s.files / "game.smc", other, s.files / "game.ips")
    w = s.wait_for(lambda w: w.text(1013) == "game.smc", 15, "the dropped ROM")
    check(w.text(1021) == "other.srm", f"the dropped SRAM file was replaced by the companion: {w.text(1021)!r}")
    check(w.text(1023) == "game.ips", f"patch field: {w.text(1023)!r}")
    check(w.text(1022).strip() == "" and not w.controls[1011]["enabled"], "real-time slot after the drop")
    check(not w.items[40016]["grey"] and not w.items[40017]["grey"], "upload items after the drop")

    # A patch dropped alone keeps the ROM; no companion search runs.
    (s.files / "game.srm").unlink()
    s.drop(s.files / "game.ips")
    time.sleep(1.0)
    w = s.read()
    check(w.text(1013) == "game.smc" and w.text(1021) == "other.srm", "a patch alone changed the other slots")


def test_play_button_without_rom_plays_the_cartridge(s: Session):
    s.port_library("io.dll")
    s.start("device=swc")
    # F5's item is grey without a ROM: the accelerator sends nothing.
    s.focus_main()
    s.keys("F5")
    time.sleep(1.0)
    w = s.read()
    check(idle(w) and w.others == [], "F5 did something without a ROM")
    check(not s.events(), f"F5 without a ROM reached the copier: {s.events()}")

    # Enter presses the default button; with no ROM it plays the cartridge,
    # and an SWC with an empty slot says so.
    s.keys("Return")
    w = s.wait_for(lambda w: w.window("Play Cartridge") is not None, 60, "the Play Cartridge message")
    texts = " ".join(c["text"] for c in w.window("Play Cartridge")["children"])
    check("No game cartridge is detected" in texts, f"Play Cartridge message: {texts!r}")
    s.dismiss("Play Cartridge")
    w = s.wait_for(lambda w: w.window("Play Cartridge") is None and idle(w), 15, "the window to return to idle")
    check(w.text(1013).strip() == "" and w.items[40010]["grey"], "the window changed after Play Cartridge")
    check(not [e for e in s.events() if e.startswith("F ")], "play commands sent without a cartridge")


def test_cartridge_info(s: Session):
    write_set(s.files)
    s.port_library("io.dll")
    s.start(f"device=swc,cart={windows_path(s.files / 'cartridge.sfc')}")
    s.command(CARTRIDGE_INFO)
    w = s.wait_for(lambda w: w.window("Cartridge Info") is not None, 60, "the Cartridge Info box")
    texts = "\n".join(c["text"] for c in w.window("Cartridge Info")["children"])
    check("CARTRIDGE IN SLOT" in texts, f"cartridge report: {texts!r}")
    s.dismiss("Cartridge Info")
    s.wait_for(lambda w: w.window("Cartridge Info") is None and w.enabled, 10, "the box to close")


def test_dead_copier_times_out_once(s: Session):
    s.port_library("io.dll")
    s.start("device=swc,fault=dead")
    load_game(s)
    s.focus_main()
    s.keys("F5")
    w = s.wait_for(lambda w: w.window("SWC Interface") is not None, 30, "the time-out message")
    texts = " ".join(c["text"] for c in w.window("SWC Interface")["children"]).strip()
    check(texts != "", "the time-out box has no text")
    s.dismiss("SWC Interface")
    s.wait_for(idle, 15, "the window to return to idle")
    time.sleep(1.5)
    w = s.read()
    check(w.window("SWC Interface") is None, "a second time-out box came up")
    check(not [e for e in s.events() if e.startswith("F ")], "a dead copier recorded packets")


def test_switch_device(s: Session):
    s.start()
    load_game(s)
    s.command(DEVICE_SMD)
    w = s.wait_for(lambda w: w.items[DEVICE_SMD]["checked"], 10, "the SMD check mark")
    check(not w.items[DEVICE_SWC]["checked"], "two device check marks")
    for label in LABELS:
        check(not w.controls[label]["enabled"], f"label {label} stays enabled after the switch")
    for field in FIELDS:
        check(w.text(field).strip() == "", f"field {field} not blanked: {w.text(field)!r}")
    for item in UPLOAD_ITEMS + SWC_ONLY_ITEMS:
        check(w.items[item]["grey"], f"menu item {item} not grey on SMD")

    s.command(DEVICE_SWC)
    w = s.wait_for(lambda w: w.items[DEVICE_SWC]["checked"], 10, "the SWC check mark")
    for item in SWC_ONLY_ITEMS:
        check(not w.items[item]["grey"], f"menu item {item} still grey back on SWC")
    for item in UPLOAD_ITEMS:
        check(w.items[item]["grey"], f"menu item {item} enabled without a ROM")

    # The same device again keeps everything.
    load_game(s)
    s.command(DEVICE_SWC)
    time.sleep(0.5)
    check(s.read().text(1013) == "game.smc", "choosing the selected device emptied the slots")


def test_settings_persist(s: Session):
    s.start()
    check(s.settings() == {}, "settings exist before the first exit")
    s.command(DEVICE_SMD)
    s.command(LPT3)
    s.wait_for(lambda w: checked_pair(w) == ([DEVICE_SMD], [LPT3]), 10, "the new check marks")
    s.command(EXIT)
    # Exit takes effect at once, without waiting for another message.
    check(s.wait_exit(5) == 0, "exit code")
    values = s.settings()
    check(values == {"Device": ("REG_DWORD", "0x1"), "Lpt": ("REG_DWORD", "0x3")}, f"settings written: {values}")

    s.start()
    w = s.read()
    check(checked_pair(w) == ([DEVICE_SMD], [LPT3]), f"settings not restored: {checked_pair(w)}")
    for item in SWC_ONLY_ITEMS:
        check(w.items[item]["grey"], f"SMD restored but {item} enabled")
    s.inspect("close")
    check(s.wait_exit(5) == 0, "exit code after closing the window")


def test_settings_reject_bad_values(s: Session):
    key = "HKCU\\Software\\Morvane\\Quillon"
    # A one-byte binary value must not pass for a number; an in-range DWORD is taken.
    s.reg("add", key, "/v", "Device", "/t", "REG_BINARY", "/d", "01", "/f")
    s.reg("add", key, "/v", "Lpt", "/t", "REG_DWORD", "/d", "2", "/f")
    s.start()
    check(checked_pair(s.read()) == ([DEVICE_SWC], [LPT2]), f"check marks: {checked_pair(s.read())}")
    s.command(EXIT)
    s.wait_exit(5)
    check(s.settings() == {"Device": ("REG_DWORD", "0x0"), "Lpt": ("REG_DWORD", "0x2")}, f"rewritten: {s.settings()}")

    s.reg("add", key, "/v", "Device", "/t", "REG_DWORD", "/d", "2", "/f")
    s.reg("add", key, "/v", "Lpt", "/t", "REG_DWORD", "/d", "0xFFFFFFFF", "/f")
    s.start()
    check(checked_pair(s.read()) == ([DEVICE_SWC], [LPT1]), f"out-of-range values taken: {checked_pair(s.read())}")


def test_inpout_fallback(s: Session):
    s.port_library("inpoutx64.dll")
    s.start("device=swc")
    load_game(s)
    s.focus_main()
    s.keys("F5")
    s.wait_for(lambda w: "F 01" in " ".join(s.events()) and idle(w), 120, "the upload through inpoutx64.dll")
    check((s.state / "header.bin").exists(), "no upload header through the fall-back library")


def test_download_through_save_dialog(s: Session):
    s.state.mkdir()
    saved_sram = bytes(random.Random(7).randbytes(32768))
    (s.state / "sram.bin").write_bytes(saved_sram)
    s.port_library("io.dll")
    s.start("device=swc")

    s.focus_main()
    s.keys("F9")
    w = s.wait_for(lambda w: w.window("Save As") is not None, 30, "the SRAM save dialog")
    types = [c["text"] for c in w.window("Save As")["children"] if c["id"] == 1136]
    check(types == ["Backup Battery Data (*.bbd)"], f"file type shown: {types}")
    check(running(w), "the menus are not grey while the download job asks for a name")
    target = s.files / "saved.srm"
    s.focus_window("Save As")
    s.type_text(windows_path(target))
    s.keys("Return")
    s.wait_for(lambda w: idle(w) and w.window("Save As") is None, 60, "the SRAM download to end")
    check(target.read_bytes() == saved_sram, "the downloaded .srm file is not the copier's SRAM")

    # F10 reaches the window too (not the menu bar); cancelling its dialog ends the job.
    s.focus_main()
    s.keys("F10")
    w = s.wait_for(lambda w: w.window("Save As") is not None, 30, "the real-time save dialog")
    types = [c["text"] for c in w.window("Save As")["children"] if c["id"] == 1136]
    check(types == ["Real-time Save (*.rts)"], f"file type shown: {types}")
    s.dismiss("Save As")
    s.wait_for(idle, 15, "the cancelled download to end")
    check(sorted(p.name for p in s.files.iterdir()) == ["saved.srm"], "a cancelled download wrote a file")


def test_exit_during_job(s: Session):
    s.port_library("io.dll")
    s.start("device=swc,fault=slow:1")
    load_game(s)
    s.focus_main()
    s.keys("F5")
    s.wait_for(running, 60, "the upload to start")
    s.inspect("close")
    check(s.wait_exit(10) == 0, "exit code")
    check(s.settings().get("Device") == ("REG_DWORD", "0x0"), "settings not written after exit during a job")
    check(not [e for e in s.events() if e.startswith("F 01")], "the job executed after exit")


TESTS = {name[5:]: fn for name, fn in sorted(globals().items()) if name.startswith("test_")}


def main(argv):
    if len(argv) >= 2 and argv[1] == "list":
        print("\n".join(TESTS))
        return 0
    if len(argv) == 3 and argv[1] == "prepare":
        make_pristine_prefix(Path(argv[2]) / "pristine")
        return 0
    if len(argv) == 5 and argv[1] == "run":
        name, work, win64 = argv[2], Path(argv[3]), Path(argv[4])
        pristine = work / "pristine"
        if not (pristine / ".pristine").exists():
            make_pristine_prefix(pristine)
        with Session(name, work, win64, pristine) as session:
            TESTS[name](session)
            shot = session.root / "screenshot.png"
            if shot.exists():
                shutil.copy(shot, work / "screenshot.png")
        print(f"{name}: passed")
        return 0
    print(__doc__, file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv))
