#include "port_lines.h"

#include "../protocol/quillon_bridge.h"
#include "board_wiring.h"

/* The inline fast paths hard-code the wiring; make a change of the table
 * that they do not follow a compile error instead of a wrong wire. */
#define LINES_PIN_ID(port, bit) (((port) << 8) | (bit))
#define LINES_DECLARE_PIN(name, db25, port, bit, label, direction) \
  enum { LINES_PIN_##name = LINES_PIN_ID(port, bit) };
QLBR_WIRING(LINES_DECLARE_PIN)

_Static_assert(LINES_PIN_DATA0 == LINES_PIN_ID('D', 2), "DATA0-5 must be PD2-7");
_Static_assert(LINES_PIN_DATA1 == LINES_PIN_ID('D', 3), "DATA0-5 must be PD2-7");
_Static_assert(LINES_PIN_DATA2 == LINES_PIN_ID('D', 4), "DATA0-5 must be PD2-7");
_Static_assert(LINES_PIN_DATA3 == LINES_PIN_ID('D', 5), "DATA0-5 must be PD2-7");
_Static_assert(LINES_PIN_DATA4 == LINES_PIN_ID('D', 6), "DATA0-5 must be PD2-7");
_Static_assert(LINES_PIN_DATA5 == LINES_PIN_ID('D', 7), "DATA0-5 must be PD2-7");
_Static_assert(LINES_PIN_DATA6 == LINES_PIN_ID('B', 0), "DATA6-7 must be PB0-1");
_Static_assert(LINES_PIN_DATA7 == LINES_PIN_ID('B', 1), "DATA6-7 must be PB0-1");
_Static_assert(LINES_PIN_STROBE == LINES_PIN_ID('B', 2), "control bits 0-3 must be PB2-5");
_Static_assert(LINES_PIN_AUTOFEED == LINES_PIN_ID('B', 3), "control bits 0-3 must be PB2-5");
_Static_assert(LINES_PIN_INIT == LINES_PIN_ID('B', 4), "control bits 0-3 must be PB2-5");
_Static_assert(LINES_PIN_SELECT_IN == LINES_PIN_ID('B', 5), "control bits 0-3 must be PB2-5");
_Static_assert(LINES_PIN_ERROR == LINES_PIN_ID('C', 0), "status bits 3-6 must be PC0-3");
_Static_assert(LINES_PIN_SELECT == LINES_PIN_ID('C', 1), "status bits 3-6 must be PC0-3");
_Static_assert(LINES_PIN_PAPER_OUT == LINES_PIN_ID('C', 2), "status bits 3-6 must be PC0-3");
_Static_assert(LINES_PIN_ACK == LINES_PIN_ID('C', 3), "status bits 3-6 must be PC0-3");
_Static_assert(LINES_PIN_BUSY == LINES_PIN_ID('C', 4), "BUSY must be PC4");

#define LINES_STATUS_INPUTS 0x1F /* PC0-4 */
#define LINES_STATUS_NIBBLE_SHIFT 3
#define LINES_STATUS_READY 0x80

static uint8_t control_pins(uint8_t value) {
  return (uint8_t)(((value ^ LINES_CONTROL_INVERTED) & 0x0F) << LINES_CONTROL_SHIFT);
}

void lines_init(void) {
  /* Levels first, then directions, so the outputs come up parked. */
  PORTD = LINES_RX_PULLUP;
  PORTB = control_pins(QLBR_PARK_CONTROL);
  DDRD = (uint8_t)(0xFF << LINES_DATA_LOW_SHIFT);
  DDRB = LINES_DATA_HIGH_MASK | LINES_CONTROL_MASK;
  /* Pull-ups stand in for a PC port's: an unplugged cable reads high. The
   * spare PC5 gets one too, so it does not float. */
  DDRC = 0;
  PORTC = LINES_STATUS_INPUTS | _BV(PC5);
}

void lines_park(void) {
  lines_write_data(QLBR_PARK_DATA);
  lines_write_control(QLBR_PARK_CONTROL);
}

void lines_write_control(uint8_t value) {
  PORTB = (uint8_t)((PORTB & (uint8_t)~LINES_CONTROL_MASK) | control_pins(value));
}

void lines_invert_control_bit(uint8_t bit) {
  if (bit < 4) PINB = (uint8_t)(1u << (bit + LINES_CONTROL_SHIFT));
}

uint8_t lines_read_status(void) {
  const uint8_t pins = PINC;
  uint8_t status = (uint8_t)((pins & LINES_NIBBLE_MASK) << LINES_STATUS_NIBBLE_SHIFT);
  if (!(pins & LINES_BUSY_MASK)) status |= LINES_STATUS_READY;
  return status;
}
