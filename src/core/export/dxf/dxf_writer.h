// Writing a DxfOutObject as an ASCII DXF file.
//
// Every group is its code as a plain integer and its value, each on a line
// ended by CR LF. Entity numbers go through one fixed formatter (7
// significant digits, exactly 6 decimals, the same text as the reader's
// FormatDxfNumber); the extents are written in general format with up to
// 15 significant digits. No number depends on the locale or on the
// program's decimal separator: DXF always uses '.'.
//
// The formatter is the cost of a big file, so the common case (a finite
// value below 10^7 whose rounding is not a near tie) is done with integer
// arithmetic; the rest falls back to FormatDxfNumber, which decides
// halves on the exact decimal expansion.
//
// The file is written through AtomicFile: a failed write leaves the old
// file as it was.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>

#include "export/dxf/dxf_document.h"

namespace tarnak {

// Appends `value` as the fixed formatter spells it ("12.500000").
void AppendDxfFixed(std::string& out, double value);
// Writes it at `buffer` (room for 64 characters); returns the length.
std::size_t FormatDxfFixed(double value, char* buffer);

// The whole file's text.
std::string DxfText(const DxfOutObject& drawing);

// Writes the file, replacing one that is there. Nothing is written (and
// false returned) for an object without layers. Throws AtomicFileError
// naming the file with the system's reason.
bool WriteDXF(const DxfOutObject& drawing, const std::filesystem::path& file);

}  // namespace tarnak
