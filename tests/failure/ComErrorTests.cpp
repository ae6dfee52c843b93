// COM errors raised by the library, and crash reports of machine faults.
#include "support/ComCheck.h"
#include "support/Steering.h"
#include "support/TestModule.h"

namespace {

using namespace zavtest;
using Raised = std::pair<HRESULT, std::string>;

// What an automation server left on the thread wins over the caller's text, and MakeErrorInfo
// without a text leaves the thread's information alone.
TEST(ComErrors, RaisedWithTheirTextLeftOnTheThread) {
    EXPECT_EQ(Raised(E_FAIL, "No path"), ComErrorOf([] { ThrowComError(E_FAIL, "No path"); }));
    EXPECT_EQ("No path", ThreadErrorDescription());
    MakeErrorInfo("the server's");
    EXPECT_EQ(nullptr, MakeErrorInfo(nullptr).GetInterfacePtr());
    EXPECT_EQ(Raised(DISP_E_EXCEPTION, "the server's"),
              ComErrorOf([] { ThrowComErrorFromThread(DISP_E_EXCEPTION, "mine"); }));
    EXPECT_EQ(Raised(E_FAIL, "mine"), ComErrorOf([] { ThrowComErrorFromThread(E_FAIL, "mine"); }));
    // The system's text follows the prefix, without its line break.
    for (const auto& [code, hr] : {std::pair<DWORD, HRESULT>{ERROR_ACCESS_DENIED, 0x80070005},
                                   {0, E_FAIL},
                                   {E_OUTOFMEMORY, E_OUTOFMEMORY}})
        EXPECT_EQ(Raised(hr, "P: " + std::string(_com_error(code).ErrorMessage())),
                  ComErrorOf([&] { ThrowWin32Error(code, "P: "); }));
    EXPECT_EQ(Raised(0x8007FFFF, "P: "), ComErrorOf([] { ThrowWin32Error(0x2000FFFF, "P: "); }));
}

// The calls the crash-report module records for a report of `e` into `folder`.
std::vector<std::string> ReportCalls(const win32_exception& e, const std::string& folder) {
    char calls[400];
    snprintf(calls, sizeof calls,
             "StackTrace 0 9999 %p %p %p\nGenerateSilentErrorReport 0 [%s] %p %p %p c0000094 [%s]",
             nullptr, static_cast<const void*>(&e.m_context), nullptr, folder.c_str(),
             static_cast<const void*>(&e.m_info), static_cast<const void*>(&e.m_record),
             static_cast<const void*>(&e.m_context), e.what());
    return SplitLines(calls);
}

// One report per exception object, with that object's record and context: a copy taken before
// the report is an exception of its own. The errors folder is created level by level, and is
// empty when it cannot be had; without the crash-report module the line is still logged.
TEST(CrashReports, OnePerExceptionObjectIntoTheErrorsFolderWhateverIsMissing) {
    // Below the sandbox: the common application data, what the report names (none when null).
    const std::tuple<const char*, bool, bool, const char*> rows[] = {
        {"a\\b", false, true, "a\\b\\Veltrium\\Errors"},
        {"", true, true, nullptr},
        {"", false, false, "Veltrium\\Errors"}};
    EXCEPTION_RECORD record{};
    record.ExceptionCode = EXCEPTION_INT_DIVIDE_BY_ZERO;
    CONTEXT context{};
    EXCEPTION_POINTERS pointers{&record, &context};
    for (const auto& [base, fail, crashRpt, named] : rows) {
        CrashSandbox sandbox;
        CrashSandbox::folder = sandbox.scratch / base;
        CrashSandbox::fail = fail;
        const std::string folder = named ? sandbox.scratch / named : "";
        std::unique_ptr<ImportPatch> noCrashRpt(
            crashRpt ? nullptr
                     : new ImportPatch(
                           "KERNEL32.dll", "LoadLibraryA",
                           reinterpret_cast<void*>(+[](LPCSTR) -> HMODULE { return nullptr; })));
        TestModule module("ERROR");
        numeric_exception e(&pointers), before(e);
        CreateCrashReport(e, module);
        CreateCrashReport(e, module);
        CreateCrashReport(before, module);
        std::vector<std::string> expected = ReportCalls(e, folder);
        for (const std::string& call : ReportCalls(before, folder))
            expected.push_back(call);
        EXPECT_EQ(crashRpt ? expected : std::vector<std::string>(), sandbox.Calls());
        EXPECT_EQ(std::vector<std::string>(2, "Process dump was generated in [" + folder + "]"),
                  module.Messages("ERROR"));
        EXPECT_EQ(!folder.empty(), Exists(folder)) << folder;
    }
}

} // namespace
