// The four alarm handlers given malformed event arrays: missing, two-dimensional, of another
// element size, of another element type with the same size, locked out, shorter than the
// first array, empty, and with lower bounds other than 0. Every case ends in E_INVALIDARG that
// names the first array at fault, before the chart server is asked anything, or in the records
// that well-formed arrays give; no lock, reference or string is left behind either way.
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "alarms/AlarmFixture.h"
#include "reliability/Generator.h"
#include "support/BstrLedger.h"
#include "support/SafeArrays.h"

namespace zavtest {
namespace {

enum class Kind { OutOfControl, Warning, Observations, Runs };
enum class Shape { Good, Short, Missing, TwoDimensional, WrongSize, WrongType, Locked };

const std::vector<Shape> kMalformed = {Shape::Missing, Shape::TwoDimensional, Shape::WrongSize,
                                       Shape::WrongType, Shape::Locked};

struct Slot {
    const char* name;
    bool numbers; // 32-bit integers; texts (BSTR) otherwise
};

std::vector<Slot> SlotsOf(Kind kind) {
    switch (kind) {
    case Kind::Observations:
        return {{"labels", false}, {"keys", false}, {"observations", true}};
    case Kind::Runs:
        return {{"first labels", false},
                {"first keys", false},
                {"last labels", false},
                {"last keys", false},
                {"tests", true}};
    default:
        return {{"labels", false}, {"keys", false}};
    }
}

const char* NameOf(Kind kind) {
    static const char* const kNames[] = {"out of control", "warning", "observations", "runs"};
    return kNames[static_cast<int>(kind)];
}

template <typename T>
SafeArray Vector(VARTYPE type, long lowerBound, long count, const std::function<T(long)>& value) {
    SafeArray array(::SafeArrayCreateVector(type, lowerBound, static_cast<ULONG>(count)));
    T* data = nullptr;
    ::SafeArrayAccessData(array.get(), reinterpret_cast<void**>(&data));
    for (long i = 0; i < count; ++i)
        data[i] = value(i);
    ::SafeArrayUnaccessData(array.get());
    return array;
}

// One event array: a label slot names the samples S0, S1, ..., a key slot holds "K", a number
// slot holds 1 (the first observation, or runs test 1). Another size or type keeps the count.
SafeArray MakeArray(Generator& g, const Slot& slot, Shape shape, long count) {
    const long lower = g.Pick<long>({0, 0, 1, -3, 1000});
    const bool labels = std::string(slot.name).find("labels") != std::string::npos;
    switch (shape) {
    case Shape::Missing:
        return SafeArray();
    case Shape::TwoDimensional:
        return SafeArray::Empty(slot.numbers ? VT_I4 : VT_BSTR, {ULONG(count), 2});
    case Shape::WrongSize:
        if (slot.numbers)
            return Vector<BSTR>(VT_BSTR, lower, count, [](long) { return nullptr; });
        return g.Chance(50) ? Vector<int32_t>(VT_I4, lower, count, [](long) { return 1; })
                            : SafeArray::Empty(VT_VARIANT, {ULONG(count)});
    case Shape::WrongType:
        if (slot.numbers)
            return Vector<float>(VT_R4, lower, count, [](long) { return 1.0f; });
        if (g.Chance(50))
            return Vector<double>(VT_R8, lower, count, [](long i) { return 1.5 + i; });
        return Vector<LONGLONG>(VT_I8, lower, count, [](long i) { return 0x10001 + i; });
    default:
        break;
    }
    // Any 32-bit integer type serves for numbers.
    if (slot.numbers)
        return Vector<int32_t>(g.Pick<VARTYPE>({VT_I4, VT_I4, VT_UI4, VT_INT, VT_UINT}), lower,
                               count, [](long) { return 1; });
    return Vector<BSTR>(VT_BSTR, lower, count, [labels](long i) {
        return ::SysAllocString(labels ? (L"S" + std::to_wstring(i)).c_str() : L"K");
    });
}

// Samples S0.. on the rows 0.., each outside its X control limits with every observation
// outside the specification limits; the label identifies the sample.
struct Arrays : AlarmEngine {
    BstrLedger ledger;
    static constexpr long kSamples = 8;

    void SetUp() override {
        AlarmEngine::SetUp();
        state.m_nSampleVar = 0;
        state.m_nCheckAlarmFor = 1;
        state.m_runsTests = {1};
        chart.observationVariable = 3;
        chart.specLimitSets[0] = {0, 0.0, 1.0};
        sheet.valueOf = [](long, long) { return 2.0; };
        sheet.record = chart.record = false;
        for (long i = 0; i < kSamples; ++i) {
            const long index = chart.AddSample(L"S" + std::to_wstring(i), L"K", double(i));
            chart.samples[index].xMeasure = 12.7;
            chart.samples[index].xControl = {10, 12};
        }
    }

    void Switch(Kind kind, bool on) {
        state.m_bProcessSampleOutOfControl = on && kind == Kind::OutOfControl;
        state.m_bProcessSampleOutsideWarningLimits = on && kind == Kind::Warning;
        state.m_bProcessObsOutOfSpecs = on && kind == Kind::Observations;
        state.m_bProcessRunsViolation = on && kind == Kind::Runs;
    }

    void Raise(Kind kind, const std::vector<SafeArray>& a) {
        switch (kind) {
        case Kind::OutOfControl:
            return specs.OnSampleOutOfControl(chart.Ptr(), a[0].get(), a[1].get(), false, 1);
        case Kind::Warning:
            return specs.OnSampleOutsideWarningLimits(chart.Ptr(), a[0].get(), a[1].get(), false,
                                                      1);
        case Kind::Observations:
            return specs.OnObsOutsideSpecs(chart.Ptr(), a[0].get(), a[1].get(), a[2].get(), false,
                                           0);
        case Kind::Runs:
            return specs.OnRunsViolation(chart.Ptr(), a[0].get(), a[1].get(), a[2].get(),
                                         a[3].get(), a[4].get(), false, 0);
        }
    }

    // Raises the event on arrays of the given shapes and counts, and checks how it ends: the
    // description of the refusal (empty when the event was taken), and the records it added.
    void Check(Generator& g, Kind kind, bool on, const std::vector<Shape>& shapes,
               const std::vector<long>& counts, const std::string& where) {
        SCOPED_TRACE(where);
        Switch(kind, on);
        const std::vector<Slot> slots = SlotsOf(kind);
        std::vector<SafeArray> arrays;
        for (size_t i = 0; i < slots.size(); ++i) {
            arrays.push_back(MakeArray(g, slots[i], shapes[i], counts[i]));
            if (shapes[i] == Shape::Locked)
                arrays.back().get()->cLocks = 0xFFFF;
        }
        // The first array at fault, in the order the handler takes them.
        std::string fault;
        for (size_t i = 0; on && fault.empty() && i < slots.size(); ++i)
            if ((shapes[i] != Shape::Good && shapes[i] != Shape::Short) ||
                (i > 0 && counts[i] < counts[0]))
                fault = std::string("The event array of ") + slots[i].name + " ";
        const size_t before = Alarms().size();
        const long ledgerBefore = ledger.Freed() - ledger.Allocated();
        std::string refusal;
        try {
            Raise(kind, arrays);
        } catch (const _com_error& e) {
            refusal = DescriptionOf(e);
            EXPECT_EQ(E_INVALIDARG, e.Error()) << refusal;
        }
        EXPECT_EQ(fault, refusal.substr(0, fault.size())) << refusal;
        EXPECT_EQ(fault.empty(), refusal.empty()) << refusal;
        const size_t added = on && fault.empty() ? size_t(counts[0]) : 0;
        EXPECT_EQ(added, Alarms().size() - before);
        for (size_t i = 0; i < arrays.size(); ++i) {
            EXPECT_EQ(shapes[i] == Shape::Locked ? 0xFFFFu : 0u, arrays[i].LockCount());
            if (arrays[i].get())
                arrays[i].get()->cLocks = 0;
        }
        EXPECT_EQ(0u, chart.RefCount());
        EXPECT_EQ(1u, sheet.RefCount()) << "the CSpecManager's own reference";
        EXPECT_EQ(ledgerBefore, ledger.Freed() - ledger.Allocated()) << "every BSTR freed";
    }
};

// Each kind of fault in each array of each event, alone among well-formed arrays of three
// elements, and each kind switched off, when the arrays are not even looked at.
TEST_F(Arrays, EveryFaultInEveryArrayIsNamed) {
    Generator g(ReliabilitySeed());
    int cases = 0;
    for (Kind kind : {Kind::OutOfControl, Kind::Warning, Kind::Observations, Kind::Runs}) {
        const size_t slots = SlotsOf(kind).size();
        for (size_t slot = 0; slot < slots; ++slot) {
            std::vector<Shape> faults = kMalformed;
            if (slot > 0)
                faults.push_back(Shape::Short);
            for (Shape fault : faults) {
                std::vector<Shape> shapes(slots, Shape::Good);
                std::vector<long> counts(slots, 3);
                shapes[slot] = fault;
                if (fault == Shape::Short)
                    counts[slot] = 2;
                for (bool on : {true, false}) {
                    ++cases;
                    Check(g, kind, on, shapes, counts,
                          std::string(NameOf(kind)) + " slot " + std::to_string(slot) + " fault " +
                              std::to_string(int(fault)) + (on ? " on" : " off"));
                }
            }
        }
        // An empty first array adds nothing, whatever the others hold.
        std::vector<long> counts(slots, 2);
        counts[0] = 0;
        Check(g, kind, true, std::vector<Shape>(slots, Shape::Good), counts, "empty");
        ++cases;
    }
    printf("bad event arrays: %d cases, one fault each\n", cases);
}

// Arrays of random shapes and counts, several faults at once.
TEST_F(Arrays, RandomShapesAndCounts) {
    constexpr int kCases = 1500;
    const uint64_t seed = ReliabilitySeed();
    Generator g(seed);
    int refused = 0;
    for (int n = 1; n <= kCases; ++n) {
        const Kind kind = static_cast<Kind>(g.Below(4));
        const size_t slots = SlotsOf(kind).size();
        std::vector<Shape> shapes;
        std::vector<long> counts;
        const long first = g.Between(0, 4);
        bool fault = false;
        for (size_t i = 0; i < slots; ++i) {
            shapes.push_back(g.Chance(80) ? Shape::Good : g.Pick(kMalformed));
            counts.push_back(i == 0 ? first : first + g.Between(-2, 3));
            counts.back() = std::max(0L, std::min(counts.back(), kSamples));
            fault = fault || shapes.back() != Shape::Good || counts.back() < first;
        }
        const bool on = g.Chance(90);
        refused += on && fault;
        Check(g, kind, on, shapes, counts,
              "seed " + std::to_string(seed) + ", case " + std::to_string(n));
    }
    printf("bad event arrays: seed %llu, %d random cases, %d refused\n", (unsigned long long)seed,
           kCases, refused);
}

} // namespace
} // namespace zavtest
