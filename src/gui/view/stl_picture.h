// The drawing view's picture of an STL model: the base plane with its grid
// under the model, the model shaded by facet normal, and in view mode 3
// the prototype passes over it.
//
// A model may have millions of triangles, far too many for the painter to
// fill one by one on every paint. The model is therefore drawn by a small
// z-buffer rasteriser straight into the frame's pixels (one flat colour per
// facet, lit from the viewer's side, both faces lit alike since files in the
// wild face either way), and the finished picture is kept: as long as the
// view's transform, its size, the model, the passes and the colours stay
// the same, a redraw is a copy of that picture. The model is recognised by
// a digest of a sample of its triangles plus its size and storage, and the
// window calls Invalidate after every command that changes it in place.
#pragma once

#include <QImage>
#include <QString>
#include <QTransform>
#include <cstdint>

#include "shell/document.h"
#include "view/view_scene.h"

namespace tarnak::gui {

// Moves of the 3D passes drawn at most; the rest are only counted.
inline constexpr long long kMaxPassMovesDrawn = 200000;

class StlPicture {
 public:
  // Draws the model (view mode 0, or view mode 3 with "DrawBoundaries")
  // and the passes (view mode 3) into `frame`, which already holds the
  // background. `planeToScreen` maps view-plane points to the frame's
  // logical pixels. Returns the text for status panel 2: "Tris " and the
  // triangle count, or "Tool " and the number of pass moves (all of them,
  // also those beyond the drawing limit).
  QString Draw(QImage& frame, const Document& doc, const ViewProjection& projection,
               const QTransform& planeToScreen);
  // The model or the passes changed in place: draw them again next time.
  void Invalidate() { valid_ = false; }

  // Moves drawn by the last Draw (at most kMaxPassMovesDrawn).
  long long MovesDrawn() const { return movesDrawn_; }

 private:
  struct Key {
    double M[6] = {};        // plane to screen
    double Turn = 0.0, Tilt = 0.0;
    bool Is3D = false;
    int Width = 0, Height = 0;
    double Ratio = 1.0;
    std::uint64_t Model = 0;   // digest of the triangles
    std::uint64_t Passes = 0;  // digest of the passes
    int ViewMode = 0;
    bool DrawModel = false;
    std::uint32_t Back = 0;
    double Grid = 0.0;
    bool operator==(const Key&) const = default;
  };

  Key key_;
  bool valid_ = false;
  QImage cached_;
  QString status_;
  long long movesDrawn_ = 0;
};

// Digests used to notice a changed model or changed passes.
std::uint64_t TriangleDigest(const TTNTriangleArray& triangles);
std::uint64_t PassDigest(const TTNOutRegionArray3D& passes);

// Rasterises the triangles into `image` (Format_RGB32 or ARGB32) with a
// depth buffer, flat-shaded in `colour`; `toPixel` maps drawing points to
// the image's device pixels. Returns the number of triangles that reached
// a pixel.
long long RasteriseTriangles(QImage& image, const TTNTriangleArray& triangles,
                             const ViewProjection& projection, const QTransform& toPixel,
                             QRgb colour);

}  // namespace tarnak::gui
