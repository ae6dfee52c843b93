// Properties of an automation object that is reached only through IDispatch, by name.
#pragma once

#include <windows.h>
#include <oaidl.h>

namespace zav {

// Looks `name` up and puts `value` (DISPATCH_PROPERTYPUT with the named argument
// DISPID_PROPERTYPUT). An object, an array or a reference is first offered by reference
// (DISPATCH_PROPERTYPUTREF), and put by value only when the object refuses that. Returns the
// failing HRESULT of the lookup or of the put.
HRESULT SetPropertyByName(IDispatch* object, const wchar_t* name, const VARIANT& value);

// Looks `name` up and reads it (DISPATCH_PROPERTYGET, no arguments) into `result`, which must
// be empty or cleared by the caller.
HRESULT GetPropertyByName(IDispatch* object, const wchar_t* name, VARIANT* result);

} // namespace zav
