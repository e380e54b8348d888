#pragma once
// What the benchmarks that set our readers against FFmpeg's libraries in-process share.
extern "C" {
#include <libavformat/avformat.h>
}

#include <cstdio>
#include <cstdlib>
#include <string>

namespace velinor::bench {

// Every packet of the streams of type `keep` that libavformat's raw DV demuxer gives for `path`,
// the others discarded as `ffmpeg -map` discards them; opened as the ffmpeg program opens it,
// stream probe included. Ends the program when the file cannot be read.
template <class OnPacket>
void ForEachRawDvPacket(const std::string& path, AVMediaType keep, OnPacket onPacket) {
    AVFormatContext* format = nullptr;
    if (avformat_open_input(&format, path.c_str(), av_find_input_format("dv"), nullptr) < 0 ||
        avformat_find_stream_info(format, nullptr) < 0) {
        std::fprintf(stderr, "libavformat cannot read %s\n", path.c_str());
        std::exit(1);
    }
    for (unsigned i = 0; i < format->nb_streams; ++i)
        if (format->streams[i]->codecpar->codec_type != keep) format->streams[i]->discard = AVDISCARD_ALL;
    AVPacket* packet = av_packet_alloc();
    while (av_read_frame(format, packet) >= 0) {
        if (format->streams[packet->stream_index]->codecpar->codec_type == keep) onPacket(*packet);
        av_packet_unref(packet);
    }
    av_packet_free(&packet);
    avformat_close_input(&format);
}

}  // namespace velinor::bench
