#pragma once
// What the forms need of the platform; one implementation per platform.
#include "toolkit/toolkit.h"

namespace tk::platform {

void Initialize();
Handle CreateFormWindow(Form* form);
void DestroyFormWindow(Handle h);
void ShowFormWindow(Handle h, bool visible);
void BringToFront(Handle h);
void SetFormBounds(Handle h, int left, int top, int client_width, int client_height);
void SetFormCaption(Handle h, const std::string& caption);
void InvalidateForm(Handle h);
// The platform's default handling of a message not handled by the form.
intptr_t DefaultProc(Handle h, Message& m);
void RunLoop();
void QuitLoop();
void ProcessMessages();
void HandleSentMessages();
[[noreturn]] void ExitProcessNow(int code);
intptr_t Send(Handle h, uint32_t msg, uintptr_t wparam, intptr_t lparam);
int MessageBoxUtf8(const std::string& text, const std::string& caption, uint32_t flags);

}  // namespace tk::platform
