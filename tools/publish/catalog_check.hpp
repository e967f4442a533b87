#pragma once
// The written catalog read back the way the wizard reads it.
#include <cstdint>
#include <string>

#include "platform/file_system.hpp"
#include "publish_options.hpp"

// Reads the catalog file at path with the wizard's profile reader and
// catalog rules (against a machine with nothing installed) and compares
// the outcome with what the options publish: the result, the package's url,
// name and crc, and the components listed. Raises PublishError
// (WriteFailed) naming the first difference.
void CheckPublishedCatalog(IFileSystem& files, const std::string& path, const PublishOptions& options,
                           std::uint32_t packageCrc);
