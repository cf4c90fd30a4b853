#include "host/sdk/plugapi.h"

namespace tessary::host {

namespace {
int appID = 0;
int customControlsInits = 0;
int commonControlsInits = 0;
}  // namespace

int GetAppID() { return appID; }
void SetAppID(int id) { appID = id; }

void InitCustomControls(HINSTANCE /*hInst*/) { ++customControlsInits; }
int InitCustomControlsCount() { return customControlsInits; }

#ifndef _WIN32
void InitCommonControls() { ++commonControlsInits; }
#endif
int InitCommonControlsCount() { return commonControlsInits; }

void ResetControlInitCounts() {
  customControlsInits = 0;
  commonControlsInits = 0;
}

}  // namespace tessary::host
