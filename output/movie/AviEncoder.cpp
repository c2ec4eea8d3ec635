// The AVI encoder of the movie module: libavformat/libavcodec behind the
// AviEncoder contract of MovieModule.h.  Built into libvelmora-movie.so, never
// into the core libraries.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libavutil/opt.h>
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

#include "base/ReplaceFile.h"
#include "base/Translate.h"
#include "output/MovieModule.h"

namespace velmora {

std::unique_ptr<MoviePlayback> NewFfmpegPlayer();  // AviPlayer.cpp

namespace {

// FFmpeg's text for CODE; a system error (AVERROR of an errno value) in the
// language of the messages, FFmpeg's own codes as FFmpeg words them.
std::string AvError(int code) {
  if (code < 0 && code > -4096) return SystemErrorText(-code);
  char buf[AV_ERROR_MAX_STRING_SIZE] = {0};
  av_strerror(code, buf, sizeof buf);
  return buf;
}

AVCodecID CodecIdForHandler(uint32_t handler) {
  const AVCodecTag* const tables[] = {avformat_get_riff_video_tags(), nullptr};
  return av_codec_get_id(tables, handler);
}

const AVCodec* EncoderFor(AVCodecID id) {
  if (id == AV_CODEC_ID_H264) {
    if (const AVCodec* x264 = avcodec_find_encoder_by_name("libx264")) return x264;
  }
  if (id == AV_CODEC_ID_MPEG4) {
    if (const AVCodec* native = avcodec_find_encoder_by_name("mpeg4")) return native;
  }
  return avcodec_find_encoder(id);
}

bool Supports(const AVCodec* codec, AVPixelFormat fmt) {
  if (!codec->pix_fmts) return false;
  for (const AVPixelFormat* p = codec->pix_fmts; *p != AV_PIX_FMT_NONE; ++p)
    if (*p == fmt) return true;
  return false;
}

// The pixel format each codec is fed: what players expect of that codec in
// an AVI file, or lossless RGB where the codec is lossless.
AVPixelFormat PixelFormatFor(const AVCodec* codec, int32_t width, int32_t height) {
  const bool even = width % 2 == 0 && height % 2 == 0;
  switch (codec->id) {
    case AV_CODEC_ID_MJPEG:
      return AV_PIX_FMT_YUV420P;  // with the full (JPEG) range
    case AV_CODEC_ID_FFV1:
      if (Supports(codec, AV_PIX_FMT_BGR0)) return AV_PIX_FMT_BGR0;
      break;
    case AV_CODEC_ID_H264:
      if (!even && Supports(codec, AV_PIX_FMT_YUV444P)) return AV_PIX_FMT_YUV444P;
      return AV_PIX_FMT_YUV420P;
    case AV_CODEC_ID_MPEG4:
      return AV_PIX_FMT_YUV420P;
    default:
      break;
  }
  if (!codec->pix_fmts) return AV_PIX_FMT_YUV420P;
  return avcodec_find_best_pix_fmt_of_list(codec->pix_fmts, AV_PIX_FMT_BGR24, 0, nullptr);
}

constexpr int kEncoderThreads = 4;

bool QualityApplies(int32_t quality) { return quality >= 0 && quality <= AviBestQuality; }

// Quality 10000 .. 0 onto the quantiser scale 2 .. 31 of the JPEG-like and
// MPEG-4 part 2 encoders.
int QScaleFor(int32_t quality) {
  if (!QualityApplies(quality)) return 2;
  return 2 + static_cast<int>(std::lround(29.0 * (AviBestQuality - quality) / AviBestQuality));
}

// Quality 10000 .. 0 onto the constant-rate factor 10 .. 51 of H.264.
int CrfFor(int32_t quality) {
  if (!QualityApplies(quality)) return 18;
  return 10 + static_cast<int>(std::lround(41.0 * (AviBestQuality - quality) / AviBestQuality));
}


// The FFmpeg encoders of a codec of the format table, best first (the next
// is tried when one cannot start at the picture's size).
std::vector<const AVCodec*> MovieEncoderCandidates(const std::string& codec) {
  std::vector<const char*> names;
  if (codec == "h264") names = {"libx264"};
  else if (codec == "hevc") names = {"libx265"};
  else if (codec == "av1") names = {"libaom-av1", "libsvtav1"};
  else if (codec == "vp9") names = {"libvpx-vp9"};
  else if (codec == "prores") names = {"prores_ks"};
  else if (codec == "ffv1") names = {"ffv1"};
  else if (codec == "mjpeg") names = {"mjpeg"};
  else if (codec == "png") names = {"png"};
  else if (codec == "webp") names = {"libwebp_anim"};
  else if (codec == "gif") names = {"gif"};
  else if (codec == "apng") names = {"apng"};
  std::vector<const AVCodec*> found;
  for (const char* n : names)
    if (const AVCodec* c = avcodec_find_encoder_by_name(n)) found.push_back(c);
  return found;
}

// FFmpeg's muxer of a container of the format table.
const char* MuxerFor(const std::string& container) {
  if (container == "mkv") return "matroska";
  return container.c_str();
}

// The pixel format each codec is fed: 4:2:0 for the delivery codecs (4:4:4
// where a side is odd), 10-bit 4:2:2 for ProRes 422 and 4:4:4 with alpha for
// ProRes 4444, the RGB(A) layouts for the lossless and picture codecs.
AVPixelFormat MoviePixelFormat(const std::string& codec, const AVCodec* enc, bool alpha,
                               int32_t width, int32_t height) {
  const bool even = width % 2 == 0 && height % 2 == 0;
  if (codec == "h264" || codec == "hevc" || codec == "av1")
    return even || !Supports(enc, AV_PIX_FMT_YUV444P) ? AV_PIX_FMT_YUV420P : AV_PIX_FMT_YUV444P;
  if (codec == "vp9") return alpha ? AV_PIX_FMT_YUVA420P : AV_PIX_FMT_YUV420P;
  if (codec == "prores") return alpha ? AV_PIX_FMT_YUVA444P10LE : AV_PIX_FMT_YUV422P10LE;
  if (codec == "ffv1") return alpha ? AV_PIX_FMT_BGRA : AV_PIX_FMT_BGR0;
  if (codec == "mjpeg") return AV_PIX_FMT_YUV420P;
  if (codec == "png" || codec == "apng") return alpha ? AV_PIX_FMT_RGBA : AV_PIX_FMT_RGB24;
  if (codec == "webp") return alpha ? AV_PIX_FMT_BGRA : AV_PIX_FMT_YUV420P;
  if (codec == "gif") return AV_PIX_FMT_BGR8;
  return AV_PIX_FMT_YUV420P;
}

// Quality 0 .. 100 onto a scale from WORST at 0 to BEST at 100.
int QualityScale(int quality, int worst, int best) {
  return static_cast<int>(std::lround(worst + (best - worst) * quality / 100.0));
}

class FfmpegAviWriter;

class FfmpegAviWriter final : public AviEncoder {
 public:
  AVFormatContext* fmt = nullptr;
  AVStream* stream = nullptr;
  AVCodecContext* enc = nullptr;
  SwsContext* sws = nullptr;
  AVFrame* frame = nullptr;
  AVPacket* packet = nullptr;
  std::string target;
  FileReplacement file;  // the movie is written aside, put in place when closed
  int32_t width = 0;
  int32_t height = 0;
  bool open = false;
  bool headerWritten = false;
  bool failed = false;
  bool qscale = false;
  std::string error;
  int64_t frames = 0;
  int64_t lastSample = -1;
  double encodeSeconds = 0;
  size_t rawStride = 0;  // bytes per uncompressed row, a multiple of 4
  bool withAlpha = false;      // the encoder is fed BGRA pictures
  std::vector<uint8_t> bgra;   // colour and alpha interleaved for it
  std::vector<uint8_t> bgr;    // the colour picture, with room behind it for the converter

  // The steps of Open shared by every container: the file aside, the muxer
  // and its one video stream at 30 frames per second.
  bool Begin(const std::string& fileName, const char* muxer, int32_t width, int32_t height,
             bool replaceProtected);
  // Opens the encoder ENC (set up by the caller) and its stream, frame and
  // converter from SOURCE pixels.
  bool StartEncoder(const AVCodec* codec, AVDictionary** opts, AVPixelFormat source);
  // Opens the file and writes the container's header with MUXEROPTS.
  bool WriteHeader(AVDictionary** muxerOpts);

  bool Fail(const std::string& why) {
    if (!failed) error = why;
    failed = true;
    return false;
  }
  bool CheckIo() {
    if (fmt && fmt->pb && fmt->pb->error < 0)
      return Fail(MsgFormat("cannot write %s: %s", {target, AvError(fmt->pb->error)}));
    return true;
  }
  bool WritePacket(AVPacket* pkt) {
    pkt->stream_index = stream->index;
    const int ret = av_interleaved_write_frame(fmt, pkt);
    if (ret < 0) return Fail(MsgFormat("cannot write %s: %s", {target, AvError(ret)}));
    return CheckIo();
  }
  bool Drain() {
    for (;;) {
      const int ret = avcodec_receive_packet(enc, packet);
      if (ret == AVERROR(EAGAIN) || ret == AVERROR_EOF) return true;
      if (ret < 0) return Fail(MsgFormat("encoding failed: %s", {AvError(ret)}));
      av_packet_rescale_ts(packet, enc->time_base, stream->time_base);
      const bool ok = WritePacket(packet);
      av_packet_unref(packet);
      if (!ok) return false;
    }
  }
  void Free() {
    if (fmt) {
      if (fmt->pb) avio_closep(&fmt->pb);
      avformat_free_context(fmt);
      fmt = nullptr;
    }
    avcodec_free_context(&enc);
    sws_freeContext(sws);
    sws = nullptr;
    av_frame_free(&frame);
    av_packet_free(&packet);
    stream = nullptr;
  }
  void Discard() override {
    Free();
    file.Abandon();
    open = false;
  }

  ~FfmpegAviWriter() override {
    if (open) Finish(nullptr);
    Discard();
  }
  bool Open(const std::string& fileName, int32_t width, int32_t height,
            const AviOptions& options, bool replaceProtected) override;
  bool OpenMovie(const std::string& fileName, const std::string& container, int32_t width,
                 int32_t height, const MovieEncodeOptions& options, bool replaceProtected) override;
  bool IsOpen() const override { return open && !failed; }
  bool Write(const Bitmap24& bitmap, const Bitmap24* alpha, int64_t sampleNumber) override;
  bool Finish(const std::string* otherName) override;
  bool TargetExisted() const override { return file.TargetExisted(); }
  const std::string& LastError() const override { return error; }
  int64_t FramesWritten() const override { return frames; }
  double EncodeSeconds() const override { return encodeSeconds; }
};

bool FfmpegAviWriter::Open(const std::string& fileName, int32_t width, int32_t height,
                     const AviOptions& options, bool replaceProtected) {
  FfmpegAviWriter& m = *this;
  if (m.open) Finish(nullptr);
  m.Discard();
  m.failed = false;
  m.error.clear();
  m.frames = 0;
  m.lastSample = -1;
  m.encodeSeconds = 0;
  m.headerWritten = false;
  m.qscale = false;
  m.withAlpha = false;
  m.target = fileName;
  m.width = width;
  m.height = height;

  std::string reason;

  // The movie is written aside first.
  if (!m.file.Begin(fileName, &reason, replaceProtected)) return m.Fail(reason);
  const std::string temp = m.file.FdPath();

  int ret = avformat_alloc_output_context2(&m.fmt, nullptr, "avi", temp.c_str());
  if (ret < 0 || !m.fmt) {
    m.Fail(MsgFormat("cannot prepare an AVI file: %s", {AvError(ret)}));
    m.Discard();
    return false;
  }
  m.stream = avformat_new_stream(m.fmt, nullptr);
  m.packet = av_packet_alloc();
  if (!m.stream || !m.packet) {
    m.Fail(MsgFormat("out of memory preparing %s", {fileName}));
    m.Discard();
    return false;
  }
  const AVRational tb{1, AviFramesPerSecond};
  m.stream->time_base = tb;
  m.stream->avg_frame_rate = AVRational{AviFramesPerSecond, 1};
  m.stream->r_frame_rate = AVRational{AviFramesPerSecond, 1};

  if (AviHandlerIsUncompressed(options.handler)) {
    // Uncompressed 24-bit rows, bottom-up and padded to 4 bytes as a DIB has
    // them.  The "BottomUp" marker keeps the muxer from declaring the rows
    // top-down (it is not written into the file).
    AVCodecParameters* par = m.stream->codecpar;
    par->codec_type = AVMEDIA_TYPE_VIDEO;
    par->codec_id = AV_CODEC_ID_RAWVIDEO;
    par->codec_tag = 0;
    par->format = AV_PIX_FMT_BGR24;
    par->width = width;
    par->height = height;
    par->bits_per_coded_sample = 24;
    static const char marker[] = "BottomUp";
    par->extradata = static_cast<uint8_t*>(av_mallocz(sizeof marker + AV_INPUT_BUFFER_PADDING_SIZE));
    if (!par->extradata) {
      m.Fail(MsgFormat("out of memory preparing %s", {fileName}));
      m.Discard();
      return false;
    }
    std::memcpy(par->extradata, marker, sizeof marker);
    par->extradata_size = sizeof marker;
    m.rawStride = (static_cast<size_t>(width) * 3 + 3) & ~static_cast<size_t>(3);
    if (m.rawStride * static_cast<size_t>(height) > 0x7FFFFFFFu - AV_INPUT_BUFFER_PADDING_SIZE) {
      m.Fail(MsgFormat("a picture of %s x %s is too large for an uncompressed movie",
                       {std::to_string(width), std::to_string(height)}));
      m.Discard();
      return false;
    }
  } else {
    const AVCodecID id = CodecIdForHandler(options.handler);
    const AVCodec* codec = EncoderFor(id);
    if (!codec) {
      m.Fail(MsgFormat("the installed FFmpeg has no encoder for %s", {avcodec_get_name(id)}));
      m.Discard();
      return false;
    }
    m.enc = avcodec_alloc_context3(codec);
    m.frame = av_frame_alloc();
    if (!m.enc || !m.frame) {
      m.Fail(MsgFormat("out of memory preparing %s", {fileName}));
      m.Discard();
      return false;
    }
    AVCodecContext* e = m.enc;
    e->width = width;
    e->height = height;
    e->time_base = tb;
    e->framerate = AVRational{AviFramesPerSecond, 1};
    e->sample_aspect_ratio = AVRational{1, 1};
    e->pix_fmt = PixelFormatFor(codec, width, height);
    e->max_b_frames = 0;  // AVI has no presentation times; keep decode order = display order
    // FFmpeg's own threads, a fixed number of them: MPEG-4 part 2 cuts the
    // picture into one slice per thread and x264 plans its frames by the
    // count, so "as many as the machine has cores" would make the bytes of a
    // movie depend on the machine.  Motion JPEG and FFV1 give the same bytes
    // for any count.
    e->thread_count = kEncoderThreads;
    const AVPixFmtDescriptor* desc = av_pix_fmt_desc_get(e->pix_fmt);
    const bool yuv = desc && !(desc->flags & AV_PIX_FMT_FLAG_RGB);
    const bool fullRange = id == AV_CODEC_ID_MJPEG;
    if (yuv) {
      e->color_range = fullRange ? AVCOL_RANGE_JPEG : AVCOL_RANGE_MPEG;
      e->colorspace = AVCOL_SPC_BT470BG;
    }
    if ((options.flags & AviFlagKeyFrames) && options.keyFrameEvery > 0)
      e->gop_size = options.keyFrameEvery;
    const bool lossless = id == AV_CODEC_ID_FFV1;
    AVDictionary* opts = nullptr;
    if (!lossless) {
      if ((options.flags & AviFlagDataRate) && options.bytesPerSecond > 0) {
        e->bit_rate = static_cast<int64_t>(options.bytesPerSecond) * 8;
      } else if (id == AV_CODEC_ID_H264) {
        av_dict_set_int(&opts, "crf", CrfFor(options.quality), 0);
      } else {
        const int q = QScaleFor(options.quality);
        e->flags |= AV_CODEC_FLAG_QSCALE;
        e->global_quality = FF_QP2LAMBDA * q;
        e->qmin = std::min(e->qmin > 0 ? e->qmin : 2, q);
        m.qscale = true;
      }
    }
    if (m.fmt->oformat->flags & AVFMT_GLOBALHEADER) e->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    ret = avcodec_open2(e, codec, &opts);
    av_dict_free(&opts);
    if (ret < 0) {
      m.Fail(MsgFormat("cannot start the %s encoder at %s x %s: %s",
                       {codec->name, std::to_string(width), std::to_string(height), AvError(ret)}));
      m.Discard();
      return false;
    }
    ret = avcodec_parameters_from_context(m.stream->codecpar, e);
    if (ret >= 0 && options.handler != 0 && CodecIdForHandler(options.handler) == id)
      m.stream->codecpar->codec_tag = options.handler;
    m.frame->format = e->pix_fmt;
    m.frame->width = width;
    m.frame->height = height;
    if (ret >= 0) ret = av_frame_get_buffer(m.frame, 0);
    if (ret < 0) {
      m.Fail(MsgFormat("cannot prepare the encoder: %s", {AvError(ret)}));
      m.Discard();
      return false;
    }
    m.sws = sws_getContext(width, height, AV_PIX_FMT_BGR24, width, height, e->pix_fmt,
                           SWS_BICUBIC | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INT, nullptr, nullptr,
                           nullptr);
    if (!m.sws) {
      m.Fail(MsgFormat("cannot convert pictures for %s", {codec->name}));
      m.Discard();
      return false;
    }
    if (yuv) {
      // BT.601 coefficients; full-range output for JPEG-based codecs.
      const int* coefficients = sws_getCoefficients(SWS_CS_ITU601);
      sws_setColorspaceDetails(m.sws, coefficients, 1, coefficients, fullRange ? 1 : 0, 0,
                               1 << 16, 1 << 16);
    }
  }

  ret = avio_open(&m.fmt->pb, temp.c_str(), AVIO_FLAG_WRITE);
  if (ret < 0) {
    m.Fail(MsgFormat("cannot create %s: %s", {fileName, AvError(ret)}));
    m.Discard();
    return false;
  }
  ret = avformat_write_header(m.fmt, nullptr);
  if (ret < 0 || !m.CheckIo()) {
    if (ret < 0) m.Fail(MsgFormat("cannot write %s: %s", {fileName, AvError(ret)}));
    m.Discard();
    return false;
  }
  m.headerWritten = true;
  m.open = true;
  return true;
}

bool FfmpegAviWriter::Begin(const std::string& fileName, const char* muxer, int32_t w, int32_t h,
                            bool replaceProtected) {
  if (open) Finish(nullptr);
  Discard();
  failed = false;
  error.clear();
  frames = 0;
  lastSample = -1;
  encodeSeconds = 0;
  headerWritten = false;
  qscale = false;
  withAlpha = false;
  target = fileName;
  width = w;
  height = h;
  std::string reason;
  if (!file.Begin(fileName, &reason, replaceProtected)) return Fail(reason);
  const std::string temp = file.FdPath();
  const int ret = avformat_alloc_output_context2(&fmt, nullptr, muxer, temp.c_str());
  if (ret < 0 || !fmt) {
    Fail(MsgFormat("cannot prepare a %s file: %s", {muxer, AvError(ret)}));
    Discard();
    return false;
  }
  stream = avformat_new_stream(fmt, nullptr);
  packet = av_packet_alloc();
  frame = av_frame_alloc();
  if (!stream || !packet || !frame) {
    Fail(MsgFormat("out of memory preparing %s", {fileName}));
    Discard();
    return false;
  }
  stream->time_base = AVRational{1, AviFramesPerSecond};
  stream->avg_frame_rate = AVRational{AviFramesPerSecond, 1};
  stream->r_frame_rate = AVRational{AviFramesPerSecond, 1};
  return true;
}

bool FfmpegAviWriter::StartEncoder(const AVCodec* codec, AVDictionary** opts,
                                   AVPixelFormat source) {
  int ret = avcodec_open2(enc, codec, opts);
  if (ret < 0)
    return Fail(MsgFormat("cannot start the %s encoder at %s x %s: %s",
                          {codec->name, std::to_string(width), std::to_string(height),
                           AvError(ret)}));
  ret = avcodec_parameters_from_context(stream->codecpar, enc);
  frame->format = enc->pix_fmt;
  frame->width = width;
  frame->height = height;
  if (ret >= 0) ret = av_frame_get_buffer(frame, 0);
  if (ret < 0) return Fail(MsgFormat("cannot prepare the encoder: %s", {AvError(ret)}));
  // Error diffusion for the 256 colours of a GIF; plain conversion otherwise.
  const int flags = enc->pix_fmt == AV_PIX_FMT_BGR8
                        ? SWS_BICUBIC | SWS_ACCURATE_RND
                        : SWS_BICUBIC | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INT;
  sws = sws_getContext(width, height, source, width, height, enc->pix_fmt, flags, nullptr,
                       nullptr, nullptr);
  if (!sws) return Fail(MsgFormat("cannot convert pictures for %s", {codec->name}));
  if (enc->pix_fmt == AV_PIX_FMT_BGR8) av_opt_set(sws, "sws_dither", "ed", 0);
  const AVPixFmtDescriptor* desc = av_pix_fmt_desc_get(enc->pix_fmt);
  if (desc && !(desc->flags & AV_PIX_FMT_FLAG_RGB) && desc->nb_components >= 3) {
    const int* coefficients = sws_getCoefficients(SWS_CS_ITU601);
    sws_setColorspaceDetails(sws, coefficients, 1, coefficients,
                             enc->color_range == AVCOL_RANGE_JPEG ? 1 : 0, 0, 1 << 16, 1 << 16);
  }
  return true;
}

bool FfmpegAviWriter::WriteHeader(AVDictionary** muxerOpts) {
  int ret = avio_open(&fmt->pb, file.FdPath().c_str(), AVIO_FLAG_WRITE);
  if (ret < 0) return Fail(MsgFormat("cannot create %s: %s", {target, AvError(ret)}));
  ret = avformat_write_header(fmt, muxerOpts);
  if (ret < 0) return Fail(MsgFormat("cannot write %s: %s", {target, AvError(ret)}));
  if (!CheckIo()) return false;
  headerWritten = true;
  open = true;
  return true;
}

bool FfmpegAviWriter::OpenMovie(const std::string& fileName, const std::string& container,
                                int32_t w, int32_t h, const MovieEncodeOptions& options,
                                bool replaceProtected) {
  const std::string& codecName = options.codec;
  const std::vector<const AVCodec*> candidates = MovieEncoderCandidates(codecName);
  if (candidates.empty()) return Fail(MsgFormat("the installed FFmpeg has no encoder for %s", {codecName}));
  for (size_t i = 0; i < candidates.size(); ++i) {
    const AVCodec* codec = candidates[i];
    if (!Begin(fileName, MuxerFor(container), w, h, replaceProtected)) return false;
    enc = avcodec_alloc_context3(codec);
    if (!enc) {
      Fail(MsgFormat("out of memory preparing %s", {fileName}));
      Discard();
      return false;
    }
    AVCodecContext* e = enc;
    e->width = w;
    e->height = h;
    e->time_base = AVRational{1, AviFramesPerSecond};
    e->framerate = AVRational{AviFramesPerSecond, 1};
    e->sample_aspect_ratio = AVRational{1, 1};
    e->pix_fmt = MoviePixelFormat(codecName, codec, options.alpha, w, h);
    // Decode order = display order: every frame's picture comes out of
    // the decoder as its packet goes in, and players seek frame by frame.
    e->max_b_frames = 0;
    e->thread_count = 0;
    const AVPixFmtDescriptor* desc = av_pix_fmt_desc_get(e->pix_fmt);
    withAlpha = desc && (desc->flags & AV_PIX_FMT_FLAG_ALPHA);
    if (desc && !(desc->flags & AV_PIX_FMT_FLAG_RGB) && desc->nb_components >= 3) {
      e->color_range = codecName == "mjpeg" ? AVCOL_RANGE_JPEG : AVCOL_RANGE_MPEG;
      e->colorspace = AVCOL_SPC_BT470BG;
      e->color_primaries = AVCOL_PRI_BT470BG;
      e->color_trc = AVCOL_TRC_SMPTE170M;
    }
    if (options.keyFrameEvery > 0) e->gop_size = options.keyFrameEvery;
    // Without a quality: Motion JPEG at its best, as in AVI files; the
    // others at 80 (H.264's constant-rate factor 18, VP9's and AV1's 21).
    const int q = options.quality >= 0 ? std::min(options.quality, 100)
                                       : codecName == "mjpeg" ? 100 : 80;
    const bool rate = options.bitRate > 0;
    if (rate) e->bit_rate = options.bitRate;
    AVDictionary* opts = nullptr;
    if (codecName == "h264" || codecName == "hevc") {
      if (!rate) av_dict_set_int(&opts, "crf", QualityScale(q, 51, 10), 0);
      if (codecName == "hevc") av_dict_set(&opts, "x265-params", "log-level=error", 0);
    } else if (codecName == "av1" || codecName == "vp9") {
      if (!rate) {
        av_dict_set_int(&opts, "crf", QualityScale(q, 63, 10), 0);
        if (codecName == "vp9") e->bit_rate = 0;  // constant quality
      }
      if (std::string(codec->name) == "libaom-av1") {
        av_dict_set(&opts, "usage", "realtime", 0);
        av_dict_set_int(&opts, "cpu-used", 8, 0);
        av_dict_set_int(&opts, "row-mt", 1, 0);
      } else if (std::string(codec->name) == "libsvtav1") {
        av_dict_set_int(&opts, "preset", 10, 0);
      } else {
        av_dict_set(&opts, "deadline", "good", 0);
        av_dict_set_int(&opts, "cpu-used", 5, 0);
        av_dict_set_int(&opts, "row-mt", 1, 0);
      }
    } else if (codecName == "prores") {
      av_dict_set(&opts, "profile", options.alpha ? "4444" : "standard", 0);
      av_dict_set(&opts, "vendor", "apl0", 0);
    } else if (codecName == "mjpeg") {
      if (!rate) {
        const int qs = QualityScale(q, 31, 2);
        e->flags |= AV_CODEC_FLAG_QSCALE;
        e->global_quality = FF_QP2LAMBDA * qs;
        e->qmin = std::min(e->qmin > 0 ? e->qmin : 2, qs);
        qscale = true;
      }
    } else if (codecName == "webp") {
      e->flags |= AV_CODEC_FLAG_QSCALE;
      e->global_quality = FF_QP2LAMBDA * q;
    } else if (codecName == "ffv1") {
      av_dict_set_int(&opts, "level", 3, 0);
      av_dict_set_int(&opts, "slicecrc", 1, 0);
    }
    if (fmt->oformat->flags & AVFMT_GLOBALHEADER) e->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    const bool started = StartEncoder(codec, &opts, withAlpha ? AV_PIX_FMT_BGRA : AV_PIX_FMT_BGR24);
    av_dict_free(&opts);
    if (!started) {
      if (i + 1 < candidates.size()) {  // the next encoder of the codec may manage
        Discard();
        failed = false;
        continue;
      }
      Discard();
      return false;
    }
    if (codecName == "hevc" && (container == "mp4" || container == "mov"))
      stream->codecpar->codec_tag = MKTAG('h', 'v', 'c', '1');
    AVDictionary* muxerOpts = nullptr;
    // Times to play: GIF counts the repeats after the first (-1: none).
    if (container == "gif")
      av_dict_set_int(&muxerOpts, "loop", options.loop == 0 ? 0 : options.loop == 1 ? -1 : options.loop - 1, 0);
    if (container == "apng") av_dict_set_int(&muxerOpts, "plays", options.loop, 0);
    if (container == "webp") av_dict_set_int(&muxerOpts, "loop", options.loop, 0);
    const bool ok = WriteHeader(&muxerOpts);
    av_dict_free(&muxerOpts);
    if (!ok) Discard();
    return ok;
  }
  return false;
}

bool FfmpegAviWriter::Write(const Bitmap24& bm, const Bitmap24* alpha, int64_t sampleNumber) {
  FfmpegAviWriter& m = *this;
  if (!m.open || m.failed) return false;
  if (alpha && (alpha->width != bm.width || alpha->height != bm.height))
    return m.Fail(Msg("the alpha picture's size differs from the colour picture's"));
  if (bm.width != m.width || bm.height != m.height)
    return m.Fail(MsgFormat("a picture of %s x %s cannot go into a movie of %s x %s",
                            {std::to_string(bm.width), std::to_string(bm.height),
                             std::to_string(m.width), std::to_string(m.height)}));
  if (sampleNumber <= m.lastSample)
    return m.Fail(MsgFormat("movie samples must come in increasing order (got %s after %s)",
                            {std::to_string(sampleNumber), std::to_string(m.lastSample)}));
  const auto started = std::chrono::steady_clock::now();
  bool ok = true;
  if (!m.enc) {
    const size_t rowBytes = static_cast<size_t>(m.width) * 3;
    const size_t frameBytes = m.rawStride * static_cast<size_t>(m.height);
    int ret = av_new_packet(m.packet, static_cast<int>(frameBytes));
    if (ret < 0) {
      ok = m.Fail(MsgFormat("out of memory writing %s", {m.target}));
    } else {
      // Bottom-up rows, each padded with zeros to a multiple of four bytes.
      for (int32_t y = 0; y < m.height; ++y) {
        uint8_t* row = m.packet->data + static_cast<size_t>(m.height - 1 - y) * m.rawStride;
        std::memcpy(row, bm.Row(y), rowBytes);
        std::memset(row + rowBytes, 0, m.rawStride - rowBytes);
      }
      m.packet->pts = m.packet->dts = sampleNumber;
      m.packet->duration = 1;
      m.packet->flags |= AV_PKT_FLAG_KEY;
      av_packet_rescale_ts(m.packet, AVRational{1, AviFramesPerSecond}, m.stream->time_base);
      ok = m.WritePacket(m.packet);
      av_packet_unref(m.packet);
    }
  } else {
    int ret = av_frame_make_writable(m.frame);
    if (ret < 0) {
      ok = m.Fail(MsgFormat("cannot prepare a frame: %s", {AvError(ret)}));
    } else {
      // The converter reads whole vectors past a row's end, so the picture
      // goes through a copy with room behind its last row.
      constexpr size_t kSlack = 64;
      const size_t n = static_cast<size_t>(m.width) * static_cast<size_t>(m.height);
      m.bgr.resize(n * 3 + kSlack);
      std::memcpy(m.bgr.data(), bm.Row(0), n * 3);
      const uint8_t* src[1] = {m.bgr.data()};
      int srcStride[1] = {m.width * 3};
      if (m.withAlpha) {
        // Blue, green, red and the alpha picture's byte (opaque without one).
        m.bgra.resize(n * 4 + kSlack);
        const uint8_t* c = bm.Row(0);
        const uint8_t* a = alpha ? alpha->Row(0) : nullptr;
        for (size_t i = 0; i < n; ++i) {
          m.bgra[4 * i] = c[3 * i];
          m.bgra[4 * i + 1] = c[3 * i + 1];
          m.bgra[4 * i + 2] = c[3 * i + 2];
          m.bgra[4 * i + 3] = a ? a[3 * i] : 255;
        }
        src[0] = m.bgra.data();
        srcStride[0] = m.width * 4;
      }
      sws_scale(m.sws, src, srcStride, 0, m.height, m.frame->data, m.frame->linesize);
      m.frame->pts = sampleNumber;
      if (m.qscale) m.frame->quality = m.enc->global_quality;
      ret = avcodec_send_frame(m.enc, m.frame);
      if (ret < 0)
        ok = m.Fail(MsgFormat("encoding failed: %s", {AvError(ret)}));
      else
        ok = m.Drain();
    }
  }
  m.encodeSeconds +=
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  if (!ok) return false;
  m.lastSample = sampleNumber;
  ++m.frames;
  return true;
}

bool FfmpegAviWriter::Finish(const std::string* otherName) {
  FfmpegAviWriter& m = *this;
  if (!m.open) {
    m.Discard();
    return false;
  }
  if (!m.failed && m.enc) {
    const int ret = avcodec_send_frame(m.enc, nullptr);
    if (ret < 0 && ret != AVERROR_EOF)
      m.Fail(MsgFormat("encoding failed: %s", {AvError(ret)}));
    else
      m.Drain();
  }
  if (!m.failed) {
    const int ret = av_write_trailer(m.fmt);
    if (ret < 0) m.Fail(MsgFormat("cannot finish %s: %s", {m.target, AvError(ret)}));
    m.CheckIo();
  }
  if (m.fmt && m.fmt->pb) {
    avio_flush(m.fmt->pb);
    m.CheckIo();
    const int ret = avio_closep(&m.fmt->pb);
    if (ret < 0) m.Fail(MsgFormat("cannot write %s: %s", {m.target, AvError(ret)}));
  }
  std::string why;
  if (!m.failed && !(otherName ? m.file.CommitAs(*otherName, &why) : m.file.Commit(&why)))
    m.Fail(why);
  m.Discard();
  return !m.failed;
}

class FfmpegMovieModule final : public MovieModule {
 public:
  std::unique_ptr<AviEncoder> NewEncoder() const override {
    return std::make_unique<FfmpegAviWriter>();
  }
  std::unique_ptr<MoviePlayback> NewPlayer() const override { return NewFfmpegPlayer(); }
  EncoderState MovieEncoder(const std::string& codec) const override {
    return MovieEncoderCandidates(codec).empty() ? EncoderState::NoEncoder
                                                 : EncoderState::Available;
  }
  EncoderState Encoder(uint32_t handler, std::string* codecName) const override {
    const AVCodecID id = CodecIdForHandler(handler);
    if (id == AV_CODEC_ID_NONE) return EncoderState::UnknownCodec;
    if (EncoderFor(id)) return EncoderState::Available;
    if (codecName) *codecName = avcodec_get_name(id);
    return EncoderState::NoEncoder;
  }
};

constexpr FfmpegMovieModule TheModule;

}  // namespace

}  // namespace velmora

extern "C" __attribute__((visibility("default"))) const velmora::MovieModule* velmora_movie_module() {
  // Only errors reach the terminal: FFmpeg's notes would scatter through the
  // program's own progress lines.
  av_log_set_level(AV_LOG_ERROR);
  return &velmora::TheModule;
}
