#include "ZAVTools/Strings.h"

#include "resources/ResourceLibrary.h"

CString strGetStringZAVTools(unsigned id) {
    CString text;
    text.LoadString(zav::ResourceInstance(), id, false);
    return text;
}
