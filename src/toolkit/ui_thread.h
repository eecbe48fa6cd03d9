#pragma once
// The check behind the thread rule: toolkit calls run on the user-interface thread only.
// Active in debug and sanitizer builds; the release program does not pay for it.

namespace tk::detail {

// Aborts with a message naming the call when made off the user-interface thread.
void CheckUiThread(const char* call);

}  // namespace tk::detail

#if !defined(NDEBUG) || defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define TK_UI_THREAD_ONLY() ::tk::detail::CheckUiThread(__PRETTY_FUNCTION__)
#else
#define TK_UI_THREAD_ONLY() ((void)0)
#endif
