// Helpers shared by the DXF tests: a user interface that records what the
// reader tells the user, and a small builder for DXF text.
#pragma once

#include <deque>
#include <string>
#include <string_view>
#include <vector>

#include "import/dxf/dxf_entities.h"
#include "base/user_interface.h"

namespace tarnak::dxftest {

class RecordingUi : public UserInterface {
 public:
  struct Call {
    std::string Text, Caption;
    MsgButtons Buttons;
    MsgIcon Icon;
  };
  MsgResult Message(const std::string& text, const std::string& caption, MsgButtons buttons,
                    MsgIcon icon) override {
    Calls.push_back({text, caption, buttons, icon});
    if (buttons == MsgButtons::Ok) return MsgResult::Ok;
    if (Answers.empty()) return MsgResult::Ok;
    const MsgResult r = Answers.front();
    Answers.pop_front();
    return r;
  }
  void SetStatus(const std::string&) override {}
  void SetStatus2(const std::string&) override {}
  void SetHint(const std::string& text) override { Hints.push_back(text); }
  void ProgressStart(int maximum) override {
    ProgressMax = maximum;
    ++ProgressStarts;
  }
  void ProgressStep() override { ++ProgressSteps; }

  std::deque<MsgResult> Answers;
  std::vector<Call> Calls;
  std::vector<std::string> Hints;
  int ProgressMax = -1, ProgressStarts = 0, ProgressSteps = 0;
};

// Group code / value lines with a chosen line end.
class DxfText {
 public:
  explicit DxfText(std::string eol = "\n") : eol_(std::move(eol)) {}
  DxfText& G(int code, std::string_view value) {
    text_ += std::to_string(code) + eol_;
    text_.append(value);
    text_ += eol_;
    return *this;
  }
  DxfText& Raw(std::string_view line) {
    text_.append(line);
    text_ += eol_;
    return *this;
  }
  DxfText& BeginSection(std::string_view name) { return G(0, "SECTION").G(2, name); }
  DxfText& EndSection() { return G(0, "ENDSEC"); }
  DxfText& Eof() { return G(0, "EOF"); }
  DxfText& Line(std::string_view layer, double x1, double y1, double x2, double y2) {
    G(0, "LINE").G(8, layer);
    return G(10, Num(x1)).G(20, Num(y1)).G(30, "0").G(11, Num(x2)).G(21, Num(y2)).G(31, "0");
  }
  static std::string Num(double v) {
    std::string s = std::to_string(v);  // no locale is set in the tests
    return s;
  }
  const std::string& Str() const { return text_; }

 private:
  std::string eol_;
  std::string text_;
};

// All entities of one class name over all layers, in layer then file order.
inline std::vector<const DXF_Entity*> EntitiesOf(const DXF_Object& d, std::string_view cls) {
  std::vector<const DXF_Entity*> out;
  for (const auto& layer : d.Layers)
    for (const auto& list : layer->Lists)
      if (list->ClassName == cls)
        for (const auto& e : list->Entities) out.push_back(e.get());
  return out;
}

inline size_t CountOf(const DXF_Object& d, std::string_view cls) { return EntitiesOf(d, cls).size(); }

}  // namespace tarnak::dxftest
