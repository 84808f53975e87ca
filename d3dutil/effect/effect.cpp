#include "d3dutil/effect/effect.h"

#include <cctype>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>

namespace halvex::d3dutil {

using namespace gfx;

namespace {

using Names = std::map<std::string, DWORD>;

const Names kOps = {{"disable", D3DTOP_DISABLE}, {"selectarg1", D3DTOP_SELECTARG1},
                    {"selectarg2", D3DTOP_SELECTARG2}, {"modulate", D3DTOP_MODULATE},
                    {"modulate2x", D3DTOP_MODULATE2X}, {"modulate4x", D3DTOP_MODULATE4X}, {"add", D3DTOP_ADD},
                    {"addsigned", D3DTOP_ADDSIGNED}, {"addsigned2x", D3DTOP_ADDSIGNED2X},
                    {"subtract", D3DTOP_SUBTRACT}, {"addsmooth", D3DTOP_ADDSMOOTH},
                    {"blenddiffusealpha", D3DTOP_BLENDDIFFUSEALPHA}, {"blendtexturealpha", D3DTOP_BLENDTEXTUREALPHA},
                    {"blendfactoralpha", D3DTOP_BLENDFACTORALPHA}, {"blendcurrentalpha", D3DTOP_BLENDCURRENTALPHA},
                    {"multiplyadd", D3DTOP_MULTIPLYADD}, {"lerp", D3DTOP_LERP}};
const Names kArgs = {{"diffuse", D3DTA_DIFFUSE}, {"current", D3DTA_CURRENT}, {"texture", D3DTA_TEXTURE},
                     {"tfactor", D3DTA_TFACTOR}, {"specular", D3DTA_SPECULAR}, {"temp", D3DTA_TEMP}};
const Names kAddress = {{"wrap", D3DTADDRESS_WRAP}, {"mirror", D3DTADDRESS_MIRROR}, {"clamp", D3DTADDRESS_CLAMP},
                        {"border", D3DTADDRESS_BORDER}};
const Names kFilters = {{"none", D3DTEXF_NONE}, {"point", D3DTEXF_POINT}, {"linear", D3DTEXF_LINEAR}};
const Names kStageKeys = {{"colorop", D3DTSS_COLOROP},     {"colorarg0", D3DTSS_COLORARG0},
                          {"colorarg1", D3DTSS_COLORARG1}, {"colorarg2", D3DTSS_COLORARG2},
                          {"alphaop", D3DTSS_ALPHAOP},     {"alphaarg0", D3DTSS_ALPHAARG0},
                          {"alphaarg1", D3DTSS_ALPHAARG1}, {"alphaarg2", D3DTSS_ALPHAARG2},
                          {"texcoord", D3DTSS_TEXCOORDINDEX}, {"resultarg", D3DTSS_RESULTARG},
                          {"addressu", D3DTSS_ADDRESSU},   {"addressv", D3DTSS_ADDRESSV},
                          {"minfilter", D3DTSS_MINFILTER}, {"magfilter", D3DTSS_MAGFILTER},
                          {"mipfilter", D3DTSS_MIPFILTER}};
const Names kStates = {{"zenable", D3DRS_ZENABLE},           {"zwriteenable", D3DRS_ZWRITEENABLE},
                       {"zfunc", D3DRS_ZFUNC},               {"alphablendenable", D3DRS_ALPHABLENDENABLE},
                       {"srcblend", D3DRS_SRCBLEND},         {"destblend", D3DRS_DESTBLEND},
                       {"alphatestenable", D3DRS_ALPHATESTENABLE}, {"alpharef", D3DRS_ALPHAREF},
                       {"alphafunc", D3DRS_ALPHAFUNC},       {"cullmode", D3DRS_CULLMODE},
                       {"fogenable", D3DRS_FOGENABLE},       {"lighting", D3DRS_LIGHTING},
                       {"texturefactor", D3DRS_TEXTUREFACTOR}, {"specularenable", D3DRS_SPECULARENABLE}};
const Names kBlend = {{"zero", D3DBLEND_ZERO},         {"one", D3DBLEND_ONE},
                      {"srccolor", D3DBLEND_SRCCOLOR}, {"invsrccolor", D3DBLEND_INVSRCCOLOR},
                      {"srcalpha", D3DBLEND_SRCALPHA}, {"invsrcalpha", D3DBLEND_INVSRCALPHA},
                      {"destalpha", D3DBLEND_DESTALPHA}, {"invdestalpha", D3DBLEND_INVDESTALPHA},
                      {"destcolor", D3DBLEND_DESTCOLOR}, {"invdestcolor", D3DBLEND_INVDESTCOLOR}};
const Names kCompare = {{"never", D3DCMP_NEVER},     {"less", D3DCMP_LESS},         {"equal", D3DCMP_EQUAL},
                        {"lessequal", D3DCMP_LESSEQUAL}, {"greater", D3DCMP_GREATER}, {"notequal", D3DCMP_NOTEQUAL},
                        {"greaterequal", D3DCMP_GREATEREQUAL}, {"always", D3DCMP_ALWAYS}};
const Names kCull = {{"none", D3DCULL_NONE}, {"cw", D3DCULL_CW}, {"ccw", D3DCULL_CCW}};
const Names kBool = {{"true", 1}, {"false", 0}};

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// A name from the table, or a plain number.
bool Lookup(const Names& names, const std::string& word, DWORD* value) {
  auto it = names.find(Lower(word));
  if (it != names.end()) {
    *value = it->second;
    return true;
  }
  char* end = nullptr;
  unsigned long n = std::strtoul(word.c_str(), &end, 0);
  if (word.empty() || *end) return false;
  *value = static_cast<DWORD>(n);
  return true;
}

const Names& ValuesFor(DWORD key, bool renderState) {
  if (!renderState) {
    switch (key) {
      case D3DTSS_COLOROP: case D3DTSS_ALPHAOP: return kOps;
      case D3DTSS_ADDRESSU: case D3DTSS_ADDRESSV: return kAddress;
      case D3DTSS_MINFILTER: case D3DTSS_MAGFILTER: case D3DTSS_MIPFILTER: return kFilters;
      case D3DTSS_TEXCOORDINDEX: return kBool;  // numbers only, in practice
      default: return kArgs;
    }
  }
  switch (key) {
    case D3DRS_SRCBLEND: case D3DRS_DESTBLEND: return kBlend;
    case D3DRS_ZFUNC: case D3DRS_ALPHAFUNC: return kCompare;
    case D3DRS_CULLMODE: return kCull;
    default: return kBool;
  }
}

}  // namespace

struct PassData {
  std::vector<std::pair<DWORD, std::pair<DWORD, DWORD>>> stageStates;  // stage, (state, value)
  std::vector<std::pair<DWORD, DWORD>> textures;                       // stage, parameter code
  std::vector<std::pair<DWORD, DWORD>> renderStates;
};
struct TechniqueData {
  std::string name;
  std::vector<PassData> passes;
};
struct EffectData {
  Device* device = nullptr;
  std::vector<DWORD> parameters;
  std::map<DWORD, Texture*> bound;
  std::vector<TechniqueData> techniques;
  ~EffectData() {
    for (auto& [code, t] : bound)
      if (t) t->Release();
  }
};

namespace {

DWORD CodeOf(const std::string& name) {
  DWORD code = 0;
  for (size_t i = 0; i < 4 && i < name.size(); ++i) code |= DWORD(std::uint8_t(name[i])) << (8 * i);
  return code;
}

bool Parse(const std::string& text, EffectData* out, std::string* error) {
  std::istringstream in(text);
  std::string line;
  int number = 0;
  PassData* pass = nullptr;
  auto fail = [&](const std::string& what) {
    if (error) *error = "line " + std::to_string(number) + ": " + what;
    return false;
  };
  while (std::getline(in, line)) {
    ++number;
    line = line.substr(0, line.find('#'));
    std::istringstream words(line);
    std::string word;
    if (!(words >> word)) continue;
    word = Lower(word);
    if (word == "texture") {
      std::string name;
      if (!(words >> name)) return fail("texture without a name");
      out->parameters.push_back(CodeOf(name));
    } else if (word == "technique") {
      std::string name;
      words >> name;
      out->techniques.push_back({name, {}});
      pass = nullptr;
    } else if (word == "pass") {
      if (out->techniques.empty()) return fail("pass outside a technique");
      out->techniques.back().passes.emplace_back();
      pass = &out->techniques.back().passes.back();
    } else if (word == "end") {
      pass = nullptr;
    } else if (word == "stage") {
      DWORD stage = 0;
      std::string s;
      if (!pass) return fail("stage outside a pass");
      if (!(words >> s) || !Lookup({}, s, &stage) || stage >= 8) return fail("bad stage number");
      std::string key, value;
      while (words >> key >> value) {
        if (Lower(key) == "texture") {
          pass->textures.push_back({stage, CodeOf(value)});
          continue;
        }
        DWORD k = 0, v = 0;
        if (!Lookup(kStageKeys, key, &k)) return fail("unknown stage state " + key);
        if (!Lookup(ValuesFor(k, false), value, &v)) return fail("unknown value " + value);
        pass->stageStates.push_back({stage, {k, v}});
      }
      if (!key.empty() && value.empty()) return fail("stage state " + key + " without a value");
    } else if (word == "state") {
      std::string key, value;
      DWORD k = 0, v = 0;
      if (!pass) return fail("state outside a pass");
      if (!(words >> key >> value)) return fail("state needs a name and a value");
      if (!Lookup(kStates, key, &k)) return fail("unknown render state " + key);
      if (!Lookup(ValuesFor(k, true), value, &v)) return fail("unknown value " + value);
      pass->renderStates.push_back({k, v});
    } else {
      return fail("unknown statement " + word);
    }
  }
  if (out->techniques.empty()) return fail("no technique");
  return true;
}

}  // namespace

HRESULT CompileEffect(const std::string& text, EffectBuffer** out, std::string* errors) {
  if (!out) return D3DERR_INVALIDCALL;
  *out = nullptr;
  EffectData check;
  if (!Parse(text, &check, errors)) return E_FAIL;
  auto* buffer = new EffectBuffer;
  buffer->bytes_ = text;
  *out = buffer;
  return S_OK;
}

HRESULT CompileEffectFromFile(const std::string& path, EffectBuffer** out, std::string* errors) {
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    if (errors) *errors = "cannot open " + path;
    if (out) *out = nullptr;
    return E_FAIL;
  }
  std::ostringstream text;
  text << file.rdbuf();
  return CompileEffect(text.str(), out, errors);
}

HRESULT Effect::Create(Device* device, const void* compiled, UINT size, DWORD, Effect** out) {
  if (!device || !compiled || !out) return D3DERR_INVALIDCALL;
  *out = nullptr;
  auto data = std::make_shared<EffectData>();
  data->device = device;
  if (!Parse(std::string(static_cast<const char*>(compiled), size), data.get(), nullptr)) return E_FAIL;
  *out = new Effect(std::move(data));
  return S_OK;
}

Effect::~Effect() = default;

UINT Effect::GetTechniqueCount() const { return static_cast<UINT>(data_->techniques.size()); }

HRESULT Effect::GetTechnique(UINT index, Technique** out) {
  if (!out) return D3DERR_INVALIDCALL;
  *out = nullptr;
  if (index >= data_->techniques.size()) return E_FAIL;
  *out = new Technique(data_, index);
  return S_OK;
}

HRESULT Effect::SetTexture(DWORD parameter, Texture* texture) {
  bool declared = false;
  for (DWORD p : data_->parameters) declared |= p == parameter;
  if (!declared) return D3DERR_INVALIDCALL;
  Texture*& slot = data_->bound[parameter];
  if (texture) texture->AddRef();
  if (slot) slot->Release();
  slot = texture;
  return S_OK;
}

HRESULT Technique::Validate() {
  D3DCAPS8 caps{};
  data_->device->GetDeviceCaps(&caps);
  for (const PassData& pass : data_->techniques[index_].passes) {
    for (const auto& [stage, state] : pass.stageStates)
      if (stage >= caps.MaxSimultaneousTextures) return E_FAIL;
    for (const auto& [stage, code] : pass.textures) {
      if (stage >= caps.MaxSimultaneousTextures) return E_FAIL;
      bool declared = false;
      for (DWORD p : data_->parameters) declared |= p == code;
      if (!declared) return E_FAIL;
    }
  }
  return S_OK;
}

HRESULT Technique::Begin(UINT* passes) {
  if (passes) *passes = static_cast<UINT>(data_->techniques[index_].passes.size());
  if (savedBlock_) data_->device->DeleteStateBlock(savedBlock_);
  savedBlock_ = 0;
  return data_->device->CreateStateBlock(D3DSBT_ALL, &savedBlock_);
}

HRESULT Technique::Pass(UINT index) {
  const auto& passes = data_->techniques[index_].passes;
  if (index >= passes.size()) return D3DERR_INVALIDCALL;
  Device* device = data_->device;
  const PassData& pass = passes[index];
  for (const auto& [stage, code] : pass.textures) {
    auto it = data_->bound.find(code);
    device->SetTexture(stage, it == data_->bound.end() ? nullptr : it->second);
  }
  for (const auto& [stage, state] : pass.stageStates)
    device->SetTextureStageState(stage, D3DTEXTURESTAGESTATETYPE(state.first), state.second);
  for (const auto& [state, value] : pass.renderStates) device->SetRenderState(D3DRENDERSTATETYPE(state), value);
  return S_OK;
}

HRESULT Technique::End() {
  if (!savedBlock_) return D3DERR_INVALIDCALL;
  data_->device->ApplyStateBlock(savedBlock_);
  data_->device->DeleteStateBlock(savedBlock_);
  savedBlock_ = 0;
  return S_OK;
}

}  // namespace halvex::d3dutil
