#include "cli/FarmWork.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <new>
#include <sstream>
#include <system_error>

#include "anim/Token.h"
#include "output/MovieLoop.h"
#include "output/Settings.h"
#include "output/StillImage.h"
#include "base/Translate.h"

namespace velmora::cli {

namespace {

constexpr char kSection[] = "Farm";

bool Exists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string Range(FrameRange r) { return std::to_string(r.first) + ".." + std::to_string(r.last); }

}  // namespace

std::vector<FrameRange> SplitFrames(FrameRange all, int32_t n) {
  std::vector<FrameRange> ranges;
  const int64_t count = int64_t{all.last} - all.first + 1;
  if (count <= 0 || n <= 0) return ranges;
  const int64_t chunks = std::min<int64_t>(n, count);
  int64_t next = all.first;
  for (int64_t i = 0; i < chunks; ++i) {
    const int64_t len = count / chunks + (i < count % chunks ? 1 : 0);
    ranges.push_back({static_cast<int32_t>(next), static_cast<int32_t>(next + len - 1)});
    next += len;
  }
  return ranges;
}

bool ParseFrameRange(const std::string& text, FrameRange& range) {
  // The second number may be negative too: "-5..-2".
  const size_t dots = text.find("..");
  if (dots == std::string::npos) return false;
  const auto a = ParseInt32(text.substr(0, dots));
  const auto b = ParseInt32(text.substr(dots + 2));
  if (!a || !b) return false;
  range = {*a, *b};
  return true;
}

std::string SelectFrameRange(const std::string& text, int32_t min, int32_t max,
                             MovieSettings& settings) {
  FrameRange range;
  if (!ParseFrameRange(text, range))
    return MsgFormat("--frames needs a range A..B of frame numbers, not '%s'", {text});
  if (range.first > range.last)
    return MsgFormat("--frames %s starts after it ends", {text});
  if (range.first < min || range.last > max)
    return MsgFormat("--frames %s lies outside the timeline %s", {text, Range({min, max})});
  settings.runStart = std::min(settings.firstFrame, range.first);
  settings.firstFrame = range.first;
  settings.lastFrame = range.last;
  return "";
}

FarmFolder::FarmFolder(std::string dir) : dir_(std::move(dir)) {
  while (dir_.size() > 1 && dir_.back() == '/') dir_.pop_back();
}

std::string FarmFolder::SeriesName(bool alpha) const {
  return dir_ + (alpha ? "/frames/alpha.png" : "/frames/colour.png");
}

std::string FarmFolder::FramePath(bool alpha, int32_t frame) const {
  return NumberedFileName(SeriesName(alpha), frame);
}

std::string FarmFolder::LogPath(int32_t task) const {
  return dir_ + "/logs/task-" + std::to_string(task) + ".log";
}

std::string FarmFolder::LogPattern() const { return dir_ + "/logs/task-%a.log"; }

bool FarmFolder::Create(std::string* error) const {
  std::error_code ec;
  for (const char* sub : {"/frames", "/logs"}) {
    std::filesystem::create_directories(dir_ + sub, ec);
    if (ec) {
      if (error) *error = MsgFormat("cannot create %s: %s", {dir_ + sub, SystemErrorText(ec.value())});
      return false;
    }
  }
  return true;
}

bool FarmFolder::ReadRecord(FarmRecord& r) const {
  const std::string path = RecordPath();
  std::string first, last;
  if (!ReadIniString(path, kSection, "First", first) ||
      !ReadIniString(path, kSection, "Last", last))
    return false;
  int32_t a = 0, b = 0;
  if (!ParseIniInteger(first, a) || !ParseIniInteger(last, b)) return false;
  r.frames = {a, b};
  ReadIniString(path, kSection, "Project", r.project);
  r.alpha = ReadIniBool(path, kSection, "Alpha", false);
  r.width = ReadIniInteger(path, kSection, "Width", 0);
  r.height = ReadIniInteger(path, kSection, "Height", 0);
  r.jobId.clear();
  ReadIniString(path, kSection, "Job", r.jobId);
  r.texture.clear();
  r.textureMix.clear();
  r.textureLayer.clear();
  ReadIniString(path, kSection, "Texture", r.texture);
  ReadIniString(path, kSection, "TextureMix", r.textureMix);
  ReadIniString(path, kSection, "TextureLayer", r.textureLayer);
  // Folders made before depths were recorded hold 8-bit pictures.
  r.depth = "8";
  r.buffer.clear();
  r.normalStrength = "1";
  ReadIniString(path, kSection, "Depth", r.depth);
  ReadIniString(path, kSection, "Buffer", r.buffer);
  ReadIniString(path, kSection, "NormalStrength", r.normalStrength);
  r.avi = DefaultAviOptions();
  AviOptionsLoad(path, r.avi);
  r.movie = MovieEncodeOptions();
  ReadIniString(path, kSection, "Codec", r.movie.codec);
  r.movie.quality = ReadIniInteger(path, kSection, "Quality", -1);
  r.movie.bitRate = ReadIniInteger(path, kSection, "BitRate", 0);
  r.movie.keyFrameEvery = ReadIniInteger(path, kSection, "KeyFrames", 0);
  r.movie.loop = ReadIniInteger(path, kSection, "Loop", 0);
  return true;
}

bool FarmFolder::WriteRecord(const FarmRecord& r, std::string* error) const {
  const std::string path = RecordPath();
  return WriteIniValues(path, kSection,
                        {{"Project", r.project},
                         {"First", std::to_string(r.frames.first)},
                         {"Last", std::to_string(r.frames.last)},
                         {"Alpha", r.alpha ? "1" : "0"},
                         {"Width", std::to_string(r.width)},
                         {"Height", std::to_string(r.height)},
                         {"Job", r.jobId},
                         {"Texture", r.texture},
                         {"TextureMix", r.textureMix},
                         {"TextureLayer", r.textureLayer},
                         {"Depth", r.depth},
                         {"Buffer", r.buffer},
                         {"NormalStrength", r.normalStrength},
                         {"Codec", r.movie.codec},
                         {"Quality", std::to_string(r.movie.quality)},
                         {"BitRate", std::to_string(r.movie.bitRate)},
                         {"KeyFrames", std::to_string(r.movie.keyFrameEvery)},
                         {"Loop", std::to_string(r.movie.loop)}},
                        error) &&
         AviOptionsSave(path, r.avi, error);
}

bool FarmFolder::ReadFrame(const FarmRecord& record, bool alpha, int32_t frame,
                           Bitmap24& picture, std::string* error) const {
  const std::string path = FramePath(alpha, frame);
  const std::string what =
      MsgFormat(alpha ? MsgNoop("alpha frame %s (%s)") : MsgNoop("colour frame %s (%s)"),
                {std::to_string(frame), path});
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    if (error) *error = MsgFormat("%s is missing", {what});
    return false;
  }
  // The header is compared with the record before the pixels are read, and
  // the file may be no larger than an uncompressed picture of that size.
  std::string why;
  const uint64_t sizeBound =
      uint64_t(std::max(record.width, 1)) * uint64_t(std::max(record.height, 1)) * 4 + (uint64_t{1} << 20);
  std::error_code ec;
  const uintmax_t fileSize = std::filesystem::file_size(path, ec);
  if (record.width < 1 || record.height < 1) {
    why = Msg("the work folder's record has no picture size");
  } else if (!ec && fileSize > sizeBound) {
    why = MsgFormat("it is larger than a %s x %s picture can be",
                    {std::to_string(record.width), std::to_string(record.height)});
  } else {
    try {
      std::ostringstream bytes;
      bytes << in.rdbuf();
      if (!in.good() && !in.eof()) why = SystemErrorText(errno);
      if (why.empty() && DecodePng(bytes.str(), picture, &why, record.width, record.height))
        return true;
    } catch (const std::bad_alloc&) {
      why = Msg("not enough memory to read it");
    }
  }
  if (error) *error = MsgFormat("%s is unreadable: %s", {what, why});
  return false;
}

bool FarmFolder::FrameDone(const FarmRecord& record, int32_t frame, bool checkContent) const {
  for (bool alpha : {false, true}) {
    if (alpha && !record.alpha) break;
    if (!checkContent) {
      if (!Exists(FramePath(alpha, frame))) return false;
      continue;
    }
    Bitmap24 picture;
    if (!ReadFrame(record, alpha, frame, picture, nullptr)) return false;
  }
  return true;
}

FrameRange MissingPart(const FarmFolder& folder, const FarmRecord& record, FrameRange range,
                       bool checkContent) {
  FrameRange missing{range.last + 1, range.last};  // empty
  for (int64_t f = range.first; f <= range.last; ++f) {
    if (folder.FrameDone(record, static_cast<int32_t>(f), checkContent)) continue;
    if (missing.Count() <= 0) missing.first = static_cast<int32_t>(f);
    missing.last = static_cast<int32_t>(f);
  }
  return missing;
}

std::string AviNameProblem(const std::string& option, const std::string& name) {
  if (name.empty() || OutputKindForName(name) == MovieOutputKind::Avi) return "";
  return MsgFormat("%s needs a movie file name (%s), not '%s'",
                   {option, FormatNameList(kFormatMovie), name});
}

std::string ShellQuote(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) {
    if (c == '\'')
      quoted += "'\\''";
    else
      quoted += c;
  }
  return quoted + "'";
}

std::string BatchScript(const FarmFolder& folder, const FarmRecord& record,
                        const std::vector<FrameRange>& ranges, const std::string& velmora) {
  std::string s =
      "#!/bin/sh\n"
      "# A job array of velmora farm: task i renders the frames of range i into\n"
      "# the series of the work folder.\n"
      "#SBATCH --job-name=velmora-farm\n"
      "#SBATCH --output=" + folder.LogPattern() + "\n"
      "#SBATCH --ntasks=1\n"
      "case \"$SLURM_ARRAY_TASK_ID\" in\n";
  for (size_t i = 0; i < ranges.size(); ++i)
    if (ranges[i].Count() > 0) s += "  " + std::to_string(i) + ") frames=" + Range(ranges[i]) + " ;;\n";
  s += "  *) echo \"velmora farm: task $SLURM_ARRAY_TASK_ID has no frame range\" >&2; exit 2 ;;\n"
       "esac\n"
       "echo \"velmora farm: task $SLURM_ARRAY_TASK_ID renders frames $frames on $(hostname)\"\n"
       "# The CPUs Slurm gave the task, not every CPU of the node.\n"
       "exec " + ShellQuote(velmora) + " movie " + ShellQuote(folder.ProjectCopy()) +
       " --threads \"${SLURM_CPUS_PER_TASK:-1}\" --frames \"$frames\" --from " + std::to_string(record.frames.first) + " -o " +
       ShellQuote(folder.SeriesName(false)) + " --alpha " +
       ShellQuote(record.alpha ? folder.SeriesName(true) : "") +
       (record.texture.empty()
            ? std::string()
            : " --texture " + ShellQuote(record.texture) + " --texture-mix " +
                  ShellQuote(record.textureMix) + " --texture-layer " +
                  ShellQuote(record.textureLayer)) +
       (record.depth == "8" ? std::string() : " --depth " + ShellQuote(record.depth)) +
       (record.buffer.empty() ? std::string() : " --buffer " + ShellQuote(record.buffer)) +
       (record.buffer != "normal" ? std::string()
                                  : " --normal-strength " + ShellQuote(record.normalStrength)) +
       "\n";
  return s;
}

bool AssembleMovies(const FarmFolder& folder, const FarmRecord& record, const std::string& main,
                    const std::string& alpha, std::string* error, bool replaceProtected) {
  const std::string names[2] = {main, alpha};
  if (!alpha.empty() && !record.alpha) {
    if (error) *error = MsgFormat("the work folder %s holds no alpha pictures", {folder.Dir()});
    return false;
  }
  Bitmap24 picture;
  for (int64_t f = record.frames.first; f <= record.frames.last; ++f)
    for (int i = 0; i < 2; ++i)
      if (!names[i].empty() &&
          !folder.ReadFrame(record, i == 1, static_cast<int32_t>(f), picture, error))
        return false;
  for (int i = 0; i < 2; ++i) {
    if (names[i].empty()) continue;
    AviWriter writer;
    bool ok = writer.Open(names[i], record.width, record.height, record.avi, record.movie,
                          replaceProtected);
    for (int64_t f = record.frames.first; ok && f <= record.frames.last; ++f)
      ok = folder.ReadFrame(record, i == 1, static_cast<int32_t>(f), picture, error) &&
           writer.Write(picture, f - record.frames.first);
    if (!ok) {
      // A frame that went bad since the check leaves no movie behind either.
      if (error && !writer.LastError().empty()) *error = names[i] + ": " + writer.LastError();
      writer.Discard();
      return false;
    }
    if (!writer.Close()) {
      if (error) *error = names[i] + ": " + writer.LastError();
      return false;
    }
  }
  return true;
}

}  // namespace velmora::cli
