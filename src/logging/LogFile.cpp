#include "ZAVTools/LogFile.h"

#include <cstring>

#include "ZAVTools/ComErrors.h"
#include "logging/EventLog.h"
#include "logging/LogClock.h"
#include "logging/LogLine.h"
#include "logging/LogMutex.h"
#include "logging/MutexWait.h"

namespace {

struct LevelName {
    const char* name;
    size_t length;
    int level;
};

constexpr LevelName kLevels[] = {
    {"ERROR", 5, LOG_ERROR}, {"WARNING", 7, LOG_WARNING}, {"INFO", 4, LOG_INFO},
    {"DEBUG", 5, LOG_DEBUG}, {"TRACE", 5, LOG_TRACE},
};

// Exact match, case and length; every other name, NONE included, means WARNING. This runs
// for every line, written or not, so it compares lengths before bytes and allocates nothing.
int LevelOf(const std::string& name) {
    for (const LevelName& entry : kLevels)
        if (name.size() == entry.length && memcmp(name.data(), entry.name, entry.length) == 0)
            return entry.level;
    return LOG_WARNING;
}

} // namespace

CLogFile::CLogFile(CZAVConfig& config, CBaseZAVModule* module)
    : m_mutexName(zav::kLogMutexName), m_hFile(nullptr), m_fileDate{}, m_config(&config),
      m_module(module), m_hMutex(nullptr) {}

CLogFile::CLogFile(CLogFile& other)
    : m_mutexName(other.m_mutexName), m_hFile(other.m_hFile), m_fileDate(other.m_fileDate),
      m_config(other.m_config), m_module(other.m_module), m_hMutex(other.m_hMutex) {
    other.m_hFile = nullptr;
    other.m_hMutex = nullptr;
}

CLogFile::~CLogFile() {
    if (m_hMutex)
        ::CloseHandle(m_hMutex);
    if (IsLogFileOpen())
        ::CloseHandle(m_hFile);
}

void CLogFile::Log(LogSeverity severity, const char* format, ...) const {
    va_list args;
    va_start(args, format);
    LogV(severity, format, args);
    va_end(args);
}

void CLogFile::LogV(LogSeverity severity, const char* format, va_list args) const {
    if (static_cast<int>(severity) > GetLogLevel())
        return;
    zav::LogLine line;
    try {
        line.Compose(severity, format, args);
        AppendLine(line.c_str(), line.size());
    } catch (...) {
        zav::ReportCaughtLogFailure(m_module, line.c_str());
    }
}

// Only the named mutex keeps writers of different processes apart, each with its own handle
// and file position: the day check, the open and the append all happen while it is owned,
// and every line is written at the size the file has at that moment.
void CLogFile::AppendLine(const char* line, size_t length) const {
    if (!m_hMutex)
        m_hMutex = zav::OpenLogMutex(m_mutexName.c_str());
    zav::MutexWait wait(m_hMutex, zav::kLogMutexTimeout);
    if (wait.Result() == WAIT_TIMEOUT)
        ThrowComError(zav::kLogMutexTimedOut,
                      "CLogFile::LogV cannot get mutex ownership due to time-out");
    if (!wait.Owned())
        return;
    if (!IsLogFileOpen() || !IsLogFileTodays()) {
        // The handles and the file's date are the object's cache of the shared file; opening
        // changes nothing a caller can see.
        auto self = const_cast<CLogFile*>(this);
        self->CloseLogFile();
        self->OpenLogFile();
    }
    LARGE_INTEGER size{};
    ::GetFileSizeEx(m_hFile, &size);
    ::SetFilePointerEx(m_hFile, size, nullptr, FILE_BEGIN);
    DWORD written = 0;
    ::WriteFile(m_hFile, line, static_cast<DWORD>(length), &written, nullptr);
    ::FlushFileBuffers(m_hFile);
}

void CLogFile::LogTrace(const char* text, bool enter) const {
    char message[128];
    zav::FormatTrace(text, enter, message);
    Log(LOG_TRACE, "%s", message);
}

bool CLogFile::IsBuffered() const {
    return false;
}

int CLogFile::GetLogLevel() const {
    return LevelOf(m_config->m_strLogLevel);
}

CString CLogFile::GetLogFileBaseName(SYSTEMTIME* when) {
    SYSTEMTIME now = zav::LocalNow();
    if (when)
        *when = now;
    char name[32];
    zav::FormatLogFileName(now, name);
    return CString(name);
}

bool CLogFile::IsLogFileTodays() const {
    return zav::IsSameDay(zav::LocalNow(), m_fileDate);
}

bool CLogFile::IsLogFileOpen() const {
    return m_hFile && m_hFile != INVALID_HANDLE_VALUE;
}

void CLogFile::OpenLogFile() {
    CloseLogFile();
    const std::string& folder = m_config->m_strLogPath;
    if (folder.empty())
        ThrowComError(E_FAIL, "Log file path was not specified");
    SYSTEMTIME opened;
    CString path;
    path.Format("%s\\%s", folder.c_str(), GetLogFileBaseName(&opened).GetString());
    HANDLE file =
        ::CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                      nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        DWORD error = ::GetLastError();
        CString prefix;
        prefix.Format("An error occurred opening the log file [%s]: ", path.GetString());
        ThrowWin32Error(error, prefix);
    }
    LARGE_INTEGER end{};
    ::SetFilePointerEx(file, end, nullptr, FILE_END);
    m_hFile = file;
    m_fileDate = opened;
}

void CLogFile::CloseLogFile() {
    if (IsLogFileOpen())
        ::CloseHandle(m_hFile);
    m_hFile = nullptr;
    m_fileDate = SYSTEMTIME{};
}
