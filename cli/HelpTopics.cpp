#include "cli/HelpTopics.h"

#include "base/NumberText.h"
#include "base/Translate.h"
#include "output/Formats.h"
#include "project/ProjectWords.h"

namespace velmora::cli {

namespace {

std::string CurvesText() {
  return Msg(
      "Curve texts: how a parameter changes from frame to frame\n"
      "\n"
      "Every parameter with a curve ('velmora params --list') is a curve of keys: at\n"
      "a key's frame it has the key's value, before the first key the first value,\n"
      "after the last key the last value, and in between a shaped blend of the two\n"
      "neighbouring keys.  A curve text is one line of fields separated by blanks:\n"
      "\n"
      "  KIND COUNT WEIGHT FRAME VALUE FRAME VALUE ...\n"
      "\n"
      "  KIND    TDiv_MP: an easing that adapts to the neighbouring keys (what the\n"
      "          window writes); TDiv_BM: a box-filtered smoothing that still passes\n"
      "          through every key\n"
      "  COUNT   the number of keys; that many FRAME VALUE pairs follow, in frame\n"
      "          order\n"
      "  WEIGHT  how much of a plain straight line is mixed in: 0 the shaped curve\n"
      "          alone, 1 straight lines from key to key\n"
      "Frames are timeline frame numbers; numbers use '.' as the decimal point.\n"
      "\n"
      "Examples:\n"
      "  TDiv_MP 1 0 0 0.5               0.5 at every frame\n"
      "  TDiv_MP 2 0 0 1 60 0.2          from 1 at frame 0 to 0.2 at frame 60\n"
      "  TDiv_MP 3 0 0 0 30 1 60 0       up to 1 at frame 30 and back, eased\n"
      "  TDiv_BM 3 0 0 0 30 1 60 0       the same, smoothed\n"
      "  TDiv_MP 3 1 0 0 30 1 60 0       the same along straight lines\n"
      "\n"
      "On the command line (render, movie, params):\n"
      "  --curve brightness=\"TDiv_MP 2 0 0 1 60 0.2\"   the whole curve\n"
      "  --key brightness@0=1 --key brightness@60=0.2  keys added to the curve\n"
      "  --set brightness=0.7                          a key at the frame rendered\n"
      "In a project file the text stands in double quotes before its keyword:\n"
      "  \"TDiv_MP 2 0 0 1 60 0.2\" brightness\n");
}

// The format table with how the commands choose a format.
std::string FormatsText() {
  return std::string(Msg("The formats velmora writes.  render and movie choose one by the output\n"
                         "name's extension (any case); --format NAME (render) forces one.  An\n"
                         "extension not listed here is refused; a name without one is a BMP.\n")) +
         "\n" + FormatTableText();
}

const HelpTopic kTopics[] = {
    {"curves", MsgNoop("curve texts: kinds, fields, examples; --key and --curve"), CurvesText},
    {"formats", MsgNoop("the picture and movie formats that can be written"), FormatsText},
};

// Display columns of a UTF-8 text: two for a character beyond ASCII (the
// Japanese texts are full width), one otherwise.
size_t Columns(std::string_view s) {
  size_t n = 0;
  for (unsigned char c : s) {
    if (c < 0x80) ++n;
    else if ((c & 0xC0) != 0x80) n += 2;
  }
  return n;
}

std::string Pad(std::string s, size_t width) {
  const size_t cols = Columns(s);
  if (cols < width) s.append(width - cols, ' ');
  return s + "  ";
}

std::string RangeText(const TParamInfo& p) {
  switch (p.Control) {
    case TParamControl::RealEdit: return Msg("any");
    case TParamControl::FileEdit: return Msg("name");
    case TParamControl::IntegerEdit:
      if (p.Min < 0) return Msg("integer");
      return MsgFormat("%s or more", {FormatReal(p.Min)});
    case TParamControl::Timeline: return Msg("integer");
    case TParamControl::CheckBox: return Msg("0 or 1");
    default: break;
  }
  return MsgFormat("%s..%s step %s", {FormatReal(p.Min), FormatReal(p.Max), FormatReal(p.Step)});
}

std::string DefaultText(const TParamInfo& p) {
  const std::string def = p.Curve >= 0 ? FormatReal(p.Default) : std::string(p.DefaultText);
  return def.empty() ? "\"\"" : def;
}

bool SetTakes(const TParamInfo& p) {
  return p.Curve >= 0 || &p == &kParamTable[psResolution] || &p == &kParamTable[psFrames] ||
         p.Control == TParamControl::CheckBox;
}

// The manual line of the project word KEYWORD, in the language of the
// messages.
std::string WordManual(std::string_view keyword) {
  for (int i = 0; i < ProjectWordCount; ++i) {
    const TProjectWordInfo& w = ProjectWordInfo(i);
    if (keyword == w.Keyword) return ProjectWordManual(i);
  }
  return {};
}

// The project file line of ROW with its new-project value.
std::string ProjectLine(const TParamInfo& row) {
  if (row.Curve >= 0) {
    const std::string key = "\"TDiv_MP 1 0 0 " + FormatReal(row.Default) + "\"";
    if (FindParam(row.Keyword) == &row) return key + " " + row.Keyword;
    return MsgFormat("%s (one curve per axis, x first) %s", {key, row.Keyword});
  }
  if (&row == &kParamTable[psResolution]) return "512 512 resolution";
  if (&row == &kParamTable[psFrames]) return "0 120 frames";
  if (&row == &kParamTable[psCurrentFrame]) return "0 current_frame";
  if (row.Control == TParamControl::FileEdit) return std::string("\"\" ") + row.Keyword;
  return MsgFormat("%s (a line of its own when on)", {row.Keyword});
}

std::string RowHelp(const TParamInfo& row) {
  std::string text = std::string(row.Name) + ": " + Msg(row.Meaning) + "\n";
  text += MsgFormat("  default %s, range %s", {DefaultText(row), RangeText(row)});
  if (*row.Unit) text += ", " + MsgFormat("unit: %s", {Msg(row.Unit)});
  text += "\n";
  text += MsgFormat("  project file: %s", {ProjectLine(row)}) + "\n";
  text += MsgFormat("  command line: %s", {ParamChangeHint(row)}) + "\n";
  return text;
}

}  // namespace

const HelpTopic* FindHelpTopic(std::string_view name) {
  for (const HelpTopic& t : kTopics)
    if (name == t.name) return &t;
  return nullptr;
}

std::string HelpTopicLines() {
  std::string out;
  for (const HelpTopic& t : kTopics)
    out += "  " + Pad("help " + std::string(t.name), 21) + Msg(t.summary) + "\n";
  return out;
}

std::string ParamChangeHint(const TParamInfo& row) {
  const std::string n = row.Name;
  if (row.Curve >= 0)
    return MsgFormat("--set %s=V, --key %s@FRAME=V or --curve %s=TEXT", {n, n, n});
  if (&row == &kParamTable[psResolution]) return "--set resolution=WxH";
  if (&row == &kParamTable[psFrames]) return "--set frames=MIN..MAX";
  if (&row == &kParamTable[psCurrentFrame])
    return Msg("not with --set: give --frame N (render, params) or --from N (movie)");
  if (&row == &kParamTable[psOutputAvi]) return Msg("not with --set: give movie -o OUT");
  if (&row == &kParamTable[psOutputAlphaAvi]) return Msg("not with --set: give movie --alpha OUT");
  return MsgFormat("--set %s=0 or --set %s=1", {n, n});
}

std::optional<std::string> KeywordHelp(std::string_view name) {
  if (const TParamInfo* row = FindParam(name)) {
    const std::string manual = WordManual(row->Keyword);
    return RowHelp(*row) + (manual.empty() ? "" : "  man: " + manual + "\n");
  }
  // A keyword of several curves: each of them.
  std::string text;
  for (const TParamInfo& p : ParamTable())
    if (name == p.Keyword) text += RowHelp(p);
  if (text.empty()) return std::nullopt;
  return text + "  man: " + WordManual(name) + "\n";
}

std::string ParamListText() {
  std::string out = Pad(Msg("NAME"), 23) + Pad(Msg("DEFAULT"), 8) + Pad(Msg("RANGE"), 22) +
                    Pad(Msg("UNIT"), 13) + Msg("MEANING") + "\n";
  for (const TParamInfo& p : kParamTable) {
    std::string meaning = Msg(p.Meaning);
    if (!SetTakes(p)) meaning += " [" + ParamChangeHint(p) + "]";
    out += Pad(p.Name, 23) + Pad(DefaultText(p), 8) + Pad(RangeText(p), 22) +
           Pad(*p.Unit ? Msg(p.Unit) : "", 13) + meaning + "\n";
  }
  out += std::string("\n") +
         Msg("--set NAME=V keys a parameter at the frame rendered, --key NAME@FRAME=V at\n"
             "any frame (repeatable: an animation), --curve NAME=TEXT gives its whole\n"
             "curve; 'velmora help curves' explains curve texts, 'velmora help NAME' one\n"
             "parameter.\n");
  return out;
}

}  // namespace velmora::cli
