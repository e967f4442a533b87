// The registry calls as cRegistry relies on them, held alike by the Linux
// registry file and (in the Windows build) the system's registry.
#include <gtest/gtest.h>

#include "fakes/registry_backends.hpp"
#include "fakes/registry_test_helpers.hpp"

namespace {

class RegistryConformance : public ::testing::Test {
 protected:
  IRegistryApi& api() { return backend_->Api(); }
  RegHandle Create(const std::string& path, std::uint32_t* disposition = nullptr) {
    return MustCreate(api(), Reg::CurrentUser, path, kKeyAllAccess, disposition);
  }
  long Open(const std::string& path, RegHandle* key, std::uint32_t access = kKeyAllAccess) {
    return api().OpenKeyEx(Reg::CurrentUser, path, access, key);
  }
  bool Exists(const std::string& path) {
    RegHandle key = 0;
    return Open(path, &key) == Reg::Success && api().CloseKey(key) == Reg::Success;
  }
  // Names here are written in Windows-1252; each backend gets its code page.
  std::string Text(const std::string& ansi) { return InCodePage(api(), ansi); }
  // A value by index, through buffers of the given sizes (no data buffer for 0);
  // data holds as many bytes as were read or are needed.
  StoredValue Enum(RegHandle key, std::uint32_t i, std::uint32_t nameLen, std::uint32_t dataLen, std::string* name) {
    char n[512];
    StoredValue v;
    v.data.resize(512);
    v.rc = api().EnumValue(key, i, n, &nameLen, &v.type, dataLen ? v.data.data() : nullptr, &dataLen);
    *name = v.rc == Reg::Success ? std::string(n, nameLen) : "";
    v.data.resize(dataLen);
    return v;
  }

  std::unique_ptr<RegistryBackend> backend_ = MakeRegistryBackend();
};

TEST_F(RegistryConformance, KeysAreCreatedAlongThePathAndOpenedAsTheyAre) {
  std::uint32_t first = 0, second = 0;
  const RegHandle a = Create("One\\Two\\Three", &first), b = Create("ONE\\two\\Three", &second);
  EXPECT_EQ(first, Reg::CreatedNewKey);
  EXPECT_EQ(second, Reg::OpenedExistingKey) << "names match without case";
  EXPECT_NE(a, b) << "each open gives a handle of its own";
  EXPECT_TRUE(Exists("One\\Two"));
  RegHandle key = 0;
  EXPECT_EQ(Open("Missing\\Deeper", &key), Reg::FileNotFound);
  EXPECT_FALSE(Exists("Missing")) << "opening creates nothing";
  const RegHandle again = MustCreate(api(), a, "", kKeyAllAccess, &first);
  EXPECT_EQ(first, backend_->wine ? Reg::CreatedNewKey : Reg::OpenedExistingKey) << "an empty path opens the key";
  ASSERT_EQ(WriteStored(api(), again, "v", Reg::Dword, {1, 2, 3, 4}), Reg::Success);
  EXPECT_EQ(ReadStored(api(), b, "v").data, (std::vector<std::uint8_t>{1, 2, 3, 4}));
  api().CloseKey(MustCreate(api(), Reg::LocalMachine, "OnlyHere"));
  EXPECT_FALSE(Exists("OnlyHere")) << "the roots are separate";
  for (RegHandle h : {a, b, again}) EXPECT_EQ(api().CloseKey(h), Reg::Success);
}

TEST_F(RegistryConformance, KeyNamesOfUpTo255CharactersInNameOrderWhateverTheCase) {
  const RegHandle names = Create("Names");
  const std::size_t refused = backend_->wine ? 257 : 256;
  const std::string longest(refused - 1, 'k');
  api().CloseKey(MustCreate(api(), names, longest));
  RegHandle key = 0;
  std::uint32_t disposition = 0;
  EXPECT_NE(api().CreateKeyEx(names, std::string(refused, 'k'), kKeyAllAccess, &key, &disposition), Reg::Success);
  for (const char* n : {"b", "C", "a", "B2", "\xE9t\xE9", "Z", "0"}) api().CloseKey(MustCreate(api(), names, Text(n)));
  api().CloseKey(Create(Text("NAMES\\\xC9T\xC9")));  // letters of the code page fold too
  EXPECT_EQ(SubkeyNames(api(), names),
            (std::vector<std::string>{"0", "a", "b", "B2", "C", longest, "Z", Text("\xE9t\xE9")}))
      << "first spellings, and nothing of the refused create";
  char name[8];
  std::uint32_t len = 2;  // "a" and its NUL fit; "B2" and its NUL do not
  EXPECT_EQ(api().EnumKeyEx(names, 3, name, &len), Reg::MoreData);
  len = 3;
  ASSERT_EQ(api().EnumKeyEx(names, 3, name, &len), Reg::Success);
  EXPECT_EQ(len, 2u);
  EXPECT_EQ(std::string(name), "B2") << "NUL-terminated";
  EXPECT_EQ(api().EnumKeyEx(names, 8, name, &len), Reg::NoMoreItems);
  api().CloseKey(names);
}

TEST_F(RegistryConformance, EveryTypeIsStoredByteForByteAndSeenByAnotherClient) {
  std::vector<std::uint8_t> every(256), large(70000);
  for (std::size_t i = 0; i < large.size(); ++i) large[i] = every[i % 256] = static_cast<std::uint8_t>(i * 13 + 7);
  const std::vector<std::tuple<std::string, std::uint32_t, std::vector<std::uint8_t>>> rows = {
      {"text", Reg::Sz, BytesZ("3.02.0012")},
      {"", Reg::Sz, BytesZ("the unnamed value")},
      {"@", Reg::Sz, BytesZ("@")},
      {"no NUL", Reg::Sz, Bytes("no end")},
      {"NULs inside", Reg::Sz, Bytes(std::string("a\0b\0\0", 5))},
      {"no bytes", Reg::Sz, {}},
      {"quotes", Reg::Sz, BytesZ("say \"hi\" \\ C:\\")},
      {"controls", Reg::Sz, BytesZ("tab\t\r\n\x01\x7f")},
      {"code page", Reg::Sz, BytesZ(Text("\x80\xe9\xff\x81\x8d"))},
      {"expandable", Reg::ExpandSz, BytesZ("%HOME%\\x")},
      {"list", Reg::MultiSz, Bytes(std::string("a\0b\0\0", 5))},
      {"dword", Reg::Dword, {0x78, 0x56, 0x34, 0x12}},
      {"short dword", Reg::Dword, {1, 2, 3}},
      {"big-endian", Reg::DwordBigEndian, {0x12, 0x34, 0x56, 0x78}},
      {"every byte", Reg::Binary, every},
      {"large", Reg::Binary, large},
      {"empty", Reg::Binary, {}},
      {"none", Reg::None, {0, 1}},
      {"type 8", 8, {0xAA}},
      {"type max", 0xFFFFFFFFu, BytesZ("odd")},
      {Text("\"\\=[x];\xe9 "), Reg::Sz, BytesZ("odd name")}};
  const std::string path = Text("Types\\[x] a]b;=@\"-caf\xE9");
  const RegHandle key = Create(path);
  ASSERT_EQ(WriteStored(api(), key, "TEXT", Reg::Binary, {1}), Reg::Success);  // replaced, type and all
  for (const auto& [name, type, data] : rows)
    ASSERT_EQ(WriteStored(api(), key, name, type, data), Reg::Success) << name;
  api().CloseKey(key);
  auto another = backend_->OpenAnother();
  for (IRegistryApi* reader : {&api(), another.get()})
    for (const auto& [name, type, data] : rows) {
      const StoredValue v = ReadStoredAt(*reader, Reg::CurrentUser, path, name);
      EXPECT_EQ(v.rc, Reg::Success) << name;
      EXPECT_EQ(v.type, type) << name;
      EXPECT_EQ(v.data, data) << name;
    }
  EXPECT_EQ(ReadStoredAt(api(), Reg::CurrentUser, path, "absent").rc, Reg::FileNotFound);
}

TEST_F(RegistryConformance, QueryAndEnumerationBufferRules) {
  const RegHandle key = Create("Values");
  ASSERT_EQ(WriteStored(api(), key, "b first", Reg::Binary, {1, 2, 3, 4, 5, 6}), Reg::Success);
  ASSERT_EQ(WriteStored(api(), key, "a second", Reg::Binary, std::vector<std::uint8_t>(300, 7)), Reg::Success);
  ASSERT_EQ(WriteStored(api(), key, "B FIRST", Reg::Sz, BytesZ("two")), Reg::Success);
  std::uint32_t type = 0, size = 3;
  std::uint8_t small[3];
  EXPECT_EQ(api().QueryValueEx(key, "b first", &type, small, &size), Reg::MoreData);
  EXPECT_EQ(size, 4u) << "the size needed";

  const std::uint32_t first = backend_->wine ? 1 : 0;  // Wine enumerates in name order, others as made
  std::string name;
  StoredValue v = Enum(key, first, 64, 64, &name);
  EXPECT_EQ(name, "b first") << "a value keeps its first spelling";
  EXPECT_EQ(v.data, BytesZ("two"));
  EXPECT_EQ(Enum(key, first, 7, 64, &name).rc, Reg::MoreData) << "no room for the name's NUL";
  v = Enum(key, 1 - first, 64, 256, &name);
  EXPECT_EQ(v.rc, Reg::MoreData);
  EXPECT_EQ(v.data.size(), 300u) << "the size needed";
  v = Enum(key, 1 - first, 64, 0, &name);
  EXPECT_EQ(v.rc, Reg::Success) << "without a buffer only the size is asked for";
  EXPECT_EQ(v.data.size(), 300u);
  EXPECT_EQ(Enum(key, 2, 64, 64, &name).rc, Reg::NoMoreItems);
  api().CloseKey(key);
}

TEST_F(RegistryConformance, DeletingKeys) {
  const RegHandle parent = Create("Del");
  const RegHandle leaf = MustCreate(api(), parent, "Leaf\\Deepest");
  ASSERT_EQ(WriteStored(api(), leaf, "v", Reg::Sz, BytesZ("gone")), Reg::Success);
  EXPECT_EQ(api().DeleteKey(parent, "Leaf"), Reg::AccessDenied) << "it has a subkey";
  EXPECT_EQ(api().DeleteKey(Reg::CurrentUser, "del\\leaf\\deepest"), Reg::Success) << "a path, without case";
  EXPECT_EQ(api().DeleteKey(parent, "Leaf\\Deepest"), Reg::FileNotFound);
  EXPECT_EQ(api().DeleteKey(Reg::CurrentUser, "Nowhere\\Leaf"), Reg::FileNotFound);
  EXPECT_TRUE(Exists("Del\\Leaf"));

  std::uint32_t type = 0, size = 0;
  char name[16];
  std::uint32_t len = sizeof name;
  EXPECT_EQ(api().QueryValueEx(leaf, "v", &type, nullptr, &size), Reg::KeyDeleted) << "its handle tells";
  EXPECT_EQ(WriteStored(api(), leaf, "v", Reg::Sz, BytesZ("x")), Reg::KeyDeleted);
  EXPECT_EQ(api().EnumKeyEx(leaf, 0, name, &len), Reg::KeyDeleted);
  RegHandle child = 0;
  EXPECT_EQ(api().CreateKeyEx(leaf, "Child", kKeyAllAccess, &child, &type), Reg::KeyDeleted);
  api().CloseKey(MustCreate(api(), parent, "Leaf\\Deepest", kKeyAllAccess, &type));
  EXPECT_EQ(type, Reg::CreatedNewKey);
  EXPECT_EQ(ReadStoredAt(api(), Reg::CurrentUser, "Del\\Leaf\\Deepest", "v").rc, Reg::FileNotFound) << "values went";
  EXPECT_EQ(WriteStored(api(), leaf, "v", Reg::Sz, BytesZ("x")), Reg::KeyDeleted) << "the new key is another";
  EXPECT_EQ(api().CloseKey(leaf), Reg::Success);
  EXPECT_EQ(api().CloseKey(leaf), Reg::InvalidHandle);
  EXPECT_EQ(api().QueryValueEx(leaf, "v", &type, nullptr, &size), Reg::InvalidHandle);
  EXPECT_EQ(api().CloseKey(0x5A5A5A5Au), Reg::InvalidHandle) << "a handle never given out";

  auto another = backend_->OpenAnother();
  ASSERT_EQ(another->DeleteKey(parent, "Leaf\\Deepest"), Reg::InvalidHandle) << "handles are each client's own";
  const RegHandle mine = Create("Del\\Leaf"), theirs = MustCreate(*another, Reg::CurrentUser, "Del\\Leaf");
  ASSERT_EQ(WriteStored(api(), mine, "v", Reg::Sz, BytesZ("mine")), Reg::Success);
  EXPECT_EQ(ReadStored(*another, theirs, "v").data, BytesZ("mine"));
  ASSERT_EQ(WriteStored(*another, theirs, "v", Reg::Sz, BytesZ("theirs")), Reg::Success);
  EXPECT_EQ(ReadStored(api(), mine, "v").data, BytesZ("theirs")) << "changes of one client are seen by another";
  ASSERT_EQ(another->DeleteKey(Reg::CurrentUser, "Del\\Leaf\\Deepest"), Reg::Success);
  ASSERT_EQ(another->DeleteKey(Reg::CurrentUser, "Del\\Leaf"), Reg::Success);
  EXPECT_EQ(api().QueryValueEx(mine, "v", &type, nullptr, &size), Reg::KeyDeleted);
  for (RegHandle h : {mine, parent}) EXPECT_EQ(api().CloseKey(h), Reg::Success);
  another->CloseKey(theirs);
}

TEST_F(RegistryConformance, AHandleCanDoWhatItsRightsAllow) {
  api().CloseKey(Create("Rights\\Child"));
  RegHandle read = 0, write = 0, del = 0, child = 0;
  std::uint32_t type = 0, size = 0, len = 16;
  char name[16];
  ASSERT_EQ(Open("Rights", &read, Reg::KeyRead), Reg::Success);
  EXPECT_EQ(WriteStored(api(), read, "v", Reg::Sz, BytesZ("x")), Reg::AccessDenied);
  if (!backend_->wine)
    EXPECT_EQ(api().CreateKeyEx(read, "Other", kKeyAllAccess, &child, &type), Reg::AccessDenied)
        << "creating a subkey needs KEY_CREATE_SUB_KEY";
  ASSERT_EQ(Open("Rights", &write, Reg::KeyWrite), Reg::Success);
  EXPECT_EQ(WriteStored(api(), write, "v", Reg::Sz, BytesZ("x")), Reg::Success);
  EXPECT_EQ(api().QueryValueEx(write, "v", &type, nullptr, &size), Reg::AccessDenied);
  EXPECT_EQ(api().EnumKeyEx(write, 0, name, &len), Reg::AccessDenied);
  EXPECT_EQ(api().EnumValue(write, 0, name, &len, &type, nullptr, &size), Reg::AccessDenied);
  ASSERT_EQ(Open("Rights", &del, Reg::Delete | Reg::EnumerateSubKeys), Reg::Success);
  EXPECT_EQ(api().QueryValueEx(del, "v", &type, nullptr, &size), Reg::AccessDenied);
  EXPECT_EQ(SubkeyNames(api(), del), std::vector<std::string>{"Child"});
  EXPECT_EQ(api().DeleteKey(del, "Child"), Reg::Success);
  for (RegHandle h : {read, write, del}) api().CloseKey(h);
}

}  // namespace
