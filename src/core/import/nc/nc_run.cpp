#include "import/nc/nc_run.h"

#include <algorithm>

namespace tarnak {

namespace {

int EndOf(const TTNEdEntityArray& moves) {
  return moves.empty() ? 0 : static_cast<int>(moves.size() - 1);
}

bool Valid(int index, int end) { return index >= 1 && index <= end; }

int LineOf(const TTNEdEntityArray& moves, int index) {
  return moves[static_cast<std::size_t>(index)].Line;
}

// The first move whose text line is at or after `line`; 0 when none.
int FirstAtOrAfterLine(const TTNEdEntityArray& moves, int line) {
  const int end = EndOf(moves);
  for (int i = 1; i <= end; ++i)
    if (LineOf(moves, i) >= line) return i;
  return 0;
}

// The first move from `from` on whose Kind is `kind`; 0 when none.
int NextOfKind(const TTNEdEntityArray& moves, int from, std::uint8_t kind) {
  const int end = EndOf(moves);
  for (int i = std::max(from, 1); i <= end; ++i)
    if (moves[static_cast<std::size_t>(i)].Kind == kind) return i;
  return 0;
}

NCRunStep Show(int first, int last, int selectLine) {
  NCRunStep step;
  step.Acted = true;
  step.DrawFirst = first;
  step.DrawLast = last;
  step.SelectLine = selectLine;
  return step;
}

}  // namespace

NCRunStep NCRunPress(NCRunState& s, NCRunButton button, const TTNEdEntityArray& moves,
                     int caretLine) {
  const int end = EndOf(moves);
  switch (button) {
    case NCRunButton::Next: {
      // Past the end the state stays put, so that "Clear" and the other
      // buttons still find it where the program ends.
      if (!Valid(s.Last + 1, end)) return {};
      ++s.Last;
      if (s.First > s.Last) s.First = s.Last;
      return Show(s.First, s.Last, LineOf(moves, s.Last));
    }
    case NCRunButton::Next10: {
      if (!Valid(s.Last + 1, end)) return {};
      s.First = s.Last + 1;
      // The last few moves of a program are a shorter step, not no step.
      s.Last = std::min(s.Last + 10, end);
      return Show(s.First, s.Last, LineOf(moves, s.Last));
    }
    case NCRunButton::ToCursor: {
      const int at = FirstAtOrAfterLine(moves, caretLine);
      if (at == 0) return {};
      s.First = 1;
      s.Last = at;
      return Show(1, at, LineOf(moves, at));
    }
    case NCRunButton::FromCursor: {
      const int at = FirstAtOrAfterLine(moves, caretLine);
      if (at == 0) return {};
      s.First = at;
      s.Last = end;
      return Show(at, end, -1);
    }
    case NCRunButton::ToRapid:
    case NCRunButton::ToTool: {
      const std::uint8_t kind =
          button == NCRunButton::ToRapid ? NCKind::Rapid : NCKind::ToolChange;
      const int at = NextOfKind(moves, s.Last + 2, kind);
      if (at == 0) return {};
      s.First = s.Last + 1;
      s.Last = at;
      return Show(s.First, at, LineOf(moves, at));
    }
    case NCRunButton::All:
      s.First = 0;
      s.Last = end;
      return Show(1, end, -1);
    case NCRunButton::Clear:
      if (s.Last >= end) s.Last = 0;
      s.First = s.Last + 1;
      return Show(s.First, s.Last, -1);
  }
  return {};
}

}  // namespace tarnak
