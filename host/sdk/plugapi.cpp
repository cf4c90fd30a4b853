#include "host/sdk/plugapi.h"

namespace tessary::host {

namespace {
int appID = 0;
int customControlsInits = 0;
}  // namespace

int GetAppID() { return appID; }
void SetAppID(int id) { appID = id; }

void InitCustomControls(HINSTANCE /*hInst*/) { ++customControlsInits; }
int InitCustomControlsCount() { return customControlsInits; }

void ResetControlInitCounts() { customControlsInits = 0; }

}  // namespace tessary::host
