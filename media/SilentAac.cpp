#include "media/SilentAac.h"

#include "media/LibraryHandles.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/channel_layout.h>
#include <libavutil/samplefmt.h>
}

namespace vidlume::media {

namespace {

/// The audio object type that an AudioSpecificConfig starts with; 2 is AAC-LC.
int audioObjectType(const AVCodecParameters& parameters)
{
    return parameters.extradata_size >= 2 ? parameters.extradata[0] >> 3 : 0;
}

} // namespace

std::vector<std::uint8_t> silentAacFrame(const AVCodecParameters& parameters)
{
    if (parameters.codec_id != AV_CODEC_ID_AAC || audioObjectType(parameters) != 2 || parameters.sample_rate <= 0 ||
        parameters.ch_layout.nb_channels <= 0 || parameters.ch_layout.nb_channels > 8)
        return {};
    const AVCodec* aac = avcodec_find_encoder(AV_CODEC_ID_AAC);
    CodecPtr encoder(aac ? avcodec_alloc_context3(aac) : nullptr);
    FramePtr frame(av_frame_alloc());
    PacketPtr packet(av_packet_alloc());
    if (!encoder || !frame || !packet)
        return {};
    encoder->sample_rate = parameters.sample_rate;
    av_channel_layout_default(&encoder->ch_layout, parameters.ch_layout.nb_channels);
    encoder->sample_fmt = AV_SAMPLE_FMT_FLTP;
    encoder->bit_rate = 16000 * parameters.ch_layout.nb_channels;
    encoder->profile = FF_PROFILE_AAC_LOW;
    if (avcodec_open2(encoder.get(), aac, nullptr) < 0)
        return {};
    frame->nb_samples = encoder->frame_size;
    frame->format = encoder->sample_fmt;
    frame->sample_rate = encoder->sample_rate;
    if (av_channel_layout_copy(&frame->ch_layout, &encoder->ch_layout) < 0 || av_frame_get_buffer(frame.get(), 0) < 0)
        return {};
    av_samples_set_silence(frame->data, 0, frame->nb_samples, frame->ch_layout.nb_channels,
                           static_cast<AVSampleFormat>(frame->format));
    // The encoder holds a frame or two back before the first packet comes.
    for (int sent = 0; sent < 8; ++sent) {
        frame->pts = std::int64_t{sent} * frame->nb_samples;
        if (avcodec_send_frame(encoder.get(), frame.get()) < 0)
            return {};
        if (avcodec_receive_packet(encoder.get(), packet.get()) == 0 && packet->size > 0)
            return {packet->data, packet->data + packet->size};
    }
    return {};
}

} // namespace vidlume::media
