// The 3D pass record of prototype machining: one pass (a Z level of the
// raster cut of an STL model) as a list of straight moves to points.
//
// Unlike the Region and 2D toolpath lists, the 3D pass list has no reserved
// slot: the first pass is at index 0. Points are 32-bit floats to keep the
// large raster lists small.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "toolpaths/toolpath_model.h"

namespace tarnak {

// Point kinds: any kind other than a rapid is written as a feed move.
inline constexpr int32_t kPoint3DRapid = 0;
inline constexpr int32_t kPoint3DCut = 2;

// Longest pass name kept (characters).
inline constexpr std::size_t kPass3DNameMaxLength = 50;

struct TTNPoint3D {
  int32_t Kind = kPoint3DCut;  // 0 rapid, anything else a cutting move
  float X = 0.0f;
  float Y = 0.0f;
  float Z = 0.0f;
};

struct TTNOutRegion3D {
  uint8_t Visible = 1;
  double Feed = 0.0;
  double PlungeFeed = 0.0;
  int32_t ToolNumber = 0;
  double SpindleSpeed = 0.0;  // RPM held as a float
  std::string Name;           // shown in the pass comment, at most 50 characters
  double Level = 0.0;         // the pass's Z level (a real Z, negative below the top)
  double RapidLevel = 0.0;    // the rapid height, a real Z
  int32_t Flag = 1;
  int32_t CutDirection = 0;   // 1 rows along X, 2 along Y
  int32_t Colour = 0;         // colour of the tool in the view
  // How the tool reaches the first point. A pass may start anywhere over
  // the model, so unless the strategy knows better it retracts, rapids
  // over and plunges (kLinkRetract); kLinkFeedAtDepth feeds straight there.
  int32_t LinkKind = kLinkRetract;
  std::vector<TTNPoint3D> Points;
};

using TTNOutRegionArray3D = std::vector<TTNOutRegion3D>;

}  // namespace tarnak
