#pragma once
// A virtual X display of the test's own, so tests that move the real pointer cannot disturb, or be
// disturbed by, other tests sharing the session's display. Started once per test process; DISPLAY
// names it for everything the test starts afterwards.

namespace window_test {

// True when the display is up (Xvfb found and started).
bool PrivateDisplayRunning();

}  // namespace window_test
