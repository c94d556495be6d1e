// The DXF drawing written by the export commands: layers of LINE and ARC
// entities, and the extents they cover.
//
// Only lines and arcs are ever written, so the records are plain: one
// vector of lines and one of arcs per layer, no entity objects. Writing a
// million entities then costs little beyond formatting the numbers.
// Within a layer the lines and the arcs are written as two lists, the one
// whose type was added first before the other (not interleaved): readers
// take the entities as a set, and that is the order the file has always
// had.
//
// Angles are radians, counter-clockwise, in memory; the writer turns them
// into degrees. An arc goes counter-clockwise from StartAngle to EndAngle;
// equal angles are a full circle.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tarnak {

// Colour numbers of the entities the builders make.
inline constexpr int32_t kDxfColourPath = 5;  // geometry, toolpaths, NC moves
inline constexpr int32_t kDxfColourLink = 0;  // link moves between toolpaths

enum class DxfLineStyle : uint8_t {
  Continuous,  // "CONTINUOUS"
  Dotted,      // "DOT"
};

// The part every entity has: colour, line style, extrusion direction.
struct DxfEntityStyle {
  int32_t Colour = kDxfColourPath;
  DxfLineStyle Style = DxfLineStyle::Continuous;
  bool HasExtrusion = false;  // none of the builders sets one
  std::array<double, 3> Extrusion{0.0, 0.0, 1.0};
};

struct DxfLine {
  DxfEntityStyle Head;
  double X1 = 0.0, Y1 = 0.0, Z1 = 0.0;
  double X2 = 0.0, Y2 = 0.0, Z2 = 0.0;
};

struct DxfArc {
  DxfEntityStyle Head;
  double X = 0.0, Y = 0.0, Z = 0.0;  // centre
  double Radius = 0.0;
  double StartAngle = 0.0;  // radians, counter-clockwise
  double EndAngle = 0.0;
};

enum class DxfEntityType : uint8_t { Line, Arc };

struct DxfOutLayer {
  std::string Name;
  int32_t Colour = 0;
  std::vector<DxfLine> Lines;
  std::vector<DxfArc> Arcs;
  // The entity lists in the order their types were first added.
  std::vector<DxfEntityType> ListOrder;

  std::size_t EntityCount() const { return Lines.size() + Arcs.size(); }
};

// What the writer writes before any entity widens the extents.
inline constexpr double kDxfNoExtent = 1e10;

class DxfOutObject {
 public:
  // name: the drawing's name; "Untitled" when empty.
  explicit DxfOutObject(std::string_view name = "Dxf");

  std::string Name;
  std::vector<DxfOutLayer> Layers;
  // Smallest and largest X, Y, Z of the entities; (1E10, ...) and
  // (-1E10, ...) while there is none.
  std::array<double, 3> ExtMin{kDxfNoExtent, kDxfNoExtent, kDxfNoExtent};
  std::array<double, 3> ExtMax{-kDxfNoExtent, -kDxfNoExtent, -kDxfNoExtent};

  // Appends a layer and returns its index. Throws std::invalid_argument
  // "Attempted to create layer with existing name" for a name already there.
  std::size_t CreateLayer(std::string_view name, int32_t colour = 0);

  // Add an entity to layer `layer` (an index of Layers) and widen the
  // extents by it (an arc by the part of the circle it covers).
  void AddLine(std::size_t layer, const DxfLine& line);
  void AddArc(std::size_t layer, const DxfArc& arc);

  std::size_t EntityCount() const;

 private:
  void Widen(double x, double y, double z);
};

}  // namespace tarnak
