#include <windows.h>

#include "ui/forms.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { return ui::RunProgram(); }
