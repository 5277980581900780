/*
 * Time on the board: Timer1 runs free at 16 MHz / 256, one tick every
 * 16 us, and wraps after 1.05 s. Every span measured with it is shorter
 * than that (at most the 1 s of PC silence), so 16-bit differences suffice.
 */
#ifndef QUILLON_BOARD_TIMER_H
#define QUILLON_BOARD_TIMER_H

#include <avr/io.h>
#include <stdint.h>

#define TIMER_TICKS_PER_SECOND 62500u
/* Rounded up: a wait or a pause must last at least as long as asked. */
#define TIMER_MS_TO_TICKS(ms) ((uint16_t)(((uint32_t)(ms) * TIMER_TICKS_PER_SECOND + 999u) / 1000u))

void timer_init(void);

static inline uint16_t timer_now(void) { return TCNT1; }
static inline uint16_t timer_since(uint16_t start) { return (uint16_t)(TCNT1 - start); }

void timer_pause_ms(uint8_t ms);
/* Waits about `ticks` ticks (short waits: the baud-rate switch). */
void timer_wait_ticks(uint16_t ticks);

#endif /* QUILLON_BOARD_TIMER_H */
