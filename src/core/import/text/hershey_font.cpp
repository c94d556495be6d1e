#include "import/text/hershey_font.h"

#include <filesystem>
#include <fstream>
#include <utility>

namespace tarnak {

namespace {

struct HersheyFace {
  const char* Name;
  const char* File;
};

constexpr HersheyFace kFaces[] = {
    {"Hershey Roman Simplex", "rowmans.jhf"},  {"Hershey Roman Duplex", "rowmand.jhf"},
    {"Hershey Roman Triplex", "rowmant.jhf"},  {"Hershey Script Simplex", "scripts.jhf"},
    {"Hershey Script Complex", "scriptc.jhf"}, {"Hershey Futura Light", "futural.jhf"},
    {"Hershey Futura Medium", "futuram.jhf"},  {"Hershey Greek Simplex", "greeks.jhf"},
    {"Hershey Cursive", "cursive.jhf"},        {"Hershey Times Roman", "timesr.jhf"},
    {"Hershey Times Italic", "timesi.jhf"},    {"Hershey Gothic English", "gothiceng.jhf"},
};

constexpr char32_t kFirstCode = 32;

bool SameName(const std::string& a, const char* b) {
  size_t i = 0;
  for (; i < a.size() && b[i]; ++i) {
    const auto x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
    if ((x | 0x20) != (y | 0x20)) return false;
  }
  return i == a.size() && !b[i];
}

}  // namespace

std::unique_ptr<HersheyFont> HersheyFont::Read(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return nullptr;
  auto font = std::make_unique<HersheyFont>();
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.size() < 8) continue;
    int count = 0;
    try {
      count = std::stoi(line.substr(5, 3));
    } catch (...) {
      return nullptr;
    }
    // The pairs of a long glyph may go on over the next lines.
    std::string pairs = line.substr(8);
    while (static_cast<int>(pairs.size()) < 2 * count && std::getline(in, line)) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      pairs += line;
    }
    if (count < 1 || static_cast<int>(pairs.size()) < 2 * count) return nullptr;
    Glyph g;
    g.Left = pairs[0] - 'R';
    g.Right = pairs[1] - 'R';
    std::vector<std::pair<int, int>> current;
    for (int i = 1; i < count; ++i) {
      const char a = pairs[static_cast<size_t>(2 * i)], b = pairs[static_cast<size_t>(2 * i + 1)];
      if (a == ' ' && b == 'R') {  // pen up
        if (current.size() >= 2) g.Lines.push_back(std::move(current));
        current.clear();
        continue;
      }
      current.emplace_back(a - 'R', b - 'R');
    }
    if (current.size() >= 2) g.Lines.push_back(std::move(current));
    font->glyphs_.push_back(std::move(g));
  }
  if (font->glyphs_.empty()) return nullptr;
  return font;
}

const HersheyFont::Glyph* HersheyFont::Find(char32_t c) const {
  if (c < kFirstCode || c - kFirstCode >= glyphs_.size()) return nullptr;
  return &glyphs_[c - kFirstCode];
}

std::optional<TStrokeCollection> HersheyFont::Strokes(char32_t c) const {
  const Glyph* g = Find(c);
  if (!g || g->Lines.empty()) return std::nullopt;
  TStrokeCollection strokes;
  int contour = 0;
  for (const auto& polyline : g->Lines) {
    for (size_t i = 1; i < polyline.size(); ++i) {
      const auto [x1, y1] = polyline[i - 1];
      const auto [x2, y2] = polyline[i];
      strokes.Add(TStroke{contour, (x1 - g->Left) * kHersheyScale, (kHersheyBaseline - y1) * kHersheyScale,
                          (x2 - g->Left) * kHersheyScale, (kHersheyBaseline - y2) * kHersheyScale});
    }
    ++contour;
  }
  return strokes;
}

int32_t HersheyFont::Advance(char32_t c) const {
  const Glyph* g = Find(c);
  return g ? (g->Right - g->Left) * kHersheyScale : 0;
}

bool IsHersheyFace(const std::string& face) {
  return face.size() > 8 && SameName(face.substr(0, 8), "Hershey ");
}

std::vector<std::string> HersheyFaceNames() {
  std::vector<std::string> names;
  for (const HersheyFace& f : kFaces) {
    std::error_code ec;
    if (std::filesystem::exists(std::filesystem::path(kHersheyFolder) / f.File, ec))
      names.emplace_back(f.Name);
  }
  return names;
}

std::string HersheyFile(const std::string& face) {
  for (const HersheyFace& f : kFaces)
    if (SameName(face, f.Name)) return (std::filesystem::path(kHersheyFolder) / f.File).string();
  return {};
}

std::unique_ptr<HersheyFont> LoadHersheyFont(const std::string& face) {
  const std::string file = HersheyFile(face);
  return file.empty() ? nullptr : HersheyFont::Read(file);
}

}  // namespace tarnak
