#include "handshake.h"

#include "frame_crc.h"

#include "../protocol/quillon_bridge.h"
#include "board_timer.h"
#include "port_lines.h"
#include "receive_ring.h"
#include "serial_link.h"

#define HANDSHAKE_TIMEOUT_TICKS TIMER_MS_TO_TICKS(QLBR_BYTE_TIMEOUT_MS)
/* Two DATA frames fit in the transmit ring, so one is filled while the
 * other leaves and the line never waits for a frame to be closed. */
#define DATA_FRAME_MAX 200u
_Static_assert(2u * (DATA_FRAME_MAX + QLBR_FRAME_OVERHEAD) < TX_RING_SIZE, "two DATA frames must fit");

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

/* Sends the bytes of one contiguous stretch of the ring, in runs of 32
 * between which replies (a CREDIT most of all) keep leaving. */
static uint8_t send_run(const uint8_t* bytes, uint8_t count) {
  uint8_t sent = 0;
  while (sent < count) {
    tx_pump();
    const uint8_t left = (uint8_t)(count - sent);
    const uint8_t run = left < 32u ? left : 32u;
    for (uint8_t i = 0; i < run; ++i) {
      if (!lines_ready_for_byte() && !wait_ready_for_byte()) return (uint8_t)(sent + i);
      lines_write_data(*bytes++);
      lines_toggle_strobe();
      (void)PINC; /* the status read that ends a PC's SendByte */
    }
    sent = (uint8_t)(sent + run);
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

/* A wait that found the copier not ready yet, in the middle of the loop
 * below: the transmit ring's tail goes back to its home for the pumping
 * the wait does, and comes back with what the wait sent. */
static uint8_t wait_nibble_pumping(uint16_t* tail) {
  tx_tail = *tail;
  const uint8_t offered = wait_offers_nibble();
  *tail = tx_tail;
  return offered;
}

/* Fills one DATA frame of `length` bytes, each received as ReceiveByte
 * does: low nibble first, each half waited for, read once more, and
 * acknowledged by a STROBE flip. The ring has room for the whole frame
 * already; the bytes go straight into it, and it is pumped between them.
 * Returns the bytes received. */
static uint8_t receive_frame(uint8_t length) {
  uint8_t* out = &tx_ring[tx_head];
  uint16_t tail = tx_tail;
  const uint16_t commit = tx_commit;
  uint16_t crc = tx_crc;
  uint8_t done = 0;
  while (done < length) {
    if (!lines_offers_nibble() && !wait_nibble_pumping(&tail)) break;
    const uint8_t low = lines_nibble();
    lines_toggle_strobe();
    if (!lines_offers_nibble() && !wait_nibble_pumping(&tail)) break;
    const uint8_t byte = (uint8_t)(lines_nibble() << 4) | low;
    lines_toggle_strobe();
    *out++ = byte;
    if (out == tx_ring + TX_RING_SIZE) out = tx_ring;
    crc = crc_step(crc, byte);
    tail = tx_pump_from(tail, commit);
    ++done;
  }
  tx_head = (uint16_t)(out - tx_ring);
  tx_tail = tail;
  tx_crc = crc;
  return done;
}

uint16_t handshake_receive(uint16_t count) {
  uint16_t moved = 0;
  while (moved < count) {
    const uint16_t left = count - moved;
    const uint8_t length = left < DATA_FRAME_MAX ? (uint8_t)left : DATA_FRAME_MAX;
    tx_open(QLBR_REP_DATA, length);
    tx_make_room((uint16_t)(length + 2u)); /* the payload and the CRC */
    const uint8_t received = receive_frame(length);
    moved += received;
    if (received < length) {
      if (received == 0)
        tx_abandon();
      else
        tx_close(received);
      return moved;
    }
    tx_close(length);
  }
  return moved;
}
