#pragma once

namespace quillet::testing {

// Starts this test program again inside dbus-run-session, on a session bus
// of its own that finds none of the user's activation files (the user may
// have registered the real program). Returns only in the program that
// already runs on that bus; ends the process when the bus cannot be had.
void RerunOnPrivateBus(int argc, char** argv);

}  // namespace quillet::testing
