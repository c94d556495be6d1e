// The DXF drawings of the export commands: the Regions of the document,
// its toolpaths, or the moves of a loaded NC program.
//
// Every builder makes the layers "0", "1" and "2", in that order (the
// layer table lists them from the last). Layer "0" holds the geometry,
// the toolpaths' own Elements and drilled holes; "1" the link moves
// between toolpaths (colour 0: traverses at rapid dotted, rises, plunges
// and feeds across continuous); "2" the lead-in and lead-out moves.
//
// Toolpaths are taken as their motion list (toolpaths/motion_list.h), the
// same moves the NC writer spells and the view draws, so the drawing
// shows the links the machine really makes: the rise at the current
// point, the traverse and the plunge at the start, as the link rules have
// them for each LinkKind. A move that goes nowhere is left out.
//
// The moves of a loaded NC program all go on layer "0": lines from start
// to end, arcs as their counter-clockwise sweep. The plunge of a drill
// cycle carries a radius only as a mark for the view: it is written as the
// straight plunge it is. Tool-change markers move nothing and are left out.
#pragma once

#include <cstddef>

#include "export/dxf/dxf_document.h"
#include "geometry/geometry.h"
#include "import/nc/nc_moves.h"
#include "toolpaths/motion_list.h"
#include "toolpaths/toolpath_model.h"

namespace tarnak {

// Indices of the three layers in DxfOutObject::Layers.
inline constexpr std::size_t kDxfLayerPath = 0;   // "0"
inline constexpr std::size_t kDxfLayerLinks = 1;  // "1"
inline constexpr std::size_t kDxfLayerLeads = 2;  // "2"

// An object named "Dxf" with the layers "0", "1" and "2", colour 0.
DxfOutObject MakeDxfDrawing();

// Adds an Element at height z: a LINE, or an ARC made counter-clockwise
// (a clockwise Element's angles exchanged).
void AddDxfElement(DxfOutObject& drawing, std::size_t layer, const TTNEntity& e, double z,
                   const DxfEntityStyle& head);

// Every Element of every Region from slot 1, on layer "0", at z = the
// Region's Depth as stored.
DxfOutObject BuildDXFFromRegions(const TTNRegionArray& regions);

// The motions of a toolpath list, their end at rapidHeight (the rapid
// height of the machining parameters) as the NC program has it.
DxfOutObject BuildDXFFromToolpaths(const TTNOutRegionArray& toolpaths, double rapidHeight);
// The same from a motion list already made.
DxfOutObject BuildDXFFromMotions(const MotionList& motions);

// The display moves of a loaded NC program, from slot 1.
DxfOutObject BuildDXFFromNCMoves(const TTNEdEntityArray& moves);

}  // namespace tarnak
