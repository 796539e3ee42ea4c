// Which keys the spans grid and its in-place editor take as commands, and which as typing.
#pragma once

class QKeyEvent;

// Tab or Shift+Tab (Backtab) without Ctrl or Alt: the keys that move the
// focus from the grid to the next or previous control.
bool IsTabKey(const QKeyEvent& event);

// The range clipboard keys, in both their classic and their current forms,
// plus whatever the platform binds to the command:
//   copy   Ctrl+Insert, Ctrl+C
//   cut    Shift+Delete, Ctrl+X
//   paste  Shift+Insert, Ctrl+V
// A key of the keypad counts as the same key.
bool IsCopyKey(const QKeyEvent& event);
bool IsCutKey(const QKeyEvent& event);
bool IsPasteKey(const QKeyEvent& event);

// A key that types into the cell: Backspace, or a printable character
// (code 32 or above, DEL excepted) typed without Ctrl, Alt or Meta.
bool IsTypingKey(const QKeyEvent& event);
