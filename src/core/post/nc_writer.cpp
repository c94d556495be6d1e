#include "post/nc_writer.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string_view>
#include <system_error>
#include <tuple>
#include <utility>
#include <vector>

#include "geometry/primitives.h"
#include "base/atomic_file.h"
#include "base/numbers.h"

namespace tarnak {

namespace {

namespace fs = std::filesystem;

constexpr std::uint32_t Bit(int slot) { return std::uint32_t{1} << slot; }

// The script slot of an arc by its direction (radius < 0 clockwise).
int ClassifyArc(double radius, int& motion) {
  if (radius < 0.0) {
    const int slot = motion == MotionState::CwArc ? ScriptSlot::CwArcContinuous : ScriptSlot::CwArc;
    motion = MotionState::CwArc;
    return slot;
  }
  const int slot = motion == MotionState::CcwArc ? ScriptSlot::CcwArcContinuous : ScriptSlot::CcwArc;
  motion = MotionState::CcwArc;
  return slot;
}

// Slots whose text is set once per toolpath and left alone by move blocks
// (feed, speed, tool); drill blocks leave the clearance word alone too.
constexpr std::uint32_t kKeepInMoves = Bit(TokenSlot::Ft) | Bit(TokenSlot::St) | Bit(TokenSlot::Tt);
constexpr std::uint32_t kKeepInDrills = kKeepInMoves | Bit(TokenSlot::Ct);
constexpr std::size_t kTextSlots = std::tuple_size_v<TTNTokenString>;

// Copies n characters; the words of a block are short, and copies of a
// known size compile to a few moves instead of a call.
inline void CopyChars(char* to, const char* from, std::size_t n) {
  if (n >= 8 && n <= 16) {
    std::uint64_t head = 0;
    std::uint64_t tail = 0;
    std::memcpy(&head, from, 8);
    std::memcpy(&tail, from + n - 8, 8);
    std::memcpy(to, &head, 8);
    std::memcpy(to + n - 8, &tail, 8);
  } else if (n >= 4 && n < 8) {
    std::uint32_t head = 0;
    std::uint32_t tail = 0;
    std::memcpy(&head, from, 4);
    std::memcpy(&tail, from + n - 4, 4);
    std::memcpy(to, &head, 4);
    std::memcpy(to + n - 4, &tail, 4);
  } else if (n < 4) {
    for (std::size_t k = 0; k < n; ++k) to[k] = from[k];
  } else {
    std::memcpy(to, from, n);
  }
}

// The text of one word. Short ones (all but odd literal words) are kept in
// place, zero-padded, with their length in the last byte, so that they are
// compared and copied as a few machine words.
class WordText {
 public:
  static constexpr std::size_t kBytes = 32;
  static constexpr std::size_t kShortMax = kBytes - 1;

  WordText() { std::memset(bytes_, 0, kBytes); }
  WordText(const WordText& other) : long_(other.IsShort() ? std::string() : other.long_) {
    std::memcpy(bytes_, other.bytes_, kBytes);
  }
  WordText& operator=(const WordText& other) {
    if (this == &other) return *this;
    std::memcpy(bytes_, other.bytes_, kBytes);
    if (!other.IsShort()) long_ = other.long_;
    return *this;
  }

  bool IsShort() const { return Mark() != kLong; }
  static bool IsShortMark(std::uint8_t mark) { return mark != kLong; }
  std::size_t size() const { return IsShort() ? Mark() : long_.size(); }
  std::string_view View() const {
    return IsShort() ? std::string_view(bytes_, Mark()) : std::string_view(long_);
  }
  // The short text, its padding and its length.
  const char* Bytes() const { return bytes_; }

  void Assign(std::string_view text) {
    std::memset(bytes_, 0, kBytes);
    if (text.size() <= kShortMax) {
      CopyChars(bytes_, text.data(), text.size());
      bytes_[kShortMax] = static_cast<char>(text.size());
    } else {
      long_.assign(text);
      bytes_[kShortMax] = static_cast<char>(kLong);
    }
  }
  // A short text as Bytes() gives it.
  void SetBytes(const char* bytes) { std::memcpy(bytes_, bytes, kBytes); }
  // Room for a short text written in place; then SetShortSize.
  char* ShortBuffer() {
    std::memset(bytes_, 0, kBytes);
    return bytes_;
  }
  void SetShortSize(std::size_t n) { bytes_[kShortMax] = static_cast<char>(n); }

  friend bool SameWord(const WordText& a, const WordText& b) {
    // Word by word into registers (copies into arrays went through the
    // stack).
    const std::uint64_t d0 = Word(a, 0) ^ Word(b, 0);
    const std::uint64_t d1 = Word(a, 1) ^ Word(b, 1);
    const std::uint64_t d2 = Word(a, 2) ^ Word(b, 2);
    const std::uint64_t d3 = Word(a, 3) ^ Word(b, 3);
    if ((d0 | d1 | d2 | d3) != 0) return false;
    return a.IsShort() || a.long_ == b.long_;
  }

 private:
  static constexpr std::uint8_t kLong = 0xFF;
  std::uint8_t Mark() const { return static_cast<std::uint8_t>(bytes_[kShortMax]); }
  static std::uint64_t Word(const WordText& t, std::size_t k) {
    std::uint64_t w = 0;
    std::memcpy(&w, t.bytes_ + 8 * k, 8);
    return w;
  }

  char bytes_[kBytes];
  std::string long_;
};

// A growable run of characters that appends without the bookkeeping of
// std::string; blocks are built straight into the output through it.
class TextBuffer {
 public:
  const char* data() const { return data_.get(); }
  std::size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }

  void Reserve(std::size_t capacity) {
    if (capacity > capacity_) Reallocate(capacity);
  }
  void Append(const char* text, std::size_t n) {
    if (n > capacity_ - size_) Reallocate(std::max(2 * capacity_, size_ + n + 256));
    CopyChars(data_.get() + size_, text, n);
    size_ += n;
  }
  void Append(std::string_view text) { Append(text.data(), text.size()); }
  void Append(const std::string& text) { Append(text.data(), text.size()); }
  // A short word is copied whole, padding and all, and the size moved on
  // by its length: one fixed-size copy.
  void Append(const WordText& word) {
    if (!word.IsShort()) {
      Append(word.View());
      return;
    }
    if (WordText::kBytes > capacity_ - size_) Reallocate(std::max(2 * capacity_, size_ + 256));
    std::memcpy(data_.get() + size_, word.Bytes(), WordText::kBytes);
    size_ += word.size();
  }
  // Where the next characters go, with at least n bytes of room behind;
  // SetEnd then says where they end.
  char* Room(std::size_t n) {
    if (n > capacity_ - size_) Reallocate(std::max(2 * capacity_, size_ + n + 256));
    return data_.get() + size_;
  }
  void SetEnd(const char* end) { size_ = static_cast<std::size_t>(end - data_.get()); }
  // Cuts the text back to its first n characters.
  void Truncate(std::size_t n) {
    if (n < size_) size_ = n;
  }
  std::string str() const { return size_ == 0 ? std::string() : std::string(data(), size_); }

 private:
  void Reallocate(std::size_t capacity) {
    std::unique_ptr<char[]> fresh(new char[capacity]);
    if (size_ != 0) std::memcpy(fresh.get(), data_.get(), size_);
    data_ = std::move(fresh);
    capacity_ = capacity;
  }

  std::unique_ptr<char[]> data_;
  std::size_t size_ = 0;
  std::size_t capacity_ = 0;
};

// The texts of line numbers seen in one run. Line numbers restart after
// MaxBlock (99999 for a control with five-digit numbers), so a long
// program comes back to the same numbers every few thousand blocks, and
// their words need not be formatted again. The numbers of the post's own
// sequence, Start + k x Increment, have a place of their own at k (the
// next number's text lies next to this one's); others share a small
// table by their bits. Only short texts are remembered.
class NumberWords {
 public:
  static constexpr std::size_t kSize = std::size_t{1} << 14;
  static constexpr std::size_t kDirect = std::size_t{1} << 17;

  NumberWords(double start, double step)
      : start_(start), step_(step), inverseStep_(step > 0.0 ? 1.0 / step : 0.0) {}

  // Copies the remembered text of the number with these bits to `into`;
  // false when there is none.
  bool Find(std::uint64_t bits, WordText& into) {
    std::size_t at = 0;
    // The place at k holds the text of Start + k x Increment and of no
    // other number, so the number after the last one found is known by
    // its bits alone.
    const bool next = hasNext_ && bits == nextBits_;
    if (next) at = nextAt_;
    if (next || Direct(bits, at)) {
      if (at >= direct_.size() || direct_[at].Bytes[WordText::kShortMax] == 0) return false;
      into.SetBytes(direct_[at].Bytes);
      Predict(at);
      return true;
    }
    if (keys_.empty()) return false;
    const std::size_t i = Index(bits);
    if (keys_[i] != bits || hashed_[i].Bytes[WordText::kShortMax] == 0) return false;
    into.SetBytes(hashed_[i].Bytes);
    return true;
  }
  void Remember(std::uint64_t bits, const WordText& text) {
    if (!text.IsShort() || text.size() == 0) return;
    std::size_t at = 0;
    if (Direct(bits, at)) {
      // Grown as the numbers come, so that a short program stays small.
      if (at >= direct_.size()) direct_.resize(std::min(kDirect, std::max(2 * at, at + 1024)));
      std::memcpy(direct_[at].Bytes, text.Bytes(), WordText::kBytes);
      Predict(at);
      return;
    }
    if (keys_.empty()) {  // made on first use
      keys_.resize(kSize);
      hashed_.resize(kSize);
    }
    const std::size_t i = Index(bits);
    keys_[i] = bits;
    std::memcpy(hashed_[i].Bytes, text.Bytes(), WordText::kBytes);
  }

 private:
  struct Entry {
    char Bytes[WordText::kBytes] = {};  // a short WordText; length 0: none
  };

  // Whether the number is Start + k x Increment for a k below kDirect, and k.
  bool Direct(std::uint64_t bits, std::size_t& at) const {
    const double v = std::bit_cast<double>(bits);
    // Not -0.0, whose text may differ from that of 0.
    if ((bits >> 63) != 0 || !(step_ > 0.0) || !(v >= start_)) return false;
    // By the reciprocal, rounded, and then checked: a division every block
    // is slow, and the check makes a near miss harmless.
    const double k = (v - start_) * inverseStep_ + 0.5;
    if (!(k < static_cast<double>(kDirect))) return false;
    at = static_cast<std::size_t>(k);
    return start_ + static_cast<double>(at) * step_ == v;
  }
  // The next number of the sequence after the one at `at`.
  void Predict(std::size_t at) {
    hasNext_ = at + 1 < kDirect;
    nextAt_ = at + 1;
    nextBits_ = std::bit_cast<std::uint64_t>(start_ + static_cast<double>(at + 1) * step_);
  }
  static std::size_t Index(std::uint64_t bits) {
    return static_cast<std::size_t>((bits * 0x9E3779B97F4A7C15ULL) >> (64 - 14));
  }

  double start_;
  double step_;
  double inverseStep_;
  bool hasNext_ = false;
  std::size_t nextAt_ = 0;
  std::uint64_t nextBits_ = 0;
  std::vector<Entry> direct_;
  std::vector<std::uint64_t> keys_;
  std::vector<Entry> hashed_;
};

// The current and previous token texts of one run.
//
// Each slot keeps a few texts in a small ring, and the current and the
// previous text are entries of that ring, so that "previous := current"
// after a block copies indices, not texts. An entry also remembers the
// value it was formatted from: a word whose value is the same as in the
// block before (the Z word of a long path, the literal words), or as a few
// blocks before (the two sides of a zigzag, the radius of equal arcs), is
// not formatted again. None of this changes what is written: a text is
// always what FormatToken gives for the token and the value. The scripts
// are looked at once per run, not once per block (see Compile).
class TokenTexts {
 public:
  // numbers: where line-number words are remembered across the run; none
  // for a single block.
  explicit TokenTexts(const TTNPostProcessor& post, NumberWords* numbers = nullptr)
      : post_(post), numbers_(numbers) {
    // The compiled items point into rings_, which exists by now.
    for (int i = 0; i < kTokenCount; ++i) {
      variables_[static_cast<std::size_t>(i)] = post.Tokens[static_cast<std::size_t>(i)].Variable;
      spellers_[static_cast<std::size_t>(i)] =
          post_detail::ShortWordSpeller(post.Tokens[static_cast<std::size_t>(i)]);
    }
    for (std::size_t i = 0; i < kScriptCount; ++i) {
      moves_[i] = Compile(post.Scripts[i], kKeepInMoves, true);
      drills_[i] = Compile(post.Scripts[i], kKeepInDrills, true);
    }
    for (std::size_t i = 0; i < kToolScriptCount; ++i) {
      tools_[i] = Compile(post.ToolBlock.ToolScripts[i], kKeepInMoves, false);
    }
  }

  // The compiled scripts point into the object's own rings.
  TokenTexts(const TokenTexts&) = delete;
  TokenTexts& operator=(const TokenTexts&) = delete;

  // Takes over texts from outside (the step functions of the interface),
  // and hands them back.
  void Load(const TTNTokenString& current, const TTNTokenString& previous) {
    for (std::size_t t = 0; t < kTextSlots; ++t) {
      rings_[t].Texts[0].Assign(current[t]);
      rings_[t].Texts[1].Assign(previous[t]);
      rings_[t].Valid = 0;
      cur_[t] = 0;
      prev_[t] = 1;
    }
  }
  void Store(TTNTokenString& current, TTNTokenString* previous) const {
    for (std::size_t t = 0; t < kTextSlots; ++t) {
      current[t] = rings_[t].Texts[cur_[t]].View();
      if (previous != nullptr) (*previous)[t] = rings_[t].Texts[prev_[t]].View();
    }
  }

  // Appends the words of move script `slot` / of that script as a drill
  // block / of tool script `index`.
  void MoveWords(TextBuffer& out, int slot, const TTNVariables& values) {
    AppendScript(out, moves_[static_cast<std::size_t>(slot)], values);
  }
  // The same without the words of tokens bound to the variables in
  // `leaveOut` (bit v for variable v); their texts stay as they were.
  void MoveWordsWithout(TextBuffer& out, int slot, const TTNVariables& values,
                        std::uint32_t leaveOut) {
    // Rare (once per program and tool change): the script is filtered on
    // the spot rather than slowing every block down.
    const CompiledScript& script = moves_[static_cast<std::size_t>(slot)];
    CompiledScript kept;
    kept.Command = script.Command;
    for (const CompiledItem& item : script.Items) {
      if (item.Token >= 0 && item.Token < kTokenCount) {
        const int variable = variables_[static_cast<std::size_t>(item.Token)];
        if (variable >= 0 && variable < 32 && (leaveOut >> variable & 1u) != 0) continue;
      }
      kept.Items.push_back(item);
    }
    AppendScript(out, kept, values);
  }
  void DrillWords(TextBuffer& out, int slot, const TTNVariables& values) {
    AppendScript(out, drills_[static_cast<std::size_t>(slot)], values);
  }
  void ToolWords(TextBuffer& out, int index, const TTNVariables& values) {
    AppendScript(out, tools_[static_cast<std::size_t>(index)], values);
  }

  void Set(int slot, std::string&& text) {
    Ring& ring = rings_[static_cast<std::size_t>(slot)];
    const std::uint8_t k = FreeEntry(slot);
    ring.Texts[k].Assign(text);
    ring.Valid = static_cast<std::uint8_t>(ring.Valid & ~(1u << k));
    cur_[static_cast<std::size_t>(slot)] = k;
  }
  void SetPrevious(int slot, std::string_view text) {
    Ring& ring = rings_[static_cast<std::size_t>(slot)];
    const std::uint8_t k = FreeEntry(slot);
    ring.Texts[k].Assign(text);
    ring.Valid = static_cast<std::uint8_t>(ring.Valid & ~(1u << k));
    prev_[static_cast<std::size_t>(slot)] = k;
  }

  // current[slot] := FormatToken(Tokens[slot], values). Inline: most
  // words of a block keep their value from the block before.
  void Format(int slot, const TTNVariables& values) {
    const std::size_t i = static_cast<std::size_t>(slot);
    const int variable = variables_[i];
    if (variable < 0 || variable >= kVariableCount) {
      FormatUnkeyed(slot, values);
      return;
    }
    const std::uint64_t bits = std::bit_cast<std::uint64_t>(values[static_cast<std::size_t>(variable)]);
    const Ring& ring = rings_[i];
    const std::uint8_t c = cur_[i];
    if ((ring.Valid >> c & 1u) != 0 && ring.Keys[c] == bits) return;
    FormatChanged(slot, variable, bits, values);
  }

  // previous := current.
  void EndBlock() { prev_ = cur_; }

 private:
  // A script as the blocks use it: the Command items dropped when there is
  // no Command, and per item whether it is formatted and whether modal.
  enum ItemFlags : std::uint8_t {
    kCommand = 1,
    kFormat = 2,
    kModal = 4,
    kNoToken = 8,
    kKeyed = 16,  // the token's variable exists: its text is keyed on the value
    kNumber = 32,  // the N word: its texts are remembered across the run
  };
  struct Ring;
  struct CompiledItem {
    int Token = 0;
    std::uint8_t Flags = 0;
    std::uint8_t Variable = 0;  // with kKeyed
    Ring* Texts = nullptr;      // of the token, at hand for every block
  };
  struct CompiledScript {
    WordText Command;
    std::vector<CompiledItem> Items;
  };

  // Slots in `keep` are not formatted (they keep their per-toolpath text);
  // with `modal`, the Modal flags of the items count.
  CompiledScript Compile(const TTNScript& script, std::uint32_t keep, bool modal) {
    CompiledScript compiled;
    compiled.Command.Assign(script.Command);
    const bool hasCommand = script.Command != kNullCommand;
    for (const TTNScriptItem& item : script.Items) {
      CompiledItem c;
      c.Token = item.Token;
      if (item.Token < 0) {
        if (!hasCommand) continue;
        c.Flags = kCommand;
      } else if (item.Token >= kTokenCount) {
        c.Flags = kNoToken;  // reported when a block uses it
      } else {
        c.Texts = &rings_[static_cast<std::size_t>(item.Token)];
        if ((keep & Bit(item.Token)) == 0) c.Flags |= kFormat;
        if (modal && item.Modal) c.Flags |= kModal;
        const int variable = variables_[static_cast<std::size_t>(item.Token)];
        if (variable >= 0 && variable < kVariableCount) {
          c.Flags |= kKeyed;
          c.Variable = static_cast<std::uint8_t>(variable);
          if (item.Token == TokenSlot::Nt && variable == TokenVar::Nv) c.Flags |= kNumber;
        }
      }
      compiled.Items.push_back(c);
    }
    return compiled;
  }

  // Appends the words of a script to out; a modal word only when its text
  // differs from the previous block's. The words go through a cursor into
  // room made for a whole short word per item (see TextBuffer::Room); a
  // long word is appended on its own.
  void AppendScript(TextBuffer& out, const CompiledScript& script, const TTNVariables& values) {
    const std::size_t room = script.Items.size() * WordText::kBytes;
    char* at = out.Room(room);
    for (const CompiledItem& item : script.Items) {
      const WordText* text = &script.Command;
      if ((item.Flags & (kCommand | kNoToken)) == 0) {
        const std::size_t i = static_cast<std::size_t>(item.Token);
        Ring& ring = *item.Texts;
        if ((item.Flags & (kFormat | kKeyed)) == (kFormat | kKeyed)) {
          const std::uint64_t bits = std::bit_cast<std::uint64_t>(values[item.Variable]);
          const std::uint8_t c = cur_[i];
          if ((ring.Valid >> c & 1u) == 0 || ring.Keys[c] != bits) {
            // The N word changes every block: its remembered text is
            // taken without a call. Another word often comes back to a
            // value of the blocks before, which the ring still holds.
            if ((item.Flags & kNumber) != 0) {
              if (!RememberedNumber(i, bits)) FormatNew(item.Token, item.Variable, bits, values);
            } else if (!FindInRing(i, bits)) {
              FormatNew(item.Token, item.Variable, bits, values);
            }
          }
        } else if ((item.Flags & kFormat) != 0) {
          FormatUnkeyed(item.Token, values);
        }
        const std::uint8_t c = cur_[i];
        const std::uint8_t p = prev_[i];
        text = &ring.Texts[c];
        if ((item.Flags & kModal) != 0 && (c == p || SameWord(*text, ring.Texts[p]))) continue;
      } else if ((item.Flags & kNoToken) != 0) {
        out.SetEnd(at);
        throw FormatError("Script item " + std::to_string(item.Token) + " names no token (0 to " +
                          std::to_string(kTokenCount - 1) + ")");
      }
      // The short text's length is its last byte: one load for both tests.
      const std::uint8_t mark = static_cast<std::uint8_t>(text->Bytes()[WordText::kShortMax]);
      if (text->IsShortMark(mark)) {
        std::memcpy(at, text->Bytes(), WordText::kBytes);
        at += mark;
      } else {
        out.SetEnd(at);
        out.Append(text->View());
        at = out.Room(room);
      }
    }
    out.SetEnd(at);
  }

  static constexpr std::uint8_t kRingSize = 4;
  struct Ring {
    std::array<WordText, kRingSize> Texts;
    std::array<std::uint64_t, kRingSize> Keys{};
    std::uint8_t Valid = 0;  // bit k: Texts[k] is the text of the value Keys[k]
    std::uint8_t Next = 0;   // where to look for the next free entry
  };

  // An entry that is neither the current nor the previous text.
  std::uint8_t FreeEntry(int slot) {
    const std::size_t i = static_cast<std::size_t>(slot);
    Ring& ring = rings_[i];
    std::uint8_t k = ring.Next;
    while (k == cur_[i] || k == prev_[i]) k = static_cast<std::uint8_t>((k + 1) % kRingSize);
    ring.Next = static_cast<std::uint8_t>((k + 1) % kRingSize);
    return k;
  }

  // No value to key the text on (a cleared token, or one whose variable
  // does not exist: FormatToken reports that).
  [[gnu::noinline]] void FormatUnkeyed(int slot, const TTNVariables& values) {
    Set(slot, FormatToken(post_.Tokens[static_cast<std::size_t>(slot)], values));
  }

  // Makes the remembered text of line number `bits` the current text of
  // slot i; false when there is none.
  bool RememberedNumber(std::size_t i, std::uint64_t bits) {
    if (numbers_ == nullptr) return false;
    Ring& ring = rings_[i];
    const std::uint8_t k = FreeEntry(static_cast<int>(i));
    if (!numbers_->Find(bits, ring.Texts[k])) return false;
    ring.Keys[k] = bits;
    ring.Valid = static_cast<std::uint8_t>(ring.Valid | (1u << k));
    cur_[i] = k;
    return true;
  }

  // Makes the ring's text of the value with these bits the current text
  // of slot i; false when the ring holds none. All entries are compared
  // at once, without a branch per entry.
  bool FindInRing(std::size_t i, std::uint64_t bits) {
    const Ring& ring = rings_[i];
    static_assert(kRingSize == 4);
    const unsigned hits = (static_cast<unsigned>(ring.Keys[0] == bits) |
                           static_cast<unsigned>(ring.Keys[1] == bits) << 1 |
                           static_cast<unsigned>(ring.Keys[2] == bits) << 2 |
                           static_cast<unsigned>(ring.Keys[3] == bits) << 3) &
                          static_cast<unsigned>(ring.Valid);
    if (hits == 0) return false;
    cur_[i] = static_cast<std::uint8_t>(std::countr_zero(hits));
    return true;
  }

  void FormatChanged(int slot, int variable, std::uint64_t bits, const TTNVariables& values) {
    // Line numbers are remembered for the line-number word only: another
    // word bound to Nv may spell them differently.
    const bool number = variable == TokenVar::Nv && slot == TokenSlot::Nt;
    if (!number && FindInRing(static_cast<std::size_t>(slot), bits)) return;
    FormatNew(slot, variable, bits, values);
  }

  // A text not in the ring: formatted into a free entry (for the N word,
  // taken from the remembered ones when it is there).
  [[gnu::noinline]] void FormatNew(int slot, int variable, std::uint64_t bits,
                                   const TTNVariables& values) {
    const std::size_t i = static_cast<std::size_t>(slot);
    Ring& ring = rings_[i];
    const bool number = variable == TokenVar::Nv && slot == TokenSlot::Nt;
    const std::uint8_t k = FreeEntry(slot);
    // Not valid while it is being written (a format error leaves it so).
    ring.Valid = static_cast<std::uint8_t>(ring.Valid & ~(1u << k));
    WordText& text = ring.Texts[k];
    if (!number || numbers_ == nullptr || !numbers_->Find(bits, text)) {
      const std::size_t size = spellers_[i](values[static_cast<std::size_t>(variable)],
                                            text.ShortBuffer(), WordText::kShortMax);
      if (size != post_detail::kNoShortWord) {
        text.SetShortSize(size);
      } else {
        text.Assign(FormatToken(post_.Tokens[i], values));
      }
      if (number && numbers_ != nullptr) numbers_->Remember(bits, text);
    }
    ring.Keys[k] = bits;
    ring.Valid = static_cast<std::uint8_t>(ring.Valid | (1u << k));
    cur_[i] = k;
  }

  const TTNPostProcessor& post_;
  NumberWords* numbers_;
  std::array<Ring, kTextSlots> rings_;
  std::array<std::uint8_t, kTextSlots> cur_{};   // ring entry of the current text
  std::array<std::uint8_t, kTextSlots> prev_{};  // ring entry of the previous text
  std::array<int, kTokenCount> variables_{};     // of the tokens, at hand
  std::array<post_detail::ShortWordSpeller, kTokenCount> spellers_;
  std::array<CompiledScript, kScriptCount> moves_;
  std::array<CompiledScript, kScriptCount> drills_;
  std::array<CompiledScript, kToolScriptCount> tools_;
};

// ---- blocks ----------------------------------------------------------------

void AppendMove(TokenTexts& texts, TextBuffer& out, const TTNEntity& move, bool rapid, double n,
                double z, int& motion) {
  const int slot = ClassifyMove(move, motion, rapid);
  const TTNVariables values = MoveVariables(move, z, n);
  texts.MoveWords(out, slot, values);
  texts.EndBlock();
}

// The words of a move of Z alone from where the tool happens to be: no
// word may name a place in the plane.
constexpr std::uint32_t kPlaneWords =
    Bit(TokenVar::Sx) | Bit(TokenVar::Sy) | Bit(TokenVar::Ex) | Bit(TokenVar::Ey) |
    Bit(TokenVar::Sa) | Bit(TokenVar::Ea) | Bit(TokenVar::Rad) | Bit(TokenVar::Cx) |
    Bit(TokenVar::Cy) | Bit(TokenVar::Ii) | Bit(TokenVar::Ji);

// A straight move or a whole arc of the motion list. The values are those
// MoveVariables gives for the Element the motion was made from (its ends
// were worked out the same way), without working them out again.
void AppendMotion(TokenTexts& texts, TextBuffer& out, const Motion& m, double n, int& motion) {
  const bool arc = m.Kind == MotionKind::Arc && m.Radius != 0.0;
  // As ClassifyMove: an arc whose radius is not a number is classified as
  // a straight move.
  const bool turns = arc && (m.Radius < 0.0 || m.Radius > 0.0);
  const int slot =
      turns ? ClassifyArc(m.Radius, motion) : ClassifyMove3D(motion, m.Kind == MotionKind::Rapid);
  const double z = -m.Z;  // as a depth
  // Every value set one by one: clearing the whole table first costs a
  // string instruction of its own per block.
  TTNVariables v;
  v[TokenVar::None] = 0.0;
  v[TokenVar::Cv] = 0.0;
  v[TokenVar::Fr] = 0.0;
  v[TokenVar::Ss] = 0.0;
  v[TokenVar::Tn] = 0.0;
  v[TokenVar::Sx] = m.FromX;
  v[TokenVar::Sy] = m.FromY;
  v[TokenVar::Sz] = z;
  v[TokenVar::Ex] = m.X;
  v[TokenVar::Ey] = m.Y;
  v[TokenVar::Ez] = -z;
  if (arc) {
    v[TokenVar::Sa] = m.StartAngle;
    v[TokenVar::Ea] = m.EndAngle;
    v[TokenVar::Rad] = std::fabs(m.Radius);
    v[TokenVar::Cx] = m.CentreX;
    v[TokenVar::Cy] = m.CentreY;
    v[TokenVar::Ii] = m.CentreX - m.FromX;
    v[TokenVar::Ji] = m.CentreY - m.FromY;
  } else {
    v[TokenVar::Sa] = 0.0;
    v[TokenVar::Ea] = 0.0;
    v[TokenVar::Rad] = 0.0;
    v[TokenVar::Cx] = 0.0;
    v[TokenVar::Cy] = 0.0;
    v[TokenVar::Ii] = 0.0;
    v[TokenVar::Ji] = 0.0;
  }
  v[TokenVar::Nv] = n;
  if (m.KnownXY) {
    texts.MoveWords(out, slot, v);
  } else {
    texts.MoveWordsWithout(out, slot, v, kPlaneWords);
  }
  texts.EndBlock();
}

void AppendMove3D(TokenTexts& texts, TextBuffer& out, const NcPoint3& from, const NcPoint3& to,
                  bool rapid, double n, int& motion, bool knownXY = true) {
  const int slot = ClassifyMove3D(motion, rapid);
  const TTNVariables values = MoveVariables3D(from, to, n);
  if (knownXY) {
    texts.MoveWords(out, slot, values);
  } else {
    texts.MoveWordsWithout(out, slot, values, kPlaneWords);
  }
  texts.EndBlock();
}

void AppendDrill(TokenTexts& texts, TextBuffer& out, const TTNEntity& hole, int slot, double n,
                 double z) {
  if (slot < 0 || slot >= kScriptCount) {
    throw FormatError("Script slot " + std::to_string(slot) + " does not exist");
  }
  const TTNVariables values = MoveVariables(hole, z, n);
  texts.DrillWords(out, slot, values);
  texts.EndBlock();
}

void AppendToolScript(TokenTexts& texts, TextBuffer& out, int index, double toolNumber,
                      double n) {
  if (index < 0 || index >= kToolScriptCount) {
    throw FormatError("Tool script " + std::to_string(index) + " does not exist");
  }
  TTNVariables values{};
  values[TokenVar::Nv] = n;
  values[TokenVar::Tn] = toolNumber;
  texts.ToolWords(out, index, values);
}

void SetToolpathTokens(TokenTexts& texts, const TTNOutRegion& toolpath) {
  TTNVariables values{};
  values[TokenVar::Fr] = toolpath.Feed;
  values[TokenVar::Ss] = toolpath.SpindleSpeed;
  values[TokenVar::Tn] = static_cast<double>(toolpath.ToolNumber);
  if (LinkSetsClearance(toolpath.LinkKind)) values[TokenVar::Cv] = -toolpath.RapidLevel;
  texts.Format(TokenSlot::Ft, values);
  texts.Format(TokenSlot::St, values);
  texts.Format(TokenSlot::Tt, values);
  for (int t = TokenSlot::Misc1t; t <= TokenSlot::Misc5t; ++t) texts.Set(t, std::string());
  if (LinkSetsClearance(toolpath.LinkKind)) texts.Format(TokenSlot::Ct, values);
}

// The same from the Rates motion that starts a toolpath.
void SetRatesTokens(TokenTexts& texts, const Motion& rates) {
  TTNVariables values{};
  values[TokenVar::Fr] = rates.Feed;
  values[TokenVar::Ss] = rates.SpindleSpeed;
  values[TokenVar::Tn] = static_cast<double>(rates.Tool);
  if (rates.HasClearance) values[TokenVar::Cv] = rates.Clearance;
  texts.Format(TokenSlot::Ft, values);
  texts.Format(TokenSlot::St, values);
  texts.Format(TokenSlot::Tt, values);
  for (int t = TokenSlot::Misc1t; t <= TokenSlot::Misc5t; ++t) texts.Set(t, std::string());
  if (rates.HasClearance) texts.Format(TokenSlot::Ct, values);
}

void SetToolpathTokens3D(TokenTexts& texts, const TTNOutRegion3D& pass) {
  TTNVariables values{};
  values[TokenVar::Fr] = pass.Feed;
  values[TokenVar::Ss] = pass.SpindleSpeed;
  values[TokenVar::Tn] = static_cast<double>(pass.ToolNumber);
  if (LinkSetsClearance(pass.LinkKind)) values[TokenVar::Cv] = pass.RapidLevel;
  texts.Format(TokenSlot::St, values);
  texts.Format(TokenSlot::Tt, values);
  if (LinkSetsClearance(pass.LinkKind)) texts.Format(TokenSlot::Ct, values);
}

// "null" stands for no text, as in FormatToken.
std::string_view DesignationText(const TTNToken& token) {
  if (token.Designation == kNullDesignation) return {};
  return token.Designation;
}

bool IsPlasmaPost(std::string_view name) {
  constexpr std::string_view kPlasma = "PLASMA";
  if (name.size() < kPlasma.size()) return false;
  for (std::size_t i = 0; i < kPlasma.size(); ++i) {
    char c = name[i];
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (c != kPlasma[i]) return false;
  }
  return true;
}

// ---- values that cannot be written ---------------------------------------------

// A word of a non-finite or absurd value ("XINF", a 309-digit number) would
// be taken by a control for a move, or refused halfway through the
// program; such a toolpath is refused before anything of it is written.
// Called for every coordinate of every toolpath: the test is inline, the
// message is made out of line.
[[noreturn, gnu::noinline, gnu::cold]] void RefuseValue(double v, const char* what,
                                                       const std::string& which) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", v);
  throw FormatError(which + " cannot be written: its " + what + " is " + text +
                    " (values must be finite and at most 1e9 in size)");
}

inline void CheckValue(double v, const char* what, const std::string& which) {
  // Also false for a NaN.
  if (!(std::fabs(v) <= kNcMaxMagnitude)) RefuseValue(v, what, which);
}

[[gnu::noinline, gnu::cold]] void RefuseElement(const TTNEntity& e, const std::string& which) {
  CheckValue(e.X, "X coordinate", which);
  CheckValue(e.Y, "Y coordinate", which);
  CheckValue(e.Radius, "arc radius", which);
  if (e.IsArc()) {
    CheckValue(e.StartAngle(), "arc start angle", which);
    CheckValue(e.EndAngle(), "arc end angle", which);
  } else {
    CheckValue(e.X2, "X coordinate", which);
    CheckValue(e.Y2, "Y coordinate", which);
  }
}

inline void CheckElement(const TTNEntity& e, const std::string& which) {
  // One test for the usual Element: when the sizes of its five values add
  // up to no more than the limit, each is within it (a NaN or an infinity
  // fails the test). Otherwise they are looked at one by one, and the
  // first one out of range is named.
  const double sum = std::fabs(e.X) + std::fabs(e.Y) + std::fabs(e.Radius) + std::fabs(e.X2) +
                     std::fabs(e.Y2);
  if (sum <= kNcMaxMagnitude) return;
  RefuseElement(e, which);
}

void CheckToolpath(const TTNOutRegion& t, std::size_t index) {
  const std::string which = "Toolpath " + std::to_string(index);
  CheckValue(t.Depth, "depth", which);
  CheckValue(t.RapidLevel, "rapid level", which);
  CheckValue(t.Feed, "feed", which);
  CheckValue(t.PlungeFeed, "plunge feed", which);
  CheckValue(t.SpindleSpeed, "spindle speed", which);
  for (const TTNEntity& e : t.Elements) CheckElement(e, which);
  if (t.LeadMoves != 0 && t.EntryMove.Mark) CheckElement(t.EntryMove, which);
  if (t.LeadMoves != 0 && t.ExitMove.Mark) CheckElement(t.ExitMove, which);
}

void CheckPass(const TTNOutRegion3D& p, std::size_t index) {
  const std::string which = "Pass " + std::to_string(index) + " (" + p.Name + ")";
  CheckValue(p.Level, "level", which);
  CheckValue(p.RapidLevel, "rapid level", which);
  CheckValue(p.Feed, "feed", which);
  CheckValue(p.PlungeFeed, "plunge feed", which);
  CheckValue(p.SpindleSpeed, "spindle speed", which);
  for (const TTNPoint3D& q : p.Points) {
    CheckValue(q.X, "X coordinate", which);
    CheckValue(q.Y, "Y coordinate", which);
    CheckValue(q.Z, "Z coordinate", which);
  }
}

// ---- the file ----------------------------------------------------------------

std::string SystemReason(int error) {
  if (error == 0) return "unknown error";
  return std::error_code(error, std::generic_category()).message();
}

// The NC file and the buffer its lines are built in. Lines are appended to
// the buffer and handed to the file in chunks of about a megabyte; a line
// being built can be dropped again (a block that failed to format).
class NcOutput {
 public:
  static constexpr std::size_t kChunk = std::size_t{1} << 20;

  NcOutput(const fs::path& path, bool append, NcFileWrite how) : path_(path) {
    if (how == NcFileWrite::Atomic) {
      try {
        atomic_ = std::make_unique<AtomicFile>(
            path, append ? AtomicFile::Mode::Append : AtomicFile::Mode::Replace);
      } catch (const AtomicFileError& e) {
        throw NcWriteError(path, e.what());
      }
    } else {
      errno = 0;
      file_ = std::fopen(path.string().c_str(), append ? "ab" : "wb");
      if (file_ == nullptr) {
        const int error = errno;
        throw NcWriteError(path, std::string(append ? "Cannot open '" : "Cannot create '") +
                                     path.string() + "'" + (append ? " to append" : "") + ": " +
                                     SystemReason(error));
      }
      // The buffer below is the only one.
      std::setvbuf(file_, nullptr, _IONBF, 0);
    }
    buffer_.Reserve(kChunk + kChunk / 4);
  }
  NcOutput(const NcOutput&) = delete;
  NcOutput& operator=(const NcOutput&) = delete;
  ~NcOutput() {
    if (file_ != nullptr) std::fclose(file_);
    // An AtomicFile not committed removes its temporary file: the old
    // program stays as it was.
  }

  bool atomic() const { return atomic_ != nullptr; }

  // The line being built: append to it, then call EndLine.
  TextBuffer& Buffer() { return buffer_; }

  // Ends the line built since the last EndLine; an empty one is dropped
  // unless writeEmpty.
  void EndLine(bool writeEmpty) {
    if (buffer_.size() == complete_ && !writeEmpty) return;
    buffer_.Append("\r\n", 2);
    complete_ = buffer_.size();
    if (complete_ >= kChunk) Flush();
  }
  void Line(std::string_view text, bool writeEmpty) {
    buffer_.Append(text);
    EndLine(writeEmpty);
  }
  void DropPartialLine() { buffer_.Truncate(complete_); }

  // Writes what is left and closes the file (renamed into place when
  // written atomically).
  void Close() {
    DropPartialLine();
    Flush();
    if (atomic_ != nullptr) {
      try {
        atomic_->Commit();
      } catch (const AtomicFileError& e) {
        throw NcWriteError(path_, e.what());
      }
      return;
    }
    std::FILE* file = file_;
    file_ = nullptr;
    errno = 0;
    if (std::fclose(file) != 0) Fail(errno);
  }

 private:
  void Flush() {
    if (buffer_.empty()) return;
    if (atomic_ != nullptr) {
      try {
        atomic_->Write(buffer_.data(), buffer_.size());
      } catch (const AtomicFileError& e) {
        throw NcWriteError(path_, e.what());
      }
    } else {
      errno = 0;
      const std::size_t written = std::fwrite(buffer_.data(), 1, buffer_.size(), file_);
      if (written != buffer_.size()) Fail(errno);
    }
    buffer_.Truncate(0);
    complete_ = 0;
  }
  [[noreturn]] void Fail(int error) {
    throw NcWriteError(path_, "Cannot write '" + path_.string() + "': " + SystemReason(error));
  }

  fs::path path_;
  std::FILE* file_ = nullptr;
  std::unique_ptr<AtomicFile> atomic_;
  TextBuffer buffer_;
  std::size_t complete_ = 0;  // length of the complete lines in buffer_
};

// ---- one run --------------------------------------------------------------------

class Generator {
 public:
  Generator(const TTNPostProcessor& post, NcOutput& out)
      : post_(post),
        out_(out),
        numbers_(static_cast<double>(post.Start), static_cast<double>(post.Increment)),
        texts_(post, &numbers_),
        n_(static_cast<double>(post.Start) - static_cast<double>(post.Increment)),
        inc_(static_cast<double>(post.Increment)),
        start_(static_cast<double>(post.Start)),
        maxBlock_(static_cast<double>(post.MaxBlock)),
        arcsByRadius_(ArcsByRadius(post)) {}

  void Run2D(const TTNOutRegionArray& toolpaths, const std::vector<std::string>& comments,
             const TTNMachiningParameters& params) {
    if (post_.IncludeComment) {
      for (const std::string& line : comments) out_.Line(line, true);
    }
    for (const std::string& line : post_.Header) out_.Line(line, true);

    motion_ = MotionState::None;
    previousTool_ = -1.0;
    plasma_ = IsPlasmaPost(post_.Name);
    // The motions are made toolpath by toolpath into one reused list, so
    // that a program of millions of moves never holds them all at once.
    CheckValue(params.RapidHeight, "rapid height", "The program");
    MotionBuilder builder(params.RapidHeight);
    MotionList motions;
    for (std::size_t i = 1; i < toolpaths.size(); ++i) {
      if (!toolpaths[i].Elements.empty()) CheckToolpath(toolpaths[i], i);
      motions.clear();
      builder.Append(toolpaths[i], static_cast<int32_t>(i), motions);
      for (const Motion& m : motions) Write(m);
    }
    motions.clear();
    builder.Finish(motions);
    for (const Motion& m : motions) Write(m);

    for (const std::string& line : post_.Footer) out_.Line(line, true);
  }

  void Run3D(const TTNOutRegionArray3D& passes, const std::vector<std::string>& comments,
             const TTNMachiningParameters& params) {
    if (passes.empty() || passes.front().Points.empty()) return;
    // Comment and Header lines are numbered, without the MaxBlock wrap.
    if (post_.IncludeComment) {
      for (const std::string& line : comments) NumberedLine(line, true);
    }
    for (const std::string& line : post_.Header) NumberedLine(line, true);

    motion_ = MotionState::None;
    previousTool_ = -1.0;
    CheckValue(params.RapidHeight, "rapid height", "The program");
    MotionBuilder builder(params.RapidHeight);
    MotionList motions;
    for (std::size_t index = 0; index < passes.size(); ++index) {
      const TTNOutRegion3D& pass = passes[index];
      if (pass.Points.empty()) continue;
      CheckPass(pass, index);
      if (post_.IncludeComment) {
        std::string line = post_.Comment;
        line += "Begin Next Pass ";
        line += pass.Name;
        line += " at ";
        line += FormatNumber("%.3F", pass.Level);
        line += post_.EndComment;
        Next();
        NumberedLine(line, true, false);
      }
      SetToolpathTokens3D(texts_, pass);
      motions.clear();
      builder.AppendPass(pass, static_cast<int32_t>(index), motions);
      for (const Motion& m : motions) Write3D(m, pass.Feed);
    }
    motions.clear();
    builder.Finish(motions);
    for (const Motion& m : motions) Write3D(m, 0.0);
    for (const std::string& line : post_.Footer) {
      Next();
      NumberedLine(line, true, false);
    }
  }

 private:
  const TTNToken& FeedToken() const { return post_.Tokens[TokenSlot::Ft]; }

  // NextLineNumber, with the post's two limits converted once.
  void Next() {
    n_ += inc_;
    if (n_ > maxBlock_) n_ = start_;
  }

  void Move(const TTNEntity& move, bool rapid, double z, bool writeEmpty) {
    AppendMove(texts_, out_.Buffer(), move, rapid, n_, z, motion_);
    out_.EndLine(writeEmpty);
  }

  // A motion of a 3D pass: every move is a block of its own, written even
  // when empty; the state is held in 32-bit floats like the points. A
  // plunge is cut at the plunge feed, then the feed word goes back to the
  // pass's `feed`.
  void Write3D(const Motion& m, double feed) {
    switch (m.Kind) {
      case MotionKind::ToolChange:
        previousTool_ = static_cast<double>(m.Tool);
        ToolChange(previousTool_, true);
        return;
      case MotionKind::Rapid:
      case MotionKind::Line:
        break;
      default:
        return;  // Rates: the pass's tokens are set already
    }
    const bool plunge = m.Part == MotionPart::Plunge;
    if (plunge) texts_.Set(TokenSlot::Ft, FormatTokenValue(FeedToken(), m.Feed));
    const NcPoint3 from{static_cast<float>(m.FromX), static_cast<float>(m.FromY),
                        static_cast<float>(m.FromZ)};
    const NcPoint3 to{static_cast<float>(m.X), static_cast<float>(m.Y), static_cast<float>(m.Z)};
    Next();
    AppendMove3D(texts_, out_.Buffer(), from, to, m.Kind == MotionKind::Rapid, n_, motion_,
                 m.KnownXY);
    out_.EndLine(true);
    if (plunge) texts_.Set(TokenSlot::Ft, FormatTokenValue(FeedToken(), feed));
  }

  // Nt(N) + line. `advance`: N := N + Inc first, without the MaxBlock wrap.
  void NumberedLine(std::string_view line, bool writeEmpty, bool advance = true) {
    if (advance) n_ += inc_;
    out_.Buffer().Append(FormatTokenValue(post_.Tokens[TokenSlot::Nt], n_));
    out_.Line(line, writeEmpty);
  }

  void ToolChange(double tool, bool writeEmptyLines) {
    const TTNMiniPost& block = post_.ToolBlock;
    for (const std::string& line : block.ToolHeader) {
      Next();
      NumberedLine(line, writeEmptyLines, false);
    }
    for (int index = 0; index < kToolScriptCount; ++index) {
      Next();
      TextBuffer& buffer = out_.Buffer();
      const std::size_t before = buffer.size();
      AppendToolScript(texts_, buffer, index, tool, n_);
      if (buffer.size() == before) {
        n_ -= inc_;  // an empty line uses no number
      } else {
        out_.EndLine(false);
      }
    }
    for (const std::string& line : block.ToolFooter) {
      Next();
      NumberedLine(line, writeEmptyLines, false);
    }
  }

  // One motion of the list, spelled through the post.
  void Write(const Motion& m) {
    switch (m.Kind) {
      case MotionKind::Rates:
        SetRatesTokens(texts_, m);
        feed_ = m.Feed;
        break;
      case MotionKind::ToolChange:
        ToolChange(static_cast<double>(m.Tool), false);
        break;
      case MotionKind::Drill: {
        Next();
        const int slot =
            motion_ == MotionState::Drill ? ScriptSlot::DrillContinuous : ScriptSlot::Drill;
        motion_ = MotionState::Drill;
        TTNEntity hole;
        hole.X = m.FromX;
        hole.Y = m.FromY;
        hole.X2 = m.X;
        hole.Y2 = m.Y;
        AppendDrill(texts_, out_.Buffer(), hole, slot, n_, -m.Z);
        out_.EndLine(false);
        break;
      }
      case MotionKind::Rapid:
      case MotionKind::Line:
      case MotionKind::Arc:
        if (m.Part == MotionPart::Plunge) {
          Plunge(m);
        } else if (m.Kind == MotionKind::Arc && arcsByRadius_) {
          ArcInPieces(m);
        } else {
          Next();
          AppendMotion(texts_, out_.Buffer(), m, n_, motion_);
          // The closing retract is written even when every word is modal.
          out_.EndLine(m.Part == MotionPart::End);
        }
        break;
    }
    if (m.Kind != MotionKind::Rates && m.Kind != MotionKind::ToolChange) lastKind_ = m.Kind;
  }

  void Plunge(const Motion& m) {
    Next();
    if (plasma_ && lastKind_ == MotionKind::Rapid) {
      // A torch is switched on where a cutter would plunge.
      out_.Buffer().Append(FormatTokenValue(post_.Tokens[TokenSlot::Nt], n_));
      out_.Line(DesignationText(post_.Tokens[TokenSlot::Misc5t]), false);
      // The rapid blocks took the new feed text as written although they
      // do not write it; without a plunge to carry it, the first cutting
      // block must write the feed word again.
      texts_.SetPrevious(TokenSlot::Ft, {});
      texts_.Set(TokenSlot::Ft, FormatTokenValue(FeedToken(), feed_));
      return;
    }
    // The feed word is written again, with the plunge feed.
    texts_.SetPrevious(TokenSlot::Ft, {});
    texts_.Set(TokenSlot::Ft, FormatTokenValue(FeedToken(), m.Feed));
    AppendMotion(texts_, out_.Buffer(), m, n_, motion_);
    out_.EndLine(false);
    texts_.Set(TokenSlot::Ft, FormatTokenValue(FeedToken(), feed_));
  }

  // A post whose arc blocks give the radius (R) instead of the centre cannot
  // tell the short arc from the long one, and near half a turn the centre a
  // control works out from R and the rounded end points swings far off (or
  // does not exist). Such posts get arcs in pieces of at most a quarter turn.
  static bool ArcsByRadius(const TTNPostProcessor& post) {
    for (int slot = ScriptSlot::CwArc; slot <= ScriptSlot::CcwArcContinuous; ++slot) {
      for (const TTNScriptItem& item : post.Scripts[static_cast<std::size_t>(slot)].Items) {
        if (item.Token < 0 || item.Token >= kTokenCount) continue;
        if (post.Tokens[static_cast<std::size_t>(item.Token)].Variable == TokenVar::Rad) return true;
      }
    }
    return false;
  }

  void ArcInPieces(const Motion& m) {
    TTNEntity e;
    e.X = m.CentreX;
    e.Y = m.CentreY;
    e.Radius = m.Radius;
    e.SetStartAngle(m.StartAngle);
    e.SetEndAngle(m.EndAngle);
    const double depth = -m.Z;
    const double sweep = ArcSweep(e);
    const int pieces = RadiusArcPieces(sweep);
    if (pieces <= 1) {
      Next();
      AppendMotion(texts_, out_.Buffer(), m, n_, motion_);
      out_.EndLine(false);
      return;
    }
    double from = e.StartAngle();
    for (int k = 1; k <= pieces; ++k) {
      TTNEntity piece = e;
      piece.SetStartAngle(from);
      if (k == pieces) {
        piece.SetEndAngle(e.EndAngle());
      } else {
        double to = e.StartAngle() + sweep * k / pieces;
        to = std::fmod(to, kTwoPi);
        if (to < 0.0) to += kTwoPi;
        piece.SetEndAngle(to);
      }
      from = piece.EndAngle();
      ElementBounds(piece);
      Next();
      Move(piece, false, depth, false);
    }
  }

  const TTNPostProcessor& post_;
  NcOutput& out_;
  NumberWords numbers_;  // before texts_, which uses it
  TokenTexts texts_;
  double n_;
  double inc_;
  double start_;
  double maxBlock_;
  double previousTool_ = -1.0;
  int motion_ = MotionState::None;
  bool arcsByRadius_ = false;
  bool plasma_ = false;
  double feed_ = 0.0;  // cutting feed of the toolpath being written
  MotionKind lastKind_ = MotionKind::Rates;  // of the last motion that moved
};

template <typename Body>
void WriteNC(const TTNPostProcessor& post, const fs::path& path, NcFileWrite how, Body&& body) {
  NcOutput out(path, post.Append, how);
  try {
    Generator generator(post, out);
    body(generator);
  } catch (const FormatError&) {
    // Written in place, the lines before the failing block stay in the
    // file; written atomically, the old file stays as it was.
    if (!out.atomic()) out.Close();
    throw;
  }
  out.Close();
}

}  // namespace

// ---- steps -------------------------------------------------------------------

int RadiusArcPieces(double sweep) {
  const double quarters = std::fabs(sweep) / (kPi / 2.0);
  if (!std::isfinite(quarters) || quarters <= 1.0 + 1e-9) return 1;
  return static_cast<int>(std::ceil(quarters - 1e-9));
}

void NextLineNumber(double& n, double inc, const TTNPostProcessor& post) {
  n += inc;
  if (n > static_cast<double>(post.MaxBlock)) n = static_cast<double>(post.Start);
}

int ClassifyMove(const TTNEntity& move, int& motion, bool rapid) {
  if (move.Radius < 0.0 || move.Radius > 0.0) return ClassifyArc(move.Radius, motion);
  return ClassifyMove3D(motion, rapid);
}

int ClassifyMove3D(int& motion, bool rapid) {
  if (rapid) {
    const int slot = motion == MotionState::Rapid ? ScriptSlot::RapidContinuous : ScriptSlot::Rapid;
    motion = MotionState::Rapid;
    return slot;
  }
  const int slot = motion == MotionState::Linear ? ScriptSlot::LinearContinuous : ScriptSlot::Linear;
  motion = MotionState::Linear;
  return slot;
}

TTNVariables MoveVariables(const TTNEntity& move, double z, double n) {
  TTNVariables v{};
  Point2 start{move.X, move.Y};
  Point2 end{move.X2, move.Y2};
  if (move.Radius != 0.0) ElementEnds(move, start, end);
  v[TokenVar::Sx] = start.X;
  v[TokenVar::Sy] = start.Y;
  v[TokenVar::Sz] = z;
  v[TokenVar::Ex] = end.X;
  v[TokenVar::Ey] = end.Y;
  v[TokenVar::Ez] = -z;
  if (move.Radius != 0.0) {
    v[TokenVar::Sa] = move.StartAngle();
    v[TokenVar::Ea] = move.EndAngle();
    v[TokenVar::Rad] = std::fabs(move.Radius);
    v[TokenVar::Cx] = move.X;
    v[TokenVar::Cy] = move.Y;
    v[TokenVar::Ii] = move.X - start.X;
    v[TokenVar::Ji] = move.Y - start.Y;
  }
  v[TokenVar::Nv] = n;
  return v;
}

TTNVariables MoveVariables3D(const NcPoint3& from, const NcPoint3& to, double n) {
  TTNVariables v{};
  v[TokenVar::Sx] = from.X;
  v[TokenVar::Sy] = from.Y;
  v[TokenVar::Sz] = from.Z;
  v[TokenVar::Ex] = to.X;
  v[TokenVar::Ey] = to.Y;
  v[TokenVar::Ez] = to.Z;
  v[TokenVar::Nv] = n;
  return v;
}

void ToolpathTokens(const TTNOutRegion& toolpath, const TTNPostProcessor& post,
                    TTNTokenString& current) {
  TokenTexts texts(post);
  texts.Load(current, current);
  SetToolpathTokens(texts, toolpath);
  texts.Store(current, nullptr);
}

void ToolpathTokens3D(const TTNOutRegion3D& pass, const TTNPostProcessor& post,
                      TTNTokenString& current) {
  TokenTexts texts(post);
  texts.Load(current, current);
  SetToolpathTokens3D(texts, pass);
  texts.Store(current, nullptr);
}

namespace {

// One block built on its own from the token texts `current` and the words
// last written `previous`, both updated as a run of the writer would.
template <class AppendBlock>
std::string BuildBlock(const TTNPostProcessor& post, TTNTokenString& previous,
                       TTNTokenString& current, AppendBlock append) {
  TokenTexts texts(post);
  texts.Load(current, previous);
  TextBuffer text;
  append(texts, text);
  texts.Store(current, &previous);
  return text.str();
}

}  // namespace

std::string BuildMoveBlock(const TTNEntity& move, const TTNPostProcessor& post,
                           TTNTokenString& previous, bool rapid, double n, double z, int& motion,
                           TTNTokenString& current) {
  return BuildBlock(post, previous, current, [&](TokenTexts& texts, TextBuffer& text) {
    AppendMove(texts, text, move, rapid, n, z, motion);
  });
}

std::string BuildMotionBlock(const Motion& motion, const TTNPostProcessor& post,
                             TTNTokenString& previous, double n, int& motionState,
                             TTNTokenString& current) {
  return BuildBlock(post, previous, current, [&](TokenTexts& texts, TextBuffer& text) {
    AppendMotion(texts, text, motion, n, motionState);
  });
}

std::string BuildMoveBlock3D(const NcPoint3& from, const NcPoint3& to,
                             const TTNPostProcessor& post, TTNTokenString& previous, bool rapid,
                             double n, int& motion, TTNTokenString& current) {
  return BuildBlock(post, previous, current, [&](TokenTexts& texts, TextBuffer& text) {
    AppendMove3D(texts, text, from, to, rapid, n, motion);
  });
}

std::string BuildDrillBlock(const TTNEntity& hole, const TTNPostProcessor& post,
                            TTNTokenString& previous, TTNTokenString& current, int slot,
                            double n, double z) {
  return BuildBlock(post, previous, current, [&](TokenTexts& texts, TextBuffer& text) {
    AppendDrill(texts, text, hole, slot, n, z);
  });
}

std::string BuildToolScriptLine(const TTNPostProcessor& post, int index, double toolNumber,
                                double n, TTNTokenString& current) {
  TokenTexts texts(post);
  texts.Load(current, current);
  TextBuffer text;
  AppendToolScript(texts, text, index, toolNumber, n);
  texts.Store(current, nullptr);
  return text.str();
}

void WriteNC2D(const TTNOutRegionArray& toolpaths, const std::vector<std::string>& comments,
               const TTNMachiningParameters& params, const TTNPostProcessor& post,
               const std::filesystem::path& path, NcFileWrite how) {
  WriteNC(post, path, how, [&](Generator& g) { g.Run2D(toolpaths, comments, params); });
}

void WriteNC3D(const TTNOutRegionArray3D& passes, const std::vector<std::string>& comments,
               const TTNMachiningParameters& params, const TTNPostProcessor& post,
               const std::filesystem::path& path, NcFileWrite how) {
  WriteNC(post, path, how, [&](Generator& g) { g.Run3D(passes, comments, params); });
}

}  // namespace tarnak
