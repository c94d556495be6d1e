#include "cli_commands.h"

#include <atomic>
#include <cmath>
#include <csignal>
#include <exception>
#include <new>
#include <stdexcept>
#include <fstream>
#include <string>
#include <vector>

#include "cli_dxf.h"
#include "cli_prototype.h"
#include "cli_nc.h"
#include "cli_text.h"
#include "cli_gerber.h"
#include "cli_edit_steps.h"
#include "cli_ui.h"
#include "import/stl/stl_open.h"
#include "json_writer.h"
#include "selection/region_geometry.h"
#include "shell/selection_commands.h"
#include "base/atomic_file.h"
#include "shell/commands.h"
#include "shell/gerber_command.h"
#include "shell/document.h"
#include "base/numbers.h"
#include "base/options.h"
#include "base/settings_folder.h"
#include "toolpaths/contour.h"
#include "toolpaths/drill.h"
#include "toolpaths/pocket.h"
#include "post/post_definition.h"
#include "post/posts_file.h"
#include "shell/save_command.h"
#include "toolpaths/machining_params.h"
#include "toolpaths/param_checks.h"
#include "toolpaths/presets.h"
#include "shell/strategy_commands.h"
#include "shell/toolpath_batch.h"

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
    "usage: tarnak-cli regions DRAWING.dxf [--dir cw|ccw] [--fix] [--strict] [--no-text]\n"
    "                  [--select all|closed|open|islands|empty-circles] [--json FILE|-]\n"
    "                  [--dxf OUT.dxf]\n"
    "       tarnak-cli contour|pocket|drill DRAWING.dxf\n"
    "                  [--select all|closed|open|islands|empty-circles] [--preset NAME]\n"
    "                  [--set KEY=VALUE]... [--depth D] [--dir cw|ccw] [--fix] [--strict]\n"
    "                  [--json FILE|-] [-o OUT.nc [--post NAME] [--append]]\n"
    "                  [--dxf OUT.dxf]\n"
    "       tarnak-cli job DRAWING.dxf --op \"STRATEGY [--select S] [--preset NAME]\n"
    "                  [--set KEY=VALUE]... [--depth D]\"... [--dir cw|ccw] [--fix] [--strict]\n"
    "                  [--json FILE|-] [-o OUT.nc [--post NAME] [--append]] [--dxf OUT.dxf]\n"
    "       tarnak-cli stl MODEL.stl [--depth D] [--json FILE|-]\n"
    "       tarnak-cli prototype MODEL.stl [--preset NAME] [--set KEY=VALUE]... [--margin M] ...\n"
    "       tarnak-cli text \"TEXT\" [--font FACE] [--bold] [--italic] [--height H] [--at X,Y]\n"
    "                  [--align left|cent|right] [--arc RADIUS --angle DEG] [--precision N]\n"
    "                  [--json FILE|-]\n"
    "       tarnak-cli gerber FILE [--offset T] [--dir cw|ccw] [--json FILE|-]\n"
    "       tarnak-cli pcb FILE [--preset NAME] [--set KEY=VALUE]... [--passes N]\n"
    "                  [--overlap F] [--depth D] [--dir cw|ccw] [--json FILE|-]\n"
    "                  [-o OUT.nc [--post NAME] [--append]] [--dxf OUT.dxf]\n"
    "       tarnak-cli drill-file FILE.drl [--preset NAME] [--set KEY=VALUE]... [--depth D]\n"
    "                  [--json FILE|-] [-o OUT.nc [--post NAME] [--append]] [--dxf OUT.dxf]\n";

// Options shared by the commands that import a drawing.
struct Args {
  std::string Drawing;
  bool Clockwise = false;
  bool Fix = false;
  bool Expand = false;  // place blocks' entities, turn splines into arcs
  bool NoText = false;  // leave the drawing's texts out
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
  std::string Dxf;  // DXF file of the geometry or toolpaths to write
  bool Board = false;  // the drawing is Gerber artwork (or a drill file)
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
    } else if (s == "--expand") {
      out.Expand = true;
    } else if (s == "--no-text") {
      out.NoText = true;
    } else if (s == "--strict") {
      out.Strict = true;
    } else if (s == "--json") {
      if (!value(out.Json) || out.Json.empty()) return "--json needs a file name or -";
    } else if (s == "--dxf") {
      if (!value(out.Dxf) || out.Dxf.empty()) return "--dxf needs a file name";
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

// A number beyond 1e9 in a setting is a typing slip (or an attempt to
// reach the NC file with a 309-digit word), never a part: refused like any
// other invalid value. Names are text and may hold anything.
void CheckMagnitude(const std::string& setting) {
  const std::size_t eq = setting.find('=');
  const std::string key = setting.substr(0, eq);
  if (key.size() >= 4 && key.compare(key.size() - 4, 4, "Name") == 0) return;
  double v = 0.0;
  if (!TryTextToFloatAnySeparator(setting.substr(eq + 1), v)) return;
  if (!std::isfinite(v) || std::fabs(v) > 1e9)
    throw std::invalid_argument("'" + setting.substr(eq + 1) + "' is out of range for " + key +
                                ": give a number of at most 1e9");
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
  return WriteJsonTo(a.Json, json, out, err);
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
  // A drawing that gave nothing but problems (no entities section, an
  // empty or binary file) counts as unreadable.
  bool Import() {
    doc_.Options.Program.Dir = args_.Clockwise;
    doc_.Options.Program.Fix = args_.Fix;
    doc_.Options.Program.ExpandBlocks = args_.Expand;
    doc_.ImportTexts = !args_.NoText;
    ui_.SetSubject(args_.Drawing);
    const int problemsBefore = ui_.Problems();
    const OpenResult result = args_.Board ? OpenBoardFile(doc_, args_.Drawing).Status
                                          : OpenDxfCommand(doc_, args_.Drawing);
    if (result == OpenResult::Cancelled) return false;
    ui_.SetSubject({});
    if (result == OpenResult::Failed) return false;
    return !(result == OpenResult::Empty && ui_.Problems() > problemsBefore);
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

int RunRegions(std::vector<std::string> args, std::ostream& out, std::ostream& err) {
  Args a;
  std::vector<EditStep> edits;
  std::string problem = ExtractEditSteps(args, edits);
  if (problem.empty()) problem = ParseArgs(args, false, a);
  if (!problem.empty()) {
    err << "tarnak-cli: " << problem << '\n' << kUsage << kEditStepsUsage;
    return 2;
  }
  Session s(a, err);
  if (!s.Import()) return 2;
  const std::string status = s.ui().Status();
  const auto select = [&] { if (!a.Select.empty()) RunSelection(s.doc(), a.Select); };
  select();
  if (!ApplyEditSteps(s.doc(), edits, select, err)) return 2;
  if (Interrupted(err)) return kInterruptedExit;

  if (a.Json != "-") out << status << '\n';
  // The dump of a big job is big too: made only when asked for.
  if (!a.Json.empty() && !WriteJson(a, RegionsJson(s.doc(), status, !a.Select.empty()), out, err))
    return 2;
  if (!WriteDxfOption(s.doc(), a.Dxf, DxfContent::Geometry, err)) return 2;
  out.flush();
  return StrictExit(a, s.ui(), err);
}

// A toolpath strategy as its menu command runs it after the dialog.
struct Strategy {
  StrategyDialog Dialog;
  const char* DefaultSelection;
  // Runs the command; true when toolpaths were made.
  bool (*Command)(Document&, ToolpathsMode);
  bool Board = false;  // reads Gerber artwork instead of a DXF drawing
};

// The dialog's fields: form defaults, then the preset, then each --set,
// then --depth. False (with the reason written) when one cannot be used.
bool LoadFields(const Strategy& strategy, const Args& a, const std::filesystem::path& settings,
                StrategyDialogFields& fields, std::ostream& err) {
  try {
    if (!a.Preset.empty()) {
      const std::filesystem::path file = settings / kPresetFileName;
      if (!settings.empty()) EnsureSettingsFile(settings, ShippedDataFolder(ExecutablePath()), kPresetFileName);
      if (LoadPreset(file, a.Preset, strategy.Dialog, fields) != PresetLoad::Loaded) {
        err << "tarnak-cli: no preset '" << a.Preset << "' in " << file.string() << '\n';
        return false;
      }
    }
    for (const std::string& set : a.Sets) {
      ApplyPresetSetting(strategy.Dialog, set, fields);
      CheckMagnitude(set);
    }
    // --depth is a setting like any other, checked the same way.
    if (a.HasDepth) {
      ApplyPresetSetting(strategy.Dialog, "Depth=" + a.Depth, fields);
      CheckMagnitude("Depth=" + a.Depth);
    }
  } catch (const std::exception& e) {
    err << "tarnak-cli: " << e.what() << '\n';
    return false;
  }
  return true;
}

// The options, and the post when an NC file is to be written. The post is
// loaded before the dialog's fields are applied, as at start-up: the
// dialog then sets its line numbering.
bool PrepareSession(Session& s, const Args& a, const std::filesystem::path& settings,
                    std::ostream& err) {
  if (!settings.empty()) {
    const std::filesystem::path optionsFile = OptionsFilePath(settings);
    std::error_code ec;
    if (std::filesystem::exists(optionsFile, ec)) LoadOptions(s.doc().Options, optionsFile, s.ui());
  }
  if (a.Output.empty()) return true;
  const std::string post = a.Post.empty() ? s.doc().Options.Program.Post : a.Post;
  try {
    std::filesystem::path postsFile;
    if (!settings.empty()) {
      EnsurePostsFile(settings, ShippedDataFolder(ExecutablePath()));
      postsFile = settings / kPostsFileName;
    }
    if (postsFile.empty() || !LoadPostDefinition(s.doc().PostDefinition, post, postsFile)) {
      err << "tarnak-cli: no post '" << post << "' in " << postsFile.string() << '\n';
      return false;
    }
  } catch (const std::exception& e) {
    err << "tarnak-cli: " << e.what() << '\n';
    return false;
  }
  return true;
}

// Fills the machining parameters as the dialog's action button does; a
// field that is not a number or a tool value the strategy cannot cut with
// is refused with the dialog's message. `what` names the operation.
bool FillParams(const Strategy& strategy, const StrategyDialogFields& fields, Document& doc,
                const std::string& what, std::ostream& err) {
  LineNumbering numbering;
  if (const auto problem = FillCheckedParams(strategy.Dialog, fields, doc.MachiningParams, numbering)) {
    err << "tarnak-cli: " << what << problem->Message << '\n';
    return false;
  }
  doc.PostDefinition.Start = numbering.Start;
  doc.PostDefinition.Increment = numbering.Increment;
  return true;
}

// Writes the NC file when -o was given.
bool Save(Document& doc, const Args& a, std::ostream& err) {
  if (a.Output.empty()) return true;
  SaveToolpathsOptions save;
  save.IfExists = a.Append ? ExistingNcFile::Append : ExistingNcFile::Overwrite;
  try {
    SaveToolpathsCommand(doc, a.Output, save);
  } catch (const std::exception& e) {
    err << "tarnak-cli: " << e.what() << '\n';
    return false;
  }
  return true;
}

int RunStrategy(const Strategy& strategy, std::vector<std::string> args, std::ostream& out,
                std::ostream& err) {
  Args a;
  a.Board = strategy.Board;
  std::vector<EditStep> edits;
  std::string problem = ExtractEditSteps(args, edits);
  if (problem.empty()) problem = ParseArgs(args, true, a);
  if (!problem.empty()) {
    err << "tarnak-cli: " << problem << '\n' << kUsage;
    return 2;
  }
  const std::filesystem::path settings = SettingsFolderOrEmpty();
  StrategyDialogFields fields;
  if (!LoadFields(strategy, a, settings, fields, err)) return 2;

  Session s(a, err);
  if (!PrepareSession(s, a, settings, err)) return 2;
  if (!s.Import()) return 2;
  const std::string importStatus = s.ui().Status();
  const auto select = [&] { RunSelection(s.doc(), a.Select.empty() ? strategy.DefaultSelection : a.Select); };
  select();
  if (!ApplyEditSteps(s.doc(), edits, select, err)) return 2;

  if (!FillParams(strategy, fields, s.doc(), "", err)) return 2;
  if (Interrupted(err)) return kInterruptedExit;
  const bool made = strategy.Command(s.doc(), ToolpathsMode::Replace);
  // A stopped job's toolpaths are incomplete: nothing is written.
  if (Interrupted(err)) return kInterruptedExit;

  if (made && !Save(s.doc(), a, err)) return 2;
  if (made && !WriteDxfOption(s.doc(), a.Dxf, DxfContent::Toolpaths, err)) return 2;

  const std::string status = s.ui().Status();
  if (a.Json != "-") out << importStatus << '\n';
  if (!a.Json.empty() && !WriteJson(a, ToolpathsJson(s.doc(), status), out, err)) return 2;
  out.flush();
  if (int strict = StrictExit(a, s.ui(), err)) return strict;
  return made ? 0 : 1;
}

const Strategy kContour{StrategyDialog::Contour, "all", [](Document& d, ToolpathsMode m) {
                          return ContourCommand(d, m) == ContourResult::Made;
                        }};
const Strategy kPocket{StrategyDialog::Pocket, "closed", [](Document& d, ToolpathsMode m) {
                         return PocketCommand(d, m) == PocketResult::Made;
                       }};
const Strategy kDrill{StrategyDialog::Drill, "empty-circles", [](Document& d, ToolpathsMode m) {
                        return DrillCommand(d, m) == DrillResult::Made;
                      }};

// The holes of a drill file, drilled as the drill command drills a drawing's.
const Strategy kDrillFile{StrategyDialog::Drill, "empty-circles",
                          [](Document& d, ToolpathsMode m) { return DrillCommand(d, m) == DrillResult::Made; },
                          true};

const Strategy kPcb{StrategyDialog::CircuitBoard, "islands",
                    [](Document& d, ToolpathsMode m) {
                      return RoutePcbCommand(d, m) == RoutePcbResult::Made;
                    },
                    true};

// The routing's own options are its dialog's settings under a short name:
// --passes N is --set Passes=N, --overlap F is --set Overlap=F.
int RunPcb(std::vector<std::string> args, std::ostream& out, std::ostream& err) {
  std::vector<std::string> rest;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& s = args[i];
    if (s != "--passes" && s != "--overlap") {
      rest.push_back(s);
      continue;
    }
    if (i + 1 >= args.size()) {
      err << "tarnak-cli: " << s << " needs a number\n" << kUsage;
      return 2;
    }
    rest.push_back("--set");
    rest.push_back((s == "--passes" ? "Passes=" : "Overlap=") + args[++i]);
  }
  return RunStrategy(kPcb, rest, out, err);
}

const Strategy* FindStrategy(const std::string& name) {
  if (name == "contour") return &kContour;
  if (name == "pocket") return &kPocket;
  if (name == "drill") return &kDrill;
  return nullptr;
}

// The words of one --op, split at blanks; '...' and "..." keep blanks in.
std::vector<std::string> SplitWords(const std::string& text) {
  std::vector<std::string> words;
  std::string word;
  bool inWord = false;
  char quote = 0;
  for (char c : text) {
    if (quote != 0) {
      if (c == quote)
        quote = 0;
      else
        word += c;
    } else if (c == '\'' || c == '"') {
      quote = c;
      inWord = true;
    } else if (c == ' ' || c == '\t') {
      if (inWord) words.push_back(word);
      word.clear();
      inWord = false;
    } else {
      word += c;
      inWord = true;
    }
  }
  if (inWord) words.push_back(word);
  return words;
}

struct Operation {
  const Strategy* Kind = nullptr;
  Args Options;  // --select, --preset, --set and --depth of this operation
  std::string Text;
};

// Several strategies, each with its own selection and tool, into one
// program: the operations after the first add to the toolpaths, so the NC
// writer changes tools between them.
int RunJob(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  std::vector<std::string> rest;
  std::vector<std::string> opTexts;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] != "--op") {
      rest.push_back(args[i]);
      continue;
    }
    if (i + 1 >= args.size()) {
      err << "tarnak-cli: --op needs a strategy and its options\n" << kUsage;
      return 2;
    }
    opTexts.push_back(args[++i]);
  }
  Args a;
  std::string problem = ParseArgs(rest, true, a);
  if (problem.empty() && opTexts.empty()) problem = "job needs at least one --op";
  if (problem.empty() && (!a.Preset.empty() || !a.Sets.empty() || a.HasDepth || !a.Select.empty()))
    problem = "--select, --preset, --set and --depth go inside an --op";
  if (!problem.empty()) {
    err << "tarnak-cli: " << problem << '\n' << kUsage;
    return 2;
  }

  std::vector<Operation> ops;
  for (const std::string& text : opTexts) {
    std::vector<std::string> words = SplitWords(text);
    Operation op;
    op.Text = text;
    op.Kind = words.empty() ? nullptr : FindStrategy(words.front());
    if (op.Kind == nullptr) {
      err << "tarnak-cli: --op \"" << text << "\" should start with contour, pocket or drill\n"
          << kUsage;
      return 2;
    }
    words.erase(words.begin());
    // The direction of closed Regions, repairs and the output belong to
    // the drawing and the program, not to one operation: a direction
    // changed between operations would put a cutout on the wrong side.
    for (std::size_t i = 0; i < words.size(); ++i) {
      const std::string& w = words[i];
      const bool takesValue = w == "--select" || w == "--preset" || w == "--set" || w == "--depth";
      if (takesValue) {
        ++i;
        continue;
      }
      if (w.size() > 1 && w[0] == '-') {
        err << "tarnak-cli: --op \"" << text << "\": '" << w
            << "' is not an option of an operation (it takes --select, --preset, --set and --depth)\n";
        return 2;
      }
    }
    op.Options.Drawing = a.Drawing;  // words left over are reported as a second drawing
    if (std::string bad = ParseArgs(words, true, op.Options); !bad.empty()) {
      err << "tarnak-cli: --op \"" << text << "\": " << bad << '\n';
      return 2;
    }
    ops.push_back(op);
  }

  const std::filesystem::path settings = SettingsFolderOrEmpty();
  std::vector<StrategyDialogFields> fields(ops.size());
  for (std::size_t i = 0; i < ops.size(); ++i)
    if (!LoadFields(*ops[i].Kind, ops[i].Options, settings, fields[i], err)) return 2;

  Session s(a, err);
  if (!PrepareSession(s, a, settings, err)) return 2;
  if (!s.Import()) return 2;
  const std::string importStatus = s.ui().Status();

  for (std::size_t i = 0; i < ops.size(); ++i) {
    const Operation& op = ops[i];
    const std::string what = "--op \"" + op.Text + "\": ";
    // Each operation picks its own Regions.
    DeselectAll(s.doc());
    RunSelection(s.doc(), op.Options.Select.empty() ? op.Kind->DefaultSelection : op.Options.Select);
    if (!FillParams(*op.Kind, fields[i], s.doc(), what, err)) return 2;
    const ToolpathsMode mode = i == 0 ? ToolpathsMode::Replace : ToolpathsMode::Append;
    const bool opMade = op.Kind->Command(s.doc(), mode);
    // A stopped job's toolpaths are incomplete: nothing is written.
    if (Interrupted(err)) return kInterruptedExit;
    if (!opMade) {
      // A program without one of its operations would cut a different part.
      err << "tarnak-cli: " << what << "made no toolpaths; nothing written\n";
      return 1;
    }
  }
  if (!Save(s.doc(), a, err)) return 2;
  if (!WriteDxfOption(s.doc(), a.Dxf, DxfContent::Toolpaths, err)) return 2;

  const std::string status = s.ui().Status();
  if (a.Json != "-") out << importStatus << '\n';
  if (!a.Json.empty() && !WriteJson(a, ToolpathsJson(s.doc(), status), out, err)) return 2;
  out.flush();
  return StrictExit(a, s.ui(), err);
}

// Reads an STL model as the open command does and tells its size: triangle
// count, box (top at -depth) and form. The depth is the options' STLDepth
// unless --depth gives one.
int RunStl(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  std::string model, json, depthText;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& s = args[i];
    if ((s == "--depth" || s == "--json") && i + 1 < args.size()) {
      (s == "--depth" ? depthText : json) = args[++i];
    } else if (s.size() > 1 && s[0] == '-') {
      err << "tarnak-cli: unknown or incomplete option '" << s << "'\n" << kUsage;
      return 2;
    } else if (model.empty()) {
      model = s;
    } else {
      err << "tarnak-cli: more than one model given ('" << s << "')\n" << kUsage;
      return 2;
    }
  }
  if (model.empty()) {
    err << "tarnak-cli: no model given\n" << kUsage;
    return 2;
  }
  CliUserInterface ui(err, MsgResult::Ok);
  ProgramOptions options;
  if (const std::filesystem::path settings = SettingsFolderOrEmpty(); !settings.empty()) {
    std::error_code ec;
    if (std::filesystem::exists(OptionsFilePath(settings), ec))
      LoadOptions(options, OptionsFilePath(settings), ui);
  }
  double depth = options.Program.STLDepth;
  if (!depthText.empty() && (!TryTextToFloat(depthText, depth) || !(depth >= 0.0) || depth > 1e300)) {
    err << "tarnak-cli: --depth needs a number of 0 or more, not '" << depthText << "'\n";
    return 2;
  }

  TTNTriangleArray triangles;
  CancelToken cancel(ui);
  const StlOpenResult r = LoadStlModel(model, depth, triangles, ui, cancel);
  if (r.Status != StlOpenStatus::Loaded) return 2;
  const StlModelBox& b = r.Box;
  const double box[6] = {b.MinX, b.MaxX, b.MinY, b.MaxY, b.MinZ, b.MaxZ};
  std::string boxText;
  for (double v : box) boxText += (boxText.empty() ? "" : ", ") + JsonNumber(v);
  const char* format = r.Binary ? "binary" : "text";
  if (json != "-")
    out << triangles.size() << " triangles (" << format << "), box [" << boxText << "]\n";
  Args a;
  a.Json = json;
  if (!WriteJson(a,
                 "{\"status\": " + JsonString(ui.Status()) + ", \"format\": \"" + format +
                     "\", \"triangles\": " + std::to_string(triangles.size()) + ", \"box\": [" +
                     boxText + "]}\n",
                 out, err))
    return 2;
  out.flush();
  return 0;
}

}  // namespace

void InstallInterruptHandler() { std::signal(SIGINT, OnInterrupt); }

InterruptWatch::InterruptWatch(CancelToken& token) {
  g_running.store(&token);
  if (g_interrupted) token.Stop();
}
InterruptWatch::~InterruptWatch() { g_running.store(nullptr); }
bool InterruptWatch::Interrupted(std::ostream& err) { return cli::Interrupted(err); }

int Run(int argc, char** argv, std::ostream& out, std::ostream& err, bool progressLine) {
  g_progressLine = progressLine;
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty() || args[0] == "--help" || args[0] == "-h") {
    (args.empty() ? err : out) << kUsage << kNcUsage << kEditStepsUsage;
    return args.empty() ? 2 : 0;
  }
  const std::string command = args[0];
  args.erase(args.begin());
  // Running out of memory ends the command, not the program with an abort:
  // the NC file is written atomically, so the old one stays as it was.
  try {
    if (command == "regions") return RunRegions(args, out, err);
    if (command == "contour") return RunStrategy(kContour, args, out, err);
    if (command == "pocket") return RunStrategy(kPocket, args, out, err);
    if (command == "drill") return RunStrategy(kDrill, args, out, err);
    if (command == "drill-file") return RunStrategy(kDrillFile, args, out, err);
    if (command == "job") return RunJob(args, out, err);
    if (command == "stl") return RunStl(args, out, err);
    if (command == "prototype") return RunPrototype(args, out, err);
    if (command == "nc") return RunNc(args, out, err);
    if (command == "renumber") return RunRenumber(args, out, err);
    if (command == "text") return RunText(args, out, err);
    if (command == "gerber") return RunGerber(args, out, err);
    if (command == "pcb") return RunPcb(args, out, err);
  } catch (const std::bad_alloc&) {
    err << "tarnak-cli: " << command
        << ": out of memory: the job is too large for this computer"
           " (an NC file is written whole or not at all)\n";
    return 2;
  }
  err << "tarnak-cli: unknown command '" << command << "'\n" << kUsage;
  return 2;
}

}  // namespace tarnak::cli
