// The extents of the drawing: the box of every Region (for an STL model
// also its heights), with the empty-document defaults.
#pragma once

namespace tarnak {

struct DrawingExtentsRec {
  double MinX = 0.0;
  double MaxX = 10.0;
  double MinY = 0.0;
  double MaxY = 10.0;
  double MinZ = -1.0;
  double MaxZ = 0.0;
  double MidZ = -0.5;
  double Height = 10.0;
  double Width = 10.0;
};

}  // namespace tarnak
