#include "export/dxf/dxf_builders.h"

#include <cmath>

namespace tarnak {

namespace {

const DxfEntityStyle kPathStyle{kDxfColourPath, DxfLineStyle::Continuous, false, {0.0, 0.0, 1.0}};
const DxfEntityStyle kFeedLinkStyle{kDxfColourLink, DxfLineStyle::Continuous, false,
                                    {0.0, 0.0, 1.0}};
const DxfEntityStyle kRapidLinkStyle{kDxfColourLink, DxfLineStyle::Dotted, false, {0.0, 0.0, 1.0}};

void AddLine(DxfOutObject& d, std::size_t layer, const DxfEntityStyle& head, double x1, double y1,
             double z1, double x2, double y2, double z2) {
  // A move that goes nowhere draws nothing.
  if (x1 == x2 && y1 == y2 && z1 == z2) return;
  DxfLine l;
  l.Head = head;
  l.X1 = x1;
  l.Y1 = y1;
  l.Z1 = z1;
  l.X2 = x2;
  l.Y2 = y2;
  l.Z2 = z2;
  d.AddLine(layer, l);
}

// The arc counter-clockwise: a clockwise one runs the same way back.
void AddArc(DxfOutObject& d, std::size_t layer, const DxfEntityStyle& head, double cx, double cy,
            double z, double radius, double startAngle, double endAngle) {
  DxfArc a;
  a.Head = head;
  a.X = cx;
  a.Y = cy;
  a.Z = z;
  a.Radius = std::fabs(radius);
  a.StartAngle = radius > 0.0 ? startAngle : endAngle;
  a.EndAngle = radius > 0.0 ? endAngle : startAngle;
  d.AddArc(layer, a);
}

}  // namespace

DxfOutObject MakeDxfDrawing() {
  DxfOutObject d("Dxf");
  d.CreateLayer("0");
  d.CreateLayer("1");
  d.CreateLayer("2");
  return d;
}

void AddDxfElement(DxfOutObject& drawing, std::size_t layer, const TTNEntity& e, double z,
                   const DxfEntityStyle& head) {
  if (e.IsLine()) {
    DxfLine l;
    l.Head = head;
    l.X1 = e.X;
    l.Y1 = e.Y;
    l.Z1 = z;
    l.X2 = e.X2;
    l.Y2 = e.Y2;
    l.Z2 = z;
    drawing.AddLine(layer, l);
    return;
  }
  AddArc(drawing, layer, head, e.X, e.Y, z, e.Radius, e.StartAngle(), e.EndAngle());
}

DxfOutObject BuildDXFFromRegions(const TTNRegionArray& regions) {
  DxfOutObject d = MakeDxfDrawing();
  for (std::size_t i = 1; i < regions.size(); ++i) {
    const TTNRegion& r = regions[i];
    for (const TTNEntity& e : r.Elements) AddDxfElement(d, kDxfLayerPath, e, r.Depth, kPathStyle);
  }
  return d;
}

DxfOutObject BuildDXFFromMotions(const MotionList& motions) {
  DxfOutObject d = MakeDxfDrawing();
  for (const Motion& m : motions) {
    switch (m.Kind) {
      case MotionKind::Rates:
      case MotionKind::ToolChange:
        break;  // they move nothing
      case MotionKind::Drill:
        // Up to the cycle's plane where the tool stands, over the hole,
        // the hole itself (drilled down from that plane), and back up.
        AddLine(d, kDxfLayerLinks, kRapidLinkStyle, m.FromX, m.FromY, m.FromZ, m.FromX, m.FromY,
                m.Clearance);
        AddLine(d, kDxfLayerLinks, kRapidLinkStyle, m.FromX, m.FromY, m.Clearance, m.X, m.Y,
                m.Clearance);
        AddLine(d, kDxfLayerPath, kPathStyle, m.X, m.Y, m.Clearance, m.X, m.Y, m.Z);
        AddLine(d, kDxfLayerLinks, kRapidLinkStyle, m.X, m.Y, m.Z, m.X, m.Y, m.Clearance);
        break;
      case MotionKind::Rapid:
      case MotionKind::Line: {
        std::size_t layer = kDxfLayerPath;
        const DxfEntityStyle* head = &kPathStyle;
        if (m.Part == MotionPart::Entry || m.Part == MotionPart::Exit) {
          layer = kDxfLayerLeads;
        } else if (m.Part != MotionPart::Path || m.Kind == MotionKind::Rapid) {
          layer = kDxfLayerLinks;
          head = m.Kind == MotionKind::Rapid ? &kRapidLinkStyle : &kFeedLinkStyle;
        }
        AddLine(d, layer, *head, m.FromX, m.FromY, m.FromZ, m.X, m.Y, m.Z);
        break;
      }
      case MotionKind::Arc: {
        const std::size_t layer = m.Part == MotionPart::Entry || m.Part == MotionPart::Exit
                                      ? kDxfLayerLeads
                                      : kDxfLayerPath;
        AddArc(d, layer, kPathStyle, m.CentreX, m.CentreY, m.Z, m.Radius, m.StartAngle,
               m.EndAngle);
        break;
      }
    }
  }
  return d;
}

DxfOutObject BuildDXFFromNCMoves(const TTNEdEntityArray& moves) {
  DxfOutObject d = MakeDxfDrawing();
  for (std::size_t i = 1; i < moves.size(); ++i) {
    const TTNEdEntity& m = moves[i];
    if (m.Kind == NCKind::ToolChange) continue;
    if (m.IsArc()) {
      AddArc(d, kDxfLayerPath, kPathStyle, m.X, m.Y, m.Z, m.Radius, m.StartAngle(), m.EndAngle());
    } else {
      AddLine(d, kDxfLayerPath, kPathStyle, m.X, m.Y, m.Z, m.X2, m.Y2, m.Z2);
    }
  }
  return d;
}

DxfOutObject BuildDXFFromToolpaths(const TTNOutRegionArray& toolpaths, double rapidHeight) {
  return BuildDXFFromMotions(BuildMotionList(toolpaths, rapidHeight));
}

}  // namespace tarnak
