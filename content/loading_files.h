// The files of a full load, shared and read ahead.
//
// Tiles, models and the texture database name the same few texture files
// over and over, and reading, decoding and halving them is most of what a
// load does on the CPU. While a LoadingFiles is open, the content loaders on
// the thread that opened it (CreateContentTexture, LoadModelFile) share
// device textures by file: a file already made on a device comes back as the
// same texture with a reference of its own. Given a list, a worker thread
// also reads the files ahead, in the order the load will ask for them,
// decoding images and parsing models (and the texture files a model names)
// while the loading thread creates the device, draws the loading screen and
// makes device objects. The worker touches only files and memory: every
// device call stays on the loading thread. A listed file is always read by
// the worker, the asker waiting for it if need be, and the worker finishes
// its list before closing: a load does the same work, in the same amounts,
// however the two threads meet. Files not listed are read by the asker.
#pragma once

#include <condition_variable>
#include <list>
#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <unordered_map>
#include <utility>
#include <vector>

#include "d3dutil/image/image.h"
#include "d3dutil/mesh/x_mesh.h"
#include "platform/gfx/device.h"

namespace halvex {

struct AheadFile {
  std::string gamePath;
  bool model = false;  // an X file to parse; otherwise an image to decode
};

class LoadingFiles {
 public:
  LoadingFiles();
  ~LoadingFiles() { Close(); }
  LoadingFiles(const LoadingFiles&) = delete;
  LoadingFiles& operator=(const LoadingFiles&) = delete;

  // The innermost one open on this thread, or null.
  static LoadingFiles* Open();

  // Starts the worker on these files (once per object).
  void ReadAhead(std::vector<AheadFile> files);
  // Blocks until the worker has read every file it was given or found.
  void WaitForReadAhead();
  // Ends sharing and reading ahead: the worker finishes its list, results
  // nobody took and this object's texture references go (the textures'
  // other holders keep theirs), and the thread's loaders read files directly
  // again. Close the innermost one first.
  void Close();

  gfx::HRESULT CreateTexture(gfx::Device* device, std::string_view gamePath, gfx::Texture** texture,
                             std::string* error = nullptr);
  bool LoadModel(std::string_view gamePath, XFileMesh& out, std::string* error);

  // Texture requests answered with a texture already made.
  int texturesShared() const { return texturesShared_; }
  // Files asked for that the worker read.
  int filesTakenAhead() const { return filesTakenAhead_; }

 private:
  enum class State { kQueued, kWorking, kDone, kTaken };
  struct Entry {
    explicit Entry(AheadFile f) : file(std::move(f)) {}
    AheadFile file;
    State state = State::kQueued;
    bool ok = false;
    Image image;
    XFileMesh model;
    std::string error;
  };

  void Work();
  // The worker's entry for this host path, now the asker's to move from; null
  // when the asking thread is to read the file itself.
  Entry* Claim(const std::string& hostPath);

  LoadingFiles* outer_;
  std::map<std::pair<gfx::Device*, std::string>, gfx::Texture*> textures_;  // by device and host path
  int texturesShared_ = 0;
  int filesTakenAhead_ = 0;

  std::mutex mutex_;
  std::condition_variable done_;
  std::list<Entry> entries_;  // in reading order; models' textures go in right after them
  std::unordered_map<std::string, std::list<Entry>::iterator> byHostPath_;
  std::list<Entry>::iterator next_;  // the worker's next entry
  bool workerDone_ = false;
  bool closed_ = false;
  std::thread worker_;
};

// What the loaders call: through the LoadingFiles open on this thread, or
// straight from the files when none is.
// A texture that cannot be made gets the reason in *error.
gfx::HRESULT CreateContentTexture(gfx::Device* device, std::string_view gamePath, gfx::Texture** texture,
                                  std::string* error = nullptr);
bool LoadModelFile(std::string_view gamePath, XFileMesh& out, std::string* error);

}  // namespace halvex
