#pragma once
// Whether the machine has a configured Internet connection, with a
// five-line description of it and its name.
#include <cstdint>
#include <string>

#include "platform/connection.hpp"

// True when the platform answered and reports a configured connection.
// info and name, when given, receive the description and the connection's
// name ("" when the platform did not answer). Never raises.
bool ReadConnectionState(IConnectionService& service, std::string* info, std::string* name);

// The five-line description of a set of connection flags; configured
// receives whether a connection is configured.
std::string DescribeConnectionFlags(std::uint32_t flags, bool* configured);
