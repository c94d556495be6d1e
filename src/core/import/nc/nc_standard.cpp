// The standard reading: ordinary RS-274 programs, whatever the post.
//
// One pass, one line at a time: the words of a line are gathered first
// (letters either case, blanks anywhere between words, comments in
// parentheses and after ';'), then applied in the interpreter's order:
// plane, distance modes, retract mode, cycle cancel, then the motion. The
// moves are the same display records as the post reading's, so the view
// and the DXF export need not know which reading made them. What this
// reading does not follow (other planes, cutter compensation, offsets,
// subroutines and expressions, rotary axes) is named once in the notes with
// its first line; the position still follows the block where it can.
#include <charconv>
#include <cmath>
#include <cstring>
#include <set>

#include "geometry/primitives.h"
#include "import/nc/nc_lines.h"
#include "import/nc/nc_reader.h"

namespace tarnak {

namespace {

constexpr int kNoValue = -1;

struct Block {
  // Which words are present and their values, by letter 'A'..'Z'.
  std::array<bool, 26> has{};
  std::array<double, 26> value{};
  // G codes x10 (G90.1 is 901) and M codes of the line.
  int g[16] = {};
  int gCount = 0;
  int m[8] = {};
  int mCount = 0;
  bool Has(char c) const { return has[static_cast<std::size_t>(c - 'A')]; }
  double Get(char c) const { return value[static_cast<std::size_t>(c - 'A')]; }
};

class StandardReader {
 public:
  explicit StandardReader(int pen) : pen_(pen) {
    result_.Moves.reserve(10000);
  }
  void Line(std::string_view line, int index);
  NCReadResult Finish(int lines) {
    result_.Moves.shrink_to_fit();
    result_.Lines = lines;
    result_.Extents = NCExtents(result_.Moves);
    return std::move(result_);
  }

 private:
  void Note(const std::string& what, int index) {
    if (!noted_.insert(what).second) return;
    result_.Notes.push_back("Line " + std::to_string(index + 1) + ": " + what);
  }
  void Push(double x, double y, double z, double radius, double x2, double y2, double z2,
            std::uint8_t kind) {
    result_.Moves.push_back(
        nc_detail::MakeMove(x, y, z, radius, x2, y2, z2, kind, line_, pen_, 0.0f));
  }
  void Straight(double x, double y, double z, std::uint8_t kind) {
    Push(x_, y_, z_, 0.0, x, y, z, kind);
    x_ = x;
    y_ = y;
    z_ = z;
  }
  void Arc(const Block& b, bool clockwise, double ex, double ey, double ez, int index);
  void Cycle(const Block& b, int code, double ex, double ey, int index);

  int pen_;
  int line_ = 0;
  NCReadResult result_;
  std::set<std::string> noted_;
  double x_ = 0, y_ = 0, z_ = 0;
  int motion_ = kNoValue;  // G code x10 in force: 0, 10, 20, 30, 810..830
  bool absolute_ = true;
  bool absoluteCentre_ = false;
  bool xyPlane_ = true;
  bool retractOld_ = true;  // G98
  double cycleR_ = 0.0, cycleZ_ = 0.0;
  bool ended_ = false;
};

bool ReadNumber(const char*& p, const char* end, double& v) {
  while (p < end && (*p == ' ' || *p == '\t')) ++p;
  const char* q = p;
  if (q < end && *q == '+') ++q;  // from_chars takes no '+'
  const auto [ptr, ec] = std::from_chars(q, end, v, std::chars_format::fixed);
  if (ec != std::errc() || ptr == q) return false;
  p = ptr;
  return true;
}

void StandardReader::Line(std::string_view text, int index) {
  line_ = index;
  if (ended_) return;
  Block b;
  const char* p = text.data();
  const char* end = p + text.size();
  while (p < end) {
    char c = *p;
    if (c == ' ' || c == '\t' || c == '\r' || c == '%') {
      ++p;
      continue;
    }
    if (c == '/' && p == text.data()) {  // block delete is off: the line runs
      ++p;
      continue;
    }
    if (c == ';') break;
    if (c == '(') {
      // A comment may hold parentheses of its own ("(made (date) by)").
      int depth = 0;
      for (; p < end; ++p) {
        if (*p == '(') ++depth;
        if (*p == ')' && --depth == 0) break;
      }
      if (p < end) ++p;
      continue;
    }
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    if (c == 'O' || c == '#' || c == '[') {
      Note(c == 'O' ? "subroutines and flow control (O words) are not read; the line is skipped"
                    : "parameters and expressions (#, [) are not read; the line is skipped",
           index);
      return;
    }
    if (c < 'A' || c > 'Z') {
      throw NCReadError(std::string("'") + c + "' is not a word of a G-code program", index + 1);
    }
    ++p;
    double v = 0.0;
    if (!ReadNumber(p, end, v)) {
      const char* q = p;
      while (q < end && (*q == ' ' || *q == '\t')) ++q;
      if (q < end && (*q == '#' || *q == '[')) {
        Note("parameters and expressions (#, [) are not read; the line is skipped", index);
        return;
      }
      throw NCReadError(std::string("'") + c + "' is not followed by a valid number", index + 1);
    }
    if (c == 'G') {
      if (b.gCount < 16) b.g[b.gCount++] = static_cast<int>(std::lround(v * 10.0));
    } else if (c == 'M') {
      if (b.mCount < 8) b.m[b.mCount++] = static_cast<int>(std::lround(v));
    } else {
      b.has[static_cast<std::size_t>(c - 'A')] = true;
      b.value[static_cast<std::size_t>(c - 'A')] = v;
    }
  }

  int motion = kNoValue;
  for (int i = 0; i < b.gCount; ++i) {
    const int g = b.g[i];
    switch (g) {
      case 0: case 10: case 20: case 30: case 810: case 820: case 830:
        motion = g;
        break;
      case 800:
        motion_ = kNoValue;
        break;
      case 170:
        xyPlane_ = true;
        break;
      case 180: case 190:
        xyPlane_ = false;
        break;
      case 900: absolute_ = true; break;
      case 910: absolute_ = false; break;
      case 901: absoluteCentre_ = true; break;
      case 911: absoluteCentre_ = false; break;
      case 980: retractOld_ = true; break;
      case 990: retractOld_ = false; break;
      // Read and followed by doing nothing: units (no conversion anywhere),
      // dwell, cutter compensation off, tool length offsets (none in the
      // tool table a program is checked with), work offsets at zero,
      // path control, feed modes, spindle modes.
      case 40: case 200: case 210: case 400: case 430: case 490: case 530:
      case 540: case 550: case 560: case 570: case 580: case 590:
      case 610: case 611: case 640: case 930: case 940: case 950: case 960: case 970:
        break;
      default:
        Note("G" + std::to_string(g / 10) + (g % 10 ? "." + std::to_string(g % 10) : "") +
                 " is not read",
             index);
        break;
    }
  }
  for (int i = 0; i < b.mCount; ++i) {
    if (b.m[i] == 6) Push(x_, y_, z_, 0.0, x_, y_, z_, NCKind::ToolChange);
    if (b.m[i] == 2 || b.m[i] == 30) ended_ = true;
  }
  for (char c : {'A', 'B', 'C', 'U', 'V', 'W', 'E'}) {
    if (b.Has(c)) Note(std::string("axis word ") + c + " is not read", index);
  }
  if (motion != kNoValue) motion_ = motion;
  // An arc block with only its centre words is a full circle.
  const bool arc = motion_ == 20 || motion_ == 30;
  const bool axis = b.Has('X') || b.Has('Y') || b.Has('Z') ||
                    (arc && (b.Has('I') || b.Has('J')));
  if (!axis || motion_ == kNoValue) return;

  const auto target = [&](char c, double current) {
    if (!b.Has(c)) return current;
    return absolute_ ? b.Get(c) : current + b.Get(c);
  };
  double ex = target('X', x_), ey = target('Y', y_), ez = target('Z', z_);
  switch (motion_) {
    case 0: Straight(ex, ey, ez, NCKind::Rapid); break;
    case 10: Straight(ex, ey, ez, NCKind::Linear); break;
    case 20: case 30:
      if (!xyPlane_) {
        Note("arcs outside the XY plane (G18, G19) are not drawn", index);
        x_ = ex;
        y_ = ey;
        z_ = ez;
      } else {
        Arc(b, motion_ == 20, ex, ey, ez, index);
      }
      break;
    default:
      Cycle(b, motion_, ex, ey, index);
      break;
  }
}

void StandardReader::Arc(const Block& b, bool clockwise, double ex, double ey, double ez,
                         int index) {
  const auto kind = clockwise ? NCKind::CwArc : NCKind::CcwArc;
  double cx = 0.0, cy = 0.0;
  if (b.Has('R')) {
    const double r = b.Get('R');
    const double mx = (x_ + ex) / 2.0, my = (y_ + ey) / 2.0;
    const double d = std::hypot(ex - mx, ey - my);
    double h2 = r * r - d * d;
    if (h2 < 0.0 && std::fabs(r) >= d * (1.0 - kArcRadiusSlack)) h2 = 0.0;
    if (d <= 0.0 || h2 < 0.0) {
      Note("arc radius shorter than half the chord (or no chord), drawn as a line", index);
      Straight(ex, ey, ez, kind);
      return;
    }
    const double ux = (ex - mx) / d, uy = (ey - my) / d;
    double h = std::sqrt(h2);
    if (!clockwise) h = -h;
    if (r < 0.0) h = -h;
    cx = mx + h * uy;
    cy = my - h * ux;
  } else {
    const double i = b.Has('I') ? b.Get('I') : 0.0;
    const double j = b.Has('J') ? b.Get('J') : 0.0;
    cx = absoluteCentre_ ? i : x_ + i;
    cy = absoluteCentre_ ? j : y_ + j;
  }
  if (b.Has('P') && b.Get('P') != 1.0) Note("arcs of more than one turn (P) are drawn once", index);
  // The radius to the end: the end point is exact (the next move starts
  // there), a start off the circle by the written decimals is not seen.
  const double radius = std::hypot(ex - cx, ey - cy);
  if (!(radius > 0.0)) {
    Note("arc without a radius, drawn as a line", index);
    Straight(ex, ey, ez, kind);
    return;
  }
  const double ap = PointAngle({cx, cy}, {x_, y_});
  const double ae = PointAngle({cx, cy}, {ex, ey});
  double s = clockwise ? ae : ap;
  double e = clockwise ? ap : ae;
  // Ends that meet within the written decimals make a full circle.
  if (s == e || std::hypot(ex - x_, ey - y_) < 1e-9) e = s + kTwoPi;
  if (s > e) e += kTwoPi;
  Push(cx, cy, z_, radius, s, e, ez, kind);
  x_ = ex;
  y_ = ey;
  z_ = ez;
}

void StandardReader::Cycle(const Block& b, int code, double ex, double ey, int index) {
  if (!xyPlane_) {
    Note("drill cycles outside the XY plane are not drawn", index);
    return;
  }
  if (b.Has('L') && b.Get('L') > 1.0) Note("drill cycle repeats (L) are drawn once", index);
  if (code == 830) Note("peck drilling (G83) is drawn as one plunge", index);
  if (b.Has('R')) cycleR_ = absolute_ ? b.Get('R') : z_ + b.Get('R');
  const double r = cycleR_;
  if (b.Has('Z')) cycleZ_ = absolute_ ? b.Get('Z') : r + b.Get('Z');
  const double bottom = cycleZ_;
  const double clear = std::max(z_, r);
  if (z_ < r) Straight(x_, y_, r, NCKind::Rapid);
  Straight(ex, ey, z_, NCKind::Rapid);
  if (z_ != r) Straight(ex, ey, r, NCKind::Rapid);
  Push(ex, ey, r, kNCDrillMarkRadius, ex, ey, bottom, NCKind::DrillPlunge);
  z_ = bottom;
  Straight(ex, ey, retractOld_ ? clear : r, NCKind::Rapid);
}

}  // namespace

NCReadResult ReadNCStandard(std::string_view text, int pen) {
  StandardReader reader(pen);
  const int lines = nc_detail::ForEachLine(
      text, [&](std::string_view line, int index) { reader.Line(line, index); });
  return reader.Finish(lines);
}

}  // namespace tarnak
