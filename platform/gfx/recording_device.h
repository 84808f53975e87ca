// The backend that records calls and draws nothing. Internal to platform/gfx.
#pragma once

#include "platform/gfx/device_base.h"

namespace halvex::gfx {

class RecordingDevice final : public DeviceBase {
 public:
  RecordingDevice(const D3DPRESENT_PARAMETERS& params, DWORD behaviour);
  ~RecordingDevice() override {
    ReleaseImplicitSurfaces();
    log_ = nullptr;
  }

  void SetLogging(bool record) override {
    log_ = record ? &calls_ : nullptr;
    if (!record) std::vector<std::string>().swap(calls_);
  }
  HRESULT BackendReadBack(std::vector<D3DCOLOR>* pixels, UINT* width, UINT* height) override;
  HRESULT BackendReadFront(std::vector<D3DCOLOR>* pixels, UINT* width, UINT* height) override;

 protected:
  void BackendClear(DWORD flags, D3DCOLOR color, float z, DWORD stencil) override;
  HRESULT BackendDraw(const DrawRequest&) override { return S_OK; }
  void BackendPresent() override;
  HRESULT BackendReset(const D3DPRESENT_PARAMETERS& params) override;

 private:
  bool TargetIsBackBuffer() const;
  std::vector<std::string> calls_;
  std::vector<D3DCOLOR> back_, front_;
};

}  // namespace halvex::gfx
