/*
 * The UART to the board's USB-serial chip. Received bytes go into the
 * receive ring (receive_ring.h); replies leave through a transmit ring that
 * the main loop pumps, so sending never waits unless the ring is full.
 *
 * A frame under construction (a DATA frame filled while bytes come from the
 * copier) stays behind the commit mark until its CRC is written, so its
 * length can still be cut short when the copier stops answering.
 */
#ifndef QUILLON_SERIAL_LINK_H
#define QUILLON_SERIAL_LINK_H

#include <avr/io.h>
#include <stdint.h>

/* Room for a DATA frame being filled (260 bytes) beside the one leaving.
 * With the receive ring of 1,280 bytes and the stack, this is what 2 KB
 * of RAM holds. */
#define TX_RING_SIZE 448u

/* The ring's index `offset` slots after `index` (offset below the size). */
static inline uint16_t tx_wrap(uint16_t index) { return index >= TX_RING_SIZE ? index - TX_RING_SIZE : index; }

/* Returns 0 for a rate the board cannot make exactly. */
uint8_t serial_ubrr_for(uint32_t baud, uint8_t* ubrr);
void serial_init(uint8_t ubrr);
/* Sends what is committed, waits for the last stop bit, then changes rate. */
void serial_switch(uint8_t ubrr);

/* Sleeps (idle mode) until an interrupt, unless a byte is already waiting. */
void serial_sleep_until_byte(void);

/* The ring itself, for the receive loop: at 2,000,000 baud it fills a DATA
 * frame with the ring's positions in registers, then hands them back. */
extern uint8_t tx_ring[TX_RING_SIZE];
extern uint16_t tx_head, tx_tail, tx_commit, tx_crc;

/* Moves the byte at `tail` to the UART if it is committed and the UART has
 * room; returns the new tail. */
static inline uint16_t tx_pump_from(uint16_t tail, uint16_t commit) {
  if (tail != commit && (UCSR0A & _BV(UDRE0))) {
    UDR0 = tx_ring[tail];
    tail = tx_wrap(tail + 1u);
  }
  return tail;
}

/* Moves one committed byte to the UART if it has room. */
void tx_pump(void);
/* Sends everything committed. */
void tx_drain(void);
uint8_t tx_idle(void);
/* A whole frame, committed at once. */
void tx_frame(uint8_t type, const uint8_t* payload, uint8_t length);
/* A frame filled byte by byte: open, put `length` bytes, close. */
void tx_open(uint8_t type, uint8_t length);
void tx_put(uint8_t byte);
/* Closes the open frame after `length` bytes (at most those opened for). */
void tx_close(uint8_t length);
/* Pumps until `count` more bytes fit. */
void tx_make_room(uint16_t count);
/* Forgets the open frame (nothing was put into it). */
void tx_abandon(void);

#endif /* QUILLON_SERIAL_LINK_H */
