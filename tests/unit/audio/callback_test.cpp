// The callback contract: what a free waits for, and callbacks that send synchronously to
// the user-interface thread while that thread waits inside the library.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <thread>

#include "audio/test_hooks.h"
#include "audio/bass.h"
#include "audio/wait_pump.h"
#include "server_environment.h"
#include "toolkit/headless/headless.h"
#include "toolkit/toolkit.h"

namespace {

using loopback::Clock;
using loopback::ms_since;
using loopback::sleep_ms;

constexpr int kRate = 44100;
constexpr uint32_t kTitleMsg = tk::kWmUser + 7;
constexpr long kMaxWaitMs = 200;  // no wait inside the library may take longer here

// Titles change many times a second; the stream arrives in real time, so it goes on.
const char* const kTitles =
    "/stream/tone440_128k_44100_s.mp3?metaint=1000&titles=A|B|C&title_every=0.03";

// The program's main window: takes the title messages the callbacks send.
class MainForm : public tk::Form {
 public:
  MainForm() : tk::Form("Main", "Main") {}
  void WndProc(tk::Message& m) override {
    if (m.msg == kTitleMsg) {
      if (std::this_thread::get_id() != ui) ++wrong_thread;
      ++titles;
      if (on_title) on_title();
      m.result = 1;
      return;
    }
    tk::Form::WndProc(m);
  }
  void FormDestroy() override {
    if (on_destroy) on_destroy();
  }
  const std::thread::id ui = std::this_thread::get_id();
  std::atomic<int> titles{0};
  std::atomic<int> wrong_thread{0};
  std::function<void()> on_title, on_destroy;
};

// A send that has waited this long without the user-interface thread taking it is taken
// by the rescuer, so that a broken library fails the test instead of hanging it.
constexpr long kRescueAfterMs = 1000;
std::atomic<long long> g_send_since{0};  // steady clock ms of the pending send, 0 for none
std::atomic<int> g_rescued{0};
std::atomic<int> g_sends_started{0};

long long now_ms() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now().time_since_epoch())
      .count();
}

// Sends to the user-interface thread as the program's callbacks do.
intptr_t send_to_ui(tk::Handle window) {
  g_send_since = now_ms();
  ++g_sends_started;
  intptr_t r = tk::SendMessageTo(window, kTitleMsg, 0, 0);
  g_send_since = 0;
  return r;
}

class Rescuer {
 public:
  Rescuer()
      : thread_([this] {
          while (!stop_) {
            long long since = g_send_since.load();
            if (since != 0 && now_ms() - since > kRescueAfterMs) {
              ++g_rescued;
              tk::HandleSentMessages();  // not the right thread: the test has failed
            }
            sleep_ms(20);
          }
        }) {}
  ~Rescuer() {
    stop_ = true;
    thread_.join();
  }

 private:
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

// What a sync callback uses; the test deletes it as soon as the free has returned.
struct Listener {
  tk::Handle window = 0;
  std::atomic<int> inside{0};
  std::atomic<int> calls{0};
  static void CALLBACK sync(HSYNC, DWORD, DWORD, void* user) {
    auto* l = static_cast<Listener*>(user);
    ++l->inside;
    ++l->calls;
    send_to_ui(l->window);
    --l->inside;
  }
};

class Contract : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(g_server_error.empty()) << g_server_error;
    tk::Application::Get().DestroyAllForms();
    tk::headless::Reset();
    tk::Application::Get().Initialize();
    form_ = tk::Application::Get().CreateForm<MainForm>();
    audio::SetWaitPump(&tk::HandleSentMessages);
    audio::test_hooks::Reset();
    audio::test_hooks::SetTimeouts(2000, 1500, 1500);
    audio::test_hooks::SetFastPacing(true);
    g_rescued = 0;
    ASSERT_TRUE(BASS_Init(-1, kRate, 0, nullptr, nullptr));
    BASS_SetConfig(BASS_CONFIG_NET_PREBUF, 0);
  }
  void TearDown() override {
    BASS_Free();
    audio::SetWaitPump(nullptr);
    audio::test_hooks::Reset();
    tk::Application::Get().DestroyAllForms();
    EXPECT_EQ(g_rescued.load(), 0) << "a send to the user-interface thread was never handled there";
  }

  static HSTREAM open(const std::string& path, DWORD flags = 0, DOWNLOADPROC* proc = nullptr,
                      void* user = nullptr) {
    return BASS_StreamCreateURL(g_server.url(path).c_str(), 0, flags, proc, user);
  }
  // Handles messages until done() or timeout_ms.
  static bool pump_until(const std::function<bool()>& done, int timeout_ms) {
    const auto start = Clock::now();
    while (!done() && ms_since(start) < timeout_ms) {
      tk::Application::Get().ProcessMessages();
      sleep_ms(1);
    }
    return done();
  }
  // Without handling messages: until a callback starts a send to this thread, which then
  // waits for this thread.
  static bool until_a_send_waits(int timeout_ms) {
    const int before = g_sends_started.load();
    const auto start = Clock::now();
    while (g_sends_started.load() == before && ms_since(start) < timeout_ms) sleep_ms(1);
    sleep_ms(5);  // into the send
    return g_sends_started.load() != before && g_send_since.load() != 0;
  }
  // A playing stream whose sync sends every title to the form.
  HSTREAM sending_stream(Listener* l) {
    l->window = form_->GetHandle();
    HSTREAM h = open(kTitles);
    EXPECT_NE(h, 0u);
    EXPECT_NE(BASS_ChannelSetSync(h, BASS_SYNC_META, 0, &Listener::sync, l), 0u);
    EXPECT_TRUE(BASS_ChannelPlay(h, FALSE));
    EXPECT_TRUE(pump_until([&] { return form_->titles >= 2; }, 5000)) << "no titles arrived";
    return h;
  }

  MainForm* form_ = nullptr;
  Rescuer rescuer_;
};

// The user-interface thread frees the stream, or the whole library, while a sync callback
// waits in a send to it: the free handles the send, returns at once, and then no callback
// runs, so the callback's data may go.
TEST_F(Contract, FreeWhileASyncSendsToTheUiThread) {
  for (bool whole_library : {false, true}) {
    SCOPED_TRACE(whole_library ? "BASS_Free" : "BASS_StreamFree");
    auto* listener = new Listener;
    HSTREAM h = sending_stream(listener);
    ASSERT_TRUE(until_a_send_waits(3000));
    const auto start = Clock::now();
    EXPECT_TRUE(whole_library ? BASS_Free() : BASS_StreamFree(h));
    const long took = ms_since(start);
    EXPECT_LT(took, kMaxWaitMs);
    EXPECT_EQ(listener->inside.load(), 0) << "a callback still runs after the free";
    delete listener;  // a later callback would touch freed memory
    pump_until([] { return false; }, 300);
    EXPECT_EQ(form_->wrong_thread.load(), 0);
    if (whole_library) {
      ASSERT_TRUE(BASS_Init(-1, kRate, 0, nullptr, nullptr));
    }
  }
}

// The program ends: its message loop stops and the main form's destruction frees the
// library while a callback waits in a send to the form.
TEST_F(Contract, ExitWhileASyncSendsToTheUiThread) {
  auto* listener = new Listener;
  sending_stream(listener);
  long took = -1;
  int inside_after = -1;
  form_->on_title = [&] {
    if (form_->titles >= 4) form_->Close();  // ends the message loop
  };
  form_->on_destroy = [&] {
    form_->on_title = nullptr;
    EXPECT_TRUE(until_a_send_waits(3000));
    const auto start = Clock::now();
    EXPECT_TRUE(BASS_Free());
    took = ms_since(start);
    inside_after = listener->inside.load();
  };
  tk::Application::Get().Run();
  EXPECT_GE(took, 0) << "the form was not destroyed";
  EXPECT_LT(took, kMaxWaitMs);
  EXPECT_EQ(inside_after, 0);
  delete listener;
  sleep_ms(300);
  ASSERT_TRUE(BASS_Init(-1, kRate, 0, nullptr, nullptr));
}

// BASS_Free from inside a sync callback: it does not wait for its own caller, waits for
// the other streams' callbacks, and afterwards none of them runs.
TEST_F(Contract, FreeFromInsideASyncCallback) {
  struct Slow {  // another stream's callback, busy for a while each time
    std::atomic<int> inside{0}, calls{0};
    static void CALLBACK sync(HSYNC, DWORD, DWORD, void* user) {
      auto* s = static_cast<Slow*>(user);
      ++s->inside;
      ++s->calls;
      sleep_ms(40);
      --s->inside;
    }
  } slow;
  struct Freer {
    std::atomic<int> result{-1}, other_inside{-1};
    std::atomic<long> took{-1};
    Slow* other = nullptr;
    static void CALLBACK sync(HSYNC, DWORD, DWORD, void* user) {
      auto* f = static_cast<Freer*>(user);
      if (f->result >= 0) return;
      const auto start = Clock::now();
      const BOOL r = BASS_Free();
      f->took = ms_since(start);
      f->other_inside = f->other->inside.load();
      f->result = r;  // last: the test reads the others once it is set
    }
  } freer;
  freer.other = &slow;
  HSTREAM busy = open(kTitles);
  ASSERT_NE(busy, 0u);
  ASSERT_NE(BASS_ChannelSetSync(busy, BASS_SYNC_META, 0, &Slow::sync, &slow), 0u);
  ASSERT_TRUE(BASS_ChannelPlay(busy, FALSE));
  ASSERT_TRUE(pump_until([&] { return slow.calls >= 2; }, 5000));
  HSTREAM self = open(kTitles);
  ASSERT_NE(self, 0u);
  ASSERT_NE(BASS_ChannelSetSync(self, BASS_SYNC_META, 0, &Freer::sync, &freer), 0u);
  ASSERT_TRUE(BASS_ChannelPlay(self, FALSE));
  ASSERT_TRUE(pump_until([&] { return freer.result >= 0; }, 5000));
  EXPECT_EQ(freer.result.load(), TRUE);
  EXPECT_LT(freer.took.load(), kMaxWaitMs);
  EXPECT_EQ(freer.other_inside.load(), 0);
  const int calls = slow.calls;
  sleep_ms(300);
  EXPECT_EQ(slow.calls.load(), calls) << "a callback ran after BASS_Free";
  EXPECT_EQ(BASS_StreamGetFilePosition(busy, BASS_FILEPOS_END), ~static_cast<QWORD>(0));
  ASSERT_TRUE(BASS_Init(-1, kRate, 0, nullptr, nullptr));
}

// The DOWNLOADPROC runs on the library's thread during the creation and sends to the
// creating thread, which waits inside BASS_StreamCreateURL.
TEST_F(Contract, CreateWithADownloadProcThatSendsToTheCreatingThread) {
  struct Head {
    tk::Handle window;
    std::atomic<int> calls{0};
    static void CALLBACK proc(const void* buffer, DWORD length, void* user) {
      auto* h = static_cast<Head*>(user);
      if (!buffer || length != 0) return;
      ++h->calls;
      send_to_ui(h->window);
    }
  };
  auto* head = new Head{form_->GetHandle()};
  for (int i = 0; i < 3; ++i) {
    const auto start = Clock::now();
    HSTREAM h =
        open("/stream/tone440_128k_44100_s.mp3?pace=0", BASS_STREAM_STATUS, &Head::proc, head);
    EXPECT_NE(h, 0u);
    EXPECT_LT(ms_since(start), kMaxWaitMs);
    EXPECT_TRUE(BASS_StreamFree(h));
  }
  EXPECT_EQ(head->calls.load(), 3);
  EXPECT_EQ(form_->titles.load(), 3);
  EXPECT_EQ(form_->wrong_thread.load(), 0);
  delete head;
}

// A callback that is busy for longer than any time-out: the free waits for it, however
// long, so that the callback's data may be freed when the free returns.
TEST_F(Contract, FreeWaitsForARunningCallback) {
  struct Busy {
    std::atomic<int> inside{0};
    std::atomic<bool> hold{true};
    int data[16] = {};
    static void CALLBACK sync(HSYNC, DWORD, DWORD, void* user) {
      auto* b = static_cast<Busy*>(user);
      ++b->inside;
      for (int i = 0; i < 400 && b->hold; ++i) sleep_ms(10);
      b->data[0]++;  // after the wait: use-after-free if the free left early
      --b->inside;
    }
  };
  auto* busy = new Busy;
  HSTREAM h = open(kTitles);
  ASSERT_NE(h, 0u);
  ASSERT_NE(BASS_ChannelSetSync(h, BASS_SYNC_META, 0, &Busy::sync, busy), 0u);
  ASSERT_TRUE(BASS_ChannelPlay(h, FALSE));
  const auto start = Clock::now();
  while (busy->inside == 0 && ms_since(start) < 5000) sleep_ms(1);
  ASSERT_EQ(busy->inside.load(), 1);
  std::thread release([busy] {
    sleep_ms(3300);
    busy->hold = false;
  });
  const auto t0 = Clock::now();
  EXPECT_TRUE(BASS_StreamFree(h));
  EXPECT_GE(ms_since(t0), 3000);
  EXPECT_EQ(busy->inside.load(), 0) << "the free returned while the callback ran";
  release.join();
  delete busy;
  sleep_ms(200);
}

}  // namespace
