#include "app/win32_platform.hpp"

Win32Platform::Win32Platform()
    : services{.registry = &registry,
               .environment = &environment,
               .files = &files,
               .guid = &guid,
               .resources = &resources,
               .messages = &messages,
               .profiles = &profiles,
               .shell = &shell,
               .connection = &connection,
               .verifier = &verifier} {}
