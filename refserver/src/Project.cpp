#include "Project.h"

#include <functional>
#include <vector>

#include "ChartConstants.h"
#include "IniFile.h"
#include "ServerError.h"
#include "Text.h"

namespace refsrv {

namespace {

const wchar_t kSection[] = L"REFSERVER";

// The library's keys that switch the runs tests on, by test code.
const wchar_t* const kGeneralRunsKeys[RunsDetector::kTests] = {
    L"RunsTestSameSideOfCenter", L"RunsTestInDecreasing", L"RunsTestUpAndDown", L"RunsTestInZoneA",
    L"RunsTestInZoneB",          L"RunsTestInZoneC",      L"RunsTestBeyondC"};

// Leading blanks, a sign and digits, as atoi reads them; no digits read as 0.
long LeadingInteger(const std::wstring& text) {
    size_t i = text.find_first_not_of(L" \t");
    if (i == std::wstring::npos)
        return 0;
    bool negative = text[i] == L'-';
    if (text[i] == L'-' || text[i] == L'+')
        ++i;
    long value = 0;
    for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i)
        value = value * 10 + (text[i] - L'0');
    return negative ? -value : value;
}

class ProjectReader {
public:
    ProjectReader(const std::wstring& path, const Table& table) : m_table(table) {
        m_path = RequireFile(path, L"project file");
    }

    ChartOptions Read() {
        std::vector<IniEntry> entries = ReadIniSection(m_path, kSection);
        if (entries.empty())
            Fail(kBadData, Format(L"Project file \"%ls\" has no section [%ls] with the chart "
                                  L"options of the reference analysis server",
                                  m_path.c_str(), kSection));
        for (const IniEntry& entry : entries)
            Apply(entry);
        Check();
        if (!m_runsTestsGiven)
            m_options.runs.enabled = RunsTestsFromGeneral();
        return m_options;
    }

private:
    [[noreturn]] void Bad(const std::wstring& problem) const {
        Fail(kBadData, Format(L"Project file \"%ls\", section [%ls]: %ls", m_path.c_str(), kSection,
                              problem.c_str()));
    }

    long Integer(const IniEntry& entry, long least, long most) const {
        long value = 0;
        if (!ParseLong(entry.value, value) || value < least || value > most)
            Bad(Format(L"%ls is \"%ls\"; it must be a whole number from %ld to %ld",
                       entry.key.c_str(), entry.value.c_str(), least, most));
        return value;
    }

    double Real(const IniEntry& entry) const {
        double value = 0;
        if (!ParseDouble(entry.value, value))
            Bad(Format(L"%ls is \"%ls\", which is not a number", entry.key.c_str(),
                       entry.value.c_str()));
        return value;
    }

    size_t Variable(const IniEntry& entry) const {
        long column = m_table.Find(entry.value);
        if (column < 0)
            Bad(Format(L"%ls names the variable \"%ls\", which the spreadsheet does not have",
                       entry.key.c_str(), entry.value.c_str()));
        return static_cast<size_t>(column);
    }

    uint8_t TestList(const IniEntry& entry) const {
        if (EqualNoCase(entry.value, L"all"))
            return 0x7F;
        if (EqualNoCase(entry.value, L"none") || entry.value.empty())
            return 0;
        uint8_t mask = 0;
        size_t start = 0;
        while (start <= entry.value.size()) {
            size_t comma = entry.value.find(L',', start);
            std::wstring item = Trim(entry.value.substr(start, comma - start));
            long code = -1;
            if (!ParseLong(item, code) || code < 0 || code >= RunsDetector::kTests)
                Bad(Format(L"RunsTests is \"%ls\"; it must be all, none, or runs-test codes "
                           L"0 to 6 separated by commas",
                           entry.value.c_str()));
            mask |= static_cast<uint8_t>(1u << code);
            if (comma == std::wstring::npos)
                break;
            start = comma + 1;
        }
        return mask;
    }

    void Apply(const IniEntry& e) {
        ChartOptions& o = m_options;
        RunRules& r = o.runs;
        const long many = 1000000000;
        using Setter = std::function<void()>;
        const std::pair<const wchar_t*, Setter> setters[] = {
            {L"ChartType", [&] { o.chartType = Integer(e, 0, 14); }},
            {L"ObservationVar",
             [&] { o.observationColumn = Variable(e), m_observationGiven = true; }},
            {L"SubgroupSize",
             [&] { o.subgroupSize = Integer(e, 1, kMaxSubgroupSize), m_sizeGiven = true; }},
            {L"SubgroupVar", [&] { o.subgroupColumn = static_cast<long>(Variable(e)); }},
            {L"PhaseISamples", [&] { o.phaseISamples = Integer(e, 0, many); }},
            {L"SpecLimitType", [&] { o.spec.type = Integer(e, 0, 4), m_specTypeGiven = true; }},
            {L"LowerSpecLimit", [&] { o.spec.lower = Real(e); }},
            {L"UpperSpecLimit", [&] { o.spec.upper = Real(e); }},
            {L"RunsTests", [&] { r.enabled = TestList(e), m_runsTestsGiven = true; }},
            {L"RunLengthSameSide", [&] { r.sameSide = Integer(e, 1, many); }},
            {L"RunLengthTrend", [&] { r.trend = Integer(e, 2, many); }},
            {L"RunLengthAlternating", [&] { r.alternating = Integer(e, 2, many); }},
            {L"RunLengthZoneA", [&] { r.zoneA = Integer(e, 1, 64); }},
            {L"WindowZoneA", [&] { r.zoneAWindow = Integer(e, 1, 64); }},
            {L"RunLengthZoneB", [&] { r.zoneB = Integer(e, 1, 64); }},
            {L"WindowZoneB", [&] { r.zoneBWindow = Integer(e, 1, 64); }},
            {L"RunLengthZoneC", [&] { r.zoneC = Integer(e, 1, many); }},
            {L"RunLengthBeyondC", [&] { r.beyondC = Integer(e, 1, many); }},
            {L"SampleAddedEvents", [&] { o.sampleAddedEvents = Integer(e, 0, 1) != 0; }},
        };
        for (const auto& [key, set] : setters)
            if (EqualNoCase(e.key, key)) {
                set();
                return;
            }
        Bad(Format(L"the key \"%ls\" is not one of the server's options", e.key.c_str()));
    }

    void Check() {
        ChartOptions& o = m_options;
        if (!m_observationGiven)
            Bad(L"ObservationVar, the variable that holds the observations, is missing");
        if (o.chartType != kXBarR && o.chartType != kXBarS && o.chartType != kIndividuals)
            Bad(Format(L"ChartType %ld is not supported; the server charts 0 (XBar & R), "
                       L"1 (XBar & S) and 3 (Indiv & Moving Range)",
                       o.chartType));
        CheckSubgroups();
        CheckSpecLimits();
        const RunRules& r = o.runs;
        if (r.zoneA > r.zoneAWindow)
            Bad(L"RunLengthZoneA is larger than WindowZoneA");
        if (r.zoneB > r.zoneBWindow)
            Bad(L"RunLengthZoneB is larger than WindowZoneB");
    }

    void CheckSubgroups() {
        ChartOptions& o = m_options;
        if (o.chartType == kIndividuals) {
            if (o.subgroupColumn >= 0 || (m_sizeGiven && o.subgroupSize != 1))
                Bad(L"an Indiv & Moving Range chart takes every case as its own sample: leave out "
                    L"SubgroupVar, and SubgroupSize or set it to 1");
            o.subgroupSize = 1;
            return;
        }
        if (o.subgroupColumn >= 0 && m_sizeGiven)
            Bad(L"give either SubgroupSize or SubgroupVar, not both");
        if (o.subgroupColumn < 0 && o.subgroupSize < 2)
            Bad(L"SubgroupSize must be 2 or more for an XBar chart");
    }

    void CheckSpecLimits() {
        SpecLimits& s = m_options.spec;
        bool lower = !std::isnan(s.lower);
        bool upper = !std::isnan(s.upper);
        if (!m_specTypeGiven)
            s.type = lower && !upper   ? kSpecLowerOnly
                     : !lower && upper ? kSpecUpperOnly
                                       : kSpecBoth;
        s.defined = lower || upper;
        if (!s.defined) {
            if (m_specTypeGiven)
                Bad(L"SpecLimitType is given without LowerSpecLimit or UpperSpecLimit");
            return;
        }
        if (s.type != kSpecBoth && s.type != kSpecUpperOnly && s.type != kSpecLowerOnly)
            Bad(Format(L"SpecLimitType %ld is not supported; it must be 0 (both limits), "
                       L"3 (upper limit only) or 4 (lower limit only)",
                       s.type));
        if ((s.type == kSpecBoth && !(lower && upper)) ||
            (s.type == kSpecUpperOnly && (lower || !upper)) ||
            (s.type == kSpecLowerOnly && (!lower || upper)))
            Bad(Format(L"SpecLimitType %ld needs %ls", s.type,
                       s.type == kSpecBoth        ? L"both LowerSpecLimit and UpperSpecLimit"
                       : s.type == kSpecUpperOnly ? L"UpperSpecLimit alone"
                                                  : L"LowerSpecLimit alone"));
        if (s.type == kSpecBoth && s.lower > s.upper)
            Bad(L"LowerSpecLimit is above UpperSpecLimit");
    }

    uint8_t RunsTestsFromGeneral() const {
        uint8_t mask = 0;
        std::wstring value;
        for (int code = 0; code < RunsDetector::kTests; ++code)
            if (ReadIniValue(m_path, L"GENERAL", kGeneralRunsKeys[code], value) &&
                LeadingInteger(value) != 0)
                mask |= static_cast<uint8_t>(1u << code);
        return mask;
    }

    const Table& m_table;
    std::wstring m_path;
    ChartOptions m_options;
    bool m_observationGiven = false;
    bool m_sizeGiven = false;
    bool m_specTypeGiven = false;
    bool m_runsTestsGiven = false;
};

} // namespace

ChartOptions LoadProject(const std::wstring& path, const Table& table) {
    return ProjectReader(path, table).Read();
}

} // namespace refsrv
