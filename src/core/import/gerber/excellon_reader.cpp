// Line by line: the header (M48 to '%' or M95) holds the unit, the zero
// rule, the number format and the tool table; the body selects tools and
// places holes, keeping the last value of an axis that a line leaves out.
#include "import/gerber/excellon_reader.h"

#include <cmath>
#include <map>
#include <sstream>

#include "geometry/primitives.h"

namespace tarnak {

namespace {

struct Format {
  bool metric = false;
  bool leadingKept = false;  // LZ: leading zeros written, trailing may be left out
  int intDigits = 2, decDigits = 4;
};

// A coordinate as written: with a decimal point literal, otherwise by the
// zero rule and the number format. False when it is not a number.
bool ParseCoordinate(const std::string& s, const Format& f, double& v) {
  if (s.empty()) return false;
  size_t p = 0;
  bool neg = false;
  if (s[0] == '-' || s[0] == '+') {
    neg = s[0] == '-';
    p = 1;
  }
  std::string digits = s.substr(p);
  if (digits.empty() || digits.find_first_not_of("0123456789.") != std::string::npos) return false;
  if (digits.find('.') != std::string::npos) {
    try {
      v = std::stod(digits);
    } catch (...) {
      return false;
    }
  } else {
    if (digits.size() > 15) return false;
    if (f.leadingKept)
      while (static_cast<int>(digits.size()) < f.intDigits + f.decDigits) digits.push_back('0');
    v = static_cast<double>(std::stoll(digits)) / std::pow(10.0, f.decDigits);
  }
  if (neg) v = -v;
  return std::isfinite(v);
}

}  // namespace

GerberStatus ExcellonImportText(const std::string& text, const std::string& name,
                                TTNRegionArray& regions, UserInterface& ui) {
  Format f;
  std::map<int, double> tools;
  int tool = -1;
  double x = 0, y = 0;
  bool reportedUnknown = false;
  TTNRegionArray out(1);
  std::istringstream in(text);
  std::string line;
  int number = 0;
  auto unknown = [&](const std::string& l) {
    if (reportedUnknown) return;
    reportedUnknown = true;
    ui.Message("Drill file '" + name + "', line " + std::to_string(number) + ": '" + l +
                   "' not understood; such lines are skipped.",
               "Tarnak", MsgButtons::Ok, MsgIcon::Warning);
  };
  auto stop = [&](const std::string& why) {
    ui.Message("Drill file '" + name + "', line " + std::to_string(number) + ": " + why, "Error",
               MsgButtons::Ok, MsgIcon::Error);
    return GerberStatus::Stopped;
  };
  // Reads X and Y from `l` at p onwards into x, y; false on a bad number.
  auto readXY = [&](const std::string& l, size_t& p, double& px, double& py) {
    while (p < l.size() && (l[p] == 'X' || l[p] == 'Y')) {
      const char axis = l[p++];
      const size_t b = p;
      while (p < l.size() && (std::isdigit(static_cast<unsigned char>(l[p])) || l[p] == '.' ||
                              l[p] == '-' || l[p] == '+'))
        ++p;
      double v = 0;
      if (!ParseCoordinate(l.substr(b, p - b), f, v) || std::fabs(v) > 1e6) return false;
      (axis == 'X' ? px : py) = v;
    }
    return true;
  };
  while (std::getline(in, line)) {
    ++number;
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t')) line.pop_back();
    if (line.empty() || line[0] == ';') continue;
    if (line == "M48" || line == "%" || line == "M95" || line == "G90" || line == "G05" ||
        line == "M71" || line == "M72" || line.rfind("FMAT", 0) == 0 || line.rfind("ICI", 0) == 0 ||
        line.rfind("ATC", 0) == 0 || line == "G00" || line == "G01" || line == "M15" || line == "M16" ||
        line == "M17" || line == "R,T" || line.rfind("VER", 0) == 0) {
      if (line == "M71") f.metric = true;
      if (line == "M72") f.metric = false;
      continue;
    }
    if (line == "M30" || line == "M00" || line == "M02") break;
    if (line.rfind("METRIC", 0) == 0 || line.rfind("INCH", 0) == 0) {
      f.metric = line[0] == 'M';
      f.intDigits = f.metric ? 3 : 2;
      f.decDigits = f.metric ? 3 : 4;
      f.leadingKept = line.find("LZ") != std::string::npos;
      // An explicit pattern such as 000.000 gives the digits.
      const size_t dot = line.rfind('.');
      if (dot != std::string::npos) {
        size_t a = dot;
        while (a > 0 && line[a - 1] == '0') --a;
        size_t b = dot + 1;
        while (b < line.size() && line[b] == '0') ++b;
        if (dot - a > 0 && b - dot - 1 > 0) {
          f.intDigits = static_cast<int>(dot - a);
          f.decDigits = static_cast<int>(b - dot - 1);
        }
      }
      continue;
    }
    if (line[0] == 'T') {
      size_t p = 1;
      while (p < line.size() && std::isdigit(static_cast<unsigned char>(line[p]))) ++p;
      if (p == 1 || p > 9) {
        unknown(line);
        continue;
      }
      const int t = std::stoi(line.substr(1, p - 1));
      const size_t c = line.find('C', p);
      if (c != std::string::npos) {
        size_t e = c + 1;
        while (e < line.size() && (std::isdigit(static_cast<unsigned char>(line[e])) || line[e] == '.')) ++e;
        double d = 0;
        try {
          d = std::stod(line.substr(c + 1, e - c - 1));
        } catch (...) {
          return stop("bad tool diameter '" + line + "'");
        }
        if (!(d > 0) || d > 1e4) return stop("bad tool diameter '" + line + "'");
        tools[t] = d;
      } else if (t == 0) {
        tool = -1;
      } else {
        tool = t;
      }
      continue;
    }
    if (line[0] == 'X' || line[0] == 'Y') {
      size_t p = 0;
      double nx = x, ny = y;
      if (!readXY(line, p, nx, ny)) return stop("bad coordinate in '" + line + "'");
      double ex = nx, ey = ny;
      bool slot = false;
      if (line.compare(p, 3, "G85") == 0) {
        p += 3;
        if (!readXY(line, p, ex, ey)) return stop("bad coordinate in '" + line + "'");
        slot = true;
      }
      if (p != line.size()) {
        unknown(line);
        continue;
      }
      if (tool < 0 || !tools.count(tool)) return stop("a hole before any tool is selected");
      TTNRegion r;
      if (slot) {
        r.Elements.push_back(MakeLine(nx, ny, ex, ey));
        r.Open = 1;
      } else {
        r.Elements.push_back(MakeArc(nx, ny, tools[tool] / 2.0, 0.0, 0.0));
      }
      RegionBounds(r);
      out.push_back(std::move(r));
      x = slot ? ex : nx;
      y = slot ? ey : ny;
      continue;
    }
    unknown(line);
  }
  regions = std::move(out);
  return GerberStatus::Imported;
}

GerberStatus ExcellonImport(const std::string& path, TTNRegionArray& regions, UserInterface& ui) {
  std::string text;
  if (!ReadBoardFile(path, text, ui)) return GerberStatus::Failed;
  return ExcellonImportText(text, path, regions, ui);
}

}  // namespace tarnak
