#pragma once
// A window's OLE drop target that hands drag-over and drop to two handlers of the window.
#include <windows.h>
#include <ole2.h>

#include <functional>
#include <string>
#include <vector>

namespace pelmora::ui {

class DropTarget final : public IDropTarget {
 public:
  // Each handler gets the data object and the effect to answer; the drop handler's answer is
  // ignored. The drag-over handler is asked again at the drop, and the drop handler runs only if
  // it still answers copy. They run on the window's thread, from inside COM calls, and must not
  // throw.
  using Handler = std::function<void(IDataObject* data, DWORD& effect)>;

  DropTarget(Handler dragOver, Handler drop);
  DropTarget(const DropTarget&) = delete;
  DropTarget& operator=(const DropTarget&) = delete;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;
  HRESULT STDMETHODCALLTYPE DragEnter(IDataObject* data, DWORD keys, POINTL pt, DWORD* effect) override;
  HRESULT STDMETHODCALLTYPE DragOver(DWORD keys, POINTL pt, DWORD* effect) override;
  HRESULT STDMETHODCALLTYPE DragLeave() override;
  HRESULT STDMETHODCALLTYPE Drop(IDataObject* data, DWORD keys, POINTL pt, DWORD* effect) override;

 private:
  ~DropTarget();
  void HoldData(IDataObject* data);

  LONG refs_ = 1;
  Handler dragOver_;
  Handler drop_;
  // DragOver brings no data object; the one DragEnter brought is asked again each time.
  IDataObject* data_ = nullptr;
  DWORD answered_ = DROPEFFECT_NONE;
};

// Registers a new DropTarget for `hwnd` for as long as it lives; revoking needs the window still
// there, so it is reset before the window is gone.
class DropRegistration {
 public:
  DropRegistration() = default;
  DropRegistration(const DropRegistration&) = delete;
  DropRegistration& operator=(const DropRegistration&) = delete;
  ~DropRegistration() { reset(); }
  // Returns the registration's result.
  HRESULT Register(HWND hwnd, DropTarget::Handler dragOver, DropTarget::Handler drop);
  void reset();

 private:
  HWND hwnd_ = nullptr;
};

// Whether the data object offers the dropped-files list (CF_HDROP). Throws the run-time error
// when the data object cannot be asked at all.
bool OffersFileList(IDataObject* data);

// The dropped paths, in the order of the drop's file list.
std::vector<std::wstring> DroppedFiles(IDataObject* data);

}  // namespace pelmora::ui
