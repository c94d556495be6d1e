#include "import/dxf/dxf_entities.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>
#include <stdexcept>

#include "geometry/primitives.h"

namespace tarnak {

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kRadToDeg = 180.0 / kPi;

// Display colours for colour numbers modulo 13: black, the six primaries
// and secondaries, then greys and dark shades.
constexpr std::array<uint32_t, 13> kColourTable = {
    0x000000, 0xFF0000, 0xFFFF00, 0x00FF00, 0x00FFFF, 0x0000FF, 0xFF00FF,
    0x404040, 0x808080, 0xC0C0C0, 0x800000, 0x008000, 0x000080};

DxfPoint Cross(const DxfPoint& a, const DxfPoint& b) {
  return DxfPoint{a.Y * b.Z - a.Z * b.Y, a.Z * b.X - a.X * b.Z, a.X * b.Y - a.Y * b.X, 0.0};
}

DxfPoint Normalised(const DxfPoint& a) {
  const double len = std::sqrt(a.X * a.X + a.Y * a.Y + a.Z * a.Z);
  if (!(len > 0.0) || !std::isfinite(len)) return a;
  return DxfPoint{a.X / len, a.Y / len, a.Z / len, 0.0};
}

double Dist2(double x1, double y1, double x2, double y2) {
  const double dx = x2 - x1, dy = y2 - y1;
  return dx * dx + dy * dy;
}

double SegmentDist2(const DxfPoint& a, const DxfPoint& b, const DxfPoint& p) {
  const double dx = b.X - a.X, dy = b.Y - a.Y;
  const double len2 = dx * dx + dy * dy;
  double t = 0.0;
  if (len2 > 0.0) t = std::clamp(((p.X - a.X) * dx + (p.Y - a.Y) * dy) / len2, 0.0, 1.0);
  if (!std::isfinite(t)) t = 0.0;
  return Dist2(a.X + t * dx, a.Y + t * dy, p.X, p.Y);
}

// Angle t lies on the counter-clockwise sweep from a1 of length sweep.
bool AngleCovered(double t, double a1, double sweep) {
  double d = std::fmod(t - a1, kTwoPi);
  if (d < 0) d += kTwoPi;
  return d <= sweep;
}

// Counter-clockwise sweep from a1 to a2 in (0, 2pi]; equal angles are a full turn.
double CcwSweep(double a1, double a2) {
  double s = std::fmod(a2 - a1, kTwoPi);
  if (s < 0) s += kTwoPi;
  if (s == 0.0) s = kTwoPi;
  return s;
}

void WidenArc(ExtentBox& box, double cx, double cy, double z, double r, double a1, double a2) {
  const double sweep = CcwSweep(a1, a2);
  box.Add(DxfPoint{cx + r * std::cos(a1), cy + r * std::sin(a1), z, 0});
  box.Add(DxfPoint{cx + r * std::cos(a2), cy + r * std::sin(a2), z, 0});
  for (int k = 0; k < 4; ++k) {
    const double t = k * (kPi / 2.0);
    if (AngleCovered(t, a1, sweep))
      box.Add(DxfPoint{cx + r * std::cos(t), cy + r * std::sin(t), z, 0});
  }
}

double ArcDist2(double cx, double cy, double r, double a1, double a2, const DxfPoint& p) {
  const double d = std::sqrt(Dist2(cx, cy, p.X, p.Y));
  const double t = PointAngle(Point2{cx, cy}, Point2{p.X, p.Y});
  if (AngleCovered(t, a1, CcwSweep(a1, a2))) return (d - r) * (d - r);
  return std::min(Dist2(cx + r * std::cos(a1), cy + r * std::sin(a1), p.X, p.Y),
                  Dist2(cx + r * std::cos(a2), cy + r * std::sin(a2), p.X, p.Y));
}

// Circle through a bulged polyline segment a -> b: centre, radius and the
// counter-clockwise angle span that the segment covers.
struct BulgeArc {
  double Cx, Cy, R, A1, A2;
};

BulgeArc ArcOfBulge(const DxfPoint& a, const DxfPoint& b, double bulge) {
  const double k = (1.0 / bulge - bulge) / 2.0;
  const double cx = (a.X + b.X - (b.Y - a.Y) * k) / 2.0;
  const double cy = (a.Y + b.Y + (b.X - a.X) * k) / 2.0;
  const double r = std::hypot(a.X - cx, a.Y - cy);
  const double ta = PointAngle(Point2{cx, cy}, Point2{a.X, a.Y});
  const double tb = PointAngle(Point2{cx, cy}, Point2{b.X, b.Y});
  if (bulge > 0) return BulgeArc{cx, cy, r, ta, tb};
  return BulgeArc{cx, cy, r, tb, ta};
}

double SnapValue(double v, double grid) { return std::round(v / grid) * grid; }

void SnapPoint(DxfPoint& p, double grid) {
  p.X = SnapValue(p.X, grid);
  p.Y = SnapValue(p.Y, grid);
  p.Z = SnapValue(p.Z, grid);
}

void MovePoint(DxfPoint& p, const DxfPoint& by) {
  p.X += by.X;
  p.Y += by.Y;
  p.Z += by.Z;
}

void Group(std::string& out, int code, std::string_view value) {
  char buf[16];
  const auto r = std::to_chars(buf, buf + sizeof buf, code);
  out.append(buf, r.ptr);
  out += "\r\n";
  out.append(value);
  out += "\r\n";
}

void GroupInt(std::string& out, int code, long long value) {
  char buf[24];
  const auto r = std::to_chars(buf, buf + sizeof buf, value);
  Group(out, code, std::string_view(buf, static_cast<size_t>(r.ptr - buf)));
}

void GroupNum(std::string& out, int code, double value) { Group(out, code, FormatDxfNumber(value)); }

std::string PointText(const DxfPoint& p) {
  return FormatDxfNumber(p.X) + ", " + FormatDxfNumber(p.Y) + ", " + FormatDxfNumber(p.Z);
}

// Adds one to the decimal digits in s[0, end), right to left, over a '.'.
// Returns true when the carry ran off the front.
bool IncrementDigits(std::string& s, size_t end) {
  for (size_t i = end; i-- > 0;) {
    if (s[i] == '.') continue;
    if (s[i] == '9') {
      s[i] = '0';
    } else {
      ++s[i];
      return false;
    }
  }
  return true;
}

std::string ExponentForm(double a, bool negative) {
  char buf[64];
  const auto r = std::to_chars(buf, buf + sizeof buf, a, std::chars_format::scientific, 6);
  std::string s(buf, r.ptr);
  const size_t e = s.find('e');
  std::string mant = s.substr(0, e);
  int exp = 0;
  std::from_chars(s.data() + e + (s[e + 1] == '+' ? 2 : 1), s.data() + s.size(), exp);
  if (mant.find('.') != std::string::npos) {
    while (mant.back() == '0') mant.pop_back();
    if (mant.back() == '.') mant.pop_back();
  }
  return (negative ? "-" : "") + mant + "E" + std::to_string(exp);
}

}  // namespace

// ---------------------------------------------------------------- helpers

DxfPoint OcsMatrix::ToWorld(const DxfPoint& p) const {
  return DxfPoint{Ax.X * p.X + Ay.X * p.Y + Az.X * p.Z, Ax.Y * p.X + Ay.Y * p.Y + Az.Y * p.Z,
                  Ax.Z * p.X + Ay.Z * p.Y + Az.Z * p.Z, p.W};
}

void ExtentBox::Add(const DxfPoint& p) {
  if (Empty) {
    MinX = MaxX = p.X;
    MinY = MaxY = p.Y;
    MinZ = MaxZ = p.Z;
    Empty = false;
    return;
  }
  MinX = std::min(MinX, p.X);
  MaxX = std::max(MaxX, p.X);
  MinY = std::min(MinY, p.Y);
  MaxY = std::max(MaxY, p.Y);
  MinZ = std::min(MinZ, p.Z);
  MaxZ = std::max(MaxZ, p.Z);
}

std::optional<OcsMatrix> MakeOcs(const DxfPoint& extrusion) {
  DxfPoint n = Normalised(extrusion);
  if (n.X == 0.0 && n.Y == 0.0 && n.Z == 0.0) return std::nullopt;
  if (n.X == 0.0 && n.Y == 0.0 && n.Z == 1.0) return std::nullopt;
  n.W = 0.0;
  // Arbitrary axis algorithm: when the direction is close to the world Z
  // axis the OCS X axis is Wy x N, otherwise Wz x N.
  constexpr double kLimit = 1.0 / 64.0;
  DxfPoint ax;
  if (std::fabs(n.X) < kLimit && std::fabs(n.Y) < kLimit)
    ax = Cross(DxfPoint{0, 1, 0, 0}, n);
  else
    ax = Cross(DxfPoint{0, 0, 1, 0}, n);
  ax = Normalised(ax);
  const DxfPoint ay = Normalised(Cross(n, ax));
  return OcsMatrix{ax, ay, n};
}

std::string FormatDxfNumber(double value) {
  if (std::isnan(value)) return "NAN";
  if (std::isinf(value)) return value < 0 ? "-INF" : "INF";
  const bool negative = std::signbit(value);
  const double a = std::fabs(value);
  if (a == 0.0) return "0.000000";

  // Decimal exponent after rounding to 7 significant digits.
  char buf[400];
  auto r = std::to_chars(buf, buf + sizeof buf, a, std::chars_format::scientific, 6);
  const std::string_view sci(buf, static_cast<size_t>(r.ptr - buf));
  int exp = 0;
  const size_t epos = sci.find('e');
  std::from_chars(sci.data() + epos + (sci[epos + 1] == '+' ? 2 : 1), sci.data() + sci.size(),
                  exp);
  if (exp >= 7) return ExponentForm(a, negative);
  const int decimals = std::min(6, 6 - exp);

  // Digits well past the rounding place, then rounded there, halves up.
  r = std::to_chars(buf, buf + sizeof buf, a, std::chars_format::fixed, decimals + 25);
  std::string s(buf, r.ptr);
  const size_t dot = s.find('.');
  const size_t keep = dot + 1 + static_cast<size_t>(decimals);
  const bool roundUp = s[keep] >= '5';
  s.resize(keep);
  if (roundUp && IncrementDigits(s, s.size())) s.insert(s.begin(), '1');
  if (decimals == 0) s.pop_back();  // the '.'
  const size_t intDigits = s.find('.') == std::string::npos ? s.size() : s.find('.');
  if (intDigits > 7) return ExponentForm(a, negative);
  if (decimals < 6) {
    if (decimals == 0) s += '.';
    s.append(static_cast<size_t>(6 - decimals), '0');
  }
  const bool zero = s.find_first_not_of("0.") == std::string::npos;
  return (negative && !zero ? "-" : "") + s;
}

uint32_t DxfColourFromNumber(int number) {
  const int i = ((number % 13) + 13) % 13;
  return kColourTable[static_cast<size_t>(i)];
}

// ---------------------------------------------------------------- DXF_Entity

bool DXF_Entity::IsPolyline() const { return dynamic_cast<const Polyline_*>(this) != nullptr; }

void DXF_Entity::SetupOcs(const DxfPoint& extrusion) {
  Extrusion = extrusion;
  Ocs = MakeOcs(extrusion);
}

void DXF_Entity::SetColourFromNumber(int number) {
  ColourNumber = number;
  Colour = DxfColourFromNumber(number);
}

void DXF_Entity::SetColourFromValue(uint32_t value) {
  int number = 0;
  for (size_t i = 0; i < kColourTable.size(); ++i) {
    if (kColourTable[i] == value) {
      number = static_cast<int>(i);
      break;
    }
  }
  SetColourFromNumber(number);
}

void DXF_Entity::WritePoint(std::string& out, int baseCode, const DxfPoint& p) const {
  GroupNum(out, baseCode, p.X);
  GroupNum(out, baseCode + 10, p.Y);
  GroupNum(out, baseCode + 20, p.Z);
}

void DXF_Entity::WriteHead(std::string& out, const std::string& layer) const {
  Group(out, 0, ClassName());
  Group(out, 8, layer);
  GroupInt(out, 62, ColourNumber);
}

void DXF_Entity::WriteDxf(std::string& out, const std::string& layer) const {
  WriteHead(out, layer);
}

std::string DXF_Entity::DescribeWith(const std::vector<DxfPoint>& vertices) const {
  std::string s = Ocs ? "OCS Axis " + PointText(Extrusion) : std::string("WCS");
  s += "\r\n";
  s += ClassName();
  s += "\r\n";
  s += IsClosed() ? "Closed" : "Open";
  for (const DxfPoint& v : vertices) {
    s += "\r\n";
    s += PointText(v);
  }
  return s;
}

std::string DXF_Entity::Description() const { return DescribeWith({}); }

double DXF_Entity::DistanceSquared(const DxfPoint& p) const {
  (void)p;
  return kInf;
}

int DXF_Entity::NearestVertex(const DxfPoint& p, double& distanceSquared) const {
  (void)p;
  distanceSquared = kInf;
  return -1;
}

bool DXF_Entity::Hit(const DxfPoint& p, double tolerance) const {
  return DistanceSquared(p) <= tolerance * tolerance;
}

// ---------------------------------------------------------------- Point_

void Point_::Move(const DxfPoint& by) { MovePoint(P1, by); }

void Point_::SnapToGrid(double grid) {
  if (grid > 0) SnapPoint(P1, grid);
}

void Point_::WriteDxf(std::string& out, const std::string& layer) const {
  WriteHead(out, layer);
  WritePoint(out, 10, P1);
}

std::string Point_::Description() const { return DescribeWith({P1}); }

void Point_::WidenExtents(ExtentBox& box) const { box.Add(P1); }

double Point_::DistanceSquared(const DxfPoint& p) const { return Dist2(P1.X, P1.Y, p.X, p.Y); }

int Point_::NearestVertex(const DxfPoint& p, double& distanceSquared) const {
  distanceSquared = Dist2(P1.X, P1.Y, p.X, p.Y);
  return 0;
}

void Point_::ReplaceVertex(int index, const DxfPoint& p) {
  if (index == 0) P1 = p;
}

// ---------------------------------------------------------------- Text_

void Text_::Move(const DxfPoint& by) {
  MovePoint(P1, by);
  MovePoint(Align, by);
}

void Text_::SnapToGrid(double grid) {
  if (!(grid > 0)) return;
  SnapPoint(P1, grid);
  SnapPoint(Align, grid);
}

void Text_::WriteDxf(std::string& out, const std::string& layer) const {
  WriteHead(out, layer);
  WritePoint(out, 10, P1);
  GroupNum(out, 40, Height);
  Group(out, 1, Text);
  GroupNum(out, 50, Rotation);
  GroupInt(out, 72, HAlign);
  WritePoint(out, 11, Align);
}

// ---------------------------------------------------------------- Line_

void Line_::Move(const DxfPoint& by) {
  MovePoint(P1, by);
  MovePoint(P2, by);
}

void Line_::SnapToGrid(double grid) {
  if (!(grid > 0)) return;
  SnapPoint(P1, grid);
  SnapPoint(P2, grid);
}

void Line_::WriteDxf(std::string& out, const std::string& layer) const {
  WriteHead(out, layer);
  WritePoint(out, 10, P1);
  WritePoint(out, 11, P2);
}

std::string Line_::Description() const { return DescribeWith({P1, P2}); }

void Line_::WidenExtents(ExtentBox& box) const {
  box.Add(P1);
  box.Add(P2);
}

double Line_::DistanceSquared(const DxfPoint& p) const { return SegmentDist2(P1, P2, p); }

int Line_::NearestVertex(const DxfPoint& p, double& distanceSquared) const {
  const double d1 = Dist2(P1.X, P1.Y, p.X, p.Y);
  const double d2 = Dist2(P2.X, P2.Y, p.X, p.Y);
  distanceSquared = d2 < d1 ? d2 : d1;
  return d2 < d1 ? 1 : 0;
}

void Line_::ReplaceVertex(int index, const DxfPoint& p) {
  if (index == 0) P1 = p;
  if (index == 1) P2 = p;
}

// ---------------------------------------------------------------- Ellipse_

DxfPoint Ellipse_::PointAt(double t) const {
  // Minor axis: the major axis turned a quarter counter-clockwise, scaled.
  const double mx = -P2.Y * Ratio, my = P2.X * Ratio;
  const double c = std::cos(t), s = std::sin(t);
  return DxfPoint{P1.X + P2.X * c + mx * s, P1.Y + P2.Y * c + my * s, P1.Z, 0.0};
}

void Ellipse_::Move(const DxfPoint& by) { MovePoint(P1, by); }

void Ellipse_::SnapToGrid(double grid) {
  if (grid > 0) SnapPoint(P1, grid);
}

void Ellipse_::WriteDxf(std::string& out, const std::string& layer) const {
  WriteHead(out, layer);
  WritePoint(out, 10, P1);
  WritePoint(out, 11, P2);
  GroupNum(out, 40, Ratio);
  GroupNum(out, 41, StartParam);
  GroupNum(out, 42, EndParam);
}

void Ellipse_::WidenExtents(ExtentBox& box) const {
  const double t0 = StartParam;
  double sweep = EndParam - StartParam;
  if (!(sweep > 0.0 && sweep < kTwoPi)) sweep = CcwSweep(StartParam, EndParam);
  box.Add(PointAt(t0));
  box.Add(PointAt(t0 + sweep));
  // x(t) and y(t) are extreme where their derivatives vanish.
  const double mx = -P2.Y * Ratio, my = P2.X * Ratio;
  const double tx = std::atan2(mx, P2.X), ty = std::atan2(my, P2.Y);
  for (double t : {tx, tx + kPi, ty, ty + kPi}) {
    if (AngleCovered(t, t0, sweep)) box.Add(PointAt(t));
  }
}

double Ellipse_::DistanceSquared(const DxfPoint& p) const {
  double sweep = EndParam - StartParam;
  if (!(sweep > 0.0 && sweep < kTwoPi)) sweep = CcwSweep(StartParam, EndParam);
  constexpr int kSteps = 64;
  double best = kInf;
  DxfPoint prev = PointAt(StartParam);
  for (int i = 1; i <= kSteps; ++i) {
    const DxfPoint next = PointAt(StartParam + sweep * i / kSteps);
    best = std::min(best, SegmentDist2(prev, next, p));
    prev = next;
  }
  return best;
}

int Ellipse_::NearestVertex(const DxfPoint& p, double& distanceSquared) const {
  const double d0 = Dist2(P1.X, P1.Y, p.X, p.Y);
  const double d1 = Dist2(P1.X + P2.X, P1.Y + P2.Y, p.X, p.Y);
  distanceSquared = d1 < d0 ? d1 : d0;
  return d1 < d0 ? 1 : 0;
}

void Ellipse_::ReplaceVertex(int index, const DxfPoint& p) {
  if (index == 0) P1 = p;
  if (index == 1) P2 = DxfPoint{p.X - P1.X, p.Y - P1.Y, p.Z - P1.Z, 0.0};
}

// ---------------------------------------------------------------- Circle_, Arc_

void Circle_::WriteDxf(std::string& out, const std::string& layer) const {
  WriteHead(out, layer);
  WritePoint(out, 10, P1);
  GroupNum(out, 40, Radius);
}

void Circle_::WidenExtents(ExtentBox& box) const {
  box.Add(DxfPoint{P1.X - Radius, P1.Y - Radius, P1.Z, 0});
  box.Add(DxfPoint{P1.X + Radius, P1.Y + Radius, P1.Z, 0});
}

double Circle_::DistanceSquared(const DxfPoint& p) const {
  const double d = std::sqrt(Dist2(P1.X, P1.Y, p.X, p.Y)) - std::fabs(Radius);
  return d * d;
}

void Arc_::WriteDxf(std::string& out, const std::string& layer) const {
  WriteHead(out, layer);
  WritePoint(out, 10, P1);
  GroupNum(out, 40, Radius);
  GroupNum(out, 50, StartAngle * kRadToDeg);
  GroupNum(out, 51, EndAngle * kRadToDeg);
}

void Arc_::WidenExtents(ExtentBox& box) const {
  WidenArc(box, P1.X, P1.Y, P1.Z, std::fabs(Radius), StartAngle, EndAngle);
}

double Arc_::DistanceSquared(const DxfPoint& p) const {
  return ArcDist2(P1.X, P1.Y, std::fabs(Radius), StartAngle, EndAngle, p);
}

// ---------------------------------------------------------------- Polyline_

bool Polyline_::IsClosed() const {
  if (Closed) return true;
  if (Vertices.size() < 2) return false;
  const DxfPoint& a = Vertices.front();
  const DxfPoint& b = Vertices.back();
  return a.X == b.X && a.Y == b.Y && a.Z == b.Z;
}

void Polyline_::Move(const DxfPoint& by) {
  for (DxfPoint& v : Vertices) MovePoint(v, by);
}

void Polyline_::SnapToGrid(double grid) {
  if (!(grid > 0)) return;
  for (DxfPoint& v : Vertices) SnapPoint(v, grid);
}

void Polyline_::WriteDxf(std::string& out, const std::string& layer) const {
  // Meshes are polylines in the file, told apart by their flags.
  Group(out, 0, "POLYLINE");
  Group(out, 8, layer);
  GroupInt(out, 62, ColourNumber);
  GroupInt(out, 66, 1);
  int flags = Closed ? 1 : 0;
  int vertexFlags = 0;
  const auto* grid = dynamic_cast<const Polygon_mesh_*>(this);
  const auto* faces = dynamic_cast<const Polyface_mesh_*>(this);
  if (grid) {
    flags = 16 | (grid->ClosedM ? 1 : 0) | (grid->ClosedN ? 32 : 0);
    vertexFlags = 64;
  } else if (faces) {
    flags = 64;
    vertexFlags = 192;
  }
  GroupInt(out, 70, flags);
  if (grid) {
    GroupInt(out, 71, grid->M);
    GroupInt(out, 72, grid->N);
  } else if (faces) {
    GroupInt(out, 71, static_cast<long long>(Vertices.size()));
    GroupInt(out, 72, static_cast<long long>(faces->Faces.size()));
  }
  if (Width != 0.0) {
    GroupNum(out, 40, Width * 2.0);
    GroupNum(out, 41, Width * 2.0);
  }
  if (Ocs) WritePoint(out, 210, Extrusion);
  for (const DxfPoint& v : Vertices) {
    Group(out, 0, "VERTEX");
    Group(out, 8, layer);
    WritePoint(out, 10, v);
    if (v.W != 0.0 && !grid && !faces) GroupNum(out, 42, v.W);
    if (vertexFlags) GroupInt(out, 70, vertexFlags);
  }
  if (faces) {
    for (const Polyface_mesh_::Face& f : faces->Faces) {
      Group(out, 0, "VERTEX");
      Group(out, 8, layer);
      WritePoint(out, 10, DxfPoint{});
      GroupInt(out, 70, 128);
      for (int i = 0; i < 4; ++i) GroupInt(out, 71 + i, static_cast<long long>(f.V[i]) + 1);
    }
  }
  Group(out, 0, "SEQEND");
  Group(out, 8, layer);
}

std::string Polyline_::Description() const { return DescribeWith(Vertices); }

void Polyline_::WidenExtents(ExtentBox& box) const {
  const bool bulges = Kind() == DxfKind::Polyline;
  for (size_t i = 0; i < Vertices.size(); ++i) {
    const DxfPoint& a = Vertices[i];
    box.Add(DxfPoint{a.X, a.Y, a.Z, 0});
    if (bulges && a.W != 0.0 && i + 1 < Vertices.size()) {
      const BulgeArc arc = ArcOfBulge(a, Vertices[i + 1], a.W);
      WidenArc(box, arc.Cx, arc.Cy, a.Z, arc.R, arc.A1, arc.A2);
    }
  }
}

double Polyline_::DistanceSquared(const DxfPoint& p) const {
  if (Vertices.empty()) return kInf;
  if (Vertices.size() == 1) return Dist2(Vertices[0].X, Vertices[0].Y, p.X, p.Y);
  const bool bulges = Kind() == DxfKind::Polyline;
  double best = kInf;
  const size_t n = Vertices.size();
  const size_t segments = Closed ? n : n - 1;
  for (size_t i = 0; i < segments; ++i) {
    const DxfPoint& a = Vertices[i];
    const DxfPoint& b = Vertices[(i + 1) % n];
    double d;
    if (bulges && a.W != 0.0) {
      const BulgeArc arc = ArcOfBulge(a, b, a.W);
      d = ArcDist2(arc.Cx, arc.Cy, arc.R, arc.A1, arc.A2, p);
    } else {
      d = SegmentDist2(a, b, p);
    }
    best = std::min(best, d);
  }
  return best;
}

int Polyline_::NearestVertex(const DxfPoint& p, double& distanceSquared) const {
  distanceSquared = kInf;
  int best = -1;
  for (size_t i = 0; i < Vertices.size(); ++i) {
    const double d = Dist2(Vertices[i].X, Vertices[i].Y, p.X, p.Y);
    if (best < 0 || d < distanceSquared) {
      distanceSquared = d;
      best = static_cast<int>(i);
    }
  }
  return best;
}

void Polyline_::ReplaceVertex(int index, const DxfPoint& p) {
  if (index < 0 || static_cast<size_t>(index) >= Vertices.size()) return;
  DxfPoint& v = Vertices[static_cast<size_t>(index)];
  v.X = p.X;
  v.Y = p.Y;
  v.Z = p.Z;  // the bulge of the segment that starts here stays
}

void Face3D_::WriteDxf(std::string& out, const std::string& layer) const {
  WriteHead(out, layer);
  for (int i = 0; i < 4; ++i) {
    if (Vertices.empty()) break;
    const size_t k = std::min(static_cast<size_t>(i), Vertices.size() - 1);
    WritePoint(out, 10 + i, Vertices[k]);
  }
}

// ---------------------------------------------------------------- Block_

void Block_::Move(const DxfPoint& by) { MovePoint(Base, by); }

void Block_::WriteDxf(std::string& out, const std::string& layer) const {
  WriteHead(out, layer);
  Group(out, 2, Name);
  GroupInt(out, 70, 0);
  WritePoint(out, 10, Base);
  Group(out, 3, Name);
  for (const auto& e : Entities) e->WriteDxf(out, layer);
  Group(out, 0, "ENDBLK");
  Group(out, 8, layer);
}

void Block_::WidenExtents(ExtentBox& box) const {
  box.Add(Base);
  for (const auto& e : Entities) e->WidenExtents(box);
}

// ---------------------------------------------------------------- layers, drawing

Entity_List& DXF_Layer::ListFor(const std::string& className) {
  for (size_t i = 0; i < ListNames.size(); ++i) {
    if (ListNames[i] == className) {
      if (i >= Lists.size()) throw std::runtime_error("Entity list ID mismatch");
      return *Lists[i];
    }
  }
  ListNames.push_back(className);
  auto list = std::make_unique<Entity_List>();
  list->ClassName = className;
  list->Layer = this;
  Lists.push_back(std::move(list));
  // The name and the list must sit at the same position in their lists.
  if (Lists.size() != ListNames.size()) throw std::runtime_error("Entity list ID mismatch");
  return *Lists.back();
}

void DXF_Layer::Add(std::unique_ptr<DXF_Entity> entity) {
  if (!entity) return;
  ListFor(entity->ClassName()).Entities.push_back(std::move(entity));
}

int DXF_Object::NumPolylines() const {
  long long n = 0;
  for (const auto& layer : Layers)
    for (const auto& list : layer->Lists)
      for (const auto& e : list->Entities)
        if (e->IsPolyline()) ++n;
  return static_cast<int>(std::min<long long>(n, std::numeric_limits<int>::max()));
}

int DXF_Object::NumEntitiesAndVertices() const {
  long long n = 0;
  for (const auto& layer : Layers) {
    for (const auto& list : layer->Lists) {
      for (const auto& e : list->Entities) {
        switch (e->Kind()) {
          case DxfKind::Line:
          case DxfKind::Arc:
          case DxfKind::Circle:
          case DxfKind::Ellipse:
            ++n;
            break;
          default:
            if (const auto* pl = dynamic_cast<const Polyline_*>(e.get()))
              n += static_cast<long long>(pl->Vertices.size());
            break;
        }
      }
    }
  }
  return static_cast<int>(std::min<long long>(n, std::numeric_limits<int>::max()));
}

ExtentBox DXF_Object::Extents() const {
  ExtentBox box;
  for (const auto& layer : Layers)
    for (const auto& list : layer->Lists)
      for (const auto& e : list->Entities) e->WidenExtents(box);
  return box;
}

}  // namespace tarnak
