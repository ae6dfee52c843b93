// A tiny host: loads ZAVTools.dll like a service module would, and shows what it offers.
#include <cstdio>

#include "ZAVTools.h"

int main() {
    printf("fnZAVTools() = %d, nZAVTools = %d\n", fnZAVTools(), nZAVTools);
    printf("gShutdownTimeouts =");
    for (int i = 0; i < 5; ++i)
        printf(" %lu", gShutdownTimeouts[i]);
    printf(" ms\n\n");

    printf("String table (from the resource library for the user's languages, or the own one):\n");
    for (unsigned id : {4033u, 4034u, 4011u, 4003u, 4032u, 4023u, 4025u})
        printf("  %u  %s\n", id, strGetStringZAVTools(id).GetString());

    std::vector<std::string> wanted{"out of control", "runs violation"};
    CSpecManager specs(nullptr, wanted, 7, 0, true, 0.0, nullptr);
    specs.SetProcessName("Line=A,Shift=Night");
    printf("\nA spec manager for characteristic %d before compilation:\n", specs.GetCharId());
    printf("  alarm switches: out of specs %d, runs %d, out of control %d, warning %d\n",
           specs.ProcessAlarm_ObsOutOfSpecs(), specs.ProcessAlarm_RunsViolation(),
           specs.ProcessAlarm_SampleOutOfControl(),
           specs.ProcessAlarm_SampleOutsideWarningLimits());
    for (const char* kind :
         {"out of control", "outside warning limits", "runs violation", "outside specs"})
        printf("  wants \"%s\": %s\n", kind, specs.CheckWantedReturnCode(kind) ? "yes" : "no");

    try {
        ThrowComError(E_FAIL, "Log file path was not specified");
    } catch (const _com_error& e) {
        printf("\nA COM error raised by the library: 0x%08lX %s\n", e.Error(),
               static_cast<const char*>(e.Description()));
    }
    return 0;
}
