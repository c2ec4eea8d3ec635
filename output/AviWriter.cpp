#include "output/AviWriter.h"

#include <cctype>
#include <cstdio>

#include "base/Strings.h"
#include "base/Translate.h"
#include "output/MovieModule.h"
#include "output/Settings.h"

namespace velmora {

namespace {

constexpr char AwrSection[] = "AWR";

std::string HandlerText(uint32_t handler) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "$%x", handler);
  return buf;
}

}  // namespace

AviOptions DefaultAviOptions() {
  AviOptions o;
  o.handler = FourCC('M', 'J', 'P', 'G');
  o.quality = AviBestQuality;
  return o;
}

bool AviOptionsLoad(const std::string& settingsPath, AviOptions& options) {
  if (settingsPath.empty() || !SettingsFileExists(settingsPath)) return false;
  std::string handlerText;
  if (!ReadIniString(settingsPath, AwrSection, "Handler", handlerText)) return false;
  AviOptions o;
  int32_t handler = 0;
  if (!ParseIniInteger(handlerText, handler)) handler = 0;  // empty or unreadable: uncompressed
  o.handler = static_cast<uint32_t>(handler);
  o.keyFrameEvery = ReadIniInteger(settingsPath, AwrSection, "KeyFrameEvery", 0);
  o.quality = ReadIniInteger(settingsPath, AwrSection, "Quality", 0);
  o.bytesPerSecond = ReadIniInteger(settingsPath, AwrSection, "BytesPerSecond", 0);
  o.flags = ReadIniInteger(settingsPath, AwrSection, "Flags", 0);
  options = o;
  return true;
}

bool AviOptionsSave(const std::string& settingsPath, const AviOptions& o, std::string* error) {
  return WriteIniValues(settingsPath, AwrSection,
                        {{"Handler", HandlerText(o.handler)},
                         {"KeyFrameEvery", std::to_string(o.keyFrameEvery)},
                         {"Quality", std::to_string(o.quality)},
                         {"BytesPerSecond", std::to_string(o.bytesPerSecond)},
                         {"Flags", std::to_string(o.flags)}},
                        error);
}

AviOptions PrepareAviOptions(const std::string& settingsPath, const AviOptionOverrides& ov,
                             std::string* warning) {
  AviOptions o;
  if (!AviOptionsLoad(settingsPath, o)) o = DefaultAviOptions();
  if (ov.setHandler) o.handler = ov.handler;
  if (ov.setQuality) o.quality = ov.quality;
  if (ov.setKeyFrameEvery) {
    o.keyFrameEvery = ov.keyFrameEvery;
    if (ov.keyFrameEvery > 0)
      o.flags |= AviFlagKeyFrames;
    else
      o.flags &= ~AviFlagKeyFrames;
  }
  if (ov.setBytesPerSecond) {
    o.bytesPerSecond = ov.bytesPerSecond;
    if (ov.bytesPerSecond > 0)
      o.flags |= AviFlagDataRate;
    else
      o.flags &= ~AviFlagDataRate;
  }
  std::string error;
  if (!AviOptionsSave(settingsPath, o, &error) && warning)
    *warning = MsgFormat("the movie options were not stored: %s", {error});
  return o;
}

bool AviHandlerFromName(const std::string& name, uint32_t& handler) {
  const std::string lower = ToLower(name);
  if (lower == "raw" || lower == "uncompressed" || lower == "none" || lower == "rgb") {
    handler = 0;
  } else if (lower == "mjpeg" || lower == "mjpg") {
    handler = FourCC('M', 'J', 'P', 'G');
  } else if (lower == "ffv1") {
    handler = FourCC('F', 'F', 'V', '1');
  } else if (lower == "h264" || lower == "x264" || lower == "avc" || lower == "libx264") {
    handler = FourCC('H', '2', '6', '4');
  } else if (lower == "mpeg4" || lower == "xvid" || lower == "mp4v") {
    handler = FourCC('X', 'V', 'I', 'D');
  } else if (name.size() == 4) {
    handler = FourCC(name[0], name[1], name[2], name[3]);
  } else {
    return false;
  }
  return true;
}

std::string AviHandlerName(uint32_t handler) {
  if (AviHandlerIsUncompressed(handler)) return "uncompressed";
  std::string s;
  for (int i = 0; i < 4; ++i) {
    const auto c = static_cast<unsigned char>((handler >> (8 * i)) & 0xFF);
    if (!std::isprint(c)) return HandlerText(handler);
    s += static_cast<char>(c);
  }
  return s;
}

bool AviHandlerAvailable(uint32_t handler, std::string* reason) {
  if (AviHandlerIsUncompressed(handler)) return true;
  std::string why;
  const MovieModule* module = LoadMovieModule(&why);
  if (!module) {
    if (reason) *reason = why;
    return false;
  }
  std::string codecName;
  switch (module->Encoder(handler, &codecName)) {
    case EncoderState::Available:
      return true;
    case EncoderState::UnknownCodec:
      if (reason) *reason = MsgFormat("the codec %s is not known", {AviHandlerName(handler)});
      return false;
    case EncoderState::NoEncoder:
      break;
  }
  if (reason)
    *reason = MsgFormat("the installed FFmpeg has no encoder for %s (%s)",
                        {AviHandlerName(handler), codecName});
  return false;
}

void MovieOptionsLoad(const std::string& settingsPath, const OutputFormat& format,
                      MovieEncodeOptions& options) {
  if (settingsPath.empty() || !SettingsFileExists(settingsPath)) return;
  const std::string name(format.name);
  std::string codec;
  if (ReadIniString(settingsPath, "Movie", name + "Codec", codec) && format.Offers(codec))
    options.codec = ToLower(codec);
  const int32_t quality = ReadIniInteger(settingsPath, "Movie", name + "Quality", -1);
  if (quality >= 0 && quality <= 100) options.quality = quality;
}

bool MovieOptionsSave(const std::string& settingsPath, const OutputFormat& format,
                      const MovieEncodeOptions& options, std::string* error) {
  const std::string name(format.name);
  return WriteIniValues(settingsPath, "Movie",
                        {{name + "Codec", options.codec},
                         {name + "Quality", std::to_string(options.quality)}},
                        error);
}

bool MovieCodecAvailable(const std::string& codec, std::string* reason) {
  std::string why;
  const MovieModule* module = LoadMovieModule(&why);
  if (module && module->MovieEncoder(codec) == EncoderState::Available) return true;
  if (reason)
    *reason = module ? MsgFormat("the installed FFmpeg has no encoder for %s", {codec}) : why;
  return false;
}

// The writer proper is the module's encoder, made on the first Open.
struct AviWriter::Impl {
  std::unique_ptr<AviEncoder> encoder;
  std::string error;  // why no encoder could be made
};

AviWriter::AviWriter() : impl_(std::make_unique<Impl>()) {}
AviWriter::~AviWriter() = default;

bool AviWriter::Open(const std::string& fileName, int32_t width, int32_t height,
                     const AviOptions& options, bool replaceProtected) {
  Impl& m = *impl_;
  if (m.encoder) m.encoder.reset();  // closes (and keeps) a movie still open
  m.error.clear();
  if (width < 1 || height < 1 || width > 32768 || height > 32768) {
    m.error = MsgFormat("cannot write a movie of %s x %s pixels",
                        {std::to_string(width), std::to_string(height)});
    return false;
  }
  if (!AviHandlerAvailable(options.handler, &m.error)) return false;
  const MovieModule* module = LoadMovieModule(&m.error);
  if (!module) return false;
  m.encoder = module->NewEncoder();
  return m.encoder->Open(fileName, width, height, options, replaceProtected);
}

bool AviWriter::Open(const std::string& fileName, int32_t width, int32_t height,
                     const AviOptions& aviOptions, const MovieEncodeOptions& movieOptions,
                     bool replaceProtected) {
  const OutputFormat* format = FormatForPath(fileName, kFormatMovie);
  if (!format || format->name == "avi") {
    if (format) return Open(fileName, width, height, aviOptions, replaceProtected);
    impl_->encoder.reset();
    impl_->error = MsgFormat("%s names no movie format (%s)", {fileName, FormatNameList(kFormatMovie)});
    return false;
  }
  Impl& m = *impl_;
  if (m.encoder) m.encoder.reset();
  m.error.clear();
  if (width < 1 || height < 1 || width > 32768 || height > 32768) {
    m.error = MsgFormat("cannot write a movie of %s x %s pixels",
                        {std::to_string(width), std::to_string(height)});
    return false;
  }
  MovieEncodeOptions options = movieOptions;
  if (options.codec.empty()) options.codec = std::string(format->DefaultCodec());
  if (!format->Offers(options.codec)) {
    m.error = MsgFormat("%s movies take the codecs %s, not %s",
                        {format->name, format->CodecList(), options.codec});
    return false;
  }
  if (options.alpha) {
    if (const std::string problem = MovieAlphaProblem(*format, options.codec); !problem.empty()) {
      m.error = problem;
      return false;
    }
  }
  if (!MovieCodecAvailable(options.codec, &m.error)) return false;
  const MovieModule* module = LoadMovieModule(&m.error);
  if (!module) return false;
  m.encoder = module->NewEncoder();
  return m.encoder->OpenMovie(fileName, std::string(format->name), width, height, options,
                              replaceProtected);
}

bool AviWriter::IsOpen() const { return impl_->encoder && impl_->encoder->IsOpen(); }

bool AviWriter::Write(const Bitmap24& bitmap, int64_t sampleNumber, const Bitmap24* alpha) {
  return impl_->encoder && impl_->encoder->Write(bitmap, alpha, sampleNumber);
}

bool AviWriter::Close() { return Finish(nullptr); }
bool AviWriter::CloseAs(const std::string& otherName) { return Finish(&otherName); }

bool AviWriter::Finish(const std::string* otherName) {
  return impl_->encoder && impl_->encoder->Finish(otherName);
}

void AviWriter::Discard() {
  if (impl_->encoder) impl_->encoder->Discard();
}

bool AviWriter::TargetExisted() const {
  return impl_->encoder && impl_->encoder->TargetExisted();
}

const std::string& AviWriter::LastError() const {
  return impl_->encoder ? impl_->encoder->LastError() : impl_->error;
}

int64_t AviWriter::FramesWritten() const {
  return impl_->encoder ? impl_->encoder->FramesWritten() : 0;
}

double AviWriter::EncodeSeconds() const {
  return impl_->encoder ? impl_->encoder->EncodeSeconds() : 0;
}

}  // namespace velmora
