#include "view/stl_picture.h"

#include <QPainter>
#include <QPen>
#include <QPolygonF>
#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>
#include <vector>

#include "base/options.h"
#include "toolpaths/toolpath_model3d.h"

namespace tarnak::gui {

namespace {

// Share of the light that reaches faces turned away from it; the rest
// follows the cosine to the light.
constexpr float kAmbient = 0.28f;
// The base plane reaches this far beyond the model's box, as a share of
// its larger side.
constexpr double kPlaneMargin = 0.05;
// A grid finer than this many lines across the plane is thinned out.
constexpr int kMaxGridLines = 60;
constexpr int kMinGridLines = 5;
// Triangles sampled for the model's digest.
constexpr std::size_t kDigestSamples = 4096;

QColor ToQColor(Colour c) { return QColor(QRgb(ColourToRgb(c & kColourMax))); }

class Digest {
 public:
  void Add(std::uint64_t v) {
    h_ = (h_ ^ v) * 0x100000001b3ULL;
    h_ ^= h_ >> 29;
  }
  void Add(float v) { Add(static_cast<std::uint64_t>(std::bit_cast<std::uint32_t>(v))); }
  void Add(double v) { Add(std::bit_cast<std::uint64_t>(v)); }
  std::uint64_t Value() const { return h_; }

 private:
  std::uint64_t h_ = 0xcbf29ce484222325ULL;
};

// The affine map from a drawing point to a device pixel and the depth
// towards the viewer (larger is nearer), as three rows of (x, y, z, 1).
struct PixelMap {
  double X[4], Y[4], D[4];

  PixelMap(const ViewProjection& projection, const QTransform& toPixel) {
    const QPointF o = toPixel.map(projection.Project(0, 0, 0));
    const QPointF ex = toPixel.map(projection.Project(1, 0, 0)) - o;
    const QPointF ey = toPixel.map(projection.Project(0, 1, 0)) - o;
    const QPointF ez = toPixel.map(projection.Project(0, 0, 1)) - o;
    X[0] = ex.x(), X[1] = ey.x(), X[2] = ez.x(), X[3] = o.x();
    Y[0] = ex.y(), Y[1] = ey.y(), Y[2] = ez.y(), Y[3] = o.y();
    // The viewing direction: across the plane's two axes, pointing up.
    const QPointF pu = projection.Project(1, 0, 0), pv = projection.Project(0, 1, 0),
                  pw = projection.Project(0, 0, 1);
    const double u[3] = {pu.x(), pv.x(), pw.x()};
    const double v[3] = {pu.y(), pv.y(), pw.y()};
    double d[3] = {u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2],
                   u[0] * v[1] - u[1] * v[0]};
    if (d[2] < 0.0) d[0] = -d[0], d[1] = -d[1], d[2] = -d[2];
    D[0] = d[0], D[1] = d[1], D[2] = d[2], D[3] = 0.0;
  }
};

struct ScreenVertex {
  float X, Y, D;
};

inline ScreenVertex Map(const PixelMap& m, const TTNVertex& v) {
  return {static_cast<float>(m.X[0] * v.X + m.X[1] * v.Y + m.X[2] * v.Z + m.X[3]),
          static_cast<float>(m.Y[0] * v.X + m.Y[1] * v.Y + m.Y[2] * v.Z + m.Y[3]),
          static_cast<float>(m.D[0] * v.X + m.D[1] * v.Y + m.D[2] * v.Z)};
}

inline QRgb Shade(QRgb base, float light) {
  auto c = [light](int v) { return std::min(255, static_cast<int>(static_cast<float>(v) * light)); };
  return qRgb(c(qRed(base)), c(qGreen(base)), c(qBlue(base)));
}

// The grid step: the option's step, times 1, 2 or 5 and a power of ten,
// so that between kMinGridLines and kMaxGridLines lines cross the plane
// (a model far smaller or larger than the step still gets a grid).
double GridStep(double step, double span) {
  if (!(step > 0.0) || !std::isfinite(step)) step = 1.0;
  if (!(span > 0.0) || !std::isfinite(span)) return step;
  double base = step;
  while (span / base < kMinGridLines) base /= 10.0;
  const double factors[] = {1.0, 2.0, 5.0};
  for (double scale = 1.0; scale < 1e15; scale *= 10.0)
    for (double f : factors)
      if (span / (base * f * scale) <= kMaxGridLines) return base * f * scale;
  return span;
}

void DrawBasePlane(QPainter& p, const Document& doc, const ViewProjection& projection,
                   const QTransform& planeToScreen) {
  const DrawingExtentsRec& e = doc.DrawingExtents;
  const double margin = kPlaneMargin * std::max(e.MaxX - e.MinX, e.MaxY - e.MinY);
  const double x0 = e.MinX - margin, x1 = e.MaxX + margin;
  const double y0 = e.MinY - margin, y1 = e.MaxY + margin;
  const double z = std::isfinite(e.MinZ) ? e.MinZ : 0.0;
  auto at = [&](double x, double y) { return planeToScreen.map(projection.Project(x, y, z)); };

  const QColor back = ToQColor(doc.Options.View.Back);
  const QColor fill = back.lightness() > 128 ? back.darker(108) : back.lighter(130);
  const QColor line = back.lightness() > 128 ? back.darker(125) : back.lighter(170);
  p.setPen(Qt::NoPen);
  p.setBrush(fill);
  p.drawPolygon(QPolygonF({at(x0, y0), at(x1, y0), at(x1, y1), at(x0, y1)}));
  p.setBrush(Qt::NoBrush);
  QPen pen(line, 0);
  pen.setCosmetic(true);
  p.setPen(pen);
  const double step = GridStep(doc.Options.View.GridSize, std::max(x1 - x0, y1 - y0));
  std::vector<QLineF> lines;
  for (double x = std::ceil(x0 / step) * step; x <= x1; x += step) lines.emplace_back(at(x, y0), at(x, y1));
  for (double y = std::ceil(y0 / step) * step; y <= y1; y += step) lines.emplace_back(at(x0, y), at(x1, y));
  p.drawLines(lines.data(), static_cast<int>(lines.size()));
  p.drawPolygon(QPolygonF({at(x0, y0), at(x1, y0), at(x1, y1), at(x0, y1)}));
}

// The passes as lines: cutting moves solid in the pass's colour, rapid
// moves (and the link to each pass's first point) dashed. Returns the
// moves counted; draws at most kMaxPassMovesDrawn of them.
long long DrawPasses(QPainter& p, const Document& doc, const ViewProjection& projection,
                     const QTransform& planeToScreen, long long& drawn) {
  long long count = 0;
  drawn = 0;
  bool havePrevious = false;
  QPointF previous;
  std::vector<QLineF> cuts, rapids;
  auto flush = [&](Colour colour) {
    QPen solid(ToQColor(colour), 0);
    solid.setCosmetic(true);
    p.setPen(solid);
    p.drawLines(cuts.data(), static_cast<int>(cuts.size()));
    QPen dashed = solid;
    dashed.setDashPattern({3.0, 1.0, 1.0, 1.0, 1.0, 1.0});
    p.setPen(dashed);
    p.drawLines(rapids.data(), static_cast<int>(rapids.size()));
    cuts.clear();
    rapids.clear();
  };
  bool stopped = false;
  for (const TTNOutRegion3D& pass : doc.Toolpaths3D) {
    if (stopped || pass.Visible == 0) {
      count += static_cast<long long>(pass.Points.size());
      continue;
    }
    for (std::size_t k = 0; k < pass.Points.size(); ++k) {
      if (count >= kMaxPassMovesDrawn) {
        // Past the limit the moves are only counted.
        stopped = true;
        count += static_cast<long long>(pass.Points.size() - k);
        break;
      }
      ++count;
      const TTNPoint3D& pt = pass.Points[k];
      if (!std::isfinite(pt.X) || !std::isfinite(pt.Y) || !std::isfinite(pt.Z)) continue;
      const QPointF at = planeToScreen.map(projection.Project(pt.X, pt.Y, pt.Z));
      if (havePrevious && at != previous)
        (pt.Kind == kPoint3DRapid || k == 0 ? rapids : cuts).emplace_back(previous, at);
      previous = at;
      havePrevious = true;
      ++drawn;
    }
    flush(static_cast<Colour>(pass.Colour) & kColourMax);
  }
  return count;
}

}  // namespace

std::uint64_t TriangleDigest(const TTNTriangleArray& triangles) {
  Digest d;
  d.Add(static_cast<std::uint64_t>(triangles.size()));
  d.Add(static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(triangles.data())));
  if (triangles.empty()) return d.Value();
  const std::size_t stride = std::max<std::size_t>(1, triangles.size() / kDigestSamples);
  for (std::size_t i = 0; i < triangles.size(); i += stride) {
    const TTNTriangle& t = triangles[i];
    for (const TTNVertex* v : {&t.V0, &t.V1, &t.V2}) {
      d.Add(v->X);
      d.Add(v->Y);
      d.Add(v->Z);
    }
  }
  return d.Value();
}

std::uint64_t PassDigest(const TTNOutRegionArray3D& passes) {
  Digest d;
  d.Add(static_cast<std::uint64_t>(passes.size()));
  for (const TTNOutRegion3D& pass : passes) {
    d.Add(static_cast<std::uint64_t>(pass.Points.size()));
    d.Add(static_cast<std::uint64_t>(static_cast<std::uint32_t>(pass.Colour)) |
          (static_cast<std::uint64_t>(pass.Visible) << 32));
    const std::size_t stride = std::max<std::size_t>(1, pass.Points.size() / kDigestSamples);
    for (std::size_t i = 0; i < pass.Points.size(); i += stride) {
      const TTNPoint3D& pt = pass.Points[i];
      d.Add(pt.X);
      d.Add(pt.Y);
      d.Add(pt.Z);
      d.Add(static_cast<std::uint64_t>(static_cast<std::uint32_t>(pt.Kind)));
    }
  }
  return d.Value();
}

long long RasteriseTriangles(QImage& image, const TTNTriangleArray& triangles,
                             const ViewProjection& projection, const QTransform& toPixel,
                             QRgb colour) {
  const int w = image.width();
  const int h = image.height();
  if (w <= 0 || h <= 0 || triangles.empty()) return 0;
  const PixelMap map(projection, toPixel);
  // The light comes from the viewer, a little from above and the left, so
  // that faces square to the eye are brightest and slopes still differ.
  double light[3] = {map.D[0] - 0.35 * map.X[0] / std::max(1e-300, std::hypot(map.X[0], map.X[1])),
                     map.D[1] - 0.35 * map.X[1] / std::max(1e-300, std::hypot(map.X[0], map.X[1])),
                     map.D[2] + 0.5};
  const double ll = std::sqrt(light[0] * light[0] + light[1] * light[1] + light[2] * light[2]);
  for (double& c : light) c /= ll;

  std::vector<float> depth(static_cast<std::size_t>(w) * static_cast<std::size_t>(h),
                           -std::numeric_limits<float>::infinity());
  auto* pixels = reinterpret_cast<QRgb*>(image.bits());
  const auto stride = static_cast<std::size_t>(image.bytesPerLine() / 4);
  long long shown = 0;

  for (const TTNTriangle& t : triangles) {
    const ScreenVertex a = Map(map, t.V0), b = Map(map, t.V1), c = Map(map, t.V2);
    const float minX = std::min({a.X, b.X, c.X}), maxX = std::max({a.X, b.X, c.X});
    const float minY = std::min({a.Y, b.Y, c.Y}), maxY = std::max({a.Y, b.Y, c.Y});
    if (!(maxX >= 0.0f && minX < static_cast<float>(w) && maxY >= 0.0f &&
          minY < static_cast<float>(h)))
      continue;  // off the picture (or not a number)

    // Flat shading by the facet's own normal.
    const float e1[3] = {t.V1.X - t.V0.X, t.V1.Y - t.V0.Y, t.V1.Z - t.V0.Z};
    const float e2[3] = {t.V2.X - t.V0.X, t.V2.Y - t.V0.Y, t.V2.Z - t.V0.Z};
    const float n[3] = {e1[1] * e2[2] - e1[2] * e2[1], e1[2] * e2[0] - e1[0] * e2[2],
                        e1[0] * e2[1] - e1[1] * e2[0]};
    const float nl = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
    const float cosine =
        nl > 0.0f ? std::abs(n[0] * static_cast<float>(light[0]) + n[1] * static_cast<float>(light[1]) +
                             n[2] * static_cast<float>(light[2])) / nl
                  : 0.0f;
    const QRgb shade = Shade(colour, kAmbient + (1.0f - kAmbient) * cosine);

    const int x0 = std::max(0, static_cast<int>(std::floor(minX)));
    const int x1 = std::min(w - 1, static_cast<int>(std::floor(maxX)));
    const int y0 = std::max(0, static_cast<int>(std::floor(minY)));
    const int y1 = std::min(h - 1, static_cast<int>(std::floor(maxY)));
    if (x0 == x1 && y0 == y1) {
      // Within one pixel, as most facets of a large model are: the pixel
      // takes the facet's nearest point.
      const float d = std::max({a.D, b.D, c.D});
      const std::size_t i = static_cast<std::size_t>(y0) * static_cast<std::size_t>(w) +
                            static_cast<std::size_t>(x0);
      if (d > depth[i]) {
        depth[i] = d;
        pixels[static_cast<std::size_t>(y0) * stride + static_cast<std::size_t>(x0)] = shade;
        ++shown;
      }
      continue;
    }
    const float area = (b.X - a.X) * (c.Y - a.Y) - (b.Y - a.Y) * (c.X - a.X);
    if (area == 0.0f || !std::isfinite(area)) continue;  // seen edge on
    const float inv = 1.0f / area;
    bool any = false;
    for (int y = y0; y <= y1; ++y) {
      const float py = static_cast<float>(y) + 0.5f;
      float* zrow = depth.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(w);
      QRgb* row = pixels + static_cast<std::size_t>(y) * stride;
      for (int x = x0; x <= x1; ++x) {
        const float px = static_cast<float>(x) + 0.5f;
        // Barycentric weights; all of one sign inside, whichever way the
        // triangle turns on the screen.
        const float w0 = ((b.X - px) * (c.Y - py) - (b.Y - py) * (c.X - px)) * inv;
        const float w1 = ((c.X - px) * (a.Y - py) - (c.Y - py) * (a.X - px)) * inv;
        const float w2 = 1.0f - w0 - w1;
        if (w0 < 0.0f || w1 < 0.0f || w2 < 0.0f) continue;
        const float d = w0 * a.D + w1 * b.D + w2 * c.D;
        if (d <= zrow[x]) continue;
        zrow[x] = d;
        row[x] = shade;
        any = true;
      }
    }
    if (any) ++shown;
  }
  return shown;
}

QString StlPicture::Draw(QImage& frame, const Document& doc, const ViewProjection& projection,
                         const QTransform& planeToScreen) {
  const TTNViewOptions& view = doc.Options.View;
  const bool passes = doc.ViewMode == 3;
  Key key;
  key.M[0] = planeToScreen.m11(), key.M[1] = planeToScreen.m12(), key.M[2] = planeToScreen.m21();
  key.M[3] = planeToScreen.m22(), key.M[4] = planeToScreen.dx(), key.M[5] = planeToScreen.dy();
  key.Turn = projection.Turn();
  key.Tilt = projection.Tilt();
  key.Is3D = projection.Is3D();
  key.Width = frame.width();
  key.Height = frame.height();
  key.Ratio = frame.devicePixelRatio();
  key.Model = TriangleDigest(doc.Triangles);
  key.Passes = passes ? PassDigest(doc.Toolpaths3D) : 0;
  key.ViewMode = passes ? 3 : 0;
  key.DrawModel = !passes || view.DrawBoundaries;
  key.Back = view.Back;
  key.Grid = view.GridSize;
  if (valid_ && key == key_ && cached_.size() == frame.size()) {
    frame = cached_;
    return status_;
  }

  {
    QPainter p(&frame);
    p.setRenderHint(QPainter::Antialiasing, false);
    DrawBasePlane(p, doc, projection, planeToScreen);
  }
  if (key.DrawModel) {
    const double ratio = frame.devicePixelRatio();
    RasteriseTriangles(frame, doc.Triangles, projection,
                       planeToScreen * QTransform::fromScale(ratio, ratio), qRgb(150, 172, 204));
  }
  movesDrawn_ = 0;
  if (passes) {
    QPainter p(&frame);
    p.setRenderHint(QPainter::Antialiasing, false);
    const long long moves = DrawPasses(p, doc, projection, planeToScreen, movesDrawn_);
    status_ = QStringLiteral("Tool ") + QString::number(moves);
  } else {
    status_ = QStringLiteral("Tris ") + QString::number(doc.Triangles.size());
  }
  key_ = key;
  cached_ = frame;
  valid_ = true;
  return status_;
}

}  // namespace tarnak::gui
