#include "cli_edit_steps.h"

#include <cmath>
#include <cstddef>

#include "base/numbers.h"
#include "editing/region_edit.h"
#include "editing/walls.h"
#include "selection/region_selection.h"
#include "shell/edit_commands.h"
#include "shell/selection_commands.h"

namespace tarnak::cli {

namespace {

bool IsFlagStep(const std::string& s) {
  return s == "--reverse" || s == "--explode" || s == "--join" || s == "--combine";
}
bool IsValueStep(const std::string& s) {
  return s == "--move" || s == "--scale" || s == "--rotate" || s == "--depth-boundaries" ||
         s == "--depth-islands" || s == "--first-element" || s == "--wall" || s == "--profiles";
}

// A finite number of at most 1e9 (beyond that it is a typing slip).
bool Number(const std::string& text, double& v) {
  return TryTextToFloatAnySeparator(text, v) && std::isfinite(v) && std::fabs(v) <= 1e9;
}

std::string Parse(const std::string& option, const std::string& value, EditStep& step) {
  const auto pair = [&](char sep, std::string& a, std::string& b) {
    const std::size_t at = value.find(sep);
    if (at == std::string::npos) return false;
    a = value.substr(0, at);
    b = value.substr(at + 1);
    return true;
  };
  std::string a, b;
  if (option == "--move") {
    if (!pair(',', a, b) || !Number(a, step.A) || !Number(b, step.B))
      return "--move needs X,Y, not '" + value + "'";
  } else if (option == "--first-element") {
    if (!pair(':', a, b) || !TryTextToInt(a, step.Region) || !TryTextToInt(b, step.Index))
      return "--first-element needs REGION:INDEX, not '" + value + "'";
  } else if (option == "--profiles") {
    step.Text = value;
  } else if (option == "--wall") {
    if (!pair(':', a, b) || !TryTextToInt(a, step.Region))
      return "--wall needs REGION:PROFILE:DELTA, not '" + value + "'";
    const std::size_t at = b.find(':');
    if (at == std::string::npos || !TryTextToInt(b.substr(0, at), step.Index) ||
        !Number(b.substr(at + 1), step.A))
      return "--wall needs REGION:PROFILE:DELTA, not '" + value + "'";
    if (step.Index < 1 || !(step.A > 0.0))
      return "--wall needs a profile of 1 or more and a delta above 0, not '" + value + "'";
  } else if (!Number(value, step.A)) {
    return option + " needs a number, not '" + value + "'";
  } else if (option.rfind("--depth", 0) == 0 && step.A < 0.0) {
    return option + " needs a depth of 0 or more, not '" + value + "'";
  }
  return {};
}

}  // namespace

std::string ExtractEditSteps(std::vector<std::string>& args, std::vector<EditStep>& steps) {
  std::vector<std::string> rest;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& s = args[i];
    if (IsFlagStep(s)) {
      steps.push_back(EditStep{s, 0.0, 0.0, 0, 0, {}});
    } else if (IsValueStep(s)) {
      if (i + 1 >= args.size()) return s + " needs a value";
      EditStep step{s, 0.0, 0.0, 0, 0, {}};
      if (std::string bad = Parse(s, args[++i], step); !bad.empty()) return bad;
      // The library must be there before a wall refers to it, wherever it
      // was typed.
      if (s == "--profiles")
        steps.insert(steps.begin(), step);
      else
        steps.push_back(step);
    } else {
      rest.push_back(s);
    }
  }
  args = std::move(rest);
  return {};
}

bool ApplyEditSteps(Document& doc, const std::vector<EditStep>& steps,
                    const std::function<void()>& reselect, std::ostream& err) {
  for (const EditStep& step : steps) {
    const std::string& o = step.Option;
    const bool needsSelection = o != "--explode" && o != "--first-element" &&
                                o.rfind("--depth", 0) != 0 && o != "--wall" && o != "--profiles";
    if (needsSelection && !AnyRegionSelected(doc.Regions)) {
      err << "tarnak-cli: " << o << ": nothing is selected\n";
      return false;
    }
    if (o == "--reverse") {
      ReverseSelectedCommand(doc);
    } else if (o == "--explode" || o == "--join" || o == "--combine") {
      if (o == "--explode") ExplodeCommand(doc);
      if (o == "--join") JoinCommand(doc);
      if (o == "--combine") CombineCommand(doc);
      DeselectAll(doc);
      if (reselect) reselect();
    } else if (o == "--move" || o == "--scale" || o == "--rotate") {
      const MoveWindowValues shown = MoveWindowRefresh(doc, {});
      MoveFields f;
      f.X = o == "--move" ? step.A : shown.LowerLeftX;
      f.Y = o == "--move" ? step.B : shown.LowerLeftY;
      if (o == "--scale") f.Scale = step.A;
      if (o == "--rotate") f.RotateDegrees = step.A;
      MoveApply(doc, f, shown);
    } else if (o == "--depth-boundaries" || o == "--depth-islands") {
      DepthApply(doc, o == "--depth-islands" ? DepthTarget::Islands : DepthTarget::Boundaries,
                 step.A, 0);
    } else if (o == "--profiles") {
      const ProfileLoadResult loaded = LoadProfileFile(
          step.Text, doc.Options.Program.Dir ? 1 : 0, doc.Cancel, doc.ui(), doc.ProfileLibrary);
      if (loaded.State != ProfileLoadResult::Status::Loaded) {
        err << "tarnak-cli: --profiles: " << loaded.Message << '\n';
        return false;
      }
    } else if (o == "--wall") {
      const int n = static_cast<int>(doc.Regions.size()) - 1;
      const int p = static_cast<int>(doc.ProfileLibrary.size()) - 1;
      if (step.Region < 1 || step.Region > n) {
        err << "tarnak-cli: --wall: no Region " << step.Region << " (1 - " << n << ")\n";
        return false;
      }
      // The window keeps a number beyond the library (and WallDistance then
      // ignores it); typed on a command line it is a slip worth a message.
      if (step.Index > p) {
        err << "tarnak-cli: --wall: no profile " << step.Index
            << (p < 1 ? " (no --profiles library loaded)" : " (1 - " + std::to_string(p) + ")")
            << '\n';
        return false;
      }
      AssignWall(doc.Regions, step.Region, step.Index, step.A);
    } else if (o == "--first-element") {
      const int n = static_cast<int>(doc.Regions.size()) - 1;
      if (step.Region < 1 || step.Region > n) {
        err << "tarnak-cli: --first-element: no Region " << step.Region << " (1 - " << n << ")\n";
        return false;
      }
      TTNRegion& r = doc.Regions[static_cast<std::size_t>(step.Region)];
      const int count = static_cast<int>(r.Elements.size());
      if (r.Open != 0 || step.Index < 0 || step.Index >= count) {
        err << "tarnak-cli: --first-element: Region " << step.Region
            << (r.Open != 0 ? " is open" : " has no Element " + std::to_string(step.Index)) << '\n';
        return false;
      }
      SetFirstElement(r, step.Index);
    }
  }
  return true;
}

}  // namespace tarnak::cli
