// The harness's side of a real OLE drag: a data object, a drop source and synthesized mouse and
// keyboard input, so the target window sees what a drag from Explorer would bring.
#include <ole2.h>
#include <shellapi.h>
#include <shlobj.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

#include "harness.h"

namespace e2e {

namespace {

using Clock = std::chrono::steady_clock;

template <typename F>
bool PollUntil(int timeoutMs, F probe) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    if (probe()) return true;
    if (Clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

// Offers one format as an HGLOBAL; every request gets its own copy.
class DataObject final : public IDataObject {
 public:
  DataObject(CLIPFORMAT format, const void* bytes, size_t size)
      : format_{format, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL}, bytes_(static_cast<const char*>(bytes), size) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDataObject)) {
      *out = static_cast<IDataObject*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ::InterlockedIncrement(&refs_); }
  ULONG STDMETHODCALLTYPE Release() override {
    const LONG left = ::InterlockedDecrement(&refs_);
    if (!left) delete this;
    return left;
  }
  HRESULT STDMETHODCALLTYPE GetData(FORMATETC* f, STGMEDIUM* m) override {
    if (QueryGetData(f) != S_OK) return DV_E_FORMATETC;
    HGLOBAL h = ::GlobalAlloc(GMEM_MOVEABLE, bytes_.size());
    if (!h) return E_OUTOFMEMORY;
    std::memcpy(::GlobalLock(h), bytes_.data(), bytes_.size());
    ::GlobalUnlock(h);
    m->tymed = TYMED_HGLOBAL;
    m->hGlobal = h;
    m->pUnkForRelease = nullptr;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC* f) override {
    if (!f || f->cfFormat != format_.cfFormat) return DV_E_FORMATETC;
    if (!(f->tymed & TYMED_HGLOBAL)) return DV_E_TYMED;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out) override {
    out->ptd = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD direction, IEnumFORMATETC** out) override {
    if (direction != DATADIR_GET) return E_NOTIMPL;
    return ::SHCreateStdEnumFmtEtc(1, &format_, out);
  }
  HRESULT STDMETHODCALLTYPE DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override { return OLE_E_ADVISENOTSUPPORTED; }
  HRESULT STDMETHODCALLTYPE DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
  HRESULT STDMETHODCALLTYPE EnumDAdvise(IEnumSTATDATA**) override { return OLE_E_ADVISENOTSUPPORTED; }

 private:
  ~DataObject() = default;
  LONG refs_ = 1;
  FORMATETC format_;
  std::string bytes_;
};

struct Feedback {
  DWORD effect;
  bool overTarget;
};

// Drops when the left button is up; records each feedback with where the pointer was.
class DropSource final : public IDropSource {
 public:
  explicit DropSource(HWND target) : target_(target) {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDropSource)) {
      *out = static_cast<IDropSource*>(this);
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  // Lives on the stack of the drag; COM holds it only during DoDragDrop.
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE QueryContinueDrag(BOOL escape, DWORD keys) override {
    started_ = true;
    if (escape) return DRAGDROP_S_CANCEL;
    return (keys & MK_LBUTTON) ? S_OK : DRAGDROP_S_DROP;
  }
  HRESULT STDMETHODCALLTYPE GiveFeedback(DWORD effect) override {
    // Where the drag loop saw the pointer: the position of the message it last took, which may
    // lag behind the cursor while moves are still queued.
    const DWORD pos = ::GetMessagePos();
    const POINT pt{static_cast<short>(LOWORD(pos)), static_cast<short>(HIWORD(pos))};
    const bool over = ::GetAncestor(::WindowFromPoint(pt), GA_ROOT) == target_;
    std::lock_guard lock(mutex_);
    feedback_.push_back({effect, over});
    return DRAGDROP_S_USEDEFAULTCURSORS;
  }

  bool started() const { return started_; }
  // The first feedback with the pointer over the target.
  std::optional<DWORD> OverTarget() {
    std::lock_guard lock(mutex_);
    for (const Feedback& f : feedback_) {
      if (f.overTarget) return f.effect;
    }
    return std::nullopt;
  }

 private:
  HWND target_;
  std::atomic<bool> started_{false};
  std::mutex mutex_;
  std::vector<Feedback> feedback_;
};

void MoveMouse(POINT pt) {
  INPUT in{INPUT_MOUSE};
  in.mi.dx = ::MulDiv(pt.x, 65535, ::GetSystemMetrics(SM_CXSCREEN) - 1);
  in.mi.dy = ::MulDiv(pt.y, 65535, ::GetSystemMetrics(SM_CYSCREEN) - 1);
  in.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
  ::SendInput(1, &in, sizeof(in));
}

void Button(bool down) {
  INPUT in{INPUT_MOUSE};
  in.mi.dwFlags = down ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_LEFTUP;
  ::SendInput(1, &in, sizeof(in));
}

HWND CreateSourceWindow() {
  static const bool registered = [] {
    WNDCLASSW wc{};
    wc.lpfnWndProc = ::DefWindowProcW;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_HIGHLIGHT + 1);
    wc.lpszClassName = L"PelmoraE2EDragSource";
    return ::RegisterClassW(&wc) != 0;
  }();
  (void)registered;
  // In the screen's bottom-right corner, clear of the program's windows.
  const int x = ::GetSystemMetrics(SM_CXSCREEN) - 120, y = ::GetSystemMetrics(SM_CYSCREEN) - 120;
  return ::CreateWindowExW(WS_EX_TOPMOST, L"PelmoraE2EDragSource", L"drag source", WS_POPUP | WS_VISIBLE, x, y, 80,
                           80, nullptr, nullptr, ::GetModuleHandleW(nullptr), nullptr);
}

void PumpUntil(int timeoutMs, const std::function<bool()>& done) {
  PollUntil(timeoutMs, [&] {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&msg);
    return done();
  });
}

DragResult Drag(IDataObject* data, HWND target) {
  DragResult result;
  const HRESULT ole = ::OleInitialize(nullptr);
  HWND source = CreateSourceWindow();
  RECT src{};
  ::GetWindowRect(source, &src);
  const POINT start{(src.left + src.right) / 2, (src.top + src.bottom) / 2};
  RECT dst{};
  ::GetClientRect(target, &dst);
  POINT end{dst.right / 2, dst.bottom / 4};
  ::ClientToScreen(target, &end);

  // Pressed on a window of this thread, so this thread is the foreground one whose capture
  // the drag loop needs, and its key state shows the button down.
  MoveMouse(start);
  PumpUntil(5000, [&] {
    POINT pt{};
    ::GetCursorPos(&pt);
    return std::abs(pt.x - start.x) <= 1 && std::abs(pt.y - start.y) <= 1;
  });
  Button(true);
  PumpUntil(5000, [] { return (::GetKeyState(VK_LBUTTON) & 0x8000) != 0; });

  DropSource dropSource(target);
  std::thread mover([&] {
    if (PollUntil(10000, [&] { return dropSource.started(); })) {
      constexpr int kSteps = 8;
      for (int i = 1; i <= kSteps; ++i) {
        MoveMouse({start.x + (end.x - start.x) * i / kSteps, start.y + (end.y - start.y) * i / kSteps});
      }
      result.reachedTarget = PollUntil(10000, [&] {
        auto effect = dropSource.OverTarget();
        if (effect) result.effectOverTarget = *effect;
        return effect.has_value();
      });
    }
    Button(false);
  });

  DWORD effect = DROPEFFECT_NONE;
  result.hr = ::DoDragDrop(data, &dropSource, DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK, &effect);
  result.effect = effect;
  mover.join();
  ::DestroyWindow(source);
  if (SUCCEEDED(ole)) ::OleUninitialize();
  return result;
}

}  // namespace

DragResult DragFiles(const std::vector<std::wstring>& paths, HWND target) {
  std::wstring list;
  for (const auto& p : paths) list += p + L'\0';
  list += L'\0';
  std::string bytes(sizeof(DROPFILES), '\0');
  auto* header = reinterpret_cast<DROPFILES*>(bytes.data());
  header->pFiles = sizeof(DROPFILES);
  header->fWide = TRUE;
  bytes.append(reinterpret_cast<const char*>(list.data()), list.size() * sizeof(wchar_t));
  auto* data = new DataObject(CF_HDROP, bytes.data(), bytes.size());
  DragResult r = Drag(data, target);
  data->Release();
  return r;
}

DragResult DragText(const std::wstring& text, HWND target) {
  auto* data = new DataObject(CF_UNICODETEXT, text.c_str(), (text.size() + 1) * sizeof(wchar_t));
  DragResult r = Drag(data, target);
  data->Release();
  return r;
}

}  // namespace e2e
