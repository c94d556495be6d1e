// Small post definitions for the NC reading and renumbering tests: the
// words of a plain control, arcs by incremental centre or by radius.
#pragma once

#include "post/post_definition.h"

namespace tarnak::testing {

inline void SetToken(TTNPostProcessor& p, int slot, const char* designation, int variable,
                     const char* format) {
  TTNToken& t = p.Tokens[static_cast<std::size_t>(slot)];
  t.Designation = designation;
  t.Variable = variable;
  t.Format = format;
  t.Plus = false;
}

inline TTNPostProcessor IncrementalCentrePost() {
  TTNPostProcessor p;
  p.Name = "Test";
  p.Comment = "(";
  p.MaxBlock = 99999999;
  SetToken(p, TokenSlot::Xt, "X", TokenVar::Ex, "%1.4f");
  SetToken(p, TokenSlot::Yt, "Y", TokenVar::Ey, "%1.4f");
  SetToken(p, TokenSlot::Zt, "Z", TokenVar::Ez, "%1.4f");
  SetToken(p, TokenSlot::It, "I", TokenVar::Ii, "%1.4f");
  SetToken(p, TokenSlot::Jt, "J", TokenVar::Ji, "%1.4f");
  SetToken(p, TokenSlot::Nt, "N", TokenVar::Nv, "%d");
  SetToken(p, TokenSlot::Ct, "R", TokenVar::Cv, "%1.4f");
  p.Scripts[ScriptSlot::Linear].Command = "G01";
  p.Scripts[ScriptSlot::Rapid].Command = "G00";
  p.Scripts[ScriptSlot::CwArc] = {"G02", {{-1, false}, {0, false}, {1, false}, {3, false}, {4, false}}};
  p.Scripts[ScriptSlot::CcwArc].Command = "G03";
  p.Scripts[ScriptSlot::Drill].Command = "G81";
  return p;
}

// Arcs by radius: the CW script writes the Rt token. Its R is the radius;
// the clearance word takes another letter so the two do not meet.
inline TTNPostProcessor RadiusPost() {
  TTNPostProcessor p = IncrementalCentrePost();
  p.Scripts[ScriptSlot::CwArc].Items = {{-1, false}, {0, false}, {1, false}, {5, false}};
  SetToken(p, TokenSlot::Rt, "R", TokenVar::Rad, "%1.4f");
  SetToken(p, TokenSlot::Ct, "K", TokenVar::Cv, "%1.4f");
  return p;
}

}  // namespace tarnak::testing
