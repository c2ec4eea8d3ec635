// The module libvelmora-lineedit.so (cli/LineEditor.h): libedit's editor in
// emacs mode with its history, on the standard streams.
#include <histedit.h>

#include <cstdio>

#include "cli/LineEditor.h"

namespace velmora::cli {

namespace {

class EditLineEditor final : public LineEditor {
 public:
  explicit EditLineEditor(const std::string& historyPath)
      : el_(el_init("velmora", stdin, stdout, stderr)),
        hist_(history_init()),
        historyPath_(historyPath) {
    history(hist_, &ev_, H_SETSIZE, 1000);
    history(hist_, &ev_, H_SETUNIQUE, 1);
    if (!historyPath_.empty()) history(hist_, &ev_, H_LOAD, historyPath_.c_str());
    el_set(el_, EL_EDITOR, "emacs");
    el_set(el_, EL_CLIENTDATA, this);
    el_set(el_, EL_PROMPT, &Prompt);
    el_set(el_, EL_HIST, history, hist_);
    el_source(el_, nullptr);
  }
  ~EditLineEditor() override {
    el_end(el_);
    history_end(hist_);
  }
  EditLineEditor(const EditLineEditor&) = delete;
  EditLineEditor& operator=(const EditLineEditor&) = delete;

  bool ReadLine(const std::string& prompt, std::string& line, bool& typed) override {
    prompt_ = prompt;
    int count = 0;
    const char* got = el_gets(el_, &count);
    if (!got) {
      const LineInfo* li = el_line(el_);
      typed = li && li->lastchar != li->buffer;
      return false;
    }
    typed = count > 0;
    line.assign(got, static_cast<size_t>(count));
    if (!line.empty() && line.back() == '\n') line.pop_back();
    return true;
  }
  void Reset() override { el_reset(el_); }
  void Remember(const std::string& line) override { history(hist_, &ev_, H_ENTER, line.c_str()); }
  void SaveHistory() override {
    if (!historyPath_.empty()) history(hist_, &ev_, H_SAVE, historyPath_.c_str());
  }

 private:
  static char* Prompt(EditLine* el) {
    EditLineEditor* self = nullptr;
    el_get(el, EL_CLIENTDATA, &self);
    return self->prompt_.data();
  }

  EditLine* el_;
  History* hist_;
  HistEvent ev_{};
  std::string historyPath_;
  std::string prompt_;
};

class Module final : public LineEditorModule {
 public:
  std::unique_ptr<LineEditor> Open(const std::string& historyPath) const override {
    return std::make_unique<EditLineEditor>(historyPath);
  }
};

}  // namespace

}  // namespace velmora::cli

extern "C" __attribute__((visibility("default"))) const velmora::cli::LineEditorModule*
velmora_lineedit_module() {
  static const velmora::cli::Module module;
  return &module;
}
