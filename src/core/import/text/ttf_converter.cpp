#include "import/text/ttf_converter.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include FT_ADVANCES_H

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <stdexcept>
#include <unordered_map>

#include "import/text/glyph_loops.h"
#include "import/text/hershey_font.h"

namespace tarnak {

int TStrokeCollection::ContourCount() const {
  return strokes_.empty() ? 0 : strokes_.back().Contour + 1;
}

int TStrokeCollection::FirstStroke(int k) const {
  if (k < 0 || k >= ContourCount()) return -1;
  for (int i = 0; i < Count(); ++i)
    if (strokes_[static_cast<size_t>(i)].Contour == k) return i;
  return -1;
}

int TStrokeCollection::StrokeCount(int k) const {
  return static_cast<int>(
      std::count_if(strokes_.begin(), strokes_.end(), [k](const TStroke& s) { return s.Contour == k; }));
}

const TStroke& TStrokeCollection::Get(int i) const {
  if (i < 0 || i >= Count()) throw std::out_of_range("Error");
  return strokes_[static_cast<size_t>(i)];
}

void TStrokeCollection::Halve() {
  std::vector<TStroke> kept;
  kept.reserve(strokes_.size() / 2 + 1);
  const int contours = ContourCount();
  for (int k = 0; k < contours; ++k) {
    const int f = FirstStroke(k);
    if (f < 0) continue;
    const int s = StrokeCount(k);
    const int half = s / 2;
    // Strokes f + half ... f + 2*half - 1 go; an odd last one stays.
    for (int i = f; i < f + s; ++i)
      if (i < f + half || i >= f + 2 * half) kept.push_back(strokes_[static_cast<size_t>(i)]);
  }
  strokes_ = std::move(kept);
}

namespace {

// fontconfig's process-wide configuration, read once and released at exit
// (so that a leak checker sees nothing left behind).
bool FontconfigReady() {
  static const bool ready = [] {
    if (!FcInit()) return false;
    std::atexit(FcFini);
    return true;
  }();
  return ready;
}

// The slant given to a face that has no italic of its own (about 11 degrees,
// the usual synthetic oblique) and the extra stroke width of a synthetic bold
// as a part of the em.
constexpr double kSyntheticSlant = 0.2;
constexpr double kSyntheticBoldWidth = 1.0 / 24.0;

}  // namespace

struct TTTFToVectorConverter::Impl {
  FT_Library library = nullptr;
  FT_Face face = nullptr;
  bool loaded = false;  // the font was looked up (face may still be none)
  bool slant = false;
  bool embolden = false;
  double scale = 1.0;  // font units to units at size 1024
  std::string usedFace;
  std::string usedFile;
  std::unique_ptr<HersheyFont> hershey;

  // Glyphs read so far, for the font and precision in use.
  struct CachedGlyph {
    bool Loaded = false;  // an outline was read: Offset takes Advance
    int32_t Advance = 0;
    std::optional<TStrokeCollection> Strokes;
    std::shared_ptr<const GlyphLoops> Loops;  // made when first asked for
  };
  std::unordered_map<char32_t, CachedGlyph> cache;
  size_t cachedStrokes = 0;

  ~Impl() {
    if (face) FT_Done_Face(face);
    if (library) FT_Done_FreeType(library);
  }

  void ClearCache() {
    cache.clear();
    cachedStrokes = 0;
  }

  // The glyph of c, read and kept on first asking; sets the owner's Offset
  // when it had an outline.
  CachedGlyph& Kept(TTTFToVectorConverter& owner, char32_t c);

  void Reset() {
    if (face) FT_Done_Face(face);
    face = nullptr;
    hershey.reset();
    ClearCache();
    loaded = false;
    usedFace.clear();
    usedFile.clear();
  }

  void Load(const TextFont& font) {
    if (loaded) return;
    loaded = true;
    if (IsHersheyFace(font.Name)) {
      hershey = LoadHersheyFont(font.Name);
      if (hershey) {
        usedFace = font.Name;
        usedFile = HersheyFile(font.Name);
      }
      return;
    }
    if (!library && FT_Init_FreeType(&library) != 0) {
      library = nullptr;
      return;
    }
    if (!FontconfigReady()) return;
    FcConfig* config = FcConfigGetCurrent();
    FcPattern* pattern = FcPatternCreate();
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(font.Name.c_str()));
    FcPatternAddInteger(pattern, FC_WEIGHT, font.Bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pattern, FC_SLANT, font.Italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcPatternAddBool(pattern, FC_OUTLINE, FcTrue);
    FcConfigSubstitute(config, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(config, pattern, &result);
    FcPatternDestroy(pattern);
    if (match) {
      FcChar8* file = nullptr;
      int index = 0;
      int weight = FC_WEIGHT_REGULAR;
      int slantValue = FC_SLANT_ROMAN;
      FcChar8* family = nullptr;
      FcChar8* style = nullptr;
      FcPatternGetInteger(match, FC_INDEX, 0, &index);
      FcPatternGetInteger(match, FC_WEIGHT, 0, &weight);
      FcPatternGetInteger(match, FC_SLANT, 0, &slantValue);
      if (FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch &&
          FT_New_Face(library, reinterpret_cast<const char*>(file), index, &face) == 0) {
        if (!FT_IS_SCALABLE(face) || face->units_per_EM == 0) {
          FT_Done_Face(face);
          face = nullptr;
        } else {
          scale = static_cast<double>(kGlyphEmSize) / face->units_per_EM;
          usedFile = reinterpret_cast<const char*>(file);
          slant = font.Italic && slantValue == FC_SLANT_ROMAN;
          embolden = font.Bold && weight < FC_WEIGHT_DEMIBOLD;
          if (FcPatternGetString(match, FC_FAMILY, 0, &family) == FcResultMatch)
            usedFace = reinterpret_cast<const char*>(family);
          if (FcPatternGetString(match, FC_STYLE, 0, &style) == FcResultMatch)
            usedFace += std::string(" ") + reinterpret_cast<const char*>(style);
          if (slant) usedFace += " (slanted)";
          if (embolden) usedFace += " (emboldened)";
        }
      }
      FcPatternDestroy(match);
    }
  }

  // Loads the unscaled outline of c; false when c has none.
  bool LoadOutline(char32_t c) {
    if (!face) return false;
    const FT_UInt glyph = FT_Get_Char_Index(face, c);
    if (glyph == 0) return false;
    if (FT_Load_Glyph(face, glyph, FT_LOAD_NO_SCALE | FT_LOAD_NO_BITMAP) != 0) return false;
    if (face->glyph->format != FT_GLYPH_FORMAT_OUTLINE) return false;
    FT_Outline& outline = face->glyph->outline;
    if (outline.n_contours <= 0 || outline.n_points <= 0) return false;
    if (embolden) FT_Outline_Embolden(&outline, static_cast<FT_Pos>(face->units_per_EM * kSyntheticBoldWidth));
    if (slant) {
      FT_Matrix shear;
      shear.xx = 0x10000;
      shear.xy = static_cast<FT_Fixed>(kSyntheticSlant * 0x10000);
      shear.yx = 0;
      shear.yy = 0x10000;
      FT_Outline_Transform(&outline, &shear);
    }
    return true;
  }

  int32_t AdvanceOfLoaded() const {
    // The horizontal advance of the glyph as a 16-bit signed cell increment.
    const double a = std::nearbyint(static_cast<double>(face->glyph->metrics.horiAdvance) * scale);
    return static_cast<int16_t>(static_cast<int32_t>(a));
  }
};

namespace {

struct Flattener {
  TStrokeCollection* out = nullptr;
  int precision = kDefaultPrecision;
  double scale = 1.0;
  int contour = -1;
  double startX = 0.0, startY = 0.0;  // of the contour
  double curX = 0.0, curY = 0.0;

  static int32_t Round(double v) { return static_cast<int32_t>(std::nearbyint(v)); }

  void Stroke(double x1, double y1, double x2, double y2) {
    out->Add(TStroke{contour, Round(x1), Round(y1), Round(x2), Round(y2)});
  }
  void Close() {
    // The outline service closes each contour itself; a stroke back to the
    // start is added only when the contour did not end there.
    if (contour >= 0 && (Round(curX) != Round(startX) || Round(curY) != Round(startY)))
      Stroke(curX, curY, startX, startY);
  }
  void MoveTo(double x, double y) {
    Close();
    ++contour;
    startX = curX = x;
    startY = curY = y;
  }
  void LineTo(double x, double y) {
    Stroke(curX, curY, x, y);
    curX = x;
    curY = y;
  }
  // t = dt, 2 dt, ...; the last step lands exactly on 1.
  template <typename Point>
  void Flatten(Point point) {
    const double dt = 1.0 / precision;
    double px = curX, py = curY;
    for (double t = dt;; t += dt) {
      if (1.0 - dt < t - dt / 2.0) t = 1.0;
      double x = 0.0, y = 0.0;
      point(t, x, y);
      Stroke(px, py, x, y);
      px = x;
      py = y;
      if (t == 1.0) break;
    }
    curX = px;
    curY = py;
  }
  void ConicTo(double bx, double by, double cx, double cy) {
    const double ax = curX, ay = curY;
    Flatten([&](double t, double& x, double& y) {
      x = (ax - 2 * bx + cx) * t * t + 2 * (bx - ax) * t + ax;
      y = (ay - 2 * by + cy) * t * t + 2 * (by - ay) * t + ay;
    });
  }
  // A cubic segment is flattened as its two halves (split at t = 1/2),
  // each with Precision strokes: a cubic bends about as much as two
  // quadratic segments, and a quadratic-only outline service hands it out
  // as (at least) two of them, so CFF text keeps the accuracy of TrueType
  // text at the same Precision.
  void CubicTo(double bx, double by, double cx, double cy, double dx, double dy) {
    const double ax = curX, ay = curY;
    const double abx = (ax + bx) / 2, aby = (ay + by) / 2, bcx = (bx + cx) / 2, bcy = (by + cy) / 2;
    const double cdx = (cx + dx) / 2, cdy = (cy + dy) / 2;
    const double p1x = (abx + bcx) / 2, p1y = (aby + bcy) / 2, p2x = (bcx + cdx) / 2, p2y = (bcy + cdy) / 2;
    const double mx = (p1x + p2x) / 2, my = (p1y + p2y) / 2;
    CubicHalf(abx, aby, p1x, p1y, mx, my);
    CubicHalf(p2x, p2y, cdx, cdy, dx, dy);
  }
  void CubicHalf(double bx, double by, double cx, double cy, double dx, double dy) {
    const double ax = curX, ay = curY;
    Flatten([&](double t, double& x, double& y) {
      const double u = 1.0 - t;
      x = u * u * u * ax + 3 * u * u * t * bx + 3 * u * t * t * cx + t * t * t * dx;
      y = u * u * u * ay + 3 * u * u * t * by + 3 * u * t * t * cy + t * t * t * dy;
    });
  }
};

Flattener& F(void* user) { return *static_cast<Flattener*>(user); }
double S(void* user, FT_Pos v) { return static_cast<double>(v) * F(user).scale; }

int OnMove(const FT_Vector* to, void* user) {
  F(user).MoveTo(S(user, to->x), S(user, to->y));
  return 0;
}
int OnLine(const FT_Vector* to, void* user) {
  F(user).LineTo(S(user, to->x), S(user, to->y));
  return 0;
}
int OnConic(const FT_Vector* b, const FT_Vector* to, void* user) {
  F(user).ConicTo(S(user, b->x), S(user, b->y), S(user, to->x), S(user, to->y));
  return 0;
}
int OnCubic(const FT_Vector* b, const FT_Vector* c, const FT_Vector* to, void* user) {
  F(user).CubicTo(S(user, b->x), S(user, b->y), S(user, c->x), S(user, c->y), S(user, to->x),
                  S(user, to->y));
  return 0;
}

}  // namespace

TTTFToVectorConverter::TTTFToVectorConverter() : impl_(std::make_unique<Impl>()) {}
TTTFToVectorConverter::~TTTFToVectorConverter() = default;

void TTTFToVectorConverter::SetFont(const TextFont& font) {
  if (font.Name == font_.Name && font.Bold == font_.Bold && font.Italic == font_.Italic) return;
  font_ = font;
  impl_->Reset();
}

std::string TTTFToVectorConverter::UsedFace() {
  impl_->Load(font_);
  return impl_->usedFace;
}

std::string TTTFToVectorConverter::UsedFile() {
  impl_->Load(font_);
  return impl_->usedFile;
}

bool TTTFToVectorConverter::StrokeFont() {
  impl_->Load(font_);
  return impl_->hershey != nullptr;
}

std::u32string TTTFToVectorConverter::Characters(const std::string& text) const {
  std::u32string out;
  out.reserve(text.size());
  if (!UNICODE) {
    for (char c : text) out.push_back(static_cast<unsigned char>(c));
    return out;
  }
  // UTF-8; a byte that does not start a well-formed sequence stands for
  // itself (as an 8-bit code), so that no input is lost.
  const size_t n = text.size();
  for (size_t i = 0; i < n;) {
    const auto b = static_cast<unsigned char>(text[i]);
    int len = b < 0x80 ? 1 : (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : (b >> 3) == 30 ? 4 : 0;
    char32_t cp = len == 1 ? b : len == 2 ? (b & 0x1Fu) : len == 3 ? (b & 0x0Fu) : (b & 0x07u);
    bool ok = len > 0 && i + static_cast<size_t>(len) <= n;
    for (int k = 1; ok && k < len; ++k) {
      const auto c = static_cast<unsigned char>(text[i + static_cast<size_t>(k)]);
      if ((c >> 6) != 2) ok = false;
      cp = (cp << 6) | (c & 0x3Fu);
    }
    if (ok && len > 1 && (cp < (len == 2 ? 0x80u : len == 3 ? 0x800u : 0x10000u) || cp > 0x10FFFF))
      ok = false;
    if (!ok) {
      out.push_back(b);
      ++i;
    } else {
      out.push_back(cp);
      i += static_cast<size_t>(len);
    }
  }
  return out;
}

void TTTFToVectorConverter::SetPrecision(int32_t p) {
  if (p < 1 || p > 100 || p == precision_) return;
  precision_ = p;
  impl_->ClearCache();
}

std::optional<TStrokeCollection> TTTFToVectorConverter::ReadStrokes(char32_t c, bool& loaded,
                                                                    int32_t& advance) {
  loaded = false;
  advance = 0;
  impl_->Load(font_);
  if (impl_->hershey) {
    std::optional<TStrokeCollection> strokes = impl_->hershey->Strokes(c);
    if (strokes) {
      loaded = true;
      advance = impl_->hershey->Advance(c);
    }
    return strokes;
  }
  if (!impl_->LoadOutline(c)) return std::nullopt;
  loaded = true;
  advance = impl_->AdvanceOfLoaded();
  TStrokeCollection strokes;
  Flattener f;
  f.out = &strokes;
  f.precision = precision_;
  f.scale = impl_->scale;
  FT_Outline_Funcs funcs{};
  funcs.move_to = OnMove;
  funcs.line_to = OnLine;
  funcs.conic_to = OnConic;
  funcs.cubic_to = OnCubic;
  if (FT_Outline_Decompose(&impl_->face->glyph->outline, &funcs, &f) != 0) return std::nullopt;
  f.Close();
  if (strokes.Count() == 0) return std::nullopt;
  return strokes;
}

std::optional<TStrokeCollection> TTTFToVectorConverter::Strokes(char32_t c) {
  bool loaded = false;
  int32_t advance = 0;
  std::optional<TStrokeCollection> strokes = ReadStrokes(c, loaded, advance);
  if (loaded) Offset = advance;
  return strokes;
}

TTTFToVectorConverter::Impl::CachedGlyph& TTTFToVectorConverter::Impl::Kept(TTTFToVectorConverter& owner,
                                                                           char32_t c) {
  // A bound on the memory kept (some 20 MB of strokes): a text of thousands
  // of different ideographs at the finest precision starts afresh now and
  // then instead of growing without end.
  constexpr size_t kMaxCachedStrokes = size_t{1} << 20;
  auto it = cache.find(c);
  if (it == cache.end()) {
    CachedGlyph g;
    g.Strokes = owner.ReadStrokes(c, g.Loaded, g.Advance);
    const size_t count = g.Strokes ? g.Strokes->Strokes().size() : 0;
    if (cachedStrokes + count > kMaxCachedStrokes) ClearCache();
    cachedStrokes += count;
    it = cache.emplace(c, std::move(g)).first;
  }
  CachedGlyph& g = it->second;
  if (g.Loaded) owner.Offset = g.Advance;
  return g;
}

const TStrokeCollection* TTTFToVectorConverter::CachedStrokes(char32_t c) {
  const Impl::CachedGlyph& g = impl_->Kept(*this, c);
  return g.Strokes ? &*g.Strokes : nullptr;
}

std::shared_ptr<const GlyphLoops> TTTFToVectorConverter::CachedLoops(char32_t c) {
  Impl::CachedGlyph& g = impl_->Kept(*this, c);
  if (!g.Strokes) return nullptr;
  if (!g.Loops) g.Loops = std::make_shared<const GlyphLoops>(MakeGlyphLoops(*g.Strokes));
  return g.Loops;
}

int32_t TTTFToVectorConverter::Advance(char32_t c) {
  impl_->Load(font_);
  if (impl_->hershey) return impl_->hershey->Strokes(c) ? impl_->hershey->Advance(c) : 0;
  if (!impl_->LoadOutline(c)) return 0;
  return impl_->AdvanceOfLoaded();
}

std::vector<std::string> InstalledFaceNames() {
  std::vector<std::string> names;
  if (FontconfigReady()) {
    FcConfig* config = FcConfigGetCurrent();
    FcPattern* pattern = FcPatternCreate();
    FcPatternAddBool(pattern, FC_OUTLINE, FcTrue);
    FcObjectSet* objects = FcObjectSetBuild(FC_FAMILY, nullptr);
    if (FcFontSet* set = FcFontList(config, pattern, objects)) {
      for (int i = 0; i < set->nfont; ++i) {
        FcChar8* family = nullptr;
        if (FcPatternGetString(set->fonts[i], FC_FAMILY, 0, &family) == FcResultMatch)
          names.emplace_back(reinterpret_cast<const char*>(family));
      }
      FcFontSetDestroy(set);
    }
    FcObjectSetDestroy(objects);
    FcPatternDestroy(pattern);
  }
  for (const std::string& h : HersheyFaceNames()) names.push_back(h);
  std::sort(names.begin(), names.end());
  names.erase(std::unique(names.begin(), names.end()), names.end());
  return names;
}

}  // namespace tarnak
