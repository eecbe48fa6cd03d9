// The library's global state and its C entry points.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "audio/bass.h"
#include "audio/config.h"
#include "audio/hooks.h"
#include "audio/output.h"
#include "audio/stream.h"

namespace audio {
namespace {

constexpr const char *kDefaultAgent = "Tivolna-Audio/1.0";
constexpr size_t kMaxAgentLength = 512;
constexpr size_t kRetiredTexts = 32;
constexpr double kVolumeRampMs = 5.0;  // a volume change glides over this time

struct Output {
    std::unique_ptr<Sink> sink;
    std::atomic<bool> stop{false};
    std::thread thread;
    int rate = 44100;
    uint64_t generation = 0;
};

struct Engine {
    std::mutex m;
    bool initialized = false;
    uint64_t generation = 0;
    int out_rate = 44100;
    std::map<DWORD, std::shared_ptr<Stream>> streams;
    std::vector<std::shared_ptr<Stream>> pending;
    std::vector<std::shared_ptr<Stream>> playing;
    std::shared_ptr<Output> output;

    DWORD buffer_ms = kDefaultBufferMs;
    DWORD prebuf = kDefaultPrebufPercent;
    bool follow_playlists = false;
    std::string agent = kDefaultAgent;

    // tag texts of freed streams, kept a while for readers that still hold a pointer
    std::unique_ptr<char[]> retired[kRetiredTexts];
    size_t retired_next = 0;
};

Engine &eng() {
    static Engine *e = new Engine();  // never destroyed: detached threads may outlive main
    return *e;
}

// Handles of streams and syncs: never reused within the process.
std::atomic<DWORD> g_next_handle{1};

DWORD new_handle() {
    DWORD h;
    do h = g_next_handle.fetch_add(1); while (h == 0);
    return h;
}

std::shared_ptr<Stream> find_stream(DWORD h) {
    if (h == 0) return nullptr;
    std::lock_guard<std::mutex> l(eng().m);
    if (!eng().initialized) return nullptr;
    auto it = eng().streams.find(h);
    return it == eng().streams.end() ? nullptr : it->second;
}

void retire_texts(Stream &s) {
    auto texts = s.take_tag_texts();
    std::lock_guard<std::mutex> l(eng().m);
    for (auto &t : texts) {
        eng().retired[eng().retired_next] = std::move(t);
        eng().retired_next = (eng().retired_next + 1) % kRetiredTexts;
    }
}

void mixer_main(std::shared_ptr<Output> out) {
    try {
        std::vector<int32_t> acc;
        std::vector<int16_t> tmp, mix;
        std::vector<std::shared_ptr<Stream>> list;
        // volume ramp in Q15 steps per frame
        const int32_t step = std::max<int32_t>(1, static_cast<int32_t>(32768.0 / (out->rate * kVolumeRampMs / 1000.0)));
        while (!out->stop.load()) {
            size_t n = out->sink->wait_ready(100);
            if (n == 0) continue;
            list.clear();
            {
                std::lock_guard<std::mutex> l(eng().m);
                if (eng().generation == out->generation) list = eng().playing;
            }
            acc.assign(n * 2, 0);
            tmp.resize(n * 2);
            size_t longest = 0;
            for (auto &s : list) {
                size_t got = s->render(tmp.data(), n);
                longest = std::max(longest, got);
                const int32_t target = static_cast<int32_t>(std::lrint(s->volume.load() * 32768.0f));
                int32_t g = s->gain < 0 ? target : s->gain;
                size_t i = 0;
                for (; i < got && g != target; ++i) {
                    g = g < target ? std::min(target, g + step) : std::max(target, g - step);
                    acc[2 * i] += (tmp[2 * i] * g) >> 15;
                    acc[2 * i + 1] += (tmp[2 * i + 1] * g) >> 15;
                }
                int32_t *a = acc.data();
                const int16_t *t = tmp.data();
                if (g == 32768) {
                    for (size_t k = 2 * i; k < 2 * got; ++k) a[k] += t[k];
                } else if (g > 0) {
                    for (size_t k = 2 * i; k < 2 * got; ++k) a[k] += (t[k] * g) >> 15;
                }
                s->gain = g;
            }
            size_t frames = n;
            if (out->sink->unpaced()) {
                if (longest == 0) {
                    std::this_thread::sleep_for(std::chrono::milliseconds(2));
                    continue;
                }
                frames = longest;
            }
            mix.resize(frames * 2);
            for (size_t i = 0; i < frames * 2; ++i)
                mix[i] = static_cast<int16_t>(std::max(-32768, std::min(32767, acc[i])));
            out->sink->write(mix.data(), frames);
            if (!list.empty()) call_capture(mix.data(), frames);
        }
    } catch (...) {
        // the output simply ends
    }
}

Timeouts timeouts_now() {
    Timeouts t = current_timeouts();
    return t;
}

}  // namespace

Timeouts current_timeouts() {
    Hooks &h = hooks();
    Timeouts t{kConnectTimeoutMs, kReadTimeoutMs, kStallTimeoutMs};
    if (h.connect_ms.load() > 0) t.connect_ms = h.connect_ms.load();
    if (h.read_ms.load() > 0) t.read_ms = h.read_ms.load();
    if (h.stall_ms.load() > 0) t.stall_ms = h.stall_ms.load();
    return t;
}

}  // namespace audio

using namespace audio;

extern "C" {

BOOL BASS_Init(int device, DWORD freq, DWORD flags, HWND win, const void *clsid) {
    (void)device;
    (void)flags;
    (void)win;
    (void)clsid;
    try {
        if (hooks().no_device.load()) return FALSE;
        int rate = freq == 0 ? 44100 : static_cast<int>(std::min<DWORD>(192000, std::max<DWORD>(8000, freq)));
        std::lock_guard<std::mutex> l(eng().m);
        if (eng().initialized) return FALSE;
        auto out = std::make_shared<Output>();
        out->sink = make_default_sink();
        out->rate = rate;
        if (!out->sink->start(rate)) return FALSE;
        out->generation = eng().generation + 1;
        out->thread = std::thread(mixer_main, out);
        eng().generation = out->generation;
        eng().out_rate = rate;
        eng().output = out;
        eng().initialized = true;
        return TRUE;
    } catch (...) {
        return FALSE;
    }
}

BOOL BASS_Free(void) {
    try {
        std::shared_ptr<Output> out;
        std::vector<std::shared_ptr<Stream>> all;
        {
            std::lock_guard<std::mutex> l(eng().m);
            if (!eng().initialized) return FALSE;
            eng().initialized = false;
            ++eng().generation;
            for (auto &kv : eng().streams) all.push_back(kv.second);
            all.insert(all.end(), eng().pending.begin(), eng().pending.end());
            eng().streams.clear();
            eng().pending.clear();
            eng().playing.clear();
            out = std::move(eng().output);
        }
        for (auto &s : all) s->set_playing(false);
        if (out) {
            out->stop.store(true);
            if (out->thread.joinable()) {
                if (out->thread.get_id() == std::this_thread::get_id())
                    out->thread.detach();
                else
                    out->thread.join();
            }
            out->sink->stop();
        }
        for (auto &s : all) {
            s->shutdown();
            retire_texts(*s);
        }
        return TRUE;
    } catch (...) {
        return FALSE;
    }
}

DWORD BASS_SetConfig(DWORD option, DWORD value) {
    try {
        std::lock_guard<std::mutex> l(eng().m);
        switch (option) {
        case BASS_CONFIG_NET_BUFFER:
            eng().buffer_ms = std::max<DWORD>(100, std::min<DWORD>(60000, value));
            return TRUE;
        case BASS_CONFIG_NET_PREBUF:
            eng().prebuf = std::min<DWORD>(100, value);
            return TRUE;
        case BASS_CONFIG_NET_AGENT:
            return TRUE;  // the agent is a text, set through BASS_SetConfigPtr; kept as it is
        case BASS_CONFIG_NET_PLAYLIST:
            eng().follow_playlists = value != 0;
            return TRUE;
        default:
            return FALSE;
        }
    } catch (...) {
        return FALSE;
    }
}

DWORD BASS_SetConfigPtr(DWORD option, const void *value) {
    try {
        if (option != BASS_CONFIG_NET_AGENT) return FALSE;
        std::string agent = kDefaultAgent;
        if (value) {
            const char *p = static_cast<const char *>(value);
            size_t n = 0;
            while (n < kMaxAgentLength && p[n]) ++n;
            agent.assign(p, n);
            // no line breaks in a header value
            agent.erase(std::remove_if(agent.begin(), agent.end(),
                                       [](char c) { return c == '\r' || c == '\n'; }),
                        agent.end());
        }
        std::lock_guard<std::mutex> l(eng().m);
        eng().agent = agent;
        return TRUE;
    } catch (...) {
        return FALSE;
    }
}

HSTREAM BASS_StreamCreateURL(const char *url, DWORD offset, DWORD flags, DOWNLOADPROC *proc,
                             void *user) {
    (void)offset;  // live streams start where the server starts them
    try {
        if (!url) return 0;
        StreamConfig cfg;
        uint64_t gen;
        std::shared_ptr<Stream> s;
        {
            std::lock_guard<std::mutex> l(eng().m);
            if (!eng().initialized) return 0;
            cfg.url = url;
            cfg.open.user_agent = eng().agent;
            cfg.open.follow_playlists = eng().follow_playlists;
            cfg.open.timeouts = timeouts_now();
            cfg.buffer_ms = eng().buffer_ms;
            cfg.prebuf_percent = eng().prebuf;
            cfg.out_rate = eng().out_rate;
            cfg.download_proc = proc;
            cfg.download_user = user;
            cfg.status_flag = (flags & BASS_STREAM_STATUS) != 0;
            gen = eng().generation;
            s = std::make_shared<Stream>(std::move(cfg));
            eng().pending.push_back(s);
        }
        bool ok = s->open();
        {
            std::lock_guard<std::mutex> l(eng().m);
            auto &p = eng().pending;
            p.erase(std::remove(p.begin(), p.end(), s), p.end());
            if (ok && eng().initialized && eng().generation == gen) {
                DWORD h = new_handle();
                s->set_handle(h);
                eng().streams[h] = s;
                return h;
            }
        }
        s->shutdown();
        return 0;
    } catch (...) {
        return 0;
    }
}

BOOL BASS_StreamFree(HSTREAM handle) {
    try {
        std::shared_ptr<Stream> s;
        {
            std::lock_guard<std::mutex> l(eng().m);
            if (!eng().initialized) return FALSE;
            auto it = eng().streams.find(handle);
            if (handle == 0 || it == eng().streams.end()) return FALSE;
            s = it->second;
            eng().streams.erase(it);
            auto &p = eng().playing;
            p.erase(std::remove(p.begin(), p.end(), s), p.end());
        }
        s->set_playing(false);
        s->shutdown();
        retire_texts(*s);
        return TRUE;
    } catch (...) {
        return FALSE;
    }
}

QWORD BASS_StreamGetFilePosition(HSTREAM handle, DWORD mode) {
    try {
        auto s = find_stream(handle);
        return s ? s->file_position(mode) : ~static_cast<QWORD>(0);
    } catch (...) {
        return ~static_cast<QWORD>(0);
    }
}

const char *BASS_ChannelGetTags(DWORD handle, DWORD tags) {
    try {
        if (tags != BASS_TAG_META) return nullptr;
        auto s = find_stream(handle);
        return s ? s->meta_tag() : nullptr;
    } catch (...) {
        return nullptr;
    }
}

HSYNC BASS_ChannelSetSync(DWORD handle, DWORD type, QWORD param, SYNCPROC *proc, void *user) {
    (void)param;
    try {
        // the mix-time and one-time bits are accepted and make no difference here
        if ((type & 0x00FFFFFF) != BASS_SYNC_META || !proc) return 0;
        auto s = find_stream(handle);
        if (!s) return 0;
        return s->add_meta_sync(new_handle(), proc, user);
    } catch (...) {
        return 0;
    }
}

BOOL BASS_ChannelPlay(DWORD handle, BOOL restart) {
    (void)restart;  // a live stream cannot start over; playback goes on from the buffer
    try {
        std::lock_guard<std::mutex> l(eng().m);
        if (!eng().initialized) return FALSE;
        auto it = eng().streams.find(handle);
        if (handle == 0 || it == eng().streams.end()) return FALSE;
        auto &p = eng().playing;
        if (std::find(p.begin(), p.end(), it->second) == p.end()) {
            it->second->set_playing(true);
            p.push_back(it->second);
        }
        return TRUE;
    } catch (...) {
        return FALSE;
    }
}

BOOL BASS_ChannelStop(DWORD handle) {
    try {
        std::lock_guard<std::mutex> l(eng().m);
        if (!eng().initialized) return FALSE;
        auto it = eng().streams.find(handle);
        if (handle == 0 || it == eng().streams.end()) return FALSE;
        // the download goes on until the buffer is full, then waits
        it->second->set_playing(false);
        auto &p = eng().playing;
        p.erase(std::remove(p.begin(), p.end(), it->second), p.end());
        return TRUE;
    } catch (...) {
        return FALSE;
    }
}

BOOL BASS_ChannelSetAttribute(DWORD handle, DWORD attrib, float value) {
    try {
        if (attrib != BASS_ATTRIB_VOL || std::isnan(value)) return FALSE;
        auto s = find_stream(handle);
        if (!s) return FALSE;
        s->volume.store(std::max(0.0f, std::min(1.0f, value)));
        return TRUE;
    } catch (...) {
        return FALSE;
    }
}

}  // extern "C"
