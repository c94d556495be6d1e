#include "import/stl/stl_open.h"

#include <exception>
#include <filesystem>
#include <memory>

#include "import/stl/stl_reader.h"

namespace tarnak {

namespace {
constexpr const char* kReadErrorCaption = "STL Read Error";
constexpr const char* kErrorCaption = "Error";
}  // namespace

StlOpenResult LoadStlModel(const std::string& path, double stlDepth, TTNTriangleArray& triangles,
                           UserInterface& ui, const CancelToken& cancel) {
  StlOpenResult result;
  triangles.clear();
  ui.SetStatus("Loading " + std::filesystem::path(path).filename().string());

  bool read = false;
  try {
    std::unique_ptr<StlByteSource> source = OpenStlFileSource(path);
    result.Binary = IsBinaryStl(*source);
    const StlCancel progress{&ui, &cancel};
    read = result.Binary ? ReadBinaryStl(*source, path, triangles, progress)
                         : ReadTextStl(*source, path, triangles, progress);
  } catch (const StlReadError& e) {
    triangles.clear();
    ui.Message(e.what(), kReadErrorCaption, MsgButtons::Ok, MsgIcon::Warning);
    ui.SetStatus("Ready...");
    return result;
  } catch (const std::exception& e) {
    triangles.clear();
    ui.Message("\"" + path + "\": " + e.what(), kErrorCaption, MsgButtons::Ok, MsgIcon::Error);
    ui.SetStatus("Ready...");
    return result;
  }
  if (!read) {
    result.Status = StlOpenStatus::Cancelled;
    ui.SetStatus("Operation Cancelled...");
    return result;
  }

  // The model's top goes to -STLDepth.
  StlModelBox& box = result.Box;
  MeshBox(triangles, box);
  TranslateMesh(triangles, 0.0, 0.0, -box.MaxZ - stlDepth);
  box.MinZ = box.MinZ - box.MaxZ - stlDepth;
  box.MaxZ = 0.0 - stlDepth;  // +0, not -0, for a depth of 0
  box.MidZ = (box.MinZ + box.MaxZ) / 2.0;
  result.Status = StlOpenStatus::Loaded;
  ui.SetStatus("Ready...");
  return result;
}

}  // namespace tarnak
