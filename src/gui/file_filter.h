// File dialog filters. The program states its filters in the classic
// "description|patterns|description|patterns" form (patterns separated by
// ';'); Qt's dialogs take "description (patterns);;description (patterns)".
#pragma once

#include <QString>

namespace tarnak::gui {

// The open dialog's filter for drawings.
inline constexpr const char* kOpenDrawingFilter =
    "DXF or STL Files (*.Dxf, *.Stl)|*.DXF;*.STL|DXF Files (*.Dxf)|*.DXF|STL Files (*.Stl)|*.STL";

// The open dialog's filter for NC programs; other extensions (.nc, .ngc,
// .tap) through "All files".
inline constexpr const char* kNCProgramFilter = "DNC files (*.Dnc) |*.dnc|All files (*.*) |*.*";

// Converts a "description|patterns|..." filter into Qt's syntax. Each
// description loses a trailing "(...)" of its own and gets its real
// patterns in parentheses instead. Patterns with an extension are offered in
// upper and lower case, since file names on this system are case
// sensitive and the extension test of the program is not; "*.*" becomes
// "*", which also matches names without a dot. A description without
// patterns (an odd count of fields) keeps its own text and matches
// everything.
QString QtFileFilter(const QString& classicFilter);

}  // namespace tarnak::gui
