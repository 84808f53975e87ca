#include "content/loading_files.h"

#include <system_error>

#include "d3dutil/image/texture_file.h"
#include "platform/paths/paths.h"

namespace halvex {

namespace {

// Device calls stay on the loading thread, so only that thread's loaders
// may find its LoadingFiles.
thread_local LoadingFiles* openFiles = nullptr;

}  // namespace

LoadingFiles::LoadingFiles() : outer_(openFiles), next_(entries_.end()) { openFiles = this; }

void LoadingFiles::Close() {
  if (closed_) return;
  closed_ = true;
  if (openFiles == this) openFiles = outer_;
  if (worker_.joinable()) worker_.join();
  for (auto& [key, texture] : textures_) texture->Release();
  textures_.clear();
  byHostPath_.clear();
  entries_.clear();
  next_ = entries_.end();
}

LoadingFiles* LoadingFiles::Open() { return openFiles; }

void LoadingFiles::ReadAhead(std::vector<AheadFile> files) {
  if (closed_ || worker_.joinable()) return;
  for (AheadFile& file : files) {
    std::string host = paths::Resolve(file.gamePath);
    if (byHostPath_.count(host)) continue;  // asked for twice: the second read is the asker's
    entries_.emplace_back(std::move(file));
    byHostPath_.emplace(std::move(host), std::prev(entries_.end()));
  }
  next_ = entries_.begin();
  try {
    worker_ = std::thread(&LoadingFiles::Work, this);
  } catch (const std::system_error&) {
    // No thread: every file stays queued and is read by whoever asks.
  }
}

void LoadingFiles::WaitForReadAhead() {
  std::unique_lock lock(mutex_);
  if (worker_.joinable()) done_.wait(lock, [&] { return workerDone_; });
}

void LoadingFiles::Work() {
  std::unique_lock lock(mutex_);
  for (;;) {
    while (next_ != entries_.end() && next_->state != State::kQueued) ++next_;
    if (next_ == entries_.end()) {
      workerDone_ = true;
      done_.notify_all();
      return;
    }
    Entry& entry = *next_;
    entry.state = State::kWorking;
    const AheadFile file = entry.file;
    lock.unlock();

    bool ok = false, failed = false;
    Image image;
    XFileMesh model;
    std::string error;
    std::vector<std::pair<std::string, std::string>> named;  // textures the model names: game and host path
    try {
      if (file.model) {
        ok = LoadMeshFromX(paths::Resolve(file.gamePath), model, &error);
        for (const XMaterial& m : model.materials)
          if (!m.textureFilename.empty()) named.emplace_back(m.textureFilename, paths::Resolve(m.textureFilename));
      } else {
        ok = LoadImageFile(file.gamePath, image, &error);
      }
    } catch (...) {
      failed = true;  // out of memory, say: the asker tries for itself
    }

    lock.lock();
    entry.ok = ok;
    entry.image = std::move(image);
    entry.model = std::move(model);
    entry.error = std::move(error);
    entry.state = failed ? State::kTaken : State::kDone;
    // The model's textures are read next, as the loader asks for them next.
    auto at = std::next(next_);
    for (auto& [gamePath, host] : named) {
      if (byHostPath_.count(host)) continue;
      auto added = entries_.emplace(at, AheadFile{gamePath, false});
      byHostPath_.emplace(std::move(host), added);
    }
    done_.notify_all();
  }
}

LoadingFiles::Entry* LoadingFiles::Claim(const std::string& hostPath) {
  std::unique_lock lock(mutex_);
  auto found = byHostPath_.find(hostPath);
  if (found == byHostPath_.end()) return nullptr;
  Entry& entry = *found->second;
  // The worker reaches every queued entry, in order, unless it never started.
  if (!worker_.joinable()) return nullptr;
  done_.wait(lock, [&] { return entry.state == State::kDone || entry.state == State::kTaken; });
  if (entry.state != State::kDone) return nullptr;  // taken before, or the worker failed on it
  // Once taken, the worker never touches the entry again.
  entry.state = State::kTaken;
  ++filesTakenAhead_;
  return &entry;
}

gfx::HRESULT LoadingFiles::CreateTexture(gfx::Device* device, std::string_view gamePath,
                                         gfx::Texture** texture, std::string* error) {
  *texture = nullptr;
  if (closed_) return CreateTextureFromFile(device, gamePath, texture, error);
  if (!device) return gfx::E_FAIL;
  std::pair<gfx::Device*, std::string> key{device, paths::Resolve(gamePath)};
  if (auto found = textures_.find(key); found != textures_.end()) {
    found->second->AddRef();
    *texture = found->second;
    ++texturesShared_;
    return gfx::S_OK;
  }
  Image image;
  bool ok;
  std::string why;
  if (Entry* ahead = Claim(key.second)) {
    ok = ahead->ok;
    image = std::move(ahead->image);
    why = std::move(ahead->error);
  } else {
    ok = LoadImageFile(gamePath, image, &why);
  }
  if (!ok) {
    if (error) *error = why;
    return gfx::E_FAIL;
  }
  const gfx::HRESULT hr = CreateTextureFromImage(device, image, texture);
  if (gfx::SUCCEEDED(hr) && *texture) {
    (*texture)->AddRef();
    textures_.emplace(std::move(key), *texture);
  }
  return hr;
}

bool LoadingFiles::LoadModel(std::string_view gamePath, XFileMesh& out, std::string* error) {
  const std::string host = paths::Resolve(gamePath);
  if (Entry* ahead = closed_ ? nullptr : Claim(host)) {
    out = std::move(ahead->model);
    if (error) *error = std::move(ahead->error);
    return ahead->ok;
  }
  return LoadMeshFromX(host, out, error);
}

gfx::HRESULT CreateContentTexture(gfx::Device* device, std::string_view gamePath, gfx::Texture** texture,
                                  std::string* error) {
  if (LoadingFiles* files = LoadingFiles::Open()) return files->CreateTexture(device, gamePath, texture, error);
  return CreateTextureFromFile(device, gamePath, texture, error);
}

bool LoadModelFile(std::string_view gamePath, XFileMesh& out, std::string* error) {
  if (LoadingFiles* files = LoadingFiles::Open()) return files->LoadModel(gamePath, out, error);
  return LoadMeshFromX(paths::Resolve(gamePath), out, error);
}

}  // namespace halvex
