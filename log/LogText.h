#pragma once

#include <QString>

// Text from outside (a client's program name or request, a board's name, a
// settings file's keys and values) as the event log and the window's status
// bar show it: on one line, the terminal's control sequences harmless, and
// of a bounded length.
namespace LogText {

constexpr int DefaultMaxChars = 80;

// Control characters (C0, DEL, C1), the line and paragraph separators, the
// marks that reorder text and unpaired surrogates are shown as escapes
// (\n, \r, \t, \e, \xHH, \u{HHHH}) and a backslash as \\; everything else
// stays. Longer than maxChars characters (escapes counted as shown), it is
// cut and ends in "...", never in the middle of an escape or a character.
QString escaped(const QString &text, int maxChars = DefaultMaxChars);

} // namespace LogText
