// refserver_bench CSV QCP [NAME]
// Opens the CSV file, runs the QC analysis of the project on it and launches the chart with
// every alarm kind switched on and a sink that counts the events, then prints the time of each
// step, cases per second and the process's memory. NAME (default "refserver") heads the
// result lines, so that the runs of several chart types stay apart in the table.
#include <windows.h>
#include <psapi.h>

#include <chrono>
#include <cstdio>
#include <string>

#include <RefServer.h>

#include "BenchResult.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

double MiB(SIZE_T bytes) {
    return bytes / (1024.0 * 1024.0);
}

// The process's private bytes.
SIZE_T PrintMemory(const char* when) {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    if (!::GetProcessMemoryInfo(::GetCurrentProcess(), &counters, sizeof counters))
        return 0;
    printf("  memory %-12s working set %8.1f MiB (peak %8.1f), private %8.1f MiB (peak %8.1f)\n",
           when, MiB(counters.WorkingSetSize), MiB(counters.PeakWorkingSetSize),
           MiB(counters.PagefileUsage), MiB(counters.PeakPagefileUsage));
    return counters.PagefileUsage;
}

long CountVariables(VELTRIUM::_SpreadsheetPtr sheet) {
    long count = 0;
    BSTR name = nullptr;
    while (SUCCEEDED(sheet->raw_VariableName(count + 1, &name))) {
        ::SysFreeString(name);
        ++count;
    }
    return count;
}

// Counts what it hears and answers every cancel query with "go on".
class CountingSink : public VELIQCVChartsLib::IQCVChartsEvents {
public:
    long events[9] = {};

    HRESULT __stdcall QueryInterface(REFIID iid, void** out) override {
        if (iid != IID_IUnknown && iid != IID_IDispatch &&
            iid != __uuidof(VELIQCVChartsLib::IQCVChartsEvents))
            return E_NOINTERFACE;
        *out = this;
        return S_OK;
    }
    ULONG __stdcall AddRef() override { return 2; }
    ULONG __stdcall Release() override { return 1; }
    HRESULT __stdcall GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    HRESULT __stdcall GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT __stdcall GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
        return E_NOTIMPL;
    }
    HRESULT __stdcall Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                             UINT*) override {
        if (id >= 1 && id <= 8)
            ++events[id];
        return S_OK;
    }
};

std::wstring Wide(const char* text) {
    int length = ::MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    std::wstring result(length, L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, text, -1, result.data(), length);
    result.resize(length - 1);
    return result;
}

void Check(HRESULT hr, const char* what) {
    if (SUCCEEDED(hr))
        return;
    _bstr_t description;
    IErrorInfoPtr info;
    if (::GetErrorInfo(0, &info) == S_OK && info)
        info->GetDescription(description.GetAddress());
    fprintf(stderr, "%s failed: 0x%08lX %s\n", what, static_cast<unsigned long>(hr),
            description.length() ? static_cast<const char*>(description) : "");
    exit(1);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3 && argc != 4) {
        fprintf(stderr, "usage: refserver_bench CSV QCP [NAME]\n");
        return 2;
    }
    ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    {
        Clock::time_point start = Clock::now();
        VELTRIUM::_Spreadsheet* rawSheet = nullptr;
        Check(OpenRefSpreadsheet(Wide(argv[1]).c_str(), &rawSheet), "OpenRefSpreadsheet");
        VELTRIUM::_SpreadsheetPtr sheet(rawSheet, false);
        double load = Seconds(start);
        long cases = sheet->NumberOfCases();
        printf("load    %8.3f s  %ld cases\n", load, cases);
        const SIZE_T loaded = PrintMemory("after load");
        const double cells = double(cases) * CountVariables(sheet);

        VELTRIUM::_Application* rawApp = nullptr;
        Check(CreateRefApplication(nullptr, &rawApp), "CreateRefApplication");
        VELTRIUM::_ApplicationPtr app(rawApp, false);
        start = Clock::now();
        VELTRIUM::_AnalysisPtr analysis =
            app->Analysis(kRefQCAnalysisType, _variant_t(static_cast<IDispatch*>(sheet)));
        IDispatchPtr dialog = analysis->GetDialog();
        DISPID id = 0;
        LPOLESTR name = const_cast<LPOLESTR>(L"DropProjectFile");
        Check(dialog->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &id), "dialog");
        _variant_t project(Wide(argv[2]).c_str());
        DISPID put = DISPID_PROPERTYPUT;
        DISPPARAMS params{&project, &put, 1, 1};
        Check(dialog->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYPUT, &params,
                             nullptr, nullptr, nullptr),
              "DropProjectFile");
        long samples = 0;
        Check(analysis->raw_Run(&samples), "Run");
        double run = Seconds(start);
        printf("run     %8.3f s  %ld samples\n", run, samples);

        name = const_cast<LPOLESTR>(L"ChartServer");
        dialog->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &id);
        _variant_t chart;
        DISPPARAMS none{nullptr, nullptr, 0, 0};
        Check(dialog->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, &chart,
                             nullptr, nullptr),
              "ChartServer");
        VELIQCVChartsLib::_IQCVChartsPtr server(V_DISPATCH(&chart));
        server->PutEnableSampleOutOfControlEvent(VARIANT_TRUE);
        server->PutEnableSampleOutsideWarningLimitsEvent(VARIANT_TRUE);
        server->PutEnableRunsViolationEvent(VARIANT_TRUE);
        server->PutEnableObsOutsideSpecsEvent(VARIANT_TRUE);
        CountingSink sink;
        IConnectionPointContainerPtr container(server);
        IConnectionPointPtr point;
        container->FindConnectionPoint(__uuidof(VELIQCVChartsLib::IQCVChartsEvents), &point);
        DWORD cookie = 0;
        Check(point->Advise(&sink, &cookie), "Advise");
        start = Clock::now();
        Check(server->raw_Launch(0), "Launch");
        double launch = Seconds(start);
        printf("launch  %8.3f s  events: out of control %ld, warning %ld, runs %ld, specs %ld, "
               "cancel queries %ld\n",
               launch, sink.events[1], sink.events[2], sink.events[3], sink.events[4],
               sink.events[6]);
        point->Unadvise(cookie);
        double total = load + run + launch;
        printf("total   %8.3f s  %.0f cases per second (load, run and launch)\n", total,
               cases / total);
        PrintMemory("at the end");

        using zavbench::PrintResult;
        const std::string heading = std::string(argc == 4 ? argv[3] : "refserver") + ": ";
        const std::string size = std::to_string(cases) + " cases";
        PrintResult((heading + "load CSV, " + size).c_str(), load, "s");
        PrintResult((heading + "Run, " + std::to_string(samples) + " samples").c_str(), run, "s");
        const long events = sink.events[1] + sink.events[2] + sink.events[3] + sink.events[4];
        PrintResult((heading + "Launch, " + std::to_string(events) + " alarm events").c_str(),
                    launch, "s");
        PrintResult((heading + "load, run and launch").c_str(), cases / total, "cases/s");
        PrintResult((heading + "private memory after loading").c_str(), MiB(loaded), "MiB",
                    loaded / (cells * 8), "one 64-bit word per cell");
    }
    ::CoUninitialize();
    return 0;
}
