// Saving the toolpaths as an NC program: the comment lines that open the
// file, the overwrite-or-append decision and the choice of writer.
//
// The save dialog and the "File Exist!" question belong to the user
// interface; the caller asks them (with the texts below) and hands the
// answers in.
#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "post/post_definition.h"
#include "shell/document.h"
#include "toolpaths/machining_params.h"
#include "toolpaths/toolpath_model3d.h"

namespace tarnak {

// The question asked when the chosen file exists; its two buttons.
inline constexpr std::string_view kNcFileExistsCaption = "File Exist!";
inline constexpr std::string_view kNcFileExistsText =
    "File Exists!  Would you like to Overwrite or Append this file";
inline constexpr std::string_view kNcOverwriteButton = "Overwrite";
inline constexpr std::string_view kNcAppendButton = "Append";

// The save dialog's filter: Name + " Files (*.ext)|*.ext|All Files (*.*)|*.*".
std::string NcFileFilter(const TTNPostProcessor& post);
// The proposed file name: the document's file name + "." + Extension.
std::string ProposedNcFileName(const Document& doc);

// The time (long time format, "%X") and date (short date format, "%x") of
// `when` in local time, as the user's locale writes them (its LC_TIME
// part; the classic "C" formats when the environment names no locale that
// exists). Only the time formats of the locale are used: numbers in the
// NC output never depend on it.
std::string LocalTimeText(std::chrono::system_clock::time_point when);
std::string LocalDateText(std::chrono::system_clock::time_point when);

// The text of a comment made safe for the post: inside a comment closed by
// EndComment, a copy of EndComment would end it early (and a copy of
// Comment nest it, which some controls reject), so they are replaced by
// "[" and "]" ("<" and ">" when the delimiters are brackets themselves).
std::string CommentSafeText(const TTNPostProcessor& post, std::string_view text);

// The comment lines of an NC file, each Comment + text + EndComment:
//   "Created <time> <date> from <document file name>"
//   "Post = <post name>"
//   "Tool <rough number> = <rough name>"
//   "Finish Tool <finish number> = <finish name>"   (when a finish mode is set)
std::vector<std::string> NcCommentLines(const TTNPostProcessor& post,
                                        const TTNMachiningParameters& params,
                                        std::string_view documentFileName,
                                        std::chrono::system_clock::time_point now);

// Asked before a cancelled, partial set of toolpaths is written.
inline constexpr std::string_view kIncompleteToolpathsText =
    "Toolpaths are incomplete (cancelled). Save anyway?";

// True when the toolpaths may be saved: at once for a complete set; for
// one that Escape cut short (doc.ToolpathsCancelled) only when the user
// answers Yes to kIncompleteToolpathsText.
bool ConfirmSaveToolpaths(Document& doc);

enum class ExistingNcFile { Overwrite, Append };

struct SaveToolpathsOptions {
  // The answer to the "File Exist!" question; used only when the file exists.
  ExistingNcFile IfExists = ExistingNcFile::Overwrite;
  // The prototype passes, written instead of the 2D toolpaths when the
  // document holds an STL model. None: nothing is written in STL mode.
  const TTNOutRegionArray3D* Passes3D = nullptr;
  // The clock of the "Created" line; the system clock when empty.
  std::function<std::chrono::system_clock::time_point()> Clock;
};

// Writes the document's toolpaths to `file` through its current post:
// sets the post's Append flag (true only for an existing file the user
// chose to append to), builds the comment lines and runs WriteNC3D in STL
// mode, WriteNC2D otherwise.
//
// The program is written to a temporary file beside `file` and renamed
// into place when complete (appending: a copy of the old program, extended),
// so a failure or a killed program leaves the old file as it was.
//
// Throws NcWriteError (a FileError naming the file and the system's reason)
// when the file cannot be created or written, and FormatError when a token
// of the post or a value of a toolpath cannot be written; the command layer
// shows the message. The file is closed in every case.
void SaveToolpathsCommand(Document& doc, const std::filesystem::path& file,
                          const SaveToolpathsOptions& options = {});

}  // namespace tarnak
