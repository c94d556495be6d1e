// Line numbers of an NC program as text: remove them, add them, renumber.
//
// Pure functions over the lines, so that the editor pane can run each one
// inside one editor update (one undo restores the text) and the command
// line can run them on a file. A line number is the post's Nt word: its
// Designation starts a numbered line, and the numbers are written through
// the Nt token's Format, so they read back the way the post writes them.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "post/post_definition.h"

namespace tarnak {

struct RenumberSettings {
  std::string Start = "100";     // the dialog's text fields, read with TextToInt
  std::string Increment = "5";
  bool AddSpace = true;          // "Add Space"
};

// For every line that begins with the Nt Designation: from its second
// character on, the first character that is not a blank, '.' or a digit
// starts what the line keeps ("N0010 G01" keeps "G01"); a line without
// such a character ("N10") stays as it is.
void RemoveLineNumbers(std::vector<std::string>& lines, const TTNPostProcessor& post);

// Numbers every line that does not begin with the post's Comment text:
// start, start + increment, ...; a number above MaxBlock restarts at start.
// Comment lines use no number. Existing numbers stay. Throws ConvertError
// when Start or Increment is not an integer, FormatError when the Nt token
// cannot write one.
void AddLineNumbers(std::vector<std::string>& lines, const TTNPostProcessor& post,
                    const RenumberSettings& settings);

// RemoveLineNumbers, then AddLineNumbers.
void Renumber(std::vector<std::string>& lines, const TTNPostProcessor& post,
              const RenumberSettings& settings);

// A text split into lines at LF (a CR before it stays out of the line);
// JoinLines puts them back with `eol` after each line but a last empty one.
std::vector<std::string> SplitLines(std::string_view text, bool& crlf);
std::string JoinLines(const std::vector<std::string>& lines, bool crlf);

}  // namespace tarnak
