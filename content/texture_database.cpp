#include "content/texture_database.h"

#include <cstdio>

#include "content/content_messages.h"
#include "content/line_reader.h"
#include "content/loading_files.h"

namespace halvex {

using namespace gfx;

namespace {

// A texture, or null with why in *error when one is asked for; without one,
// the reason goes to stderr with the file's name (the game draws on without
// the picture).
Texture* Create(Device* device, const std::string& file, std::string* error = nullptr) {
  Texture* texture = nullptr;
  if (!device) return nullptr;
  std::string why;
  if (FAILED(CreateContentTexture(device, file, &texture, &why)) || !texture) {
    if (why.empty()) why = "the device refused it";
    if (error) {
      *error = why;
    } else {
      ReportContentFileOnce(file, "texture not loaded: " + why);
    }
    return nullptr;
  }
  return texture;
}

void PreLoad(Texture* texture) {
  if (texture) texture->PreLoad();
}

void ReleaseAndClear(Texture*& texture) {
  if (texture) texture->Release();
  texture = nullptr;
}

// The half sizes are the integer thirds of 20, 5, 7, 5, 10, 5, 2 and 1.
constexpr LensFlareElement kLensFlare[kLensFlareElements] = {
    {20 / 3, 20, 30.0f, 4}, {5 / 3, 5, 18.0f, 2}, {7 / 3, 7, 15.0f, 3}, {5 / 3, 5, 6.0f, 4},
    {10 / 3, 10, 2.0f, 2},  {5 / 3, 5, -4.0f, 4}, {2 / 3, 2, -1.0f, 0}, {1 / 3, 1, -7.0f, 1}};

const char* const kFirstGroup[] = {"bullet1", "rocket1", "flare1", "smoke1", "shadow2",
                                   "blood",   "chat",    "band",   "armor",  "shark"};
const char* const kBodyNames[kBodyColours] = {"botblack", "botwhite", "botred", "botblue",
                                              "botyellow"};

std::string Dds(const std::string& name) { return "textures\\" + name + ".dds"; }
std::string Caustic(int frame) {
  char path[64];
  std::snprintf(path, sizeof path, "textures\\exp\\caust%02d.tga", frame);
  return path;
}

}  // namespace

Texture* TextureDatabase::At(int index) const {
  if (index < 0 || index >= textureCount || size_t(index) >= textures.size()) return nullptr;
  return textures[size_t(index)];
}

void TextureDatabase::Release() {
  for (Texture*& texture : textures) ReleaseAndClear(texture);
  textures.clear();
  textureCount = 0;
}

void LoadTextureDatabase(Device* device, TextureDatabase& database, LoadingProgress* progress,
                         DataFileProblems* problems) {
  database.Release();
  const char* const path = "system\\textures.txt";
  std::string text;
  LoadContentText(path, text, problems);
  TextureNameList list = ParseTextureNameList(text, path, problems);
  database.textureCount = list.textureCount;
  database.textures.assign(size_t(list.textureCount), nullptr);
  // The list pads a file shorter than its count with empty names; the same
  // reading again tells which entries have a line of their own.
  LineReader lines(text, path, nullptr);
  lines.Next();  // the count
  if (progress) progress->ClearBar();
  for (int i = 0; i < list.textureCount; ++i) {
    if (lines.AtEnd()) {
      // one box for the whole shortfall; reading the list already reported
      // where it ends (on stderr, or to the caller's problem list)
      ShowContentMessage("", "FAILED");
      break;
    }
    lines.Next();
    if (progress) {
      progress->Redraw("Generating Texture Database");
      if (i % 2 == 1) progress->AppendBarGlyphs(4);
    }
    const std::string file = TexturePath(list.fileNames[size_t(i)]);
    std::string why;
    Texture* texture = Create(device, file, &why);
    if (!texture) {
      ShowContentMessage("", "FAILED", std::string(path) + ":" +
                                           std::to_string(lines.lineNumber()) +
                                           ": cannot load " + file + ": " + why);
      continue;
    }
    texture->PreLoad();
    database.textures[size_t(i)] = texture;
  }
}

std::vector<std::string> FixedTextureFiles() {
  std::vector<std::string> files;
  for (const char* name : kFirstGroup) files.push_back(Dds(name));
  for (int i = 0; i < kCausticFrames; ++i) files.push_back(Caustic(i));
  for (const char* name : kBodyNames) files.push_back(Dds(name));
  for (int i = 0; i < kLensTextures; ++i) files.push_back(Dds("lens" + std::to_string(i)));
  for (int i = 0; i < kShineTextures; ++i) files.push_back(Dds("shine" + std::to_string(i)));
  return files;
}

void LoadFixedTextures(Device* device, FixedTextures& fixed) {
  fixed.Release();
  Texture** firstGroup[] = {&fixed.bullet, &fixed.rocket, &fixed.flare, &fixed.smoke,
                            &fixed.shadow, &fixed.blood,  &fixed.chat,  &fixed.band,
                            &fixed.armor,  &fixed.shark};
  for (size_t i = 0; i < std::size(kFirstGroup); ++i) *firstGroup[i] = Create(device, Dds(kFirstGroup[i]));
  PreLoad(fixed.blood);
  for (int i = 0; i < kCausticFrames; ++i) {
    fixed.causticTextures[size_t(i)] = Create(device, Caustic(i));
    PreLoad(fixed.causticTextures[size_t(i)]);
  }
  for (int i = 0; i < kBodyColours; ++i) fixed.bodyTextures[size_t(i)] = Create(device, Dds(kBodyNames[i]));
  for (int i = 0; i < kLensTextures; ++i) {
    fixed.lensTextures[size_t(i)] = Create(device, Dds("lens" + std::to_string(i)));
  }
  for (Texture* t : fixed.lensTextures) PreLoad(t);
  for (int i = 0; i < kShineTextures; ++i) {
    fixed.shineTextures[size_t(i)] = Create(device, Dds("shine" + std::to_string(i)));
  }
  for (Texture* t : fixed.shineTextures) PreLoad(t);
  for (int i = 0; i < kLensFlareElements; ++i) fixed.lensFlareElements[size_t(i)] = kLensFlare[i];
}

void FixedTextures::Release() {
  for (Texture** t : {&bullet, &rocket, &flare, &smoke, &shadow, &blood, &chat, &band, &armor,
                      &shark}) {
    ReleaseAndClear(*t);
  }
  for (Texture*& t : causticTextures) ReleaseAndClear(t);
  for (Texture*& t : bodyTextures) ReleaseAndClear(t);
  for (Texture*& t : lensTextures) ReleaseAndClear(t);
  for (Texture*& t : shineTextures) ReleaseAndClear(t);
}

void LoadMultiTexTable(const std::string& areaPath, MultiTexTable& table,
                       LoadingProgress* progress, DataFileProblems* problems) {
  const std::string path = areaPath + "\\multitex.txt";
  std::string text;
  LoadContentText(path, text, problems);
  // The whole file is read at once; the screen still advances once per tile.
  ParseMultiTexTable(text, path, table, problems);
  if (!progress) return;
  progress->ClearBar();
  for (int t = 0; t < kTileCount; ++t) {
    progress->Redraw("Generating Texture Database");
    if (t % 2 == 1) progress->AppendBarGlyphs(4);
  }
}

}  // namespace halvex
