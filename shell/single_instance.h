#ifndef QUORVANTA_SHELL_SINGLE_INSTANCE_H_
#define QUORVANTA_SHELL_SINGLE_INSTANCE_H_

// Keeps the program to one running instance per machine session, through a named mutex that
// lives exactly as long as the first instance's process. UI thread only.

// Returns true when this process is the running instance: it created the mutex now or in an
// earlier call. Returns false when another process had created it first.
[[nodiscard]] bool ClaimSingleInstance();

// Brings the running instance's top-level window (found by its title, hidden or not) to the
// user: restored when minimized, maximized when maximized, shown normally otherwise, raised to
// the top and made the foreground window. Does nothing when no such window exists.
void ActivateRunningInstance();

#endif  // QUORVANTA_SHELL_SINGLE_INSTANCE_H_
