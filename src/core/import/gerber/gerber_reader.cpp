// The Gerber reader: blocks into draw items, draw items into a raster, the
// raster's edge cells into traced Regions.
//
// Stages, each followed by a look at the cancel token: reading (every block
// becomes flashes, straight draws and region fills in raster cells; arcs are
// cut into chords no farther than a quarter cell from the arc; the items of
// a step and repeat block are copied at its steps when the block closes; a
// flash of a macro aperture keeps its primitives together, so that exposure
// off cuts only its own copper), sizing (one
// box over all items; a raster above kGerberMaxCells is refused before any
// memory is taken), painting (each item stamps its aperture mask along the
// draw with 15-bit fixed-point stepping; clear polarity stamps zeros) and
// tracing along the cracks between copper and empty cells.
//
// The raster is one contiguous byte array, row-major; masks are kept as one
// span of columns per row, so a stamp is a few short fills.
#include "import/gerber/gerber_reader.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>

#include "geometry/primitives.h"
#include "import/profiles/profile_building.h"

namespace tarnak {

namespace {

constexpr double kPi = 3.14159265358979323846;
// One raster cell of a file read in its own unit.
constexpr double kInchCell = 0.002;
constexpr double kMmCell = 0.0508;
// Arcs are cut into chords whose sagitta stays below this many cells.
constexpr double kChordSagitta = 0.25;
// Half the widest aperture mask, in cells.
constexpr double kMaxMaskHalf = 2500.0;
// The most chords one arc is cut into.
constexpr int kMaxArcChords = 2000;
// The box around all items grows by this many cells on every side.
constexpr int kRasterMargin = 10;
// The most draw items a step and repeat may leave.
constexpr double kMaxRepeatItems = 20'000'000;

struct StopImport {
  std::string message;
};

// One row of a mask: columns first..last set (first > last: none).
struct Span {
  int first = 1;
  int last = 0;
};

struct Aperture {
  int type = -1;  // 0 circle, 1 rectangle, 2 obround, 3 polygon, -1 none (macro)
  std::vector<double> cells;  // parameters in cells, not widened
  std::vector<double> raw;    // parameters as written
  std::string macro;          // type -1: the name of its aperture macro
};

// The mask of one aperture at one widening: rows and columns run
// -centre..centre.
struct Mask {
  int centre = 0;
  std::vector<Span> rows;
};

struct Item {
  // Macro: the flash of a macro aperture. Its primitives make one image
  // of their own, where exposure off erases only what the earlier
  // primitives of the same flash painted; that image is then painted as
  // one piece of copper (or cleared, on a clear layer).
  enum Kind { Flash, Draw, Fill, Macro } kind = Flash;
  int x1 = 0, y1 = 0, x2 = 0, y2 = 0;
  int aperture = 0;
  bool dark = true;
  std::vector<std::vector<Point2>> contours;  // Fill, Macro: closed contours in cells
  // Macro: primitive k is contours[partBegin[k] .. partBegin[k + 1]) (the
  // last runs to the end), filled even-odd, exposed when partOn[k].
  std::vector<size_t> partBegin;
  std::vector<uint8_t> partOn;
};

int EvenUp(int v, int least) {
  v = std::max(v, least);
  return (v % 2) ? v + 1 : v;
}

// Builds the mask of an aperture, every size parameter grown by `widen`
// cells: the cells whose centre lies in the shape.
Mask BuildMask(const Aperture& a, double widen) {
  Mask m;
  if (a.type < 0) return m;
  auto p = [&](size_t k) {
    return std::max(0.0, (k < a.cells.size() ? a.cells[k] : 0.0) + widen);
  };
  double p0 = std::max(p(0), 3.0);
  double halfW = 0, halfH = 0;
  switch (a.type) {
    case 0:
      halfW = halfH = p0 / 2.0;
      break;
    case 1:
    case 2:
      halfW = EvenUp(static_cast<int>(std::lround(p0)), 4) / 2.0;
      halfH = EvenUp(static_cast<int>(std::lround(p(1))), 4) / 2.0;
      break;
    default:
      halfW = halfH = p0 / 2.0;
      break;
  }
  // An aperture wider than any board (10 inches of cells) is not painted.
  if (std::max(halfW, halfH) > kMaxMaskHalf) return m;
  const int c = static_cast<int>(std::ceil(std::max(halfW, halfH))) + 1;
  m.centre = c;
  m.rows.assign(static_cast<size_t>(2 * c + 1), Span{});
  // Polygon: vertex count and rotation are plain numbers, not cells.
  int n = 0;
  double rotation = 0;
  if (a.type == 3) {
    n = a.raw.size() > 1 ? static_cast<int>(std::lround(a.raw[1])) : 0;
    rotation = a.raw.size() > 2 ? a.raw[2] * kPi / 180.0 : 0.0;
    if (n < 3 || n > 64) return Mask{};  // not a polygon: paints nothing
  }
  auto inside = [&](double dx, double dy) {
    switch (a.type) {
      case 0:
        return dx * dx + dy * dy <= halfW * halfW;
      case 1:
        return std::fabs(dx) <= halfW && std::fabs(dy) <= halfH;
      case 2: {
        // A stadium: the rectangle with semicircular ends on its short sides.
        const double r = std::min(halfW, halfH);
        const double ex = std::max(0.0, std::fabs(dx) - (halfW - r));
        const double ey = std::max(0.0, std::fabs(dy) - (halfH - r));
        return ex * ex + ey * ey <= r * r;
      }
      default: {
        // Inside the regular polygon: on the inner side of every edge.
        const double apothem = halfW * std::cos(kPi / n);
        for (int k = 0; k < n; ++k) {
          const double mid = rotation + (2 * k + 1) * kPi / n;
          if (dx * std::cos(mid) + dy * std::sin(mid) > apothem + 1e-9) return false;
        }
        return true;
      }
    }
  };
  for (int i = -c; i <= c; ++i) {
    Span s;
    for (int j = -c; j <= c; ++j) {
      if (!inside(j, i)) continue;
      if (s.first > s.last) s.first = j;
      s.last = j;
    }
    m.rows[static_cast<size_t>(i + c)] = s;
  }
  return m;
}

class Raster {
 public:
  Raster(int x0, int y0, int w, int h)
      : x0_(x0), y0_(y0), w_(w), h_(h), cells_(static_cast<size_t>(w) * static_cast<size_t>(h), 0) {}
  int W() const { return w_; }
  int H() const { return h_; }
  int X0() const { return x0_; }
  int Y0() const { return y0_; }
  uint8_t* Row(int r) { return cells_.data() + static_cast<size_t>(r) * static_cast<size_t>(w_); }
  std::vector<uint8_t>& Cells() { return cells_; }

  // Sets columns a..b of row r (grid values) to v, inside the border.
  void FillSpan(int gy, int ga, int gb, uint8_t v) {
    const int r = gy - y0_;
    if (r < 1 || r > h_ - 2) return;
    const int ca = std::max(ga - x0_, 1);
    const int cb = std::min(gb - x0_, w_ - 2);
    if (ca > cb) return;
    std::memset(Row(r) + ca, v, static_cast<size_t>(cb - ca + 1));
  }

  void Stamp(const Mask& a, int gx, int gy, uint8_t v) {
    const int c = a.centre;
    for (int i = -c; i <= c; ++i) {
      const Span& s = a.rows[static_cast<size_t>(i + c)];
      if (s.first <= s.last) FillSpan(gy + i, gx + s.first, gx + s.last, v);
    }
  }

 private:
  int x0_, y0_, w_, h_;
  std::vector<uint8_t> cells_;
};

// Grows the copper by `t` cells: a disc stamped on every copper cell that
// has an empty side, into a copy.
void Grow(Raster& img, int t) {
  std::vector<int> half(static_cast<size_t>(2 * t + 1));
  for (int i = -t; i <= t; ++i)
    half[static_cast<size_t>(i + t)] = static_cast<int>(std::floor(std::sqrt(double(t) * t - double(i) * i)));
  const int w = img.W(), h = img.H();
  std::vector<uint8_t> grown = img.Cells();
  for (int r = 1; r < h - 1; ++r) {
    const uint8_t* row = img.Row(r);
    const uint8_t* below = img.Row(r - 1);
    const uint8_t* above = img.Row(r + 1);
    for (int c = 1; c < w - 1; ++c) {
      if (!row[c] || (below[c] && above[c] && row[c - 1] && row[c + 1])) continue;
      for (int i = -t; i <= t; ++i) {
        const int rr = r + i;
        if (rr < 1 || rr > h - 2) continue;
        const int a = std::max(c - half[static_cast<size_t>(i + t)], 1);
        const int b = std::min(c + half[static_cast<size_t>(i + t)], w - 2);
        std::memset(grown.data() + static_cast<size_t>(rr) * static_cast<size_t>(w) + static_cast<size_t>(a), 1,
                    static_cast<size_t>(b - a + 1));
      }
    }
  }
  img.Cells() = std::move(grown);
}

// A straight draw, stepping the longer axis one cell at a time with the
// other axis in 15-bit fixed point.
void PaintDraw(Raster& img, const Mask& a, const Item& it, uint8_t v) {
  const int dx = it.x2 - it.x1;
  const int dy = it.y2 - it.y1;
  if (dx == 0 && dy == 0) {
    img.Stamp(a, it.x1, it.y1, v);
    return;
  }
  if (std::abs(dx) < std::abs(dy)) {
    const int64_t step = (static_cast<int64_t>(dx) * 32768) / std::abs(dy);
    const int sy = dy > 0 ? 1 : -1;
    int64_t acc = 0;
    for (int y = it.y1;; y += sy) {
      img.Stamp(a, it.x1 + static_cast<int>(acc / 32768), y, v);
      if (y == it.y2) break;
      acc += step;
    }
  } else {
    const int64_t step = (static_cast<int64_t>(dy) * 32768) / std::abs(dx);
    const int sx = dx > 0 ? 1 : -1;
    int64_t acc = 0;
    for (int x = it.x1; x != it.x2; x += sx) {
      img.Stamp(a, x, it.y1 + static_cast<int>(acc / 32768), v);
      acc += step;
    }
    // The end cell is stamped as well: a track must reach its end pad.
    img.Stamp(a, it.x2, it.y2, v);
  }
}

// Even-odd fill of contours[from, to) at row centres.
void PaintContours(Raster& img, const std::vector<std::vector<Point2>>& contours, size_t from, size_t to,
                   uint8_t v) {
  double minY = 1e300, maxY = -1e300;
  for (size_t k = from; k < to; ++k)
    for (const auto& p : contours[k]) {
      minY = std::min(minY, p.Y);
      maxY = std::max(maxY, p.Y);
    }
  std::vector<double> xs;
  for (int gy = static_cast<int>(std::ceil(minY)); gy <= static_cast<int>(std::floor(maxY)); ++gy) {
    xs.clear();
    const double y = gy;
    for (size_t m = from; m < to; ++m) {
      const auto& c = contours[m];
      const size_t n = c.size();
      for (size_t k = 0; k < n; ++k) {
        const Point2 a = c[k];
        const Point2 b = c[(k + 1) % n];
        if ((a.Y <= y) == (b.Y <= y)) continue;
        xs.push_back(a.X + (y - a.Y) * (b.X - a.X) / (b.Y - a.Y));
      }
    }
    std::sort(xs.begin(), xs.end());
    for (size_t k = 0; k + 1 < xs.size(); k += 2) {
      const int ga = static_cast<int>(std::ceil(xs[k]));
      const int gb = static_cast<int>(std::floor(xs[k + 1]));
      if (ga <= gb) img.FillSpan(gy, ga, gb, v);
    }
  }
}

void PaintFill(Raster& img, const Item& it, uint8_t v) { PaintContours(img, it.contours, 0, it.contours.size(), v); }

// The primitives of a macro flash, in order, into `img`, each filled on
// its own (where two overlap, both are copper): exposed ones with `on`,
// the others with `off`.
void PaintMacroParts(Raster& img, const Item& it, uint8_t on = 1, uint8_t off = 0) {
  for (size_t k = 0; k < it.partBegin.size(); ++k) {
    const size_t to = k + 1 < it.partBegin.size() ? it.partBegin[k + 1] : it.contours.size();
    PaintContours(img, it.contours, it.partBegin[k], to, it.partOn[k] ? on : off);
  }
}

// The cell box of a macro flash, one cell wider on every side.
void MacroBox(const Item& it, int& x0, int& y0, int& x1, int& y1) {
  double a = 1e300, b = 1e300, c = -1e300, d = -1e300;
  for (const auto& contour : it.contours)
    for (const Point2& q : contour) {
      a = std::min(a, q.X);
      b = std::min(b, q.Y);
      c = std::max(c, q.X);
      d = std::max(d, q.Y);
    }
  x0 = static_cast<int>(std::floor(a)) - 1;
  y0 = static_cast<int>(std::floor(b)) - 1;
  x1 = static_cast<int>(std::ceil(c)) + 1;
  y1 = static_cast<int>(std::ceil(d)) + 1;
}

// A macro flash. With every primitive exposed the image is their union and
// is painted straight; otherwise it is made in a raster of its own first,
// so that exposure off cuts only the flash's own copper, never what other
// objects painted there before.
void PaintMacro(Raster& img, const Item& it, uint8_t v) {
  if (std::all_of(it.partOn.begin(), it.partOn.end(), [](uint8_t on) { return on != 0; })) {
    PaintMacroParts(img, it, v, v);
    return;
  }
  int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
  MacroBox(it, x0, y0, x1, y1);
  // Only the part inside the board's raster can show.
  x0 = std::max(x0, img.X0());
  y0 = std::max(y0, img.Y0());
  x1 = std::min(x1, img.X0() + img.W() - 1);
  y1 = std::min(y1, img.Y0() + img.H() - 1);
  if (x0 > x1 || y0 > y1) return;
  // The raster's border rows and columns are never painted: one more each side.
  Raster own(x0 - 1, y0 - 1, x1 - x0 + 3, y1 - y0 + 3);
  PaintMacroParts(own, it);
  for (int r = 1; r < own.H() - 1; ++r) {
    const uint8_t* row = own.Row(r);
    for (int c = 1; c < own.W() - 1;) {
      if (!row[c]) {
        ++c;
        continue;
      }
      int e = c;
      while (e + 1 < own.W() - 1 && row[e + 1]) ++e;
      img.FillSpan(r + own.Y0(), c + own.X0(), e + own.X0(), v);
      c = e + 1;
    }
  }
}

// The mask of a macro aperture for a draw: its image at the origin, each
// row from its first to its last copper cell (a gap inside a row is swept
// over by the rest of the shape as the draw moves on).
Mask MacroMask(const Item& it) {
  Mask m;
  if (it.contours.empty()) return m;
  int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
  MacroBox(it, x0, y0, x1, y1);
  const int c = std::max({-x0, -y0, x1, y1});
  if (c > kMaxMaskHalf) return m;
  Raster own(-c - 1, -c - 1, 2 * c + 3, 2 * c + 3);
  PaintMacroParts(own, it);
  m.centre = c;
  m.rows.assign(static_cast<size_t>(2 * c + 1), Span{});
  for (int i = -c; i <= c; ++i) {
    const uint8_t* row = own.Row(i + c + 1);
    Span sp;
    for (int j = -c; j <= c; ++j) {
      if (!row[j + c + 1]) continue;
      if (sp.first > sp.last) sp.first = j;
      sp.last = j;
    }
    m.rows[static_cast<size_t>(i + c)] = sp;
  }
  return m;
}

class Reader {
 public:
  explicit Reader(UserInterface& ui) : ui_(ui) {}

  void Read(const std::string& text);
  const std::vector<Item>& Items() const { return items_; }
  std::map<int, Aperture>& Apertures() { return apertures_; }
  // A macro aperture's image at the origin, for draws made with it.
  Item MacroAtOrigin(int aperture) {
    Item it;
    MacroImage(aperture, 0, 0, it);
    return it;
  }
  double Cell() const { return hasFormat_ ? (mm_ ? kMmCell : kInchCell) : kInchCell; }

 private:
  void Message(const std::string& text) { ui_.Message(text, "Tarnak", MsgButtons::Ok, MsgIcon::None); }
  void Parameter(const std::string& body);
  void DataBlock(const std::string& block);
  void EndOfBlock();
  double ToCells(const std::string& num, bool isOffset);
  int ToCellsInt(double c) const { return static_cast<int>(std::lround(c)); }
  void AddArc(double x0, double y0, double x1, double y1, double i, double j, bool cw,
              std::vector<Point2>& out);
  void AddDraw(double xa, double ya, double xb, double yb);
  // A length written in the file's unit (aperture sizes, repeat steps), in cells.
  double UnitToCells(double v) const { return hasFormat_ ? v / Cell() : std::round(v * 500.0); }
  void CloseRepeat();
  void DefineMacro(const std::string& body);
  bool FlashMacro(double x, double y);
  bool MacroImage(int aperture, double x, double y, Item& out);
  void AddShape(Item& out, bool exposure, std::vector<Point2> pts, double x, double y, double rotation,
                std::vector<Point2> hole = {});

  UserInterface& ui_;
  std::vector<Item> items_;
  std::map<int, Aperture> apertures_;

  bool hasFormat_ = false, mm_ = false, trailingZeros_ = false, incremental_ = false;
  int intDigits_ = 2, decDigits_ = 4;
  double x_ = 0, y_ = 0;  // current point in cells
  int aperture_ = 0;
  int interp_ = 1;        // 1 linear, 2 clockwise, 3 counter-clockwise
  bool multiQuadrant_ = false;
  bool region_ = false;
  bool dark_ = true;
  int lastD_ = 0;
  std::vector<Point2> contour_;
  std::vector<std::vector<Point2>> contours_;
  // The block being read.
  bool hasX_ = false, hasY_ = false, hasCoord_ = false;
  double nx_ = 0, ny_ = 0, ni_ = 0, nj_ = 0;
  int op_ = 0;
  bool coordinateSeen_ = false;
  // The open step and repeat: the items from repeatStart_ on are copied
  // repeatX_ x repeatY_ times, repeatI_ / repeatJ_ cells apart.
  // Aperture macros by name: their statements, blanks removed.
  std::map<std::string, std::vector<std::string>> macros_;
  std::string shapeMacro_;  // the macro being placed, for messages
  size_t repeatStart_ = 0;
  int repeatX_ = 1, repeatY_ = 1;
  double repeatI_ = 0, repeatJ_ = 0;
};

std::string Digits(const std::string& s, size_t& p) {
  const size_t b = p;
  while (p < s.size() && std::isdigit(static_cast<unsigned char>(s[p]))) ++p;
  return s.substr(b, p - b);
}

int ToInt(const std::string& digits) {
  if (digits.empty() || digits.size() > 9)
    throw StopImport{"'" + digits + "' is not a valid integer value"};
  return std::stoi(digits);
}

double ToDouble(const std::string& s) {
  if (s.empty() || s == "-" || s == "+") return 0.0;
  size_t used = 0;
  double v = 0;
  try {
    v = std::stod(s, &used);
  } catch (...) {
    used = 0;
  }
  if (used != s.size() || !std::isfinite(v))
    throw StopImport{"'" + s + "' is not a valid floating point value"};
  return v;
}

double Reader::ToCells(const std::string& num, bool isOffset) {
  if (!hasFormat_) {
    // Thousandths of the unit, rounded to integers; two per cell.
    const double c = std::round(ToDouble(num));
    if (std::fabs(c) > 1e12) throw StopImport{"'" + num + "' is not a valid floating point value"};
    return static_cast<double>((static_cast<int64_t>(c) * 500) / 1000);
  }
  double value = 0;
  if (num.find('.') != std::string::npos) {
    value = ToDouble(num);
  } else {
    std::string d = num;
    bool neg = false;
    if (!d.empty() && (d[0] == '-' || d[0] == '+')) {
      neg = d[0] == '-';
      d.erase(0, 1);
    }
    if (trailingZeros_) {
      // Trailing zeros omitted: the digits start at the integer part.
      while (static_cast<int>(d.size()) < intDigits_ + decDigits_) d.push_back('0');
    }
    value = ToDouble(d.empty() ? "0" : d) / std::pow(10.0, decDigits_);
    if (neg) value = -value;
  }
  (void)isOffset;
  const double c = value / Cell();
  if (std::fabs(c) > 1e9) throw StopImport{"'" + num + "' is not a valid floating point value"};
  return c;
}

void Reader::Read(const std::string& text) {
  size_t p = 0;
  std::string block;
  while (p < text.size()) {
    const char ch = text[p];
    if (ch == '%') {
      const size_t end = text.find('%', p + 1);
      const std::string body = text.substr(p + 1, (end == std::string::npos ? text.size() : end) - p - 1);
      p = end == std::string::npos ? text.size() : end + 1;
      // One extended block may hold several commands ended by '*'; a macro
      // holds its whole body.
      if (body.size() >= 2 && body.compare(0, 2, "AM") == 0) {
        Parameter(body);
        continue;
      }
      size_t q = 0;
      while (q < body.size()) {
        size_t e = body.find('*', q);
        if (e == std::string::npos) e = body.size();
        std::string cmd = body.substr(q, e - q);
        cmd.erase(std::remove_if(cmd.begin(), cmd.end(), [](char c) { return c == '\r' || c == '\n' || c == ' ' || c == '\t'; }), cmd.end());
        if (!cmd.empty()) Parameter(cmd);
        q = e + 1;
      }
      continue;
    }
    if (ch == '*') {
      DataBlock(block);
      block.clear();
    } else if (ch != '\r' && ch != '\n') {
      block.push_back(ch);
    }
    ++p;
  }
  if (!block.empty()) DataBlock(block);
  // The end of the file closes an open step and repeat.
  CloseRepeat();
}

// Arithmetic of macro statements: + - x / and parentheses over numbers and
// $n variables (an unset variable is 0).
class MacroExpression {
 public:
  MacroExpression(const std::string& s, const std::map<int, double>& vars) : s_(s), vars_(vars) {}
  double Value() {
    const double v = Sum();
    if (p_ != s_.size()) Bad();
    return v;
  }

 private:
  [[noreturn]] void Bad() { throw StopImport{"Invalid aperture macro expression '" + s_ + "'"}; }
  double Sum() {
    double v = Product();
    while (p_ < s_.size() && (s_[p_] == '+' || s_[p_] == '-')) {
      const char op = s_[p_++];
      const double r = Product();
      v = op == '+' ? v + r : v - r;
    }
    return v;
  }
  double Product() {
    double v = Unary();
    while (p_ < s_.size() && (s_[p_] == 'x' || s_[p_] == 'X' || s_[p_] == '/')) {
      const char op = s_[p_++];
      const double r = Unary();
      v = op == '/' ? (r == 0 ? 0.0 : v / r) : v * r;
    }
    return v;
  }
  double Unary() {
    // Signs and parentheses nest by recursion: a bounded depth keeps a
    // hostile file from exhausting the stack.
    if (++depth_ > 100) Bad();
    if (p_ < s_.size() && (s_[p_] == '-' || s_[p_] == '+')) {
      const bool neg = s_[p_++] == '-';
      const double v = Unary();
      --depth_;
      return neg ? -v : v;
    }
    double v = 0;
    if (p_ < s_.size() && s_[p_] == '(') {
      ++p_;
      v = Sum();
      if (p_ >= s_.size() || s_[p_] != ')') Bad();
      ++p_;
    } else if (p_ < s_.size() && s_[p_] == '$') {
      ++p_;
      const int n = ToInt(Digits(s_, p_));
      const auto f = vars_.find(n);
      v = f == vars_.end() ? 0.0 : f->second;
    } else {
      const size_t b = p_;
      while (p_ < s_.size() && (std::isdigit(static_cast<unsigned char>(s_[p_])) || s_[p_] == '.')) ++p_;
      if (b == p_) Bad();
      v = ToDouble(s_.substr(b, p_ - b));
    }
    --depth_;
    return v;
  }
  const std::string& s_;
  const std::map<int, double>& vars_;
  size_t p_ = 0;
  int depth_ = 0;
};

void Reader::DefineMacro(const std::string& body) {
  std::vector<std::string> parts;
  size_t q = 0;
  while (q < body.size()) {
    size_t e = body.find('*', q);
    if (e == std::string::npos) e = body.size();
    std::string part = body.substr(q, e - q);
    q = e + 1;
    const size_t b = part.find_first_not_of(" \t\r\n");
    if (b == std::string::npos) continue;
    // A comment: primitive 0 followed by text.
    if (!parts.empty() && part[b] == '0' && (b + 1 >= part.size() || part[b + 1] != ',') &&
        (b + 1 >= part.size() || !std::isdigit(static_cast<unsigned char>(part[b + 1]))))
      continue;
    part.erase(std::remove_if(part.begin(), part.end(),
                              [](char c) { return c == '\r' || c == '\n' || c == ' ' || c == '\t'; }),
               part.end());
    if (!part.empty()) parts.push_back(part);
  }
  if (parts.empty()) return;
  const std::string name = parts.front();
  parts.erase(parts.begin());
  macros_[name] = std::move(parts);
}

// One primitive's outline, given about the macro origin in cells, turned
// by `rotation` degrees about that origin and placed at the flash.
void Reader::AddShape(Item& out, bool exposure, std::vector<Point2> pts, double x, double y,
                      double rotation, std::vector<Point2> hole) {
  if (pts.size() < 3) return;
  const double a = rotation * kPi / 180.0, c = std::cos(a), s = std::sin(a);
  const size_t first = out.contours.size();
  out.partBegin.push_back(first);
  out.partOn.push_back(exposure ? 1 : 0);
  out.contours.push_back(std::move(pts));
  if (hole.size() >= 3) out.contours.push_back(std::move(hole));
  for (size_t k = first; k < out.contours.size(); ++k)
    for (Point2& q : out.contours[k]) {
      q = Point2{x + q.X * c - q.Y * s, y + q.X * s + q.Y * c};
      // Sizes beyond any board would overflow the raster's integer box.
      if (!(std::fabs(q.X) < 1e9 && std::fabs(q.Y) < 1e9))
        throw StopImport{"Aperture macro '" + shapeMacro_ + "' is too large to import."};
    }
}

// Paints the primitives of a macro aperture at a flash; false when the
// current aperture is not a macro.
bool Reader::FlashMacro(double x, double y) {
  Item it;
  if (!MacroImage(aperture_, x, y, it)) return false;
  if (it.contours.empty()) return true;
  it.kind = Item::Macro;
  it.dark = dark_;
  items_.push_back(std::move(it));
  return true;
}

// The primitives of a macro aperture placed at (x, y) cells, into `out`;
// false when the aperture is not a macro.
bool Reader::MacroImage(int aperture, double x, double y, Item& out) {
  const auto ap = apertures_.find(aperture);
  if (ap == apertures_.end() || ap->second.type >= 0) return false;
  const auto m = macros_.find(ap->second.macro);
  if (m == macros_.end()) return true;
  shapeMacro_ = ap->second.macro;
  std::map<int, double> vars;
  for (size_t k = 0; k < ap->second.raw.size(); ++k) vars[static_cast<int>(k) + 1] = ap->second.raw[k];
  const double unit = hasFormat_ ? 1.0 / Cell() : 500.0;
  auto circle = [&](double cx, double cy, double r, double a0, double a1, std::vector<Point2>& to) {
    const double want = std::ceil(std::fabs(a1 - a0) / (2 * kPi) * 8 * std::sqrt(std::max(std::fabs(r), 1.0)));
    const int n = static_cast<int>(std::clamp(std::isfinite(want) ? want : 720.0, 8.0, 720.0));
    for (int k = 0; k <= n; ++k) {
      const double t = a0 + (a1 - a0) * k / n;
      to.push_back({cx + r * std::cos(t), cy + r * std::sin(t)});
    }
  };
  for (const std::string& st : m->second) {
    const size_t eq = st.find('=');
    if (!st.empty() && st[0] == '$' && eq != std::string::npos) {
      size_t p = 1;
      const int n = ToInt(Digits(st, p));
      vars[n] = MacroExpression(st.substr(eq + 1), vars).Value();
      continue;
    }
    std::vector<double> v;
    size_t q = 0;
    while (q <= st.size()) {
      size_t e = st.find(',', q);
      if (e == std::string::npos) e = st.size();
      v.push_back(MacroExpression(st.substr(q, e - q), vars).Value());
      q = e + 1;
    }
    auto at = [&](size_t k) { return k < v.size() ? v[k] : 0.0; };
    const int code = static_cast<int>(std::lround(at(0)));
    const bool on = at(1) != 0;
    std::vector<Point2> pts;
    switch (code) {
      case 1: {  // circle: exposure, diameter, centre, rotation
        circle(at(3) * unit, at(4) * unit, at(2) * unit / 2, 0, 2 * kPi, pts);
        pts.pop_back();
        AddShape(out, on, pts, x, y, at(5));
        break;
      }
      case 2:
      case 20: {  // vector line: exposure, width, start, end, rotation
        const double sx = at(3) * unit, sy = at(4) * unit, ex = at(5) * unit, ey = at(6) * unit;
        const double len = std::hypot(ex - sx, ey - sy), hw = at(2) * unit / 2;
        if (len <= 0) break;
        const double nx = -(ey - sy) / len * hw, ny = (ex - sx) / len * hw;
        pts = {{sx + nx, sy + ny}, {sx - nx, sy - ny}, {ex - nx, ey - ny}, {ex + nx, ey + ny}};
        AddShape(out, on, pts, x, y, at(7));
        break;
      }
      case 21:
      case 22: {  // centre (or lower-left) line: exposure, width, height, point, rotation
        const double w = at(2) * unit, h = at(3) * unit;
        const double cx = at(4) * unit + (code == 22 ? w / 2 : 0), cy = at(5) * unit + (code == 22 ? h / 2 : 0);
        pts = {{cx - w / 2, cy - h / 2}, {cx + w / 2, cy - h / 2}, {cx + w / 2, cy + h / 2}, {cx - w / 2, cy + h / 2}};
        AddShape(out, on, pts, x, y, at(6));
        break;
      }
      case 4: {  // outline: exposure, vertex count, points (closing one too), rotation
        const int n = static_cast<int>(std::lround(at(2)));
        if (n < 1 || static_cast<size_t>(n) > v.size()) break;
        for (int k = 0; k <= n; ++k)
          pts.push_back({at(3 + 2 * static_cast<size_t>(k)) * unit, at(4 + 2 * static_cast<size_t>(k)) * unit});
        AddShape(out, on, pts, x, y, at(5 + 2 * static_cast<size_t>(n)));
        break;
      }
      case 5: {  // polygon: exposure, vertices, centre, diameter, rotation
        const int n = static_cast<int>(std::lround(at(2)));
        if (n < 3 || n > 64) break;
        const double r = at(5) * unit / 2;
        for (int k = 0; k < n; ++k)
          pts.push_back({at(3) * unit + r * std::cos(2 * kPi * k / n), at(4) * unit + r * std::sin(2 * kPi * k / n)});
        AddShape(out, on, pts, x, y, at(6));
        break;
      }
      case 7: {  // thermal: centre, outer and inner diameters, gap, rotation
        const double cx = at(1) * unit, cy = at(2) * unit, ro = at(3) * unit / 2, ri = at(4) * unit / 2;
        const double g = at(5) * unit / 2;
        if (ro <= g) break;
        // Four quarters of the ring, each cut back by half the gap.
        for (int k = 0; k < 4; ++k) {
          const double base = k * kPi / 2;
          std::vector<Point2> quarter;
          const double oa = std::asin(std::min(1.0, g / ro));
          circle(0, 0, ro, base + oa, base + kPi / 2 - oa, quarter);
          if (ri > g * std::sqrt(2.0)) {
            const double ia = std::asin(g / ri);
            std::vector<Point2> inner;
            circle(0, 0, ri, base + ia, base + kPi / 2 - ia, inner);
            quarter.insert(quarter.end(), inner.rbegin(), inner.rend());
          } else {
            const double c = std::cos(base), s = std::sin(base);
            quarter.push_back({g * c - g * s, g * s + g * c});
          }
          for (Point2& p : quarter) p = Point2{p.X + cx, p.Y + cy};
          AddShape(out, true, quarter, x, y, at(6));
        }
        break;
      }
      case 6: {  // moiré: centre, outer diameter, ring thickness, gap, rings, cross thickness and length, rotation
        const double cx = at(1) * unit, cy = at(2) * unit, t = at(4) * unit, g = at(5) * unit;
        const int rings = static_cast<int>(std::clamp(at(6), 0.0, 100.0));
        double ro = at(3) * unit / 2;
        for (int k = 0; k < rings && ro > 0 && t > 0; ++k, ro -= t + g) {
          std::vector<Point2> outer, inner;
          circle(cx, cy, ro, 0, 2 * kPi, outer);
          outer.pop_back();
          if (ro - t > 0) {
            circle(cx, cy, ro - t, 0, 2 * kPi, inner);
            inner.pop_back();
          }
          AddShape(out, true, outer, x, y, at(9), inner);
        }
        const double ct = at(7) * unit / 2, cl = at(8) * unit / 2;
        if (ct > 0 && cl > 0) {
          AddShape(out, true, {{cx - cl, cy - ct}, {cx + cl, cy - ct}, {cx + cl, cy + ct}, {cx - cl, cy + ct}}, x, y, at(9));
          AddShape(out, true, {{cx - ct, cy - cl}, {cx + ct, cy - cl}, {cx + ct, cy + cl}, {cx - ct, cy + cl}}, x, y, at(9));
        }
        break;
      }
      default:
        break;  // unknown primitives are not painted
    }
  }
  return true;
}

void Reader::CloseRepeat() {
  const int nx = repeatX_, ny = repeatY_;
  repeatX_ = repeatY_ = 1;
  if (nx * static_cast<int64_t>(ny) <= 1 || repeatStart_ >= items_.size()) return;
  const size_t first = repeatStart_, count = items_.size() - first;
  // Every copy is at least one more item to paint: beyond this the board
  // could not be painted in any reasonable time or memory.
  if (static_cast<double>(nx) * ny * static_cast<double>(count) > kMaxRepeatItems)
    throw StopImport{"Step and Repeat of " + std::to_string(nx) + " x " + std::to_string(ny) +
                     " copies is too large to import."};
  items_.reserve(first + count * static_cast<size_t>(nx) * static_cast<size_t>(ny));
  for (int iy = 0; iy < ny; ++iy)
    for (int ix = 0; ix < nx; ++ix) {
      if (ix == 0 && iy == 0) continue;
      const double ox = ix * repeatI_, oy = iy * repeatJ_;
      if (std::fabs(ox) > 1e8 || std::fabs(oy) > 1e8)
        throw StopImport{"Step and Repeat steps too far to import."};
      const int dx = ToCellsInt(ox), dy = ToCellsInt(oy);
      for (size_t k = first; k < first + count; ++k) {
        Item it = items_[k];
        it.x1 += dx;
        it.x2 += dx;
        it.y1 += dy;
        it.y2 += dy;
        for (auto& c : it.contours)
          for (Point2& q : c) {
            q.X += ox;
            q.Y += oy;
          }
        items_.push_back(std::move(it));
      }
    }
}

void Reader::Parameter(const std::string& body) {
  if (body.size() < 2) return;
  const std::string code = body.substr(0, 2);
  const std::string value = body.substr(2);
  if (code == "FS") {
    hasFormat_ = true;
    trailingZeros_ = value.find('T') != std::string::npos && value.find('L') == std::string::npos;
    incremental_ = value.find('I') != std::string::npos;
    const size_t xp = value.find('X');
    if (xp != std::string::npos && xp + 2 < value.size() + 0 &&
        std::isdigit(static_cast<unsigned char>(value[xp + 1])) &&
        std::isdigit(static_cast<unsigned char>(value[xp + 2]))) {
      intDigits_ = value[xp + 1] - '0';
      decDigits_ = value[xp + 2] - '0';
    }
  } else if (code == "MO") {
    mm_ = value.compare(0, 2, "MM") == 0;
  } else if (code == "AD") {
    size_t p = 0;
    if (value.empty() || value[0] != 'D') {
      Message("Invalid Aperature Format");
      return;
    }
    p = 1;
    const int d = ToInt(Digits(value, p));
    Aperture a;
    const size_t comma = value.find(',', p);
    const std::string type = value.substr(p, comma == std::string::npos ? std::string::npos : comma - p);
    if (type == "C") a.type = 0;
    else if (type == "R") a.type = 1;
    else if (type == "O") a.type = 2;
    else if (type == "P") a.type = 3;
    else {
      a.type = -1;  // a macro: its primitives are painted at each flash
      a.macro = type;
    }
    if (comma != std::string::npos) {
      std::string params = value.substr(comma + 1);
      size_t q = 0;
      while (q <= params.size()) {
        size_t e = params.find('X', q);
        if (e == std::string::npos) e = params.size();
        const std::string num = params.substr(q, e - q);
        const double v = ToDouble(num);
        a.raw.push_back(v);
        const double cells = UnitToCells(v);
        a.cells.push_back(cells);
        q = e + 1;
      }
    }
    if (a.cells.empty()) a.cells.push_back(0.0);
    apertures_[d] = a;
  } else if (code == "IP") {
    if (value.compare(0, 3, "NEG") == 0)
      throw StopImport{"Negative Polarity Read...Convert to Positive Before Importing."};
  } else if (code == "LP") {
    dark_ = value.compare(0, 1, "C") != 0;
  } else if (code == "AS") Message("Axis Select Read But Ignored.");
  else if (code == "MI") Message("Mirror Image Read But Ignored.");
  else if (code == "OF") Message("Offset Read But Ignored.");
  else if (code == "SF") Message("Scale Factor Read But Ignored.");
  else if (code == "IJ") Message("Image Justify Read But Ignored.");
  else if (code == "IF") Message("Include File Not Read.");
  else if (code == "IO") Message("Image Offset Read But Ignored.");
  else if (code == "IR") Message("Image Rotation Read But Ignored.");
  else if (code == "AM") DefineMacro(body.substr(2));
  else if (code == "KO") Message("Knockout Read But Ignored.");
  else if (code == "SR") {
    // Any step and repeat statement closes the block before it.
    CloseRepeat();
    int nx = 1, ny = 1;
    double si = 0, sj = 0;
    size_t p = 0;
    while (p < value.size()) {
      const char ch = value[p++];
      if (ch != 'X' && ch != 'Y' && ch != 'I' && ch != 'J') continue;
      const size_t b = p;
      while (p < value.size() && (std::isdigit(static_cast<unsigned char>(value[p])) ||
                                  value[p] == '-' || value[p] == '+' || value[p] == '.'))
        ++p;
      const std::string num = value.substr(b, p - b);
      if (ch == 'X') nx = ToInt(num);
      else if (ch == 'Y') ny = ToInt(num);
      else (ch == 'I' ? si : sj) = UnitToCells(ToDouble(num));
    }
    if (nx < 1 || ny < 1) throw StopImport{"Invalid Step and Repeat: X" + std::to_string(nx) + "Y" + std::to_string(ny)};
    repeatStart_ = items_.size();
    repeatX_ = nx;
    repeatY_ = ny;
    repeatI_ = si;
    repeatJ_ = sj;
  } else if (code == "RO") Message("Rotate Read But Ignored.");
}

void Reader::DataBlock(const std::string& block) {
  hasX_ = hasY_ = hasCoord_ = false;
  ni_ = nj_ = 0;
  op_ = 0;
  size_t p = 0;
  while (p < block.size()) {
    const char ch = block[p];
    if (ch == 'X' || ch == 'Y' || ch == 'I' || ch == 'J') {
      ++p;
      const size_t b = p;
      while (p < block.size() && (std::isdigit(static_cast<unsigned char>(block[p])) ||
                                  block[p] == '-' || block[p] == '+' || block[p] == '.'))
        ++p;
      const double v = ToCells(block.substr(b, p - b), ch == 'I' || ch == 'J');
      if (ch == 'X') { nx_ = incremental_ ? x_ + v : v; hasX_ = true; }
      else if (ch == 'Y') { ny_ = incremental_ ? y_ + v : v; hasY_ = true; }
      else if (ch == 'I') ni_ = v;
      else nj_ = v;
      hasCoord_ = coordinateSeen_ = true;
    } else if (ch == 'D') {
      ++p;
      const int d = ToInt(Digits(block, p));
      if (d == 1 || d == 2 || d == 3) op_ = d;
      else if (d >= 10) aperture_ = d;
    } else if (ch == 'G') {
      ++p;
      const int g = ToInt(Digits(block, p));
      switch (g) {
        case 0: case 1: interp_ = 1; break;
        case 2: interp_ = 2; break;
        case 3: interp_ = 3; break;
        case 4: return;  // a comment to the end of the block
        case 36: region_ = true; contours_.clear(); contour_.clear(); break;
        case 37: {
          if (contour_.size() >= 3) contours_.push_back(contour_);
          contour_.clear();
          if (!contours_.empty()) {
            Item it;
            it.kind = Item::Fill;
            it.dark = dark_;
            it.contours = std::move(contours_);
            items_.push_back(std::move(it));
          }
          contours_.clear();
          region_ = false;
          break;
        }
        case 70: if (hasFormat_) mm_ = false; break;
        case 71: if (hasFormat_) mm_ = true; break;
        case 74: multiQuadrant_ = false; break;
        case 75: multiQuadrant_ = true; break;
        case 90: incremental_ = false; break;
        case 91: incremental_ = true; break;
        case 10: case 11: case 12: case 54: case 55: break;
        default: Message("Unrecognised G Code"); break;
      }
    } else if (ch == 'M') {
      ++p;
      Digits(block, p);
    } else {
      ++p;
    }
  }
  EndOfBlock();
}

void Reader::AddDraw(double xa, double ya, double xb, double yb) {
  Item it;
  it.kind = Item::Draw;
  it.x1 = ToCellsInt(xa);
  it.y1 = ToCellsInt(ya);
  it.x2 = ToCellsInt(xb);
  it.y2 = ToCellsInt(yb);
  it.aperture = aperture_;
  it.dark = dark_;
  items_.push_back(it);
}

void Reader::AddArc(double x0, double y0, double x1, double y1, double i, double j, bool cw,
                    std::vector<Point2>& out) {
  double cx = x0 + i, cy = y0 + j;
  if (!multiQuadrant_) {
    // Single quadrant: I and J are unsigned; the centre is the sign choice
    // that gives the sweep of at most 90 degrees closest to equal radii.
    double best = 1e300;
    for (int sx = -1; sx <= 1; sx += 2)
      for (int sy = -1; sy <= 1; sy += 2) {
        const double ccx = x0 + sx * std::fabs(i), ccy = y0 + sy * std::fabs(j);
        const double a0 = std::atan2(y0 - ccy, x0 - ccx), a1 = std::atan2(y1 - ccy, x1 - ccx);
        double sweep = cw ? a0 - a1 : a1 - a0;
        while (sweep < 0) sweep += 2 * kPi;
        if (sweep > kPi / 2 + 1e-6) continue;
        const double err = std::fabs(std::hypot(x1 - ccx, y1 - ccy) - std::hypot(x0 - ccx, y0 - ccy));
        if (err < best) { best = err; cx = ccx; cy = ccy; }
      }
  }
  const double r0 = std::hypot(x0 - cx, y0 - cy);
  const double a0 = std::atan2(y0 - cy, x0 - cx);
  const double a1 = std::atan2(y1 - cy, x1 - cx);
  double sweep = cw ? a0 - a1 : a1 - a0;
  while (sweep < 0) sweep += 2 * kPi;
  while (sweep > 2 * kPi) sweep -= 2 * kPi;
  if (multiQuadrant_ && std::fabs(x1 - x0) < 1e-9 && std::fabs(y1 - y0) < 1e-9) sweep = 2 * kPi;
  const double r1 = std::hypot(x1 - cx, y1 - cy);
  const double rmax = std::max(r0, r1);
  int n = 1;
  if (rmax > kChordSagitta) {
    const double step = 2.0 * std::acos(std::max(-1.0, 1.0 - kChordSagitta / rmax));
    n = static_cast<int>(std::clamp(std::ceil(sweep / step), 1.0, double(kMaxArcChords)));
  }
  for (int k = 1; k <= n; ++k) {
    const double t = static_cast<double>(k) / n;
    const double a = cw ? a0 - sweep * t : a0 + sweep * t;
    const double r = r0 + (r1 - r0) * t;
    out.push_back(k == n ? Point2{x1, y1} : Point2{cx + r * std::cos(a), cy + r * std::sin(a)});
  }
}

void Reader::EndOfBlock() {
  int op = op_;
  if (op == 0 && hasCoord_) op = lastD_;  // a coordinate block repeats the last operation
  if (op != 0) lastD_ = op;
  const double ox = x_, oy = y_;
  const double tx = hasX_ ? nx_ : x_, ty = hasY_ ? ny_ : y_;
  if (!coordinateSeen_ && op != 3) return;
  if (op == 2) {
    if (region_) {
      if (contour_.size() >= 3) contours_.push_back(contour_);
      contour_.clear();
    }
  } else if (op == 1) {
    if (region_) {
      if (contour_.empty()) contour_.push_back({ox, oy});
      if (interp_ == 1) contour_.push_back({tx, ty});
      else AddArc(ox, oy, tx, ty, ni_, nj_, interp_ == 2, contour_);
    } else if (interp_ == 1) {
      if (ox != tx || oy != ty) AddDraw(ox, oy, tx, ty);
    } else {
      std::vector<Point2> pts;
      AddArc(ox, oy, tx, ty, ni_, nj_, interp_ == 2, pts);
      double px = ox, py = oy;
      for (const Point2& q : pts) {
        AddDraw(px, py, q.X, q.Y);
        px = q.X;
        py = q.Y;
      }
    }
  } else if (op == 3 && !region_ && FlashMacro(tx, ty)) {
  } else if (op == 3 && !region_) {
    Item it;
    it.kind = Item::Flash;
    it.x1 = it.x2 = ToCellsInt(tx);
    it.y1 = it.y2 = ToCellsInt(ty);
    it.aperture = aperture_;
    it.dark = dark_;
    items_.push_back(it);
  }
  x_ = tx;
  y_ = ty;
}

// The outlines of the painted copper, followed along the cracks between
// copper and empty cells: every boundary side of a copper cell is one
// directed edge with the copper on its left, and the edges join at the
// cell corners into closed loops (outer outlines counter-clockwise, holes
// clockwise). Following the cracks rather than chains of edge cells keeps
// every outline closed whatever the staircase of a curve looks like, and
// puts the outline on the copper's edge instead of half a cell inside it.
void TraceCracks(Raster& img, double cell, TTNRegionArray& out, const CancelToken& cancel) {
  const int w = img.W(), h = img.H();
  const int64_t stride = w + 1;
  struct Crack {
    int64_t from, to;
    int dir;  // 0 east, 1 north, 2 west, 3 south
  };
  std::vector<Crack> cracks;
  auto key = [&](int r, int c) { return static_cast<int64_t>(r) * stride + c; };
  for (int r = 1; r < h - 1; ++r) {
    const uint8_t* row = img.Row(r);
    const uint8_t* below = img.Row(r - 1);
    const uint8_t* above = img.Row(r + 1);
    for (int c = 1; c < w - 1; ++c) {
      if (!row[c]) continue;
      if (!below[c]) cracks.push_back({key(r, c), key(r, c + 1), 0});
      if (!row[c + 1]) cracks.push_back({key(r, c + 1), key(r + 1, c + 1), 1});
      if (!above[c]) cracks.push_back({key(r + 1, c + 1), key(r + 1, c), 2});
      if (!row[c - 1]) cracks.push_back({key(r + 1, c), key(r, c), 3});
    }
  }
  std::sort(cracks.begin(), cracks.end(),
            [](const Crack& x, const Crack& y) { return x.from < y.from; });
  std::vector<uint8_t> used(cracks.size(), 0);
  auto next = [&](int64_t corner, int dir) -> int64_t {
    auto it = std::lower_bound(cracks.begin(), cracks.end(), corner,
                               [](const Crack& x, int64_t k) { return x.from < k; });
    int64_t best = -1;
    for (; it != cracks.end() && it->from == corner; ++it) {
      const int64_t i = it - cracks.begin();
      if (used[static_cast<size_t>(i)]) continue;
      // At a corner where two cells touch diagonally, turn right: the two
      // cells stay two outlines.
      if (best < 0 || it->dir == (dir + 3) % 4) best = i;
    }
    return best;
  };
  auto point = [&](int64_t k) {
    const double r = static_cast<double>(k / stride), c = static_cast<double>(k % stride);
    return Point2{(img.X0() + c - 0.5) * cell, (img.Y0() + r - 0.5) * cell};
  };
  for (size_t s0 = 0; s0 < cracks.size(); ++s0) {
    if (used[s0]) continue;
    if ((s0 & 0xFFF) == 0 && cancel.stopped()) return;
    std::vector<int64_t> corners;
    int64_t i = static_cast<int64_t>(s0);
    int dir = -1;
    while (i >= 0) {
      const Crack& k = cracks[static_cast<size_t>(i)];
      used[static_cast<size_t>(i)] = 1;
      if (k.dir != dir) corners.push_back(k.from);  // a vertex where the direction turns
      dir = k.dir;
      if (k.to == cracks[s0].from) break;
      i = next(k.to, dir);
    }
    if (corners.size() > 1 && cracks[s0].dir == dir) corners.erase(corners.begin());
    TTNRegion reg;
    for (size_t v = 0; v < corners.size(); ++v) {
      const Point2 a = point(corners[v]), b = point(corners[(v + 1) % corners.size()]);
      reg.Elements.push_back(MakeLine(a.X, a.Y, b.X, b.Y));
    }
    RegionBounds(reg);
    out.push_back(std::move(reg));
  }
}

}  // namespace

GerberStatus GerberImportText(const std::string& text, const std::string& name,
                              TTNRegionArray& regions, int direction, int toolOffset,
                              UserInterface& ui, const CancelToken& cancel, int64_t maxCells) {
  toolOffset = std::clamp(toolOffset, 0, 1000);
  Reader reader(ui);
  try {
    reader.Read(text);
  } catch (const StopImport& s) {
    ui.Message(s.message, "Tarnak", MsgButtons::Ok, MsgIcon::None);
    return GerberStatus::Stopped;
  }
  if (cancel.Poll()) return GerberStatus::Cancelled;

  // Sizing: one box over every item's footprint.
  // The copper is painted as drawn and grown by the tool offset afterwards,
  // so that the offset is measured from the finished copper: round at the
  // corners of rectangles, and outward at the edges of clear cut-outs.
  // Masks are built for the apertures that are used.
  std::map<int, Mask> masks;
  try {
    for (const Item& it : reader.Items()) {
      if (it.kind == Item::Fill || it.kind == Item::Macro || masks.count(it.aperture)) continue;
      const auto a = reader.Apertures().find(it.aperture);
      if (a == reader.Apertures().end()) masks[it.aperture] = Mask{};
      else if (a->second.type < 0) masks[it.aperture] = MacroMask(reader.MacroAtOrigin(it.aperture));
      else masks[it.aperture] = BuildMask(a->second, 0.0);
    }
  } catch (const StopImport& s) {
    // A macro met first in a draw is evaluated here.
    ui.Message(s.message, "Tarnak", MsgButtons::Ok, MsgIcon::None);
    return GerberStatus::Stopped;
  }
  int64_t minX = INT64_MAX, minY = INT64_MAX, maxX = INT64_MIN, maxY = INT64_MIN;
  auto widen = [&](double x, double y, double m) {
    minX = std::min<int64_t>(minX, static_cast<int64_t>(std::floor(x - m)));
    minY = std::min<int64_t>(minY, static_cast<int64_t>(std::floor(y - m)));
    maxX = std::max<int64_t>(maxX, static_cast<int64_t>(std::ceil(x + m)));
    maxY = std::max<int64_t>(maxY, static_cast<int64_t>(std::ceil(y + m)));
  };
  for (const Item& it : reader.Items()) {
    if (it.kind == Item::Fill || it.kind == Item::Macro) {
      for (const auto& c : it.contours)
        for (const auto& p : c) widen(p.X, p.Y, toolOffset);
      continue;
    }
    auto f = masks.find(it.aperture);
    if (f == masks.end() || f->second.rows.empty()) continue;
    widen(it.x1, it.y1, f->second.centre + toolOffset);
    widen(it.x2, it.y2, f->second.centre + toolOffset);
  }
  const double cell = reader.Cell();
  if (minX > maxX) {
    regions.assign(1, TTNRegion{});
    return GerberStatus::Imported;
  }
  minX -= kRasterMargin;
  minY -= kRasterMargin;
  maxX += kRasterMargin;
  maxY += kRasterMargin;
  const int64_t w64 = maxX - minX + 5, h64 = maxY - minY + 5;
  if (w64 * h64 > maxCells || w64 > INT32_MAX / 2 || h64 > INT32_MAX / 2) {
    std::ostringstream m;
    m << "The board in '" << name << "' is too large to import: " << static_cast<double>(maxX - minX) * cell
      << " x " << static_cast<double>(maxY - minY) * cell << " would need " << w64 << " x " << h64
      << " raster cells.";
    ui.Message(m.str(), "Error", MsgButtons::Ok, MsgIcon::Error);
    return GerberStatus::Stopped;
  }
  if (cancel.Poll()) return GerberStatus::Cancelled;

  Raster img(static_cast<int>(minX - 2), static_cast<int>(minY - 2), static_cast<int>(w64),
             static_cast<int>(h64));
  for (const Item& it : reader.Items()) {
    const uint8_t v = it.dark ? 1 : 0;
    if (it.kind == Item::Fill) {
      PaintFill(img, it, v);
      continue;
    }
    if (it.kind == Item::Macro) {
      PaintMacro(img, it, v);
      continue;
    }
    auto f = masks.find(it.aperture);
    if (f == masks.end() || f->second.rows.empty()) continue;
    if (it.kind == Item::Flash) img.Stamp(f->second, it.x1, it.y1, v);
    else PaintDraw(img, f->second, it, v);
    if (cancel.stopped()) break;
  }
  if (toolOffset > 0) Grow(img, toolOffset);
  if (cancel.Poll()) return GerberStatus::Cancelled;

  TTNRegionArray traced(1);
  TraceCracks(img, cell, traced, cancel);
  if (cancel.Poll()) return GerberStatus::Cancelled;
  SetClosedDirections(traced, direction);
  regions = std::move(traced);
  return GerberStatus::Imported;
}

bool ReadBoardFile(const std::string& path, std::string& text, UserInterface& ui) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    ui.Message("Error opening file '" + path + "'", "Error", MsgButtons::Ok, MsgIcon::Error);
    return false;
  }
  std::stringstream ss;
  ss << in.rdbuf();
  text = ss.str();
  return true;
}

GerberStatus GerberImport(const std::string& path, TTNRegionArray& regions, int direction,
                          int toolOffset, UserInterface& ui, const CancelToken& cancel) {
  std::string text;
  if (!ReadBoardFile(path, text, ui)) return GerberStatus::Failed;
  return GerberImportText(text, path, regions, direction, toolOffset, ui, cancel);
}

double GerberCellSize(const std::string& text) {
  const bool fs = text.find("%FS") != std::string::npos;
  const bool mm = text.find("%MOMM") != std::string::npos || (fs && text.find("G71") != std::string::npos);
  return fs && mm ? kMmCell : kInchCell;
}

}  // namespace tarnak
