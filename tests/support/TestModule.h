// A host module for tests: a name for the event log, an optional log guard and stop event,
// and a record of the structured exceptions it was told of.
#pragma once

#include <windows.h>
#include <string>
#include <vector>

#include "ZAVTools.h"

namespace zavtest {

class TestModule : public CBaseZAVModule {
public:
    explicit TestModule(const char* name = "ZAVTest") : m_name(name ? name : ""), m_hasName(name) {
        m_hLogMutex = ::CreateMutexA(nullptr, FALSE, nullptr);
    }
    ~TestModule() {
        if (m_hLogMutex)
            ::CloseHandle(m_hLogMutex);
        if (m_hStopEvent)
            ::CloseHandle(m_hStopEvent);
    }
    TestModule(const TestModule&) = delete;
    TestModule& operator=(const TestModule&) = delete;

    const char* GetServiceName() override { return m_hasName ? m_name.c_str() : nullptr; }
    HRESULT Start() override { return S_OK; }
    HRESULT Stop() override { return S_OK; }
    long OnFatalException(long hr, win32_exception*, const char* where) override {
        fatalExceptions.push_back({hr, where ? where : ""});
        return 0;
    }

    struct FatalException {
        long hr;
        std::string where;
    };
    std::vector<FatalException> fatalExceptions;

private:
    std::string m_name;
    bool m_hasName;
};

} // namespace zavtest
