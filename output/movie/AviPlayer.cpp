// The movie player of the movie module: FFmpeg decoding behind the
// MoviePlayback contract of MovieModule.h (AviPlayer is its face).
#include "output/MovieModule.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include "base/Translate.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/mathematics.h>
#include <libswscale/swscale.h>
}
#include <webp/demux.h>

#include <fstream>
#include <iterator>

namespace velmora {

namespace {

// One stored picture of the stream: its frame number and whether decoding
// can start there.
struct IndexEntry {
  int64_t frame;
  bool key;
};

// FFmpeg's text for CODE; a system error (AVERROR of an errno value) in the
// language of the messages, FFmpeg's own codes as FFmpeg words them.
std::string AvText(int code) {
  if (code < 0 && code > -4096) return SystemErrorText(-code);
  char buf[AV_ERROR_MAX_STRING_SIZE] = {0};
  av_strerror(code, buf, sizeof buf);
  return buf;
}

class FfmpegPlayer final : public MoviePlayback {
 public:
  FfmpegPlayer();
  ~FfmpegPlayer() override;
  bool Open(const std::string& path, std::string* error) override;
  void Close() override;
  bool IsOpen() const override;
  PlayerMode Mode() const override;
  int64_t Length() const override;
  int64_t Position() const override;
  int32_t Width() const override;
  int32_t Height() const override;
  const Bitmap24& Frame() const override;
  void Play() override;
  void Pause() override;
  void Stop() override;
  bool Seek(int64_t frame) override;
  bool Step(int64_t delta) override;
  void SetLooping(bool on) override;
  void Advance(double elapsedMs) override;
  const std::string& LastError() const override;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace

struct FfmpegPlayer::Impl {
  AVFormatContext* fmt = nullptr;
  AVCodecContext* dec = nullptr;
  SwsContext* sws = nullptr;
  AVPacket* packet = nullptr;
  AVFrame* frame = nullptr;
  int stream = -1;
  int64_t base = 0;  // stream timestamp of frame 0

  std::vector<IndexEntry> index;  // pictures in frame order
  int64_t length = 0;
  int32_t width = 0, height = 0;

  PlayerMode mode = PlayerMode::NotReady;
  int64_t position = 0;
  bool looping = false;
  // Playback clock: the frame playing started from and the time since.
  int64_t anchor = 0;
  double clockMs = 0;

  Bitmap24 picture;
  int64_t decoded = -1;       // frame number of the last picture decoded
  bool canContinue = false;   // the demuxer stands right after that picture
  std::string lastError;

  // Animated WebP, which FFmpeg 5 cannot decode: libwebp's animation
  // decoder, which goes forward only (a step back starts over).
  std::string webpBytes;
  WebPAnimDecoder* webp = nullptr;
  int64_t webpNext = 0;  // index of the picture the decoder gives next

  ~Impl() { Close(); }

  void Close() {
    WebPAnimDecoderDelete(webp);
    webp = nullptr;
    webpBytes.clear();
    webpNext = 0;
    sws_freeContext(sws);
    sws = nullptr;
    av_frame_free(&frame);
    av_packet_free(&packet);
    avcodec_free_context(&dec);
    avformat_close_input(&fmt);
    stream = -1;
    index.clear();
    length = 0;
    width = height = 0;
    mode = PlayerMode::NotReady;
    position = anchor = 0;
    clockMs = 0;
    picture = Bitmap24();
    decoded = -1;
    canContinue = false;
  }

  AVRational timeBase{1, PlayerFramesPerSecond};  // of the stream's timestamps

  // A timestamp's frame at 30 frames per second (containers count time in
  // their own units: 1/30 s in AVI, 1/1000 s in Matroska, 1/100 s in GIF).
  int64_t FrameOf(int64_t ts) const {
    if (ts == AV_NOPTS_VALUE) return -1;
    return av_rescale_q_rnd(ts - base, timeBase, AVRational{1, PlayerFramesPerSecond},
                            static_cast<AVRounding>(AV_ROUND_NEAR_INF | AV_ROUND_PASS_MINMAX));
  }
  int64_t TimestampOf(int64_t f) const {
    return av_rescale_q(f, AVRational{1, PlayerFramesPerSecond}, timeBase) + base;
  }

  // The demuxer's index where the container has one, else one pass over the
  // packets.  Empty chunks (repeated pictures) count for the length only.
  void BuildIndex() {
    AVStream* st = fmt->streams[stream];
    timeBase = st->time_base;
    base = st->start_time != AV_NOPTS_VALUE ? st->start_time : 0;
    int64_t last = -1;
    const int n = avformat_index_get_entries_count(st);
    for (int i = 0; i < n; ++i) {
      const AVIndexEntry* e = avformat_index_get_entry(st, i);
      const int64_t f = FrameOf(e->timestamp);
      if (f < 0) continue;
      last = std::max(last, f);
      if (e->size > 0) index.push_back({f, (e->flags & AVINDEX_KEYFRAME) != 0});
    }
    if (index.empty()) {
      while (av_read_frame(fmt, packet) >= 0) {
        if (packet->stream_index == stream) {
          const int64_t f = FrameOf(packet->dts != AV_NOPTS_VALUE ? packet->dts : packet->pts);
          if (f >= 0) {
            last = std::max(last, f);
            if (packet->size > 0) index.push_back({f, (packet->flags & AV_PKT_FLAG_KEY) != 0});
          }
        }
        av_packet_unref(packet);
      }
      canContinue = false;
    }
    std::sort(index.begin(), index.end(),
              [](const IndexEntry& a, const IndexEntry& b) { return a.frame < b.frame; });
    if (!index.empty()) index.front().key = true;  // decoding starts at the first picture
    length = std::max<int64_t>(last + 1, st->nb_frames);
  }

  // The stored picture shown at frame f: the last one at or before it.
  size_t PictureAt(int64_t f) const {
    auto it = std::upper_bound(index.begin(), index.end(), f,
                               [](int64_t v, const IndexEntry& e) { return v < e.frame; });
    return it == index.begin() ? 0 : static_cast<size_t>(it - index.begin()) - 1;
  }

  size_t KeyAtOrBefore(size_t i) const {
    while (i > 0 && !index[i].key) --i;
    return i;
  }

  void Convert() {
    // The full-range JPEG formats are the plain ones with the full range
    // set on the converter.
    auto format = static_cast<AVPixelFormat>(frame->format);
    bool fullRange = frame->color_range == AVCOL_RANGE_JPEG;
    switch (format) {
      case AV_PIX_FMT_YUVJ420P: format = AV_PIX_FMT_YUV420P; fullRange = true; break;
      case AV_PIX_FMT_YUVJ422P: format = AV_PIX_FMT_YUV422P; fullRange = true; break;
      case AV_PIX_FMT_YUVJ444P: format = AV_PIX_FMT_YUV444P; fullRange = true; break;
      default: break;
    }
    sws = sws_getCachedContext(sws, frame->width, frame->height, format, frame->width,
                               frame->height, AV_PIX_FMT_BGR24, SWS_BILINEAR, nullptr, nullptr,
                               nullptr);
    if (!sws) {
      lastError = Msg("cannot convert the movie's pictures");
      return;
    }
    const int* coefficients = sws_getCoefficients(SWS_CS_ITU601);
    sws_setColorspaceDetails(sws, coefficients, fullRange ? 1 : 0, coefficients, 1, 0, 1 << 16,
                             1 << 16);
    // Sized here: the movie module carries no copy of the render library.
    picture.width = frame->width;
    picture.height = frame->height;
    // The converter writes whole vectors past a row's end: room behind the
    // last row, dropped afterwards.
    const size_t bytes = static_cast<size_t>(frame->width) * frame->height * 3;
    picture.bytes.assign(bytes + 64, 0);
    uint8_t* dst[1] = {picture.bytes.data()};
    const int dstStride[1] = {frame->width * 3};
    sws_scale(sws, frame->data, frame->linesize, 0, frame->height, dst, dstStride);
    picture.bytes.resize(bytes);
  }

  // Takes the decoder's finished pictures; true once the one of frame
  // `target` (or a later one) has been converted.
  bool Receive(int64_t target, int64_t packetFrame) {
    while (avcodec_receive_frame(dec, frame) == 0) {
      int64_t f = FrameOf(frame->best_effort_timestamp);
      if (f < 0) f = packetFrame;
      decoded = f;
      if (f >= target) {
        Convert();
        av_frame_unref(frame);
        return true;
      }
      av_frame_unref(frame);
    }
    return false;
  }

  // Decodes the stored picture `target` (a frame number from the index).
  bool DecodePicture(size_t entry) {
    const int64_t target = index[entry].frame;
    if (decoded == target && !picture.bytes.empty()) return true;
    if (webp) return DecodeWebp(entry);
    const int64_t key = index[KeyAtOrBefore(entry)].frame;
    if (!(canContinue && decoded < target && decoded >= key)) {
      const int r = av_seek_frame(fmt, stream, TimestampOf(key), AVSEEK_FLAG_BACKWARD);
      if (r < 0) {
        lastError = MsgFormat("cannot seek in the movie: %s", {AvText(r)});
        return false;
      }
      avcodec_flush_buffers(dec);
      decoded = -1;
      canContinue = true;
    }
    while (true) {
      const int r = av_read_frame(fmt, packet);
      if (r < 0) {
        // End of the file: the decoder gives out what it still holds.
        avcodec_send_packet(dec, nullptr);
        const bool got = Receive(target, target);
        canContinue = false;
        if (!got && decoded < 0) lastError = Msg("no picture of the movie could be decoded");
        return got || !picture.bytes.empty();
      }
      if (packet->stream_index != stream || packet->size == 0) {
        av_packet_unref(packet);
        continue;
      }
      const int64_t pf = FrameOf(packet->dts != AV_NOPTS_VALUE ? packet->dts : packet->pts);
      const int s = avcodec_send_packet(dec, packet);
      av_packet_unref(packet);
      if (s < 0 && s != AVERROR(EAGAIN)) {
        lastError = MsgFormat("cannot decode the movie: %s", {AvText(s)});
        continue;  // a damaged picture: go on with the next one
      }
      if (Receive(target, pf)) return true;
    }
  }

  // An animated WebP: its pictures' start times as frames at 30 per second.
  bool OpenWebp(std::string bytes) {
    webpBytes = std::move(bytes);
    const WebPData data{reinterpret_cast<const uint8_t*>(webpBytes.data()), webpBytes.size()};
    WebPAnimDecoderOptions options;
    if (!WebPAnimDecoderOptionsInit(&options)) return false;
    options.color_mode = MODE_BGRA;
    options.use_threads = 0;
    webp = WebPAnimDecoderNew(&data, &options);
    WebPAnimInfo info;
    if (!webp || !WebPAnimDecoderGetInfo(webp, &info)) return false;
    width = static_cast<int32_t>(info.canvas_width);
    height = static_cast<int32_t>(info.canvas_height);
    int64_t startMs = 0;
    while (WebPAnimDecoderHasMoreFrames(webp)) {
      uint8_t* buf = nullptr;
      int endMs = 0;  // the end of the picture's display
      if (!WebPAnimDecoderGetNext(webp, &buf, &endMs)) return false;
      const int64_t f = (startMs * PlayerFramesPerSecond + 500) / 1000;
      if (index.empty() || index.back().frame < f) index.push_back({f, true});
      startMs = endMs;
    }
    length = std::max<int64_t>((startMs * PlayerFramesPerSecond + 500) / 1000,
                               index.empty() ? 0 : index.back().frame + 1);
    WebPAnimDecoderReset(webp);
    webpNext = 0;
    return true;
  }

  bool DecodeWebp(size_t entry) {
    if (static_cast<int64_t>(entry) < webpNext - 1 || webpNext == 0) {
      WebPAnimDecoderReset(webp);
      webpNext = 0;
    }
    uint8_t* buf = nullptr;
    int ts = 0;
    while (webpNext <= static_cast<int64_t>(entry)) {
      if (!WebPAnimDecoderGetNext(webp, &buf, &ts)) {
        lastError = MsgFormat("cannot decode the movie: %s", {"libwebp"});
        return false;
      }
      ++webpNext;
    }
    if (buf) {
      picture.width = width;
      picture.height = height;
      picture.bytes.resize(static_cast<size_t>(width) * height * 3);
      for (size_t i = 0, n = static_cast<size_t>(width) * height; i < n; ++i)
        std::copy(buf + 4 * i, buf + 4 * i + 3, picture.bytes.begin() + 3 * i);
    }
    decoded = index[entry].frame;
    return true;
  }

  bool Show(int64_t f) {
    if (index.empty()) return false;
    position = std::clamp<int64_t>(f, 0, length - 1);
    return DecodePicture(PictureAt(position));
  }
};

FfmpegPlayer::FfmpegPlayer() : impl_(std::make_unique<Impl>()) {}
FfmpegPlayer::~FfmpegPlayer() = default;

bool FfmpegPlayer::Open(const std::string& path, std::string* error) {
  Impl& m = *impl_;
  m.Close();
  m.lastError.clear();
  auto fail = [&](const std::string& why) {
    m.Close();
    m.lastError = why;
    if (error) *error = path + ": " + why;
    return false;
  };
  {
    // Animated WebP goes to libwebp; everything else to FFmpeg.
    std::ifstream in(path, std::ios::binary);
    char head[12] = {0};
    if (in.read(head, sizeof head) && std::string(head, 4) == "RIFF" &&
        std::string(head + 8, 4) == "WEBP") {
      in.seekg(0);
      std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
      if (!m.OpenWebp(std::move(bytes)) || m.index.empty())
        return fail(Msg("the file holds no video the player can decode"));
      if (!m.Show(0)) return fail(m.lastError);
      m.mode = PlayerMode::Stopped;
      return true;
    }
  }
  int r = avformat_open_input(&m.fmt, path.c_str(), nullptr, nullptr);
  if (r < 0) return fail(MsgFormat("cannot open the movie: %s", {AvText(r)}));
  r = avformat_find_stream_info(m.fmt, nullptr);
  if (r < 0) return fail(MsgFormat("cannot read the movie: %s", {AvText(r)}));
  const AVCodec* codec = nullptr;
  m.stream = av_find_best_stream(m.fmt, AVMEDIA_TYPE_VIDEO, -1, -1, &codec, 0);
  if (m.stream < 0 || !codec) return fail(Msg("the file holds no video the player can decode"));
  m.dec = avcodec_alloc_context3(codec);
  m.packet = av_packet_alloc();
  m.frame = av_frame_alloc();
  if (!m.dec || !m.packet || !m.frame) return fail(Msg("out of memory"));
  avcodec_parameters_to_context(m.dec, m.fmt->streams[m.stream]->codecpar);
  // One thread keeps the decoder from holding pictures back, so each packet
  // gives its picture at once.
  m.dec->thread_count = 1;
  r = avcodec_open2(m.dec, codec, nullptr);
  if (r < 0) return fail(MsgFormat("cannot prepare the decoder: %s", {AvText(r)}));
  m.width = m.dec->width;
  m.height = m.dec->height;
  m.BuildIndex();
  if (m.index.empty() || m.width <= 0 || m.height <= 0) return fail(Msg("the movie has no pictures"));
  if (!m.Show(0)) return fail(m.lastError);
  m.mode = PlayerMode::Stopped;
  return true;
}

void FfmpegPlayer::Close() { impl_->Close(); }
bool FfmpegPlayer::IsOpen() const { return impl_->mode != PlayerMode::NotReady; }
PlayerMode FfmpegPlayer::Mode() const { return impl_->mode; }
int64_t FfmpegPlayer::Length() const { return impl_->length; }
int64_t FfmpegPlayer::Position() const { return impl_->position; }
int32_t FfmpegPlayer::Width() const { return impl_->width; }
int32_t FfmpegPlayer::Height() const { return impl_->height; }
const Bitmap24& FfmpegPlayer::Frame() const { return impl_->picture; }
const std::string& FfmpegPlayer::LastError() const { return impl_->lastError; }
void FfmpegPlayer::SetLooping(bool on) { impl_->looping = on; }

void FfmpegPlayer::Play() {
  Impl& m = *impl_;
  if (!IsOpen()) return;
  if (m.mode == PlayerMode::Stopped && m.position >= m.length - 1) m.Show(0);
  m.mode = PlayerMode::Playing;
  m.anchor = m.position;
  m.clockMs = 0;
}

void FfmpegPlayer::Pause() {
  if (impl_->mode == PlayerMode::Playing) impl_->mode = PlayerMode::Paused;
}

void FfmpegPlayer::Stop() {
  if (impl_->mode == PlayerMode::Playing || impl_->mode == PlayerMode::Paused)
    impl_->mode = PlayerMode::Stopped;
}

bool FfmpegPlayer::Seek(int64_t frame) {
  Impl& m = *impl_;
  if (!IsOpen()) return false;
  const bool ok = m.Show(frame);
  m.anchor = m.position;
  m.clockMs = 0;
  return ok;
}

bool FfmpegPlayer::Step(int64_t delta) {
  Impl& m = *impl_;
  if (!IsOpen()) return false;
  const bool ok = m.Show(m.position + delta);
  m.mode = PlayerMode::Stopped;
  return ok;
}

void FfmpegPlayer::Advance(double elapsedMs) {
  Impl& m = *impl_;
  if (m.mode != PlayerMode::Playing || elapsedMs <= 0) return;
  m.clockMs += elapsedMs;
  // The small allowance keeps sums of 1000/30 ms from falling just short.
  const auto due = static_cast<int64_t>(
      std::floor(m.clockMs * PlayerFramesPerSecond / 1000.0 + 1e-6));
  int64_t target = m.anchor + due;
  if (target >= m.length) {
    if (!m.looping) {
      m.Show(m.length - 1);
      m.mode = PlayerMode::Stopped;
      return;
    }
    target %= m.length;
    // Restart the clock at the wrapped frame so it does not grow without end.
    m.anchor = target;
    m.clockMs = 0;
  }
  if (target != m.position) m.Show(target);
}

std::unique_ptr<MoviePlayback> NewFfmpegPlayer() { return std::make_unique<FfmpegPlayer>(); }

}  // namespace velmora
