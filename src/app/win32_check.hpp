#pragma once
// larkspire-autoupdate.exe --check on Windows: the quiet check the Task
// Scheduler runs (resources/larkspire-autoupdate-check.task.xml). No window:
// the update information is fetched and read by the wizard's own rules, and
// when an update is waiting a balloon in the notification area tells the
// user, once per published catalog; a click on it starts the wizard.
//
// Exit status as on Linux: 0 up to date, 10 an update is available, 2 not
// installed, 8 the check failed, 6 a wizard or a check of this session is
// running. Announced catalogs are remembered in
// %LOCALAPPDATA%\Larkspire\announced.
#include "backends/common/log_message_box.hpp"
#include "backends/win32/clock.hpp"
#include "backends/win32/connection_state.hpp"
#include "backends/win32/environment.hpp"
#include "backends/win32/event_loop.hpp"
#include "backends/win32/file_system.hpp"
#include "backends/win32/guid_source.hpp"
#include "backends/win32/process_control.hpp"
#include "backends/win32/profile_reader.hpp"
#include "backends/win32/read_service.hpp"
#include "backends/win32/registry_api.hpp"
#include "backends/win32/signature_verifier.hpp"
#include "platform/platform.hpp"

class UpdateCheck;

// The services a check needs: the wizard's, without its window, dialogs,
// pictures or opener; a box it would show goes to the log.
struct Win32CheckPlatform {
  Win32RegistryApi registry;
  Win32Environment environment;
  Win32FileSystem files;
  Win32GuidSource guid;
  LogMessageBox messageBox;
  Win32ProcessControl process;
  Win32ProfileReader profiles;
  Win32EventLoop events;
  Win32ConnectionService connection;
  Win32AsyncReadService reader;
  Win32Clock clock;
  Win32SignatureVerifier verifier;
  Platform services = WindowlessServicesOf(*this);
};

// Tells the user about the update the check found, once for its catalog;
// starts the wizard on a click. Never raises.
void AnnounceInNotificationArea(const UpdateCheck& check);
