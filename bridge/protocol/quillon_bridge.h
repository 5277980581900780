/*
 * The serial protocol between the PC and the USB bridge board, version 1.
 * Shared by the firmware (avr-gcc, C) and the PC side (C++): plain C, no
 * AVR includes. docs/bridge-protocol.md describes it with an example.
 *
 * A change to this file must be agreed by both sides; note it here as
 * "changed: ..." and keep both sides building.
 *
 * changed: CHECKPOINT (firmware 1.1), so that the PC can stream the next
 * block while the previous block's count is on its way back. Requests and
 * replies of 1.0 are unchanged; the PC sends CHECKPOINT only to 1.1 or later.
 *
 * Frame, both directions:
 *   0x7E, TYPE, LEN (payload length 0..255), PAYLOAD, CRC low, CRC high.
 * The CRC covers TYPE, LEN and PAYLOAD: CRC-16 with the reflected polynomial
 * 0x8408, start 0xFFFF, no final XOR (avr-libc's _crc_ccitt_update).
 * Multi-byte fields are little-endian.
 */
#ifndef QUILLON_BRIDGE_H
#define QUILLON_BRIDGE_H

#include <stdint.h>

#define QLBR_FRAME_START 0x7E
#define QLBR_FRAME_OVERHEAD 5 /* start, type, len, 2 CRC bytes */
#define QLBR_MAX_PAYLOAD 255
#define QLBR_CRC_INIT 0xFFFFu

#define QLBR_MAGIC "QLBR"
#define QLBR_MAGIC_LENGTH 4
#define QLBR_PROTOCOL_VERSION 1
#define QLBR_FIRMWARE_MAJOR 1
#define QLBR_FIRMWARE_MINOR 1
/* The first firmware of major version 1 that takes CHECKPOINT. */
#define QLBR_CHECKPOINT_MINOR 1

/* 8N1. After reset the board talks at QLBR_DEFAULT_BAUD. SET_BAUD accepts
 * only the rates a 16 MHz clock makes exactly (double speed, UBRR below). */
#define QLBR_DEFAULT_BAUD 1000000UL
#define QLBR_BAUD_2M 2000000UL   /* UBRR 0 */
#define QLBR_BAUD_1M 1000000UL   /* UBRR 1 */
#define QLBR_BAUD_500K 500000UL  /* UBRR 3 */
#define QLBR_BAUD_250K 250000UL  /* UBRR 7 */

/* Requests, PC -> board. Executed strictly in order. */
#define QLBR_REQ_HELLO 0x01           /* no payload -> QLBR_REP_HELLO */
#define QLBR_REQ_SET_BAUD 0x02        /* u32 baud -> QLBR_REP_ACK at the old rate, then switch */
#define QLBR_REQ_SEND 0x10            /* 1..255 bytes, each moved as SendByte does */
#define QLBR_REQ_RECEIVE 0x11         /* u16 count 1..65535 -> QLBR_REP_DATA frames */
#define QLBR_REQ_PAUSE 0x12           /* u8 ms, in order with the bytes */
#define QLBR_REQ_WRITE_DATA 0x13      /* u8 data register value */
#define QLBR_REQ_WRITE_CONTROL 0x14   /* u8 control register value as a PC writes it */
#define QLBR_REQ_READ_STATUS 0x15     /* no payload -> QLBR_REP_STATUS */
#define QLBR_REQ_NOT_CONTROL_BIT 0x16 /* u8 bit 0..7 of the control register to invert */
#define QLBR_REQ_SYNC 0x17            /* u8 token -> QLBR_REP_DONE */
#define QLBR_REQ_CHECKPOINT 0x18      /* u8 token, u32 count -> QLBR_REP_DONE; see below */

/* Payload lengths of the requests with a fixed length. */
#define QLBR_LEN_HELLO 0
#define QLBR_LEN_SET_BAUD 4
#define QLBR_LEN_RECEIVE 2
#define QLBR_LEN_PAUSE 1
#define QLBR_LEN_WRITE_DATA 1
#define QLBR_LEN_WRITE_CONTROL 1
#define QLBR_LEN_READ_STATUS 0
#define QLBR_LEN_NOT_CONTROL_BIT 1
#define QLBR_LEN_SYNC 1
#define QLBR_LEN_CHECKPOINT 5

/* Replies and reports, board -> PC. */
#define QLBR_REP_HELLO 0x81   /* "QLBR", protocol, fw major, fw minor, u16 window */
#define QLBR_REP_ACK 0x82     /* u32 baud: the rate the board switches to */
#define QLBR_REP_DATA 0x90    /* 1..255 bytes received from the copier, in order */
#define QLBR_REP_DONE 0x91    /* u8 token, u32 bytes moved since the previous SYNC */
#define QLBR_REP_TIMEOUT 0x92 /* u32 bytes moved since the previous SYNC before a wait expired */
#define QLBR_REP_STATUS 0x93  /* u8 status register as a PC reads it */
#define QLBR_REP_CREDIT 0x94  /* u16 request bytes freed from the board's buffer */
#define QLBR_REP_ERROR 0x95   /* u8 code, below */

#define QLBR_LEN_REP_HELLO 9
#define QLBR_LEN_REP_ACK 4
#define QLBR_LEN_REP_DONE 5
#define QLBR_LEN_REP_TIMEOUT 4
#define QLBR_LEN_REP_STATUS 1
#define QLBR_LEN_REP_CREDIT 2
#define QLBR_LEN_REP_ERROR 1

/* ERROR codes. After TIMEOUT or ERROR the board discards every request
 * until a SYNC, which it answers with DONE as usual (and resets the count). */
#define QLBR_ERROR_BAD_CRC 1     /* a frame failed its CRC: nothing of it reached the copier */
#define QLBR_ERROR_BAD_REQUEST 2 /* unknown type, bad length, or a value out of range */
#define QLBR_ERROR_OVERRUN 3     /* more request bytes arrived than the window allows */
#define QLBR_ERROR_SILENCE 4     /* the PC fell silent mid-frame or mid-transfer: lines parked */

/* CHECKPOINT closes a block without closing the transfer: the board answers
 * DONE with the bytes moved since the previous SYNC (the count goes on).
 * When that count differs from the one the PC gave, the board discards
 * every request until a SYNC, as after an error, so that nothing of a later
 * block reaches the copier behind a lost frame. After TIMEOUT or ERROR a
 * CHECKPOINT is discarded like any other request: only SYNC realigns. */

/* Flow control. A request frame costs LEN + QLBR_FRAME_OVERHEAD bytes of the
 * window that the HELLO reply states. The board sends CREDIT once at least
 * QLBR_CREDIT_BATCH bytes are free again, and whenever its buffer empties. */
#define QLBR_CREDIT_BATCH 64

/* Timing, measured on the board. */
#define QLBR_BYTE_TIMEOUT_MS 500 /* each wait for the copier, afresh */
#define QLBR_SILENCE_MS 1000     /* PC silence that parks the lines in a transfer */

/* The lines as a PC leaves them at exit, and as the board starts. */
#define QLBR_PARK_DATA 0x00
#define QLBR_PARK_CONTROL 0x0C

/* Status register as the board reports it: bit 7 = BUSY inverted, bit 6 ACK,
 * bit 5 PAPER-OUT, bit 4 SELECT, bit 3 ERROR; bits 0..2 read 0. */
#define QLBR_STATUS_UNUSED_MASK 0x07

/* One step of the CRC over one byte. */
static inline uint16_t qlbr_crc_update(uint16_t crc, uint8_t byte) {
  uint8_t i;
  crc ^= byte;
  for (i = 0; i < 8; ++i) crc = (uint16_t)((crc & 1u) ? ((crc >> 1) ^ 0x8408u) : (crc >> 1));
  return crc;
}

#endif /* QUILLON_BRIDGE_H */
