// The registry calls as cRegistry relies on them, held alike by the Linux
// registry file and (in the Windows build) the system's registry.
#include <gtest/gtest.h>

#include "fakes/registry_backends.hpp"

using Codes = std::vector<long>;

class RegistryConformance : public ::testing::Test {
 protected:
  IRegistryApi& api() { return backend_.Api(); }
  RegHandle Create(const std::string& path, RegHandle base = Reg::CurrentUser, std::uint32_t* disposition = nullptr) {
    return MustCreate(api(), base, path, disposition);
  }
  long Open(const std::string& path, std::uint32_t access = kKeyAllAccess, RegHandle* key = nullptr) {
    RegHandle k = 0;
    const long rc = api().OpenKeyEx(Reg::CurrentUser, path, access, key ? key : &k);
    if (!key && rc == Reg::Success) api().CloseKey(k);
    return rc;
  }
  long Query(RegHandle key) {
    std::uint32_t type = 0, size = 0;
    return api().QueryValueEx(key, "v", &type, nullptr, &size);
  }
  // Names here are written in Windows-1252; each backend gets its code page.
  std::string Text(const std::string& ansi) { return InCodePage(api(), ansi); }

  RegistryBackend backend_;
};

TEST_F(RegistryConformance, KeysAreMadeAlongThePathFoundWithoutCaseAndNamedUpTo255Characters) {
  std::uint32_t made = 0, again = 0, self = 0;
  const RegHandle a = Create("One\\Two\\Three", Reg::CurrentUser, &made),
                  b = Create(Text("ONE\\two\\Three"), Reg::CurrentUser, &again), c = Create("", a, &self);
  EXPECT_EQ((std::vector<std::uint32_t>{made, again, self}),
            (std::vector<std::uint32_t>{Reg::CreatedNewKey, Reg::OpenedExistingKey,
                                        backend_.wine ? Reg::CreatedNewKey : Reg::OpenedExistingKey}));
  EXPECT_TRUE(a != b && b != c) << "each open gives a handle of its own";
  ASSERT_EQ(WriteStored(api(), c, "v", Reg::Dword, {1, 2, 3, 4}), Reg::Success);
  EXPECT_EQ(ReadStored(api(), b, "v").data, (std::vector<std::uint8_t>{1, 2, 3, 4}));
  api().CloseKey(Create("OnlyHere", Reg::LocalMachine));
  for (const std::string& name : {Text("\xE9t\xE9"), std::string(255, 'k')}) api().CloseKey(Create(name, a));
  RegHandle key = 0;
  EXPECT_NE(api().CreateKeyEx(a, std::string(backend_.wine ? 257 : 256, 'k'), kKeyAllAccess, &key, &made),
            Reg::Success);
  EXPECT_EQ((Codes{Open("One\\Two"), Open("Missing\\Deeper"), Open("Missing"), Open("OnlyHere"),
                   Open(Text("one\\two\\three\\\xC9T\xC9"))}),
            (Codes{Reg::Success, Reg::FileNotFound, Reg::FileNotFound, Reg::FileNotFound, Reg::Success}))
      << "the code page's letters fold too";
  for (RegHandle h : {a, b, c}) EXPECT_EQ(api().CloseKey(h), Reg::Success);
  EXPECT_EQ((Codes{api().CloseKey(a), Query(a), api().CloseKey(0x5A5A5A5Au)}),
            (Codes{Reg::InvalidHandle, Reg::InvalidHandle, Reg::InvalidHandle}));
}

TEST_F(RegistryConformance, EveryTypeIsStoredByteForByteAndSeenByAnotherClient) {
  std::vector<std::uint8_t> large(70000);
  for (std::size_t i = 0; i < large.size(); ++i) large[i] = static_cast<std::uint8_t>(i * 13 + 7);
  // clang-format off
  const std::vector<std::tuple<std::string, std::uint32_t, std::vector<std::uint8_t>>> rows = {
      {"text", Reg::Sz, BytesZ("3.02.0012")}, {"", Reg::Sz, BytesZ("the unnamed value")},
      {"@", Reg::Sz, Bytes(std::string("a\0b\0\0", 5))}, {"no NUL", Reg::Sz, Bytes("say \"hi\" \\ C:\\")},
      {"no bytes", Reg::Sz, {}}, {Text("\"\\=[x];\xe9 "), Reg::Sz, BytesZ(Text("tab\t\r\n\x01\x7f\x80\xe9\xff\x81\x8d"))},
      {"expandable", Reg::ExpandSz, BytesZ("%HOME%\\x")}, {"short dword", Reg::Dword, {1, 2, 3}},
      {"large", Reg::Binary, large}, {"type max", 0xFFFFFFFFu, BytesZ("odd")}};
  // clang-format on
  const std::string path = Text("Types\\[x] a]b;=@\"-caf\xE9");
  auto another = backend_.OpenAnother();  // the two take turns to write, each through a handle kept open
  const RegHandle mine = Create(path), theirs = MustCreate(*another, Reg::CurrentUser, path);
  ASSERT_EQ(WriteStored(*another, theirs, "TEXT", Reg::Binary, {1}), Reg::Success);  // replaced, type and all
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const auto& [name, type, data] = rows[i];
    ASSERT_EQ(WriteStored(i % 2 ? *another : api(), i % 2 ? theirs : mine, name, type, data), Reg::Success) << name;
  }
  for (const auto& [reader, key] : {std::pair{&api(), mine}, std::pair{another.get(), theirs}})
    for (const auto& [name, type, data] : rows) {
      const StoredValue v = ReadStored(*reader, key, name);
      EXPECT_EQ(std::tie(v.rc, v.type, v.data), std::tie(Reg::Success, type, data)) << name;
    }
  api().CloseKey(mine);
  another->CloseKey(theirs);
}

TEST_F(RegistryConformance, AHandleDoesOnlyWhatItsRightsAllow) {
  RegHandle read = 0, write = 0, child = 0;
  EXPECT_EQ(
      (Codes{Open("Rights", Reg::KeyRead, &read), api().CloseKey(Create("Rights")), Open("Rights", Reg::KeyRead, &read),
             Open("Rights", Reg::KeyWrite, &write), WriteStored(api(), read, "v", Reg::Sz, {}),
             backend_.wine ? Reg::AccessDenied : api().CreateKeyEx(read, "Other", kKeyAllAccess, &child, nullptr),
             WriteStored(api(), write, "v", Reg::Sz, {}), Query(write), Query(read)}),
      (Codes{Reg::FileNotFound, Reg::Success, Reg::Success, Reg::Success, Reg::AccessDenied, Reg::AccessDenied,
             Reg::Success, Reg::AccessDenied, Reg::Success}))
      << "KEY_READ cannot write nor make subkeys (Wine makes them); KEY_WRITE cannot read";
  for (RegHandle h : {read, write}) api().CloseKey(h);
}
