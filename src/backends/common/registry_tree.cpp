#include "backends/common/registry_tree.hpp"

#include <algorithm>
#include <array>
#include <cstring>

#include "support/codepage.hpp"
#include "support/text_case.hpp"

std::string FoldName(std::string_view name) {
  std::string out(name);
  for (char& c : out) c = static_cast<char>(UpperAnsiByte(static_cast<unsigned char>(c)));
  return out;
}

namespace {
// The case class of each ASCII character, by the rule of every other
// character: most names are ASCII, and a table is far quicker than the
// two searches the rule takes.
char32_t AsciiClass(unsigned char c) {
  static const std::array<char32_t, 0x80> classes = [] {
    std::array<char32_t, 0x80> t{};
    for (char32_t k = 0; k < 0x80; ++k) t[k] = CaseClassKey(k);
    return t;
  }();
  return classes[c];
}
}  // namespace

int CompareNames(std::string_view a, std::string_view b, TextCodePage cp) {
  std::size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    char32_t x = 0, y = 0;
    const auto ca = static_cast<unsigned char>(a[i]), cb = static_cast<unsigned char>(b[j]);
    if (cp == TextCodePage::Windows1252) {
      x = UpperAnsiByte(ca), y = UpperAnsiByte(cb), ++i, ++j;
    } else if (ca < 0x80 && cb < 0x80) {
      x = AsciiClass(ca), y = AsciiClass(cb), ++i, ++j;
    } else {
      // A byte that is not UTF-8 stands for itself, after every character.
      const auto bad = [](std::string_view s, std::size_t at) { return 0x110000 + static_cast<unsigned char>(s[at]); };
      const std::size_t i0 = i, j0 = j;
      const auto cx = NextCodePoint(a, i);
      const auto cy = NextCodePoint(b, j);
      x = cx ? CaseClassKey(*cx) : bad(a, i0);
      y = cy ? CaseClassKey(*cy) : bad(b, j0);
    }
    if (x != y) return x < y ? -1 : 1;
  }
  return (i < a.size()) - (j < b.size());
}

bool NamesEqual(std::string_view a, std::string_view b, TextCodePage cp) {
  if (cp == TextCodePage::Windows1252 && a.size() != b.size()) return false;
  return CompareNames(a, b, cp) == 0;
}

bool RegKeyNode::NameLess::operator()(std::string_view a, std::string_view b) const {
  return CompareNames(a, b, *cp) < 0;
}

const std::vector<std::unique_ptr<RegKeyNode>>& RegKeyNode::Subkeys() const {
  if (!sorted_) {
    const NameLess less{&codePage};
    std::sort(subkeys_.begin(), subkeys_.end(), [&](const auto& x, const auto& y) { return less(x->name, y->name); });
    sorted_ = true;
  }
  return subkeys_;
}

RegKeyNode* RegKeyNode::FindSubkey(std::string_view n) const {
  const auto it = subkeyIndex_.find(n);
  return it == subkeyIndex_.end() ? nullptr : it->second;
}

RegKeyNode* RegKeyNode::AddSubkey(std::string_view n, bool* created) {
  if (created) *created = false;
  if (RegKeyNode* found = FindSubkey(n)) return found;
  auto node = std::make_unique<RegKeyNode>();
  node->name = std::string(n);
  node->codePage = codePage;
  if (created) *created = true;
  sorted_ = sorted_ && (subkeys_.empty() || NameLess{&codePage}(subkeys_.back()->name, n));
  subkeyIndex_.emplace(node->name, node.get());
  subkeys_.push_back(std::move(node));
  return subkeys_.back().get();
}

bool RegKeyNode::RemoveSubkey(std::string_view n) {
  const auto found = subkeyIndex_.find(n);
  if (found == subkeyIndex_.end()) return false;
  const RegKeyNode* node = found->second;
  subkeyIndex_.erase(found);
  subkeys_.erase(std::find_if(subkeys_.begin(), subkeys_.end(), [&](const auto& k) { return k.get() == node; }));
  return true;
}

RegStoredValue* RegKeyNode::FindValue(std::string_view n) {
  const auto it = valueIndex_.find(n);
  return it == valueIndex_.end() ? nullptr : &values[it->second];
}

void RegKeyNode::SetValue(std::string_view n, std::uint32_t type, std::vector<std::uint8_t> data) {
  if (auto* v = FindValue(n)) {
    v->type = type;
    v->data = std::move(data);
    return;
  }
  valueIndex_.emplace(std::string(n), values.size());
  values.push_back(RegStoredValue{std::string(n), type, std::move(data)});
}

std::unique_ptr<RegKeyNode> RegKeyNode::Clone() const {
  auto copy = std::make_unique<RegKeyNode>();
  copy->name = name;
  copy->codePage = codePage;
  for (const RegStoredValue& v : values) copy->SetValue(v.name, v.type, v.data);
  for (const auto& k : Subkeys()) {
    std::unique_ptr<RegKeyNode> sub = k->Clone();
    copy->subkeyIndex_.emplace(sub->name, sub.get());
    copy->subkeys_.push_back(std::move(sub));
  }
  return copy;
}

namespace {
constexpr RegHandle kRoots[] = {Reg::ClassesRoot, Reg::CurrentUser, Reg::LocalMachine, Reg::Users};
}

RegistryHive::RegistryHive(TextCodePage codePage) : codePage_(codePage) {
  for (RegHandle r : kRoots) {
    roots[r] = std::make_unique<RegKeyNode>();
    roots[r]->codePage = codePage;
  }
}

RegistryHive::RegistryHive(const RegistryHive& other) : codePage_(other.codePage_) {
  for (const auto& [h, node] : other.roots) roots[h] = node->Clone();
}

RegistryHive& RegistryHive::operator=(const RegistryHive& other) {
  if (this != &other) {
    RegistryHive copy(other);
    roots = std::move(copy.roots);
    codePage_ = other.codePage_;
  }
  return *this;
}

RegKeyNode* RegistryHive::Root(RegHandle h) const {
  auto it = roots.find(h);
  return it == roots.end() ? nullptr : it->second.get();
}

const char* RootName(RegHandle root) {
  switch (root) {
    case Reg::ClassesRoot:
      return "HKEY_CLASSES_ROOT";
    case Reg::CurrentUser:
      return "HKEY_CURRENT_USER";
    case Reg::LocalMachine:
      return "HKEY_LOCAL_MACHINE";
    case Reg::Users:
      return "HKEY_USERS";
    default:
      return "";
  }
}

RegHandle RootFromName(std::string_view name) {
  for (RegHandle r : kRoots)
    if (NamesEqual(RootName(r), name)) return r;
  return 0;
}

bool SplitRegPath(std::string_view path, std::vector<std::string>* parts) {
  if (!path.empty() && path.front() == '\\') return false;
  std::size_t start = 0;
  while (start <= path.size()) {
    std::size_t end = path.find('\\', start);
    if (end == std::string_view::npos) end = path.size();
    if (end > start) parts->emplace_back(path.substr(start, end - start));
    start = end + 1;
  }
  return true;
}

namespace {
constexpr long kBadPathname = 161;

}  // namespace

bool TreeRegistryApi::ValidName(std::string_view n, std::size_t maxChars) const {
  // Control characters would break the readable registry file; no caller needs them.
  if (std::any_of(n.begin(), n.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20; })) return false;
  if (CodePage() == TextCodePage::Windows1252) return n.size() <= maxChars;
  // A UTF-8 registry holds UTF-8 names only: the file they are saved in is UTF-8 text.
  return n.size() <= 4 * maxChars && FirstInvalidUtf8(n) == std::string_view::npos && CharCount(n) <= maxChars;
}

long TreeRegistryApi::ResolveBase(RegHandle key, RegHandle* root, std::vector<std::string>* path,
                                  std::uint32_t* access) const {
  if (RootFromName(RootName(key)) == key && key != 0) {
    *root = key;
    path->clear();
    if (access) *access = 0xF003F;  // the predefined keys allow everything
    return Reg::Success;
  }
  auto it = handles_.find(key);
  if (it == handles_.end()) return Reg::InvalidHandle;
  if (it->second.deleted) return Reg::KeyDeleted;
  *root = it->second.root;
  *path = it->second.path;
  if (access) *access = it->second.access;
  return Reg::Success;
}

RegKeyNode* TreeRegistryApi::Walk(const RegistryHive& hive, RegHandle root, const std::vector<std::string>& path) {
  RegKeyNode* node = hive.Root(root);
  for (const auto& part : path) {
    if (!node) return nullptr;
    node = node->FindSubkey(part);
  }
  return node;
}

void TreeRegistryApi::MarkDeleted(RegHandle root, const std::vector<std::string>& path) {
  for (auto& [h, open] : handles_) {
    if (open.root != root || open.path.size() != path.size()) continue;
    if (std::equal(path.begin(), path.end(), open.path.begin(),
                   [this](const auto& a, const auto& b) { return NamesEqual(a, b, CodePage()); }))
      open.deleted = true;
  }
}

RegHandle TreeRegistryApi::NewHandle(RegHandle root, std::vector<std::string> path, std::uint32_t access) {
  const RegHandle h = next_;
  next_ += 4;
  handles_[h] = OpenKey{root, std::move(path), access};
  return h;
}

long TreeRegistryApi::CreateKeyEx(RegHandle base, const std::string& subKey, std::uint32_t access, RegHandle* result,
                                  std::uint32_t* disposition) {
  RegHandle root = 0;
  std::vector<std::string> path;
  std::uint32_t baseAccess = 0;
  if (long rc = ResolveBase(base, &root, &path, &baseAccess)) return rc;
  std::vector<std::string> parts;
  if (!SplitRegPath(subKey, &parts)) return kBadPathname;
  // The registry is at most kMaxKeyDepth keys deep.
  if (path.size() + parts.size() > kMaxKeyDepth) return Reg::InvalidParameter;
  for (const auto& p : parts)
    if (p.empty() || !ValidName(p, kMaxKeyNameLength)) return Reg::InvalidParameter;

  // First look without changing anything: most opens find the key.
  RegistryHive* hive = nullptr;
  if (long rc = store_.Begin(false, &hive)) return rc;
  RegKeyNode* node = Walk(*hive, root, path);
  if (!node) {
    store_.End(false);
    return Reg::KeyDeleted;
  }
  for (const auto& p : parts) {
    node = node->FindSubkey(p);
    if (!node) break;
  }
  store_.End(false);

  bool created = false;
  if (!node) {
    // Making a subkey is a right of the key it is made under.
    if ((baseAccess & Reg::CreateSubKey) == 0) return Reg::AccessDenied;
    if (long rc = store_.Begin(true, &hive)) return rc;
    node = Walk(*hive, root, path);
    if (!node) {
      store_.End(false);
      return Reg::KeyDeleted;
    }
    for (const auto& p : parts) {
      bool made = false;
      node = node->AddSubkey(p, &made);
      created = created || made;
    }
    if (long rc = store_.End(created)) return rc;
  }
  // Keep the names' stored case in the handle path; folding makes it irrelevant.
  for (auto& p : parts) path.push_back(std::move(p));
  *result = NewHandle(root, std::move(path), access);
  if (disposition) *disposition = created ? Reg::CreatedNewKey : Reg::OpenedExistingKey;
  return Reg::Success;
}

long TreeRegistryApi::OpenKeyEx(RegHandle base, const std::string& subKey, std::uint32_t access, RegHandle* result) {
  RegHandle root = 0;
  std::vector<std::string> path;
  if (long rc = ResolveBase(base, &root, &path, nullptr)) return rc;
  std::vector<std::string> parts;
  if (!SplitRegPath(subKey, &parts)) return kBadPathname;
  RegistryHive* hive = nullptr;
  if (long rc = store_.Begin(false, &hive)) return rc;
  RegKeyNode* node = Walk(*hive, root, path);
  const long baseRc = node ? Reg::Success : Reg::KeyDeleted;
  for (const auto& p : parts) {
    if (!node) break;
    node = node->FindSubkey(p);
  }
  store_.End(false);
  if (baseRc) return baseRc;
  if (!node) return Reg::FileNotFound;
  for (auto& p : parts) path.push_back(std::move(p));
  *result = NewHandle(root, std::move(path), access);
  return Reg::Success;
}

long TreeRegistryApi::WithKey(RegHandle key, bool forWrite, std::uint32_t need,
                              const std::function<long(RegKeyNode&)>& fn) {
  RegHandle root = 0;
  std::vector<std::string> path;
  std::uint32_t access = 0;
  if (long rc = ResolveBase(key, &root, &path, &access)) return rc;
  if ((access & need) != need) return Reg::AccessDenied;
  RegistryHive* hive = nullptr;
  if (long rc = store_.Begin(forWrite, &hive)) return rc;
  RegKeyNode* node = Walk(*hive, root, path);
  if (!node) {
    store_.End(false);
    return Reg::KeyDeleted;
  }
  const long rc = fn(*node);
  const long endRc = store_.End(forWrite && rc == Reg::Success);
  return rc ? rc : endRc;
}

long TreeRegistryApi::QueryValueEx(RegHandle key, const std::string& name, std::uint32_t* type, std::uint8_t* data,
                                   std::uint32_t* size) {
  return WithKey(key, false, Reg::QueryValue, [&](RegKeyNode& node) -> long {
    RegStoredValue* v = node.FindValue(name);
    if (!v) return Reg::FileNotFound;
    if (type) *type = v->type;
    const auto n = static_cast<std::uint32_t>(v->data.size());
    if (!data) {
      if (size) *size = n;
      return Reg::Success;
    }
    if (!size) return Reg::InvalidParameter;
    if (*size < n) {
      *size = n;
      return Reg::MoreData;
    }
    if (n) std::memcpy(data, v->data.data(), n);
    *size = n;
    return Reg::Success;
  });
}

long TreeRegistryApi::SetValueEx(RegHandle key, const std::string& name, std::uint32_t type, const std::uint8_t* data,
                                 std::uint32_t size) {
  if (!ValidName(name, kMaxValueNameLength)) return Reg::InvalidParameter;
  if (size && !data) return Reg::InvalidParameter;
  std::vector<std::uint8_t> bytes(data, data + size);
  return WithKey(key, true, Reg::SetValue, [&](RegKeyNode& node) -> long {
    node.SetValue(name, type, std::move(bytes));
    return Reg::Success;
  });
}

long TreeRegistryApi::EnumKeyEx(RegHandle key, std::uint32_t index, char* name, std::uint32_t* nameLen) {
  return WithKey(key, false, Reg::EnumerateSubKeys, [&](RegKeyNode& node) -> long {
    if (index >= node.Subkeys().size()) return Reg::NoMoreItems;
    const std::string& n = node.Subkeys()[index]->name;
    if (!name || !nameLen) return Reg::InvalidParameter;
    if (n.size() + 1 > *nameLen) return Reg::MoreData;
    std::memcpy(name, n.data(), n.size());
    name[n.size()] = '\0';
    *nameLen = static_cast<std::uint32_t>(n.size());
    return Reg::Success;
  });
}

long TreeRegistryApi::EnumValue(RegHandle key, std::uint32_t index, char* name, std::uint32_t* nameLen,
                                std::uint32_t* type, std::uint8_t* data, std::uint32_t* dataLen) {
  return WithKey(key, false, Reg::QueryValue, [&](RegKeyNode& node) -> long {
    if (index >= node.values.size()) return Reg::NoMoreItems;
    const RegStoredValue& v = node.values[index];
    if (!name || !nameLen) return Reg::InvalidParameter;
    if (v.name.size() + 1 > *nameLen) return Reg::MoreData;
    const auto n = static_cast<std::uint32_t>(v.data.size());
    if (data && dataLen && *dataLen < n) {
      *dataLen = n;  // the size needed
      return Reg::MoreData;
    }
    std::memcpy(name, v.name.data(), v.name.size());
    name[v.name.size()] = '\0';
    *nameLen = static_cast<std::uint32_t>(v.name.size());
    if (type) *type = v.type;
    if (data && n) std::memcpy(data, v.data.data(), n);
    if (dataLen) *dataLen = n;
    return Reg::Success;
  });
}

long TreeRegistryApi::DeleteKey(RegHandle key, const std::string& subKey) {
  std::vector<std::string> parts;
  if (!SplitRegPath(subKey, &parts)) return kBadPathname;
  if (parts.empty()) return Reg::AccessDenied;  // a key cannot delete itself through this call
  RegHandle root = 0;
  std::vector<std::string> target;
  if (long rc = ResolveBase(key, &root, &target, nullptr)) return rc;
  target.insert(target.end(), parts.begin(), parts.end());
  const long rc = WithKey(key, true, 0, [&](RegKeyNode& node) -> long {
    RegKeyNode* parent = &node;
    for (std::size_t i = 0; i + 1 < parts.size(); ++i) {
      parent = parent->FindSubkey(parts[i]);
      if (!parent) return Reg::FileNotFound;
    }
    RegKeyNode* doomed = parent->FindSubkey(parts.back());
    if (!doomed) return Reg::FileNotFound;
    if (!doomed->Subkeys().empty()) return Reg::AccessDenied;
    parent->RemoveSubkey(parts.back());
    return Reg::Success;
  });
  if (rc == Reg::Success) MarkDeleted(root, target);
  return rc;
}

long TreeRegistryApi::CloseKey(RegHandle key) {
  if (RootFromName(RootName(key)) == key && key != 0) return Reg::Success;
  return handles_.erase(key) ? Reg::Success : Reg::InvalidHandle;
}
