// Drops on a form: files from Explorer (WM_DROPFILES, or CF_HDROP through OLE) and text from
// browsers and editors (OLE drag and drop).
#include <ole2.h>
#include <shellapi.h>

#include <set>

#include "base/codepage.h"
#include "toolkit/platform.h"
#include "toolkit/win32/win32.h"

namespace tk {
namespace win32 {
namespace {

std::vector<std::filesystem::path> FilesOf(HDROP drop) {
  std::vector<std::filesystem::path> files;
  UINT n = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
  for (UINT i = 0; i < n; ++i) {
    UINT len = DragQueryFileW(drop, i, nullptr, 0);
    std::wstring name(len + 1, L'\0');
    DragQueryFileW(drop, i, name.data(), len + 1);
    name.resize(len);
    files.emplace_back(name);
  }
  return files;
}

// Hands the drop to the form once the drag has ended, so that nothing the form does (a
// message box, say) holds the program the data came from.
void Deliver(HWND hwnd, DropData d) {
  platform::Post([hwnd, d = std::move(d)] {
    if (!IsWindow(hwnd)) return;
    if (Form* f = reinterpret_cast<Form*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA))) f->Dropped(d);
  });
}

bool Offers(IDataObject* data, CLIPFORMAT format) {
  FORMATETC fe{format, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
  return data && data->QueryGetData(&fe) == S_OK;
}

bool Read(IDataObject* data, CLIPFORMAT format, DropData& out) {
  FORMATETC fe{format, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
  STGMEDIUM m{};
  if (data->GetData(&fe, &m) != S_OK) return false;
  bool got = false;
  if (m.tymed == TYMED_HGLOBAL && m.hGlobal) {
    if (format == CF_HDROP) {
      out.files = FilesOf(static_cast<HDROP>(m.hGlobal));
      got = !out.files.empty();
    } else if (void* p = GlobalLock(m.hGlobal)) {
      size_t size = GlobalSize(m.hGlobal);
      if (format == CF_UNICODETEXT) {
        std::wstring w(static_cast<const wchar_t*>(p), size / sizeof(wchar_t));
        out.text = base::WideToUtf8(w.substr(0, w.find(L'\0')));
      } else {
        std::string a(static_cast<const char*>(p), size);
        out.text = base::Cp1251ToUtf8(a.substr(0, a.find('\0')));
      }
      GlobalUnlock(m.hGlobal);
      got = !out.text.empty();
    }
  }
  ReleaseStgMedium(&m);
  return got;
}

class DropTarget final : public IDropTarget {
 public:
  explicit DropTarget(HWND hwnd) : hwnd_(hwnd) {}
  virtual ~DropTarget() = default;
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    if (riid == IID_IUnknown || riid == IID_IDropTarget) {
      *out = static_cast<IDropTarget*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
  ULONG STDMETHODCALLTYPE Release() override {
    ULONG r = --refs_;
    if (r == 0) delete this;
    return r;
  }
  HRESULT STDMETHODCALLTYPE DragEnter(IDataObject* data, DWORD, POINTL, DWORD* effect) override {
    usable_ = Offers(data, CF_HDROP) || Offers(data, CF_UNICODETEXT) || Offers(data, CF_TEXT);
    return Answer(effect);
  }
  HRESULT STDMETHODCALLTYPE DragOver(DWORD, POINTL, DWORD* effect) override {
    return Answer(effect);
  }
  HRESULT STDMETHODCALLTYPE DragLeave() override {
    usable_ = false;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Drop(IDataObject* data, DWORD, POINTL, DWORD* effect) override {
    DropData d;
    if (usable_ &&
        (Read(data, CF_HDROP, d) || Read(data, CF_UNICODETEXT, d) || Read(data, CF_TEXT, d)))
      Deliver(hwnd_, std::move(d));
    else
      usable_ = false;
    HRESULT r = Answer(effect);
    usable_ = false;
    return r;
  }

 private:
  HRESULT Answer(DWORD* effect) {
    // Copy when the source allows it, else link (a browser's address), else nothing.
    DWORD allowed = *effect;
    *effect = !usable_                      ? DROPEFFECT_NONE
              : (allowed & DROPEFFECT_COPY) ? DROPEFFECT_COPY
              : (allowed & DROPEFFECT_LINK) ? DROPEFFECT_LINK
                                            : DROPEFFECT_NONE;
    return S_OK;
  }
  HWND hwnd_;
  ULONG refs_ = 1;
  bool usable_ = false;
};

}  // namespace

bool DropFilesMessage(HWND hwnd, WPARAM wp) {
  HDROP drop = reinterpret_cast<HDROP>(wp);
  DropData d;
  d.files = FilesOf(drop);
  DragFinish(drop);
  if (!d.files.empty()) Deliver(hwnd, std::move(d));
  return true;
}

}  // namespace win32

namespace platform {

void AcceptDrops(Handle h) {
  static std::set<HWND>* registered = new std::set<HWND>();
  HWND hwnd = win32::Hwnd(h);
  if (!hwnd || registered->count(hwnd)) return;
  registered->insert(hwnd);
  // Explorer's files come as WM_DROPFILES where OLE cannot be had.
  DragAcceptFiles(hwnd, TRUE);
  static const bool ole = SUCCEEDED(OleInitialize(nullptr));
  if (!ole) return;
  auto* target = new win32::DropTarget(hwnd);
  RegisterDragDrop(hwnd, target);  // holds its own reference
  target->Release();
}

}  // namespace platform
}  // namespace tk
