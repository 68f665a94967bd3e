#include "ui/main/drop_target.h"

#include <shellapi.h>

#include <new>
#include <utility>

#include "analysis/run_error.h"
#include "win32/platform.h"

namespace pelmora::ui {

namespace {

// No exception may leave a COM method: a failing handler leaves the effect as it was.
void Call(const DropTarget::Handler& handler, IDataObject* data, DWORD& effect) noexcept {
  try {
    if (handler) handler(data, effect);
  } catch (...) {
  }
}

std::int32_t RunErrorFromHresult(HRESULT hr) {
  if (hr == E_OUTOFMEMORY) return err::kOutOfMemory;
  if (HRESULT_FACILITY(hr) == FACILITY_WIN32) return win32::RunErrorFromWin32(HRESULT_CODE(hr));
  return err::kInvalidProcedureCall;
}

}  // namespace

DropTarget::DropTarget(Handler dragOver, Handler drop) : dragOver_(std::move(dragOver)), drop_(std::move(drop)) {}

DropTarget::~DropTarget() { HoldData(nullptr); }

void DropTarget::HoldData(IDataObject* data) {
  if (data) data->AddRef();
  if (data_) data_->Release();
  data_ = data;
}

HRESULT DropTarget::QueryInterface(REFIID riid, void** object) {
  if (!object) return E_POINTER;
  if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDropTarget)) {
    *object = static_cast<IDropTarget*>(this);
    AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

ULONG DropTarget::AddRef() { return static_cast<ULONG>(::InterlockedIncrement(&refs_)); }

ULONG DropTarget::Release() {
  const LONG left = ::InterlockedDecrement(&refs_);
  if (left == 0) delete this;
  return static_cast<ULONG>(left);
}

HRESULT DropTarget::DragEnter(IDataObject* data, DWORD, POINTL, DWORD* effect) {
  if (!effect) return E_INVALIDARG;
  HoldData(data);
  Call(dragOver_, data, *effect);
  answered_ = *effect & DROPEFFECT_COPY;
  return S_OK;
}

HRESULT DropTarget::DragOver(DWORD, POINTL, DWORD* effect) {
  if (!effect) return E_INVALIDARG;
  if (!data_) {
    *effect = DROPEFFECT_NONE;
    return S_OK;
  }
  Call(dragOver_, data_, *effect);
  answered_ = *effect & DROPEFFECT_COPY;
  return S_OK;
}

HRESULT DropTarget::DragLeave() {
  HoldData(nullptr);
  answered_ = DROPEFFECT_NONE;
  return S_OK;
}

HRESULT DropTarget::Drop(IDataObject* data, DWORD, POINTL, DWORD* effect) {
  if (!effect) return E_INVALIDARG;
  HoldData(nullptr);
  // Asked once more: a modal window may have opened since the last drag-over, and the drop is
  // taken only if it would still be shown as accepted.
  DWORD now = *effect;
  Call(dragOver_, data, now);
  // The source learns the effect the drag was shown, never the whole mask it allowed: a source
  // that reads "move" in it would delete the dropped documents.
  *effect = std::exchange(answered_, DROPEFFECT_NONE) & now & DROPEFFECT_COPY;
  if (*effect == DROPEFFECT_NONE) return S_OK;
  // The handler may destroy the window and revoke this target; the caller's reference keeps it.
  DWORD ignored = *effect;
  Call(drop_, data, ignored);
  return S_OK;
}

HRESULT DropRegistration::Register(HWND hwnd, DropTarget::Handler dragOver, DropTarget::Handler drop) {
  reset();
  auto* target = new (std::nothrow) DropTarget(std::move(dragOver), std::move(drop));
  if (!target) return E_OUTOFMEMORY;
  const HRESULT hr = ::RegisterDragDrop(hwnd, target);
  // Registration holds its own reference for as long as the window is registered.
  target->Release();
  if (SUCCEEDED(hr)) hwnd_ = hwnd;
  return hr;
}

void DropRegistration::reset() {
  if (hwnd_) ::RevokeDragDrop(std::exchange(hwnd_, nullptr));
}

bool OffersFileList(IDataObject* data) {
  if (!data) return false;
  FORMATETC format{CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
  const HRESULT hr = data->QueryGetData(&format);
  if (hr == S_OK) return true;
  // "Not this format" in any of its spellings is an answer, not a failure.
  if (hr == S_FALSE || hr == DV_E_FORMATETC || hr == DV_E_TYMED || hr == DV_E_DVASPECT || hr == DV_E_LINDEX ||
      hr == DV_E_CLIPFORMAT) {
    return false;
  }
  throw RunError(RunErrorFromHresult(hr));
}

std::vector<std::wstring> DroppedFiles(IDataObject* data) {
  FORMATETC format{CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
  STGMEDIUM medium{};
  if (const HRESULT hr = data->GetData(&format, &medium); FAILED(hr)) throw RunError(RunErrorFromHresult(hr));
  struct Release {
    STGMEDIUM& m;
    ~Release() { ::ReleaseStgMedium(&m); }
  } release{medium};
  const auto drop = static_cast<HDROP>(medium.hGlobal);
  std::vector<std::wstring> paths;
  const UINT count = ::DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
  for (UINT i = 0; i < count; ++i) {
    const UINT length = ::DragQueryFileW(drop, i, nullptr, 0);
    std::wstring path(length + 1, L'\0');
    path.resize(::DragQueryFileW(drop, i, path.data(), length + 1));
    paths.push_back(std::move(path));
  }
  return paths;
}

}  // namespace pelmora::ui
