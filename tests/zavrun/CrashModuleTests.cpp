// The crash-report module that the sample host deploys: a caught fault leaves a real minidump
// and a text report in the folder the library names.
#include <windows.h>
#include <gtest/gtest.h>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "ZAVTools.h"
#include "support/ChildProcess.h"
#include "support/TempDir.h"

namespace {

using StackTraceEntry = void(__cdecl*)(int, int, void*, CONTEXT*, void*);
using SilentReportEntry = void(__cdecl*)(int, const char*, EXCEPTION_POINTERS*, const char*);

std::vector<std::string> FilesIn(const std::string& folder, const char* pattern) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA entry;
    HANDLE search = ::FindFirstFileA((folder + "\\" + pattern).c_str(), &entry);
    if (search != INVALID_HANDLE_VALUE) {
        do
            names.push_back(entry.cFileName);
        while (::FindNextFileA(search, &entry));
        ::FindClose(search);
    }
    return names;
}

std::string Contents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

volatile int g_zero = 0;

TEST(CrashReportModule, AFaultLeavesAMinidumpAndAReport) {
    HMODULE module =
        ::LoadLibraryA(zavtest::BesideThisExecutable("..\\zavrun\\CrashRpt.dll").c_str());
    ASSERT_NE(nullptr, module);
    auto stackTrace = reinterpret_cast<StackTraceEntry>(
        reinterpret_cast<void*>(::GetProcAddress(module, "StackTrace")));
    auto silentReport = reinterpret_cast<SilentReportEntry>(
        reinterpret_cast<void*>(::GetProcAddress(module, "GenerateSilentErrorReport")));
    ASSERT_TRUE(stackTrace && silentReport);

    zavtest::TempDir errors;
    PrepareExceptionHandling();
    try {
        g_zero = 10 / g_zero;
        FAIL() << "the division should fault";
    } catch (numeric_exception& e) {
        stackTrace(0, 9999, nullptr, e.m_info.ContextRecord, nullptr);
        silentReport(0, errors.path().c_str(), &e.m_info, e.what());
    }

    std::vector<std::string> dumps = FilesIn(errors.path(), "crash-*.dmp");
    std::vector<std::string> reports = FilesIn(errors.path(), "crash-*.txt");
    ASSERT_EQ(1u, dumps.size());
    ASSERT_EQ(1u, reports.size());
    EXPECT_EQ(0u, Contents(errors / dumps[0]).find("MDMP")) << "a minidump's signature";
    std::string report = Contents(errors / reports[0]);
    EXPECT_NE(std::string::npos, report.find("Exception: Division By Zero, code 0xC0000094"))
        << report;
    EXPECT_NE(std::string::npos, report.find("at test_zavrun.exe+0x")) << report;
    EXPECT_NE(std::string::npos, report.find("Dump: written")) << report;
    ::FreeLibrary(module);
}

} // namespace
