/*
 * The copier's byte handshake, run by the board as a PC's SendByte and
 * ReceiveByte do it: the same reads of the status lines, the same writes
 * and STROBE flips, in the same order, each wait bounded by 500 ms.
 */
#ifndef QUILLON_HANDSHAKE_H
#define QUILLON_HANDSHAKE_H

#include <stdint.h>

/* Sends `count` request bytes starting at ring offset `offset` from the
 * tail. Returns how many were moved; fewer than count when a wait expired. */
uint8_t handshake_send(uint16_t offset, uint8_t count);

/* Receives up to `count` bytes into DATA frames. Returns how many were
 * moved; fewer than count when a wait expired (the bytes received before
 * it are sent all the same). */
uint16_t handshake_receive(uint16_t count);

#endif /* QUILLON_HANDSHAKE_H */
