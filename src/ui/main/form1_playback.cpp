// The main window's playback: starting a station, play and stop, volume and mute, the stream
// worker's status reports, the audio library's restart, and the settings file that holds the
// volume and the last station.
#include "app/marker_text.h"
#include "app/player_state.h"
#include "app/settings.h"
#include "base/codepage.h"
#include "base/intconv.h"
#include "base/paths.h"
#include "base/textfile.h"
#include "catalogue/station_store.h"
#include "imaging/picture.h"
#include "playback/audio_library.h"
#include "playback/stream_worker.h"
#include "ui/main/form1.h"

namespace ui {
namespace {

constexpr int kVkAdd = 0x6B, kVkSubtract = 0x6D;

}  // namespace

// --- Playback ---

void TForm1::StartStation(int32_t n) {
  app::PlayerState& st = app::State();
  base::TextReader f = base::OpenTextFile(catalogue::StationFilePath(n));
  st.CurrentEngine = "0";
  st.CurrentStreamUrl = f.ReadLine();
  st.CurrentStationTitle = f.ReadLine();
  RxLabel6.SetCaption(base::Cp1251ToUtf8(st.CurrentStationTitle));
  if (!f.AtEnd()) st.CurrentEngine = f.ReadLine();
  WindowsMediaPlayer1->Stop();
  playback::library::StopStream(st.AudioChannel.load());
  if (st.CurrentEngine == "1") {
    start_ = playback::SupersedeWorkers();
    WindowsMediaPlayer1->SetUrl(st.CurrentStreamUrl);
    WindowsMediaPlayer1->Play();
    playing_ = true;
  } else if (st.CurrentEngine == "0") {
    Button3Click();
  }
}

void TForm1::Button3Click() {
  app::PlayerState& st = app::State();
  if (st.CurrentEngine == "1") {
    start_ = playback::SupersedeWorkers();
    WindowsMediaPlayer1->SetUrl(st.CurrentStreamUrl);
    WindowsMediaPlayer1->Play();
  } else {
    start_ = playback::StartStreamWorker(st.CurrentStreamUrl);
  }
  playing_ = true;
}

void TForm1::sBitBtn2Click() { Button3Click(); }

void TForm1::sBitBtn3Click() {
  WindowsMediaPlayer1->Stop();
  playback::library::StopStream(app::State().AudioChannel.load());
  playing_ = false;
}

void TForm1::sTrackBar1Change() {
  int position = sTrackBar1.Position();
  WindowsMediaPlayer1->SetVolume(position);
  playback::library::SetVolume(position);
  RxLabel5.SetCaption(base::IntToStr(position));
  if (position > 0) app::State().IsMuted = 0;
}

void TForm1::Image2Click() {
  app::PlayerState& st = app::State();
  if (st.IsMuted == 0) {
    st.SavedVolume = base::StrToInt(base::Utf8ToCp1251(RxLabel5.Caption()));
    sTrackBar1.SetPosition(0);
    Image2.SetPicture(imaging::LoadPicture(base::BesideExe("voloff.png"), imaging::Kind::kPng));
    st.IsMuted = 1;
    Image2.SetHint(kUnmuteHint);
  } else {
    sTrackBar1.SetPosition(st.SavedVolume);
    Image2.SetPicture(imaging::LoadPicture(base::BesideExe("vol.png"), imaging::Kind::kPng));
    Image2.SetHint(kMuteHint);
    st.IsMuted = 0;
  }
}

bool TForm1::VolumeKeyHook(const tk::QueuedMessage& m) {
  if (m.msg != tk::kWmKeyDown) return false;
  int step;
  switch (static_cast<int>(m.wparam)) {
    case tk::kVkUp:
    case kVkAdd: step = 1; break;
    case tk::kVkDown:
    case kVkSubtract: step = -1; break;
    default: return false;
  }
  if (tk::IsKeyDown(tk::kVkShift)) step *= 10;
  sTrackBar1.SetPosition(sTrackBar1.Position() + step);
  return true;
}

void TForm1::WindowsMediaPlayer1StatusChange() {
  if (WindowsMediaPlayer1->PlayState() == playback::MediaPlayer::kStopped) return;
  // The label holds ANSI text: characters Windows-1251 lacks become "?".
  std::string status = base::Cp1251ToUtf8(base::Utf8ToCp1251(WindowsMediaPlayer1->Status()));
  RxLabel7.SetCaption(status);
  static const std::string kRate = "/с";
  if (status.find(kRate) != std::string::npos) {
    std::string t = app::TextBetween(": ", kRate, status) + kRate;
    RxLabel6.SetHint(t);
    RxLabel7.SetCaption(t);
  }
}

void TForm1::MediaPlayPause() {
  if (playing_) {
    sBitBtn3Click();
  } else if (!app::State().CurrentStreamUrl.empty()) {
    sBitBtn2Click();
  }
}

void TForm1::MediaStop() { sBitBtn3Click(); }

// --- Status reports ---

void TForm1::StatusReport(const tk::Message& m) {
  // Reports of an overtaken start are old news (a stop is no start: a worker still
  // buffering when the user stopped goes on reporting).
  uint32_t start = playback::StatusStartOf(static_cast<uintptr_t>(m.wparam));
  if (start != 0 && start != start_) return;
  switch (playback::StatusCodeOf(static_cast<uintptr_t>(m.wparam))) {
    case playback::kStatusConnecting:
      RxLabel7.SetCaption(playback::kConnectingText);
      LockPlaybackControls();
      break;
    case playback::kStatusFailed:
      playing_ = false;
      ResetAudio();
      UnlockPlaybackControls();
      break;
    case playback::kStatusBuffering:
      RxLabel7.SetCaption(playback::BufferingText(static_cast<int32_t>(m.lparam)));
      LockPlaybackControls();
      break;
    case playback::kStatusTitle:
      RxLabel7.SetCaption(base::Cp1251ToUtf8(reinterpret_cast<const char*>(m.lparam)));
      UnlockPlaybackControls();
      break;
    case playback::kStatusPlaying:
      RxLabel7.SetCaption(playback::kOnAirText);
      UnlockPlaybackControls();
      break;
    case playback::kStatusLost:
      if (!playing_) break;  // stopped by the user: the end of its connection is no news
      playing_ = false;
      RxLabel7.SetCaption(playback::kNoSignalText);
      UnlockPlaybackControls();
      break;
    default: break;  // the response head (8) and anything else change nothing
  }
}

void TForm1::LockPlaybackControls() {
  sBitBtn2.SetEnabled(false);
  SetGridColumnsEnabled(false);
}

void TForm1::UnlockPlaybackControls() {
  sBitBtn2.SetEnabled(true);
  SetGridColumnsEnabled(true);
}

// --- The audio library's restart ---

void TForm1::EndWithoutAudio() {
  // Without an output device the player cannot work: say so, then end.
  RxTrayIcon1.SetActive(false);
  tk::ShowMessageBox("Ошибка инициализации аудио", tk::Application::Get().Title,
                     tk::kMbOk | tk::kMbIconError);
  tk::Application::Get().Halt(0);
}

void TForm1::ResetAudio() {
  // While the release waits, sent reports keep being handled: a failure reported then is
  // folded into the reset under way, which releases and starts the library anyway. A
  // second reset inside the first would leave the first's start "already initialised".
  if (resetting_) return;
  resetting_ = true;
  struct Done {
    bool& flag;
    ~Done() { flag = false; }
  } done{resetting_};
  ResetAudioStep(false);
}

void TForm1::ResetAudioStep(bool nested) {
  app::PlayerState& st = app::State();
  RxLabel7.SetCaption(playback::kNoSignalText);
  playback::library::StopStream(st.AudioChannel.load());
  WindowsMediaPlayer1->Stop();
  playback::library::Free();
  st.StatusTarget = GetHandle();
  if (!playback::library::Init(st.StatusTarget)) {
    if (!nested) ResetAudioStep(true);
    EndWithoutAudio();
  }
  playback::library::ApplyOptions();
}

// --- Status label ---

void TForm1::UnderlineStatus(bool on) {
  uint8_t style = RxLabel7.FontStyle();
  RxLabel7.SetFontStyle(
      static_cast<uint8_t>(on ? style | tk::kUnderline : style & ~tk::kUnderline));
}

void TForm1::RxLabel7MouseEnter() { UnderlineStatus(true); }

void TForm1::RxLabel7MouseLeave() { UnderlineStatus(false); }

void TForm1::RxLabel7MouseDown(const tk::MouseArgs&) {
  tk::TheClipboard().SetTextBuf(base::Utf8ToCp1251(RxLabel7.Caption()));
  tk::Application::Get().ShowMessage(kCopiedMessage);
}

// --- Settings file: read at start-up, written on close ---

void TForm1::LoadConfig() {
  app::PlayerState& st = app::State();
  base::TextReader f = base::OpenTextFile(base::BesideExe("config.txt"));
  // Lines by position; the key lines are read and thrown away. Only "0" turns a flag off.
  f.ReadLine();
  st.CheckUpdates = f.ReadLine() == "0" ? 0 : 1;
  f.ReadLine();
  st.OpenLast = f.ReadLine() != "0";
  f.ReadLine();
  st.StartVolume = base::StrToInt(f.ReadLine());
  f.ReadLine();
  std::string last = f.ReadLine();
  st.CurrentStation = st.OpenLast ? base::StrToInt(last) : -1;
  Timer1.SetEnabled(st.CheckUpdates == 1);
  f.ReadLine();
  st.AutorunEnabled = f.ReadLine() == "0" ? 0 : 1;
  if (st.OpenLast && st.CurrentStation != -1) {
    StartStation(st.CurrentStation);
    sBitBtn2.SetEnabled(true);
    sBitBtn3.SetEnabled(true);
    SetFavouriteMark(st.CurrentStation, kAddFavouriteHintLatinE);
  }
}

void TForm1::Image4Click() {
  const app::PlayerState& st = app::State();
  app::ConfigValues v;
  v.check_updates = st.CheckUpdates == 1;
  v.open_last = st.OpenLast;
  v.start_volume = sTrackBar1.Position();
  v.last_number = st.CurrentStation;
  v.autorun = st.AutorunEnabled == 1;
  app::WriteConfig(v);
  Close();
}

}  // namespace ui
