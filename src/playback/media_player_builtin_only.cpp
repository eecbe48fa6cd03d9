// Systems without the media player control: the built-in player.
#include "playback/media_player.h"

namespace playback {

std::unique_ptr<MediaPlayer> CreateMediaPlayer(tk::Handle) { return CreateBuiltInPlayer(); }

}  // namespace playback
