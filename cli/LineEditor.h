// The line editor of the interactive Brel console lives in a module of its
// own, libvelmora-lineedit.so (libedit and the terminal libraries it pulls
// in), loaded when the console starts (base/Module.h): every other command
// starts without them.  This header is the contract between the console and
// the module.
#pragma once

#include <memory>
#include <string>

namespace velmora::cli {

// Editing of lines read from the terminal (standard input and output), with
// a history of the lines entered.
class LineEditor {
 public:
  virtual ~LineEditor() = default;
  // Shows PROMPT and reads one line into LINE, without its newline.  False
  // at the end of input or when a signal (Ctrl-C) ended the read; TYPED then
  // says whether the line held characters.
  virtual bool ReadLine(const std::string& prompt, std::string& line, bool& typed) = 0;
  // Drops the line being edited after an interrupted read.
  virtual void Reset() = 0;
  // Adds LINE to the history.
  virtual void Remember(const std::string& line) = 0;
  // Writes the history (at most its last 1000 distinct lines) to the file
  // it was loaded from, if any.
  virtual void SaveHistory() = 0;
};

class LineEditorModule {
 public:
  // An editor whose history is loaded from HISTORYPATH ("" for none).
  virtual std::unique_ptr<LineEditor> Open(const std::string& historyPath) const = 0;

 protected:
  ~LineEditorModule() = default;
};

// The module; null with *error (naming it) when it cannot be loaded.
const LineEditorModule* LoadLineEditorModule(std::string* error);

}  // namespace velmora::cli

// The module's one exported symbol.
extern "C" const velmora::cli::LineEditorModule* velmora_lineedit_module();
