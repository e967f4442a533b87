#pragma once
// The report of unexpected run-time errors.

// The module codes that name where an unexpected error was caught: start-up
// and the transfer's progress handler.
inline constexpr const char* ModuleStartup = "0002";
inline constexpr const char* ModuleProgress = "0008";
