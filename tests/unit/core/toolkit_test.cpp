#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "base/errors.h"
#include "click.h"
#include "fresh_application.h"
#include "toolkit/headless/headless.h"
#include "toolkit/skin.h"
#include "toolkit/toolkit.h"

namespace {

using namespace std::chrono_literals;

class RecordingForm : public tk::Form {
 public:
  RecordingForm() : tk::Form("Probe", "Probe") {}
  void WndProc(tk::Message& m) override {
    if (m.msg == tk::kWmUser + 101) {
      handled_on = std::this_thread::get_id();
      last_wparam = m.wparam;
      if (m.wparam == 13) throw base::Error("File not found");
      m.result = static_cast<intptr_t>(m.wparam) * 2;
      return;
    }
    tk::Form::WndProc(m);
  }
  void FormDestroy() override { destroyed = true; }
  std::thread::id handled_on;
  uintptr_t last_wparam = 0;
  bool destroyed = false;
};

class ThrowingCreate : public tk::Form {
 public:
  ThrowingCreate() : tk::Form("Bad", "Bad") {}
  void FormCreate() override {
    step = 1;
    throw base::Error("'x' is not a valid integer value");
    step = 2;  // never reached
  }
  int step = 0;
};

struct ToolkitTest : ::testing::Test {
  void SetUp() override { FreshApplication(); }
  void TearDown() override { tk::Application::Get().DestroyAllForms(); }
};

// Pumps messages until `done` or a bounded time has passed.
void PumpUntil(const std::atomic<bool>& done) {
  for (int i = 0; i < 500 && !done; ++i) {
    tk::Application::Get().ProcessMessages();
    std::this_thread::sleep_for(2ms);
  }
}

TEST_F(ToolkitTest, CrossThreadSendWaitsForTheWindowThread) {
  auto* f = tk::Application::Get().CreateForm<RecordingForm>();
  tk::Handle h = f->GetHandle();
  std::atomic<bool> returned{false};
  intptr_t result = 0;
  std::thread worker([&] {
    result = tk::SendMessageTo(h, tk::kWmUser + 101, 21, 0);
    returned = true;
  });
  std::this_thread::sleep_for(100ms);
  EXPECT_FALSE(returned) << "the sender must wait until the window thread handles the message";
  PumpUntil(returned);
  worker.join();
  EXPECT_TRUE(returned);
  EXPECT_EQ(result, 42);
  EXPECT_EQ(f->handled_on, std::this_thread::get_id());
}

TEST_F(ToolkitTest, SameThreadSendRunsAtOnce) {
  auto* f = tk::Application::Get().CreateForm<RecordingForm>();
  EXPECT_EQ(tk::SendMessageTo(f->GetHandle(), tk::kWmUser + 101, 5, 0), 10);
  EXPECT_EQ(f->last_wparam, 5u);
}

TEST_F(ToolkitTest, SendToAGoneWindowReturnsZero) {
  auto* f = tk::Application::Get().CreateForm<RecordingForm>();
  tk::Handle h = f->GetHandle();
  std::atomic<bool> returned{false};
  intptr_t result = -1;
  std::thread worker([&] {
    result = tk::SendMessageTo(h, tk::kWmUser + 101, 1, 0);
    returned = true;
  });
  std::this_thread::sleep_for(50ms);
  tk::Application::Get().DestroyAllForms();  // the window goes while the sender waits
  for (int i = 0; i < 500 && !returned; ++i) std::this_thread::sleep_for(2ms);
  worker.join();
  EXPECT_EQ(result, 0);
  EXPECT_EQ(tk::SendMessageTo(h, tk::kWmUser + 101, 1, 0), 0);
}

TEST_F(ToolkitTest, HandlerErrorShowsTheErrorBoxAndTheProgramGoesOn) {
  auto* f = tk::Application::Get().CreateForm<RecordingForm>();
  tk::headless::ClearMessageBoxes();
  EXPECT_EQ(tk::SendMessageTo(f->GetHandle(), tk::kWmUser + 101, 13, 0), 0);
  auto boxes = tk::headless::MessageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "File not found");
  EXPECT_EQ(boxes[0].caption, "Тиволна");
  EXPECT_EQ(boxes[0].flags, tk::kMbOk | tk::kMbIconError);
  EXPECT_EQ(tk::SendMessageTo(f->GetHandle(), tk::kWmUser + 101, 4, 0), 8);
}

TEST_F(ToolkitTest, FailedCreationHandlerStillCreatesTheForm) {
  auto* bad = tk::Application::Get().CreateForm<ThrowingCreate>();
  auto* next = tk::Application::Get().CreateForm<RecordingForm>();
  EXPECT_EQ(bad->step, 1);
  EXPECT_EQ(tk::Application::Get().MainForm(), bad);
  EXPECT_TRUE(bad->Visible());  // the main form is shown after creation
  EXPECT_FALSE(next->Visible());
  auto boxes = tk::headless::MessageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "'x' is not a valid integer value");
}

TEST_F(ToolkitTest, ClosingTheMainFormEndsTheLoopAndDestroysForms) {
  auto* main = tk::Application::Get().CreateForm<RecordingForm>();
  auto* second = tk::Application::Get().CreateForm<RecordingForm>();
  tk::Handle h = main->GetHandle();
  std::thread closer([h] { tk::SendMessageTo(h, tk::kWmClose, 0, 0); });
  tk::Application::Get().Run();  // returns once kWmClose has been handled
  closer.join();
  EXPECT_TRUE(main->destroyed);
  EXPECT_TRUE(second->destroyed);
  EXPECT_FALSE(tk::headless::Window(h).exists);
}

TEST_F(ToolkitTest, ClosingASecondaryFormOnlyHidesIt) {
  auto* main = tk::Application::Get().CreateForm<RecordingForm>();
  auto* second = tk::Application::Get().CreateForm<RecordingForm>();
  second->Show();
  tk::SendMessageTo(second->GetHandle(), tk::kWmClose, 0, 0);
  EXPECT_FALSE(second->Visible());
  EXPECT_FALSE(tk::headless::Window(second->GetHandle()).visible);
  EXPECT_TRUE(main->Visible());
  EXPECT_TRUE(tk::headless::Window(second->GetHandle()).exists);
}

}  // namespace

// --- Controls, timers, posting, drawing ---

namespace {

class Panel : public tk::Form {
 public:
  Panel()
      : tk::Form("Panel", "Panel"), slider(this, "slider", {10, 10, 207, 31}, 0, 100, 25),
        button(this, "button", {10, 50, 55, 23}), box(this, "box", {10, 80, 150, 19}, "Box") {
    SetBounds(0, 0, 300, 120);
    slider.OnChange = [this] { changes.push_back(slider.Position()); };
    button.OnClick = [this] { ++clicks; };
    box.OnClick = [this] { box_events.push_back(box.Checked()); };
  }
  tk::TrackBar slider;
  tk::Button button;
  tk::CheckBox box;
  std::vector<int> changes;
  int clicks = 0;
  std::vector<bool> box_events;
};

struct ControlsTest : ToolkitTest {
  Panel* f = nullptr;
  void SetUp() override {
    ToolkitTest::SetUp();
    f = tk::Application::Get().CreateForm<Panel>();
  }
};

TEST_F(ControlsTest, SliderClampsAndReportsOnlyRealChanges) {
  tk::TrackBar& s = f->slider;
  const struct {
    int set, expect;
  } cases[] = {{30, 30}, {30, 30}, {150, 100}, {100, 100}, {-5, 0}, {0, 0}, {25, 25}};
  std::vector<int> want;
  int last = s.Position();
  for (auto c : cases) {
    s.SetPosition(c.set);
    EXPECT_EQ(s.Position(), c.expect);
    if (c.expect != last) want.push_back(c.expect);
    last = c.expect;
  }
  EXPECT_EQ(f->changes, want);
}

TEST_F(ControlsTest, SliderKeysWheelAndMouse) {
  tk::TrackBar& s = f->slider;
  const struct {
    int vk, expect;
  } keys[] = {{tk::kVkRight, 26}, {tk::kVkUp, 27},   {tk::kVkLeft, 26}, {tk::kVkDown, 25},
              {tk::kVkPrior, 35}, {tk::kVkNext, 25}, {tk::kVkEnd, 100}, {tk::kVkHome, 0}};
  for (auto k : keys) {
    EXPECT_TRUE(tk::headless::KeyDown(s, k.vk));
    EXPECT_EQ(s.Position(), k.expect) << k.vk;
  }
  EXPECT_FALSE(tk::headless::KeyDown(s, 'A'));
  tk::headless::Wheel(*f, 50, 20, 2);
  EXPECT_EQ(s.Position(), 10);
  tk::headless::Wheel(*f, 50, 20, -3);
  EXPECT_EQ(s.Position(), 0);
  // A press on the track moves the thumb there; dragging follows the mouse, also past the end.
  tk::Rect t = s.ThumbRect();
  int right_end = 10 + s.Width() - tk::skin::kTrackMargin - t.width / 2;
  tk::headless::MouseDown(*f, right_end, 25);
  EXPECT_EQ(s.Position(), 100);
  EXPECT_EQ(tk::headless::FocusedWindow(), s.GetHandle()) << "a press gives the slider the focus";
  tk::headless::MouseMove(*f, 10 + s.Width() / 2, 25);
  EXPECT_NEAR(s.Position(), 50, 1);
  tk::headless::MouseMove(*f, -40, 25);
  EXPECT_EQ(s.Position(), 0);
  tk::headless::MouseUp(*f, -40, 25);
  tk::headless::MouseMove(*f, 10 + s.Width() / 2, 25);
  EXPECT_EQ(s.Position(), 0) << "released: moving no longer drags";
  // Grabbing the thumb off its centre does not make it jump.
  s.SetPosition(40);
  t = s.ThumbRect();
  tk::headless::MouseDown(*f, 10 + t.left + 1, 25);
  EXPECT_EQ(s.Position(), 40);
  tk::headless::MouseUp(*f, 10 + t.left + 1, 25);
  // Disabled: nothing moves it.
  s.SetEnabled(false);
  EXPECT_FALSE(tk::headless::KeyDown(s, tk::kVkRight));
  tk::headless::MouseDown(*f, 12, 25);
  EXPECT_EQ(s.Position(), 40);
}

TEST_F(ControlsTest, ButtonClicksOnlyWhenEnabledAndReleasedInside) {
  tk::headless::ClickOn(f->button);
  EXPECT_EQ(f->clicks, 1);
  tk::headless::MouseDown(*f, 30, 60);
  tk::headless::MouseUp(*f, 200, 110);  // released elsewhere: no click
  EXPECT_EQ(f->clicks, 1);
  tk::headless::ClickOn(f->button, tk::MouseButton::kRight);
  EXPECT_EQ(f->clicks, 1);
  EXPECT_TRUE(tk::headless::KeyDown(f->button, tk::kVkSpace));
  EXPECT_EQ(f->clicks, 2);
  f->button.SetEnabled(false);
  EXPECT_FALSE(tk::headless::Window(f->button.GetHandle()).enabled);
  tk::headless::ClickOn(f->button);
  EXPECT_FALSE(tk::headless::KeyDown(f->button, tk::kVkSpace));
  EXPECT_EQ(f->clicks, 2);
}

TEST_F(ControlsTest, CheckBoxReportsEveryChangeWhoeverMakesIt) {
  f->box.SetChecked(true);        // by the program
  f->box.SetChecked(true);        // no change, no event
  tk::headless::ClickOn(f->box);  // by the user
  tk::headless::KeyDown(f->box, tk::kVkSpace);
  EXPECT_EQ(f->box_events, (std::vector<bool>{true, false, true}));
}

TEST_F(ControlsTest, DisabledLooksDifferent) {
  tk::Bitmap on = tk::headless::Render(*f);
  f->button.SetEnabled(false);
  f->slider.SetEnabled(false);
  tk::Bitmap off = tk::headless::Render(*f);
  auto differs = [&](const tk::Rect& r) {
    for (int y = r.top; y < r.Bottom(); ++y)
      for (int x = r.left; x < r.Right(); ++x)
        if (on.At(x, y) != off.At(x, y)) return true;
    return false;
  };
  EXPECT_TRUE(differs(f->button.Bounds()));
  EXPECT_TRUE(differs(f->slider.Bounds()));
  EXPECT_FALSE(differs(f->box.Bounds()));
}

TEST_F(ToolkitTest, TimersFireAtTheirIntervalUntilDisabled) {
  tk::Timer t(100, false);
  int fired = 0;
  t.OnTimer = [&] {
    if (++fired == 3) t.SetEnabled(false);
  };
  tk::headless::AdvanceTime(1000);
  EXPECT_EQ(fired, 0);
  t.SetEnabled(true);
  tk::headless::AdvanceTime(99);
  EXPECT_EQ(fired, 0);
  tk::headless::AdvanceTime(1);
  EXPECT_EQ(fired, 1);
  tk::headless::AdvanceTime(1000);
  EXPECT_EQ(fired, 3);
  EXPECT_EQ(tk::headless::ActiveTimers(), 0);
}

TEST_F(ToolkitTest, PostedWorkRunsOnTheWindowThreadInOrder) {
  std::vector<int> order;
  std::vector<std::thread::id> threads;
  std::thread poster([&] {
    for (int i = 0; i < 3; ++i)
      tk::Application::Get().Post([&, i] {
        order.push_back(i);
        threads.push_back(std::this_thread::get_id());
        if (i == 1) throw base::Error("File not found");  // the error box, and the next one runs
      });
  });
  poster.join();
  EXPECT_TRUE(order.empty()) << "nothing runs before messages are handled";
  tk::HandleSentMessages();
  EXPECT_TRUE(order.empty()) << "handling sent messages runs no posted work";
  tk::Application::Get().ProcessMessages();
  EXPECT_EQ(order, (std::vector<int>{0, 1, 2}));
  for (auto id : threads) EXPECT_EQ(id, std::this_thread::get_id());
  ASSERT_EQ(tk::headless::MessageBoxes().size(), 1u);
  EXPECT_EQ(tk::headless::MessageBoxes()[0].text, "File not found");
}

TEST_F(ToolkitTest, WorkAsideKeepsMessagesFlowingAndPassesItsErrorOn) {
  std::atomic<bool> posted_ran{false}, seen_by_work{false};
  std::thread::id ui = std::this_thread::get_id(), posted_on;
  tk::Application::Get().RunAside([&] {
    EXPECT_NE(std::this_thread::get_id(), ui);
    tk::Application::Get().Post([&] {
      posted_on = std::this_thread::get_id();
      posted_ran = true;
    });
    for (int i = 0; i < 200 && !posted_ran; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    seen_by_work = posted_ran.load();
  });
  EXPECT_TRUE(seen_by_work) << "posted work ran while the work was still waiting";
  EXPECT_EQ(posted_on, ui);
  EXPECT_THROW(tk::Application::Get().RunAside([] { throw base::Error("File not found"); }),
               base::Error);
}

TEST(CanvasTest, CoverageIsExactAtEdges) {
  tk::Bitmap b(8, 4, tk::Rgb(0, 0, 0));
  tk::Canvas c(tk::ViewOf(b));
  c.SetOpaqueTarget(true);
  tk::Path p;
  p.AddRect(1.5, 0, 3, 4);  // half of pixel 1, all of 2 and 3, half of 4
  c.FillPath(p, tk::Rgb(255, 255, 255));
  const int want[] = {0, 128, 255, 255, 128, 0, 0, 0};
  for (int x = 0; x < 8; ++x) EXPECT_NEAR(tk::RedOf(b.At(x, 2)), want[x], 2) << x;
  // A disc covers about pi r^2.
  tk::Bitmap d(40, 40, tk::Rgb(0, 0, 0));
  tk::Canvas dc(tk::ViewOf(d));
  dc.SetOpaqueTarget(true);
  tk::Path circle;
  circle.AddEllipse(20, 20, 15, 15);
  dc.FillPath(circle, tk::Rgb(255, 255, 255));
  double area = 0;
  for (tk::Colour px : d.pixels) area += tk::RedOf(px) / 255.0;
  EXPECT_NEAR(area, 3.14159 * 225, 6);
  // A hole cuts through.
  tk::Path ring;
  ring.AddEllipse(20, 20, 15, 15).AddEllipse(20, 20, 5, 5).ReverseLast();
  tk::Bitmap r(40, 40, tk::Rgb(0, 0, 0));
  tk::Canvas rc(tk::ViewOf(r));
  rc.FillPath(ring, tk::Rgb(255, 255, 255));
  EXPECT_EQ(tk::RedOf(r.At(20, 20)), 0);
  EXPECT_EQ(tk::RedOf(r.At(20, 10)), 255);
}

TEST(CanvasTest, ShrinkingAveragesAndKeepsTransparentEdgesClean) {
  // A 4x4 checkerboard of black and white shrinks to an even grey, not to one of the two.
  tk::Bitmap board(4, 4);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x)
      board.At(x, y) = (x + y) % 2 ? tk::Rgb(255, 255, 255) : tk::Rgb(0, 0, 0);
  tk::Bitmap small = tk::Resample(board, 2, 2);
  for (tk::Colour px : small.pixels) EXPECT_NEAR(tk::RedOf(px), 128, 1);
  // Transparent black next to opaque red must not darken the red.
  tk::Bitmap edge(2, 1);
  edge.At(0, 0) = tk::Argb(0, 0, 0, 0);
  edge.At(1, 0) = tk::Rgb(255, 0, 0);
  tk::Colour m = tk::Resample(edge, 1, 1).At(0, 0);
  EXPECT_EQ(tk::RedOf(m), 255);
  EXPECT_NEAR(tk::AlphaOf(m), 128, 1);
}

TEST(CanvasTest, LongTextEndsInAnEllipsis) {
  tk::Font f;
  f.height = 10;
  tk::TextRenderer& t = tk::SharedText();
  EXPECT_EQ(tk::FitText(&t, "Short", f, 1000), "Short");
  std::string cut = tk::FitText(&t, "Очень длинное название станции", f, 60);
  EXPECT_LE(t.Measure(cut, f).width, 60);
  EXPECT_EQ(cut.substr(cut.size() - 3), "\xE2\x80\xA6");
  EXPECT_EQ(cut.rfind("Очень", 0), 0u) << "cut at whole characters: " << cut;
}

}  // namespace

// --- The thread rule ---

namespace {

using ThreadRuleDeathTest = ControlsTest;

void OnWorker(const std::function<void()>& call) { std::thread(call).join(); }

TEST_F(ThreadRuleDeathTest, WrongThreadCallsDieNamingTheCall) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_TRUE(tk::IsUiThread());
  bool worker_is_ui = true;
  OnWorker([&] { worker_is_ui = tk::IsUiThread(); });
  EXPECT_FALSE(worker_is_ui);
  tk::Timer timer(1000, false);
  struct {
    const char* call;
    std::function<void()> run;
  } cases[] = {
      {"Form::Show", [&] { f->Show(); }},
      {"Control::SetEnabled", [&] { f->button.SetEnabled(false); }},
      {"TrackBar::SetPosition", [&] { f->slider.SetPosition(60); }},
      {"CheckBox::SetChecked", [&] { f->box.SetChecked(true); }},
      {"Timer::SetEnabled", [&] { timer.SetEnabled(true); }},
      {"Application::ShowMessage", [] { tk::Application::Get().ShowMessage("x"); }},
  };
  for (auto& c : cases)
    EXPECT_DEATH(OnWorker(c.run), std::string(c.call) + ".*called off the user-interface thread")
        << c.call;
  // Nothing of it happened here.
  EXPECT_EQ(f->slider.Position(), 25);
  EXPECT_TRUE(f->button.Enabled());
}

TEST_F(ControlsTest, WorkPostedFromAWorkerMayUseTheControls) {
  OnWorker([&] {
    tk::Application::Get().Post([&] {
      f->slider.SetPosition(70);
      f->button.SetEnabled(false);
    });
  });
  tk::Application::Get().ProcessMessages();
  EXPECT_EQ(f->changes, std::vector<int>{70});
  EXPECT_FALSE(f->button.Enabled());
  EXPECT_TRUE(tk::headless::MessageBoxes().empty());
}

}  // namespace
