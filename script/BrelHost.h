// The host objects an environment can talk to: the console that `.` and `cr`
// write to, the trace view, the two line-list views and the event pump.  All
// are optional and owned by the host; the interpreter only keeps pointers.
#pragma once

#include <string>
#include <string_view>

namespace velmora {

// A text the host shows as program output.  `.` and `cr` read the whole
// text, append to it and write it back; Append is that round trip, and a
// host may override it with something cheaper (a stream, say).
class BrelConsole {
 public:
  virtual ~BrelConsole() = default;
  virtual std::string GetText() const = 0;
  virtual void SetText(std::string text) = 0;
  virtual void Append(std::string_view s) {
    std::string t = GetText();
    t.append(s);
    SetText(std::move(t));
  }
};

// A console that keeps its text in memory.
class BrelStringConsole : public BrelConsole {
 public:
  std::string GetText() const override { return text_; }
  void SetText(std::string text) override { text_ = std::move(text); }
  void Append(std::string_view s) override { text_.append(s); }
  const std::string& Text() const { return text_; }

 private:
  std::string text_;
};

// The trace view: only its whole text is ever replaced.
class BrelTextView {
 public:
  virtual ~BrelTextView() = default;
  virtual void SetText(const std::string& text) = 0;
};

// The value stack view and the control view: the interpreter clears them and
// inserts lines (always at index 0).
class BrelLineView {
 public:
  virtual ~BrelLineView() = default;
  virtual void Clear() = 0;
  virtual void Insert(int index, const std::string& line) = 0;
};

}  // namespace velmora
