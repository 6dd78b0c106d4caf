/* Address ranges over plain numbers: addresses are unsigned 32-bit values in
   host byte order, so 192.168.0.1 lies above 127.255.255.255. */
#ifndef QUORVEL_RANGELOGIC_H
#define QUORVEL_RANGELOGIC_H

#include <stdint.h>

#define LOOPBACK_FIRST 0x7F000000u
#define LOOPBACK_LAST  0x7FFFFFFFu

/* A loopback address counts as 0.0.0.0: both mean "no network". */
uint32_t NormaliseHostAddress(uint32_t uAddress);

/* A range lying wholly inside 127.0.0.0/8 becomes 0 to 0, so that it holds
   exactly the normalised "no network" addresses. */
void NormaliseRange(uint32_t *puStart, uint32_t *puEnd);

/* Reads an address written plainly: four decimal numbers from 0 to 255
   joined by dots, none with a leading zero (but "0" itself), and nothing
   else: the form the location dialog accepts, which detection then reads
   as exactly that address, where the sockets parser would read "010" as
   octal, "10.1" as 10.0.0.1 and a blank as 0.0.0.0. Returns 1 and the
   address in host order, or 0. */
int ParseAddressText(const char *pszAddress, uint32_t *puAddress);

#endif
