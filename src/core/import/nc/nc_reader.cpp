#include "import/nc/nc_reader.h"

#include <cmath>
#include <cstring>

#include "base/numbers.h"
#include "base/text.h"
#include "geometry/primitives.h"
#include "import/nc/nc_lines.h"

namespace tarnak {

namespace {
constexpr std::size_t kReserveMoves = 10000;

bool IsMotionCommand(std::string_view word) {
  // G0..G3 with any leading zeros, either case: a motion word of any dialect.
  if (word.size() < 2 || (word[0] != 'G' && word[0] != 'g')) return false;
  std::size_t i = 1;
  while (i + 1 < word.size() && word[i] == '0') ++i;
  return i + 1 == word.size() && word[i] >= '0' && word[i] <= '3';
}
}  // namespace

void NCPostReader::Configure(const TTNPostProcessor& post, const TTNEditorColouring& colouring) {
  ConfigureTokenizer(tokenizer_, post, colouring);
  addressSlot_.fill(-1);
  for (int t = 0; t < kTokenCount; ++t) {
    const TTNToken& token = post.Tokens[static_cast<std::size_t>(t)];
    slotVariable_[static_cast<std::size_t>(t)] = token.Variable;
    const std::string_view d = TrimBlanks(token.Designation);
    // Only a one-letter Designation can match an address token; the first
    // slot with it wins.
    if (d.size() != 1) continue;
    const auto c = static_cast<unsigned char>(d[0]);
    if (tokenizer_.RuleOf(c) != GCodeTokenizer::Rule::Address) continue;
    if (addressSlot_[c] < 0) addressSlot_[c] = t;
  }
  commands_.clear();
  for (int s = 0; s < kScriptCount; ++s) {
    std::string command;
    for (char c : post.Scripts[static_cast<std::size_t>(s)].Command) {
      if (c == ' ' || c == '\t') continue;
      command += (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
    }
    if (command.empty() || command == "<NULL>") continue;
    commands_.emplace_back(command, s);
  }
  arcFormat_ = 0;
  for (const TTNScriptItem& item : post.Scripts[ScriptSlot::CwArc].Items) {
    if (item.Token < 0 || item.Token >= kTokenCount) continue;
    const int v = post.Tokens[static_cast<std::size_t>(item.Token)].Variable;
    if (v == TokenVar::Rad) arcFormat_ = 1;
    if (v == TokenVar::Cx) arcFormat_ = 2;
    if (v == TokenVar::Ii) arcFormat_ = 3;
  }
}

void NCPostReader::BeginParse(int pen) {
  values_.fill(0.0);
  px_ = py_ = pz_ = 0.0;
  mode_ = 0;
  slot_ = 0;
  hasAddress_ = false;
  line_ = 0;
  pen_ = pen;
  result_ = NCReadResult{};
  result_.Moves.reserve(kReserveMoves);
  shortRadiusNoted_ = false;
}

void NCPostReader::Push(double x, double y, double z, double radius, double x2, double y2,
                        double z2, std::uint8_t kind) {
  result_.Moves.push_back(nc_detail::MakeMove(x, y, z, radius, x2, y2, z2, kind, line_, pen_,
                                              static_cast<float>(values_[TokenVar::Sa])));
}

void NCPostReader::ParseLine(std::string_view line) {
  // The vector grows by doubling; the reserve at BeginParse is the start.
  tokenizer_.Scan(line, [&](const GToken& t) {
    const std::string_view text = line.substr(t.Start, t.Length);
    switch (t.Kind) {
      case GTokenKind::Address: {
        const int slot = addressSlot_[static_cast<unsigned char>(text[0])];
        if (slot < 0) break;
        slot_ = slot;
        hasAddress_ = true;
        if (slot == toolSlot_) Push(px_, py_, pz_, 0.0, px_, py_, pz_, NCKind::ToolChange);
        break;
      }
      case GTokenKind::Number: {
        const double v = TextToFloat(text);  // throws ConvertError
        const int variable = slotVariable_[static_cast<std::size_t>(slot_)];
        if (variable >= 0 && variable < kVariableCount) values_[static_cast<std::size_t>(variable)] = v;
        break;
      }
      case GTokenKind::Command:
        if (IsMotionCommand(text)) result_.HasMotionWords = true;
        for (const auto& [command, s] : commands_) {
          if (command == text) {
            mode_ = s + 1;
            break;
          }
        }
        break;
      default:
        break;
    }
  });
  if (hasAddress_) EmitMove();
  hasAddress_ = false;
  ++line_;
}

void NCPostReader::EmitMove() {
  if (mode_ >= 1 && mode_ <= 4) {
    const double x = Value(slotVariable_[TokenSlot::Xt]);
    const double y = Value(slotVariable_[TokenSlot::Yt]);
    const double z = Value(slotVariable_[TokenSlot::Zt]);
    Push(px_, py_, pz_, 0.0, x, y, z, static_cast<std::uint8_t>(mode_));
    px_ = x;
    py_ = y;
    pz_ = z;
    return;
  }
  if (mode_ >= 5 && mode_ <= 8) {
    const double ex = values_[TokenVar::Ex];
    const double ey = values_[TokenVar::Ey];
    const double ez = values_[TokenVar::Ez];
    const bool clockwise = mode_ <= 6;
    const auto kind = static_cast<std::uint8_t>(mode_);
    double cx = 0.0, cy = 0.0, radius = 0.0;
    bool chord = false;
    if (arcFormat_ == 1) {
      const double r = values_[TokenVar::Rad];
      const double mx = (px_ + ex) / 2.0, my = (py_ + ey) / 2.0;
      const double d = std::hypot(ex - mx, ey - my);
      if (d <= 0.0 || r == 0.0) {
        chord = true;  // no chord or no radius: no circle is defined
      } else {
        const double ux = (ex - mx) / d, uy = (ey - my) / d;
        double h2 = r * r - d * d;
        if (h2 < 0.0 && std::fabs(r) >= d * (1.0 - kArcRadiusSlack)) h2 = 0.0;
        if (h2 < 0.0) {
          chord = true;
        } else {
          // The shorter arc has its centre to the right of the travel for a
          // clockwise block and to the left for a counter-clockwise one; a
          // negative radius asks for the longer arc.
          double h = std::sqrt(h2);
          if (!clockwise) h = -h;
          if (r < 0.0) h = -h;
          cx = mx + h * uy;
          cy = my - h * ux;
          radius = std::fabs(r);
        }
      }
    } else if (arcFormat_ == 2) {
      cx = values_[TokenVar::Cx];
      cy = values_[TokenVar::Cy];
      radius = std::hypot(ex - cx, ey - cy);
    } else if (arcFormat_ == 3) {
      cx = px_ + values_[TokenVar::Ii];
      cy = py_ + values_[TokenVar::Ji];
      radius = std::hypot(values_[TokenVar::Ii], values_[TokenVar::Ji]);
    } else {
      return;  // arcs are not read with this post
    }
    if (chord || !(radius > 0.0)) {
      if (chord && !shortRadiusNoted_) {
        shortRadiusNoted_ = true;
        result_.Notes.push_back("Line " + std::to_string(line_ + 1) +
                                ": arc radius shorter than half the chord, drawn as a line");
      }
      Push(px_, py_, pz_, 0.0, ex, ey, ez, kind);
    } else {
      const double ap = PointAngle({cx, cy}, {px_, py_});
      const double ae = PointAngle({cx, cy}, {ex, ey});
      double s = clockwise ? ae : ap;
      double e = clockwise ? ap : ae;
      if (s == e) e += kTwoPi;
      if (s > e) e += kTwoPi;
      Push(cx, cy, pz_, radius, s, e, ez, kind);
    }
    px_ = ex;
    py_ = ey;
    pz_ = ez;
    return;
  }
  if (mode_ == 9 || mode_ == 10) {
    const double r = Value(slotVariable_[TokenSlot::Ct]);
    const double hx = values_[TokenVar::Ex], hy = values_[TokenVar::Ey];
    const double z = values_[TokenVar::Ez];
    Push(px_, py_, pz_, 0.0, px_, py_, r, NCKind::Rapid);
    Push(px_, py_, r, 0.0, hx, hy, r, NCKind::Rapid);
    Push(hx, hy, r, kNCDrillMarkRadius, hx, hy, z, NCKind::DrillPlunge);
    px_ = hx;
    py_ = hy;
    pz_ = z;
  }
}

NCReadResult NCPostReader::EndParse() {
  result_.Moves.shrink_to_fit();
  result_.Lines = line_;
  result_.Extents = NCExtents(result_.Moves);
  NCReadResult out = std::move(result_);
  result_ = NCReadResult{};
  return out;
}


NCReadResult ReadNCPost(std::string_view text, const TTNPostProcessor& post,
                        const TTNEditorColouring& colouring, int pen) {
  NCPostReader reader;
  reader.Configure(post, colouring);
  reader.BeginParse(pen);
  nc_detail::ForEachLine(text, [&](std::string_view line, int index) {
    try {
      reader.ParseLine(line);
    } catch (const ConvertError& e) {
      throw NCReadError(e.what(), index + 1);
    }
  });
  return reader.EndParse();
}

NCReadResult ReadNCText(std::string_view text, NCReading reading, const TTNPostProcessor& post,
                        const TTNEditorColouring& colouring, int pen) {
  return reading == NCReading::Standard ? ReadNCStandard(text, pen)
                                        : ReadNCPost(text, post, colouring, pen);
}

std::string NCReadingHint(const NCReadResult& result, NCReading reading,
                          const TTNPostProcessor& post) {
  if (reading != NCReading::Post || result.MoveCount() > 0 || !result.HasMotionWords) return {};
  return "No moves in the words of post " + post.Name +
         " - try the standard G-code reading (Options, NCRead)...";
}

MotionList NCMovesToMotions(const TTNEdEntityArray& moves) {
  MotionList out;
  out.reserve(moves.size());
  for (std::size_t i = 1; i < moves.size(); ++i) {
    const TTNEdEntity& m = moves[i];
    Motion mo;
    mo.Source = m.Line;
    mo.Colour = m.Pen;
    mo.FromZ = m.Z;
    mo.Z = m.Z2;
    if (m.Kind == NCKind::ToolChange) {
      mo.Kind = MotionKind::ToolChange;
      mo.Part = MotionPart::Link;
      mo.FromX = mo.X = m.X;
      mo.FromY = mo.Y = m.Y;
    } else if (m.IsArc()) {
      const bool cw = IsNCClockwiseKind(m.Kind);
      mo.Kind = MotionKind::Arc;
      mo.CentreX = m.X;
      mo.CentreY = m.Y;
      mo.Radius = cw ? -m.Radius : m.Radius;
      mo.StartAngle = cw ? m.EndAngle() : m.StartAngle();
      mo.EndAngle = cw ? m.StartAngle() : m.EndAngle();
      mo.FromX = m.X + m.Radius * std::cos(mo.StartAngle);
      mo.FromY = m.Y + m.Radius * std::sin(mo.StartAngle);
      mo.X = m.X + m.Radius * std::cos(mo.EndAngle);
      mo.Y = m.Y + m.Radius * std::sin(mo.EndAngle);
      // The display keeps the sweep for a full circle; the motion's equal
      // angles say the same.
      if (std::fabs(m.EndAngle() - m.StartAngle() - kTwoPi) < 1e-12) mo.EndAngle = mo.StartAngle;
    } else {
      mo.Kind = IsNCRapidKind(m.Kind) ? MotionKind::Rapid : MotionKind::Line;
      mo.Part = m.Kind == NCKind::DrillPlunge ? MotionPart::Plunge
                : IsNCRapidKind(m.Kind)      ? MotionPart::Link
                                             : MotionPart::Path;
      mo.FromX = m.X;
      mo.FromY = m.Y;
      mo.X = m.X2;
      mo.Y = m.Y2;
    }
    out.push_back(mo);
  }
  return out;
}

}  // namespace tarnak
