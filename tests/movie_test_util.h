// Reading movies back for the writer tests: a file's bytes, and every frame
// of its video decoded with libavformat/libavcodec.
#pragma once

#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

#include "render/Pixe.h"

namespace velmora::testing_util {

// A file's bytes ("" when it cannot be read).
inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

struct DecodedMovie {
  bool ok = false;          // the file and the first stream's decoder opened
  int streams = 0;
  std::string codec;        // the decoder's name
  std::string pixelFormat;  // as FFmpeg decodes the frames
  int width = 0, height = 0;
  double fps = 0;
  // Each frame, top row first: the colour as BGR24 and, where the pixel
  // format has one, the alpha as grey pictures (255 without).
  std::vector<Bitmap24> colour, alpha;
};

// The frames of the first stream.  VP9's alpha is decoded by libvpx.
inline DecodedMovie DecodeMovie(const std::string& path) {
  DecodedMovie out;
  AVFormatContext* fmt = nullptr;
  if (avformat_open_input(&fmt, path.c_str(), nullptr, nullptr) < 0) return out;
  if (avformat_find_stream_info(fmt, nullptr) < 0 || fmt->nb_streams < 1) {
    avformat_close_input(&fmt);
    return out;
  }
  out.streams = static_cast<int>(fmt->nb_streams);
  AVStream* st = fmt->streams[0];
  const AVCodec* codec = st->codecpar->codec_id == AV_CODEC_ID_VP9
                             ? avcodec_find_decoder_by_name("libvpx-vp9")
                             : avcodec_find_decoder(st->codecpar->codec_id);
  AVCodecContext* dec = avcodec_alloc_context3(codec);
  avcodec_parameters_to_context(dec, st->codecpar);
  if (avcodec_open2(dec, codec, nullptr) < 0) {
    avcodec_free_context(&dec);
    avformat_close_input(&fmt);
    return out;
  }
  out.codec = codec->name;
  out.width = st->codecpar->width;
  out.height = st->codecpar->height;
  out.fps = av_q2d(st->avg_frame_rate);
  AVPacket* pkt = av_packet_alloc();
  AVFrame* frame = av_frame_alloc();
  auto take = [&] {
    while (avcodec_receive_frame(dec, frame) == 0) {
      const auto pf = static_cast<AVPixelFormat>(frame->format);
      out.pixelFormat = av_get_pix_fmt_name(pf);
      const size_t n = static_cast<size_t>(frame->width) * frame->height;
      std::vector<uint8_t> bgra(n * 4);
      SwsContext* sws = sws_getContext(frame->width, frame->height, pf, frame->width,
                                       frame->height, AV_PIX_FMT_BGRA, SWS_POINT, nullptr,
                                       nullptr, nullptr);
      uint8_t* dst[1] = {bgra.data()};
      const int dstStride[1] = {frame->width * 4};
      sws_scale(sws, frame->data, frame->linesize, 0, frame->height, dst, dstStride);
      sws_freeContext(sws);
      Bitmap24 c, a;
      c.SetSize(frame->width, frame->height);
      a.SetSize(frame->width, frame->height);
      for (size_t i = 0; i < n; ++i) {
        std::memcpy(&c.bytes[3 * i], &bgra[4 * i], 3);
        std::memset(&a.bytes[3 * i], bgra[4 * i + 3], 3);
      }
      out.colour.push_back(std::move(c));
      out.alpha.push_back(std::move(a));
    }
  };
  while (av_read_frame(fmt, pkt) >= 0) {
    if (pkt->stream_index == 0) avcodec_send_packet(dec, pkt);
    av_packet_unref(pkt);
    take();
  }
  avcodec_send_packet(dec, nullptr);
  take();
  av_frame_free(&frame);
  av_packet_free(&pkt);
  avcodec_free_context(&dec);
  avformat_close_input(&fmt);
  out.ok = true;
  return out;
}

}  // namespace velmora::testing_util
