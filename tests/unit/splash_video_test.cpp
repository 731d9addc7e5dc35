// Video splashes' decoder: a small file made here with libavcodec (three solid-colour pictures
// and a constant sound track) decodes to those pictures at their times, rewinds, and gives its
// sound resampled to the mixer's rate; damaged and missing files are refused.

#include <gtest/gtest.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
}

#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <string>

#include "graphics/video.h"
#include "platform/video/ffmpeg_video.h"

namespace kestrin {
namespace {

namespace fs = std::filesystem;

constexpr int kW = 32, kH = 16, kFps = 10;
constexpr uint32_t kColours[] = {0xFF0000u, 0x00FF00u, 0x0000FFu}; // 0xRRGGBB
constexpr int kSoundRate = 22050;
constexpr int16_t kLeft = 8192, kRight = -4096;

struct Writer {
    AVFormatContext* format = nullptr;
    AVCodecContext* video = nullptr;
    AVCodecContext* audio = nullptr;
    AVStream* vs = nullptr;
    AVStream* as = nullptr;
    ~Writer() {
        avcodec_free_context(&video);
        avcodec_free_context(&audio);
        if (format) {
            if (format->pb) avio_closep(&format->pb);
            avformat_free_context(format);
        }
    }
};

bool Drain(AVFormatContext* format, AVCodecContext* codec, AVStream* stream) {
    AVPacket* packet = av_packet_alloc();
    for (;;) {
        const int got = avcodec_receive_packet(codec, packet);
        if (got == AVERROR(EAGAIN) || got == AVERROR_EOF) break;
        if (got < 0) {
            av_packet_free(&packet);
            return false;
        }
        av_packet_rescale_ts(packet, codec->time_base, stream->time_base);
        packet->stream_index = stream->index;
        if (av_interleaved_write_frame(format, packet) < 0) {
            av_packet_free(&packet);
            return false;
        }
    }
    av_packet_free(&packet);
    return true;
}

// A lossless video (each picture one colour) with a second of 16-bit stereo sound.
bool MakeVideo(const std::string& path) {
    Writer w;
    if (avformat_alloc_output_context2(&w.format, nullptr, "matroska", path.c_str()) < 0) return false;
    const AVCodec* vc = avcodec_find_encoder(AV_CODEC_ID_FFV1);
    const AVCodec* ac = avcodec_find_encoder(AV_CODEC_ID_PCM_S16LE);
    if (!vc || !ac) return false;
    w.vs = avformat_new_stream(w.format, nullptr);
    w.as = avformat_new_stream(w.format, nullptr);
    w.video = avcodec_alloc_context3(vc);
    w.audio = avcodec_alloc_context3(ac);
    w.video->width = kW;
    w.video->height = kH;
    w.video->time_base = AVRational{1, kFps};
    w.video->framerate = AVRational{kFps, 1};
    w.video->pix_fmt = AV_PIX_FMT_BGR0;
    w.audio->sample_fmt = AV_SAMPLE_FMT_S16;
    w.audio->sample_rate = kSoundRate;
    w.audio->time_base = AVRational{1, kSoundRate};
    AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO;
    av_channel_layout_copy(&w.audio->ch_layout, &stereo);
    if (w.format->oformat->flags & AVFMT_GLOBALHEADER) {
        w.video->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        w.audio->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    }
    if (avcodec_open2(w.video, vc, nullptr) < 0 || avcodec_open2(w.audio, ac, nullptr) < 0) return false;
    avcodec_parameters_from_context(w.vs->codecpar, w.video);
    avcodec_parameters_from_context(w.as->codecpar, w.audio);
    w.vs->time_base = w.video->time_base;
    w.as->time_base = w.audio->time_base;
    if (avio_open(&w.format->pb, path.c_str(), AVIO_FLAG_WRITE) < 0) return false;
    if (avformat_write_header(w.format, nullptr) < 0) return false;

    AVFrame* frame = av_frame_alloc();
    frame->format = AV_PIX_FMT_BGR0;
    frame->width = kW;
    frame->height = kH;
    av_frame_get_buffer(frame, 0);
    for (int i = 0; i < 3; ++i) {
        av_frame_make_writable(frame);
        for (int y = 0; y < kH; ++y) {
            uint8_t* row = frame->data[0] + y * frame->linesize[0];
            for (int x = 0; x < kW; ++x) {
                row[x * 4 + 0] = uint8_t(kColours[i]);       // blue
                row[x * 4 + 1] = uint8_t(kColours[i] >> 8);  // green
                row[x * 4 + 2] = uint8_t(kColours[i] >> 16); // red
                row[x * 4 + 3] = 0;
            }
        }
        frame->pts = i;
        if (avcodec_send_frame(w.video, frame) < 0 || !Drain(w.format, w.video, w.vs)) return false;
    }
    av_frame_free(&frame);
    avcodec_send_frame(w.video, nullptr);
    if (!Drain(w.format, w.video, w.vs)) return false;

    AVFrame* sound = av_frame_alloc();
    sound->format = AV_SAMPLE_FMT_S16;
    sound->sample_rate = kSoundRate;
    av_channel_layout_copy(&sound->ch_layout, &stereo);
    sound->nb_samples = 1050; // 20 blocks make a second
    av_frame_get_buffer(sound, 0);
    for (int block = 0; block < 21; ++block) {
        av_frame_make_writable(sound);
        auto* samples = reinterpret_cast<int16_t*>(sound->data[0]);
        for (int s = 0; s < sound->nb_samples; ++s) {
            samples[2 * s] = kLeft;
            samples[2 * s + 1] = kRight;
        }
        sound->pts = int64_t(block) * sound->nb_samples;
        if (avcodec_send_frame(w.audio, sound) < 0 || !Drain(w.format, w.audio, w.as)) return false;
    }
    av_frame_free(&sound);
    avcodec_send_frame(w.audio, nullptr);
    if (!Drain(w.format, w.audio, w.as)) return false;
    return av_write_trailer(w.format) == 0;
}

uint32_t Rgb(TColor32 c) {
    return c & 0xFFFFFFu;
}

class SplashVideo : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("kestrin_video_" + std::to_string(::getpid()));
        fs::create_directories(dir_);
        file_ = (dir_ / "three.mkv").string();
        ASSERT_TRUE(MakeVideo(file_));
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }
    fs::path dir_;
    std::string file_;
};

TEST_F(SplashVideo, DecodesTheKnownPicturesAndRewinds) {
    std::string error;
    auto video = OpenFfmpegVideo(file_, error);
    ASSERT_TRUE(video) << error;
    EXPECT_EQ(video->Width(), kW);
    EXPECT_EQ(video->Height(), kH);
    for (int pass = 0; pass < 2; ++pass) {
        SCOPED_TRACE(pass == 0 ? "first pass" : "after rewind");
        TBitmap32 frame;
        double seconds = -1;
        for (int i = 0; i < 3; ++i) {
            ASSERT_TRUE(video->NextFrame(frame, seconds)) << "picture " << i;
            ASSERT_EQ(frame.Width(), kW);
            ASSERT_EQ(frame.Height(), kH);
            EXPECT_NEAR(seconds, i / double(kFps), 1e-3);
            // Every pixel, corners included, is the picture's colour and opaque.
            for (int y : {0, kH / 2, kH - 1})
                for (int x : {0, kW / 2, kW - 1}) {
                    EXPECT_EQ(Rgb(frame.GetPixel(x, y)), kColours[i]) << x << "," << y;
                    EXPECT_EQ(AlphaOf(frame.GetPixel(x, y)), 255);
                }
        }
        EXPECT_FALSE(video->NextFrame(frame, seconds));
        EXPECT_FALSE(video->NextFrame(frame, seconds)); // and stays at the end
        ASSERT_TRUE(video->Rewind());
    }
}

TEST_F(SplashVideo, SoundTrackAtTheMixersRate) {
    std::string error;
    auto video = OpenFfmpegVideo(file_, error);
    ASSERT_TRUE(video) << error;
    const std::vector<float> pcm = video->DecodeAudio(44100);
    // 21 blocks of 1050 frames at 22050 Hz, twice as many frames at 44100 Hz (give or take the
    // resampler's edges).
    const double frames = double(pcm.size()) / 2;
    EXPECT_NEAR(frames, 21 * 1050 * 2, 64);
    ASSERT_GT(pcm.size(), 4000u);
    // Away from the edges the constant level comes through.
    for (size_t f = 1000; f < 1010; ++f) {
        EXPECT_NEAR(pcm[2 * f], kLeft / 32768.0, 1e-3);
        EXPECT_NEAR(pcm[2 * f + 1], kRight / 32768.0, 1e-3);
    }
}

TEST_F(SplashVideo, RefusesDamagedAndMissingFiles) {
    std::string error;
    EXPECT_FALSE(OpenFfmpegVideo((dir_ / "missing.mkv").string(), error));
    EXPECT_FALSE(error.empty());
    const fs::path junk = dir_ / "junk.avi";
    std::ofstream(junk, std::ios::binary) << std::string(3000, '\x7f');
    EXPECT_FALSE(OpenFfmpegVideo(junk.string(), error));
    // A file cut short opens or not, but never decodes beyond its data.
    std::ifstream in(file_, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const fs::path cut = dir_ / "cut.mkv";
    std::ofstream(cut, std::ios::binary) << bytes.substr(0, bytes.size() / 2);
    if (auto video = OpenFfmpegVideo(cut.string(), error)) {
        TBitmap32 frame;
        double seconds = 0;
        int pictures = 0;
        while (pictures < 10 && video->NextFrame(frame, seconds)) ++pictures;
        EXPECT_LE(pictures, 3);
        (void)video->DecodeAudio(44100);
    }
    // Without an installed decoder no video opens.
    SetVideoOpener(nullptr);
    EXPECT_FALSE(OpenVideo(file_, error));
    InstallFfmpegVideo();
    EXPECT_TRUE(OpenVideo(file_, error));
}

} // namespace
} // namespace kestrin
