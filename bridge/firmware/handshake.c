#include "handshake.h"

#include "../protocol/quillon_bridge.h"
#include "board_timer.h"
#include "port_lines.h"
#include "receive_ring.h"
#include "serial_link.h"

#define HANDSHAKE_TIMEOUT_TICKS TIMER_MS_TO_TICKS(QLBR_BYTE_TIMEOUT_MS)

/* The wait's first read was done inline and missed; from here on each
 * round polls the time-out first, then reads again, as a PC does. The
 * time-out counts from that first read, a few cycles after the byte began. */
static __attribute__((noinline)) uint8_t wait_ready_for_byte(void) {
  const uint16_t start = timer_now();
  for (;;) {
    if (timer_since(start) >= HANDSHAKE_TIMEOUT_TICKS) return 0;
    if (lines_ready_for_byte()) return 1;
  }
}

static __attribute__((noinline)) uint8_t wait_offers_nibble(void) {
  const uint16_t start = timer_now();
  for (;;) {
    if (timer_since(start) >= HANDSHAKE_TIMEOUT_TICKS) return 0;
    tx_pump();
    if (lines_offers_nibble()) return 1;
  }
}

/* Sends the bytes of one contiguous stretch of the ring. */
static uint8_t send_run(const uint8_t* bytes, uint8_t count) {
  for (uint8_t i = 0; i < count; ++i) {
    if (!lines_ready_for_byte() && !wait_ready_for_byte()) return i;
    lines_write_data(bytes[i]);
    lines_toggle_strobe();
    (void)PINC; /* the status read that ends a PC's SendByte */
  }
  return count;
}

uint8_t handshake_send(uint16_t offset, uint8_t count) {
  const uint8_t* start = rx_at(offset);
  const uint16_t room = rx_until_wrap(start);
  const uint8_t first = count < room ? count : (uint8_t)room;
  const uint8_t moved = send_run(start, first);
  if (moved < first || first == count) return moved;
  return (uint8_t)(moved + send_run(rx_ring, (uint8_t)(count - first)));
}

/* One byte, low nibble first; -1 when a wait expired. */
static int16_t receive_byte(void) {
  if (!lines_offers_nibble() && !wait_offers_nibble()) return -1;
  const uint8_t low = lines_nibble();
  lines_toggle_strobe();
  if (!lines_offers_nibble() && !wait_offers_nibble()) return -1;
  const uint8_t high = (uint8_t)(lines_nibble() << 4);
  lines_toggle_strobe();
  return (int16_t)(high | low);
}

uint16_t handshake_receive(uint16_t count) {
  uint16_t moved = 0;
  while (moved < count) {
    const uint16_t left = count - moved;
    const uint8_t length = left < QLBR_MAX_PAYLOAD ? (uint8_t)left : QLBR_MAX_PAYLOAD;
    tx_open(QLBR_REP_DATA, length);
    for (uint8_t i = 0; i < length; ++i) {
      const int16_t byte = receive_byte();
      if (byte < 0) {
        if (i == 0)
          tx_abandon();
        else
          tx_close(i);
        return moved;
      }
      tx_put((uint8_t)byte);
      tx_pump();
      ++moved;
    }
    tx_close(length);
  }
  return moved;
}
