#pragma once

// Shows the busy cursor for its lifetime, also when the work inside throws.
// The cursor is on the screen before the constructor returns, so a read or
// write that blocks the window right after is covered by it. X11 gets the
// request at once; other window systems (Wayland) only when the event loop
// has its turn, so the loop is given one turn here, the user's clicks and
// keys held back for after the work.
class TBusyCursor {
 public:
  TBusyCursor();
  ~TBusyCursor();
  TBusyCursor(const TBusyCursor&) = delete;
  TBusyCursor& operator=(const TBusyCursor&) = delete;
};
