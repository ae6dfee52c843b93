// The property access by name, compiled into this test from the library's sources.
#include <gtest/gtest.h>

#include "qcrun/DispatchByName.h"
#include "qcrun/QCRunFixture.h"
#include "support/SafeArrays.h"

namespace zavtest {
namespace {

struct DispatchByName : ::testing::Test {
    FakeDialog dialog;
    FakeChartServer chart;

    void SetUp() override { dialog.properties = {L"Value", L"Chart"}; }
};

TEST_F(DispatchByName, PlainValuesArePutByValueOnly) {
    EXPECT_EQ(S_OK, zav::SetPropertyByName(&dialog, L"value", _variant_t(12L)));
    EXPECT_EQ(Strings({"GetIDsOfNames(value)", "PropertyPut(Value)"}), dialog.calls);
    ASSERT_EQ(1u, dialog.puts.size());
    EXPECT_EQ(VT_I4, V_VT(&dialog.puts[0].value));
    EXPECT_EQ(12, V_I4(&dialog.puts[0].value));
}

TEST_F(DispatchByName, ObjectsArraysAndReferencesAreOfferedByReferenceFirst) {
    SafeArray array = SafeArray::OfInts({1, 2});
    long number = 3;
    VARIANT values[3];
    for (VARIANT& value : values)
        ::VariantInit(&value);
    V_VT(&values[0]) = VT_DISPATCH;
    V_DISPATCH(&values[0]) = static_cast<VELIQCVChartsLib::_IQCVCharts*>(&chart);
    V_VT(&values[1]) = VT_ARRAY | VT_I4;
    V_ARRAY(&values[1]) = array.get();
    V_VT(&values[2]) = VT_BYREF | VT_I4;
    V_I4REF(&values[2]) = &number;

    // A dialog that keeps copies refuses the reference: the value is put instead.
    for (const VARIANT& value : values)
        EXPECT_EQ(S_OK, zav::SetPropertyByName(&dialog, L"Chart", value));
    EXPECT_EQ(3u, dialog.Count("PropertyPutRef(Chart)"));
    EXPECT_EQ(3u, dialog.Count("PropertyPut(Chart)"));
    ASSERT_EQ(3u, dialog.puts.size());
    for (const FakeDialog::Put& put : dialog.puts)
        EXPECT_FALSE(put.byReference);

    dialog.takesReferences = true;
    dialog.calls.clear();
    EXPECT_EQ(S_OK, zav::SetPropertyByName(&dialog, L"Chart", values[0]));
    EXPECT_EQ(Strings({"GetIDsOfNames(Chart)", "PropertyPutRef(Chart)"}), dialog.calls);
    EXPECT_TRUE(dialog.puts.back().byReference);
    EXPECT_EQ(VT_DISPATCH, V_VT(&dialog.puts.back().value));

    dialog.puts.clear();
    EXPECT_EQ(0u, array.LockCount());
    EXPECT_EQ(0u, chart.RefCount()) << "the caller's value keeps its own reference";
}

TEST_F(DispatchByName, FailuresGiveTheirHresult) {
    EXPECT_EQ(DISP_E_UNKNOWNNAME, zav::SetPropertyByName(&dialog, L"Colour", _variant_t(1L)));
    EXPECT_EQ(0u, dialog.Count("PropertyPut"));

    dialog.Fail("PropertyPut(Value)", DISP_E_OVERFLOW);
    EXPECT_EQ(DISP_E_OVERFLOW, zav::SetPropertyByName(&dialog, L"Value", _variant_t(1L)));

    // Refused by reference and by value: the second answer counts.
    dialog.Fail("PropertyPut(Chart)", DISP_E_TYPEMISMATCH);
    EXPECT_EQ(
        DISP_E_TYPEMISMATCH,
        zav::SetPropertyByName(&dialog, L"Chart", _variant_t(static_cast<IDispatch*>(&dialog))));

    _variant_t read;
    EXPECT_EQ(DISP_E_UNKNOWNNAME, zav::GetPropertyByName(&dialog, L"Colour", &read));
    dialog.Fail("PropertyGet(Value)", E_ACCESSDENIED);
    EXPECT_EQ(E_ACCESSDENIED, zav::GetPropertyByName(&dialog, L"Value", &read));
    EXPECT_EQ(VT_EMPTY, V_VT(&read));
    EXPECT_EQ(E_POINTER, zav::GetPropertyByName(nullptr, L"Value", &read));
    EXPECT_EQ(E_POINTER, zav::SetPropertyByName(nullptr, L"Value", read));
}

TEST_F(DispatchByName, AGetReadsWithoutArguments) {
    dialog.value = L"answer";
    _variant_t read;
    EXPECT_EQ(S_OK, zav::GetPropertyByName(&dialog, L"VALUE", &read));
    EXPECT_EQ(Strings({"GetIDsOfNames(VALUE)", "PropertyGet(Value)"}), dialog.calls);
    EXPECT_EQ(VT_BSTR, V_VT(&read));
    EXPECT_EQ(std::wstring(L"answer"), V_BSTR(&read));
}

} // namespace
} // namespace zavtest
