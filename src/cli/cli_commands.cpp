#include "cli_commands.h"

#include <atomic>
#include <csignal>
#include <exception>
#include <fstream>
#include <string>
#include <vector>

#include "cli_ui.h"
#include "json_writer.h"
#include "selection/region_geometry.h"
#include "shell/selection_commands.h"
#include "shell/commands.h"
#include "shell/document.h"
#include "base/options.h"
#include "base/settings_folder.h"
#include "post/post_definition.h"
#include "post/posts_file.h"
#include "shell/save_command.h"
#include "toolpaths/machining_params.h"
#include "toolpaths/presets.h"
#include "shell/strategy_commands.h"

namespace tarnak::cli {

namespace {

// Ctrl+C: set by the signal handler, read after each step of a command.
volatile std::sig_atomic_t g_interrupted = 0;
// The cancel token of the running command's document, if any.
std::atomic<CancelToken*> g_running{nullptr};
static_assert(std::atomic<CancelToken*>::is_always_lock_free);

void OnInterrupt(int) {
  g_interrupted = 1;
  if (CancelToken* token = g_running.load()) token->Stop();
  std::signal(SIGINT, SIG_DFL);  // a second Ctrl+C ends the process
}

bool g_progressLine = false;

bool Interrupted(std::ostream& err) {
  if (!g_interrupted) return false;
  err << "tarnak-cli: interrupted\n";
  return true;
}

constexpr const char* kUsage =
    "usage: tarnak-cli regions DRAWING.dxf [--dir cw|ccw] [--fix] [--strict]\n"
    "                  [--select all|closed|open|islands|empty-circles] [--json FILE|-]\n"
    "       tarnak-cli contour|pocket|drill DRAWING.dxf\n"
    "                  [--select all|closed|open|islands|empty-circles] [--preset NAME]\n"
    "                  [--set KEY=VALUE]... [--depth D] [--dir cw|ccw] [--fix] [--strict]\n"
    "                  [--json FILE|-] [-o OUT.nc [--post NAME] [--append]]\n";

// Options shared by the commands that import a drawing.
struct Args {
  std::string Drawing;
  bool Clockwise = false;
  bool Fix = false;
  bool Strict = false;
  std::string Json;    // empty: no dump; "-": standard output
  std::string Select;  // empty: no selection command
  // contour
  std::string Preset;
  std::vector<std::string> Sets;
  std::string Depth;
  bool HasDepth = false;
  std::string Output;  // NC file to write
  std::string Post;    // post section; empty: the options' post
  bool Append = false;
};

// Returns an empty string on success, else the complaint.
std::string ParseArgs(const std::vector<std::string>& a, bool strategy, Args& out) {
  for (size_t i = 0; i < a.size(); ++i) {
    const std::string& s = a[i];
    auto value = [&](std::string& v) -> bool {
      if (i + 1 >= a.size()) return false;
      v = a[++i];
      return true;
    };
    if (s == "--dir") {
      std::string v;
      if (!value(v)) return "--dir needs cw or ccw";
      if (v == "cw")
        out.Clockwise = true;
      else if (v == "ccw")
        out.Clockwise = false;
      else
        return "--dir needs cw or ccw, not '" + v + "'";
    } else if (s == "--fix") {
      out.Fix = true;
    } else if (s == "--strict") {
      out.Strict = true;
    } else if (s == "--json") {
      if (!value(out.Json) || out.Json.empty()) return "--json needs a file name or -";
    } else if (s == "--select") {
      if (!value(out.Select)) return "--select needs a selection";
      const bool known = out.Select == "all" || out.Select == "closed" || out.Select == "open" ||
                         out.Select == "islands" || out.Select == "empty-circles";
      if (!known) return "unknown selection '" + out.Select + "'";
    } else if (strategy && s == "--preset") {
      if (!value(out.Preset)) return "--preset needs a name";
    } else if (strategy && s == "--set") {
      std::string v;
      if (!value(v) || v.find('=') == std::string::npos) return "--set needs KEY=VALUE";
      out.Sets.push_back(v);
    } else if (strategy && s == "-o") {
      if (!value(out.Output) || out.Output.empty()) return "-o needs a file name";
    } else if (strategy && s == "--post") {
      if (!value(out.Post) || out.Post.empty()) return "--post needs a name";
    } else if (strategy && s == "--append") {
      out.Append = true;
    } else if (strategy && s == "--depth") {
      if (!value(out.Depth)) return "--depth needs a number";
      out.HasDepth = true;
    } else if (s.size() > 1 && s[0] == '-') {
      return "unknown option '" + s + "'";
    } else if (out.Drawing.empty()) {
      out.Drawing = s;
    } else {
      return "more than one drawing given ('" + s + "')";
    }
  }
  if (out.Drawing.empty()) return "no drawing given";
  if (out.Output.empty() && (!out.Post.empty() || out.Append)) return "--post and --append go with -o";
  return {};
}

// Runs the named selection command the way the Select menu does.
void RunSelection(Document& doc, const std::string& which) {
  // Without a window the pick radius is that of a 1024 x 768 view fitted to
  // the drawing with 20-pixel margins.
  doc.PickTolerance = PickToleranceForView(doc.DrawingExtents, 1024, 768, 20);
  if (which == "all")
    SelectAll(doc);
  else if (which == "closed")
    SelectAllClosed(doc);
  else if (which == "open")
    SelectAllOpen(doc);
  else if (which == "islands")
    SelectAllAsIslands(doc);
  else if (which == "empty-circles")
    SelectEmptyCircles(doc);
}

// Writes the JSON dump where asked; false (with a message) when the file
// cannot be written.
bool WriteJson(const Args& a, const std::string& json, std::ostream& out, std::ostream& err) {
  if (a.Json.empty()) return true;
  if (a.Json == "-") {
    out << json;
    return true;
  }
  std::ofstream f(a.Json, std::ios::binary | std::ios::trunc);
  f << json;
  f.close();
  if (!f) {
    err << "tarnak-cli: cannot write " << a.Json << '\n';
    return false;
  }
  return true;
}

class Session {
 public:
  Session(const Args& a, std::ostream& err)
      : args_(a),
        ui_(err, a.Strict ? MsgResult::Cancel : MsgResult::Ok, g_progressLine),
        doc_(ui_) {
    g_running.store(&doc_.Cancel);
    if (g_interrupted) doc_.Cancel.Stop();
  }
  ~Session() { g_running.store(nullptr); }
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  Document& doc() { return doc_; }
  CliUserInterface& ui() { return ui_; }

  // Imports the drawing as the open command does; false when it could not
  // be read (the reason was already written).
  bool Import() {
    doc_.Options.Program.Dir = args_.Clockwise;
    doc_.Options.Program.Fix = args_.Fix;
    return OpenDxfCommand(doc_, args_.Drawing) != OpenResult::Failed;
  }

 private:
  const Args& args_;
  CliUserInterface ui_;
  Document doc_;
};

int StrictExit(const Args& a, const CliUserInterface& ui, std::ostream& err) {
  if (a.Strict && ui.Problems() > 0) {
    err << "tarnak-cli: " << a.Drawing << ": reading stopped at a problem (--strict)\n";
    return 2;
  }
  return 0;
}

int RunRegions(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  Args a;
  if (std::string problem = ParseArgs(args, false, a); !problem.empty()) {
    err << "tarnak-cli: " << problem << '\n' << kUsage;
    return 2;
  }
  Session s(a, err);
  if (!s.Import()) return 2;
  const std::string status = s.ui().Status();
  if (!a.Select.empty()) RunSelection(s.doc(), a.Select);
  if (Interrupted(err)) return kInterruptedExit;

  if (a.Json != "-") out << status << '\n';
  if (!WriteJson(a, RegionsJson(s.doc(), status, !a.Select.empty()), out, err)) return 2;
  out.flush();
  return StrictExit(a, s.ui(), err);
}

// The settings folder the program would use, or empty when it cannot be
// found (then no preset or options file is read).
std::filesystem::path SettingsFolderOrEmpty() {
  try {
    return SettingsFolder(ExecutablePath());
  } catch (const std::exception&) {
    return {};
  }
}

// A toolpath strategy as its menu command runs it after the dialog.
struct Strategy {
  StrategyDialog Dialog;
  const char* DefaultSelection;
  // Runs the command; true when toolpaths were made.
  bool (*Command)(Document&);
};

int RunStrategy(const Strategy& strategy, const std::vector<std::string>& args, std::ostream& out,
                std::ostream& err) {
  Args a;
  if (std::string problem = ParseArgs(args, true, a); !problem.empty()) {
    err << "tarnak-cli: " << problem << '\n' << kUsage;
    return 2;
  }
  const std::filesystem::path settings = SettingsFolderOrEmpty();

  // The dialog's fields: form defaults, then the preset, then each --set.
  StrategyDialogFields fields;
  try {
    if (!a.Preset.empty()) {
      const std::filesystem::path file = settings / kPresetFileName;
      if (LoadPreset(file, a.Preset, strategy.Dialog, fields) != PresetLoad::Loaded) {
        err << "tarnak-cli: no preset '" << a.Preset << "' in " << file.string() << '\n';
        return 2;
      }
    }
    for (const std::string& set : a.Sets) ApplyPresetSetting(strategy.Dialog, set, fields);
  } catch (const std::exception& e) {
    err << "tarnak-cli: " << e.what() << '\n';
    return 2;
  }
  if (a.HasDepth) fields.Depth = a.Depth;

  Session s(a, err);
  if (!settings.empty()) {
    const std::filesystem::path optionsFile = OptionsFilePath(settings);
    std::error_code ec;
    if (std::filesystem::exists(optionsFile, ec)) LoadOptions(s.doc().Options, optionsFile, s.ui());
  }
  // The post is loaded before the dialog's fields are applied, as at
  // start-up: the dialog then sets its line numbering.
  if (!a.Output.empty()) {
    const std::string post = a.Post.empty() ? s.doc().Options.Program.Post : a.Post;
    try {
      std::filesystem::path postsFile;
      if (!settings.empty()) {
        EnsurePostsFile(settings, ShippedDataFolder(ExecutablePath()));
        postsFile = settings / kPostsFileName;
      }
      if (postsFile.empty() || !LoadPostDefinition(s.doc().PostDefinition, post, postsFile)) {
        err << "tarnak-cli: no post '" << post << "' in " << postsFile.string() << '\n';
        return 2;
      }
    } catch (const std::exception& e) {
      err << "tarnak-cli: " << e.what() << '\n';
      return 2;
    }
  }
  if (!s.Import()) return 2;
  const std::string importStatus = s.ui().Status();
  RunSelection(s.doc(), a.Select.empty() ? strategy.DefaultSelection : a.Select);

  const LineNumbering numbering = FillMachiningParams(strategy.Dialog, fields, s.doc().MachiningParams);
  s.doc().PostDefinition.Start = numbering.Start;
  s.doc().PostDefinition.Increment = numbering.Increment;
  if (Interrupted(err)) return kInterruptedExit;
  const bool made = strategy.Command(s.doc());
  // A stopped job's toolpaths are incomplete: nothing is written.
  if (Interrupted(err)) return kInterruptedExit;

  if (made && !a.Output.empty()) {
    SaveToolpathsOptions save;
    save.IfExists = a.Append ? ExistingNcFile::Append : ExistingNcFile::Overwrite;
    try {
      SaveToolpathsCommand(s.doc(), a.Output, save);
    } catch (const std::exception& e) {
      err << "tarnak-cli: " << e.what() << '\n';
      return 2;
    }
  }

  const std::string status = s.ui().Status();
  if (a.Json != "-") out << importStatus << '\n';
  if (!WriteJson(a, ToolpathsJson(s.doc(), status), out, err)) return 2;
  out.flush();
  if (int strict = StrictExit(a, s.ui(), err)) return strict;
  return made ? 0 : 1;
}

const Strategy kContour{StrategyDialog::Contour, "all",
                        [](Document& d) { return ContourCommand(d) == ContourResult::Made; }};
const Strategy kPocket{StrategyDialog::Pocket, "closed",
                       [](Document& d) { return PocketCommand(d) == PocketResult::Made; }};
const Strategy kDrill{StrategyDialog::Drill, "empty-circles",
                      [](Document& d) { return DrillCommand(d) == DrillResult::Made; }};

}  // namespace

void InstallInterruptHandler() { std::signal(SIGINT, OnInterrupt); }

int Run(int argc, char** argv, std::ostream& out, std::ostream& err, bool progressLine) {
  g_progressLine = progressLine;
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty() || args[0] == "--help" || args[0] == "-h") {
    (args.empty() ? err : out) << kUsage;
    return args.empty() ? 2 : 0;
  }
  const std::string command = args[0];
  args.erase(args.begin());
  if (command == "regions") return RunRegions(args, out, err);
  if (command == "contour") return RunStrategy(kContour, args, out, err);
  if (command == "pocket") return RunStrategy(kPocket, args, out, err);
  if (command == "drill") return RunStrategy(kDrill, args, out, err);
  err << "tarnak-cli: unknown command '" << command << "'\n" << kUsage;
  return 2;
}

}  // namespace tarnak::cli
