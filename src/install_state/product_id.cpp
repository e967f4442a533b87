#include "install_state/product_id_rules.hpp"
#include "support/codepage.hpp"
#include "support/runtime_error.hpp"
#include "wizard/frm_main.hpp"

std::string frmMain::NewProductID() {
  Guid guid;
  if (!platform_.guid->CreateGuid(&guid)) return "";
  return FormatProductID(guid);
}

std::string frmMain::GetProductID() {
  try {
    const RegValue stored = Registry->RegRead("\\LarkspireBrowser\\Main", "ProductID");
    if (const auto* bytes = std::get_if<ByteArray>(&stored)) {
      const std::string id = UnscrambleText(kProductIdKeyPhrase, Utf16LeBytesToUtf8(*bytes));
      if (IsValidProductID(id)) return id;
    }
    const std::string id = NewProductID();
    if (id.empty()) RaiseError(ErrNo::FileNotFound);
    // 72 bytes of UTF-16; the registry write keeps 71 of them.
    const ByteArray scrambled = Utf8ToUtf16LeBytes(ScrambleText(kProductIdKeyPhrase, id));
    if (!Registry->RegWrite("\\LarkspireBrowser\\Main", "ProductID", scrambled, 3)) RaiseError(ErrNo::FileNotFound);
    return id;
  } catch (const std::exception&) {
    return "Unregistered";
  }
}
