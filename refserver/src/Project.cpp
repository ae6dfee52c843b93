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
        if (m_options.chartType == kPareto)
            m_options.runs.enabled = 0; // a ranking has no order in time to test

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

    template <typename Ok> double Real(const IniEntry& entry, const wchar_t* range, Ok ok) const {
        double value = Real(entry);
        if (!std::isfinite(value) || !ok(value))
            Bad(Format(L"%ls is \"%ls\"; it must be a number %ls", entry.key.c_str(),
                       entry.value.c_str(), range));
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
            {L"ControlLimitSigmas",
             [&] {
                 o.controlSigmas = Real(e, L"above 2 (the warning limits) and at most 10",
                                        [](double v) { return v > 2 && v <= 10; });
             }},
            {L"Span", [&] { o.span = Integer(e, 2, kMaxSpan); }},
            {L"Lambda",
             [&] {
                 o.lambda =
                     Real(e, L"above 0 and at most 1", [](double v) { return v > 0 && v <= 1; });
             }},
            {L"CusumK",
             [&] { o.cusumK = Real(e, L"of 0 or more", [](double v) { return v >= 0; }); }},
            {L"CusumH", [&] { o.cusumH = Real(e, L"above 0", [](double v) { return v > 0; }); }},
            {L"CountVar", [&] { o.countColumn = static_cast<long>(Variable(e)); }},
            {L"SizeVar", [&] { o.sizeColumn = static_cast<long>(Variable(e)); }},
            {L"CategoryVar", [&] { o.categoryColumn = static_cast<long>(Variable(e)); }},
        };
        for (const auto& [key, set] : setters)
            if (EqualNoCase(e.key, key)) {
                set();
                m_given.push_back(key);
                return;
            }
        Bad(Format(L"the key \"%ls\" is not one of the server's options", e.key.c_str()));
    }

    bool Given(const wchar_t* key) const {
        for (const wchar_t* given : m_given)
            if (EqualNoCase(given, key))
                return true;
        return false;
    }

    // A key that the chart type does not use is refused rather than ignored: it is most likely
    // a project written for another chart type.
    void CheckKeysFitChart() const {
        struct Scope {
            const wchar_t* key;
            long first, last;
            const wchar_t* charts;
        };
        const wchar_t* variables = L"variables charts (ChartType 0 to 9)";
        const Scope scopes[] = {
            {L"ObservationVar", kXBarR, kCusum, variables},
            {L"SubgroupSize", kXBarR, kCusum, variables},
            {L"SubgroupVar", kXBarR, kCusum, variables},
            {L"LowerSpecLimit", kXBarR, kCusum, variables},
            {L"UpperSpecLimit", kXBarR, kCusum, variables},
            {L"SpecLimitType", kXBarR, kCusum, variables},
            {L"Span", kIndivMS, kMovingAverageS, L"ChartType 4 to 6"},
            {L"Lambda", kEwmaR, kEwmaS, L"EWMA charts (ChartType 7 and 8)"},
            {L"CusumK", kCusum, kCusum, L"the CuSum chart (ChartType 9)"},
            {L"CusumH", kCusum, kCusum, L"the CuSum chart (ChartType 9)"},
            {L"CountVar", kCChart, kPareto, L"attribute and Pareto charts (ChartType 10 to 14)"},
            {L"SizeVar", kUChart, kNpChart, L"U, P and Np charts (ChartType 11 to 13)"},
            {L"CategoryVar", kPareto, kPareto, L"the Pareto chart (ChartType 14)"},
        };
        long type = m_options.chartType;
        for (const Scope& s : scopes)
            if ((type < s.first || type > s.last) && Given(s.key))
                Bad(Format(L"%ls applies only to %ls, not to ChartType %ld", s.key, s.charts,
                           type));
        // The CuSum's decision interval is CusumH, and a ranking has no limits.
        if ((type == kCusum || type == kPareto) && Given(L"ControlLimitSigmas"))
            Bad(Format(L"ControlLimitSigmas applies to every chart type but the CuSum and Pareto "
                       L"charts (ChartType 9 and 14), not to ChartType %ld",
                       type));
    }

    void Check() {
        ChartOptions& o = m_options;
        CheckKeysFitChart();
        if (IsAttributeChart(o.chartType) || o.chartType == kPareto) {
            CheckCounts();
            return;
        }
        if (!m_observationGiven)
            Bad(L"ObservationVar, the variable that holds the observations, is missing");
        CheckSubgroups();
        CheckSpecLimits();
        const RunRules& r = o.runs;
        if (r.zoneA > r.zoneAWindow)
            Bad(L"RunLengthZoneA is larger than WindowZoneA");
        if (r.zoneB > r.zoneBWindow)
            Bad(L"RunLengthZoneB is larger than WindowZoneB");
    }

    void CheckCounts() {
        ChartOptions& o = m_options;
        if (o.chartType == kPareto) {
            if (o.categoryColumn < 0)
                Bad(L"CategoryVar, the variable that holds the categories, is missing");
            o.observationColumn = static_cast<size_t>(o.categoryColumn);
        } else {
            if (o.countColumn < 0)
                Bad(L"CountVar, the variable that holds the counts, is missing");
            if (o.chartType != kCChart && o.sizeColumn < 0)
                Bad(L"SizeVar, the variable that holds the sample sizes, is missing");
            o.observationColumn = static_cast<size_t>(o.countColumn);
        }
        o.subgroupSize = 1;
    }

    void CheckSubgroups() {
        ChartOptions& o = m_options;
        if (o.chartType == kIndividuals || o.chartType == kIndivMS) {
            if (o.subgroupColumn >= 0 || (m_sizeGiven && o.subgroupSize != 1))
                Bad(L"an individuals chart (ChartType 3 or 4) takes every case as its own "
                    L"sample: leave out SubgroupVar, and SubgroupSize or set it to 1");
            o.subgroupSize = 1;
            return;
        }
        if (o.subgroupColumn >= 0 && m_sizeGiven)
            Bad(L"give either SubgroupSize or SubgroupVar, not both");
        if (o.subgroupColumn < 0 && o.subgroupSize < 2 && o.chartType <= kXBarV)
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
    std::vector<const wchar_t*> m_given; // the keys read, as the setters spell them
};

} // namespace

ChartOptions LoadProject(const std::wstring& path, const Table& table) {
    return ProjectReader(path, table).Read();
}

} // namespace refsrv
