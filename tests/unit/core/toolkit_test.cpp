#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "base/errors.h"
#include "toolkit/headless/headless.h"
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
  void SetUp() override {
    tk::Application::Get().DestroyAllForms();
    tk::headless::Reset();
    tk::Application::Get().Initialize();
    tk::Application::Get().Title = "Тиволна";
  }
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
  EXPECT_TRUE(bad->Visible());   // the main form is shown after creation
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
