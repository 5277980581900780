/*
 * USB bridge firmware: an ATmega328P at 16 MHz between the USB-serial chip
 * of an Arduino Uno or Nano and a copier's DB-25 cable. The PC streams
 * framed requests; the board runs the copier's byte handshake itself.
 */
#include <avr/interrupt.h>

#include "../protocol/quillon_bridge.h"
#include "board_timer.h"
#include "port_lines.h"
#include "receive_ring.h"
#include "requests.h"
#include "serial_link.h"

#define SILENCE_TICKS TIMER_MS_TO_TICKS(QLBR_SILENCE_MS)

int main(void) {
  lines_init();
  timer_init();
  uint8_t ubrr = 0;
  serial_ubrr_for(QLBR_DEFAULT_BAUD, &ubrr);
  rx_init();
  serial_init(ubrr);
  requests_init();
  sei();

  uint16_t quiet_since = timer_now();
  uint16_t seen = 0;
  uint8_t worked = 1;
  for (;;) {
    tx_pump();
    requests_check_overrun();
    if (requests_process_one()) {
      worked = 1;
      rx_report_credit();
      continue;
    }
    rx_report_credit();
    /* Idle: measure the PC's silence from the last byte or the last work. */
    const uint16_t waiting = rx_count();
    if (worked || waiting != seen) {
      quiet_since = timer_now();
      seen = waiting;
      worked = 0;
    } else if (requests_expect_more()) {
      if (timer_since(quiet_since) >= SILENCE_TICKS) {
        requests_silence();
        worked = 1;
      }
    } else if (tx_idle()) {
      serial_sleep_until_byte();
    }
  }
}
