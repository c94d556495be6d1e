// Reader for drawings in the ASCII form of DXF: group code line, value line,
// repeated. Only the ENTITIES section is read into the drawing object; the
// BLOCKS section is looked at for its first block, the rest is passed over.
//
// The file is taken in blocks of 4096 bytes (one progress step per block),
// lines end at LF, CR or CR LF, and numbers are always read with '.' as the
// decimal point whatever separator the rest of the program uses.
//
// Nearly every line of a drawing is a short group code or a plain decimal;
// those are taken by shortcuts in the block buffer (QuickCode, QuickNumber)
// that give exactly what the general line, trim and number reading gives,
// and leave anything unusual to it untouched.
#pragma once

#include <array>
#include <map>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "import/dxf/dxf_entities.h"
#include "import/dxf/dxf_expand.h"
#include "base/user_interface.h"

namespace tarnak {

// A problem found while reading: the text names it and, with a line number
// of 0 or more, says where.
class DXF_read_exception : public std::runtime_error {
 public:
  DXF_read_exception(const std::string& message, int line);
  const std::string& Message() const { return message_; }
  int Line() const { return line_; }

 private:
  std::string message_;
  int line_;
};

// A drawing file that cannot be opened or read at all.
class DxfFileError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Where the bytes come from: a file or a block of memory. Asked once per
// 4096-byte block, never per byte.
class DxfByteSource {
 public:
  virtual ~DxfByteSource() = default;
  virtual uint64_t Size() const = 0;
  // Copies up to `count` bytes starting at `offset`; 0 at the end.
  virtual size_t ReadAt(uint64_t offset, char* buffer, size_t count) = 0;
};

// How a drawing is read.
struct DxfReadOptions {
  // INSERTs place their blocks' entities and SPLINEs become arcs and
  // lines, instead of the one note for each kind.
  bool ExpandBlocks = false;
  // Chord tolerance for splines and for curves that a placement distorts.
  double Tolerance = 0.005;
};

// Expanded copies made from one drawing at most: a block nested in blocks
// that each insert it many times (or a huge array) grows geometrically.
inline constexpr long kMaxExpandedEntities = 2000000;

class DXF_Reader {
 public:
  static constexpr size_t kBlockSize = 4096;
  static constexpr size_t kMaxLineLength = 255;

  DXF_Reader(DxfByteSource& source, UserInterface& ui, DxfReadOptions options = {});

  // Reads the drawing. Problems are reported through the user interface;
  // whatever was read before reading stopped stays in the layers.
  void Run();
  // The layers made so far, in order of first appearance.
  std::vector<std::unique_ptr<DXF_Layer>> TakeLayers() { return std::move(layers_); }

 private:
  // One entity (or vertex) as read, before an entity object is made of it.
  struct Record {
    DxfPoint P[4];
    double Elevation, Thickness, V40, V41, V42, V43, A50, A51;
    DxfPoint Extrusion;
    int Colour, VerticesFollow, Flags, I71, I72, I73, I74;
    int Count90;  // group 90, when it is a number
    bool HasP2;  // group 11, 21 or 31 seen
    int Layer;   // index into layers_
    std::string Text1, Name, Text3;
  };

  enum class Tag {
    Other, Point, Insert, Text, MText, Line, Polyline, LwPolyline, Face3D, Solid, Trace,
    Circle, Ellipse, Arc, Spline, Attdef, Attrib, EndSec, EndBlk
  };

  // --- lines and groups
  bool FillBuffer();
  bool ReadLine();
  bool ReadLineSlow();
  int ReadGroup();
  // ReadGroup for the hot loops, inlined there.
  __attribute__((always_inline)) inline int NextGroup();
  void PushBack() { pushedBack_ = true; }
  std::string_view Value() const { return value_; }
  __attribute__((always_inline)) inline bool QuickCode(int& code);
  __attribute__((always_inline)) inline bool QuickNumber();
  __attribute__((always_inline)) inline double FloatValue() const;
  [[noreturn]] void FailFloat() const;
  [[noreturn]] void FailRange() const;
  int IntValue() const;
  void SetMark();
  void ReturnToMark();

  // --- structure
  void ReadFile();
  // Reads up to the start of the named section; false at the end of the
  // file or, when stopAt is given, at the start of that section.
  bool FindSection(std::string_view name, std::string_view stopAt = {});
  void ReadBlocksPass(bool& sectionEmpty);
  void ReadEntitiesSection();
  // Reads the entity whose (0, name) group was just read; returns how many
  // entity objects it gave. With keep = false they are dropped.
  int ReadEntity(Tag tag, bool keep);
  static Tag Classify(std::string_view name);

  // --- records and entities
  // Reads groups into rec until a group 0 (pushed back); stopAt10 also
  // stops (and pushes back) at the first group 10. False at end of file.
  bool ReadRecord(Record& rec, bool stopAt10 = false);
  int LayerIndex(std::string_view upperName);
  void Fail(const char* message) const;
  // True (after one warning per file, naming `line`) for a radius too
  // small to cut.
  bool DegenerateRadius(double radius, int line);
  void Add(int layer, std::unique_ptr<DXF_Entity> entity, bool keep, int& made);
  void SetCommon(DXF_Entity& e, const Record& rec, bool withOcs) const;

  int ReadPoint(bool keep);
  int ReadText(Tag tag, bool keep);
  int ReadLineEntity(bool keep);
  int ReadCircle(bool keep);
  int ReadArc(bool keep);
  int ReadEllipse(bool keep);
  int ReadFace3D(bool keep);
  int ReadSolid(bool keep);
  int ReadPolyline(bool keep);
  int ReadLwPolyline(bool keep);

  // --- expansion of blocks and splines (DxfReadOptions::ExpandBlocks)
  struct BlockDef {
    DxfPoint Base;
    // Each entity with the layer it was drawn on.
    std::vector<std::pair<int, std::unique_ptr<DXF_Entity>>> Entities;
  };
  // Reads the whole BLOCKS section; true when it ended with ENDSEC.
  bool ReadAllBlocks();
  // The next group of the entity being read; false (pushed back) at its
  // end, the entity's message raised at the end of the file.
  bool EntityGroup(const char* message, int& code);
  int ReadInsert(bool keep);
  int ReadSpline(bool keep);
  // Places the block's entities by `t`; entities of layer "0" take `layer`.
  void ExpandInsert(const Insert_& insert, const DxfAffine& outer, int layer, bool keep,
                    std::vector<std::string>& nesting, int& made);

  DxfByteSource& source_;
  UserInterface& ui_;
  DxfReadOptions options_;
  // While a block is read with expansion on, its entities go here.
  BlockDef* blockSink_ = nullptr;
  std::map<std::string, BlockDef> blocks_;  // by upper-cased name
  std::vector<std::string> selfInsertShown_;
  long expanded_ = 0;
  bool tooManyShown_ = false;

  // Block buffer: bytes [0, bufLen_) hold the file from bufStart_ on. The
  // spare bytes behind a block let the line scan look 8 bytes at a time.
  std::array<char, kBlockSize + 8> buf_{};
  size_t bufLen_ = 0;
  size_t bufPos_ = 0;
  uint64_t bufStart_ = 0;
  uint64_t furthest_ = 0;  // end of the furthest block loaded (progress)
  bool ioFailed_ = false;

  uint64_t markPos_ = 0;
  int markLine_ = 0;

  // Current line, cut to kMaxLineLength characters: in place in the block
  // buffer, or copied into line_ when it runs over the end of the block.
  // Both keep 8 spare bytes behind the longest line for the number scan.
  std::array<char, kMaxLineLength + 1 + 8> line_{};
  std::string_view line_view_;
  int lineNo_ = 0;

  // Current group; a pushed-back group is the current one returned again.
  int code_ = -2;
  std::string_view value_;
  // The value as a number, when QuickNumber took it (numberReady_).
  double number_ = 0.0;
  bool numberReady_ = false;
  bool pushedBack_ = false;
  bool ended_ = false;  // end of file or a group code that is not a number

  bool insertShown_ = false;
  bool splineShown_ = false;
  bool zeroRadiusShown_ = false;

  std::vector<std::unique_ptr<DXF_Layer>> layers_;
  // Per layer, its entity lists by entity kind (lists only grow while reading).
  std::vector<std::array<Entity_List*, 16>> listsByKind_;
  int lastLayer_ = -1;

  Record rec_{};
  Record vrec_{};
  std::string layerName_;  // group 8 of the record being read, upper-cased
};

// Reads a DXF file into a new drawing object named after the file (without
// its folder). Throws DxfFileError when the file cannot be opened; every
// other problem is reported through ui and leaves what was read.
std::unique_ptr<DXF_Object> ReadDxfFile(const std::string& path, UserInterface& ui,
                                        const DxfReadOptions& options = {});
// The same for a drawing held in memory.
std::unique_ptr<DXF_Object> ReadDxfBuffer(const std::string& name, std::string_view bytes,
                                          UserInterface& ui, const DxfReadOptions& options = {});

// Larger numbers (and ones that are not finite) are refused with the line
// they are on: no drawing is that big, so they are damage.
inline constexpr double kMaxDxfMagnitude = 1e9;
// Arcs and circles of a smaller radius are left out with a warning.
inline constexpr double kDegenerateRadius = 1e-8;

// Why these first bytes of a file cannot be an ASCII DXF drawing (empty,
// UTF-16, binary DXF, binary data), or null when they may be one.
const char* NotAsciiDxf(std::string_view head);

// Number parsing as used for DXF values: blanks and tabs around the number
// and a leading '+' allowed, '.' as the decimal point, whole text used.
bool ParseDxfDouble(std::string_view text, double& value);
bool ParseDxfInt(std::string_view text, int& value);

}  // namespace tarnak
