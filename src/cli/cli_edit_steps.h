// Edit steps of the command line: the Edit menu's commands applied to the
// drawing after the selection, in the order given, before any toolpath is
// made (--reverse, --explode, --join, --combine, --move X,Y, --scale F,
// --rotate DEG, --depth-boundaries D, --depth-islands D,
// --first-element REGION:INDEX, --wall REGION:PROFILE:DELTA with the
// profile library of --profiles FILE.dxf, which is loaded before any step).
#pragma once

#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "shell/document.h"

namespace tarnak::cli {

struct EditStep {
  std::string Option;  // as typed, for messages
  double A = 0.0, B = 0.0;
  int Region = 0, Index = 0;
  std::string Text;  // a file name
};

// The usage lines of the edit steps.
inline constexpr const char* kEditStepsUsage =
    "       edit steps (regions, contour, pocket, drill; after the selection, in order):\n"
    "                  [--reverse] [--explode] [--join] [--combine] [--move X,Y] [--scale F]\n"
    "                  [--rotate DEG] [--depth-boundaries D] [--depth-islands D]\n"
    "                  [--first-element REGION:INDEX]\n"
    "                  [--profiles FILE.dxf] [--wall REGION:PROFILE:DELTA]\n";

// Moves the edit-step options (and their values) out of `args` into
// `steps`; returns the complaint about a malformed one, else empty.
std::string ExtractEditSteps(std::vector<std::string>& args, std::vector<EditStep>& steps);

// Applies the steps. Explode, join and combine renumber the Regions and
// lose the selection, so `reselect` runs the selection again after them.
// False (with the reason on `err`) when a step cannot be applied.
bool ApplyEditSteps(Document& doc, const std::vector<EditStep>& steps,
                    const std::function<void()>& reselect, std::ostream& err);

}  // namespace tarnak::cli
