// The text verb: the options' text font (from Options.cfg when there is
// one), overridden by the command's flags, then the same add command as
// the add-text window's "Add" on an empty drawing. Prints the status line
// ("12 Regions Created... Font DejaVu Sans Book") and, with --json, the
// Regions.
#include "cli_text.h"

#include <cmath>
#include <filesystem>

#include "base/numbers.h"
#include "base/options.h"
#include "base/settings_folder.h"
#include "cli_dxf.h"
#include "cli_ui.h"
#include "json_writer.h"
#include "shell/document.h"
#include "shell/text_commands.h"

namespace tarnak::cli {

namespace {

constexpr const char* kTextUsage =
    "usage: tarnak-cli text \"TEXT\" [--font FACE] [--bold] [--italic] [--height H] [--at X,Y]\n"
    "                  [--align left|cent|right] [--arc RADIUS --angle DEG] [--precision N]\n"
    "                  [--json FILE|-] [--dxf OUT.dxf]\n";

bool Number(const std::string& s, double& v) {
  return TryTextToFloatAnySeparator(s, v) && std::isfinite(v);
}

}  // namespace

int RunText(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  CliUserInterface ui(err, MsgResult::Ok);
  Document doc(ui);
  if (const std::filesystem::path settings = SettingsFolderOrEmpty(); !settings.empty()) {
    std::error_code ec;
    if (std::filesystem::exists(OptionsFilePath(settings), ec))
      LoadOptions(doc.Options, OptionsFilePath(settings), ui);
  }
  TTNOptions& o = doc.Options.Program;
  TextAddParams p;
  std::string json, dxf;
  bool haveText = false, haveAngle = false;
  auto bad = [&](const std::string& what) {
    err << "tarnak-cli: " << what << '\n' << kTextUsage;
    return 2;
  };
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& s = args[i];
    const bool hasValue = i + 1 < args.size();
    if (s == "--bold") {
      o.FontBold = true;
    } else if (s == "--italic") {
      o.FontItalic = true;
    } else if (s == "--font" && hasValue) {
      o.Font = args[++i];
    } else if (s == "--json" && hasValue) {
      json = args[++i];
    } else if (s == "--dxf" && hasValue) {
      dxf = args[++i];
    } else if (s == "--height" && hasValue) {
      if (!Number(args[++i], p.Height) || !(p.Height > 0.0)) return bad("--height needs a number above 0");
    } else if (s == "--at" && hasValue) {
      const std::string v = args[++i];
      const size_t comma = v.find(',');
      if (comma == std::string::npos || !Number(v.substr(0, comma), p.X) || !Number(v.substr(comma + 1), p.Y))
        return bad("--at needs X,Y, not '" + v + "'");
    } else if (s == "--align" && hasValue) {
      const std::string v = args[++i];
      if (v == "left") p.Align = TextAlign::Left;
      else if (v == "cent") p.Align = TextAlign::Cent;
      else if (v == "right") p.Align = TextAlign::Right;
      else return bad("--align is left, cent or right, not '" + v + "'");
    } else if (s == "--arc" && hasValue) {
      p.Layout = TextLayout::Arc;
      if (!Number(args[++i], p.Radius)) return bad("--arc needs a radius");
    } else if (s == "--angle" && hasValue) {
      haveAngle = true;
      if (!Number(args[++i], p.AngleDegrees)) return bad("--angle needs degrees");
    } else if (s == "--precision" && hasValue) {
      double n = 0;
      if (!Number(args[++i], n) || n != std::floor(n) || n < 1 || n > 100)
        return bad("--precision needs a whole number from 1 to 100");
      o.FontPrecision = static_cast<int>(n);
    } else if (s.size() > 1 && s[0] == '-' && !haveText) {
      return bad("unknown or incomplete option '" + s + "'");
    } else if (!haveText) {
      p.Text = s;
      haveText = true;
    } else {
      return bad("more than one text given ('" + s + "')");
    }
  }
  if (!haveText) return bad("no text given");
  if (haveAngle && p.Layout != TextLayout::Arc) return bad("--angle goes with --arc");

  ApplyTextOptions(doc);
  const TextAddOutcome r = AddText(doc, p);
  if (r.Result == TextAddResult::TooWide)
    err << "tarnak-cli: a character is wider than the radius: nothing added\n";
  if (r.Result != TextAddResult::Added) return 2;
  const std::string status = ui.Status();
  if (json != "-") out << status << '\n';
  if (!WriteJsonTo(json, RegionsJson(doc, status), out, err)) return 2;
  if (!WriteDxfOption(doc, dxf, DxfContent::Geometry, err)) return 2;
  out.flush();
  return 0;
}

}  // namespace tarnak::cli
