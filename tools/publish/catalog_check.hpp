#pragma once
// The written catalog read back the way the wizard reads it.
#include <cstdint>
#include <string>

#include "catalog_writer.hpp"
#include "platform/file_system.hpp"
#include "platform/signature_verifier.hpp"
#include "publish_options.hpp"

// Reads the catalog file at path with the wizard's profile reader and
// catalog rules (against a machine with nothing installed) and compares
// the outcome with what the options publish: the result, the package's url,
// name and crc, and the components listed. Raises PublishError
// (WriteFailed) naming the first difference.
void CheckPublishedCatalog(IFileSystem& files, const std::string& path, const PublishOptions& options,
                           std::uint32_t packageCrc);

// Checks the signed catalog at path as a wizard with publicKey built in
// reads it: its trailer verifies under the key, and "setup" carries the
// fields as they were meant. Raises PublishError (WriteFailed) naming the
// first difference.
void CheckSignedCatalog(IFileSystem& files, const std::string& path, const SignedFields& fields,
                        const std::string& publicKey, ISignatureVerifier& verifier);
