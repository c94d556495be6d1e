// STL models: every corpus file against admesh, the reading edge cases,
// and the per-triangle invariants after every transform.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "import/stl/stl_mesh.h"
#include "import/stl/stl_open.h"
#include "import/stl/stl_reader.h"
#include "test_ui.h"

namespace tarnak {
namespace {

namespace fs = std::filesystem;
using testing::TestUserInterface;

fs::path TempDir() {
  const fs::path dir = fs::temp_directory_path() / ("tarnak-stl-test-" + std::to_string(::getpid()));
  fs::create_directories(dir);
  return dir;
}

fs::path WriteFile(const std::string& name, const std::string& bytes) {
  const fs::path p = TempDir() / name;
  std::ofstream(p, std::ios::binary) << bytes;
  return p;
}

// What admesh says about a file: facet count, box and form; Read is false
// when it refuses the file.
struct Admesh {
  bool Read = false;
  bool Binary = false;
  long Facets = 0;
  double Box[6] = {};  // MinX MaxX MinY MaxY MinZ MaxZ
};

Admesh RunAdmesh(const fs::path& file) {
  Admesh a;
  const std::string cmd = "admesh --no-check '" + file.string() + "' 2>&1";
  FILE* p = ::popen(cmd.c_str(), "r");
  if (!p) return a;
  std::string out;
  char buf[4096];
  for (size_t n; (n = fread(buf, 1, sizeof buf, p)) > 0;) out.append(buf, n);
  ::pclose(p);
  std::istringstream in(out);
  bool facets = false;
  for (std::string line; std::getline(in, line);) {
    char axis = 0;
    double lo = 0, hi = 0;
    long count = 0;
    if (std::sscanf(line.c_str(), "Min %c = %lf, Max %*c = %lf", &axis, &lo, &hi) == 3 &&
        axis >= 'X' && axis <= 'Z') {
      a.Box[2 * (axis - 'X')] = lo;
      a.Box[2 * (axis - 'X') + 1] = hi;
    } else if (std::sscanf(line.c_str(), "Number of facets : %ld", &count) == 1) {
      a.Facets = count;
      facets = true;
    } else if (line.rfind("File type", 0) == 0) {
      a.Binary = line.find("Binary") != std::string::npos;
    }
  }
  a.Read = facets && a.Facets > 0;
  return a;
}

bool AdmeshInstalled() { return std::system("admesh --version >/dev/null 2>&1") == 0; }

void ExpectInvariants(const TTNTriangleArray& tris, const std::string& where) {
  size_t bad = 0;
  for (const TTNTriangle& t : tris) {
    // MaxZ may be held at the stock top (0), and MinZ with it.
    const bool top = t.MaxZ == t.V2.Z || (t.V2.Z > 0.0f && t.MaxZ == 0.0f);
    const bool ok = t.V0.Z <= t.V1.Z && t.V1.Z <= t.V2.Z && t.MinZ <= t.MaxZ && top &&
                    t.MinZ == std::min(t.V0.Z, t.MaxZ);
    if (!ok) ++bad;
  }
  EXPECT_EQ(bad, 0u) << where << ": triangles with unsorted vertices or a wrong Z range";
}

StlModelBox BoxOf(const TTNTriangleArray& tris) {
  StlModelBox b;
  MeshBox(tris, b);
  return b;
}

void ExpectBoxNear(const StlModelBox& b, const double want[6], double tol, const std::string& where) {
  const double got[6] = {b.MinX, b.MaxX, b.MinY, b.MaxY, b.MinZ, b.MaxZ};
  for (int i = 0; i < 6; ++i)
    EXPECT_NEAR(got[i], want[i], tol * std::max(1.0, std::fabs(want[i]))) << where << " box[" << i << "]";
}

// admesh refuses a text file holding more than one solid; it reads each
// of them alone, and the model is their union.
Admesh AdmeshPerSolid(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  Admesh sum;
  size_t start = 0;
  int part = 0;
  for (size_t end; (end = all.find("endsolid", start)) != std::string::npos;) {
    end = all.find('\n', end);
    end = end == std::string::npos ? all.size() : end + 1;
    const Admesh one = RunAdmesh(WriteFile("solid" + std::to_string(part) + ".stl",
                                           all.substr(start, end - start)));
    if (!one.Read) return {};
    for (int i = 0; i < 6; ++i)
      sum.Box[i] = part == 0 ? one.Box[i]
                             : (i % 2 == 0 ? std::min(sum.Box[i], one.Box[i])
                                           : std::max(sum.Box[i], one.Box[i]));
    sum.Facets += one.Facets;
    ++part;
    start = end;
  }
  sum.Read = part > 1;
  return sum;
}

TEST(StlCorpus, EveryFileLoadsAsAdmeshReadsItOrIsRefusedByName) {
  ASSERT_TRUE(AdmeshInstalled()) << "admesh is missing: run scripts/bootstrap.sh";
  const fs::path folder = fs::path(TARNAK_CORPUS_DIR) / "stl";
  int files = 0, agreed = 0;
  for (const auto& entry : fs::directory_iterator(folder)) {
    const fs::path file = entry.path();
    const std::string where = file.filename().string();
    ++files;
    Admesh oracle = RunAdmesh(file);
    if (!oracle.Read) oracle = AdmeshPerSolid(file);

    TestUserInterface ui;
    CancelToken abort;
    TTNTriangleArray tris;
    const double depth = 2.5;
    const StlOpenResult r = LoadStlModel(file.string(), depth, tris, ui, abort);
    EXPECT_EQ(ui.LastStatus(), "Ready...") << where;
    if (r.Status != StlOpenStatus::Loaded) {
      // Refusing is only right where admesh refuses too.
      EXPECT_FALSE(oracle.Read) << where << " is read by admesh but refused here";
      ASSERT_EQ(ui.Messages.size(), 1u) << where;
      EXPECT_NE(ui.Messages[0].Text.find(file.string()), std::string::npos)
          << where << ": " << ui.Messages[0].Text;
      EXPECT_TRUE(tris.empty()) << where;
      continue;
    }
    EXPECT_TRUE(ui.Messages.empty()) << where << ": " << ui.Messages[0].Text;
    ASSERT_TRUE(oracle.Read) << where << " is loaded here but admesh refuses it";
    EXPECT_EQ(static_cast<long>(tris.size()), oracle.Facets) << where;
    EXPECT_EQ(r.Binary, oracle.Binary) << where;
    ExpectInvariants(tris, where);
    // Placed with its top at -depth: admesh's box moved by the same amount.
    const double dz = -oracle.Box[5] - depth;
    const double placed[6] = {oracle.Box[0], oracle.Box[1], oracle.Box[2],
                              oracle.Box[3], oracle.Box[4] + dz, -depth};
    ExpectBoxNear(BoxOf(tris), placed, 2e-6, where);
    ExpectBoxNear(r.Box, placed, 2e-6, where + " (result)");
    EXPECT_NEAR(r.Box.MidZ, (placed[4] + placed[5]) / 2, 1e-5) << where;
    ++agreed;
  }
  EXPECT_GE(files, 15);
  EXPECT_GE(agreed, 12) << "most corpus models should load";
}

// ------------------------------------------------------------ edge cases

using Facet = std::array<float, 12>;  // normal, three vertices

std::string Binary(std::string header, uint32_t count, const std::vector<Facet>& facets) {
  header.resize(80, ' ');
  std::string s = header;
  s.append(reinterpret_cast<const char*>(&count), 4);
  for (const Facet& f : facets) {
    s.append(reinterpret_cast<const char*>(f.data()), 48);
    s.append(2, '\0');
  }
  return s;
}

const std::vector<Facet> kTwo = {
    Facet{0, 0, 1, 0, 0, 5, 1, 0, 2, 0, 1, 3},
    Facet{0, 0, -1, 0, 0, 1, 4, 0, 1, 0, 6, -1},
};
const double kTwoBox[6] = {0, 4, 0, 6, -1, 5};

const std::string kTextTwo =
    "solid t\n"
    "facet normal 0 0 1\n outer loop\n  vertex 0 0 5\n  vertex 1 0 2\n  vertex 0 1 3\n"
    " endloop\nendfacet\n"
    "FACET NORMAL 0 0 -1\n OUTER LOOP\n  VERTEX 0 0 1\n  VERTEX 4 0 1\n  VERTEX 0 6 -1\n"
    " ENDLOOP\nENDFACET\nendsolid t\n";

TEST(StlReader, EdgeCases) {
  struct Case {
    std::string Name;
    std::string Bytes;
    bool Binary;                    // what the detection must say
    long Triangles;                 // 0: refused
    std::string Message;            // refused: a part of the message beyond the file name
    std::function<void(const TTNTriangleArray&)> Check;
  };
  const std::string nan = [] {
    std::vector<Facet> f = kTwo;
    f[1][7] = std::nanf("");
    return Binary("nan", 2, f);
  }();
  const std::vector<Case> cases = {
      {"text.stl", kTextTwo, false, 2, "",
       [](const TTNTriangleArray& t) {
         ExpectBoxNear(BoxOf(t), kTwoBox, 0, "text");
         EXPECT_EQ(t[1].NormalZ, -1.0f);
       }},
      {"binary.stl", Binary("part", 2, kTwo), true, 2, "",
       [](const TTNTriangleArray& t) { ExpectBoxNear(BoxOf(t), kTwoBox, 0, "binary"); }},
      // The count field lies; facets are read to the end of the file.
      {"count-lies.stl", Binary("part", 7, kTwo), true, 2, "", nullptr},
      {"count-zero-short-tail.stl", Binary("part", 0, kTwo) + "xx", true, 2, "", nullptr},
      // A header that reads like text, but the size fits the count exactly.
      {"header-facet-normal.stl", Binary("solid x facet normal 0 0 1", 2, kTwo), true, 2, "",
       [](const TTNTriangleArray& t) { ExpectBoxNear(BoxOf(t), kTwoBox, 0, "header"); }},
      // Without the exact size the first-lines test decides: text, no facet.
      {"header-facet-normal-count-lies.stl", Binary("solid x facet normal 0 0 1", 9, kTwo), false,
       0, "No facets", nullptr},
      // Five lines without "facet normal": read as binary, whatever that gives.
      {"long-header.stl", "solid a\n\n\n\n\n" + kTextTwo.substr(8), true, -1, "", nullptr},
      // The second facet names only its first two vertices: the third is
      // the previous facet's third.
      {"missing-vertex.stl",
       "solid m\nfacet normal 0 0 1\nouter loop\nvertex 0 0 5\nvertex 1 0 2\nvertex 0 1 3\n"
       "endloop\nendfacet\nfacet normal 0 0 1\nouter loop\nvertex 7 7 9\nvertex 8 7 9\nendloop\n"
       "endfacet\nendsolid\n",
       false, 2, "",
       [](const TTNTriangleArray& t) {
         EXPECT_EQ(t[1].V0.X, 0.0f);
         EXPECT_EQ(t[1].V0.Y, 1.0f);
         EXPECT_EQ(t[1].V0.Z, 3.0f);
         EXPECT_EQ(t[1].MaxZ, 9.0f);
       }},
      {"comma.stl",
       "solid c\r\nfacet normal 0 0 1\r\nouter loop\r\nvertex 0 0 0\r\nvertex 1,5 0 0\r\n", false,
       0, "Line 5 ", nullptr},
      {"inf-vertex.stl", "solid c\n facet normal 0 0 1\n outer loop\n vertex 0 0 1e39\n", false, 0,
       "Line 4 ", nullptr},
      {"nan-binary.stl", nan, true, 0, "Facet 2 ", nullptr},
      {"empty.stl", "", true, 0, "No facets", nullptr},
      {"faceless.stl", "solid e\nfacet normal 0 0 1\nendsolid e\n", false, 0, "No facets", nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    const fs::path file = WriteFile(c.Name, c.Bytes);
    {
      auto src = StlMemorySource(c.Bytes);
      EXPECT_EQ(IsBinaryStl(*src), c.Binary);
    }
    TestUserInterface ui;
    CancelToken abort;
    TTNTriangleArray tris;
    const StlOpenResult r = LoadStlModel(file.string(), 0.0, tris, ui, abort);
    EXPECT_EQ(ui.LastStatus(), "Ready...");
    if (c.Triangles < 0) {  // either way, but never a silent mess
      if (r.Status == StlOpenStatus::Loaded) {
        ExpectInvariants(tris, c.Name);
      } else {
        ASSERT_EQ(ui.Messages.size(), 1u);
        EXPECT_NE(ui.Messages[0].Text.find(file.string()), std::string::npos);
      }
      continue;
    }
    if (c.Triangles == 0) {
      EXPECT_EQ(r.Status, StlOpenStatus::Failed);
      EXPECT_TRUE(tris.empty());
      ASSERT_EQ(ui.Messages.size(), 1u);
      EXPECT_NE(ui.Messages[0].Text.find(file.string()), std::string::npos) << ui.Messages[0].Text;
      EXPECT_NE(ui.Messages[0].Text.find(c.Message), std::string::npos) << ui.Messages[0].Text;
      continue;
    }
    ASSERT_EQ(r.Status, StlOpenStatus::Loaded);
    EXPECT_EQ(r.Binary, c.Binary);
    EXPECT_TRUE(ui.Messages.empty());
    ASSERT_EQ(static_cast<long>(tris.size()), c.Triangles);
    ExpectInvariants(tris, c.Name);
    // STLDepth 0: the top at 0, the bottom at minus the model's height.
    auto src = StlMemorySource(c.Bytes);
    TTNTriangleArray raw;
    c.Binary ? ReadBinaryStl(*src, c.Name, raw) : ReadTextStl(*src, c.Name, raw);
    const StlModelBox b = BoxOf(raw);
    EXPECT_EQ(r.Box.MaxZ, 0.0);
    EXPECT_DOUBLE_EQ(r.Box.MinZ, -(b.MaxZ - b.MinZ));
    EXPECT_EQ(BoxOf(tris).MaxZ, 0.0);
    if (c.Check) c.Check(raw);
  }
}

TEST(StlReader, EscapeStopsTheReadingAboutTwentyTimesPerFile) {
  std::vector<Facet> many(2000, kTwo[0]);
  const fs::path file = WriteFile("many.stl", Binary("many", 2000, many));
  for (int pressAt : {0, 5}) {
    TestUserInterface ui;
    CancelToken abort;
    ui.OnProcessEvents = [&](int n) {
      if (pressAt > 0 && n == pressAt) abort.Stop();
    };
    abort.Attach(&ui);
    TTNTriangleArray tris;
    const StlOpenResult r = LoadStlModel(file.string(), 0.0, tris, ui, abort);
    if (pressAt == 0) {
      EXPECT_EQ(r.Status, StlOpenStatus::Loaded);
      EXPECT_GE(ui.EventsProcessed, 18);
      EXPECT_LE(ui.EventsProcessed, 21);
    } else {
      EXPECT_EQ(r.Status, StlOpenStatus::Cancelled);
      EXPECT_TRUE(tris.empty());
      EXPECT_EQ(ui.EventsProcessed, pressAt);
      EXPECT_EQ(ui.LastStatus(), "Operation Cancelled...");
    }
  }
  TestUserInterface ui;
  CancelToken abort;
  TTNTriangleArray tris;
  EXPECT_EQ(LoadStlModel((TempDir() / "missing.stl").string(), 0, tris, ui, abort).Status,
            StlOpenStatus::Failed);
  ASSERT_EQ(ui.Messages.size(), 1u);
  EXPECT_NE(ui.Messages[0].Text.find("missing.stl"), std::string::npos);
}

// ------------------------------------------------------------ transforms

TEST(StlMesh, TransformsKeepTheInvariantsAndMoveTheBoxAsExpected) {
  auto src = OpenStlFileSource(std::string(TARNAK_CORPUS_DIR) + "/stl/stl-models_gearwheel.bin.stl");
  TTNTriangleArray model;
  ASSERT_TRUE(ReadBinaryStl(*src, "gearwheel", model));
  const StlModelBox b = BoxOf(model);
  auto same = [](const TTNTriangleArray& x, const TTNTriangleArray& y) {
    return x.size() == y.size() && std::memcmp(x.data(), y.data(), x.size() * sizeof x[0]) == 0;
  };
  struct Case {
    std::string Name;
    std::function<void(TTNTriangleArray&)> Apply;
    std::array<double, 6> Box;  // expected MinX MaxX MinY MaxY MinZ MaxZ
    bool Unchanged;
  };
  const double c = 2 * (b.MidZ + b.MaxZ);
  const std::vector<Case> cases = {
      {"scale 1", [](TTNTriangleArray& t) { ScaleMesh(t, 0, 0, 0, 1); },
       {b.MinX, b.MaxX, b.MinY, b.MaxY, b.MinZ, b.MaxZ}, true},
      {"scale 0", [](TTNTriangleArray& t) { ScaleMesh(t, 0, 0, 0, 0); },
       {b.MinX, b.MaxX, b.MinY, b.MaxY, b.MinZ, b.MaxZ}, true},
      {"translate 0", [](TTNTriangleArray& t) { TranslateMesh(t, 0, 0, 0); },
       {b.MinX, b.MaxX, b.MinY, b.MaxY, b.MinZ, b.MaxZ}, true},
      {"scale -1", [](TTNTriangleArray& t) { ScaleMesh(t, 0, 0, 0, -1); },
       {-b.MaxX, -b.MinX, -b.MaxY, -b.MinY, -b.MaxZ, -b.MinZ}, false},
      {"scale 2 about (1,1,1)", [](TTNTriangleArray& t) { ScaleMesh(t, 1, 1, 1, 2); },
       {2 * b.MinX - 1, 2 * b.MaxX - 1, 2 * b.MinY - 1, 2 * b.MaxY - 1, 2 * b.MinZ - 1,
        2 * b.MaxZ - 1},
       false},
      {"flip", [c](TTNTriangleArray& t) { FlipMesh(t, c); },
       {b.MinX, b.MaxX, b.MinY, b.MaxY, c - b.MaxZ, c - b.MinZ}, false},
      {"rotate X 90", [](TTNTriangleArray& t) { RotateMesh(t, 0, 0, 0, std::acos(0.0)); },
       {b.MinX, b.MaxX, -b.MaxZ, -b.MinZ, b.MinY, b.MaxY}, false},
      {"rotate Y 90", [](TTNTriangleArray& t) { RotateMesh(t, 1, 0, 0, std::acos(0.0)); },
       {-b.MaxZ, -b.MinZ, b.MinY, b.MaxY, b.MinX, b.MaxX}, false},
      {"rotate Z 180 about (1,0)",
       [](TTNTriangleArray& t) { RotateMesh(t, 2, 1, 0, 2 * std::acos(0.0)); },
       {2 - b.MaxX, 2 - b.MinX, -b.MaxY, -b.MinY, b.MinZ, b.MaxZ}, false},
      // Moved up by 5: the Z ranges are held at the stock top, MinZ <= MaxZ.
      {"translate up", [](TTNTriangleArray& t) { TranslateMesh(t, 1, -2, 5); },
       {b.MinX + 1, b.MaxX + 1, b.MinY - 2, b.MaxY - 2, b.MinZ + 5, b.MaxZ + 5}, false},
  };
  for (const Case& k : cases) {
    TTNTriangleArray t = model;
    k.Apply(t);
    ExpectInvariants(t, k.Name);
    if (k.Unchanged) {
      EXPECT_TRUE(same(t, model)) << k.Name;
    }
    ExpectBoxNear(BoxOf(t), k.Box.data(), 1e-5, k.Name);
  }
  // The move window's Apply with only a new Top: straight down, so that
  // the highest point is at that Z; MidZ by the model commands' rule.
  {
    TTNTriangleArray t = model;
    StlModelBox extents = b;
    ApplyStlMove(t, StlMoveRequest{b.MinX, b.MinY, -3.0, 0.0, 2, 0.0}, extents);
    ExpectInvariants(t, "apply top");
    const double want[6] = {b.MinX, b.MaxX, b.MinY, b.MaxY, b.MinZ - b.MaxZ - 3.0, -3.0};
    ExpectBoxNear(BoxOf(t), want, 1e-6, "apply top");
    ExpectBoxNear(extents, want, 1e-12, "apply top extents");
    EXPECT_DOUBLE_EQ(extents.MidZ, (want[4] + want[5]) / 2 - 3.0);
    EXPECT_EQ(t[7].V1.X, model[7].V1.X);
  }
  // Slicing order: ascending MinZ.
  TTNTriangleArray sorted = model;
  const CancelToken never;
  SortByMinZ(sorted, 0, static_cast<std::ptrdiff_t>(sorted.size()) - 1, never);
  EXPECT_TRUE(std::is_sorted(sorted.begin(), sorted.end(),
                             [](const TTNTriangle& x, const TTNTriangle& y) { return x.MinZ < y.MinZ; }));
}

}  // namespace
}  // namespace tarnak
