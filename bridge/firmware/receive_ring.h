/*
 * Request bytes from the PC, put into a ring by the UART's receive
 * interrupt. Its size is the window the PC may fill.
 *
 * At 2,000,000 baud a byte arrives every 80 cycles, so the interrupt is
 * written in assembly and keeps its write position in r2:r3, beside the
 * main loop's read position in r4:r5 and the page past the ring's end in
 * r6. Every file is compiled with -ffixed-r2 ... -ffixed-r6 so nothing else
 * uses them; the positions are moved with one movw, so neither side ever
 * sees half an update.
 */
#ifndef QUILLON_RECEIVE_RING_H
#define QUILLON_RECEIVE_RING_H

#include <stdint.h>

#define RX_RING_SIZE 1280u
/* One slot stays empty so a full ring differs from an empty one. */
#define RX_WINDOW (RX_RING_SIZE - 1u)

extern uint8_t rx_ring[RX_RING_SIZE];

static inline uint8_t* rx_write_position(void) {
  uint8_t* position;
  __asm__ volatile("movw %A0, r2" : "=r"(position));
  return position;
}

static inline uint8_t* rx_read_position(void) {
  uint8_t* position;
  __asm__ volatile("movw %A0, r4" : "=r"(position));
  return position;
}

static inline uint16_t rx_read_index(void) { return (uint16_t)(rx_read_position() - rx_ring); }

void rx_init(void);
/* Bytes waiting. */
static inline uint16_t rx_count(void) {
  const int16_t count = (int16_t)(rx_write_position() - rx_read_position());
  return (uint16_t)(count < 0 ? count + (int16_t)RX_RING_SIZE : count);
}
/* The ring's index `offset` bytes after `index` (offset below the ring's size). */
static inline uint16_t rx_wrap(uint16_t index) { return index >= RX_RING_SIZE ? index - RX_RING_SIZE : index; }
static inline uint8_t rx_peek(uint16_t offset) { return rx_ring[rx_wrap(rx_read_index() + offset)]; }
/* Where the byte at `offset` lies, and how many follow it before the ring wraps. */
static inline uint8_t* rx_at(uint16_t offset) { return &rx_ring[rx_wrap(rx_read_index() + offset)]; }
static inline uint16_t rx_until_wrap(const uint8_t* position) { return (uint16_t)(rx_ring + RX_RING_SIZE - position); }
/* Frees n bytes; they are owed to the PC as credit. */
void rx_consume(uint16_t n);
/* Bytes dropped for want of room since the last call (the PC overran the window). */
uint16_t rx_take_lost(void);
/* A HELLO starts the PC's count of the window afresh. */
void rx_forget_credit(void);
/* Sends CREDIT when enough is owed, or anything owed once the ring is empty. */
void rx_report_credit(void);
/* Sends CREDIT for anything owed. */
void rx_flush_credit(void);

#endif /* QUILLON_RECEIVE_RING_H */
