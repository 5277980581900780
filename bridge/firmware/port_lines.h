/*
 * The DB-25 lines as a PC port's three registers. The copier must see what
 * a PC port would show it, so the inversions of a PC port are done here:
 * status bit 7 reads BUSY inverted; control bits 0 (STROBE), 1 (AUTOFEED)
 * and 3 (SELECT-IN) drive their lines inverted, bit 2 (INIT) does not.
 *
 * The fast paths rely on the wiring of board_wiring.h (checked at compile
 * time in port_lines.c): DATA0-5 on PD2-7, DATA6-7 on PB0-1, STROBE,
 * AUTOFEED, INIT, SELECT-IN on PB2-5, ERROR, SELECT, PAPER-OUT, ACK, BUSY
 * on PC0-4, so the nibble a copier offers is simply PINC & 0x0F.
 */
#ifndef QUILLON_PORT_LINES_H
#define QUILLON_PORT_LINES_H

#include <avr/io.h>
#include <stdint.h>

#define LINES_BUSY_MASK _BV(PC4)
#define LINES_NIBBLE_MASK 0x0F
#define LINES_DATA_LOW_SHIFT 2   /* DATA0 on PD2 */
#define LINES_DATA_HIGH_SHIFT 6  /* DATA6 on PB0 */
#define LINES_DATA_HIGH_MASK 0x03
#define LINES_CONTROL_SHIFT 2    /* control bit 0 on PB2 */
#define LINES_CONTROL_MASK 0x3C
#define LINES_CONTROL_INVERTED 0x0B /* bits 0, 1 and 3 */
#define LINES_STROBE_MASK _BV(PB2)
#define LINES_RX_PULLUP _BV(PD0)

/* Status bit 7 of a PC port reads 1 while the BUSY line is low. */
static inline uint8_t lines_ready_for_byte(void) { return !(PINC & LINES_BUSY_MASK); }
/* ...and 0 while BUSY is high: the copier offers a nibble. */
static inline uint8_t lines_offers_nibble(void) { return PINC & LINES_BUSY_MASK; }

/* Status bits 3-6 as they reach a PC, shifted down to bits 0-3. */
static inline uint8_t lines_nibble(void) { return PINC & LINES_NIBBLE_MASK; }

static inline void lines_write_data(uint8_t value) {
  PORTD = (uint8_t)(value << LINES_DATA_LOW_SHIFT) | LINES_RX_PULLUP;
  PORTB = (uint8_t)((PORTB & (uint8_t)~LINES_DATA_HIGH_MASK) | (value >> LINES_DATA_HIGH_SHIFT));
}

/* A PC inverts control bit 0; the STROBE line flips whatever its polarity.
 * Writing 1 to a PIN bit toggles the output in one instruction. */
static inline void lines_toggle_strobe(void) { PINB = LINES_STROBE_MASK; }

void lines_init(void);
/* Data 0x00, control as a PC writing 0x0C: how a PC leaves the port. */
void lines_park(void);
void lines_write_control(uint8_t value);
/* Bit 0..7 of the control register; bits 4-7 drive no line. */
void lines_invert_control_bit(uint8_t bit);
/* The status register as a PC reads it; bits 0-2 read 0. */
uint8_t lines_read_status(void);

#endif /* QUILLON_PORT_LINES_H */
