#include "ZAVTools/Markers.h"

int fnZAVTools() {
    return 42;
}

int nZAVTools = 0;

extern const DWORD gShutdownTimeouts[6] = {61000, 50000, 10000, 3000, 1000, 0};

CZAVTools::CZAVTools() = default;
CZAVTools& CZAVTools::operator=(const CZAVTools&) {
    return *this;
}
CZAVTools& CZAVTools::operator=(CZAVTools&&) {
    return *this;
}

void GetZAVConnectionString() {}
