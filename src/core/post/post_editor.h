// What the post-processor editor does apart from its controls: the example
// texts, the token and script page rules, the section it saves, and its
// load, save and delete commands with their messages and questions.
//
// The editor works on the program's one current definition: the token and
// script pages change it in place (NC output follows at once, saved or
// not), while the general fields and the header and footer texts stay in
// the dialog until they are saved (PostToSave).
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "base/user_interface.h"
#include "post/post_definition.h"

namespace tarnak {

// Caption of the editor's message boxes.
inline constexpr std::string_view kPostEditorCaption = "Tarnak 2000";
// Text shown in front of the script example.
inline constexpr std::string_view kScriptExamplePrefix = "Ex. ";
// The place count the token page starts with.
inline constexpr std::string_view kDefaultTokenPlaces = "4";
// Most decimals a token can be given (the formatter's limit).
inline constexpr int kMaxTokenPlaces = 999;

// ---- examples ---------------------------------------------------------------

// The numbers the examples are written with: value 0 is 0, value k is
// 12.34567890123 + (k - 1), so that every variable shows a different value.
inline constexpr std::size_t kSampleValueCount = 21;
const std::array<double, kSampleValueCount>& PostEditorSampleValues();

// FormatToken with the sample values. A Format that cannot take a number
// gives the formatter's reason instead, so a bad token shows why it is bad.
std::string TokenExample(const TTNToken& token);

// The script of `slot` written with the sample values, without the "Ex. "
// prefix: modal tokens in "<" ">", other tokens as they are, command items
// as the Command ("<null>" writes nothing), joined with nothing between.
// Unlike NC output, Ft, St and Tt are formatted here too. A slot out of
// range gives "".
std::string ScriptExample(const TTNPostProcessor& def, int slot);

// ---- token page -----------------------------------------------------------

// What the token page shows of one token.
struct TokenPageFields {
  std::string Address;  // the Designation
  int Variable = -1;    // index of the variable choice; -1 = nothing chosen
  std::string Places;   // decimal places
  bool Plus = false;
};

// The page for `token`. The decimal places are the digits that follow the
// first "." of the Format; a Format without "." leaves `shownPlaces` as it
// was. A Variable that is not one of the 19 shows no choice.
TokenPageFields TokenPageOf(const TTNToken& token, std::string_view shownPlaces);

// The create button: Designation and Variable from the page, then Format
// "%1.<places>f" and Plus. Empty places count as "0" (and the page should
// show "0"). Places that are not a whole number from 0 to kMaxTokenPlaces
// throw ConvertError naming the field; the token then keeps the new
// Designation and Variable but its previous Format and Plus.
void CreateToken(TTNToken& token, const TokenPageFields& page);

// The clear button: no Designation, Variable -1, no Format; such a token
// writes nothing.
void ClearToken(TTNToken& token);

// ---- script page ----------------------------------------------------------

// The script choice (0 Linear, 1 Rapid, 2 CW arc, 3 CCW arc, 4 drill) and
// the variant (0 "Single Move", 1 "Continuous") give the slot 2 x choice +
// variant; -1 when either is out of range.
int ScriptSlotOf(int scriptChoice, int variant);

// The command field for a script: its Command, empty for "<null>".
std::string ScriptCommandText(const TTNScript& script);

// The add buttons append (token, modal) or, for a command, (-1, not modal)
// when the command field is not empty; AddScriptCommand returns false and
// changes nothing for an empty field.
void AddScriptToken(TTNScript& script, int tokenSlot, bool modal);
bool AddScriptCommand(TTNScript& script, std::string_view commandField);

// ---- general fields, header and footer ----------------------------------

// The fields of the general page and the two text fields.
struct PostGeneralFields {
  std::string Extension;
  std::string Comment;
  std::string EndComment;
  bool IncludeComment = true;
  std::int32_t MaxBlock = 0;
  bool DecimalPoint = true;
  std::string Header;  // one line per line of the text field
  std::string Footer;
};

// The fields as they show a definition.
PostGeneralFields GeneralFieldsOf(const TTNPostProcessor& def);

// The lines of a text field: split at line ends ("\r\n" or "\n"); a line
// end at the very end opens no further line; an empty text has none.
std::vector<std::string> TextLines(std::string_view text);
// The text field of a list of lines, which TextLines reads back as they
// are (a last empty line gets a line end of its own).
std::string LinesText(const std::vector<std::string>& lines);

// What the save button writes: the current definition (tokens, scripts and
// everything the editor does not show) with the general fields and the
// header and footer lines of the page.
TTNPostProcessor PostToSave(const TTNPostProcessor& current, const PostGeneralFields& fields);

// ---- commands -------------------------------------------------------------

// Names the save and delete buttons refuse: empty and "None".
bool IsEditablePostName(std::string_view name);

// The edit/load button: loads `name` into def. Says "Post Processor NAME
// not found!" when the file or the section is missing, and the reason when
// the section cannot be read (what was read before the bad line stays).
// True when it was loaded.
bool EditorLoadPost(UserInterface& ui, TTNPostProcessor& def, std::string_view name,
                    const std::filesystem::path& postsFile);

// The save button. An empty name or "None": "Enter a unique name for this
// processor". A name the file has already: "Post <NAME> Exists!  Overwrite
// it?", No saves nothing. Then PostToSave(current, fields) is written into
// the section (the file is replaced whole, through a temporary file) and
// "NAME Saved!" shown. Over an existing section only the keys the editor
// shows are written (ToolChange, Start, Increment and the tool block stay
// as they are in the file); a new section gets those from `current` too,
// so that a copied post keeps its tool change. A definition that cannot be saved, or a file that
// cannot be written, is reported and nothing is changed. True when saved.
bool EditorSavePost(UserInterface& ui, const TTNPostProcessor& current,
                    const PostGeneralFields& fields, std::string_view name,
                    const std::filesystem::path& postsFile);

// The delete button: for a name that is not empty or "None", asks "Are you
// sure you want to delete NAME" and on Yes removes the section (when the
// file exists). True when the user said Yes.
bool EditorDeletePost(UserInterface& ui, std::string_view name,
                      const std::filesystem::path& postsFile);

}  // namespace tarnak
