#pragma once
// larkspire-autoupdate --check: the quiet check a timer runs. No window:
// the update information is fetched and read by the wizard's own rules,
// and when an update is waiting the desktop is told once per published
// catalog, with an action that starts the wizard.
//
// Exit status: 0 up to date (or nothing available now), 10 an update is
// available, 2 not installed, 8 the check failed (the log says why; the
// next scheduled check tries again), 6 a wizard or another check of this
// user is running.
//
// Announced catalogs are remembered in $XDG_STATE_HOME/larkspire/announced
// (~/.local/state/... without it). The action starts $LARKSPIRE_WIZARD when
// set, else this program.

// Runs the check (the program's arguments, for Qt) and returns the exit
// status. Needs no display.
int RunUpdateCheck(int argc, char** argv, bool verbose);
