#include "fakes/fake_services.hpp"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <utility>
#ifdef _WIN32
#include <process.h>
#endif

#include "backends/common/message_id.hpp"

namespace {
// The next scripted answer, or the usual one when the script has run out.
template <class T>
T Next(std::deque<T>& script, T usual) {
  if (script.empty()) return usual;
  const T next = script.front();
  script.pop_front();
  return next;
}
}  // namespace

int FakeMessageBox::MsgBox(const std::string& prompt, int buttons, const std::string& title) {
  shown.push_back({prompt, buttons, title});
  if (auto work = std::exchange(whileOpen, nullptr)) work();
  return Next(answers, (buttons & Mb::ButtonsMask) == Mb::YesNo ? Mb::No : Mb::Ok);
}

bool FakeGuidSource::CreateGuid(Guid* guid) {
  const auto n = static_cast<std::uint8_t>(++made);
  *guid = Next(scripted, Guid{0x1234ABCDu + n, 0x00EF, 0x4A0B, {0x9C, 0x01, 0, 0, 0, 0, 0, n}});
  return true;
}

void FakeProcessControl::EndProgram(int exitStatus) {
  ++endCount;
  lastExitStatus = exitStatus;
  throw ProgramEnded{};
}

std::uint32_t FakeWindowMessages::RegisterWindowMessage(const std::string& name) {
  ++registerCalls;
  return Next(registerResults, StableMessageId(name));
}

bool FakeConnection::InternetGetConnectedStateEx(std::uint32_t* f, char* name, std::uint32_t len, std::uint32_t) {
  if (answers) *f = flags;
  if (answers && len) std::snprintf(name, len, "eth0");
  return answers;
}

TempDir::TempDir() : TempDir(std::string()) {}

TempDir::TempDir(const std::string& base) {
#ifdef _WIN32
  // The first free name of this process's, counted: the C runtime has no
  // mkdtemp, and Wine gives its processes the same few ids again.
  static int made = 0;
  const std::filesystem::path parent = base.empty() ? std::filesystem::temp_directory_path() : base;
  std::filesystem::path folder;
  do folder = parent / ("larkspire-test-" + std::to_string(_getpid()) + "-" + std::to_string(++made));
  while (!std::filesystem::create_directory(folder));
  native_ = folder.string();
#else
  const char* t = std::getenv("TMPDIR");
  std::string tmpl = (base.empty() ? std::string(t && *t ? t : "/tmp") : base) + "/larkspire-test-XXXXXX";
  if (!mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
  native_ = tmpl;
#endif
}

TempDir::~TempDir() {
  std::error_code ec;
  // Read-only files inside must not stop the clean-up.
  for (auto& e : std::filesystem::recursive_directory_iterator(native_, ec))
    std::filesystem::permissions(e.path(), std::filesystem::perms::owner_all, std::filesystem::perm_options::add, ec);
  std::filesystem::remove_all(native_, ec);
}

#ifdef _WIN32
std::string TempDir::Path() const { return native_ + "\\"; }
#else
std::string TempDir::Path() const { return PosixFileSystem::FromNative(native_) + "\\"; }
#endif

std::string ReadFileBytes(const std::string& nativePath) {
  std::ifstream in(nativePath, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void WriteFileBytes(const std::string& nativePath, const std::string& bytes) {
  std::ofstream out(nativePath, std::ios::binary | std::ios::trunc);
  out << bytes;
}
