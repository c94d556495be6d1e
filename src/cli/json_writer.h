// Small JSON helpers for the command line's dumps.
#pragma once

#include <ostream>
#include <string>

#include "geometry/geometry.h"
#include "shell/document.h"

namespace tarnak::cli {

// Shortest text that reads back as the same double; null for NaN and inf,
// which JSON cannot hold.
std::string JsonNumber(double v);
std::string JsonString(const std::string& s);
// {"x":..,"y":..,"radius":..,"x2":..,"y2":..}
std::string JsonElement(const TTNEntity& e);
// The document's Regions with status and extents; with `selection` also
// each Region's selection fields and slot 0's Owner.
std::string RegionsJson(const Document& doc, const std::string& status, bool selection = false);
// The document's toolpaths with their link, tool and lead moves.
std::string ToolpathsJson(const Document& doc, const std::string& status);

// Writes `json` to `target`: nothing for an empty target, standard output
// for "-", else the file (atomically). False, with a message, on failure.
bool WriteJsonTo(const std::string& target, const std::string& json, std::ostream& out,
                 std::ostream& err);

}  // namespace tarnak::cli
