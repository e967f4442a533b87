#pragma once
// Small system services: GUIDs, message boxes, ending the program, the
// program's embedded resources, pictures and registered window messages.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

struct Guid {
  std::uint32_t Data1 = 0;
  std::uint16_t Data2 = 0;
  std::uint16_t Data3 = 0;
  std::uint8_t Data4[8] = {};
};

class IGuidSource {
 public:
  virtual ~IGuidSource() = default;
  // A new GUID (CoCreateGuid); false when none could be made.
  virtual bool CreateGuid(Guid* guid) = 0;
};

// Message-box buttons, icons and answers, with the platform's numbers.
namespace Mb {
constexpr int OkOnly = 0;
constexpr int YesNo = 4;
constexpr int Critical = 16;
constexpr int Question = 32;
constexpr int Exclamation = 48;
constexpr int Information = 64;
constexpr int DefaultButton2 = 256;
constexpr int ButtonsMask = 0x0F;
constexpr int IconMask = 0xF0;
constexpr int DefaultMask = 0xF00;

constexpr int Ok = 1;
constexpr int Yes = 6;
constexpr int No = 7;
}  // namespace Mb

class IMessageBox {
 public:
  virtual ~IMessageBox() = default;
  // Shows a modal message box and returns the answer (Mb::Ok, Yes, No).
  virtual int MsgBox(const std::string& prompt, int buttons, const std::string& title) = 0;
};

// Raised by a test platform's EndProgram so that nothing after it runs.
struct ProgramEnded {};

class IProcessControl {
 public:
  virtual ~IProcessControl() = default;
  // Ends the program at once with that exit status (ExitStatus); does not return.
  virtual void EndProgram(int exitStatus) = 0;
};

class IResources {
 public:
  virtual ~IResources() = default;
  // The bytes of the resource of that name and type (names match without
  // regard to case), or nothing.
  virtual std::optional<std::vector<std::uint8_t>> LoadResource(const std::string& name, const std::string& type) = 0;
};

// A decoded picture; the front end keeps its own image behind it.
class Picture {
 public:
  virtual ~Picture() = default;
  virtual int Width() const = 0;   // pixels
  virtual int Height() const = 0;  // pixels
};

class IPictureService {
 public:
  virtual ~IPictureService() = default;
  // Decodes the picture in a file. Raises RuntimeError 481 when it is not one.
  virtual std::shared_ptr<Picture> LoadPicture(const std::string& path) = 0;
};

class IWindowMessages {
 public:
  virtual ~IWindowMessages() = default;
  // A message identifier for the name, the same in every process; 0 on failure.
  virtual std::uint32_t RegisterWindowMessage(const std::string& name) = 0;
  // Sends msg to all top-level windows without waiting; false when not sent.
  virtual bool BroadcastNotifyMessage(std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam) = 0;
};
