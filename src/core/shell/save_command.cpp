#include "shell/save_command.h"

#include <ctime>
#include <locale>
#include <sstream>
#include <stdexcept>
#include <system_error>

#include "post/nc_writer.h"
#include "base/numbers.h"

namespace tarnak {

namespace {

// The classic locale with the time formats of the user's locale, so that
// nothing but the time and date texts can follow the environment.
std::locale TimeLocale() {
  try {
    return std::locale(std::locale::classic(), std::locale(""), std::locale::time);
  } catch (const std::runtime_error&) {
    return std::locale::classic();
  }
}

std::string LocalText(std::chrono::system_clock::time_point when, const char* format) {
  const std::time_t t = std::chrono::system_clock::to_time_t(when);
  std::tm local{};
#ifdef _WIN32
  if (::localtime_s(&local, &t) != 0) return std::string();
#else
  if (::localtime_r(&t, &local) == nullptr) return std::string();
#endif
  std::ostringstream out;
  out.imbue(TimeLocale());
  const std::time_put<char>& put = std::use_facet<std::time_put<char>>(out.getloc());
  const std::string_view f(format);
  put.put(std::ostreambuf_iterator<char>(out), out, ' ', &local, f.data(), f.data() + f.size());
  return out.str();
}

std::string Wrapped(const TTNPostProcessor& post, std::string_view text) {
  return post.Comment + CommentSafeText(post, text) + post.EndComment;
}

std::string ReplaceAll(std::string_view text, std::string_view what, std::string_view with) {
  if (what.empty()) return std::string(text);
  std::string out;
  std::size_t at = 0;
  for (std::size_t hit; (hit = text.find(what, at)) != std::string_view::npos;
       at = hit + what.size()) {
    out.append(text.substr(at, hit - at));
    out.append(with);
  }
  out.append(text.substr(at));
  return out;
}

bool HasBracket(std::string_view s) { return s.find_first_of("[]") != std::string_view::npos; }

}  // namespace

std::string NcFileFilter(const TTNPostProcessor& post) {
  return post.Name + " Files (*." + post.Extension + ")|*." + post.Extension +
         "|All Files (*.*)|*.*";
}

std::string ProposedNcFileName(const Document& doc) {
  return ExtractFileNameOnly(doc.FileName) + "." + doc.PostDefinition.Extension;
}

std::string LocalTimeText(std::chrono::system_clock::time_point when) {
  return LocalText(when, "%X");
}

std::string LocalDateText(std::chrono::system_clock::time_point when) {
  return LocalText(when, "%x");
}

std::string CommentSafeText(const TTNPostProcessor& post, std::string_view text) {
  // A comment that runs to the end of the line cannot be cut short.
  if (post.EndComment.empty()) return std::string(text);
  const bool brackets = HasBracket(post.Comment) || HasBracket(post.EndComment);
  const std::string closed = ReplaceAll(text, post.EndComment, brackets ? ">" : "]");
  return ReplaceAll(closed, post.Comment, brackets ? "<" : "[");
}

std::vector<std::string> NcCommentLines(const TTNPostProcessor& post,
                                        const TTNMachiningParameters& params,
                                        std::string_view documentFileName,
                                        std::chrono::system_clock::time_point now) {
  std::vector<std::string> lines;
  lines.push_back(Wrapped(post, "Created " + LocalTimeText(now) + " " + LocalDateText(now) +
                                    " from " + std::string(documentFileName)));
  lines.push_back(Wrapped(post, "Post = " + post.Name));
  lines.push_back(Wrapped(post, "Tool " + std::to_string(params.Rough.ToolNumber) + " = " +
                                    params.Rough.Name));
  if (params.FinishMode != kFinishNone) {
    lines.push_back(Wrapped(post, "Finish Tool " + std::to_string(params.Finish.ToolNumber) +
                                      " = " + params.Finish.Name));
  }
  return lines;
}

bool ConfirmSaveToolpaths(Document& doc) {
  if (!doc.ToolpathsCancelled) return true;
  return doc.ui().Message(std::string(kIncompleteToolpathsText), "Tarnak", MsgButtons::YesNo,
                          MsgIcon::Question) == MsgResult::Yes;
}

void SaveToolpathsCommand(Document& doc, const std::filesystem::path& file,
                          const SaveToolpathsOptions& options) {
  std::error_code ec;
  const bool exists = std::filesystem::exists(file, ec);
  TTNPostProcessor& post = doc.PostDefinition;
  post.Append = exists && options.IfExists == ExistingNcFile::Append;

  const auto now = options.Clock ? options.Clock() : std::chrono::system_clock::now();
  const std::vector<std::string> comments =
      NcCommentLines(post, doc.MachiningParams, doc.FileName, now);
  // Written atomically, a failure leaves the file as it was: the message
  // says so, so that nobody looks for a partial program.
  const std::string kept = "'" + file.string() + "' was left as it was";
  try {
    if (doc.StlMode) {
      WriteNC3D(options.Passes3D != nullptr ? *options.Passes3D : doc.Toolpaths3D, comments,
                doc.MachiningParams, post, file, NcFileWrite::Atomic);
    } else {
      WriteNC2D(doc.Toolpaths, comments, doc.MachiningParams, post, file, NcFileWrite::Atomic);
    }
  } catch (const NcWriteError& e) {
    throw NcWriteError(e.file(), std::string(e.what()) + "; " + kept);
  } catch (const FormatError& e) {
    throw FormatError(std::string(e.what()) + "; " + kept);
  }
}

}  // namespace tarnak
