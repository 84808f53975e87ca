// The recording backend: keeps every state like the real device, logs the
// calls, and draws nothing. Clears do fill its back buffer so that a headless
// run can still take a (plain) screenshot.
#include "platform/gfx/recording_device.h"

#include <algorithm>

namespace halvex::gfx {

RecordingDevice::RecordingDevice(const D3DPRESENT_PARAMETERS& params, DWORD behaviour)
    : DeviceBase(params, behaviour) {
  log_ = &calls_;
  back_.assign(size_t(params.BackBufferWidth) * params.BackBufferHeight, 0xFF000000u);
  CreateImplicitSurfaces();
}

bool RecordingDevice::TargetIsBackBuffer() const {
  return currentTarget() && currentTarget()->kind == SurfaceKind::BackBuffer;
}

void RecordingDevice::BackendClear(DWORD flags, D3DCOLOR color, float, DWORD) {
  if ((flags & D3DCLEAR_TARGET) && TargetIsBackBuffer()) std::fill(back_.begin(), back_.end(), color);
}

void RecordingDevice::BackendPresent() { front_ = back_; }

HRESULT RecordingDevice::BackendReset(const D3DPRESENT_PARAMETERS& params) {
  back_.assign(size_t(params.BackBufferWidth) * params.BackBufferHeight, 0xFF000000u);
  front_.clear();
  return S_OK;
}

HRESULT RecordingDevice::BackendReadBack(std::vector<D3DCOLOR>* pixels, UINT* width, UINT* height) {
  if (!TargetIsBackBuffer()) return D3DERR_NOTAVAILABLE;
  *pixels = back_;
  *width = params_.BackBufferWidth;
  *height = params_.BackBufferHeight;
  return S_OK;
}

HRESULT RecordingDevice::BackendReadFront(std::vector<D3DCOLOR>* pixels, UINT* width, UINT* height) {
  *pixels = front_.empty() ? back_ : front_;
  *width = params_.BackBufferWidth;
  *height = params_.BackBufferHeight;
  return S_OK;
}

}  // namespace halvex::gfx
