// The two NC verbs share the post loading of the window's start-up: the
// options in the settings folder name the post unless --post does, and
// "Posts.Cfg" is copied there from the shipped data when missing.
#include "cli_nc.h"

#include <exception>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "base/atomic_file.h"
#include "base/options.h"
#include "base/settings_folder.h"
#include "cli_dxf.h"
#include "cli_ui.h"
#include "editor/renumber.h"
#include "json_writer.h"
#include "post/posts_file.h"
#include "shell/nc_open.h"

namespace tarnak::cli {

const char* const kNcUsage =
    "       tarnak-cli nc FILE.nc [--post NAME] [--standard] [--json FILE|-] [--dxf OUT.dxf]\n"
    "       tarnak-cli renumber FILE.nc --start S --increment I [--no-space] [--post NAME]\n"
    "                  [-o OUT.nc]\n";

namespace {

// Options and post into doc; false (with the complaint) when the post
// cannot be loaded.
bool LoadSettings(Document& doc, const std::string& postName, std::ostream& err) {
  std::filesystem::path settings;
  try {
    settings = SettingsFolder(ExecutablePath());
  } catch (const std::exception&) {
  }
  try {
    if (!settings.empty()) {
      const std::filesystem::path optionsFile = OptionsFilePath(settings);
      std::error_code ec;
      if (std::filesystem::exists(optionsFile, ec)) LoadOptions(doc.Options, optionsFile, doc.ui());
      EnsurePostsFile(settings, ShippedDataFolder(ExecutablePath()));
    }
    const std::string post = postName.empty() ? doc.Options.Program.Post : postName;
    const std::filesystem::path postsFile = settings / kPostsFileName;
    if (settings.empty() || !LoadPostDefinition(doc.PostDefinition, post, postsFile)) {
      err << "tarnak-cli: no post '" << post << "' in " << postsFile.string() << '\n';
      return false;
    }
  } catch (const std::exception& e) {
    err << "tarnak-cli: " << e.what() << '\n';
    return false;
  }
  return true;
}

bool Output(const std::string& target, const std::string& text, std::ostream& out,
            std::ostream& err) {
  if (target == "-") {
    out << text;
    return true;
  }
  try {
    AtomicFile::WriteWhole(target, text);
  } catch (const std::exception& e) {
    err << "tarnak-cli: " << e.what() << '\n';
    return false;
  }
  return true;
}

std::string MovesJson(const Document& doc, int lines) {
  std::string s = "{\"lines\": " + std::to_string(lines) + ", \"extents\": [";
  const NCExtentsRec& e = doc.NCExtents;
  if (!e.Empty) {
    s += JsonNumber(e.MinX) + ", " + JsonNumber(e.MinY) + ", " + JsonNumber(e.MinZ) + ", " +
         JsonNumber(e.MaxX) + ", " + JsonNumber(e.MaxY) + ", " + JsonNumber(e.MaxZ);
  }
  s += "], \"moves\": [";
  for (std::size_t i = 1; i < doc.NCMoves.size(); ++i) {
    const TTNEdEntity& m = doc.NCMoves[i];
    if (i > 1) s += ",";
    s += "\n  {\"line\": " + std::to_string(m.Line) + ", \"kind\": " + std::to_string(m.Kind) +
         ", \"x\": " + JsonNumber(m.X) + ", \"y\": " + JsonNumber(m.Y) +
         ", \"z\": " + JsonNumber(m.Z) + ", \"radius\": " + JsonNumber(m.Radius) +
         ", \"x2\": " + JsonNumber(m.X2) + ", \"y2\": " + JsonNumber(m.Y2) +
         ", \"z2\": " + JsonNumber(m.Z2) + "}";
  }
  s += "]}\n";
  return s;
}

}  // namespace

int RunNc(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  std::string file, post, json, dxf;
  bool standard = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if ((a == "--post" || a == "--json" || a == "--dxf") && i + 1 < args.size() &&
        !args[i + 1].empty()) {
      (a == "--post" ? post : a == "--json" ? json : dxf) = args[++i];
    } else if (a == "--standard") {
      standard = true;
    } else if (!a.empty() && a[0] != '-' && file.empty()) {
      file = a;
    } else {
      err << "tarnak-cli: nc: unknown, incomplete or extra argument '" << a << "'\n" << kNcUsage;
      return 2;
    }
  }
  if (file.empty()) {
    err << "tarnak-cli: nc: no NC file given\n" << kNcUsage;
    return 2;
  }
  CliUserInterface ui(err, MsgResult::Ok);
  Document doc(ui);
  if (!LoadSettings(doc, post, err)) return 2;
  if (standard) doc.Options.Program.NCRead = 1;
  const NCOpenResult r = OpenNCFileCommand(doc, file);
  if (!r.Loaded) return 2;
  if (json != "-") {
    out << "Lines " << r.Lines << "\n" << r.Moves << " moves\n";
    if (!r.Hint.empty()) out << r.Hint << '\n';
  }
  if (!json.empty() && !Output(json, MovesJson(doc, r.Lines), out, err)) return 2;
  if (!WriteDxfOption(doc, dxf, DxfContent::NcMoves, err)) return 2;
  out.flush();
  return 0;
}

int RunRenumber(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  std::string file, post, output;
  RenumberSettings settings;
  bool hasStart = false, hasIncrement = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    const bool valued = a == "--start" || a == "--increment" || a == "--post" || a == "-o";
    if (valued && i + 1 < args.size()) {
      const std::string& v = args[++i];
      if (a == "--start") settings.Start = v, hasStart = true;
      if (a == "--increment") settings.Increment = v, hasIncrement = true;
      if (a == "--post") post = v;
      if (a == "-o") output = v;
    } else if (a == "--no-space") {
      settings.AddSpace = false;
    } else if (!a.empty() && a[0] != '-' && file.empty()) {
      file = a;
    } else {
      err << "tarnak-cli: renumber: unknown, incomplete or extra argument '" << a << "'\n"
          << kNcUsage;
      return 2;
    }
  }
  if (file.empty() || !hasStart || !hasIncrement) {
    err << "tarnak-cli: renumber: needs FILE, --start and --increment\n" << kNcUsage;
    return 2;
  }
  CliUserInterface ui(err, MsgResult::Ok);
  Document doc(ui);
  if (!LoadSettings(doc, post, err)) return 2;
  std::ifstream in(file, std::ios::binary);
  if (!in) {
    err << "tarnak-cli: cannot open " << file << '\n';
    return 2;
  }
  std::ostringstream text;
  text << in.rdbuf();
  bool crlf = false;
  std::vector<std::string> lines = SplitLines(text.str(), crlf);
  try {
    Renumber(lines, doc.PostDefinition, settings);
  } catch (const std::exception& e) {
    err << "tarnak-cli: renumber: " << e.what() << '\n';
    return 2;
  }
  // Without -o the file itself is rewritten, atomically.
  if (!Output(output.empty() ? file : output, JoinLines(lines, crlf), out, err)) return 2;
  out.flush();
  return 0;
}

}  // namespace tarnak::cli
