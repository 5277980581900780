#include "receive_ring.h"

#include <avr/interrupt.h>
#include <avr/io.h>

#include "../protocol/quillon_bridge.h"
#include "serial_link.h"

/* Aligned so that the end of the ring is a page boundary: the interrupt
 * wraps by looking at the high byte of its position only. In .noinit, after
 * everything else, so the alignment wastes no RAM below it and start-up
 * does not clear it. */
uint8_t rx_ring[RX_RING_SIZE] __attribute__((section(".noinit"), aligned(256)));
static volatile uint16_t rx_lost;
static uint16_t credit_owed;

_Static_assert(RX_RING_SIZE % 256 == 0, "the ring must end on a page boundary");

/* 35 cycles from the interrupt to its return: no instruction on the usual
 * path touches the status flags (cpse compares without them), so SREG is
 * saved only when a byte is dropped. r6 holds the page just past the ring. */
ISR(USART_RX_vect, ISR_NAKED) {
  __asm__ volatile(
      "push r24\n\t"
      "push r30\n\t"
      "push r31\n\t"
      "movw r30, r2\n\t"
      "lds r24, %[udr]\n\t"
      "st Z+, r24\n\t"
      "cpse r31, r6\n\t"
      "rjmp 1f\n\t"
      "ldi r31, hi8(%[start])\n\t" /* past the end: back to the start */
      "1:\n\t"
      "cpse r30, r4\n\t"
      "rjmp 2f\n\t"
      "cpse r31, r5\n\t"
      "rjmp 2f\n\t"
      "rjmp 4f\n\t" /* full: the byte is dropped */
      "2:\n\t"
      "movw r2, r30\n\t"
      "3:\n\t"
      "pop r31\n\t"
      "pop r30\n\t"
      "pop r24\n\t"
      "reti\n\t"
      "4:\n\t" /* count it, 16 bits, with SREG kept */
      "in r30, __SREG__\n\t"
      "lds r24, %[lost]\n\t"
      "subi r24, 0xFF\n\t"
      "sts %[lost], r24\n\t"
      "lds r24, %[lost]+1\n\t"
      "sbci r24, 0xFF\n\t"
      "sts %[lost]+1, r24\n\t"
      "out __SREG__, r30\n\t"
      "rjmp 3b\n\t"
      :
      : [udr] "n"(_SFR_MEM_ADDR(UDR0)), [start] "i"(rx_ring), [lost] "i"(&rx_lost));
}

static inline void set_read_position(uint8_t* position) { __asm__ volatile("movw r4, %A0" : : "r"(position)); }

void rx_init(void) {
  uint8_t* start = rx_ring;
  const uint8_t end_page = (uint8_t)((uint16_t)(rx_ring + RX_RING_SIZE) >> 8);
  __asm__ volatile("movw r2, %A0\n\tmovw r4, %A0\n\tmov r6, %1" : : "r"(start), "r"(end_page));
  credit_owed = 0;
}

void rx_consume(uint16_t n) {
  set_read_position(&rx_ring[rx_wrap(rx_read_index() + n)]);
  credit_owed += n;
}

uint16_t rx_take_lost(void) {
  cli();
  const uint16_t lost = rx_lost;
  rx_lost = 0;
  sei();
  /* Dropped bytes never took a slot: crediting them keeps the PC's count
   * of the window right. */
  credit_owed += lost;
  return lost;
}

void rx_forget_credit(void) { credit_owed = 0; }

void rx_report_credit(void) {
  if (credit_owed < QLBR_CREDIT_BATCH && rx_count() != 0) return;
  rx_flush_credit();
}

void rx_flush_credit(void) {
  if (credit_owed == 0) return;
  const uint8_t payload[QLBR_LEN_REP_CREDIT] = {(uint8_t)credit_owed, (uint8_t)(credit_owed >> 8)};
  credit_owed = 0;
  tx_frame(QLBR_REP_CREDIT, payload, sizeof payload);
}
