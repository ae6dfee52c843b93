// An in-memory SPC object manager for tests: characteristics by id, every call recorded.
#pragma once

#include <map>
#include <string>

#include "ZAVTools/Automation.h"
#include "support/ComObject.h"
#include "support/ScriptedCalls.h"

namespace zavtest {

class FakeObjectManager : public ComObject<Vexil::_ObjectManager, Vexil::_Characteristics,
                                           Vexil::_Characteristic, ISupportErrorInfo>,
                          public ScriptedCalls {
public:
    // Characteristic names by id; an unknown id fails with E_INVALIDARG.
    std::map<long, std::wstring> names;
    // When set, Characteristics and Item give null objects instead.
    bool nullCharacteristics = false, nullItem = false;

    Vexil::_ObjectManagerPtr Ptr() {
        return Vexil::_ObjectManagerPtr(static_cast<Vexil::_ObjectManager*>(this));
    }

    HRESULT __stdcall get_Characteristics(Vexil::_Characteristics** result) override;
    HRESULT __stdcall raw_Item(long charId, Vexil::_Characteristic** result) override;
    HRESULT __stdcall raw_Name(BSTR* result) override;
    HRESULT __stdcall InterfaceSupportsErrorInfo(REFIID) override { return S_OK; }

private:
    long m_selected = 0; // the id of the characteristic last handed out
};

} // namespace zavtest
