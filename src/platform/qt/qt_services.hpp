#pragma once
// Platform services that the Qt front end provides: message boxes, picture
// decoding and the broadcast of registered messages on the session bus.
#include <QImage>

#include "platform/system_services.hpp"

class QWidget;

class QtPicture : public Picture {
 public:
  explicit QtPicture(QImage image) : image_(std::move(image)) {}
  int Width() const override { return image_.width(); }
  int Height() const override { return image_.height(); }
  const QImage& Image() const { return image_; }

 private:
  QImage image_;
};

class QtPictureService : public IPictureService {
 public:
  std::shared_ptr<Picture> LoadPicture(const std::string& path) override;
};

class QtMessageBox : public IMessageBox {
 public:
  // parent may change as windows come and go; boxes are modal to it.
  void SetParent(QWidget* parent) { parent_ = parent; }
  int MsgBox(const std::string& prompt, int buttons, const std::string& title) override;

 private:
  QWidget* parent_ = nullptr;
};

// Registered messages: a stable identifier per name, and a broadcast as a
// signal on the session bus that the product's programs listen for:
// path /org/larkspire/AutoUpdate, interface org.larkspire.AutoUpdate,
// member MsgGeneral, arguments (uint32 message, uint64 wParam, int64 lParam).
class QtWindowMessages : public IWindowMessages {
 public:
  std::uint32_t RegisterWindowMessage(const std::string& name) override;
  bool BroadcastNotifyMessage(std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam) override;
};

inline constexpr const char* kBroadcastPath = "/org/larkspire/AutoUpdate";
inline constexpr const char* kBroadcastInterface = "org.larkspire.AutoUpdate";
inline constexpr const char* kBroadcastMember = "MsgGeneral";
