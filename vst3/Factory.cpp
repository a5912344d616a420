// The module's factory and its exported entries: GetPluginFactory, and the load and unload entries of
// the platform (ModuleEntry/ModuleExit on Linux, InitDll/ExitDll on Windows).
#include <cstring>
#include <new>

#include "Component.h"
#include "Controller.h"
#include "Identity.h"
#include "Text.h"

namespace tamblin::vst3 {

using namespace ::vst3;

namespace {

// The one factory lives as long as the module; its reference count is not kept.
class Factory final : public IPluginFactory3 {
 public:
  tresult VST3_API queryInterface(const TUID iid, void** object) override {
    if (object == nullptr) return kInvalidArgument;
    if (FUnknown::iid.matches(iid) || IPluginFactory::iid.matches(iid) || IPluginFactory2::iid.matches(iid) ||
        IPluginFactory3::iid.matches(iid)) {
      *object = this;
      return kResultOk;
    }
    *object = nullptr;
    return kNoInterface;
  }
  uint32 VST3_API addRef() override { return 1; }
  uint32 VST3_API release() override { return 1; }

  tresult VST3_API getFactoryInfo(PFactoryInfo* info) override {
    if (info == nullptr) return kInvalidArgument;
    *info = PFactoryInfo{};
    copyText(info->vendor, kVendor, sizeof info->vendor);
    copyText(info->url, "", sizeof info->url);
    copyText(info->email, "", sizeof info->email);
    info->flags = PFactoryInfo::kUnicode;
    return kResultOk;
  }

  int32 VST3_API countClasses() override { return 2; }

  tresult VST3_API getClassInfo(int32 index, PClassInfo* info) override {
    if (info == nullptr || index < 0 || index > 1) return kInvalidArgument;
    *info = PClassInfo{};
    std::memcpy(info->cid, (index == 0 ? kComponentUid : kControllerUid).bytes, sizeof(TUID));
    info->cardinality = kManyInstances;
    copyText(info->category, index == 0 ? kVstAudioEffectClass : kVstComponentControllerClass,
             sizeof info->category);
    copyText(info->name, kName, sizeof info->name);
    return kResultOk;
  }

  tresult VST3_API getClassInfo2(int32 index, PClassInfo2* info) override {
    if (info == nullptr || index < 0 || index > 1) return kInvalidArgument;
    PClassInfo plain;
    getClassInfo(index, &plain);
    *info = PClassInfo2{};
    std::memcpy(info->cid, plain.cid, sizeof(TUID));
    info->cardinality = plain.cardinality;
    std::memcpy(info->category, plain.category, sizeof info->category);
    std::memcpy(info->name, plain.name, sizeof info->name);
    copyText(info->subCategories, index == 0 ? kSubCategories : "", sizeof info->subCategories);
    copyText(info->vendor, kVendor, sizeof info->vendor);
    copyText(info->version, kVersion, sizeof info->version);
    copyText(info->sdkVersion, kSdkVersion, sizeof info->sdkVersion);
    return kResultOk;
  }

  tresult VST3_API getClassInfoUnicode(int32 index, PClassInfoW* info) override {
    if (info == nullptr || index < 0 || index > 1) return kInvalidArgument;
    PClassInfo2 narrow;
    getClassInfo2(index, &narrow);
    *info = PClassInfoW{};
    std::memcpy(info->cid, narrow.cid, sizeof(TUID));
    info->cardinality = narrow.cardinality;
    std::memcpy(info->category, narrow.category, sizeof info->category);
    copyText(info->name, kName, 64);
    std::memcpy(info->subCategories, narrow.subCategories, sizeof info->subCategories);
    copyText(info->vendor, kVendor, 64);
    copyText(info->version, kVersion, 64);
    copyText(info->sdkVersion, kSdkVersion, 64);
    return kResultOk;
  }

  tresult VST3_API setHostContext(FUnknown*) override { return kResultOk; }

  tresult VST3_API createInstance(FIDString cid, FIDString iid, void** object) override {
    if (object == nullptr) return kInvalidArgument;
    *object = nullptr;
    if (cid == nullptr || iid == nullptr) return kInvalidArgument;
    FUnknown* made = nullptr;
    if (kComponentUid.matches(cid)) {
      made = static_cast<IComponent*>(new (std::nothrow) Component);
    } else if (kControllerUid.matches(cid)) {
      made = static_cast<IEditController*>(new (std::nothrow) Controller);
    } else {
      return kNoInterface;
    }
    if (made == nullptr) return kOutOfMemory;
    const tresult result = made->queryInterface(iid, object);
    made->release();  // the caller holds the reference the query added, or nothing is left
    return result;
  }
};

Factory factory;

}  // namespace

}  // namespace tamblin::vst3

#if defined(_WIN32)
// Tamblin.def names the exports.
extern "C" ::vst3::IPluginFactory* VST3_API GetPluginFactory() { return &tamblin::vst3::factory; }
extern "C" bool InitDll() { return true; }
extern "C" bool ExitDll() { return true; }
#else
#define TAMBLIN_EXPORT extern "C" __attribute__((visibility("default")))
TAMBLIN_EXPORT ::vst3::IPluginFactory* GetPluginFactory() { return &tamblin::vst3::factory; }
TAMBLIN_EXPORT bool ModuleEntry(void*) { return true; }
TAMBLIN_EXPORT bool ModuleExit() { return true; }
#endif
