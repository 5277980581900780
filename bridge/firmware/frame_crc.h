/*
 * One step of the frames' CRC (see quillon_bridge.h), by table lookup.
 */
#ifndef QUILLON_FRAME_CRC_H
#define QUILLON_FRAME_CRC_H

#include <avr/pgmspace.h>
#include <stdint.h>

/* Low bytes, then high bytes, page-aligned so a byte value is the low byte
 * of its entry's address. */
extern const uint8_t crc_table[512] PROGMEM;

static inline uint16_t crc_step(uint16_t crc, uint8_t byte) {
  uint8_t low = (uint8_t)crc ^ byte;
  uint8_t high = (uint8_t)(crc >> 8);
  __asm__(
      "mov r30, %[low]\n\t"
      "ldi r31, hi8(%[table])\n\t"
      "lpm %[low], Z\n\t"
      "eor %[low], %[high]\n\t"
      "inc r31\n\t"
      "lpm %[high], Z\n\t"
      : [low] "+r"(low), [high] "+r"(high)
      : [table] "i"(crc_table)
      : "r30", "r31");
  return (uint16_t)(((uint16_t)high << 8) | low);
}

/* The CRC over `count` bytes (1 to 255): 16 cycles a byte. */
static inline uint16_t crc_block(uint16_t crc, const uint8_t* bytes, uint8_t count) {
  uint8_t low = (uint8_t)crc;
  uint8_t high = (uint8_t)(crc >> 8);
  __asm__ volatile(
      "1:\n\t"
      "ld r30, X+\n\t"
      "eor r30, %[low]\n\t"
      "ldi r31, hi8(%[table])\n\t"
      "lpm %[low], Z\n\t"
      "eor %[low], %[high]\n\t"
      "inc r31\n\t"
      "lpm %[high], Z\n\t"
      "dec %[count]\n\t"
      "brne 1b\n\t"
      : [low] "+r"(low), [high] "+r"(high), [count] "+r"(count), "+x"(bytes)
      : [table] "i"(crc_table)
      : "r30", "r31", "memory");
  return (uint16_t)(((uint16_t)high << 8) | low);
}

#endif /* QUILLON_FRAME_CRC_H */
