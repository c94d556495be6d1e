#include "export/dxf/dxf_writer.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <numbers>
#include <string_view>

#include "base/atomic_file.h"
#include "import/dxf/dxf_entities.h"

namespace tarnak {

namespace {

constexpr double kDegreesPerRadian = 180.0 / std::numbers::pi;

// The fast path leaves rounding to the exact formatter when the scaled
// value lies this close to a half: the product a * 10^d is below 10^7 and
// off by far less than this, so every other case rounds the same way.
constexpr double kNearHalf = 1e-6;
// Below this every value is written in fixed form, whatever its rounding.
constexpr double kFastLimit = 9999999.0;

constexpr double kPow10[] = {1.0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6};
constexpr uint64_t kPow10Int[] = {1, 10, 100, 1000, 10000, 100000, 1000000};

// Decimals kept before the padding: 7 significant digits, at most 6
// decimals.
int KeptDecimals(double a) {
  if (a < 10.0) return 6;
  if (a < 100.0) return 5;
  if (a < 1000.0) return 4;
  if (a < 10000.0) return 3;
  if (a < 100000.0) return 2;
  if (a < 1000000.0) return 1;
  return 0;
}

char* WriteUnsigned(char* p, uint64_t v) {
  char digits[24];
  int n = 0;
  do {
    digits[n++] = static_cast<char>('0' + v % 10);
    v /= 10;
  } while (v != 0);
  while (n > 0) *p++ = digits[--n];
  return p;
}

}  // namespace

std::size_t FormatDxfFixed(double value, char* buffer) {
  const double a = std::fabs(value);
  if (!(a < kFastLimit)) {
    // Huge, infinite or not a number: the rare forms.
    const std::string s = FormatDxfNumber(value);
    std::memcpy(buffer, s.data(), s.size());
    return s.size();
  }
  const int decimals = KeptDecimals(a);
  const double scaled = a * kPow10[decimals];
  const double whole = std::floor(scaled);
  const double frac = scaled - whole;
  if (std::fabs(frac - 0.5) < kNearHalf) {
    const std::string s = FormatDxfNumber(value);
    std::memcpy(buffer, s.data(), s.size());
    return s.size();
  }
  const uint64_t rounded = static_cast<uint64_t>(whole) + (frac > 0.5 ? 1u : 0u);
  const uint64_t unit = kPow10Int[decimals];
  char* p = buffer;
  if (std::signbit(value) && rounded != 0) *p++ = '-';
  p = WriteUnsigned(p, rounded / unit);
  *p++ = '.';
  uint64_t fraction = rounded % unit;
  for (int i = decimals - 1; i >= 0; --i) {
    p[i] = static_cast<char>('0' + fraction % 10);
    fraction /= 10;
  }
  p += decimals;
  for (int i = decimals; i < 6; ++i) *p++ = '0';
  return static_cast<std::size_t>(p - buffer);
}

void AppendDxfFixed(std::string& out, double value) {
  char buffer[64];
  out.append(buffer, FormatDxfFixed(value, buffer));
}

namespace {

constexpr std::string_view kEol = "\r\n";

// Collects the text in one buffer and hands it on in large pieces, so that
// a big drawing is never held whole in memory when it goes to a file.
class GroupWriter {
 public:
  static constexpr std::size_t kChunk = std::size_t{1} << 20;

  explicit GroupWriter(AtomicFile* file) : file_(file) { text_.reserve(kChunk + 4096); }

  void Text(int code, std::string_view value) {
    Code(code);
    text_.append(value);
    text_.append(kEol);
  }
  void Int(int code, long long value) {
    Code(code);
    char buffer[32];
    const auto r = std::to_chars(buffer, buffer + sizeof buffer, value);
    text_.append(buffer, r.ptr);
    text_.append(kEol);
  }
  void Number(int code, double value) {
    Code(code);
    char buffer[64];
    text_.append(buffer, FormatDxfFixed(value, buffer));
    text_.append(kEol);
    if (file_ != nullptr && text_.size() >= kChunk) Flush();
  }
  // General format, up to 15 significant digits ("10000000000", "12.5").
  void General(int code, double value) {
    Code(code);
    char buffer[64];
    const auto r =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 15);
    text_.append(buffer, r.ptr);
    text_.append(kEol);
  }

  void Flush() {
    if (file_ != nullptr) {
      file_->Write(text_);
      text_.clear();
    }
  }
  std::string& text() { return text_; }

 private:
  void Code(int code) {
    char buffer[16];
    const auto r = std::to_chars(buffer, buffer + sizeof buffer, code);
    text_.append(buffer, r.ptr);
    text_.append(kEol);
  }

  AtomicFile* file_;
  std::string text_;
};

void Head(GroupWriter& w, std::string_view type, const DxfOutLayer& layer,
          const DxfEntityStyle& head) {
  w.Text(0, type);
  w.Text(8, layer.Name);
  w.Int(62, head.Colour);
  w.Text(6, head.Style == DxfLineStyle::Dotted ? "DOT" : "CONTINUOUS");
}

void Extrusion(GroupWriter& w, const DxfEntityStyle& head) {
  if (!head.HasExtrusion) return;
  w.Number(210, head.Extrusion[0]);
  w.Number(220, head.Extrusion[1]);
  w.Number(230, head.Extrusion[2]);
}

void WriteLines(GroupWriter& w, const DxfOutLayer& layer) {
  for (const DxfLine& l : layer.Lines) {
    Head(w, "LINE", layer, l.Head);
    w.Number(10, l.X1);
    w.Number(20, l.Y1);
    w.Number(30, l.Z1);
    w.Number(11, l.X2);
    w.Number(21, l.Y2);
    w.Number(31, l.Z2);
    Extrusion(w, l.Head);
  }
}

void WriteArcs(GroupWriter& w, const DxfOutLayer& layer) {
  for (const DxfArc& a : layer.Arcs) {
    Head(w, "ARC", layer, a.Head);
    w.Number(10, a.X);
    w.Number(20, a.Y);
    w.Number(30, a.Z);
    w.Number(40, a.Radius);
    const double start = a.StartAngle * kDegreesPerRadian;
    // Equal angles mean a full circle here; other readers take an ARC with
    // equal angles as empty, so the circle goes once round to start + 360.
    const double end = a.EndAngle == a.StartAngle ? start + 360.0 : a.EndAngle * kDegreesPerRadian;
    w.Number(50, start);
    w.Number(51, end);
    Extrusion(w, a.Head);
  }
}

void WriteAll(GroupWriter& w, const DxfOutObject& d) {
  w.Text(0, "SECTION");
  w.Text(2, "HEADER");
  w.Text(9, "$EXTMIN");
  w.General(10, d.ExtMin[0]);
  w.General(20, d.ExtMin[1]);
  w.General(30, d.ExtMin[2]);
  w.Text(9, "$EXTMAX");
  w.General(10, d.ExtMax[0]);
  w.General(20, d.ExtMax[1]);
  w.General(30, d.ExtMax[2]);
  w.Text(0, "ENDSEC");

  w.Text(0, "SECTION");
  w.Text(2, "TABLES");
  w.Text(0, "TABLE");
  w.Text(2, "VPORT");
  w.Text(0, "VPORT");
  w.Text(2, "*ACTIVE");
  w.Text(41, "    10");
  w.Text(0, "ENDTAB");
  w.Text(0, "TABLE");
  w.Text(2, "LAYER");
  for (auto it = d.Layers.rbegin(); it != d.Layers.rend(); ++it) {
    w.Text(0, "LAYER");
    w.Text(2, it->Name);
    w.Int(62, it->Colour);
  }
  w.Text(0, "ENDTAB");
  w.Text(0, "TABLE");
  w.Text(2, "LTYPE");
  w.Text(70, "   25");
  w.Text(0, "LTYPE");
  w.Text(2, "CONTINUOUS");
  w.Text(70, "   64");
  w.Text(3, "Solid line");
  w.Text(72, "   64");
  w.Text(73, "    0");
  w.Text(40, "0.000000");
  w.Text(0, "LTYPE");
  w.Text(2, "DOT");
  w.Text(70, "   64");
  w.Text(3, ". . . . . . . . . . . . . . . . . . . . . . . .");
  w.Text(72, "   65");
  w.Text(73, "    2");
  w.Text(40, "0.250000");
  w.Text(49, "0.000000");
  w.Text(49, "-.250000");
  w.Text(0, "ENDTAB");
  w.Text(0, "ENDSEC");

  w.Text(0, "SECTION");
  w.Text(2, "BLOCKS");
  w.Text(0, "ENDSEC");

  w.Text(0, "SECTION");
  w.Text(2, "ENTITIES");
  for (const DxfOutLayer& layer : d.Layers) {
    for (DxfEntityType type : layer.ListOrder) {
      if (type == DxfEntityType::Line)
        WriteLines(w, layer);
      else
        WriteArcs(w, layer);
    }
  }
  w.Text(0, "ENDSEC");
  w.Text(0, "EOF");
}

}  // namespace

std::string DxfText(const DxfOutObject& drawing) {
  GroupWriter w(nullptr);
  WriteAll(w, drawing);
  return std::move(w.text());
}

bool WriteDXF(const DxfOutObject& drawing, const std::filesystem::path& file) {
  if (drawing.Layers.empty()) return false;
  AtomicFile out(file);
  GroupWriter w(&out);
  WriteAll(w, drawing);
  w.Flush();
  out.Commit();
  return true;
}

}  // namespace tarnak
