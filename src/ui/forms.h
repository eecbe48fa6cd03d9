#pragma once
// The four windows of the program; they live for the whole run.
namespace ui {
class TForm1;
class TForm2;
class TForm3;
class TForm4;
}  // namespace ui

extern ui::TForm1* Form1;
extern ui::TForm2* Form2;
extern ui::TForm3* Form3;
extern ui::TForm4* Form4;

namespace ui {
// The program's name: the main window's caption and the caption of its message boxes.
extern const char kProductTitle[];
// Makes the Russian-locale clipboard the process-wide one (once, before any window exists).
void InstallRusClipboard();
// Creates the windows in order and runs the message loop; returns the exit code.
int RunProgram();
}  // namespace ui
