#include "platform/video/ffmpeg_video.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/imgutils.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <cstring>
#include <mutex>

namespace kestrin {

namespace {

constexpr int32_t kMaxVideoSide = 16384;

struct FormatDeleter {
    void operator()(AVFormatContext* f) const { avformat_close_input(&f); }
};
struct CodecDeleter {
    void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct FrameDeleter {
    void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct PacketDeleter {
    void operator()(AVPacket* p) const { av_packet_free(&p); }
};
struct ResampleDeleter {
    void operator()(SwrContext* s) const { swr_free(&s); }
};
using FormatPtr = std::unique_ptr<AVFormatContext, FormatDeleter>;
using CodecPtr = std::unique_ptr<AVCodecContext, CodecDeleter>;
using FramePtr = std::unique_ptr<AVFrame, FrameDeleter>;
using PacketPtr = std::unique_ptr<AVPacket, PacketDeleter>;

void Quiet() {
    static std::once_flag once;
    std::call_once(once, [] { av_log_set_level(AV_LOG_QUIET); });
}

// One stream of a file opened with its decoder.
struct Decoder {
    FormatPtr format;
    CodecPtr codec;
    int stream = -1;

    bool Open(const std::string& path, AVMediaType type, std::string& error) {
        AVFormatContext* raw = nullptr;
        if (avformat_open_input(&raw, path.c_str(), nullptr, nullptr) < 0) {
            error = "not a media file";
            return false;
        }
        format.reset(raw);
        if (avformat_find_stream_info(format.get(), nullptr) < 0) {
            error = "damaged media file";
            return false;
        }
        const AVCodec* decoder = nullptr;
        stream = av_find_best_stream(format.get(), type, -1, -1, &decoder, 0);
        if (stream < 0 || !decoder) {
            error = type == AVMEDIA_TYPE_VIDEO ? "no video stream" : "no sound stream";
            return false;
        }
        codec.reset(avcodec_alloc_context3(decoder));
        if (!codec || avcodec_parameters_to_context(codec.get(), format->streams[stream]->codecpar) < 0 ||
            avcodec_open2(codec.get(), decoder, nullptr) < 0) {
            error = "cannot decode the stream";
            return false;
        }
        return true;
    }

    // The next decoded frame of the stream; false at the end or on an error.
    bool Receive(AVFrame* frame, AVPacket* packet, bool& flushed) {
        for (;;) {
            const int got = avcodec_receive_frame(codec.get(), frame);
            if (got == 0) return true;
            if (got != AVERROR(EAGAIN) || flushed) return false;
            const int read = av_read_frame(format.get(), packet);
            if (read < 0) {
                flushed = true;
                if (avcodec_send_packet(codec.get(), nullptr) < 0) return false;
                continue;
            }
            if (packet->stream_index == stream) {
                const int sent = avcodec_send_packet(codec.get(), packet);
                av_packet_unref(packet);
                if (sent < 0 && sent != AVERROR(EAGAIN)) return false;
            } else {
                av_packet_unref(packet);
            }
        }
    }
};

class FfmpegVideo final : public VideoSource {
public:
    bool Open(const std::string& path, std::string& error) {
        path_ = path;
        if (!video_.Open(path, AVMEDIA_TYPE_VIDEO, error)) return false;
        width_ = video_.codec->width;
        height_ = video_.codec->height;
        if (width_ <= 0 || height_ <= 0 || width_ > kMaxVideoSide || height_ > kMaxVideoSide ||
            int64_t(width_) * height_ > kMaxBitmapPixels) {
            error = "bad picture size";
            return false;
        }
        const AVRational rate =
            av_guess_frame_rate(video_.format.get(), video_.format->streams[video_.stream], nullptr);
        frame_seconds_ = rate.num > 0 && rate.den > 0 ? av_q2d(av_inv_q(rate)) : 1.0 / 25;
        frame_.reset(av_frame_alloc());
        packet_.reset(av_packet_alloc());
        if (!frame_ || !packet_) {
            error = "out of memory";
            return false;
        }
        return true;
    }

    int32_t Width() const override { return width_; }
    int32_t Height() const override { return height_; }

    bool NextFrame(TBitmap32& out, double& seconds) override {
        if (!video_.Receive(frame_.get(), packet_.get(), flushed_)) return false;
        const AVFrame& f = *frame_;
        if (f.width <= 0 || f.height <= 0 || f.width > kMaxVideoSide || f.height > kMaxVideoSide) {
            av_frame_unref(frame_.get());
            return false;
        }
        scale_ = sws_getCachedContext(scale_, f.width, f.height, static_cast<AVPixelFormat>(f.format), width_,
                                      height_, AV_PIX_FMT_BGRA, SWS_BILINEAR, nullptr, nullptr, nullptr);
        if (!scale_ || !out.Resize(width_, height_, 0)) {
            av_frame_unref(frame_.get());
            return false;
        }
        uint8_t* planes[4] = {reinterpret_cast<uint8_t*>(out.Row(0)), nullptr, nullptr, nullptr};
        int strides[4] = {width_ * 4, 0, 0, 0};
        sws_scale(scale_, f.data, f.linesize, 0, f.height, planes, strides);
        for (int32_t y = 0; y < height_; ++y) {
            TColor32* row = out.Row(y);
            for (int32_t x = 0; x < width_; ++x) row[x] |= 0xFF000000u;
        }
        const AVStream* stream = video_.format->streams[video_.stream];
        const int64_t pts = f.best_effort_timestamp;
        seconds = pts != AV_NOPTS_VALUE
                      ? double(pts - (stream->start_time != AV_NOPTS_VALUE ? stream->start_time : 0)) *
                            av_q2d(stream->time_base)
                      : double(count_) * frame_seconds_;
        ++count_;
        av_frame_unref(frame_.get());
        return true;
    }

    bool Rewind() override {
        if (av_seek_frame(video_.format.get(), video_.stream, 0, AVSEEK_FLAG_BACKWARD) < 0 &&
            avformat_seek_file(video_.format.get(), -1, INT64_MIN, 0, 0, 0) < 0) {
            // Some files cannot seek: open them again.
            Decoder again;
            std::string error;
            if (!again.Open(path_, AVMEDIA_TYPE_VIDEO, error)) return false;
            video_ = std::move(again);
        } else {
            avcodec_flush_buffers(video_.codec.get());
        }
        flushed_ = false;
        count_ = 0;
        return true;
    }

    std::vector<float> DecodeAudio(int32_t rate) override {
        std::vector<float> pcm;
        Decoder audio;
        std::string error;
        if (rate <= 0 || !audio.Open(path_, AVMEDIA_TYPE_AUDIO, error)) return pcm;
        AVCodecContext& c = *audio.codec;
        if (c.sample_rate <= 0 || c.ch_layout.nb_channels <= 0) return pcm;
        AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO;
        AVChannelLayout input{};
        if (c.ch_layout.order == AV_CHANNEL_ORDER_UNSPEC)
            av_channel_layout_default(&input, c.ch_layout.nb_channels);
        else if (av_channel_layout_copy(&input, &c.ch_layout) < 0)
            return pcm;
        SwrContext* raw = nullptr;
        const int made = swr_alloc_set_opts2(&raw, &stereo, AV_SAMPLE_FMT_FLT, rate, &input, c.sample_fmt,
                                             c.sample_rate, 0, nullptr);
        av_channel_layout_uninit(&input);
        std::unique_ptr<SwrContext, ResampleDeleter> resample(raw);
        if (made < 0 || swr_init(resample.get()) < 0) return pcm;
        const size_t limit = size_t(rate) * kMaxVideoAudioSeconds * 2;
        FramePtr frame(av_frame_alloc());
        PacketPtr packet(av_packet_alloc());
        if (!frame || !packet) return pcm;
        bool flushed = false;
        auto take = [&](const uint8_t** data, int samples) {
            const int room = swr_get_out_samples(resample.get(), samples);
            if (room <= 0) return false;
            const size_t start = pcm.size();
            pcm.resize(start + size_t(room) * 2);
            uint8_t* out[1] = {reinterpret_cast<uint8_t*>(pcm.data() + start)};
            const int got = swr_convert(resample.get(), out, room, data, samples);
            pcm.resize(start + size_t(std::max(got, 0)) * 2);
            if (pcm.size() >= limit) {
                pcm.resize(limit);
                return false;
            }
            return got > 0 || samples > 0;
        };
        while (audio.Receive(frame.get(), packet.get(), flushed)) {
            const bool more = take(const_cast<const uint8_t**>(frame->extended_data), frame->nb_samples);
            av_frame_unref(frame.get());
            if (!more && pcm.size() >= limit) return pcm;
        }
        while (pcm.size() < limit && take(nullptr, 0)) {
        }
        return pcm;
    }

    ~FfmpegVideo() override { sws_freeContext(scale_); }

private:
    std::string path_;
    Decoder video_;
    FramePtr frame_;
    PacketPtr packet_;
    SwsContext* scale_ = nullptr;
    int32_t width_ = 0, height_ = 0;
    double frame_seconds_ = 1.0 / 25;
    int64_t count_ = 0;
    bool flushed_ = false;
};

} // namespace

std::unique_ptr<VideoSource> OpenFfmpegVideo(const std::string& path, std::string& error) {
    Quiet();
    auto video = std::make_unique<FfmpegVideo>();
    if (!video->Open(path, error)) return nullptr;
    return video;
}

void InstallFfmpegVideo() {
    SetVideoOpener(OpenFfmpegVideo);
}

} // namespace kestrin
