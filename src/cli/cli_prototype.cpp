// The prototype verb reads the model as the open command does (top at
// -STLDepth, the stock box from the model's box), then fills the dialog's
// fields as the window would: the preset, each --set by its preset key,
// the directions, the male flag and the margin; a new diameter without a
// step of its own gets the dialog's proposals (steps from StlOverlap, the
// finish diameter, the stock). FillPrototypeParams then checks and fills
// the parameters exactly as the dialog's OK button does.
//
// The JSON holds every pass with its points in machine Z, and the gouge
// measured after the run (null when it was not measured).
#include "cli_prototype.h"

#include <exception>
#include <filesystem>
#include <string>

#include "base/atomic_file.h"
#include "base/options.h"
#include "base/settings_folder.h"
#include "cli_commands.h"
#include "cli_ui.h"
#include "import/stl/stl_open.h"
#include "json_writer.h"
#include "post/posts_file.h"
#include "shell/document.h"
#include "shell/prototype_command.h"
#include "shell/save_command.h"
#include "toolpaths/raster/prototype_fields.h"

namespace tarnak::cli {

namespace {

struct PrototypeArgs {
  std::string Model;
  std::string Preset;
  std::vector<std::string> Sets;
  std::string Margin;
  std::string RoughDir;   // x, y
  std::string FinishDir;  // x, y, none
  int Male = -1;          // -1: as the fields say
  std::string Json;
  std::string Output;
  std::string Post;
};

std::string Parse(const std::vector<std::string>& a, PrototypeArgs& out) {
  for (std::size_t i = 0; i < a.size(); ++i) {
    const std::string& s = a[i];
    const auto value = [&](std::string& v) {
      if (i + 1 >= a.size()) return false;
      v = a[++i];
      return !v.empty();
    };
    if (s == "--preset") {
      if (!value(out.Preset)) return "--preset needs a name";
    } else if (s == "--set") {
      std::string v;
      if (!value(v) || v.find('=') == std::string::npos) return "--set needs KEY=VALUE";
      out.Sets.push_back(v);
    } else if (s == "--margin") {
      if (!value(out.Margin)) return "--margin needs a number";
    } else if (s == "--rough-dir") {
      if (!value(out.RoughDir) || (out.RoughDir != "x" && out.RoughDir != "y"))
        return "--rough-dir needs x or y";
    } else if (s == "--finish-dir") {
      if (!value(out.FinishDir) || (out.FinishDir != "x" && out.FinishDir != "y" && out.FinishDir != "none"))
        return "--finish-dir needs x, y or none";
    } else if (s == "--male" || s == "--female") {
      out.Male = s == "--male" ? 1 : 0;
    } else if (s == "--json") {
      if (!value(out.Json)) return "--json needs a file name or -";
    } else if (s == "-o") {
      if (!value(out.Output)) return "-o needs a file name";
    } else if (s == "--post") {
      if (!value(out.Post)) return "--post needs a name";
    } else if (s.size() > 1 && s[0] == '-') {
      return "unknown option '" + s + "'";
    } else if (out.Model.empty()) {
      out.Model = s;
    } else {
      return "more than one model given ('" + s + "')";
    }
  }
  if (out.Model.empty()) return "no model given";
  if (out.Output.empty() && !out.Post.empty()) return "--post goes with -o";
  return {};
}

std::filesystem::path SettingsOrEmpty() {
  try {
    return SettingsFolder(ExecutablePath());
  } catch (const std::exception&) {
    return {};
  }
}

bool SetKey(const std::vector<std::string>& sets, const char* key) {
  const std::string prefix = std::string(key) + "=";
  for (const std::string& s : sets)
    if (s.compare(0, prefix.size(), prefix) == 0) return true;
  return false;
}

// The dialog's fields for this run; false with the reason written.
bool Fields(const PrototypeArgs& a, const std::filesystem::path& settings, Document& doc,
            PrototypeDialogFields& f, std::ostream& err) {
  try {
    if (!a.Preset.empty()) {
      const std::filesystem::path file = settings / kPresetFileName;
      if (!settings.empty())
        EnsureSettingsFile(settings, ShippedDataFolder(ExecutablePath()), kPresetFileName);
      if (settings.empty() || LoadPrototypePreset(file, a.Preset, f) != PresetLoad::Loaded) {
        err << "tarnak-cli: no preset '" << a.Preset << "' in " << file.string() << '\n';
        return false;
      }
    }
    for (const std::string& set : a.Sets) ApplyPrototypeSetting(set, f);
  } catch (const std::exception& e) {
    err << "tarnak-cli: " << e.what() << '\n';
    return false;
  }
  const double overlap = doc.Options.Program.StlOverlap;
  if (SetKey(a.Sets, "RoughDiameter") && !SetKey(a.Sets, "RoughStepXY")) {
    const PrototypeDialogFields before = f;
    RoughDiameterChanged(f, overlap);
    // What was given explicitly stays as given.
    if (SetKey(a.Sets, "FinishDiameter")) {
      f.Tools.FinishDiameter = before.Tools.FinishDiameter;
      FinishDiameterChanged(f, overlap);
    }
    if (SetKey(a.Sets, "FinishStepXY")) {
      f.Tools.FinishStepXY = before.Tools.FinishStepXY;
      f.Tools.FinishStepY = before.Tools.FinishStepY;
    }
    if (SetKey(a.Sets, "StockToLeave")) f.Tools.StockToLeave = before.Tools.StockToLeave;
  } else if (SetKey(a.Sets, "FinishDiameter") && !SetKey(a.Sets, "FinishStepXY")) {
    FinishDiameterChanged(f, overlap);
  }
  if (!a.RoughDir.empty()) f.RoughDir = a.RoughDir == "y" ? kRoughDirY : kRoughDirX;
  if (!a.FinishDir.empty())
    f.FinishDir = a.FinishDir == "x" ? kFinishDirX : a.FinishDir == "y" ? kFinishDirY : kFinishDirNone;
  if (a.Male >= 0) f.Male = a.Male == 1;
  ShowStockBox(doc.MachiningParams, f);
  if (!a.Margin.empty()) {
    f.Margin = a.Margin;
    if (!ApplyMargin(doc.DrawingExtents, f)) {
      err << "tarnak-cli: --margin needs a number, not '" << a.Margin << "'\n";
      return false;
    }
  }
  return true;
}

std::string PassesJson(const Document& doc, const PrototypeResult& r, const std::string& status) {
  std::string json = "{\"status\": " + JsonString(status) + ", \"gouge\": ";
  json += r.GougeMeasured ? JsonNumber(r.GougeDepth) : "null";
  if (r.GougeMeasured && r.GougeDepth > 0.0)
    json += ", \"gouge_at\": {\"x\": " + JsonNumber(r.GougeX) + ", \"y\": " + JsonNumber(r.GougeY) +
            ", \"z\": " + JsonNumber(r.GougeZ) + ", \"pass\": " + std::to_string(r.GougePass) + "}";
  json += ", \"grid_reused\": ";
  json += r.GridReused ? "true" : "false";
  json += ", \"passes\": [";
  for (std::size_t i = 0; i < doc.Toolpaths3D.size(); ++i) {
    const TTNOutRegion3D& p = doc.Toolpaths3D[i];
    json += i ? ",\n" : "\n";
    json += "{\"index\": " + std::to_string(i) + ", \"z\": " + JsonNumber(p.Level) +
            ", \"tool\": " + std::to_string(p.ToolNumber) + ", \"feed\": " + JsonNumber(p.Feed) +
            ", \"points\": [";
    for (std::size_t k = 0; k < p.Points.size(); ++k) {
      const TTNPoint3D& q = p.Points[k];
      if (k) json += ", ";
      json += std::string("{\"kind\": ") + (q.Kind == kPoint3DRapid ? "\"rapid\"" : "\"cut\"") +
              ", \"x\": " + JsonNumber(q.X) + ", \"y\": " + JsonNumber(q.Y) +
              ", \"z\": " + JsonNumber(q.Z) + "}";
    }
    json += "]}";
  }
  json += "]}\n";
  return json;
}

}  // namespace

int RunPrototype(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  PrototypeArgs a;
  if (const std::string problem = Parse(args, a); !problem.empty()) {
    err << "tarnak-cli: " << problem << '\n' << kPrototypeUsage;
    return 2;
  }
  CliUserInterface ui(err, MsgResult::Ok);
  Document doc(ui);
  InterruptWatch watch(doc.Cancel);
  const std::filesystem::path settings = SettingsOrEmpty();
  if (!settings.empty()) {
    std::error_code ec;
    if (std::filesystem::exists(OptionsFilePath(settings), ec))
      LoadOptions(doc.Options, OptionsFilePath(settings), ui);
  }
  if (!a.Output.empty()) {
    const std::string post = a.Post.empty() ? doc.Options.Program.Post : a.Post;
    try {
      std::filesystem::path postsFile;
      if (!settings.empty()) {
        EnsurePostsFile(settings, ShippedDataFolder(ExecutablePath()));
        postsFile = settings / kPostsFileName;
      }
      if (postsFile.empty() || !LoadPostDefinition(doc.PostDefinition, post, postsFile)) {
        err << "tarnak-cli: no post '" << post << "' in " << postsFile.string() << '\n';
        return 2;
      }
    } catch (const std::exception& e) {
      err << "tarnak-cli: " << e.what() << '\n';
      return 2;
    }
  }

  // Open: the model below the material top, its box as the stock box.
  const StlOpenResult open = LoadStlModel(a.Model, doc.Options.Program.STLDepth, doc.Triangles, ui, doc.Cancel);
  if (open.Status != StlOpenStatus::Loaded) return InterruptWatch::Interrupted(err) ? kInterruptedExit : 2;
  doc.StlMode = true;
  doc.FileName = ExtractFileNameOnly(a.Model);
  TTNMachiningParameters& params = doc.MachiningParams;
  PlaceModelStock(open.Box, doc.DrawingExtents, params);

  PrototypeDialogFields fields;
  if (!Fields(a, settings, doc, fields, err)) return 2;
  LineNumbering numbering;
  if (const auto problem = FillPrototypeParams(fields, params, numbering)) {
    err << "tarnak-cli: " << problem->Message << '\n';
    return 2;
  }
  doc.PostDefinition.Start = numbering.Start;
  doc.PostDefinition.Increment = numbering.Increment;

  const PrototypeResult result = PrototypeCommand(doc);
  // Ctrl+C: nothing is written, as for the drawing commands.
  if (InterruptWatch::Interrupted(err)) return kInterruptedExit;
  const std::string status = ui.Status();
  if (result.Status == PrototypeStatus::Refused) return 2;
  const bool made = result.Status == PrototypeStatus::Made;
  if (made && !a.Output.empty()) {
    SaveToolpathsOptions save;
    save.Passes3D = &doc.Toolpaths3D;
    try {
      SaveToolpathsCommand(doc, a.Output, save);
    } catch (const std::exception& e) {
      err << "tarnak-cli: " << e.what() << '\n';
      return 2;
    }
  }
  if (a.Json != "-") {
    out << status << '\n'
        << result.RoughPasses << " rough and " << result.FinishPasses << " finish passes, "
        << result.Points << " points" << (result.GridReused ? " (rough grid reused)" : "") << "; "
        << GougeStatusText(result) << '\n';
    if (!made && !result.Message.empty()) out << result.Message << '\n';
  }
  if (!a.Json.empty()) {
    const std::string json = PassesJson(doc, result, status);
    if (a.Json == "-") {
      out << json;
    } else {
      try {
        AtomicFile::WriteWhole(a.Json, json);
      } catch (const std::exception& e) {
        err << "tarnak-cli: " << e.what() << '\n';
        return 2;
      }
    }
  }
  out.flush();
  return made ? 0 : 1;
}

}  // namespace tarnak::cli
