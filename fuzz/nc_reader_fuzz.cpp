// Feeds arbitrary bytes to the G-code tokenizer and both NC readings:
// none may crash, hang or read out of bounds; the tokens of a line must
// cover it in order, and every move read must be a sound display record
// (an arc's sweep positive, its radius positive, its line in the text).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "base/numbers.h"
#include "editor/gcode_tokenizer.h"
#include "editor/renumber.h"
#include "import/nc/nc_reader.h"

namespace {

tarnak::TTNPostProcessor Post(bool radius) {
  using namespace tarnak;
  TTNPostProcessor p;
  const auto set = [&](int slot, const char* d, int v, const char* f) {
    TTNToken& t = p.Tokens[static_cast<std::size_t>(slot)];
    t.Designation = d;
    t.Variable = v;
    t.Format = f;
  };
  set(TokenSlot::Xt, "X", TokenVar::Ex, "%1.4f");
  set(TokenSlot::Yt, "Y", TokenVar::Ey, "%1.4f");
  set(TokenSlot::Zt, "Z", TokenVar::Ez, "%1.4f");
  set(TokenSlot::It, "I", radius ? TokenVar::Cx : TokenVar::Ii, "%1.4f");
  set(TokenSlot::Jt, "J", radius ? TokenVar::Cy : TokenVar::Ji, "%1.4f");
  set(TokenSlot::Rt, "R", TokenVar::Rad, "%1.4f");
  set(TokenSlot::Nt, "N", TokenVar::Nv, "%d");
  set(TokenSlot::Tt, "D", TokenVar::Tn, "%d");
  set(TokenSlot::Ct, "K", TokenVar::Cv, "%1.4f");
  p.Comment = radius ? ";" : "(";
  p.MaxBlock = 1000;
  p.Scripts[ScriptSlot::Linear].Command = "G01";
  p.Scripts[ScriptSlot::Rapid].Command = "G00";
  p.Scripts[ScriptSlot::CwArc] = {"G02", {{-1, false}, {radius ? 5 : 3, false}}};
  p.Scripts[ScriptSlot::CcwArc].Command = "G03";
  p.Scripts[ScriptSlot::Drill].Command = "G81";
  return p;
}

void Check(const tarnak::NCReadResult& r) {
  if (r.Moves.empty()) std::abort();
  for (std::size_t i = 1; i < r.Moves.size(); ++i) {
    const tarnak::TTNEdEntity& m = r.Moves[i];
    if (m.Line < 0 || m.Line >= r.Lines) std::abort();
    if (m.IsArc() && !(m.EndAngle() > m.StartAngle())) {
      // Angles of not-a-number coordinates compare false; only a sweep of
      // numbers must be positive.
      if (m.EndAngle() == m.EndAngle() && m.StartAngle() == m.StartAngle()) std::abort();
    }
  }
  (void)tarnak::NCMovesToMotions(r.Moves);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  tarnak::SetDecimalSeparator('.');
  tarnak::GCodeTokenizer tokenizer;
  for (std::size_t from = 0; from < text.size();) {
    std::size_t lf = text.find('\n', from);
    if (lf == std::string_view::npos) lf = text.size();
    const std::string_view line = text.substr(from, lf - from);
    std::size_t at = 0;
    tokenizer.Scan(line, [&](const tarnak::GToken& t) {
      if (t.Start != at || t.Start + t.Length > line.size()) std::abort();
      if (t.Length == 0 && t.Kind != tarnak::GTokenKind::EndOfLine) std::abort();
      at += t.Length;
    });
    from = lf + 1;
  }
  for (bool radius : {false, true}) {
    const tarnak::TTNPostProcessor post = Post(radius);
    try {
      Check(tarnak::ReadNCPost(text, post));
    } catch (const tarnak::NCReadError&) {
    }
    if (!radius) {
      bool crlf = false;
      std::vector<std::string> lines = tarnak::SplitLines(text, crlf);
      tarnak::Renumber(lines, post, {"100", "5", true});
    }
  }
  try {
    Check(tarnak::ReadNCStandard(text));
  } catch (const tarnak::NCReadError&) {
  }
  return 0;
}
