#include <gtest/gtest.h>

#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

#include "ZAVTools.h"
#include "support/ImportPatch.h"
#include "support/LoggedModule.h"
#include "support/Printers.h"
#include "support/TempDir.h"

namespace {

using zavtest::DescriptionOf;

volatile int g_zero = 0;
int* volatile g_badAddress = reinterpret_cast<int*>(0x20);

// The errors folder of crash reports, kept inside the test's own folder.
std::string g_commonAppData;
HRESULT WINAPI CommonAppData(HWND, int, HANDLE, DWORD, LPSTR path) {
    strcpy(path, g_commonAppData.c_str());
    return S_OK;
}

class CatchLadder : public ::testing::Test {
protected:
    void SetUp() override {
        PrepareExceptionHandling();
        g_commonAppData = scratch.path();
        m_calls = scratch / "crashrpt-calls.txt";
        ::SetEnvironmentVariableA("ZAV_CRASHRPT_LOG", m_calls.c_str());
    }
    void TearDown() override { ::SetEnvironmentVariableA("ZAV_CRASHRPT_LOG", nullptr); }

    // Runs `body` under the ladder and returns the COM error that leaves it.
    template <typename Body> _com_error Guarded(const char* activity, Body body) {
        try {
            RunGuarded(module, "CSpecManager::Complie", activity, body);
        } catch (const _com_error& e) {
            return e;
        }
        ADD_FAILURE() << "no COM error left the ladder";
        return _com_error(S_OK);
    }
    std::vector<std::string> CrashReportCalls() const {
        return zavtest::SplitLines(zavtest::ReadWholeFile(m_calls));
    }

    zavtest::TempDir scratch;
    zavtest::LoggedModule module;
    zavtest::ImportPatch m_folder{"SHELL32.dll", "SHGetFolderPathA",
                                  reinterpret_cast<void*>(&CommonAppData)};
    std::string m_calls;
};

TEST_F(CatchLadder, AStandardExceptionLeavesWrappedAndPassesOuterLevelsUnchanged) {
    _com_error outer = Guarded("Notifying", [this] {
        RunGuarded(module, "Inner", "Loading", [] { throw std::runtime_error("Queue full"); });
    });
    EXPECT_EQ(E_FAIL, outer.Error());
    EXPECT_EQ("Loading [Queue full]", DescriptionOf(outer));
    EXPECT_EQ((std::vector<std::string>{
                  "Exception detected in [Inner] while doing [Loading]; Error code 0x80004005, "
                  "[Queue full]",
                  "Exception detected in [CSpecManager::Complie] while doing [Notifying]; Error "
                  "code 0x80004005, [Loading [Queue full]]"}),
              module.Messages("ERROR"));
    EXPECT_TRUE(module.fatalExceptions.empty());
    EXPECT_TRUE(CrashReportCalls().empty());
}

TEST_F(CatchLadder, ANumericFaultGetsACrashReportFirst) {
    _com_error error = Guarded("Getting options from qcp file", [] {
        volatile int result = 1 / g_zero;
        (void)result;
    });
    EXPECT_EQ(E_FAIL, error.Error());
    EXPECT_EQ("Getting options from qcp file [Division By Zero]", DescriptionOf(error));
    std::vector<std::string> calls = CrashReportCalls();
    ASSERT_EQ(2u, calls.size());
    EXPECT_EQ(0u, calls[0].find("StackTrace 0 9999 "));
    EXPECT_NE(std::string::npos, calls[1].find(" c0000094 [Division By Zero]"));
    std::string folder = scratch / "Veltrium\\Errors";
    EXPECT_EQ((std::vector<std::string>{
                  "Process dump was generated in [" + folder + "]",
                  "Exception detected in [CSpecManager::Complie] while doing [Getting options "
                  "from qcp file]; Error code 0x80004005, [Division By Zero]"}),
              module.Messages("ERROR"));
    EXPECT_TRUE(module.fatalExceptions.empty());
}

TEST_F(CatchLadder, OtherStructuredExceptionsAreToldToTheModule) {
    _com_error error = Guarded("Launch IQC chart", [] { *g_badAddress = 1; });
    EXPECT_EQ("Launch IQC chart [Access Violation]", DescriptionOf(error));
    ASSERT_EQ(1u, module.fatalExceptions.size());
    EXPECT_EQ(E_FAIL, module.fatalExceptions[0].hr);
    EXPECT_EQ("CSpecManager::Complie", module.fatalExceptions[0].where);
    EXPECT_TRUE(CrashReportCalls().empty());
    EXPECT_EQ(std::vector<std::string>{"Exception detected in [CSpecManager::Complie] while doing "
                                       "[Launch IQC chart]; Error code 0x80004005, [Access "
                                       "Violation]"},
              module.Messages("ERROR"));
}

TEST_F(CatchLadder, ComErrorsKeepTheirHresult) {
    _com_error described = Guarded("Loading", [] { ThrowComError(E_INVALIDARG, "Bad value"); });
    EXPECT_EQ(E_INVALIDARG, described.Error());
    EXPECT_EQ("Loading [Bad value]", DescriptionOf(described));

    // Without error information the system's text for the HRESULT stands in.
    _com_error bare = Guarded("Loading", [] { throw _com_error(E_ACCESSDENIED); });
    EXPECT_EQ(E_ACCESSDENIED, bare.Error());
    std::string systemText = _com_error(E_ACCESSDENIED).ErrorMessage();
    EXPECT_EQ("Loading [" + systemText + "]", DescriptionOf(bare));

    std::vector<std::string> messages = module.Messages("ERROR");
    ASSERT_EQ(2u, messages.size());
    EXPECT_EQ("Exception detected in [CSpecManager::Complie] while doing [Loading]; Error code "
              "0x80070057, [Bad value]",
              messages[0]);
}

TEST_F(CatchLadder, AnythingElseIsAnUnknownError) {
    _com_error error = Guarded("Notifying", [] { throw 42; });
    EXPECT_EQ(E_FAIL, error.Error());
    EXPECT_EQ("Notifying [Unknown error]", DescriptionOf(error));
    EXPECT_EQ(std::vector<std::string>{"Exception detected in [CSpecManager::Complie] while doing "
                                       "[Notifying]; Error code 0x80004005, [Unknown error]"},
              module.Messages("ERROR"));
}

// A text that already holds a bracket was wrapped further in: the exception passes unchanged.
TEST_F(CatchLadder, BracketedTextsPassAsCopiesOfTheCaughtException) {
    try {
        RunGuarded(module, "Outer", "Loading",
                   [] { throw std::runtime_error("already [wrapped]"); });
        FAIL();
    } catch (const _com_error&) {
        FAIL() << "wrapped again";
    } catch (const std::exception& e) {
        EXPECT_STREQ("already [wrapped]", e.what());
    }

    EXCEPTION_RECORD record{};
    record.ExceptionCode = EXCEPTION_INT_DIVIDE_BY_ZERO;
    EXCEPTION_POINTERS pointers{&record, nullptr};
    numeric_exception numeric(&pointers);
    try {
        LogAndRethrow(module, numeric, "Outer", "Loading", "x [y]");
    } catch (const numeric_exception& e) {
        EXPECT_EQ(EXCEPTION_INT_DIVIDE_BY_ZERO, e.m_record.ExceptionCode);
        EXPECT_EQ(&e.m_record, e.m_info.ExceptionRecord);
    }
    try {
        LogAndRethrow(module, static_cast<const win32_exception&>(numeric), "Outer", "Loading",
                      nullptr);
    } catch (const _com_error& e) {
        EXPECT_EQ(E_FAIL, e.Error());
        EXPECT_EQ("Loading []", DescriptionOf(e));
    }
    EXPECT_EQ(3u, module.Messages("ERROR").size());
}

} // namespace
