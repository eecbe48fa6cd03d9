// The main window's face and handlers on the headless platform.
#include <gtest/gtest.h>

#include <memory>

#include "audio/test_hooks.h"
#include "audio/bass.h"
#include "app/build_config.h"
#include "base/codepage.h"
#include "click.h"
#include "fresh_application.h"
#include "test_util.h"
#include "toolkit/headless/headless.h"
#include "ui/dialogs/dialogs.h"
#include "ui/forms.h"
#include "ui/main/form1.h"
#include "ui/main/rus_clipboard.h"

namespace {

using tk::headless::ClipboardLog;
using tk::headless::MessageBoxes;

struct MainWindowTest : ::testing::Test {
  TempExeFolder dir;
  ui::TForm1* form = nullptr;

  void SetUp() override {
    tk::Application& app = FreshApplication();
    audio::test_hooks::SetNoOutputDevice(false);
    tk::SetClipboard(std::make_unique<ui::TRusClipboard>());
    form = app.CreateForm<ui::TForm1>();
    tk::headless::ClearMessageBoxes();
  }
  void TearDown() override {
    tk::headless::HoldClipboardElsewhere(false);
    tk::Application::Get().DestroyAllForms();
    BASS_Free();
  }
  tk::Handle Main() { return form->GetHandle(); }
};

TEST_F(MainWindowTest, FaceHasEveryControlWhereItBelongs) {
  struct Row {
    const char* name;
    tk::Rect bounds;
    const char* hint;
    tk::Cursor cursor;
  };
  using C = tk::Cursor;
  const Row rows[] = {
      {"Image1", {0, 0, 501, 373}, "", C::kArrow},
      {"Image3", {8, 10, 30, 31}, "Избранное", C::kHand},
      {"Image4", {456, 3, 33, 31}, "Закрыть тиволну", C::kHand},
      {"Image5", {420, 3, 33, 31}, "Свернуть тиволну в трей", C::kHand},
      {"sBitBtn2", {10, 50, 55, 23}, "Включить радиостанцию", C::kHand},
      {"sBitBtn3", {69, 50, 55, 23}, "Выключить радиостанцию", C::kHand},
      {"Image2", {139, 53, 18, 17}, "Выключить звук", C::kHand},
      {"sTrackBar1", {158, 48, 307, 31}, "Громкость", C::kHand},
      {"Image8", {439, 350, 16, 18}, "Редактировать радиостанцию", C::kHand},
      {"Image7", {456, 350, 17, 17}, "Настройки", C::kHand},
      {"Image6", {475, 350, 17, 18}, "Тиволна 1.4.1\nНажмите для перехода на сайт", C::kHand},
      {"Panel1", {505, 70, 57, 36}, "", C::kArrow},
  };
  for (const Row& r : rows) {
    tk::Control* c = form->FindControl(r.name);
    ASSERT_NE(c, nullptr) << r.name;
    EXPECT_EQ(c->Bounds(), r.bounds) << r.name;
    EXPECT_EQ(c->Hint(), r.hint) << r.name;
    EXPECT_EQ(c->GetCursor(), r.cursor) << r.name;
  }
  // Labels: position, caption, font; those whose width follows the text.
  struct LabelRow {
    tk::Label* label;
    int left, top;
    const char* caption;
    const char* font;
    int height;
    tk::Cursor cursor;
  };
  const LabelRow labels[] = {
      {&form->RxLabel6, 39, 9, "Тиволна - Бесплатное радио!", "Century Gothic", 20, C::kArrow},
      {&form->RxLabel7, 40, 31, "", "Arial Narrow", 12, C::kHand},
      {&form->RxLabel5, 463, 51, "25", "Century Gothic", 15, C::kArrow},
      {&form->RxLabel2, 17, 350, "РАДИОСТАНЦИИ", "Century Gothic", 12, C::kHand},
      {&form->RxLabel3, 201, 350, "ИЗБРАННОЕ", "Century Gothic", 12, C::kHand},
      {&form->RxLabel1, 328, 350, app::kProductSiteName, "Century Gothic", 13, C::kArrow},
  };
  for (const LabelRow& l : labels) {
    EXPECT_EQ(l.label->Left(), l.left) << l.caption;
    EXPECT_EQ(l.label->Top(), l.top) << l.caption;
    EXPECT_EQ(l.label->Caption(), l.caption);
    EXPECT_EQ(l.label->GetFont().name, l.font) << l.caption;
    EXPECT_EQ(l.label->GetFont().height, l.height) << l.caption;
    EXPECT_EQ(l.label->GetCursor(), l.cursor) << l.caption;
  }
  EXPECT_TRUE(form->RxLabel6.GetFont().style & tk::kBold);
  EXPECT_EQ(form->RxLabel2.Hint(), "Все радиостанции");
  EXPECT_EQ(form->RxLabel3.Hint(), "Избранные радиостанции");
  EXPECT_EQ(form->RxLabel5.Hint(), "Уровень звука");
  // Start state: buttons off, slider at 25, hidden controls hidden, icon in the tray.
  EXPECT_FALSE(form->sBitBtn2.Enabled());
  EXPECT_FALSE(form->sBitBtn3.Enabled());
  EXPECT_EQ(form->sTrackBar1.Position(), 25);
  EXPECT_EQ(form->sTrackBar1.ThumbLength(), 26);
  for (tk::Control* c :
       std::initializer_list<tk::Control*>{&form->Button1, &form->Button2, &form->Button3,
                                           &form->Memo1, &form->Memo2, &form->Panel1})
    EXPECT_FALSE(c->Visible()) << c->Name();
  EXPECT_EQ(form->Button1.Caption(), "<>");
  EXPECT_EQ(form->Button2.Caption(), "||");
  auto tray = tk::headless::Tray(form->RxTrayIcon1);
  EXPECT_TRUE(tray.shown);
  EXPECT_EQ(tray.hint, "Тиволна");
  EXPECT_FALSE(form->Timer1.Enabled());
  EXPECT_EQ(form->Timer1.Interval(), 10000);
}

TEST_F(MainWindowTest, FaceIsSeeThroughOnlyOutsideItsRoundedBody) {
  tk::Bitmap shot = tk::headless::Render(*form);
  ASSERT_EQ(shot.width, 501);
  for (auto [x, y] : {std::pair{0, 0}, {500, 0}, {0, 372}, {500, 372}, {2, 2}})
    EXPECT_TRUE(tk::IsColourKey(shot.At(x, y))) << x << "," << y;
  int lime = 0;
  for (int y = 12; y < 361; ++y)
    for (int x = 12; x < 489; ++x) lime += tk::IsColourKey(shot.At(x, y));
  EXPECT_EQ(lime, 0) << "no hole inside the body";
  // The tile well is the grids' colour.
  EXPECT_EQ(shot.At(200, 200) & 0xFFFFFF, tk::FromBgr(16448251) & 0xFFFFFF);
}

TEST_F(MainWindowTest, PressOnBackgroundOrTitleMovesTheWindow) {
  const struct {
    int x, y;
    tk::MouseButton b;
  } presses[] = {{4, 200, tk::MouseButton::kLeft},       // background picture, beside the grid
                 {60, 18, tk::MouseButton::kRight},      // title label
                 {100, 370, tk::MouseButton::kMiddle}};  // the footer
  int n = 0;
  for (auto p : presses) {
    int releases = tk::headless::CaptureReleases();
    tk::headless::MouseDown(*form, p.x, p.y, p.b);
    tk::headless::MouseUp(*form, p.x, p.y, p.b);
    EXPECT_EQ(tk::headless::CaptureReleases(), releases + 1);
    EXPECT_EQ(tk::headless::DragMoves().size(), static_cast<size_t>(++n));
  }
  // A press on a picture does not move the window.
  tk::headless::ClickOn(form->Image3);
  EXPECT_EQ(tk::headless::DragMoves().size(), static_cast<size_t>(n));
}

TEST_F(MainWindowTest, TrayRoundTrip) {
  form->RxLabel6.SetCaption("Радио Тест");
  tk::headless::ClickOn(form->Image5);
  EXPECT_FALSE(form->Visible());
  EXPECT_FALSE(tk::headless::Window(Main()).visible);
  auto tray = tk::headless::Tray(form->RxTrayIcon1);
  EXPECT_TRUE(tray.shown);
  EXPECT_EQ(tray.hint, "Радио Тест");

  form->RxTrayIcon1.LeftClick();  // shows the window, the icon stays
  EXPECT_TRUE(tk::headless::Window(Main()).visible);
  EXPECT_TRUE(tk::headless::Tray(form->RxTrayIcon1).shown);
  form->RxTrayIcon1.LeftClick();  // already showing: stays shown
  EXPECT_TRUE(tk::headless::Window(Main()).visible);

  form->Hide();
  tk::headless::ChooseInNextMenu("N1");
  form->RxTrayIcon1.RightClick(30, 40);  // menu at the pointer; "Открыть" removes the icon
  EXPECT_TRUE(tk::headless::Window(Main()).visible);
  EXPECT_FALSE(tk::headless::Tray(form->RxTrayIcon1).shown);
  ASSERT_EQ(tk::headless::Menus().size(), 1u);
  EXPECT_EQ(tk::headless::Menus()[0].at, (tk::Point{30, 40}));

  tk::headless::ClickOn(form->Image5);  // and back into the tray: the icon returns
  EXPECT_TRUE(tk::headless::Tray(form->RxTrayIcon1).shown);
}

// The other windows have no taskbar button: they go into the notification area with the
// main window and come back with it, by the icon or by the menu's first item.
TEST_F(MainWindowTest, OtherWindowsGoIntoTheTrayWithTheMainWindow) {
  tk::Application& app = tk::Application::Get();
  Form1 = form;
  Form2 = app.CreateForm<ui::TForm2>();
  Form3 = app.CreateForm<ui::TForm3>();
  Form4 = app.CreateForm<ui::TForm4>();
  form->RxLabel6.SetCaption("Станция");  // the editor opens only for a chosen station
  const struct {
    bool settings, editor, notice;
    const char* back;  // "icon" or the menu item
  } cases[] = {{true, false, false, "icon"},
               {true, true, true, "N1"},
               {false, true, false, "icon"},
               {false, false, false, "N1"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.back);
    if (c.settings) form->Image7Click();
    if (c.editor) form->Image8Click();
    if (c.notice) Form4->Show();
    tk::headless::ClickOn(form->Image5);
    for (tk::Form* f : {static_cast<tk::Form*>(form), static_cast<tk::Form*>(Form2),
                        static_cast<tk::Form*>(Form3), static_cast<tk::Form*>(Form4)})
      EXPECT_FALSE(tk::headless::Window(f->GetHandle()).visible) << f->Caption();
    if (std::string(c.back) == "icon") {
      form->RxTrayIcon1.LeftClick();
    } else {
      tk::headless::ChooseInNextMenu(c.back);
      form->RxTrayIcon1.RightClick(0, 0);
    }
    EXPECT_TRUE(tk::headless::Window(Main()).visible);
    EXPECT_EQ(tk::headless::Window(Form2->GetHandle()).visible, c.settings);
    EXPECT_EQ(tk::headless::Window(Form3->GetHandle()).visible, c.editor);
    EXPECT_EQ(tk::headless::Window(Form4->GetHandle()).visible, c.notice);
    for (tk::Form* f : {static_cast<tk::Form*>(Form2), static_cast<tk::Form*>(Form3),
                        static_cast<tk::Form*>(Form4)})
      f->Hide();
  }
  // Opened and closed again from the tray menu while the main window is away: it stays closed.
  form->Image7Click();
  form->Image5Click();
  for (int i = 0; i < 2; ++i) {
    tk::headless::ChooseInNextMenu("N9");
    form->RxTrayIcon1.RightClick(0, 0);
  }
  EXPECT_FALSE(Form2->Visible());
  form->RxTrayIcon1.LeftClick();
  EXPECT_FALSE(Form2->Visible());
}

// The labels that take the window-text colour and the grid cells that take the window
// colour follow the scheme; the default scheme gives the default look.
TEST_F(MainWindowTest, LabelsAndGridCellsFollowTheSystemColours) {
  using tk::Rgb;
  for (tk::Label* l :
       {&form->RxLabel7, &form->RxLabel5, &form->RxLabel1, &form->RxLabel6, &form->RxLabel2})
    EXPECT_EQ(l->GetFont().colour, Rgb(0, 0, 0)) << l->Name();
  EXPECT_EQ(form->NextGrid2.CellColour(), Rgb(255, 255, 255));
  // A high-contrast scheme: light text on black.
  tk::headless::SetSystemColour(8, Rgb(255, 255, 0));
  tk::headless::SetSystemColour(5, Rgb(0, 0, 0));
  tk::SendMessageTo(Main(), tk::kWmSysColorChange, 0, 0);
  for (tk::Label* l : {&form->RxLabel7, &form->RxLabel5, &form->RxLabel1})
    EXPECT_EQ(l->GetFont().colour, Rgb(255, 255, 0)) << l->Name();
  for (tk::Label* l : {&form->RxLabel6, &form->RxLabel2, &form->RxLabel3})
    EXPECT_EQ(l->GetFont().colour, Rgb(0, 0, 0)) << l->Name() << " is black by design";
  EXPECT_EQ(form->NextGrid2.CellColour(), Rgb(0, 0, 0));
  EXPECT_EQ(form->NextGrid1.CellColour(), tk::FromBgr(16448251)) << "start-up's own colour stays";
}

TEST_F(MainWindowTest, VolumeNumberKeepsItsDesignWidth) {
  for (int v : {0, 5, 25, 100}) {
    form->sTrackBar1.SetPosition(v);
    EXPECT_GE(form->RxLabel5.Width(), 18) << v;
  }
  EXPECT_GT(form->RxLabel5.Width(), 18) << "\"100\" is wider than the design";
}

TEST_F(MainWindowTest, TrayMenuItemsAndMuteCaption) {
  tk::headless::ChooseInNextMenu("");
  form->RxTrayIcon1.RightClick(0, 0);
  ASSERT_EQ(tk::headless::Menus().size(), 1u);
  auto m = tk::headless::Menus()[0];
  EXPECT_EQ(m.captions,
            (std::vector<std::string>{"&Открыть Тиволну", "Настройка...", "&Включить радиостанцию",
                                      "В&ыключить радиостанцию", "Выключить звук",
                                      "Онлайн справка (FAQ)", "&Выход"}));
  EXPECT_EQ(m.has_picture, (std::vector<bool>{false, true, true, true, true, true, true}));
  // The mute item's caption follows the mute picture's hint each time the menu opens.
  form->Image2.SetHint("Включить звук");
  form->RxTrayIcon1.RightClick(0, 0);
  EXPECT_EQ(tk::headless::Menus()[1].captions[4], "Включить звук");
  form->Image2.SetHint("Выключить звук");
  form->RxTrayIcon1.RightClick(0, 0);
  EXPECT_EQ(tk::headless::Menus()[2].captions[4], "Выключить звук");
  EXPECT_EQ(tk::AccessKeyOf(m.captions[3]), "Ы");
}

TEST_F(MainWindowTest, ExitFromTheMenuEndsTheLoop) {
  tk::Handle h = Main();
  tk::headless::ChooseInNextMenu("N4");
  tk::Application::Get().Post([this] { form->RxTrayIcon1.RightClick(0, 0); });
  tk::Application::Get().Run();  // returns once the main window has closed
  EXPECT_FALSE(tk::headless::Window(h).exists);
  EXPECT_FALSE(tk::headless::Tray(form->RxTrayIcon1).shown) << "no icon outlives the program";
  EXPECT_TRUE(MessageBoxes().empty());
}

TEST_F(MainWindowTest, WebSiteOpensFromSitePictureAndHelpItemOnly) {
  tk::headless::ClickOn(form->RxLabel1);  // the site name does nothing
  EXPECT_TRUE(tk::headless::ShellOpens().empty());
  tk::headless::ClickOn(form->Image6);
  tk::headless::ChooseInNextMenu("N7");
  form->RxTrayIcon1.RightClick(0, 0);
  EXPECT_EQ(tk::headless::ShellOpens(),
            (std::vector<std::string>{app::kProductSiteUrl,
                                      std::string(app::kProductSiteUrl) + "/help.html"}));
}

TEST_F(MainWindowTest, StatusLabelUnderlineFollowsTheMouseAndKeepsOtherStyle) {
  form->RxLabel7.SetCaption("Исполнитель - Песня");
  form->RxLabel7.SetFontStyle(tk::kBold | tk::kItalic);
  tk::headless::MouseMove(*form, 50, 38);
  EXPECT_EQ(form->RxLabel7.FontStyle(), tk::kBold | tk::kItalic | tk::kUnderline);
  tk::headless::MouseMove(*form, 50, 38);  // staying inside changes nothing
  EXPECT_EQ(form->RxLabel7.FontStyle(), tk::kBold | tk::kItalic | tk::kUnderline);
  tk::headless::MouseMove(*form, 250, 200);
  EXPECT_EQ(form->RxLabel7.FontStyle(), tk::kBold | tk::kItalic);
  tk::headless::MouseMove(*form, 50, 38);
  tk::headless::MouseLeave(*form);
  EXPECT_EQ(form->RxLabel7.FontStyle(), tk::kBold | tk::kItalic);
}

TEST_F(MainWindowTest, StatusLabelPressCopiesWithTheRussianLocale) {
  const std::string title = "Исполнитель - Песня";
  form->RxLabel7.SetCaption(title);
  const std::string text_hex = [&] {
    std::string cp = base::Utf8ToCp1251(title), out;
    for (unsigned char ch : cp) {
      const char* d = "0123456789abcdef";
      out += d[ch >> 4];
      out += d[ch & 15];
    }
    return out + "00";
  }();
  for (tk::MouseButton b :
       {tk::MouseButton::kRight, tk::MouseButton::kLeft, tk::MouseButton::kMiddle}) {
    tk::headless::ClearClipboardLog();
    tk::headless::ClearMessageBoxes();
    tk::headless::ClickOn(form->RxLabel7, b);
    // Opened once for real, the locale written on every open and close, and only the
    // outermost close closes.
    EXPECT_EQ(ClipboardLog(),
              (std::vector<std::string>{"open", "set 16 19040000", "set 16 19040000", "empty",
                                        "set 16 19040000", "set 1 " + text_hex, "set 16 19040000",
                                        "close"}));
    auto contents = tk::headless::ClipboardContents();
    EXPECT_EQ(contents.size(), 2u);
    EXPECT_EQ(contents[tk::kCfText], base::Utf8ToCp1251(title) + std::string(1, '\0'));
    EXPECT_EQ(contents[tk::kCfLocale], std::string("\x19\x04\0\0", 4));
    EXPECT_FALSE(tk::headless::ClipboardIsOpen());
    ASSERT_EQ(MessageBoxes().size(), 1u);
    EXPECT_EQ(MessageBoxes()[0].text, "Название композиции сохранено в буфер.");
    EXPECT_EQ(MessageBoxes()[0].caption, "Тиволна");
    EXPECT_EQ(MessageBoxes()[0].flags, tk::kMbOk);
  }
}

TEST_F(MainWindowTest, CopyingAnEmptyStatusGivesEmptyTextAndTheConfirmation) {
  form->RxLabel7.MouseDown({tk::MouseButton::kLeft, 0, 0, 0});
  auto contents = tk::headless::ClipboardContents();
  EXPECT_EQ(contents[tk::kCfText], std::string(1, '\0'));
  EXPECT_EQ(contents[tk::kCfLocale], std::string("\x19\x04\0\0", 4));
  ASSERT_EQ(MessageBoxes().size(), 1u);
  EXPECT_EQ(MessageBoxes()[0].text, "Название композиции сохранено в буфер.");
}

TEST_F(MainWindowTest, ClipboardHeldElsewhereGivesTheErrorAndNoConfirmation) {
  form->RxLabel7.SetCaption("Песня");
  tk::headless::HoldClipboardElsewhere(true);
  tk::headless::MouseDown(*form, 45, 38);
  ASSERT_EQ(MessageBoxes().size(), 1u);
  EXPECT_EQ(MessageBoxes()[0].text, "Cannot open clipboard");
  EXPECT_EQ(MessageBoxes()[0].flags, tk::kMbOk | tk::kMbIconError);
  EXPECT_TRUE(ClipboardLog().empty());
  EXPECT_EQ(tk::TheClipboard().OpenCount(), 0);
  // Once the other program lets go, copying works again.
  tk::headless::HoldClipboardElsewhere(false);
  tk::headless::MouseUp(*form, 45, 38);
  tk::headless::MouseDown(*form, 45, 38);
  EXPECT_EQ(tk::headless::ClipboardContents()[tk::kCfText],
            std::string("\xcf\xe5\xf1\xed\xff\0", 6));
}

TEST_F(MainWindowTest, HintsAppearAfterTheMouseRestsAndGoOnAPress) {
  tk::headless::MouseMove(*form, 470, 18);  // Image4
  tk::headless::AdvanceTime(tk::Application::kHintPauseMs - 50);
  EXPECT_FALSE(tk::headless::Hint().shown);
  tk::headless::AdvanceTime(100);
  auto h = tk::headless::Hint();
  EXPECT_TRUE(h.shown);
  EXPECT_EQ(h.text, "Закрыть тиволну");
  EXPECT_EQ(h.at, (tk::Point{form->Left() + 470, form->Top() + 18 + 20}));
  tk::headless::MouseMove(*form, 200, 60);  // the slider, a child window
  EXPECT_FALSE(tk::headless::Hint().shown);
  tk::headless::AdvanceTime(tk::Application::kHintPauseMs + 10);
  EXPECT_EQ(tk::headless::Hint().text, "Громкость");
  tk::headless::MouseDown(*form, 200, 60);
  EXPECT_FALSE(tk::headless::Hint().shown);
  tk::headless::MouseUp(*form, 200, 60);
  tk::headless::AdvanceTime(tk::Application::kHintPauseMs + 10);
  EXPECT_FALSE(tk::headless::Hint().shown) << "no hint again until the mouse moves on";
}

}  // namespace
