#include "install_state/product_id.hpp"

#include "install_state/product_id_rules.hpp"
#include "support/codepage.hpp"
#include "support/runtime_error.hpp"

std::string NewProductID(IGuidSource& guid) {
  Guid made;
  if (!guid.CreateGuid(&made)) return "";
  return FormatProductID(made);
}

std::string GetProductID(cRegistry& registry, IGuidSource& guid) {
  try {
    const RegValue stored = registry.RegRead("\\LarkspireBrowser\\Main", "ProductID");
    if (const auto* bytes = std::get_if<ByteArray>(&stored)) {
      const std::string id = UnscrambleText(kProductIdKeyPhrase, Utf16LeBytesToUtf8(*bytes));
      if (IsValidProductID(id)) return id;
    }
    const std::string id = NewProductID(guid);
    if (id.empty()) RaiseError(ErrNo::FileNotFound);
    // 72 bytes of UTF-16; the registry write keeps 71 of them.
    const ByteArray scrambled = Utf8ToUtf16LeBytes(ScrambleText(kProductIdKeyPhrase, id));
    if (!registry.RegWrite("\\LarkspireBrowser\\Main", "ProductID", scrambled, 3)) RaiseError(ErrNo::FileNotFound);
    return id;
  } catch (const std::exception&) {
    return "Unregistered";
  }
}
