// Unattended updates split machines between the two live environments by the
// parity of the last digit of their own IPv4 address.
#pragma once

#include <string>

namespace zanth {

// The host name's first IPv4 address from the system resolver, dotted; empty
// when there is none.
std::string firstIpv4Address();

// True for an address whose last character is an even digit; false for an
// odd one and for no address.
bool variantFromAddress(const std::string& address);

}  // namespace zanth
