// The SPC object manager: characteristics by id, each with a name.
#pragma once

#include <map>
#include <memory>
#include <string>

#include <ZAVTools/Automation.h>

#include "ComObject.h"

namespace refsrv {

struct CharacteristicList {
    std::wstring source; // the file they came from, for messages
    std::map<long, std::wstring> names;
};

// Reads the section [CHARACTERISTICS] ("<id>=<name>" per line) of the file.
std::shared_ptr<const CharacteristicList> ReadCharacteristics(const std::wstring& path);

class Characteristic : public ComObject<Vexil::_Characteristic> {
public:
    explicit Characteristic(std::wstring name) : m_name(std::move(name)) {}
    HRESULT __stdcall raw_Name(BSTR* result) override;

private:
    std::wstring m_name;
};

class Characteristics : public ComObject<Vexil::_Characteristics> {
public:
    explicit Characteristics(std::shared_ptr<const CharacteristicList> list)
        : m_list(std::move(list)) {}
    HRESULT __stdcall raw_Item(long charId, Vexil::_Characteristic** result) override;

private:
    std::shared_ptr<const CharacteristicList> m_list;
};

class ObjectManager : public ComObject<Vexil::_ObjectManager> {
public:
    explicit ObjectManager(std::shared_ptr<const CharacteristicList> list)
        : m_list(std::move(list)) {}
    HRESULT __stdcall get_Characteristics(Vexil::_Characteristics** result) override;

private:
    std::shared_ptr<const CharacteristicList> m_list;
};

} // namespace refsrv
