// The VST 3 base layer at its published values: result codes, interface ids and their byte order, the
// reference-counted root interface, the plug-in factory and its records, and the byte stream.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace vst3 {

// Windows builds use the COM calling convention and COM's result codes and id byte order; every other
// platform uses the C++ defaults.
#if defined(_WIN32)
#define VST3_API __stdcall
constexpr bool kComCompatible = true;
#else
#define VST3_API
constexpr bool kComCompatible = false;
#endif

using int8 = char;
using int16 = int16_t;
using uint16 = uint16_t;
using int32 = int32_t;
using uint32 = uint32_t;
using int64 = int64_t;
using uint64 = uint64_t;
using TBool = uint8_t;
using char8 = char;
using char16 = char16_t;
using TChar = char16;
using String128 = TChar[128];
using FIDString = const char8*;
using TUID = int8[16];

// Result codes. kResultTrue is kResultOk; kResultFalse the plain "no".
#if defined(_WIN32)
using tresult = int32_t;  // HRESULT
constexpr tresult kResultOk = 0;
constexpr tresult kResultFalse = 1;
constexpr tresult kNoInterface = static_cast<tresult>(0x80004002L);
constexpr tresult kInvalidArgument = static_cast<tresult>(0x80070057L);
constexpr tresult kNotImplemented = static_cast<tresult>(0x80004001L);
constexpr tresult kInternalError = static_cast<tresult>(0x80004005L);
constexpr tresult kNotInitialized = static_cast<tresult>(0x8000FFFFL);
constexpr tresult kOutOfMemory = static_cast<tresult>(0x8007000EL);
#else
using tresult = int32_t;
constexpr tresult kNoInterface = -1;
constexpr tresult kResultOk = 0;
constexpr tresult kResultFalse = 1;
constexpr tresult kInvalidArgument = 2;
constexpr tresult kNotImplemented = 3;
constexpr tresult kInternalError = 4;
constexpr tresult kNotInitialized = 5;
constexpr tresult kOutOfMemory = 6;
#endif
constexpr tresult kResultTrue = kResultOk;

// A 128-bit id written as four 32-bit words. On COM platforms the bytes are a GUID's: the first word
// little-endian, the second as two little-endian halves (high half first), the last two big-endian.
// Elsewhere all sixteen bytes are big-endian.
struct Uid {
  uint8_t bytes[16];
  const char* data() const { return reinterpret_cast<const char*>(bytes); }
  bool matches(const char* other) const { return other != nullptr && std::memcmp(bytes, other, 16) == 0; }
  // The four words again, as the module description and the tests write them.
  constexpr uint32_t word(int k) const {
    if (kComCompatible && k == 0) {
      return static_cast<uint32_t>(bytes[0]) | (static_cast<uint32_t>(bytes[1]) << 8) |
             (static_cast<uint32_t>(bytes[2]) << 16) | (static_cast<uint32_t>(bytes[3]) << 24);
    }
    if (kComCompatible && k == 1) {
      return (static_cast<uint32_t>(bytes[4]) << 16) | (static_cast<uint32_t>(bytes[5]) << 24) |
             static_cast<uint32_t>(bytes[6]) | (static_cast<uint32_t>(bytes[7]) << 8);
    }
    const int b = 4 * k;
    return (static_cast<uint32_t>(bytes[b]) << 24) | (static_cast<uint32_t>(bytes[b + 1]) << 16) |
           (static_cast<uint32_t>(bytes[b + 2]) << 8) | static_cast<uint32_t>(bytes[b + 3]);
  }
};

constexpr Uid makeUid(uint32_t l1, uint32_t l2, uint32_t l3, uint32_t l4) {
  auto byteOf = [](uint32_t word, int shift) { return static_cast<uint8_t>((word >> shift) & 0xFF); };
  if (kComCompatible) {
    return Uid{{byteOf(l1, 0), byteOf(l1, 8), byteOf(l1, 16), byteOf(l1, 24), byteOf(l2, 16), byteOf(l2, 24),
                byteOf(l2, 0), byteOf(l2, 8), byteOf(l3, 24), byteOf(l3, 16), byteOf(l3, 8), byteOf(l3, 0),
                byteOf(l4, 24), byteOf(l4, 16), byteOf(l4, 8), byteOf(l4, 0)}};
  }
  return Uid{{byteOf(l1, 24), byteOf(l1, 16), byteOf(l1, 8), byteOf(l1, 0), byteOf(l2, 24), byteOf(l2, 16),
              byteOf(l2, 8), byteOf(l2, 0), byteOf(l3, 24), byteOf(l3, 16), byteOf(l3, 8), byteOf(l3, 0),
              byteOf(l4, 24), byteOf(l4, 16), byteOf(l4, 8), byteOf(l4, 0)}};
}

// The root of every interface: no virtual destructor, so that the method table holds exactly these
// three entries first, as the interface requires.
class FUnknown {
 public:
  static constexpr Uid iid = makeUid(0x00000000, 0x00000000, 0xC0000000, 0x00000046);
  virtual tresult VST3_API queryInterface(const TUID iid, void** object) = 0;
  virtual uint32 VST3_API addRef() = 0;
  virtual uint32 VST3_API release() = 0;
};

class IPluginBase : public FUnknown {
 public:
  static constexpr Uid iid = makeUid(0x22888DDB, 0x156E45AE, 0x8358B348, 0x08190625);
  virtual tresult VST3_API initialize(FUnknown* context) = 0;
  virtual tresult VST3_API terminate() = 0;
};

// ---- the factory -----------------------------------------------------------------------------------

struct PFactoryInfo {
  enum : int32 { kNoFlags = 0, kClassesDiscardable = 1, kLicenseCheck = 2, kComponentNonDiscardable = 8,
                 kUnicode = 16 };
  char8 vendor[64];
  char8 url[256];
  char8 email[128];
  int32 flags;
};

constexpr int32 kManyInstances = 0x7FFFFFFF;

struct PClassInfo {
  TUID cid;
  int32 cardinality;
  char8 category[32];
  char8 name[64];
};

struct PClassInfo2 {
  TUID cid;
  int32 cardinality;
  char8 category[32];
  char8 name[64];
  uint32 classFlags;
  char8 subCategories[128];
  char8 vendor[64];
  char8 version[64];
  char8 sdkVersion[64];
};

struct PClassInfoW {
  TUID cid;
  int32 cardinality;
  char8 category[32];
  char16 name[64];
  uint32 classFlags;
  char8 subCategories[128];
  char16 vendor[64];
  char16 version[64];
  char16 sdkVersion[64];
};

class IPluginFactory : public FUnknown {
 public:
  static constexpr Uid iid = makeUid(0x7A4D811C, 0x52114A1F, 0xAED9D2EE, 0x0B43BF9F);
  virtual tresult VST3_API getFactoryInfo(PFactoryInfo* info) = 0;
  virtual int32 VST3_API countClasses() = 0;
  virtual tresult VST3_API getClassInfo(int32 index, PClassInfo* info) = 0;
  virtual tresult VST3_API createInstance(FIDString cid, FIDString iid, void** object) = 0;
};

class IPluginFactory2 : public IPluginFactory {
 public:
  static constexpr Uid iid = makeUid(0x0007B650, 0xF24B4C0B, 0xA464EDB9, 0xF00B2ABB);
  virtual tresult VST3_API getClassInfo2(int32 index, PClassInfo2* info) = 0;
};

class IPluginFactory3 : public IPluginFactory2 {
 public:
  static constexpr Uid iid = makeUid(0x4555A2AB, 0xC1234E57, 0x9B122910, 0x36878931);
  virtual tresult VST3_API getClassInfoUnicode(int32 index, PClassInfoW* info) = 0;
  virtual tresult VST3_API setHostContext(FUnknown* context) = 0;
};

// ---- streams ---------------------------------------------------------------------------------------

class IBStream : public FUnknown {
 public:
  static constexpr Uid iid = makeUid(0xC3BF6EA2, 0x30994752, 0x9B6BF990, 0x1EE33E9B);
  enum : int32 { kIBSeekSet = 0, kIBSeekCur = 1, kIBSeekEnd = 2 };
  virtual tresult VST3_API read(void* buffer, int32 numBytes, int32* numBytesRead) = 0;
  virtual tresult VST3_API write(void* buffer, int32 numBytes, int32* numBytesWritten) = 0;
  virtual tresult VST3_API seek(int64 pos, int32 mode, int64* result) = 0;
  virtual tresult VST3_API tell(int64* pos) = 0;
};

// ---- layout checks: natural alignment on every 64-bit target ---------------------------------------

static_assert(sizeof(TUID) == 16 && sizeof(Uid) == 16);
static_assert(sizeof(TChar) == 2);
static_assert(sizeof(PFactoryInfo) == 452 && offsetof(PFactoryInfo, flags) == 448);
static_assert(sizeof(PClassInfo) == 116 && offsetof(PClassInfo, category) == 20 && offsetof(PClassInfo, name) == 52);
static_assert(sizeof(PClassInfo2) == 440 && offsetof(PClassInfo2, classFlags) == 116 &&
              offsetof(PClassInfo2, subCategories) == 120 && offsetof(PClassInfo2, vendor) == 248 &&
              offsetof(PClassInfo2, version) == 312 && offsetof(PClassInfo2, sdkVersion) == 376);
static_assert(sizeof(PClassInfoW) == 696 && offsetof(PClassInfoW, name) == 52 &&
              offsetof(PClassInfoW, classFlags) == 180 && offsetof(PClassInfoW, subCategories) == 184 &&
              offsetof(PClassInfoW, vendor) == 312 && offsetof(PClassInfoW, version) == 440 &&
              offsetof(PClassInfoW, sdkVersion) == 568);
// The byte order of ids: FUnknown's is the COM IUnknown GUID on both kinds of platform.
static_assert(FUnknown::iid.bytes[8] == 0xC0 && FUnknown::iid.bytes[15] == 0x46);
static_assert(IPluginFactory::iid.word(0) == 0x7A4D811C && IPluginFactory::iid.word(1) == 0x52114A1F &&
              IPluginFactory::iid.word(2) == 0xAED9D2EE && IPluginFactory::iid.word(3) == 0x0B43BF9F);
static_assert(kComCompatible ? (IPluginFactory::iid.bytes[0] == 0x1C && IPluginFactory::iid.bytes[4] == 0x11 &&
                                IPluginFactory::iid.bytes[6] == 0x1F)
                             : (IPluginFactory::iid.bytes[0] == 0x7A && IPluginFactory::iid.bytes[4] == 0x52 &&
                                IPluginFactory::iid.bytes[6] == 0x4A));

}  // namespace vst3
