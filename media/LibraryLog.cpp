#include "media/LibraryLog.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include <cstdarg>
#include <mutex>
#include <set>

namespace vidlume::media {

namespace {

std::mutex liveCountersMutex;
std::set<const LogCounter*> liveCounters;

void countLoggedErrors(void* context, int level, const char*, va_list)
{
    if (level > AV_LOG_ERROR || !context)
        return;
    const AVClass* type = *static_cast<const AVClass**>(context);
    void* owner = nullptr;
    // Frame threads of a decoder log through copies of its context, which
    // keep the owner's opaque pointer.
    if (type == avcodec_get_class())
        owner = static_cast<AVCodecContext*>(context)->opaque;
    else if (type == avformat_get_class())
        owner = static_cast<AVFormatContext*>(context)->opaque;
    if (!owner)
        return;
    std::lock_guard lock(liveCountersMutex);
    if (liveCounters.count(static_cast<const LogCounter*>(owner)))
        static_cast<LogCounter*>(owner)->count();
}

} // namespace

LogCounter::LogCounter()
{
    static std::once_flag routed;
    std::call_once(routed, [] { av_log_set_callback(countLoggedErrors); });
    std::lock_guard lock(liveCountersMutex);
    liveCounters.insert(this);
}

LogCounter::~LogCounter()
{
    std::lock_guard lock(liveCountersMutex);
    liveCounters.erase(this);
}

} // namespace vidlume::media
