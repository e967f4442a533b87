// Any value data as the registry hands it over (the first byte picks the
// type and the hive's code page): what RegRead returns writes back with
// RegWrite and reads again the same, enumeration agrees with the read for
// a four-byte number, and a text converts to a number exactly when it reads
// as a decimal number, raising only the run-time errors 13 and 6 otherwise.
#include <cstdlib>

#include "backends/common/percent_expansion.hpp"
#include "backends/common/registry_tree.hpp"
#include "catalog/number_text.hpp"
#include "support/c_registry.hpp"
#include "support/runtime_error.hpp"

namespace {
struct MemoryStore : IHiveStore {
  explicit MemoryStore(TextCodePage cp) : hive(cp) {}
  long Begin(bool, RegistryHive** h) override { return *h = &hive, 0; }
  long End(bool) override { return 0; }
  TextCodePage CodePage() const override { return hive.CodePage(); }
  RegistryHive hive;
};
struct FixedEnvironment : IEnvironment {
  std::uint32_t ExpandEnvironmentStrings(const char* src, char* dst, std::uint32_t size) override {
    const auto lookup = [](const std::string& n) {
      return n == "HOME" ? std::optional<std::string>("/home/u") : std::nullopt;
    };
    return CopyExpandedResult(ExpandPercentReferences(src, lookup), dst, size);
  }
};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::uint32_t type = data[0] % 8;
  MemoryStore store(data[0] & 8 ? TextCodePage::Utf8 : TextCodePage::Windows1252);
  TreeRegistryApi api(store);
  FixedEnvironment env;
  cRegistry reg(api, env);
  reg.RootKey("Software");
  RegHandle key = 0;
  std::uint32_t disposition = 0;
  api.CreateKeyEx(Reg::CurrentUser, "Software\\K", Reg::KeyWrite, &key, &disposition);
  api.SetValueEx(key, "v", type, data + 1, static_cast<std::uint32_t>(size - 1));
  api.CloseKey(key);

  const RegValue read = reg.RegRead("\\K", "v");
  const std::int32_t writeAs = IsText(read) ? 1 : IsNumber(read) ? 4 : 3;
  if (!reg.RegWrite("\\K", "w", read, writeAs) || reg.RegRead("\\K", "w") != read) std::abort();
  std::vector<std::string> texts;
  const bool listed = reg.RegEnumValues("\\K", texts);
  if (type == Reg::Dword && size == 5 && (!listed || texts.empty() || texts[0] != ValueToText(read))) std::abort();

  const std::string text = IsBytes(read) ? std::string(data + 1, data + size) : ValueToText(read);
  try {
    const std::int32_t n = ValueToLong(text);
    if (!IsDecimalNumber(text) || ValueToLong(ValueToText(n)) != n) std::abort();
  } catch (const RuntimeError& e) {
    if ((e.Number() == ErrNo::TypeMismatch) == IsDecimalNumber(text) || (e.Number() != 13 && e.Number() != 6))
      std::abort();
  }
  return 0;
}
