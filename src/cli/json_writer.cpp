#include "json_writer.h"

#include "base/atomic_file.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace tarnak::cli {

std::string JsonNumber(double v) {
  if (!std::isfinite(v)) return "null";
  char buf[64];
  const auto res = std::to_chars(buf, buf + sizeof buf, v);
  return std::string(buf, res.ptr);
}

std::string JsonString(const std::string& s) {
  std::string out = "\"";
  for (const char ch : s) {
    const auto c = static_cast<unsigned char>(ch);
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20) {
          char buf[8];
          std::snprintf(buf, sizeof buf, "\\u%04x", c);
          out += buf;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  return out + "\"";
}

std::string JsonElement(const TTNEntity& e) {
  return "{\"x\": " + JsonNumber(e.X) + ", \"y\": " + JsonNumber(e.Y) +
         ", \"radius\": " + JsonNumber(e.Radius) + ", \"x2\": " + JsonNumber(e.X2) +
         ", \"y2\": " + JsonNumber(e.Y2) + "}";
}

std::string RegionsJson(const Document& doc, const std::string& status, bool selection) {
  const DrawingExtentsRec& x = doc.DrawingExtents;
  std::string out = "{\"status\": " + JsonString(status) + ", \"extents\": [" + JsonNumber(x.MinX) +
                    ", " + JsonNumber(x.MaxX) + ", " + JsonNumber(x.MinY) + ", " +
                    JsonNumber(x.MaxY) + "], ";
  if (selection) {
    const int slot0Owner = doc.Regions.empty() ? 0 : doc.Regions[0].Owner;
    out += "\"slot0Owner\": " + std::to_string(slot0Owner) + ", ";
  }
  out += "\"regions\": [";
  for (size_t i = 1; i < doc.Regions.size(); ++i) {
    const TTNRegion& r = doc.Regions[i];
    if (i > 1) out += ", ";
    out += "\n  {\"index\": " + std::to_string(i) + ", \"open\": " + std::to_string(r.Open) +
           ", \"direction\": " + std::to_string(r.Direction) + ", \"depth\": " + JsonNumber(r.Depth);
    if (selection) {
      out += ", \"selected\": " + std::to_string(r.Selected) + ", \"owner\": " +
             std::to_string(r.Owner) + ", \"parent\": " + std::to_string(r.Parent) +
             ", \"level\": " + std::to_string(r.Level);
    }
    out += ", \"box\": [" + JsonNumber(r.MinX) + ", " + JsonNumber(r.MinY) + ", " +
           JsonNumber(r.MaxY) + ", " + JsonNumber(r.MaxX) + "], \"elements\": [";
    for (size_t k = 0; k < r.Elements.size(); ++k) {
      if (k) out += ", ";
      out += JsonElement(r.Elements[k]);
    }
    out += "]}";
  }
  out += "\n]}\n";
  return out;
}

std::string ToolpathsJson(const Document& doc, const std::string& status) {
  std::string out = "{\"status\": " + JsonString(status) + ", \"toolpaths\": [";
  for (size_t i = 1; i < doc.Toolpaths.size(); ++i) {
    const TTNOutRegion& t = doc.Toolpaths[i];
    if (i > 1) out += ", ";
    auto lead = [](const TTNEntity& e) { return e.Mark ? JsonElement(e) : std::string("null"); };
    out += "\n  {\"index\": " + std::to_string(i) + ", \"linkKind\": " + std::to_string(t.LinkKind) +
           ", \"rapidLevel\": " + JsonNumber(t.RapidLevel) + ", \"depth\": " + JsonNumber(t.Depth) +
           ", \"tool\": " + std::to_string(t.ToolNumber) + ", \"feed\": " + JsonNumber(t.Feed) +
           ", \"plungeFeed\": " + JsonNumber(t.PlungeFeed) + ", \"rpm\": " +
           JsonNumber(t.SpindleSpeed) + ", \"open\": " + std::to_string(t.Open) +
           ", \"island\": " + std::to_string(t.Island) + ", \"leadMoves\": " +
           std::to_string(t.LeadMoves) + ", \"entry\": " + lead(t.EntryMove) +
           ", \"exit\": " + lead(t.ExitMove) + ", \"elements\": [";
    for (size_t k = 0; k < t.Elements.size(); ++k) {
      if (k) out += ", ";
      out += JsonElement(t.Elements[k]);
    }
    out += "]}";
  }
  out += "\n]}\n";
  return out;
}

bool WriteJsonTo(const std::string& target, const std::string& json, std::ostream& out,
                 std::ostream& err) {
  if (target.empty()) return true;
  if (target == "-") {
    out << json;
    return true;
  }
  try {
    AtomicFile::WriteWhole(target, json);
  } catch (const AtomicFileError& e) {
    err << "tarnak-cli: " << e.what() << '\n';
    return false;
  }
  return true;
}

}  // namespace tarnak::cli
