// sim_pdu.h — the simulator's own PDU helpers beyond the public decodeTpdu()/encode*Pdu():
// address fields, time stamps, and the service-centre field in front of a listed PDU.
// Internal to the simulator.

#pragma once

#include "handset_sim.h"

#include <cstdint>
#include <string>
#include <vector>

namespace handsetsim::pdu {

// "yy/MM/dd,hh:mm:ss" with an optional signed zone "±zz" (quarters of an hour); fields[6] = zone.
// Checks the ranges (month 1-12, day 1-31, hour < 24, minute and second < 60, zone -48..+56).
bool parseTimestamp(const std::string &text, int fields[7]);
std::string formatTimestamp(const int fields[7]);

// Address field of a TPDU (length in digits, type, semi-octets). "+" first gives type 145, else the
// given type. False when a character is not a dial digit (0-9 * # a b c) or there are over 20.
bool encodeAddress(const std::string &number, int type, std::vector<uint8_t> &out);
// Service-centre field (length in octets, type, semi-octets); "" gives the single octet 0.
bool encodeScAddress(const std::string &number, std::vector<uint8_t> &out);

// Length of the service-centre field at the front of a full PDU (its length octet + 1), or -1 when
// the buffer is empty or the field runs past it or over 12 octets.
int scFieldLength(const std::vector<uint8_t> &full);

// Replaces the destination address of a SUBMIT TPDU (+CMSS with a new <da>). False when the TPDU
// is not a SUBMIT or is too short to hold its own address.
bool replaceDestination(std::vector<uint8_t> &tpdu, const std::string &number, int type);

} // namespace handsetsim::pdu
