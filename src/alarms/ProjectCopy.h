// Copies of QCP files kept for an administrator who asked for them in the registry.
#pragma once

namespace zav {

// When the string value `valueName` of HKEY_LOCAL_MACHINE\SOFTWARE\Orlenco\ZAV names an
// existing folder, copies `qcpFile` there as "<name>-<yymmddHHMMSS>.qcp". Returns whether the
// value holds any text at all. Never throws: a missing value, a missing folder or a failed copy
// only means there is no copy.
bool SaveProjectCopy(const char* valueName, const char* qcpFile) noexcept;

} // namespace zav
