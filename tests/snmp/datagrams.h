// Datagrams a device might send, well-formed and not, with what the decoder
// says of each and what a query that receives it logs and returns: a query of
// ifInOctets.2 over SNMPv1, or of ifHCInOctets.1 over SNMPv2c where queryOid says so.
#pragma once

#include <cstdint>

#include "snmp/ber.h"
#include "snmp/usm.h"

struct DatagramCase {
    const char *name;
    int decodeResult;
    const char *queryLog;  // the callback's one log line, or nullptr for none
    int64_t queryValue;    // what the query returns in the counter; 0 for no value
    const char *hex;
    const char *queryOid = nullptr;  // nullptr: ifInOctets.2
};

const char kHcInOctets1[] = "1.3.6.1.2.1.31.1.1.1.6.1";

const DatagramCase kDatagramCases[] = {
    {"valid Counter32 1234", vsnmp::ber::BER_OK, nullptr, 1234,
     "30 2A 02 01 00 04 06 70 75 62 6C 69 63 A2 1D 02 01 01 02 01 00 02 01 00 30 12 30 10 06 0A 2B 06 01 02 01 02 02 01 0A 02 41 02 04 D2"},
    {"empty", vsnmp::ber::BER_ERR_OUT_OF_DATA, "SnmpRecvMsg failure", 0,
     ""},
    {"1 byte", vsnmp::ber::BER_ERR_OUT_OF_DATA, "SnmpRecvMsg failure", 0,
     "30"},
    {"message length beyond the data", vsnmp::ber::BER_ERR_OUT_OF_DATA, "SnmpRecvMsg failure", 0,
     "30 2B 02 01 00 04 06 70 75 62 6C 69 63 A2 1D 02 01 01 02 01 00 02 01 00 30 12 30 10 06 0A 2B 06 01 02 01 02 02 01 0A 02 41 02 04 D2"},
    {"community length beyond the message", vsnmp::ber::BER_ERR_OUT_OF_DATA, "SnmpRecvMsg failure", 0,
     "30 2A 02 01 00 04 30 70 75 62 6C 69 63 A2 1D 02 01 01 02 01 00 02 01 00 30 12 30 10 06 0A 2B 06 01 02 01 02 02 01 0A 02 41 02 04 D2"},
    {"PDU length beyond the message", vsnmp::ber::BER_ERR_OUT_OF_DATA, "SnmpRecvMsg failure", 0,
     "30 2A 02 01 00 04 06 70 75 62 6C 69 63 A2 1E 02 01 01 02 01 00 02 01 00 30 12 30 10 06 0A 2B 06 01 02 01 02 02 01 0A 02 41 02 04 D2"},
    {"binding list length beyond the PDU", vsnmp::ber::BER_ERR_OUT_OF_DATA, "SnmpRecvMsg failure", 0,
     "30 2A 02 01 00 04 06 70 75 62 6C 69 63 A2 1D 02 01 01 02 01 00 02 01 00 30 13 30 10 06 0A 2B 06 01 02 01 02 02 01 0A 02 41 02 04 D2"},
    {"value length beyond the binding", vsnmp::ber::BER_ERR_OUT_OF_DATA, "SnmpRecvMsg failure", 0,
     "30 2A 02 01 00 04 06 70 75 62 6C 69 63 A2 1D 02 01 01 02 01 00 02 01 00 30 12 30 10 06 0A 2B 06 01 02 01 02 02 01 0A 02 41 03 04 D2"},
    {"name length beyond the binding", vsnmp::ber::BER_ERR_OUT_OF_DATA, "SnmpRecvMsg failure", 0,
     "30 2A 02 01 00 04 06 70 75 62 6C 69 63 A2 1D 02 01 01 02 01 00 02 01 00 30 12 30 10 06 7F 2B 06 01 02 01 02 02 01 0A 02 41 02 04 D2"},
    {"indefinite length", vsnmp::ber::BER_ERR_INVALID_LENGTH, "SnmpRecvMsg failure", 0,
     "30 80 02 01 00 04 06 70 75 62 6C 69 63 A2 1D 02 01 01 02 01 00 02 01 00 30 12 30 10 06 0A 2B 06 01 02 01 02 02 01 0A 02 41 02 04 D2 00 00"},
    {"long-form length 84 00 00 00 2A", vsnmp::ber::BER_OK, nullptr, 1234,
     "30 84 00 00 00 2A 02 01 00 04 06 70 75 62 6C 69 63 A2 1D 02 01 01 02 01 00 02 01 00 30 12 30 10 06 0A 2B 06 01 02 01 02 02 01 0A 02 41 02 04 D2"},
    {"long-form value length 84 00 00 00 05", vsnmp::ber::BER_OK, nullptr, 4294967295,
     "30 31 02 01 00 04 06 70 75 62 6C 69 63 A2 24 02 01 01 02 01 00 02 01 00 30 19 30 17 06 0A 2B 06 01 02 01 02 02 01 0A 02 41 84 00 00 00 05 00 FF FF FF FF"},
    {"length 84 FF FF FF FF", vsnmp::ber::BER_ERR_OUT_OF_DATA, "SnmpRecvMsg failure", 0,
     "30 84 FF FF FF FF 02 01 00 04 06 70 75 62 6C 69 63 A2 1D 02 01 01 02 01 00 02 01 00 30 12 30 10 06 0A 2B 06 01 02 01 02 02 01 0A 02 41 02 04 D2"},
    {"length 89 and nine octets", vsnmp::ber::BER_ERR_INVALID_LENGTH, "SnmpRecvMsg failure", 0,
     "30 89 00 00 00 00 00 00 00 00 2A 02 01 00 04 06 70 75 62 6C 69 63 A2 1D 02 01 01 02 01 00 02 01 00 30 12 30 10 06 0A 2B 06 01 02 01 02 02 01 0A 02 41 02 04 D2"},
    {"reserved length FF", vsnmp::ber::BER_ERR_INVALID_LENGTH, "SnmpRecvMsg failure", 0,
     "30 FF 02 01 00 04 06 70 75 62 6C 69 63 A2 1D 02 01 01 02 01 00 02 01 00 30 12 30 10 06 0A 2B 06 01 02 01 02 02 01 0A 02 41 02 04 D2"},
    {"length octets cut off", vsnmp::ber::BER_ERR_OUT_OF_DATA, "SnmpRecvMsg failure", 0,
     "30 84 00 00"},
    {"value length octets cut off", vsnmp::ber::BER_ERR_OUT_OF_DATA, "SnmpRecvMsg failure", 0,
     "30 29 02 01 00 04 06 70 75 62 6C 69 63 A2 1C 02 01 01 02 01 00 02 01 00 30 11 30 0F 06 0A 2B 06 01 02 01 02 02 01 0A 02 41 82 00"},
    {"binding longer than its list says", vsnmp::ber::BER_ERR_OUT_OF_DATA, "SnmpRecvMsg failure", 0,
     "30 2A 02 01 00 04 06 70 75 62 6C 69 63 A2 1D 02 01 01 02 01 00 02 01 00 30 12 30 0F 06 0A 2B 06 01 02 01 02 02 01 0A 02 41 02 04 D2"},
    {"binding shorter than its sequence", vsnmp::ber::BER_ERR_LENGTH_MISMATCH, "SnmpRecvMsg failure", 0,
     "30 2C 02 01 00 04 06 70 75 62 6C 69 63 A2 1F 02 01 01 02 01 00 02 01 00 30 14 30 12 06 0A 2B 06 01 02 01 02 02 01 0A 02 41 02 04 D2 05 00"},
    {"PDU longer than its parts", vsnmp::ber::BER_ERR_LENGTH_MISMATCH, "SnmpRecvMsg failure", 0,
     "30 2C 02 01 00 04 06 70 75 62 6C 69 63 A2 1F 02 01 01 02 01 00 02 01 00 30 12 30 10 06 0A 2B 06 01 02 01 02 02 01 0A 02 41 02 04 D2 05 00"},
    {"message longer than its parts", vsnmp::ber::BER_ERR_LENGTH_MISMATCH, "SnmpRecvMsg failure", 0,
     "30 2C 02 01 00 04 06 70 75 62 6C 69 63 A2 1D 02 01 01 02 01 00 02 01 00 30 12 30 10 06 0A 2B 06 01 02 01 02 02 01 0A 02 41 02 04 D2 05 00"},
    {"trailing bytes", vsnmp::ber::BER_ERR_TRAILING_DATA, "SnmpRecvMsg failure", 0,
     "30 2A 02 01 00 04 06 70 75 62 6C 69 63 A2 1D 02 01 01 02 01 00 02 01 00 30 12 30 10 06 0A 2B 06 01 02 01 02 02 01 0A 02 41 02 04 D2 00"},
    {"OID sub-identifier 2^32", vsnmp::ber::BER_ERR_INVALID_VALUE, "SnmpRecvMsg failure", 0,
     "30 27 02 01 00 04 06 70 75 62 6C 69 63 A2 1A 02 01 01 02 01 00 02 01 00 30 0F 30 0D 06 07 2B 06 90 80 80 80 00 41 02 04 D2"},
    {"OID sub-identifier 2^32-1, another object", vsnmp::ber::BER_OK, "SnmpGetVb failure", 0,
     "30 27 02 01 00 04 06 70 75 62 6C 69 63 A2 1A 02 01 01 02 01 00 02 01 00 30 0F 30 0D 06 07 2B 06 8F FF FF FF 7F 41 02 04 D2"},
    {"OID last byte keeps continuation bit", vsnmp::ber::BER_ERR_INVALID_VALUE, "SnmpRecvMsg failure", 0,
     "30 2A 02 01 00 04 06 70 75 62 6C 69 63 A2 1D 02 01 01 02 01 00 02 01 00 30 12 30 10 06 0A 2B 06 01 02 01 02 02 01 0A 82 41 02 04 D2"},
    {"OID sub-identifier padded with 80", vsnmp::ber::BER_ERR_INVALID_VALUE, "SnmpRecvMsg failure", 0,
     "30 24 02 01 00 04 06 70 75 62 6C 69 63 A2 17 02 01 01 02 01 00 02 01 00 30 0C 30 0A 06 04 2B 06 80 01 41 02 04 D2"},
    {"zero-length OID", vsnmp::ber::BER_ERR_INVALID_VALUE, "SnmpRecvMsg failure", 0,
     "30 20 02 01 00 04 06 70 75 62 6C 69 63 A2 13 02 01 01 02 01 00 02 01 00 30 08 30 06 06 00 41 02 04 D2"},
    {"name not an OID", vsnmp::ber::BER_ERR_UNEXPECTED_TAG, "SnmpRecvMsg failure", 0,
     "30 2A 02 01 00 04 06 70 75 62 6C 69 63 A2 1D 02 01 01 02 01 00 02 01 00 30 12 30 10 04 0A 2B 06 01 02 01 02 02 01 0A 02 41 02 04 D2"},
    {"Counter32 of 5 bytes not starting with 00", vsnmp::ber::BER_ERR_INVALID_VALUE, "SnmpRecvMsg failure", 0,
     "30 2D 02 01 00 04 06 70 75 62 6C 69 63 A2 20 02 01 01 02 01 00 02 01 00 30 15 30 13 06 0A 2B 06 01 02 01 02 02 01 0A 02 41 05 01 FF FF FF FF"},
    {"Counter32 of 6 bytes", vsnmp::ber::BER_ERR_INVALID_VALUE, "SnmpRecvMsg failure", 0,
     "30 2E 02 01 00 04 06 70 75 62 6C 69 63 A2 21 02 01 01 02 01 00 02 01 00 30 16 30 14 06 0A 2B 06 01 02 01 02 02 01 0A 02 41 06 00 00 FF FF FF FF"},
    {"Counter32 of 0 bytes", vsnmp::ber::BER_ERR_INVALID_VALUE, "SnmpRecvMsg failure", 0,
     "30 28 02 01 00 04 06 70 75 62 6C 69 63 A2 1B 02 01 01 02 01 00 02 01 00 30 10 30 0E 06 0A 2B 06 01 02 01 02 02 01 0A 02 41 00"},
    {"INTEGER of 5 bytes", vsnmp::ber::BER_ERR_INVALID_VALUE, "SnmpRecvMsg failure", 0,
     "30 2D 02 01 00 04 06 70 75 62 6C 69 63 A2 20 02 01 01 02 01 00 02 01 00 30 15 30 13 06 0A 2B 06 01 02 01 02 02 01 0A 02 02 05 00 FF FF FF FF"},
    {"zero-length request id", vsnmp::ber::BER_ERR_INVALID_VALUE, "SnmpRecvMsg failure", 0,
     "30 29 02 01 00 04 06 70 75 62 6C 69 63 A2 1C 02 00 02 01 00 02 01 00 30 12 30 10 06 0A 2B 06 01 02 01 02 02 01 0A 02 41 02 04 D2"},
    {"request id not an INTEGER", vsnmp::ber::BER_ERR_UNEXPECTED_TAG, "SnmpRecvMsg failure", 0,
     "30 2A 02 01 00 04 06 70 75 62 6C 69 63 A2 1D 04 01 01 02 01 00 02 01 00 30 12 30 10 06 0A 2B 06 01 02 01 02 02 01 0A 02 41 02 04 D2"},
    {"NULL with content", vsnmp::ber::BER_ERR_INVALID_VALUE, "SnmpRecvMsg failure", 0,
     "30 29 02 01 00 04 06 70 75 62 6C 69 63 A2 1C 02 01 01 02 01 00 02 01 00 30 11 30 0F 06 0A 2B 06 01 02 01 02 02 01 0A 02 05 01 00"},
    {"IpAddress of 3 bytes", vsnmp::ber::BER_ERR_INVALID_VALUE, "SnmpRecvMsg failure", 0,
     "30 2B 02 01 00 04 06 70 75 62 6C 69 63 A2 1E 02 01 01 02 01 00 02 01 00 30 13 30 11 06 0A 2B 06 01 02 01 02 02 01 0A 02 40 03 7F 00 01"},
    {"unknown value tag", vsnmp::ber::BER_ERR_UNEXPECTED_TAG, "SnmpRecvMsg failure", 0,
     "30 29 02 01 00 04 06 70 75 62 6C 69 63 A2 1C 02 01 01 02 01 00 02 01 00 30 11 30 0F 06 0A 2B 06 01 02 01 02 02 01 0A 02 03 01 00"},
    {"binding without a value", vsnmp::ber::BER_ERR_OUT_OF_DATA, "SnmpRecvMsg failure", 0,
     "30 26 02 01 00 04 06 70 75 62 6C 69 63 A2 19 02 01 01 02 01 00 02 01 00 30 0E 30 0C 06 0A 2B 06 01 02 01 02 02 01 0A 02"},
    {"binding not a sequence", vsnmp::ber::BER_ERR_UNEXPECTED_TAG, "SnmpRecvMsg failure", 0,
     "30 2A 02 01 00 04 06 70 75 62 6C 69 63 A2 1D 02 01 01 02 01 00 02 01 00 30 12 31 10 06 0A 2B 06 01 02 01 02 02 01 0A 02 41 02 04 D2"},
    {"version 3", vsnmp::ber::BER_ERR_INVALID_VALUE, "SnmpRecvMsg failure", 0,
     "30 2A 02 01 03 04 06 70 75 62 6C 69 63 A2 1D 02 01 01 02 01 00 02 01 00 30 12 30 10 06 0A 2B 06 01 02 01 02 02 01 0A 02 41 02 04 D2"},
    {"SNMPv2c reply to an SNMPv1 request", vsnmp::ber::BER_OK, nullptr, 0,
     "30 2A 02 01 01 04 06 70 75 62 6C 69 63 A2 1D 02 01 01 02 01 00 02 01 00 30 12 30 10 06 0A 2B 06 01 02 01 02 02 01 0A 02 41 02 04 D2"},
    {"SNMPv1 reply to an SNMPv2c request", vsnmp::ber::BER_OK, nullptr, 0,
     "30 2A 02 01 00 04 06 70 75 62 6C 69 63 A2 1D 02 01 01 02 01 00 02 01 00 30 12 30 10 06 0A 2B 06 01 02 01 02 02 01 0A 02 41 02 04 D2",
     kHcInOctets1},
    {"SNMPv1 reply holding a Counter64", vsnmp::ber::BER_OK, nullptr, 0,
     "30 2D 02 01 00 04 06 70 75 62 6C 69 63 A2 20 02 01 01 02 01 00 02 01 00 30 15 30 13 06 0A 2B 06 01 02 01 02 02 01 0A 02 46 05 02 2A 52 BD 00"},
    {"SNMPv2c Counter64 9300000000", vsnmp::ber::BER_OK, nullptr, 9300000000,
     "30 2E 02 01 01 04 06 70 75 62 6C 69 63 A2 21 02 01 01 02 01 00 02 01 00 30 16 30 14 06 0B 2B 06 01 02 01 1F 01 01 01 06 01 46 05 02 2A 52 BD 00",
     kHcInOctets1},
    {"SNMPv2c Counter64 2^63-1", vsnmp::ber::BER_OK, nullptr, INT64_MAX,
     "30 31 02 01 01 04 06 70 75 62 6C 69 63 A2 24 02 01 01 02 01 00 02 01 00 30 19 30 17 06 0B 2B 06 01 02 01 1F 01 01 01 06 01 46 08 7F FF FF FF FF FF FF FF",
     kHcInOctets1},
    {"SNMPv2c Counter64 2^64-1, no reading", vsnmp::ber::BER_OK, nullptr, 0,
     "30 32 02 01 01 04 06 70 75 62 6C 69 63 A2 25 02 01 01 02 01 00 02 01 00 30 1A 30 18 06 0B 2B 06 01 02 01 1F 01 01 01 06 01 46 09 00 FF FF FF FF FF FF FF FF",
     kHcInOctets1},
    {"SNMPv2c Counter64 of 8 bytes with the top bit set", vsnmp::ber::BER_OK, nullptr, 0,
     "30 31 02 01 01 04 06 70 75 62 6C 69 63 A2 24 02 01 01 02 01 00 02 01 00 30 19 30 17 06 0B 2B 06 01 02 01 1F 01 01 01 06 01 46 08 FF FF FF FF FF FF FF FF",
     kHcInOctets1},
    {"SNMPv2c Counter64 of 9 bytes not starting with 00", vsnmp::ber::BER_ERR_INVALID_VALUE, "SnmpRecvMsg failure", 0,
     "30 32 02 01 01 04 06 70 75 62 6C 69 63 A2 25 02 01 01 02 01 00 02 01 00 30 1A 30 18 06 0B 2B 06 01 02 01 1F 01 01 01 06 01 46 09 01 00 00 00 00 00 00 00 00",
     kHcInOctets1},
    {"SNMPv2c Counter64 of 10 bytes", vsnmp::ber::BER_ERR_INVALID_VALUE, "SnmpRecvMsg failure", 0,
     "30 33 02 01 01 04 06 70 75 62 6C 69 63 A2 26 02 01 01 02 01 00 02 01 00 30 1B 30 19 06 0B 2B 06 01 02 01 1F 01 01 01 06 01 46 0A 00 00 FF FF FF FF FF FF FF FF",
     kHcInOctets1},
    {"SNMPv2c Counter64 of 0 bytes", vsnmp::ber::BER_ERR_INVALID_VALUE, "SnmpRecvMsg failure", 0,
     "30 29 02 01 01 04 06 70 75 62 6C 69 63 A2 1C 02 01 01 02 01 00 02 01 00 30 11 30 0F 06 0B 2B 06 01 02 01 1F 01 01 01 06 01 46 00",
     kHcInOctets1},
    {"SNMPv2c noSuchObject", vsnmp::ber::BER_OK, "No such name.", 0,
     "30 29 02 01 01 04 06 70 75 62 6C 69 63 A2 1C 02 01 01 02 01 00 02 01 00 30 11 30 0F 06 0B 2B 06 01 02 01 1F 01 01 01 06 01 80 00",
     kHcInOctets1},
    {"SNMPv2c noSuchInstance", vsnmp::ber::BER_OK, "No such name.", 0,
     "30 29 02 01 01 04 06 70 75 62 6C 69 63 A2 1C 02 01 01 02 01 00 02 01 00 30 11 30 0F 06 0B 2B 06 01 02 01 1F 01 01 01 06 01 81 00",
     kHcInOctets1},
    {"SNMPv2c endOfMibView", vsnmp::ber::BER_OK, "No such name.", 0,
     "30 29 02 01 01 04 06 70 75 62 6C 69 63 A2 1C 02 01 01 02 01 00 02 01 00 30 11 30 0F 06 0B 2B 06 01 02 01 1F 01 01 01 06 01 82 00",
     kHcInOctets1},
    {"SNMPv2c Counter64 2^32", vsnmp::ber::BER_OK, nullptr, 4294967296,
     "30 2E 02 01 01 04 06 70 75 62 6C 69 63 A2 21 02 01 01 02 01 00 02 01 00 30 16 30 14 06 0B 2B 06 01 02 01 1F 01 01 01 06 01 46 05 01 00 00 00 00",
     kHcInOctets1},
    {"SNMPv2c endOfMibView with content", vsnmp::ber::BER_ERR_INVALID_VALUE, "SnmpRecvMsg failure", 0,
     "30 2A 02 01 01 04 06 70 75 62 6C 69 63 A2 1D 02 01 01 02 01 00 02 01 00 30 12 30 10 06 0B 2B 06 01 02 01 1F 01 01 01 06 01 82 01 00",
     kHcInOctets1},
    {"non-sequence outer tag", vsnmp::ber::BER_ERR_UNEXPECTED_TAG, "SnmpRecvMsg failure", 0,
     "31 2A 02 01 00 04 06 70 75 62 6C 69 63 A2 1D 02 01 01 02 01 00 02 01 00 30 12 30 10 06 0A 2B 06 01 02 01 02 02 01 0A 02 41 02 04 D2"},
    {"Trap without a trap's fields", vsnmp::ber::BER_ERR_UNEXPECTED_TAG, "SnmpRecvMsg failure", 0,
     "30 2A 02 01 00 04 06 70 75 62 6C 69 63 A4 1D 02 01 01 02 01 00 02 01 00 30 12 30 10 06 0A 2B 06 01 02 01 02 02 01 0A 02 41 02 04 D2"},
    {"SNMPv2-Trap tag in SNMPv1", vsnmp::ber::BER_OK, nullptr, 0,
     "30 2A 02 01 00 04 06 70 75 62 6C 69 63 A7 1D 02 01 01 02 01 00 02 01 00 30 12 30 10 06 0A 2B 06 01 02 01 02 02 01 0A 02 41 02 04 D2"},
    {"community not an OCTET STRING", vsnmp::ber::BER_ERR_UNEXPECTED_TAG, "SnmpRecvMsg failure", 0,
     "30 2A 02 01 00 06 06 70 75 62 6C 69 63 A2 1D 02 01 01 02 01 00 02 01 00 30 12 30 10 06 0A 2B 06 01 02 01 02 02 01 0A 02 41 02 04 D2"},
    {"zero bindings", vsnmp::ber::BER_OK, "SnmpGetVb failure", 0,
     "30 18 02 01 00 04 06 70 75 62 6C 69 63 A2 0B 02 01 01 02 01 00 02 01 00 30 00"},
    {"two bindings", vsnmp::ber::BER_OK, nullptr, 1234,
     "30 3B 02 01 00 04 06 70 75 62 6C 69 63 A2 2E 02 01 01 02 01 00 02 01 00 30 23 30 10 06 0A 2B 06 01 02 01 02 02 01 0A 02 41 02 04 D2 30 0F 06 0A 2B 06 01 02 01 02 02 01 0A 02 41 01 07"},
    {"SNMPv2c GetBulk echoed back", vsnmp::ber::BER_OK, nullptr, 0,
     "30 29 02 01 01 04 06 70 75 62 6C 69 63 A5 1C 02 01 01 02 01 00 02 01 0A 30 11 30 0F 06 0B 2B 06 01 02 01 1F 01 01 01 06 01 05 00",
     kHcInOctets1},
    {"SNMPv1 message holding a GetBulk", vsnmp::ber::BER_ERR_UNEXPECTED_TAG, "SnmpRecvMsg failure", 0,
     "30 28 02 01 00 04 06 70 75 62 6C 69 63 A5 1B 02 01 01 02 01 00 02 01 0A 30 10 30 0E 06 0A 2B 06 01 02 01 02 02 01 0A 02 05 00"},
    {"SNMPv2c reply of a GetBulk: two rows, then endOfMibView", vsnmp::ber::BER_OK, nullptr, 9300000000,
     "30 55 02 01 01 04 06 70 75 62 6C 69 63 A2 48 02 01 01 02 01 00 02 01 00 30 3D 30 14 06 0B 2B 06 01 02 01 1F 01 01 01 06 01 46 05 02 2A 52 BD 00 30 14 06 0B 2B 06 01 02 01 1F 01 01 01 06 02 46 05 02 2A 52 BD 00 30 0F 06 0B 2B 06 01 02 01 1F 01 01 01 06 02 82 00",
     kHcInOctets1},
    {"GetRequest echoed back", vsnmp::ber::BER_OK, nullptr, 0,
     "30 28 02 01 00 04 06 70 75 62 6C 69 63 A0 1B 02 01 01 02 01 00 02 01 00 30 10 30 0E 06 0A 2B 06 01 02 01 02 02 01 0A 02 05 00"},
    {"GetNext reply, OCTET STRING ifDescr.2 eth0", vsnmp::ber::BER_OK, "SnmpGetVb failure", 0,
     "30 2C 02 01 00 04 06 70 75 62 6C 69 63 A2 1F 02 01 01 02 01 00 02 01 00 30 14 30 12 06 0A 2B 06 01 02 01 02 02 01 02 02 04 04 65 74 68 30"},
    {"GetNext reply, empty OCTET STRING", vsnmp::ber::BER_OK, "SnmpGetVb failure", 0,
     "30 28 02 01 00 04 06 70 75 62 6C 69 63 A2 1B 02 01 01 02 01 00 02 01 00 30 10 30 0E 06 0A 2B 06 01 02 01 02 02 01 02 02 04 00"},
    {"GetNext reply, OCTET STRING of 128 bytes", vsnmp::ber::BER_OK, "SnmpGetVb failure", 0,
     "30 81 AC 02 01 00 04 06 70 75 62 6C 69 63 A2 81 9E 02 01 01 02 01 00 02 01 00 30 81 92 30 81 8F 06 0A 2B 06 01 02 01 02 02 01 02 02 04 81 80 20 21 22 23 24 25 26 27 28 29 2A 2B 2C 2D 2E 2F 30 31 32 33 34 35 36 37 38 39 3A 3B 3C 3D 3E 3F 40 41 42 43 44 45 46 47 48 49 4A 4B 4C 4D 4E 4F 50 51 52 53 54 55 56 57 58 59 5A 5B 5C 5D 5E 5F 60 61 62 63 64 65 66 67 68 69 6A 6B 6C 6D 6E 6F 70 71 72 73 74 75 76 77 78 79 7A 7B 7C 7D 7E 7F 80 81 82 83 84 85 86 87 88 89 8A 8B 8C 8D 8E 8F 90 91 92 93 94 95 96 97 98 99 9A 9B 9C 9D 9E 9F"},
    {"Counter32 of another object, ifInOctets.3", vsnmp::ber::BER_OK, "SnmpGetVb failure", 0,
     "30 2A 02 01 00 04 06 70 75 62 6C 69 63 A2 1D 02 01 01 02 01 00 02 01 00 30 12 30 10 06 0A 2B 06 01 02 01 02 02 01 0A 03 41 02 04 D2"},
    {"SNMPv2c Counter32 of an HC object", vsnmp::ber::BER_OK, nullptr, 1234,
     "30 2B 02 01 01 04 06 70 75 62 6C 69 63 A2 1E 02 01 01 02 01 00 02 01 00 30 13 30 11 06 0B 2B 06 01 02 01 1F 01 01 01 06 01 41 02 04 D2",
     kHcInOctets1},
    // Other PDUs than a response decode, and are dropped unannounced.
    {"SNMPv1 Trap", vsnmp::ber::BER_OK, nullptr, 0,
     "30 39 02 01 00 04 06 70 75 62 6C 69 63 A4 2C 06 07 2B 06 01 04 01 8F 65 40 04 7F 00 00 01 02 01 06 02 01 01 43 01 05 30 12 30 10 06 0A 2B 06 01 02 01 02 02 01 0A 02 41 02 04 D2"},
    {"SNMPv1 Trap with an agent address of 3 bytes", vsnmp::ber::BER_ERR_INVALID_VALUE, "SnmpRecvMsg failure", 0,
     "30 38 02 01 00 04 06 70 75 62 6C 69 63 A4 2B 06 07 2B 06 01 04 01 8F 65 40 03 7F 00 00 02 01 06 02 01 01 43 01 05 30 12 30 10 06 0A 2B 06 01 02 01 02 02 01 0A 02 41 02 04 D2"},
    {"SNMPv2c Inform", vsnmp::ber::BER_OK, nullptr, 0,
     "30 2A 02 01 01 04 06 70 75 62 6C 69 63 A6 1D 02 01 01 02 01 00 02 01 00 30 12 30 10 06 0B 2B 06 01 02 01 1F 01 01 01 06 01 46 01 05",
     kHcInOctets1},
    {"SNMPv2c SNMPv2-Trap", vsnmp::ber::BER_OK, nullptr, 0,
     "30 2A 02 01 01 04 06 70 75 62 6C 69 63 A7 1D 02 01 01 02 01 00 02 01 00 30 12 30 10 06 0B 2B 06 01 02 01 1F 01 01 01 06 01 46 01 05",
     kHcInOctets1},
    {"SNMPv2c Report", vsnmp::ber::BER_OK, nullptr, 0,
     "30 2A 02 01 01 04 06 70 75 62 6C 69 63 A8 1D 02 01 01 02 01 00 02 01 00 30 12 30 10 06 0B 2B 06 01 02 01 1F 01 01 01 06 01 46 01 05",
     kHcInOctets1},
    {"PDU tag A9", vsnmp::ber::BER_ERR_UNEXPECTED_TAG, "SnmpRecvMsg failure", 0,
     "30 2A 02 01 01 04 06 70 75 62 6C 69 63 A9 1D 02 01 01 02 01 00 02 01 00 30 12 30 10 06 0B 2B 06 01 02 01 1F 01 01 01 06 01 46 01 05",
     kHcInOctets1},
    {"OCTET STRING length beyond the binding", vsnmp::ber::BER_ERR_OUT_OF_DATA, "SnmpRecvMsg failure", 0,
     "30 2C 02 01 00 04 06 70 75 62 6C 69 63 A2 1F 02 01 01 02 01 00 02 01 00 30 14 30 12 06 0A 2B 06 01 02 01 02 02 01 02 02 04 05 65 74 68 30"},
};

// SNMPv3 datagrams of snmpd (net-snmp 5.9.3, engine ID 80001f8880aabbccdd11223344,
// boots 1) and of snmpget against it, captured with snmpget -d, for users made by
// createUser with passwords "authpass1" and "authpass2" and the protocols given.
// Each request and response is a Get of ifInOctets.1.
struct V3DatagramCase {
    const char *name;
    vsnmp::usm::AuthProtocol auth;
    vsnmp::usm::PrivProtocol priv;
    int report;  // the usmStats counter a report names (1 to 6), or 0
    const char *hex;
};

const char kSnmpdEngineId[] = "80 00 1F 88 80 AA BB CC DD 11 22 33 44";

const V3DatagramCase kV3Replies[] = {
    {"discovery report", vsnmp::usm::AUTH_SHA256, vsnmp::usm::PRIV_AES128, 4,
     "30 69 02 01 03 30 11 02 04 02 68 C9 91 02 03 00 FF E3 04 01 00 02 01 03 04 1D 30 1B 04 0D 80 00 "
     "1F 88 80 AA BB CC DD 11 22 33 44 02 01 01 02 01 3A 04 00 04 00 04 00 30 32 04 0D 80 00 1F 88 80 "
     "AA BB CC DD 11 22 33 44 04 00 A8 1F 02 04 06 A5 0E BA 02 01 00 02 01 00 30 11 30 0F 06 0A 2B 06 "
     "01 06 03 0F 01 01 04 00 41 01 21"},
    {"SHA-256/AES response", vsnmp::usm::AUTH_SHA256, vsnmp::usm::PRIV_AES128, 0,
     "30 81 93 02 01 03 30 11 02 04 02 68 C9 90 02 03 00 FF E3 04 01 03 02 01 03 04 41 30 3F 04 0D 80 "
     "00 1F 88 80 AA BB CC DD 11 22 33 44 02 01 01 02 01 3A 04 04 75 32 35 36 04 18 5B 8D CA 90 D6 10 "
     "60 92 6D 6B 50 62 A1 01 73 E0 51 2F 4C 9F 10 4B F7 AF 04 08 C3 14 FA 7B CA 61 99 8F 04 38 0C 64 "
     "D8 E1 0B 27 37 F4 44 01 85 11 74 B4 6A 70 75 2C 5E 23 24 53 AC F0 AF 67 FC 1D C8 8B 42 AB 31 20 "
     "3E F4 CC 19 D0 7C 55 13 C9 7A C7 88 58 40 5F AD B0 B9 0C 9C AB EB"},
    {"SHA-512/AES-256 response", vsnmp::usm::AUTH_SHA512, vsnmp::usm::PRIV_AES256, 0,
     "30 81 AB 02 01 03 30 11 02 04 37 D3 0E EE 02 03 00 FF E3 04 01 03 02 01 03 04 59 30 57 04 0D 80 "
     "00 1F 88 80 AA BB CC DD 11 22 33 44 02 01 01 02 01 3A 04 04 75 35 31 32 04 30 16 4E 72 14 C7 BF "
     "BF 1E FB A0 67 78 95 03 F7 40 EF 55 9F DF ED 50 D3 A9 10 44 DA 56 34 63 55 E5 4A 47 09 16 F6 BA "
     "4D 2A 96 E5 5D 3A 63 E5 EA 45 04 08 C3 14 FA 7B CA 61 99 90 04 38 CC B2 40 6F 16 E9 A5 53 1D DE "
     "7B 30 78 FE 5D 6E CA 05 38 BB 58 FD B2 71 D9 88 0A 69 00 E3 5B 7A 77 3A 56 2E 30 47 67 02 FB 64 "
     "5C 6A 47 FF 19 B1 51 BA FB 45 D6 05 6A 54"},
    {"SHA/AES-256C response", vsnmp::usm::AUTH_SHA1, vsnmp::usm::PRIV_AES256C, 0,
     "30 81 88 02 01 03 30 11 02 04 71 F5 5C 98 02 03 00 FF E3 04 01 03 02 01 03 04 36 30 34 04 0D 80 "
     "00 1F 88 80 AA BB CC DD 11 22 33 44 02 01 01 02 01 3A 04 05 75 73 68 61 63 04 0C 33 1E 8F 45 4A "
     "C8 AB 6D ED 28 25 E9 04 08 C3 14 FA 7B CA 61 99 91 04 38 E1 7A 58 34 D7 69 DA B7 0C 81 CB B1 B2 "
     "C0 08 FD 50 83 CF 12 37 6A 04 C6 39 02 56 76 40 BD FF C3 C1 B5 A9 76 00 B0 C3 06 EF 00 A9 86 05 "
     "24 27 2F 0C C1 5F D3 17 AB 25 D2"},
    {"MD5/AES response", vsnmp::usm::AUTH_MD5, vsnmp::usm::PRIV_AES128, 0,
     "30 81 87 02 01 03 30 11 02 04 4A E3 2B F0 02 03 00 FF E3 04 01 03 02 01 03 04 35 30 33 04 0D 80 "
     "00 1F 88 80 AA BB CC DD 11 22 33 44 02 01 01 02 01 3A 04 04 75 6D 64 35 04 0C C4 4F 60 43 55 FA "
     "0F 0A EF 7B 1A 05 04 08 C3 14 FA 7B CA 61 99 92 04 38 2F 2E 7E F3 89 F6 BB F1 E8 23 11 56 4B 6A "
     "4B 10 7F 3A 65 08 A6 4D 71 9E 78 B4 72 1C 24 60 7E 27 3D 06 65 FC F1 06 30 E4 7A E5 C7 BA 9B D5 "
     "D9 70 0C F0 CD 0F 2E D0 0D EF"},
    {"SHA/authNoPriv response", vsnmp::usm::AUTH_SHA1, vsnmp::usm::PRIV_NONE, 0,
     "30 81 80 02 01 03 30 11 02 04 40 B8 8D 45 02 03 00 FF E3 04 01 01 02 01 03 04 30 30 2E 04 0D 80 "
     "00 1F 88 80 AA BB CC DD 11 22 33 44 02 01 01 02 01 3A 04 07 75 6E 6F 70 72 69 76 04 0C FE 91 78 "
     "C1 44 BB 30 CA 33 31 A7 7E 04 00 30 36 04 0D 80 00 1F 88 80 AA BB CC DD 11 22 33 44 04 00 A2 23 "
     "02 04 79 0C AB 7A 02 01 00 02 01 00 30 15 30 13 06 0A 2B 06 01 02 01 02 02 01 0A 01 41 05 00 9E "
     "B3 94 6B"},
    {"wrong digests report", vsnmp::usm::AUTH_SHA256, vsnmp::usm::PRIV_AES128, 5,
     "30 6A 02 01 03 30 11 02 04 53 2E 74 F4 02 03 00 FF E3 04 01 00 02 01 03 04 21 30 1F 04 0D 80 00 "
     "1F 88 80 AA BB CC DD 11 22 33 44 02 01 01 02 01 3A 04 04 75 32 35 36 04 00 04 00 30 2F 04 0D 80 "
     "00 1F 88 80 AA BB CC DD 11 22 33 44 04 00 A8 1C 02 01 00 02 01 00 02 01 00 30 11 30 0F 06 0A 2B "
     "06 01 06 03 0F 01 01 05 00 41 01 04"},
    {"unknown user report", vsnmp::usm::AUTH_SHA256, vsnmp::usm::PRIV_AES128, 3,
     "30 6C 02 01 03 30 11 02 04 0B F9 9F 88 02 03 00 FF E3 04 01 00 02 01 03 04 23 30 21 04 0D 80 00 "
     "1F 88 80 AA BB CC DD 11 22 33 44 02 01 01 02 01 3A 04 06 6E 6F 62 6F 64 79 04 00 04 00 30 2F 04 "
     "0D 80 00 1F 88 80 AA BB CC DD 11 22 33 44 04 00 A8 1C 02 01 00 02 01 00 02 01 00 30 11 30 0F 06 "
     "0A 2B 06 01 06 03 0F 01 01 03 00 41 01 04"},
    {"unsupported security level report", vsnmp::usm::AUTH_SHA1, vsnmp::usm::PRIV_AES128, 1,
     "30 6D 02 01 03 30 11 02 04 19 EE 55 7B 02 03 00 FF E3 04 01 00 02 01 03 04 24 30 22 04 0D 80 00 "
     "1F 88 80 AA BB CC DD 11 22 33 44 02 01 01 02 01 3A 04 07 75 6E 6F 70 72 69 76 04 00 04 00 30 2F "
     "04 0D 80 00 1F 88 80 AA BB CC DD 11 22 33 44 04 00 A8 1C 02 01 00 02 01 00 02 01 00 30 11 30 0F "
     "06 0A 2B 06 01 06 03 0F 01 01 01 00 41 01 04"},
    {"not in time window report", vsnmp::usm::AUTH_SHA256, vsnmp::usm::PRIV_AES128, 2,
     "30 81 82 02 01 03 30 11 02 04 4A 1C 49 58 02 03 00 FF E3 04 01 01 02 01 03 04 39 30 37 04 0D 80 "
     "00 1F 88 80 AA BB CC DD 11 22 33 44 02 01 01 02 01 3B 04 04 75 32 35 36 04 18 49 80 AA 33 A1 79 "
     "C6 CE E5 BD 89 B9 E3 12 8C 7A F2 95 2C D7 F2 7E 93 CE 04 00 30 2F 04 0D 80 00 1F 88 80 AA BB CC "
     "DD 11 22 33 44 04 00 A8 1C 02 01 00 02 01 00 02 01 00 30 11 30 0F 06 0A 2B 06 01 06 03 0F 01 01 "
     "02 00 41 01 04"},
};

const V3DatagramCase kV3Requests[] = {
    {"discovery", vsnmp::usm::AUTH_NONE, vsnmp::usm::PRIV_NONE, 0,
     "30 3E 02 01 03 30 11 02 04 15 D7 77 99 02 03 00 FF E3 04 01 04 02 01 03 04 10 30 0E 04 00 02 01 "
     "00 02 01 00 04 00 04 00 04 00 30 14 04 00 04 00 A0 0E 02 04 0C C7 17 76 02 01 00 02 01 00 30 00"},
    {"SHA-512/AES-256", vsnmp::usm::AUTH_SHA512, vsnmp::usm::PRIV_AES256, 0,
     "30 81 A6 02 01 03 30 11 02 04 15 D7 77 98 02 03 00 FF E3 04 01 07 02 01 03 04 59 30 57 04 0D 80 "
     "00 1F 88 80 AA BB CC DD 11 22 33 44 02 01 01 02 01 3B 04 04 75 35 31 32 04 30 8F 8D 46 4E F4 18 "
     "F5 37 7F 02 B3 E0 31 2B 86 9F A7 47 C4 27 F3 06 88 F0 00 7E F6 38 89 6E B9 08 CD 06 8F 5C 2C 44 "
     "A5 F9 FD A0 1B 09 E3 1B DD 37 04 08 5D 47 AF 7B 9A 50 7B C3 04 33 C5 32 57 76 8B 5E BB EC 8A 8F "
     "74 91 99 38 25 A7 5B 40 1B 00 3A EB 90 67 CE 9E 69 6C 7A 15 86 59 4F 5F A1 C6 11 48 F6 BD 1A 7C "
     "96 2C F5 FF CC 98 10 42 26"},
    {"SHA/AES-256C", vsnmp::usm::AUTH_SHA1, vsnmp::usm::PRIV_AES256C, 0,
     "30 81 83 02 01 03 30 11 02 04 16 33 9B D6 02 03 00 FF E3 04 01 07 02 01 03 04 36 30 34 04 0D 80 "
     "00 1F 88 80 AA BB CC DD 11 22 33 44 02 01 01 02 01 3B 04 05 75 73 68 61 63 04 0C 13 9F 99 78 E3 "
     "7D 97 65 7C 9D 82 1F 04 08 FF 25 57 9E E4 2F BA 91 04 33 BC 2F 96 63 42 7C 7F DD 67 1E 8B 17 8E "
     "A8 B0 41 C1 6B B7 0B 8D 34 4D 9D A7 FB 91 AD 53 F6 5E D5 BB 6B 89 C1 70 71 F2 2E EA D2 85 96 D7 "
     "FC C8 B0 31 BE 5A"},
    {"SHA/authNoPriv", vsnmp::usm::AUTH_SHA1, vsnmp::usm::PRIV_NONE, 0,
     "30 7B 02 01 03 30 11 02 04 30 60 44 C7 02 03 00 FF E3 04 01 05 02 01 03 04 30 30 2E 04 0D 80 00 "
     "1F 88 80 AA BB CC DD 11 22 33 44 02 01 01 02 01 3B 04 07 75 6E 6F 70 72 69 76 04 0C A3 FC CD 6A "
     "63 69 3A 41 2E 3A C1 94 04 00 30 31 04 0D 80 00 1F 88 80 AA BB CC DD 11 22 33 44 04 00 A0 1E 02 "
     "04 6D 42 83 C6 02 01 00 02 01 00 30 10 30 0E 06 0A 2B 06 01 02 01 02 02 01 0A 01 05 00"},
};
