#include "requests.h"

#include "frame_crc.h"

#include "../protocol/quillon_bridge.h"
#include "board_timer.h"
#include "handshake.h"
#include "port_lines.h"
#include "receive_ring.h"
#include "serial_link.h"

#define HEADER_LENGTH 3 /* start, type, length */

static uint8_t discarding;    /* after TIMEOUT or ERROR, until a SYNC */
static uint8_t transfer_open; /* from the first SEND or RECEIVE after a SYNC */
static uint32_t moved;        /* bytes moved to or from the copier since the last SYNC */

void requests_init(void) {
  discarding = 0;
  transfer_open = 0;
  moved = 0;
}

static void put_u32(uint8_t* out, uint32_t value) {
  for (uint8_t i = 0; i < 4; ++i) out[i] = (uint8_t)(value >> (8 * i));
}

static uint32_t peek_u32(uint16_t offset) {
  uint32_t value = 0;
  for (uint8_t i = 4; i-- > 0;) value = (value << 8) | rx_peek(offset + i);
  return value;
}

/* The first fault is reported; the rest are swallowed until the PC has
 * realigned with a SYNC. */
static void fault(uint8_t type, const uint8_t* payload, uint8_t length) {
  if (!discarding) tx_frame(type, payload, length);
  discarding = 1;
}

static void fail(uint8_t code) { fault(QLBR_REP_ERROR, &code, 1); }

static void count_moved(uint16_t done, uint16_t asked) {
  moved += done;
  if (done < asked) {
    uint8_t payload[QLBR_LEN_REP_TIMEOUT];
    put_u32(payload, moved);
    fault(QLBR_REP_TIMEOUT, payload, sizeof payload);
  }
}

static uint8_t length_fits(uint8_t type, uint8_t length) {
  switch (type) {
    case QLBR_REQ_HELLO: return length == QLBR_LEN_HELLO;
    case QLBR_REQ_SET_BAUD: return length == QLBR_LEN_SET_BAUD;
    case QLBR_REQ_SEND: return length != 0;
    case QLBR_REQ_RECEIVE: return length == QLBR_LEN_RECEIVE;
    case QLBR_REQ_PAUSE: return length == QLBR_LEN_PAUSE;
    case QLBR_REQ_WRITE_DATA: return length == QLBR_LEN_WRITE_DATA;
    case QLBR_REQ_WRITE_CONTROL: return length == QLBR_LEN_WRITE_CONTROL;
    case QLBR_REQ_READ_STATUS: return length == QLBR_LEN_READ_STATUS;
    case QLBR_REQ_NOT_CONTROL_BIT: return length == QLBR_LEN_NOT_CONTROL_BIT;
    case QLBR_REQ_SYNC: return length == QLBR_LEN_SYNC;
    case QLBR_REQ_CHECKPOINT: return length == QLBR_LEN_CHECKPOINT;
    default: return 0;
  }
}

/* Replies (a CREDIT most of all) keep leaving while a long frame is checked. */
#define PUMP_EVERY 32u

static uint16_t crc_run(uint16_t crc, const uint8_t* bytes, uint16_t count) {
  while (count) {
    tx_pump();
    uint8_t chunk = count < PUMP_EVERY ? (uint8_t)count : PUMP_EVERY;
    count -= chunk;
    crc = crc_block(crc, bytes, chunk);
    bytes += chunk;
  }
  return crc;
}

/* Over type, length and payload, in at most two stretches of the ring. */
static uint8_t crc_matches(uint8_t length) {
  const uint16_t covered = 2u + length;
  const uint8_t* start = rx_at(1);
  const uint16_t room = rx_until_wrap(start);
  uint16_t crc;
  if (covered <= room) {
    crc = crc_run(QLBR_CRC_INIT, start, covered);
  } else {
    crc = crc_run(QLBR_CRC_INIT, start, room);
    crc = crc_run(crc, rx_ring, covered - room);
  }
  const uint16_t end = 1u + covered;
  return rx_peek(end) == (uint8_t)crc && rx_peek(end + 1) == (uint8_t)(crc >> 8);
}

static void reply_hello(void) {
  const uint8_t payload[QLBR_LEN_REP_HELLO] = {
      'Q', 'L', 'B', 'R', QLBR_PROTOCOL_VERSION, QLBR_FIRMWARE_MAJOR, QLBR_FIRMWARE_MINOR,
      (uint8_t)RX_WINDOW, (uint8_t)(RX_WINDOW >> 8)};
  tx_frame(QLBR_REP_HELLO, payload, sizeof payload);
}

/* Pumps the replies out while the copier gets its pause. */
static void pause_ms(uint8_t ms) {
  const uint16_t ticks = TIMER_MS_TO_TICKS(ms);
  const uint16_t start = timer_now();
  while (timer_since(start) < ticks) tx_pump();
}

static void set_baud(uint32_t baud) {
  uint8_t ubrr;
  if (!serial_ubrr_for(baud, &ubrr)) {
    fail(QLBR_ERROR_BAD_REQUEST);
    return;
  }
  uint8_t payload[QLBR_LEN_REP_ACK];
  put_u32(payload, baud);
  tx_frame(QLBR_REP_ACK, payload, sizeof payload);
  serial_switch(ubrr);
}

static void report_done(uint8_t token) {
  uint8_t payload[QLBR_LEN_REP_DONE];
  payload[0] = token;
  put_u32(&payload[1], moved);
  tx_frame(QLBR_REP_DONE, payload, sizeof payload);
}

static void sync(uint8_t token) {
  report_done(token);
  requests_init();
}

/* The transfer and the count go on; a count the PC does not share means a
 * frame was lost as noise, and the blocks behind it must not reach the copier. */
static void checkpoint(uint8_t token) {
  report_done(token);
  if (peek_u32(HEADER_LENGTH + 1) != moved) discarding = 1;
}

/* HELLO and SYNC are consumed before they are answered, so that the
 * window they report or realign on includes their own bytes. */
static void answer(uint8_t type, uint8_t length) {
  const uint8_t token = rx_peek(HEADER_LENGTH);
  rx_consume((uint16_t)(length + QLBR_FRAME_OVERHEAD));
  if (type == QLBR_REQ_HELLO) {
    /* A new PC session: whatever the old one left undone is forgotten,
     * and the whole window is free for it. */
    requests_init();
    rx_forget_credit();
    reply_hello();
  } else {
    /* Everything before the DONE is credited before it. */
    rx_flush_credit();
    sync(token);
  }
}

/* A frame whose CRC matched; its payload starts at ring offset 3. */
static void execute(uint8_t type, uint8_t length) {
  const uint8_t first = rx_peek(HEADER_LENGTH);
  if (discarding) return;
  switch (type) {
    case QLBR_REQ_SET_BAUD:
      set_baud(peek_u32(HEADER_LENGTH));
      break;
    case QLBR_REQ_SEND:
      transfer_open = 1;
      count_moved(handshake_send(HEADER_LENGTH, length), length);
      break;
    case QLBR_REQ_RECEIVE: {
      const uint16_t count = (uint16_t)(first | (rx_peek(HEADER_LENGTH + 1) << 8));
      if (count == 0) {
        fail(QLBR_ERROR_BAD_REQUEST);
        break;
      }
      transfer_open = 1;
      count_moved(handshake_receive(count), count);
      break;
    }
    case QLBR_REQ_PAUSE:
      pause_ms(first);
      break;
    case QLBR_REQ_WRITE_DATA:
      lines_write_data(first);
      break;
    case QLBR_REQ_WRITE_CONTROL:
      lines_write_control(first);
      break;
    case QLBR_REQ_READ_STATUS: {
      const uint8_t status = lines_read_status();
      tx_frame(QLBR_REP_STATUS, &status, 1);
      break;
    }
    case QLBR_REQ_CHECKPOINT:
      checkpoint(first);
      break;
    case QLBR_REQ_NOT_CONTROL_BIT:
      if (first > 7)
        fail(QLBR_ERROR_BAD_REQUEST);
      else
        lines_invert_control_bit(first);
      break;
    default:
      break;
  }
}

uint8_t requests_process_one(void) {
  const uint16_t available = rx_count();
  if (available == 0) return 0;
  if (rx_peek(0) != QLBR_FRAME_START) {
    rx_consume(1); /* noise between frames, or the rest of a bad one */
    return 1;
  }
  if (available < HEADER_LENGTH) return 0;
  const uint8_t type = rx_peek(1);
  const uint8_t length = rx_peek(2);
  if (!length_fits(type, length)) {
    fail(QLBR_ERROR_BAD_REQUEST);
    rx_consume(1); /* look for the next start byte */
    return 1;
  }
  if (available < (uint16_t)(length + QLBR_FRAME_OVERHEAD)) return 0;
  if (!crc_matches(length)) {
    fail(QLBR_ERROR_BAD_CRC);
    rx_consume(1);
    return 1;
  }
  if (type == QLBR_REQ_HELLO || type == QLBR_REQ_SYNC) {
    answer(type, length);
    return 1;
  }
  execute(type, length);
  rx_consume((uint16_t)(length + QLBR_FRAME_OVERHEAD));
  return 1;
}

uint8_t requests_expect_more(void) { return transfer_open || rx_count() != 0; }

void requests_silence(void) {
  lines_park();
  rx_consume(rx_count());
  fail(QLBR_ERROR_SILENCE);
  transfer_open = 0;
}

void requests_check_overrun(void) {
  if (rx_take_lost()) fail(QLBR_ERROR_OVERRUN);
}
