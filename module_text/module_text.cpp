#include "module_text/module_text.h"

namespace tessary {

HINSTANCE hInstance = nullptr;

namespace {
char stringBuffer[256];
}  // namespace

const char* GetString(int id) {
  if (!hInstance) return nullptr;
  const int length = LoadStringA(hInstance, static_cast<UINT>(id), stringBuffer, sizeof(stringBuffer));
  return length != 0 ? stringBuffer : nullptr;
}

}  // namespace tessary
