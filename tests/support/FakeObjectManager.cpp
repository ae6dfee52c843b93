#include "support/FakeObjectManager.h"

namespace zavtest {

// One object plays the manager, the collection and the characteristic: the test sees every
// call in one record.
HRESULT FakeObjectManager::get_Characteristics(Vexil::_Characteristics** result) {
    *result = nullptr;
    if (HRESULT hr = Enter("Characteristics"); FAILED(hr))
        return hr;
    if (!nullCharacteristics) {
        *result = static_cast<Vexil::_Characteristics*>(this);
        AddRef();
    }
    return S_OK;
}

HRESULT FakeObjectManager::raw_Item(long charId, Vexil::_Characteristic** result) {
    *result = nullptr;
    if (HRESULT hr = Enter("Item", charId); FAILED(hr))
        return hr;
    if (names.find(charId) == names.end())
        return Raise(E_INVALIDARG, "The test object manager has no such characteristic");
    if (!nullItem) {
        m_selected = charId;
        *result = static_cast<Vexil::_Characteristic*>(this);
        AddRef();
    }
    return S_OK;
}

HRESULT FakeObjectManager::raw_Name(BSTR* result) {
    *result = nullptr;
    if (HRESULT hr = Enter("Name"); FAILED(hr))
        return hr;
    *result = ::SysAllocString(names[m_selected].c_str());
    return *result ? S_OK : E_OUTOFMEMORY;
}

} // namespace zavtest
