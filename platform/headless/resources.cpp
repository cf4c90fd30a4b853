// Module resources: the string table, bitmaps and image lists.

#include <dlfcn.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/headless/module_resources.h"

namespace tessary::headless {

namespace {

std::mutex& CacheMutex() {
  static std::mutex m;
  return m;
}

std::map<const HeadlessResources*, std::unique_ptr<ModuleResources>>& Cache() {
  static std::map<const HeadlessResources*, std::unique_ptr<ModuleResources>> cache;
  return cache;
}

void* ProgramHandle() {
  static void* handle = dlopen(nullptr, RTLD_LAZY);
  return handle;
}

// ---- GDI objects: bitmaps and image lists ----

struct Bitmap {
  int width = 0;
  int height = 0;
  std::vector<BYTE> bgr;  // top-down rows of width * 3 bytes
};

struct ImageList {
  int width = 0;
  int height = 0;
  UINT flags = 0;
  std::vector<std::vector<BYTE>> images;  // each width * height * 3 bytes, top-down BGR
};

std::map<std::uintptr_t, std::unique_ptr<Bitmap>>& Bitmaps() {
  static std::map<std::uintptr_t, std::unique_ptr<Bitmap>> m;
  return m;
}
std::map<std::uintptr_t, std::unique_ptr<ImageList>>& ImageLists() {
  static std::map<std::uintptr_t, std::unique_ptr<ImageList>> m;
  return m;
}
std::uintptr_t NextGdiHandle() {
  static std::uintptr_t next = 0x20000;
  return next += 4;
}

Bitmap* FindBitmap(const void* h) {
  auto it = Bitmaps().find(reinterpret_cast<std::uintptr_t>(h));
  return it == Bitmaps().end() ? nullptr : it->second.get();
}
ImageList* FindImageList(HIMAGELIST h) {
  auto it = ImageLists().find(reinterpret_cast<std::uintptr_t>(h));
  return it == ImageLists().end() ? nullptr : it->second.get();
}

std::uint32_t Le32(const unsigned char* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
std::uint16_t Le16(const unsigned char* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }

// Reads an uncompressed 24- or 32-bit BMP file; every field is checked
// against the file's size before it is used.
std::unique_ptr<Bitmap> DecodeBmp(const unsigned char* data, std::size_t size, std::string& error) {
  constexpr std::size_t kFileHeader = 14;
  constexpr long long kMaxSide = 16384;
  if (size < kFileHeader + 40 || data[0] != 'B' || data[1] != 'M') {
    error = "not a BMP file";
    return nullptr;
  }
  std::uint32_t offset = Le32(data + 10);
  std::uint32_t infoSize = Le32(data + 14);
  if (infoSize < 40 || infoSize > size - kFileHeader) {
    error = "bad BMP header size " + std::to_string(infoSize);
    return nullptr;
  }
  auto width = static_cast<std::int32_t>(Le32(data + 18));
  auto height = static_cast<std::int32_t>(Le32(data + 22));
  std::uint16_t planes = Le16(data + 26);
  std::uint16_t bits = Le16(data + 28);
  std::uint32_t compression = Le32(data + 30);
  if (planes != 1 || (bits != 24 && bits != 32) || compression != BI_RGB) {
    error = "unsupported BMP format (" + std::to_string(bits) + " bits, compression " + std::to_string(compression) + ")";
    return nullptr;
  }
  long long h = height < 0 ? -static_cast<long long>(height) : height;
  if (width <= 0 || h <= 0 || width > kMaxSide || h > kMaxSide) {
    error = "BMP size " + std::to_string(width) + " x " + std::to_string(height) + " out of range";
    return nullptr;
  }
  std::size_t bytesPerPixel = bits / 8u;
  std::size_t rowSize = (static_cast<std::size_t>(width) * bytesPerPixel + 3u) / 4u * 4u;
  std::size_t need = rowSize * static_cast<std::size_t>(h);
  if (offset < kFileHeader + infoSize || offset > size || need > size - offset) {
    error = "BMP pixel data runs past the end of the file";
    return nullptr;
  }
  auto bmp = std::make_unique<Bitmap>();
  bmp->width = width;
  bmp->height = static_cast<int>(h);
  bmp->bgr.resize(static_cast<std::size_t>(width) * 3u * static_cast<std::size_t>(h));
  for (long long y = 0; y < h; ++y) {
    long long srcRow = height > 0 ? h - 1 - y : y;  // positive height: bottom-up
    const unsigned char* src = data + offset + rowSize * static_cast<std::size_t>(srcRow);
    BYTE* dst = bmp->bgr.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(width) * 3u;
    for (int x = 0; x < width; ++x) {
      std::memcpy(dst + static_cast<std::size_t>(x) * 3u, src + static_cast<std::size_t>(x) * bytesPerPixel, 3);
    }
  }
  return bmp;
}

}  // namespace

const HeadlessResourceFile* ModuleResources::File(const std::string& name) const {
  if (!raw) return nullptr;
  for (std::size_t i = 0; i < raw->fileCount; ++i)
    if (raw->files[i].name && name == raw->files[i].name) return &raw->files[i];
  return nullptr;
}

const ModuleResources* ResourcesOf(HINSTANCE instance) {
  void* handle = instance ? static_cast<void*>(instance) : ProgramHandle();
  if (!handle) return nullptr;
  void* sym = dlsym(handle, kHeadlessResourcesSymbol);
  if (!sym) return nullptr;
  HeadlessResourcesFn fn = nullptr;
  static_assert(sizeof(fn) == sizeof(sym));
  std::memcpy(&fn, &sym, sizeof(fn));
  const HeadlessResources* raw = fn();
  if (!raw || !raw->scriptText) return nullptr;

  std::lock_guard<std::mutex> lock(CacheMutex());
  auto& entry = Cache()[raw];
  if (!entry) {
    entry = std::make_unique<ModuleResources>();
    entry->raw = raw;
    ModuleResources* self = entry.get();
    std::string_view text(reinterpret_cast<const char*>(raw->scriptText), raw->scriptSize);
    RcParseResult parsed = ParseResourceScript(text, raw->scriptName ? raw->scriptName : "resources",
                                               [self](const std::string& name) -> std::optional<std::string> {
                                                 const HeadlessResourceFile* f = self->File(name);
                                                 if (!f) return std::nullopt;
                                                 return std::string(reinterpret_cast<const char*>(f->data), f->size);
                                               });
    entry->script = std::move(parsed.script);
    entry->error = std::move(parsed.error);
    if (!entry->script) std::fprintf(stderr, "resources: %s\n", entry->error.c_str());
  }
  return entry.get();
}

}  // namespace tessary::headless

using tessary::headless::ResourcesOf;

int LoadStringA(HINSTANCE instance, UINT id, LPSTR buffer, int size) {
  if (!buffer || size <= 0) return 0;
  buffer[0] = '\0';
  const auto* res = ResourcesOf(instance);
  if (!res || !res->script || id > 65535u) return 0;
  const std::string* text = res->script->FindString(static_cast<int>(id));
  if (!text) return 0;
  std::size_t n = std::min(text->size(), static_cast<std::size_t>(size - 1));
  std::memcpy(buffer, text->data(), n);
  buffer[n] = '\0';
  return static_cast<int>(n);
}

HBITMAP LoadBitmapA(HINSTANCE instance, LPCSTR name) {
  using namespace tessary::headless;
  if (!name) return nullptr;
  const auto* res = ResourcesOf(instance);
  if (!res || !res->script) return nullptr;
  const BitmapResource* b = res->script->FindBitmap(ResName::FromArg(name));
  if (!b) return nullptr;
  const HeadlessResourceFile* f = res->File(b->file);
  if (!f) return nullptr;
  std::string error;
  std::unique_ptr<Bitmap> bmp = DecodeBmp(f->data, f->size, error);
  if (!bmp) {
    std::fprintf(stderr, "resources: bitmap \"%s\": %s\n", b->file.c_str(), error.c_str());
    return nullptr;
  }
  std::uintptr_t h = NextGdiHandle();
  Bitmaps()[h] = std::move(bmp);
  return reinterpret_cast<HBITMAP>(h);
}

int GetObjectA(HGDIOBJ object, int size, LPVOID out) {
  using namespace tessary::headless;
  Bitmap* b = FindBitmap(object);
  if (!b || !out || size < static_cast<int>(sizeof(BITMAP))) return 0;
  BITMAP bm{};
  bm.bmType = 0;
  bm.bmWidth = b->width;
  bm.bmHeight = b->height;
  bm.bmWidthBytes = b->width * 3;
  bm.bmPlanes = 1;
  bm.bmBitsPixel = 24;
  bm.bmBits = b->bgr.data();
  std::memcpy(out, &bm, sizeof(bm));
  return static_cast<int>(sizeof(BITMAP));
}

namespace tessary::headless {
bool ForgetBrush(HGDIOBJ object);  // gdi.cpp
}  // namespace tessary::headless

BOOL DeleteObject(HGDIOBJ object) {
  using namespace tessary::headless;
  if (Bitmaps().erase(reinterpret_cast<std::uintptr_t>(object))) return TRUE;
  return ForgetBrush(object) ? TRUE : FALSE;
}

namespace {
int commonControlsInits = 0;
}  // namespace

void InitCommonControls() { ++commonControlsInits; }

HIMAGELIST ImageList_Create(int width, int height, UINT flags, int initial, int grow) {
  using namespace tessary::headless;
  if (width <= 0 || height <= 0 || width > 16384 || height > 16384 || initial < 0 || grow < 0) return nullptr;
  auto list = std::make_unique<ImageList>();
  list->width = width;
  list->height = height;
  list->flags = flags;
  std::uintptr_t h = NextGdiHandle();
  ImageLists()[h] = std::move(list);
  return reinterpret_cast<HIMAGELIST>(h);
}

int ImageList_Add(HIMAGELIST handle, HBITMAP image, HBITMAP /*mask*/) {
  using namespace tessary::headless;
  ImageList* list = FindImageList(handle);
  Bitmap* bmp = FindBitmap(image);
  if (!list || !bmp) return -1;
  int first = static_cast<int>(list->images.size());
  // As many whole images as the bitmap is wide (none when it is narrower
  // than one); rows below a lower bitmap stay black.
  int count = bmp->width / list->width;
  const int rows = std::min(bmp->height, list->height);
  for (int i = 0; i < count; ++i) {
    std::vector<BYTE> img(static_cast<std::size_t>(list->width) * static_cast<std::size_t>(list->height) * 3u);
    for (int y = 0; y < rows; ++y) {
      const BYTE* src = bmp->bgr.data() + (static_cast<std::size_t>(y) * static_cast<std::size_t>(bmp->width) +
                                           static_cast<std::size_t>(i) * static_cast<std::size_t>(list->width)) * 3u;
      std::memcpy(img.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(list->width) * 3u, src,
                  static_cast<std::size_t>(list->width) * 3u);
    }
    list->images.push_back(std::move(img));
  }
  return first;
}

int ImageList_GetImageCount(HIMAGELIST handle) {
  using namespace tessary::headless;
  ImageList* list = FindImageList(handle);
  return list ? static_cast<int>(list->images.size()) : 0;
}

BOOL ImageList_Destroy(HIMAGELIST handle) {
  using namespace tessary::headless;
  return ImageLists().erase(reinterpret_cast<std::uintptr_t>(handle)) ? TRUE : FALSE;
}

HINSTANCE GetModuleHandleA(LPCSTR name) {
  if (!name) return static_cast<HINSTANCE>(tessary::headless::ProgramHandle());
  void* h = dlopen(name, RTLD_LAZY | RTLD_NOLOAD);
  if (h) dlclose(h);  // NOLOAD took a reference; the module stays loaded by its owner
  return static_cast<HINSTANCE>(h);
}

BOOL GetModuleHandleExA(DWORD flags, LPCSTR name, HMODULE* module) {
  if (!module) return FALSE;
  *module = nullptr;
  if (!(flags & GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS)) {
    *module = GetModuleHandleA(name);
    return *module ? TRUE : FALSE;
  }
  Dl_info info{};
  if (!dladdr(name, &info) || !info.dli_fname) return FALSE;
  // A shared library by its loader handle; the address is in the program
  // itself when its file cannot be opened as a library.
  void* h = dlopen(info.dli_fname, RTLD_LAZY | RTLD_NOLOAD);
  if (h) dlclose(h);  // NOLOAD took a reference; the owner keeps it loaded
  *module = static_cast<HMODULE>(h ? h : tessary::headless::ProgramHandle());
  return TRUE;
}

namespace tessary::headless {

int CommonControlsInits() { return commonControlsInits; }

void ForgetGdiObjects() {
  Bitmaps().clear();
  ImageLists().clear();
}

}  // namespace tessary::headless
