// Any value data as the registry hands it over (the first byte picks the
// type and the hive's code page): what RegRead returns writes back with
// RegWrite and reads again the same, enumeration agrees with the read for
// a four-byte number, and a text converts to a number exactly when it reads
// as a decimal number, raising only the run-time errors 13 and 6 otherwise.
#include "backends/common/registry_tree.hpp"
#include "fuzz_input.hpp"
#include "support/c_registry.hpp"
#include "support/runtime_error.hpp"

// The registry in memory, and an environment that knows only HOME.
struct MemoryMachine : IHiveStore, IEnvironment {
  explicit MemoryMachine(TextCodePage cp) : hive(cp) {}
  long Begin(bool, RegistryHive** h) override { return *h = &hive, 0; }
  long End(bool) override { return 0; }
  TextCodePage CodePage() const override { return hive.CodePage(); }
  std::uint32_t ExpandEnvironmentStrings(const char* src, char* dst, std::uint32_t size) override {
    const auto home = [](auto& n) { return n == "HOME" ? std::optional<std::string>("/home/u") : std::nullopt; };
    return CopyExpandedResult(ExpandPercentReferences(src, home), dst, size);
  }
  RegistryHive hive;
};

void Fuzz(const std::uint8_t* data, std::size_t size, std::string_view) {
  if (size == 0) return;
  MemoryMachine machine(data[0] & 8 ? TextCodePage::Utf8 : TextCodePage::Windows1252);
  TreeRegistryApi api(machine);
  cRegistry reg(api, machine);
  reg.RootKey("Software");
  RegHandle key = 0;
  api.CreateKeyEx(Reg::CurrentUser, "Software\\K", Reg::KeyWrite, &key, nullptr);
  api.SetValueEx(key, "v", data[0] % 8, data + 1, static_cast<std::uint32_t>(size - 1));
  const RegValue read = reg.RegRead("\\K", "v");
  const std::int32_t writeAs = IsText(read) ? 1 : IsNumber(read) ? 4 : 3;  // as a text, a number or bytes
  Check(reg.RegWrite("\\K", "w", read, writeAs) && reg.RegRead("\\K", "w") == read);
  std::vector<std::string> texts;  // both values, the one read first
  const bool listed = reg.RegEnumValues("\\K", texts);
  Check(data[0] % 8 != Reg::Dword || size != 5 || (listed && !texts.empty() && texts[0] == ValueToText(read)));
  const std::string text = IsBytes(read) ? std::string(data + 1, data + size) : ValueToText(read);
  try {
    const std::int32_t n = ValueToLong(text);
    Check(IsDecimalNumber(text) && ValueToLong(ValueToText(n)) == n);
  } catch (const RuntimeError& e) {
    Check((e.Number() == ErrNo::TypeMismatch) != IsDecimalNumber(text) && (e.Number() == 13 || e.Number() == 6));
  }
}
