// The analysis application: gives the QC analysis (type 3251) of a spreadsheet of this server.
#pragma once

#include <string>

#include <ZAVTools/Automation.h>

#include "ComObject.h"

namespace refsrv {

struct ApplicationOptions {
    long handshakeFailures = 0;
};

// Raises a ServerError for an option it does not know or a bad value.
ApplicationOptions ParseApplicationOptions(const wchar_t* options);

class Application : public ComObject<VELTRIUM::_Application> {
public:
    explicit Application(const ApplicationOptions& options)
        : m_handshakeFailuresLeft(options.handshakeFailures) {}

    HRESULT __stdcall raw_Analysis(long type, VARIANT data, VELTRIUM::_Analysis** result) override;

private:
    long m_handshakeFailuresLeft;
};

} // namespace refsrv
