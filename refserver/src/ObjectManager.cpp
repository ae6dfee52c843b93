#include "ObjectManager.h"

#include "IniFile.h"
#include "ServerError.h"
#include "Text.h"

namespace refsrv {

namespace {
const wchar_t kSource[] = L"RefServer.ObjectManager";
} // namespace

std::shared_ptr<const CharacteristicList> ReadCharacteristics(const std::wstring& path) {
    auto list = std::make_shared<CharacteristicList>();
    list->source = RequireFile(path, L"characteristics file");
    for (const IniEntry& entry : ReadIniSection(list->source, L"CHARACTERISTICS")) {
        long id = 0;
        if (!ParseLong(entry.key, id))
            Fail(kBadData, Format(L"Characteristics file \"%ls\", section [CHARACTERISTICS]: "
                                  L"\"%ls\" is not a characteristic id (a whole number)",
                                  list->source.c_str(), entry.key.c_str()));
        if (!list->names.emplace(id, entry.value).second)
            Fail(kBadData, Format(L"Characteristics file \"%ls\", section [CHARACTERISTICS]: "
                                  L"the id %ld appears twice",
                                  list->source.c_str(), id));
    }
    return list;
}

HRESULT Characteristic::raw_Name(BSTR* result) {
    return Guard(__uuidof(Vexil::_Characteristic), kSource, [&] {
        *Out(result) = nullptr;
        *result = MakeBstr(m_name);
        return S_OK;
    });
}

HRESULT Characteristics::raw_Item(long charId, Vexil::_Characteristic** result) {
    return Guard(__uuidof(Vexil::_Characteristics), kSource, [&] {
        *Out(result) = nullptr;
        auto found = m_list->names.find(charId);
        if (found == m_list->names.end())
            Fail(DISP_E_BADINDEX,
                 Format(L"Characteristic %ld is not in the section [CHARACTERISTICS] of \"%ls\"",
                        charId, m_list->source.c_str()));
        MakeObject<Characteristic>(found->second).CopyTo(result);
        return S_OK;
    });
}

HRESULT ObjectManager::get_Characteristics(Vexil::_Characteristics** result) {
    return Guard(__uuidof(Vexil::_ObjectManager), kSource, [&] {
        *Out(result) = nullptr;
        MakeObject<Characteristics>(m_list).CopyTo(result);
        return S_OK;
    });
}

} // namespace refsrv
