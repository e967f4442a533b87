#pragma once
// larkspire-autoupdate --check on Linux: the quiet check a systemd user
// timer runs. No window: the update information is fetched and read by the
// wizard's own rules, and when an update is waiting the desktop is told
// once per published catalog, with an action that starts the wizard.
//
// Exit status: 0 up to date (or nothing available now), 10 an update is
// available, 2 not installed, 8 the check failed (the log says why; the
// next scheduled check tries again), 6 a wizard or another check of this
// user is running.
//
// Announced catalogs are remembered in $XDG_STATE_HOME/larkspire/announced
// (~/.local/state/... without it). The action starts $LARKSPIRE_WIZARD when
// set, else this program.
#include "backends/common/log_message_box.hpp"
#include "backends/common/profile_file_reader.hpp"
#include "backends/libcurl/async_read_service.hpp"
#include "backends/linux/connection_state.hpp"
#include "backends/linux/guid_source.hpp"
#include "backends/openssl/signature_verifier.hpp"
#include "backends/posix/clock.hpp"
#include "backends/posix/environment.hpp"
#include "backends/posix/file_hive_store.hpp"
#include "backends/posix/file_system.hpp"
#include "backends/posix/process_control.hpp"
#include "backends/qt_widgets/event_loop.hpp"
#include "platform/platform.hpp"

class UpdateCheck;

// The services a check needs: the wizard's, without its window, dialogs,
// pictures or opener; a box it would show goes to the log.
struct LinuxCheckPlatform {
  FileRegistryApi registry{FileHiveStore::DefaultPath()};
  PosixEnvironment environment;
  PosixFileSystem files;
  PosixGuidSource guid;
  LogMessageBox messageBox;
  PosixProcessControl process;
  QtEventLoop events;
  PosixConnectionService connection;
  QtAsyncReadService reader;
  PosixClock clock;
  OpenSslSignatureVerifier verifier;
  ProfileFileReader profiles{files};
  Platform services = WindowlessServicesOf(*this);
};

// Tells the desktop about the update the check found, once for its
// catalog; starts the wizard when the user takes the action. Never raises.
void AnnounceOnDesktop(const UpdateCheck& check);
