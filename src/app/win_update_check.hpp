#pragma once
// larkspire-autoupdate.exe --check: the quiet check the Task Scheduler runs
// (resources/larkspire-autoupdate-check.task.xml). No window: the update
// information is fetched and read by the wizard's own rules, and when an
// update is waiting a balloon in the notification area tells the user,
// once per published catalog; a click on it starts the wizard.
//
// Exit status as on Linux: 0 up to date, 10 an update is available, 2 not
// installed, 8 the check failed, 6 a wizard of this session is open.
// Announced catalogs are remembered in %LOCALAPPDATA%\Larkspire\announced.

// Runs the check and returns the exit status. Never raises.
int RunWindowsUpdateCheck();
