#pragma once
// The per-installation product identifier, kept scrambled in the registry.
#include <string>

#include "platform/guid_source.hpp"
#include "support/c_registry.hpp"

// The identifier stored under the registry's root, or a new one once stored,
// or "Unregistered". Never raises.
std::string GetProductID(cRegistry& registry, IGuidSource& guid);
// A new identifier from a fresh GUID, or "".
std::string NewProductID(IGuidSource& guid);
