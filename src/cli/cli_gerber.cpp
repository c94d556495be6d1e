#include "cli_gerber.h"

#include "base/atomic_file.h"
#include "base/numbers.h"
#include "cli_ui.h"
#include "json_writer.h"
#include "shell/document.h"
#include "shell/gerber_command.h"

namespace tarnak::cli {

int RunGerber(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  std::string file, json, offsetText, dir;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& s = args[i];
    if ((s == "--offset" || s == "--json" || s == "--dir") && i + 1 < args.size()) {
      (s == "--offset" ? offsetText : s == "--json" ? json : dir) = args[++i];
    } else if ((s.size() > 1 && s[0] == '-') || !file.empty()) {
      err << "tarnak-cli: unknown or extra argument '" << s << "'\n" << kGerberUsage;
      return 2;
    } else {
      file = s;
    }
  }
  if (file.empty()) {
    err << "tarnak-cli: no Gerber file given\n" << kGerberUsage;
    return 2;
  }
  if (!dir.empty() && dir != "cw" && dir != "ccw") {
    err << "tarnak-cli: --dir needs cw or ccw, not '" << dir << "'\n";
    return 2;
  }
  int offset = 0;
  if (!offsetText.empty() && (!TryTextToInt(offsetText, offset) || offset < 0 || offset > 1000)) {
    err << "tarnak-cli: --offset needs a whole number of thousandths from 0 to 1000, not '"
        << offsetText << "'\n";
    return 2;
  }
  CliUserInterface ui(err, MsgResult::Ok);
  ui.SetSubject(file);
  Document doc(ui);
  doc.Options.Program.Offset = offset;
  doc.Options.Program.Dir = dir == "cw";
  const GerberOpenResult r = OpenBoardFile(doc, file);
  if (r.Status == OpenResult::Failed || r.Status == OpenResult::Cancelled) return 2;
  const std::string status = ui.Status();
  if (json != "-") out << status << '\n';
  if (!json.empty()) {
    const std::string text = RegionsJson(doc, status);
    if (json == "-") {
      out << text;
    } else {
      try {
        AtomicFile::WriteWhole(json, text);
      } catch (const AtomicFileError& e) {
        err << "tarnak-cli: " << e.what() << '\n';
        return 2;
      }
    }
  }
  out.flush();
  return 0;
}

}  // namespace tarnak::cli
