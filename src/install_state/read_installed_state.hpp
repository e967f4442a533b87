#pragma once
// Installed-product discovery: what is installed, read once at start-up,
// and the header picture from the program's resources.
#include <functional>
#include <memory>
#include <string>

#include "install_state/installed_state.hpp"
#include "platform/platform.hpp"
#include "support/c_registry.hpp"

class InstalledStateReader {
 public:
  // registerMessages registers the window message shared with the product's
  // programs; it runs once the registry accessor exists, before anything is
  // read, and may raise.
  InstalledStateReader(const Platform& platform, std::function<void()> registerMessages)
      : platform_(platform), registerMessages_(std::move(registerMessages)) {}

  // Reads what is installed into State; shows the stop message and ends the
  // program when the product is not installed properly. Raises run-time
  // errors to the start-up procedure.
  void ReadInstalledState();
  // Keeps serial as the highest catalog serial accepted (nothing when it is
  // "" or already kept). A serial that cannot be written now (another
  // program holds the registry) is logged and tried again with the next
  // change and by KeepUnkept, since until it is kept an older signed catalog
  // would be taken again. Never raises.
  void StoreCatalogSerial(const std::string& serial);
  // Keeps the list of package copies in the product folder ("Package
  // Copies"), and a serial not kept yet; a failed write is only logged.
  // Never raises.
  void StorePackageCopies(const std::string& copies);
  // Tries once more to keep what could not be kept (the run is ending).
  // Never raises.
  void KeepUnkept();
  // The picture of an embedded resource, or nullptr. Never raises.
  std::shared_ptr<Picture> LoadResourcePicture(const std::string& name);

  // The registry accessor, made by ReadInstalledState.
  std::unique_ptr<cRegistry> Registry;
  InstalledState State;

 private:
  Platform platform_;
  std::function<void()> registerMessages_;
  std::string unkeptSerial_;  // accepted, but not written yet
  int pictureFailures_ = 0;
};
