// Reading single keys of a QC project (QCP) file, and naming the process of spreadsheet cases.
#pragma once

#include <string>
#include <vector>

#include "Automation.h"
#include "Export.h"

// A run of consecutive cases that share one process name.
struct ProcessBlock {
    int firstCase;
    int lastCase;
    std::string processName;
};

// Key `key` of section "GENERAL" of `qcpFile` (at most 127 characters are read). True and
// `value` set when the key is present; false, and `value` untouched, when the key, the section
// or the file is missing (a null key or file counts as missing). An empty value reads as 0;
// text after the leading digits is ignored, as atoi does.
ZAVTOOLS_API bool GetValueFromQCPFile(const char* key, const char* qcpFile, int& value);
// As GetValueFromQCPFile, for the text itself; `value` is not to be used when false.
ZAVTOOLS_API bool GetStringFromQCPFile(const char* key, const char* qcpFile, std::string& value);

// "name=text,name=text" from the variables' names and the case's displayed cell texts, in the
// order given; the empty string for no variables. Nothing is quoted.
ZAVTOOLS_API std::string MakeProcessName(VELTRIUM::_SpreadsheetPtr spreadsheet, int caseNumber,
                                         const std::vector<int>& variables);

// The block of cases from `startCase` on that carries startCase's process name, found by
// bisection: the data must be grouped by process. False, and `block` untouched, when
// `startCase` lies beyond the last case. Walk a spreadsheet by starting each search at the case
// after the previous block's last case.
ZAVTOOLS_API bool GetProcessBlock(VELTRIUM::_SpreadsheetPtr spreadsheet, int startCase,
                                  const std::vector<int>& variables, ProcessBlock& block);
