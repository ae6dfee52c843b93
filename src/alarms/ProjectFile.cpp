#include "ZAVTools/ProjectFile.h"

#include <cstdlib>
#include <cstring>

namespace {

// The default of every read: a key whose value is this text, in any case, cannot be told from an
// absent key, and no real option is ever set to it.
constexpr char kAbsentSentinel[] = "_3F1B7E20_A4C6_4D19_9B2E_5C8D0F61A7B4_";

bool ReadKey(const char* key, const char* qcpFile, char (&text)[128]) {
    if (!key || !qcpFile)
        return false; // the reader would list every key, or fall back to win.ini
    ::GetPrivateProfileStringA("GENERAL", key, kAbsentSentinel, text, sizeof text, qcpFile);
    return _stricmp(text, kAbsentSentinel) != 0;
}

void AppendNarrow(std::string& out, const _bstr_t& text) {
    if (const char* narrow = static_cast<const char*>(text))
        out += narrow;
}

} // namespace

bool GetValueFromQCPFile(const char* key, const char* qcpFile, int& value) {
    char text[128];
    if (!ReadKey(key, qcpFile, text))
        return false;
    value = atoi(text);
    return true;
}

bool GetStringFromQCPFile(const char* key, const char* qcpFile, std::string& value) {
    char text[128];
    if (!ReadKey(key, qcpFile, text))
        return false;
    value = text;
    return true;
}

std::string MakeProcessName(VELTRIUM::_SpreadsheetPtr spreadsheet, int caseNumber,
                            const std::vector<int>& variables) {
    std::string name;
    for (size_t i = 0; i < variables.size(); ++i) {
        if (i > 0)
            name += ',';
        AppendNarrow(name, spreadsheet->VariableName(variables[i]));
        name += '=';
        AppendNarrow(name, spreadsheet->CellText(caseNumber, variables[i]));
    }
    return name;
}

bool GetProcessBlock(VELTRIUM::_SpreadsheetPtr spreadsheet, int startCase,
                     const std::vector<int>& variables, ProcessBlock& block) {
    if (!spreadsheet)
        _com_issue_error(E_POINTER);
    const long lastCase = spreadsheet->NumberOfCases();
    if (startCase > lastCase)
        return false;
    block.firstCase = startCase;
    block.processName = MakeProcessName(spreadsheet, startCase, variables);

    // The first probe is the last case, so a block that runs to the end costs one read, and a
    // single remaining case joins the block when its name is the same.
    long low = startCase, high = lastCase, probe = lastCase;
    while (probe > low) {
        if (MakeProcessName(spreadsheet, probe, variables) == block.processName)
            low = probe;
        else
            high = probe;
        probe = low + (high - low) / 2;
    }
    block.lastCase = static_cast<int>(low);
    return true;
}
