#include "board_timer.h"

void timer_init(void) {
  TCCR1A = 0;
  TCCR1B = _BV(CS12); /* clk / 256, normal mode */
  TCNT1 = 0;
}

void timer_wait_ticks(uint16_t ticks) {
  const uint16_t start = timer_now();
  while (timer_since(start) < ticks) {
  }
}

void timer_pause_ms(uint8_t ms) { timer_wait_ticks(TIMER_MS_TO_TICKS(ms)); }
