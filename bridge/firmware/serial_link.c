#include "serial_link.h"

#include <avr/interrupt.h>
#include <avr/sleep.h>
#include "frame_crc.h"

#include "../protocol/quillon_bridge.h"
#include "board_timer.h"
#include "receive_ring.h"

uint8_t tx_ring[TX_RING_SIZE];
uint16_t tx_head;   /* next free slot */
uint16_t tx_commit; /* end of what may be sent */
uint16_t tx_tail;   /* next byte for the UART */
uint16_t tx_crc;
static uint16_t tx_frame_start;

uint8_t serial_ubrr_for(uint32_t baud, uint8_t* ubrr) {
  /* Double speed: baud = 16 MHz / (8 (UBRR + 1)); only exact rates. */
  const uint32_t divisor = 2000000UL;
  if (baud == 0 || baud > divisor || divisor % baud != 0) return 0;
  const uint32_t value = divisor / baud - 1u;
  if (value > 255u) return 0;
  *ubrr = (uint8_t)value;
  return 1;
}

void serial_init(uint8_t ubrr) {
  UCSR0A = _BV(U2X0);
  UBRR0H = 0;
  UBRR0L = ubrr;
  UCSR0C = _BV(UCSZ01) | _BV(UCSZ00); /* 8N1 */
  UCSR0B = _BV(RXEN0) | _BV(TXEN0) | _BV(RXCIE0);
}

void serial_switch(uint8_t ubrr) {
  tx_drain();
  while (!(UCSR0A & _BV(UDRE0))) {
  }
  /* The shift register may still hold a byte: ten bit times at the
   * slowest rate accepted (250,000 baud) are 40 us. */
  timer_wait_ticks(4);
  UBRR0L = ubrr;
}

void serial_sleep_until_byte(void) {
  set_sleep_mode(SLEEP_MODE_IDLE);
  cli();
  if (rx_count() == 0) {
    sleep_enable();
    sei(); /* the instruction after sei runs first: no wake-up is lost */
    sleep_cpu();
    sleep_disable();
  }
  sei();
}

void tx_pump(void) { tx_tail = tx_pump_from(tx_tail, tx_commit); }

void tx_drain(void) {
  while (tx_tail != tx_commit) tx_pump();
}

uint8_t tx_idle(void) { return tx_tail == tx_head; }

static void tx_store(uint8_t byte) {
  /* Full: only committed bytes can leave, and an open frame (at most 260
   * bytes) never fills the ring alone, so pumping always makes room. */
  while (tx_wrap(tx_head + 1u) == tx_tail) tx_pump();
  tx_ring[tx_head] = byte;
  tx_head = tx_wrap(tx_head + 1u);
}

void tx_open(uint8_t type, uint8_t length) {
  tx_frame_start = tx_head;
  tx_store(QLBR_FRAME_START);
  tx_store(type);
  tx_store(length);
  tx_crc = crc_step(crc_step(QLBR_CRC_INIT, type), length);
}

void tx_put(uint8_t byte) {
  tx_store(byte);
  tx_crc = crc_step(tx_crc, byte);
}

void tx_close(uint8_t length) {
  const uint16_t length_slot = tx_wrap(tx_frame_start + 2u);
  if (tx_ring[length_slot] != length) {
    /* Cut short: the CRC covered the length promised; count it again. */
    tx_ring[length_slot] = length;
    uint16_t crc = crc_step(QLBR_CRC_INIT, tx_ring[tx_wrap(tx_frame_start + 1u)]);
    crc = crc_step(crc, length);
    for (uint8_t i = 0; i < length; ++i) crc = crc_step(crc, tx_ring[tx_wrap(length_slot + 1u + i)]);
    tx_crc = crc;
  }
  tx_store((uint8_t)tx_crc);
  tx_store((uint8_t)(tx_crc >> 8));
  tx_commit = tx_head;
}

void tx_make_room(uint16_t count) {
  for (;;) {
    const uint16_t used = tx_head >= tx_tail ? tx_head - tx_tail : tx_head + TX_RING_SIZE - tx_tail;
    if (TX_RING_SIZE - 1u - used >= count) return;
    tx_pump();
  }
}

void tx_abandon(void) { tx_head = tx_frame_start; }

void tx_frame(uint8_t type, const uint8_t* payload, uint8_t length) {
  tx_open(type, length);
  for (uint8_t i = 0; i < length; ++i) tx_put(payload[i]);
  tx_close(length);
}
