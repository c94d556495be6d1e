// The drawing object made by the DXF reader: layers holding lists of entity
// objects grouped by entity class. Profile building, text import and DXF
// export consume it; it lives only for the duration of an import.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tarnak {

struct DxfPoint {
  double X = 0.0;
  double Y = 0.0;
  double Z = 0.0;
  double W = 0.0;  // fourth value: bulge of a polyline vertex, 0 for plain points
};

// Axes of an object coordinate system in world coordinates (arbitrary axis
// algorithm); a point p in object coordinates is Ax*p.X + Ay*p.Y + Az*p.Z.
struct OcsMatrix {
  DxfPoint Ax, Ay, Az;
  DxfPoint ToWorld(const DxfPoint& p) const;
};

struct ExtentBox {
  bool Empty = true;
  double MinX = 0, MinY = 0, MinZ = 0, MaxX = 0, MaxY = 0, MaxZ = 0;
  void Add(const DxfPoint& p);
};

// The object coordinate system of an extrusion direction by the arbitrary
// axis algorithm; none for exactly (0, 0, 1). The direction is normalised
// first; a zero direction counts as (0, 0, 1).
std::optional<OcsMatrix> MakeOcs(const DxfPoint& extrusion);

// A number as the DXF writer spells it: rounded to 7 significant digits
// (halves away from zero), printed with exactly 6 decimals ("12.500000");
// more than 7 integer digits give exponent form ("1.234568E10").
std::string FormatDxfNumber(double value);

// The 13-entry display colour table (0xRRGGBB): entry number modulo 13.
uint32_t DxfColourFromNumber(int number);

enum class DxfKind {
  Entity,
  Point,
  Text,
  Attrib,
  Attdef,
  Line,
  Ellipse,
  Circle,
  Arc,
  Polyline,
  Face3D,
  Solid,
  PolygonMesh,
  PolyfaceMesh,
  Block,
  Insert
};

class DXF_Entity {
 public:
  virtual ~DXF_Entity() = default;

  virtual DxfKind Kind() const { return DxfKind::Entity; }
  // True for Polyline_ and its descendants (3D faces and meshes).
  bool IsPolyline() const;

  // Object-coordinate matrix from an extrusion direction; none for (0, 0, 1).
  virtual void SetupOcs(const DxfPoint& extrusion);
  // Colour number and display colour from a number (table entry number mod
  // 13), or from a display colour (number = its table position, 0 if absent).
  void SetColourFromNumber(int number);
  void SetColourFromValue(uint32_t value);
  virtual void Move(const DxfPoint& by) { (void)by; }
  virtual void SnapToGrid(double grid) { (void)grid; }
  virtual int PointCount() const { return 1; }
  virtual int SegmentCount() const { return 0; }
  virtual bool IsOpen() const { return false; }
  virtual bool IsClosed() const { return false; }
  // Class name without its trailing underscore, upper-cased ("LINE", "ARC").
  virtual std::string ClassName() const { return "ENTITY"; }
  // Appends one point as DXF groups base code, base+10, base+20, CR LF ends.
  void WritePoint(std::string& out, int baseCode, const DxfPoint& p) const;
  // Appends the entity as DXF groups on the given layer.
  virtual void WriteDxf(std::string& out, const std::string& layer) const;
  // "WCS" or "OCS Axis ...", the class name, "Open"/"Closed", one vertex a line.
  virtual std::string Description() const;
  virtual void WidenExtents(ExtentBox& box) const { (void)box; }
  virtual double DistanceSquared(const DxfPoint& p) const;
  virtual int NearestVertex(const DxfPoint& p, double& distanceSquared) const;
  virtual bool Hit(const DxfPoint& p, double tolerance) const;
  virtual void ReplaceVertex(int index, const DxfPoint& p) { (void)index; (void)p; }

 protected:
  // Shared by the Description overrides: coordinate system, class name,
  // open/closed, then the given vertices.
  std::string DescribeWith(const std::vector<DxfPoint>& vertices) const;
  // 0 type name, 8 layer, 62 colour number.
  void WriteHead(std::string& out, const std::string& layer) const;

 public:
  uint32_t Colour = 0;   // display colour chosen from the 13-entry table
  int ColourNumber = 0;  // group 62
  std::optional<OcsMatrix> Ocs;
  DxfPoint Extrusion{0, 0, 1, 0};
};

class Point_ : public DXF_Entity {
 public:
  DxfKind Kind() const override { return DxfKind::Point; }
  std::string ClassName() const override { return "POINT"; }
  void Move(const DxfPoint& by) override;
  void SnapToGrid(double grid) override;
  void WriteDxf(std::string& out, const std::string& layer) const override;
  std::string Description() const override;
  void WidenExtents(ExtentBox& box) const override;
  double DistanceSquared(const DxfPoint& p) const override;
  int NearestVertex(const DxfPoint& p, double& distanceSquared) const override;
  void ReplaceVertex(int index, const DxfPoint& p) override;
  DxfPoint P1;
};

class Text_ : public Point_ {
 public:
  DxfKind Kind() const override { return DxfKind::Text; }
  std::string ClassName() const override { return "TEXT"; }
  void Move(const DxfPoint& by) override;
  void SnapToGrid(double grid) override;
  void WriteDxf(std::string& out, const std::string& layer) const override;
  double Height = 0.0;
  double Rotation = 0.0;  // degrees, as read
  std::string Text;
  DxfPoint Align;  // alignment point; the insertion point when group 11 was absent or 0,0,0
  int HAlign = 0;  // group 72
};

class Attrib_ : public Text_ {
 public:
  DxfKind Kind() const override { return DxfKind::Attrib; }
  std::string ClassName() const override { return "ATTRIB"; }
};

class Attdef_ : public Attrib_ {
 public:
  DxfKind Kind() const override { return DxfKind::Attdef; }
  std::string ClassName() const override { return "ATTDEF"; }
};

class Line_ : public Point_ {
 public:
  DxfKind Kind() const override { return DxfKind::Line; }
  std::string ClassName() const override { return "LINE"; }
  int PointCount() const override { return 2; }
  int SegmentCount() const override { return 1; }
  void Move(const DxfPoint& by) override;
  void SnapToGrid(double grid) override;
  void WriteDxf(std::string& out, const std::string& layer) const override;
  std::string Description() const override;
  void WidenExtents(ExtentBox& box) const override;
  double DistanceSquared(const DxfPoint& p) const override;
  int NearestVertex(const DxfPoint& p, double& distanceSquared) const override;
  void ReplaceVertex(int index, const DxfPoint& p) override;
  DxfPoint P2;
};

class Ellipse_ : public Line_ {
 public:
  DxfKind Kind() const override { return DxfKind::Ellipse; }
  std::string ClassName() const override { return "ELLIPSE"; }
  // P2 is relative to the centre: moving and snapping act on the centre.
  void Move(const DxfPoint& by) override;
  void SnapToGrid(double grid) override;
  void WriteDxf(std::string& out, const std::string& layer) const override;
  void WidenExtents(ExtentBox& box) const override;
  double DistanceSquared(const DxfPoint& p) const override;
  // Vertex 0 is the centre, vertex 1 the end of the major axis.
  int NearestVertex(const DxfPoint& p, double& distanceSquared) const override;
  void ReplaceVertex(int index, const DxfPoint& p) override;
  // Point of the ellipse at parameter t.
  DxfPoint PointAt(double t) const;
  // P1 = centre, P2 = end of the major axis relative to the centre.
  double Ratio = 1.0;
  double RotationValue = 0.0;  // group 50 as read
  double StartParam = 0.0;     // group 41, radians
  double EndParam = 0.0;       // group 42, radians
};

class Circle_ : public Point_ {
 public:
  DxfKind Kind() const override { return DxfKind::Circle; }
  std::string ClassName() const override { return "CIRCLE"; }
  void WriteDxf(std::string& out, const std::string& layer) const override;
  void WidenExtents(ExtentBox& box) const override;
  double DistanceSquared(const DxfPoint& p) const override;
  double Radius = 0.0;
};

class Arc_ : public Circle_ {
 public:
  DxfKind Kind() const override { return DxfKind::Arc; }
  std::string ClassName() const override { return "ARC"; }
  void WriteDxf(std::string& out, const std::string& layer) const override;
  void WidenExtents(ExtentBox& box) const override;
  double DistanceSquared(const DxfPoint& p) const override;
  double StartAngle = 0.0;  // radians, world coordinates
  double EndAngle = 0.0;
};

class Polyline_ : public DXF_Entity {
 public:
  DxfKind Kind() const override { return DxfKind::Polyline; }
  std::string ClassName() const override { return "POLYLINE"; }
  int PointCount() const override { return static_cast<int>(Vertices.size()); }
  int SegmentCount() const override { return static_cast<int>(Vertices.size()); }
  bool IsOpen() const override { return !IsClosed(); }
  // Marked closed, or first and last vertices equal.
  bool IsClosed() const override;
  void Move(const DxfPoint& by) override;
  void SnapToGrid(double grid) override;
  void WriteDxf(std::string& out, const std::string& layer) const override;
  std::string Description() const override;
  void WidenExtents(ExtentBox& box) const override;
  double DistanceSquared(const DxfPoint& p) const override;
  int NearestVertex(const DxfPoint& p, double& distanceSquared) const override;
  void ReplaceVertex(int index, const DxfPoint& p) override;
  bool Closed = false;             // flag 1 was set (or a 3D face)
  std::vector<DxfPoint> Vertices;  // X, Y, Z, bulge (W)
  double Width = 0.0;              // half of group 40
};

class Face3D_ : public Polyline_ {
 public:
  DxfKind Kind() const override { return DxfKind::Face3D; }
  std::string ClassName() const override { return "3DFACE"; }
  void WriteDxf(std::string& out, const std::string& layer) const override;
};

class Solid_ : public Face3D_ {
 public:
  DxfKind Kind() const override { return DxfKind::Solid; }
  std::string ClassName() const override { return "SOLID"; }
};

class Polygon_mesh_ : public Polyline_ {
 public:
  DxfKind Kind() const override { return DxfKind::PolygonMesh; }
  std::string ClassName() const override { return "POLYGON_MESH"; }
  int M = 0, N = 0;
  bool ClosedM = false, ClosedN = false;
};

class Polyface_mesh_ : public Polyline_ {
 public:
  DxfKind Kind() const override { return DxfKind::PolyfaceMesh; }
  std::string ClassName() const override { return "POLYFACE_MESH"; }
  struct Face {
    int V[4] = {-1, -1, -1, -1};  // vertex numbers, 0-based
  };
  std::vector<Face> Faces;
};

class Entity_List;

class Block_ : public DXF_Entity {
 public:
  DxfKind Kind() const override { return DxfKind::Block; }
  std::string ClassName() const override { return "BLOCK"; }
  void Move(const DxfPoint& by) override;
  void WriteDxf(std::string& out, const std::string& layer) const override;
  void WidenExtents(ExtentBox& box) const override;
  std::string Name;
  DxfPoint Base;
  std::vector<std::unique_ptr<DXF_Entity>> Entities;
};

// Made only when blocks are expanded; the insertion point is in the plane
// of the extrusion (its Ocs).
class Insert_ : public DXF_Entity {
 public:
  DxfKind Kind() const override { return DxfKind::Insert; }
  std::string ClassName() const override { return "INSERT"; }
  std::string Name;  // block name, upper-cased
  DxfPoint At;       // insertion point
  double ScaleX = 1.0, ScaleY = 1.0, ScaleZ = 1.0;
  double Rotation = 0.0;  // degrees
  int Columns = 1, Rows = 1;
  double ColumnSpacing = 0.0, RowSpacing = 0.0;
};

class DXF_Layer;

class Entity_List {
 public:
  std::string ClassName;  // class of its entities ("LINE", ...)
  DXF_Layer* Layer = nullptr;
  std::vector<std::unique_ptr<DXF_Entity>> Entities;  // file order
};

class DXF_Layer {
 public:
  std::string Name;  // upper-cased as read
  int Colour = 0;
  std::vector<std::string> ListNames;
  std::vector<std::unique_ptr<Entity_List>> Lists;

  // The list for a class name, made and appended when missing.
  Entity_List& ListFor(const std::string& className);
  void Add(std::unique_ptr<DXF_Entity> entity);
};

class DXF_Object {
 public:
  std::string Name;  // file name without folder
  std::vector<std::unique_ptr<DXF_Layer>> Layers;

  int NumPolylines() const;
  // Lines, arcs, circles and ellipses plus polyline vertices: a starting
  // size for the lists of profile building.
  int NumEntitiesAndVertices() const;
  ExtentBox Extents() const;
};

}  // namespace tarnak
