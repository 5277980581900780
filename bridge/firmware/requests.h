/*
 * Requests from the PC: finding frames in the receive ring, checking them,
 * and carrying them out strictly in order.
 */
#ifndef QUILLON_REQUESTS_H
#define QUILLON_REQUESTS_H

#include <stdint.h>

void requests_init(void);
/* Handles the next complete frame or stray byte; 0 when none is there yet. */
uint8_t requests_process_one(void);
/* Whether the PC's silence now means it is gone: a transfer is open or a
 * frame is half received. */
uint8_t requests_expect_more(void);
/* The PC fell silent: park the lines, drop what is buffered, report it. */
void requests_silence(void);
/* Reports bytes the PC sent beyond the window. */
void requests_check_overrun(void);

#endif /* QUILLON_REQUESTS_H */
