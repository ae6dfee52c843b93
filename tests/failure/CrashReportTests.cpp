#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "ZAVTools.h"
#include "support/ImportPatch.h"
#include "support/LoggedModule.h"
#include "support/TempDir.h"

namespace {

using zavtest::ImportPatch;
using zavtest::ReadWholeFile;
using zavtest::SplitLines;

volatile int g_zero = 0;

numeric_exception DivisionFault() {
    try {
        volatile int result = 1 / g_zero;
        (void)result;
    } catch (const numeric_exception& e) {
        return e;
    }
    throw std::logic_error("the division did not fault");
}

std::string Pointer(const void* value) {
    char text[32];
    snprintf(text, sizeof text, "%p", value);
    return text;
}

// The common application-data folder as the library sees it, steered by the test.
struct FolderSteering {
    static inline std::string folder;
    static inline bool fail = false;
    static inline int csidl = 0;
    static HRESULT WINAPI GetFolderPath(HWND, int which, HANDLE, DWORD, LPSTR path) {
        csidl = which;
        if (fail)
            return E_FAIL;
        strcpy(path, folder.c_str());
        return S_OK;
    }
};

HMODULE WINAPI NoModule(LPCSTR) {
    ::SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
}

class CrashReports : public ::testing::Test {
protected:
    void SetUp() override {
        PrepareExceptionHandling();
        m_calls = scratch / "crashrpt-calls.txt";
        ::SetEnvironmentVariableA("ZAV_CRASHRPT_LOG", m_calls.c_str());
        FolderSteering::folder = scratch / "ProgramData";
        FolderSteering::fail = false;
        ::CreateDirectoryA(FolderSteering::folder.c_str(), nullptr);
    }
    void TearDown() override { ::SetEnvironmentVariableA("ZAV_CRASHRPT_LOG", nullptr); }

    std::vector<std::string> Calls() const { return SplitLines(ReadWholeFile(m_calls)); }
    std::string ErrorsFolder() const { return FolderSteering::folder + "\\Veltrium\\Errors"; }

    zavtest::TempDir scratch;
    zavtest::LoggedModule module;
    ImportPatch m_folderPatch{"SHELL32.dll", "SHGetFolderPathA",
                              reinterpret_cast<void*>(&FolderSteering::GetFolderPath)};
    std::string m_calls;
};

TEST_F(CrashReports, OneReportPerExceptionObjectWithTheFaultsOwnRecordAndContext) {
    numeric_exception e = DivisionFault();
    numeric_exception copiedBefore(e);
    CreateCrashReport(e, module);
    CreateCrashReport(e, module);
    numeric_exception copiedAfter(e);
    CreateCrashReport(copiedAfter, module);

    EXPECT_TRUE(e.m_reported);
    EXPECT_EQ(0x8023, FolderSteering::csidl);
    std::vector<std::string> expected = {
        "StackTrace 0 9999 " + Pointer(nullptr) + " " + Pointer(&e.m_context) + " " +
            Pointer(nullptr),
        "GenerateSilentErrorReport 0 [" + ErrorsFolder() + "] " + Pointer(&e.m_info) + " " +
            Pointer(&e.m_record) + " " + Pointer(&e.m_context) + " c0000094 [Division By Zero]",
    };
    EXPECT_EQ(expected, Calls());
    EXPECT_EQ(std::vector<std::string>{"Process dump was generated in [" + ErrorsFolder() + "]"},
              module.Messages("ERROR"));
    DWORD attributes = ::GetFileAttributesA(ErrorsFolder().c_str());
    EXPECT_TRUE(attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
        << "both levels were created";

    // A copy taken before the report is an exception of its own.
    CreateCrashReport(copiedBefore, module);
    EXPECT_EQ(4u, Calls().size());
    EXPECT_EQ(2u, module.Messages("ERROR").size());
}

TEST_F(CrashReports, WithoutTheCrashReportModuleTheLineIsStillLogged) {
    ImportPatch noCrashRpt("KERNEL32.dll", "LoadLibraryA", reinterpret_cast<void*>(&NoModule));
    numeric_exception e = DivisionFault();
    CreateCrashReport(e, module);
    EXPECT_TRUE(e.m_reported);
    EXPECT_TRUE(Calls().empty());
    EXPECT_EQ(std::vector<std::string>{"Process dump was generated in [" + ErrorsFolder() + "]"},
              module.Messages("ERROR"));
}

TEST_F(CrashReports, AnErrorsFolderThatCannotBeHadIsEmpty) {
    FolderSteering::fail = true;
    numeric_exception e = DivisionFault();
    CreateCrashReport(e, module);
    ASSERT_EQ(2u, Calls().size());
    EXPECT_NE(std::string::npos, Calls()[1].find(" 0 [] ")) << Calls()[1];
    EXPECT_EQ(std::vector<std::string>{"Process dump was generated in []"},
              module.Messages("ERROR"));

    // A level that exists as a file cannot become a directory.
    FolderSteering::fail = false;
    zavtest::WriteTextFile(scratch / "file", "not a folder");
    FolderSteering::folder = scratch / "file\\below";
    numeric_exception blocked = DivisionFault();
    CreateCrashReport(blocked, module);
    EXPECT_EQ("Process dump was generated in []", module.Messages("ERROR").back());
}

TEST_F(CrashReports, MissingLevelsAreCreatedOneByOne) {
    FolderSteering::folder = scratch / "a\\b\\c";
    numeric_exception e = DivisionFault();
    CreateCrashReport(e, module);
    EXPECT_EQ("Process dump was generated in [" + ErrorsFolder() + "]",
              module.Messages("ERROR").back());
    DWORD attributes = ::GetFileAttributesA(ErrorsFolder().c_str());
    EXPECT_TRUE(attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY));
}

} // namespace
