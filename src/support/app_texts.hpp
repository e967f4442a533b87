#pragma once
// The wizard's name and the texts every subsystem builds its messages with.
#include <string>

// The caption, the title of questions, and a word in many texts.
inline constexpr const char* AppTitle = "Larkspire AutoUpdate";
// The title of error boxes.
inline constexpr const char* ErrorTitle = "Larkspire AutoUpdate - Error";
// The line break of every message: carriage return and line feed.
inline const std::string CRLF = "\r\n";

// What the user is told when a wizard is already running.
inline constexpr const char* AlreadyRunningText =
    "Larkspire AutoUpdate is already running.\r\n\r\nFinish or cancel the update in its window before you start "
    "Larkspire AutoUpdate again.";
