#!/usr/bin/env python3
"""Draws the USB bridge's wiring from bridge/firmware/board_wiring.h, the
table the firmware and the simulator use too: a Markdown table for the
README and a picture, docs/bridge-wiring.svg.

  draw_wiring.py            write docs/bridge-wiring.svg, print the table
  draw_wiring.py --check    fail if the picture or the README's table differ
"""
import pathlib
import re
import sys

ROOT = pathlib.Path(__file__).resolve().parents[2]
HEADER = ROOT / "bridge/firmware/board_wiring.h"
PICTURE = ROOT / "docs/bridge-wiring.svg"
README = ROOT / "README.md"
TABLE_START = "<!-- bridge wiring table: bridge/wiring/draw_wiring.py -->"
TABLE_END = "<!-- end of bridge wiring table -->"

NAMES = {"SELECT_IN": "SELECT-IN", "PAPER_OUT": "PAPER-OUT"}
GROUPS = {  # colour, and what the line does
    "data": ("#1f5fbf", "data, PC to copier"),
    "control": ("#1e8a3a", "control, PC to copier"),
    "status": ("#c25700", "status, copier to PC"),
    "ground": ("#222222", "ground"),
}


def read_table():
    text = HEADER.read_text()
    rows = []
    for name, db25, port, bit, label, direction in re.findall(
        r"X\((\w+), (\d+), '([BCD])', (\d), \"(\w+)\", (IN|OUT)\)", text
    ):
        if name.startswith("DATA"):
            group = "data"
        elif direction == "OUT":
            group = "control"
        else:
            group = "status"
        rows.append(
            {
                "signal": NAMES.get(name, name),
                "db25": int(db25),
                "avr": f"P{port}{bit}",
                "board": label,
                "group": group,
            }
        )
    first = int(re.search(r"GROUND_FIRST (\d+)", text).group(1))
    last = int(re.search(r"GROUND_LAST (\d+)", text).group(1))
    if len(rows) != 17:
        sys.exit(f"draw_wiring: expected 17 lines in {HEADER}, found {len(rows)}")
    return sorted(rows, key=lambda row: row["db25"]), (first, last)


def markdown(rows, ground):
    lines = [
        "| DB-25 pin | signal | direction | board pin (Uno / Nano) | AVR pin |",
        "|---|---|---|---|---|",
    ]
    for row in rows:
        direction = "to copier" if row["group"] in ("data", "control") else "from copier"
        lines.append(f"| {row['db25']} | {row['signal']} | {direction} | {row['board']} | {row['avr']} |")
    lines.append(f"| {ground[0]} to {ground[1]} | ground | | GND | |")
    return "\n".join(lines)


def board_order(label):
    # The board's headers: D2 ... D13, then A0 ... A5, then GND.
    if label == "GND":
        return (2, 0)
    return (0 if label.startswith("D") else 1, int(label[1:]))


def svg(rows, ground):
    row_height = 26
    top = 190
    left_x, right_x = 250, 640
    width, height = 900, top + (len(rows) + 1) * row_height + 90
    out = [
        f'<svg xmlns="http://www.w3.org/2000/svg" width="{width}" height="{height}" '
        f'viewBox="0 0 {width} {height}" font-family="DejaVu Sans, Arial, sans-serif" font-size="14">',
        f'<rect width="{width}" height="{height}" fill="white"/>',
        '<text x="450" y="28" text-anchor="middle" font-size="18" font-weight="bold">'
        "Quillon USB bridge: DB-25 socket to Arduino Uno / Nano</text>",
    ]
    # The socket's face, as the copier's plug meets it: 13 pins over 12, pin
    # 1 at the top right (a plug's face has it at the top left).
    out.append('<path d="M 300 48 L 600 48 L 585 112 L 315 112 Z" fill="#eeeeee" stroke="#555" stroke-width="2"/>')
    for pin in range(1, 26):
        if pin <= 13:
            x, y = 588 - (pin - 1) * 23, 66
        else:
            x, y = 576.5 - (pin - 14) * 23, 96
        used = any(row["db25"] == pin for row in rows) or ground[0] <= pin <= ground[1]
        colour = "#555" if used else "#bbb"
        out.append(f'<circle cx="{x}" cy="{y}" r="8" fill="white" stroke="{colour}" stroke-width="1.5"/>')
        out.append(f'<text x="{x}" y="{y + 4}" text-anchor="middle" font-size="9" fill="{colour}">{pin}</text>')
    out.append('<text x="450" y="132" text-anchor="middle" font-size="12" fill="#555">'
               "DB-25 female socket, front view (the copier's cable plugs in here)</text>")

    entries = rows + [{"signal": "ground", "db25": f"{ground[0]}-{ground[1]}", "board": "GND", "group": "ground"}]
    board_rows = sorted(entries, key=lambda row: board_order(row["board"]))
    board_y = {row["board"]: top + i * row_height for i, row in enumerate(board_rows)}
    box_bottom = top + len(entries) * row_height - 8
    out.append(f'<rect x="40" y="{top - 22}" width="{left_x - 30}" height="{box_bottom - top + 30}" '
               'fill="#f6f6f6" stroke="#555" stroke-width="1.5" rx="6"/>')
    out.append(f'<text x="{40 + (left_x - 30) / 2}" y="{top - 30}" text-anchor="middle" font-weight="bold">DB-25 pin</text>')
    out.append(f'<rect x="{right_x - 10}" y="{top - 22}" width="170" height="{box_bottom - top + 30}" '
               'fill="#e7f0f7" stroke="#2b5d80" stroke-width="1.5" rx="6"/>')
    out.append(f'<text x="{right_x + 75}" y="{top - 30}" text-anchor="middle" font-weight="bold">board pin</text>')
    for i, row in enumerate(entries):
        y = top + i * row_height
        colour = GROUPS[row["group"]][0]
        by = board_y[row["board"]]
        out.append(f'<text x="52" y="{y + 5}" font-weight="bold">{row["db25"]}</text>')
        out.append(f'<text x="105" y="{y + 5}" fill="{colour}">{row["signal"]}</text>')
        out.append(f'<path d="M {left_x - 10} {y} C {left_x + 150} {y}, {right_x - 160} {by}, {right_x - 10} {by}" '
                   f'fill="none" stroke="{colour}" stroke-width="2.2"/>')
        out.append(f'<circle cx="{left_x - 10}" cy="{y}" r="4" fill="{colour}"/>')
        out.append(f'<circle cx="{right_x - 10}" cy="{by}" r="4" fill="{colour}"/>')
        avr = f' ({row["avr"]})' if "avr" in row else ""
        out.append(f'<text x="{right_x + 5}" y="{by + 5}" font-weight="bold">{row["board"]}</text>'
                   f'<text x="{right_x + 55}" y="{by + 5}" font-size="12" fill="#555">{avr}</text>')
    legend_y = box_bottom + 40
    for i, (colour, text) in enumerate(GROUPS.values()):
        x = 60 + i * 210
        out.append(f'<line x1="{x}" y1="{legend_y}" x2="{x + 30}" y2="{legend_y}" stroke="{colour}" stroke-width="3"/>')
        out.append(f'<text x="{x + 38}" y="{legend_y + 5}" font-size="13">{text}</text>')
    out.append(f'<text x="450" y="{legend_y + 30}" text-anchor="middle" font-size="12" fill="#555">'
               "Pins 18 to 25 are all ground: one wire to GND is enough. D0 and D1 stay free for USB.</text>")
    out.append("</svg>")
    return "\n".join(out) + "\n"


def readme_table():
    text = README.read_text()
    if TABLE_START not in text or TABLE_END not in text:
        return None
    return text.split(TABLE_START, 1)[1].split(TABLE_END, 1)[0].strip()


def main():
    rows, ground = read_table()
    table, picture = markdown(rows, ground), svg(rows, ground)
    if sys.argv[1:] == ["--check"]:
        ok = True
        if not PICTURE.exists() or PICTURE.read_text() != picture:
            print(f"{PICTURE} does not match {HEADER}: run bridge/wiring/draw_wiring.py", file=sys.stderr)
            ok = False
        if readme_table() != table:
            print(f"the wiring table in {README} does not match {HEADER}", file=sys.stderr)
            ok = False
        return 0 if ok else 1
    PICTURE.write_text(picture)
    print(table)
    return 0


if __name__ == "__main__":
    sys.exit(main())
