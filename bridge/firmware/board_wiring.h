/*
 * How the board is wired to the DB-25 plug: one row per signal. The
 * firmware's line code, the simulator and the wiring picture in docs/ all
 * read this table, so the three cannot disagree about which wire goes where.
 *
 * X(SIGNAL, DB-25 pin, AVR port, AVR bit, board pin, direction seen from the board)
 *
 * The UART pins PD0/PD1 stay free for the USB-serial chip. SELECT-IN shares
 * D13 with the on-board LED, which the bootloader blinks during a reset.
 */
#ifndef QUILLON_BOARD_WIRING_H
#define QUILLON_BOARD_WIRING_H

#define QLBR_WIRING(X)                        \
  X(STROBE, 1, 'B', 2, "D10", OUT)            \
  X(DATA0, 2, 'D', 2, "D2", OUT)              \
  X(DATA1, 3, 'D', 3, "D3", OUT)              \
  X(DATA2, 4, 'D', 4, "D4", OUT)              \
  X(DATA3, 5, 'D', 5, "D5", OUT)              \
  X(DATA4, 6, 'D', 6, "D6", OUT)              \
  X(DATA5, 7, 'D', 7, "D7", OUT)              \
  X(DATA6, 8, 'B', 0, "D8", OUT)              \
  X(DATA7, 9, 'B', 1, "D9", OUT)              \
  X(ACK, 10, 'C', 3, "A3", IN)                \
  X(BUSY, 11, 'C', 4, "A4", IN)               \
  X(PAPER_OUT, 12, 'C', 2, "A2", IN)          \
  X(SELECT, 13, 'C', 1, "A1", IN)             \
  X(AUTOFEED, 14, 'B', 3, "D11", OUT)         \
  X(ERROR, 15, 'C', 0, "A0", IN)              \
  X(INIT, 16, 'B', 4, "D12", OUT)             \
  X(SELECT_IN, 17, 'B', 5, "D13", OUT)

/* DB-25 pins 18 to 25 are ground: wire at least one to the board's GND. */
#define QLBR_WIRING_GROUND_FIRST 18
#define QLBR_WIRING_GROUND_LAST 25

#endif /* QUILLON_BOARD_WIRING_H */
