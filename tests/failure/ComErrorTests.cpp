// COM errors raised by the library, and crash reports of machine faults.
#include <gtest/gtest.h>

#include <optional>

#include "support/ComCheck.h"
#include "support/Steering.h"
#include "support/TestModule.h"

namespace {

using namespace zavtest;

TEST(ComErrors, RaisedWithTheirTextLeftOnTheThread) {
    using Raised = std::pair<HRESULT, std::string>;
    EXPECT_EQ(Raised(E_FAIL, "No path"), ComErrorOf([] { ThrowComError(E_FAIL, "No path"); }));
    EXPECT_EQ("No path", ThreadErrorDescription());
    MakeErrorInfo("earlier");
    EXPECT_EQ(nullptr, MakeErrorInfo(nullptr).GetInterfacePtr());
    EXPECT_EQ("earlier", ThreadErrorDescription());

    // What the server left on the thread wins over the caller's text.
    const std::tuple<const char*, const char*, std::string> fromThread[] = {
        {nullptr, "Failed to set", "Failed to set"},
        {"the server's words", "Failed to set", "the server's words"},
        {nullptr, nullptr, ""}};
    for (const auto& [left, text, description] : fromThread) {
        ::SetErrorInfo(0, nullptr);
        MakeErrorInfo(left);
        EXPECT_EQ(Raised(DISP_E_EXCEPTION, description),
                  ComErrorOf([&] { ThrowComErrorFromThread(DISP_E_EXCEPTION, text); }));
    }

    // The system's text follows the prefix, without its line break.
    const std::tuple<DWORD, HRESULT, std::string> win32[] = {
        {ERROR_ACCESS_DENIED, 0x80070005,
         "P: " + std::string(_com_error(0x80070005).ErrorMessage())},
        {0, E_FAIL, "P: " + std::string(_com_error(S_OK).ErrorMessage())},
        {E_OUTOFMEMORY, E_OUTOFMEMORY,
         "P: " + std::string(_com_error(E_OUTOFMEMORY).ErrorMessage())},
        {0x2000FFFF, 0x8007FFFF, "P: "}};
    for (const auto& [code, hr, description] : win32)
        EXPECT_EQ(Raised(hr, description), ComErrorOf([&] { ThrowWin32Error(code, "P: "); }));
}

// The calls the crash-report module receives for a report of `e`, as it records them.
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
// the report is an exception of its own.
TEST(CrashReports, OnePerExceptionObjectIntoTheErrorsFolderWhateverIsMissing) {
    CrashSandbox sandbox;
    WriteTextFile(sandbox.scratch / "file", "");
    const struct {
        std::string base;
        bool fail, crashRpt;
        std::string folder; // what the report names
    } rows[] = {{sandbox.scratch / "a\\b", false, true, sandbox.scratch / "a\\b\\Veltrium\\Errors"},
                {sandbox.scratch.path(), true, true, ""},
                {sandbox.scratch / "file\\below", false, true, ""},
                {sandbox.scratch.path(), false, false, sandbox.ErrorsFolder()}};
    EXCEPTION_RECORD record{};
    record.ExceptionCode = EXCEPTION_INT_DIVIDE_BY_ZERO;
    CONTEXT context{};
    EXCEPTION_POINTERS pointers{&record, &context};
    for (const auto& row : rows) {
        CrashSandbox::folder = row.base;
        CrashSandbox::fail = row.fail;
        std::optional<ImportPatch> noCrashRpt;
        if (!row.crashRpt)
            noCrashRpt.emplace("KERNEL32.dll", "LoadLibraryA",
                               reinterpret_cast<void*>(+[](LPCSTR) -> HMODULE { return nullptr; }));
        TestModule module("ERROR");
        numeric_exception e(&pointers), before(e);
        const size_t calls = sandbox.Calls().size();
        CreateCrashReport(e, module);
        CreateCrashReport(e, module);
        CreateCrashReport(before, module);
        std::vector<std::string> expected, made = sandbox.Calls();
        for (const win32_exception* reported : {&e, &before})
            for (const std::string& call : ReportCalls(*reported, row.folder))
                expected.insert(expected.end(), row.crashRpt, call);
        EXPECT_EQ(expected, std::vector<std::string>(made.begin() + calls, made.end()));
        EXPECT_EQ(std::vector<std::string>(2, "Process dump was generated in [" + row.folder + "]"),
                  module.Messages("ERROR"));
        EXPECT_EQ(!row.folder.empty(), Exists(row.folder)) << row.base;
    }
    EXPECT_EQ(0x8023, CrashSandbox::csidl) << "the common application data, created when missing";
}

} // namespace
