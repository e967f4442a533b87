#pragma once
// Modal message boxes, with the platform's numbers for buttons, icons and
// answers.
#include <string>

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
