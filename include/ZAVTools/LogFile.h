// The service's shared daily log: one file per local day, appended to by every process of the
// service under one named mutex, each line flushed before the mutex is released.
#pragma once

#include <windows.h>
#include <oaidl.h>
#include <atlstr.h>
#include <cstdarg>
#include <string>

#include "Export.h"
#include "Host.h"

// A line is written when its severity is at most the configured level; LOG_NONE lines always.
enum LogSeverity : int {
    LOG_NONE = 0,
    LOG_ERROR = 1,
    LOG_WARNING = 2,
    LOG_INFO = 3,
    LOG_DEBUG = 4,
    LOG_TRACE = 5,
};

// Lines read "%-8s %-24s %-5u %-5u %s\r\n": severity, local time, process id, thread id and
// message, in the file "zavYYMMDD.log" of the configured folder. Logging never throws: a line
// that cannot be written is reported to the event log under the module's name instead.
//
// One object is not locked against concurrent use by several threads; the host module's log
// guard serialises the threads of a process (see ModuleLog).
class ZAVTOOLS_API CLogFile {
public:
    // Keeps both references; opens nothing until the first line.
    CLogFile(CZAVConfig& config, CBaseZAVModule* module);
    // Takes over the other object's file and mutex handles; the other reopens its own on its
    // next line.
    CLogFile(CLogFile& other);
    CLogFile& operator=(const CLogFile&) = delete;
    ~CLogFile();

    void Log(LogSeverity severity, const char* format, ...) const
        __attribute__((format(gnu_printf, 3, 4)));
    void LogV(LogSeverity severity, const char* format, va_list args) const;
    // A TRACE line "Enter  text" or "Exit   text"; the text is not a format.
    void LogTrace(const char* text, bool enter) const;
    // An ERROR line "Exception detected in <where>. HRESULT = 0x<hr> Description = [<text>]".
    void LogException(long hr, const char* description, const char* where);
    void LogException(long hr, IErrorInfo* info, const char* where);

    // Every line is flushed before the call returns.
    bool IsBuffered() const;
    // The level that the configuration's level name gives now (WARNING for unknown names).
    int GetLogLevel() const;

private:
    CString GetLogFileBaseName(SYSTEMTIME* when);
    bool IsLogFileTodays() const;
    bool IsLogFileOpen() const;
    void OpenLogFile();
    void CloseLogFile();
    void AppendLine(const char* line, size_t length) const;

    std::string m_mutexName;
    mutable HANDLE m_hFile;
    // When the open file was opened; its date names the file. Zero when no file is open.
    mutable SYSTEMTIME m_fileDate;
    CZAVConfig* m_config;
    CBaseZAVModule* m_module;
    mutable HANDLE m_hMutex;
};
