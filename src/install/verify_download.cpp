// The main window's integrity check: thin glue between the window's state,
// the file services and the CRC.
#include <cctype>

#include "install/integrity.hpp"
#include "install_state/path_helpers.hpp"
#include "wizard/frm_main.hpp"

namespace {
bool SameText(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (std::toupper(static_cast<unsigned char>(a[i])) != std::toupper(static_cast<unsigned char>(b[i]))) return false;
  return true;
}

// The hourglass while the copy runs, and the default pointer again however
// the copy ends.
class BusyPointer {
 public:
  explicit BusyPointer(IEventLoop* events) : events_(events) {
    if (events_) events_->SetBusyPointer(true);
  }
  ~BusyPointer() {
    try {
      if (events_) events_->SetBusyPointer(false);
    } catch (...) {
    }
  }
  BusyPointer(const BusyPointer&) = delete;
  BusyPointer& operator=(const BusyPointer&) = delete;

 private:
  IEventLoop* events_;
};

void DoEvents(IEventLoop* events) {
  if (events) events->DoEvents();
}
}  // namespace

bool frmMain::VerifyDownload(const std::string& sFile) {
  IFileSystem& files = *platform_.files;
  try {
    const std::size_t index = static_cast<std::size_t>(CurrentIndex);
    const UpdateComponent entry = ComponentTable.at(index);
    // The name comes from the catalog: one that would lead out of the
    // product folder fails before anything is read or written.
    if (!IsPlainFileName(entry.sFileName)) return false;
    if (!FileExists(files, sFile)) return false;
    const auto crc = FileCrc32(files, sFile);
    if (!crc || !SameText(FormatCrc(*crc), entry.sCrc)) return false;
    ComponentTable.at(index).bVerified = true;

    std::string destination = State.AppPath + entry.sFileName;
    if (FileExists(files, destination)) destination = UniqueFileName(files, destination);
    if (!IsFileDirectlyIn(State.AppPath, destination)) return false;
    {
      BusyPointer busy(platform_.events);
      DoEvents(platform_.events);
      files.FileCopy(sFile, destination);
      // The download was made read-only and hidden; the copy is a plain file.
      files.SetAttr(destination, Attr::Archive);
      DoEvents(platform_.events);
    }
    // The events that ran may have reset the table: look the entry up again.
    ComponentTable.at(index).sTargetFile = destination;
    return true;
  } catch (...) {
    return false;
  }
}
