// White-box access to a CSpecManager for tests and benchmarks: its state record, so that a test
// can set what the QCP compilation would.
#pragma once

#include "ZAVTools.h"
#include "alarms/SpecManagerImpl.h"

struct CSpecManagerTestAccess {
    static SpecManagerImpl& State(CSpecManager& specs) { return *specs.m_pImpl; }
};
