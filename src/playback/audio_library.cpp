#include "playback/audio_library.h"

#include "app/player_state.h"
#include "audio/bass.h"

namespace playback::library {

bool Init(tk::Handle window) {
  return BASS_Init(-1, 44100, 0, reinterpret_cast<HWND>(window), nullptr) != 0;
}
void Free() { BASS_Free(); }

void ApplyOptions() {
  BASS_SetConfig(BASS_CONFIG_NET_PLAYLIST, 1);
  BASS_SetConfig(BASS_CONFIG_NET_PREBUF, 0);
}

void SetUserAgent(const char* text) { BASS_SetConfigPtr(BASS_CONFIG_NET_AGENT, text); }
void SetUserAgentNumber(uint32_t value) { BASS_SetConfig(BASS_CONFIG_NET_AGENT, value); }

void StopStream(Stream s) { BASS_ChannelStop(s); }
void FreeStream(Stream s) { BASS_StreamFree(s); }
void SetVolume(int position) {
  app::PlayerState& st = app::State();
  st.SliderPosition = position;
  if (Stream s = st.AudioChannel.load())
    BASS_ChannelSetAttribute(s, BASS_ATTRIB_VOL, static_cast<float>(position) / 100.0f);
}

}  // namespace playback::library
