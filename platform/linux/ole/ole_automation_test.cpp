#include "platform/afxdisp.h"

#include <gtest/gtest.h>

namespace {

TEST(Bstr, KnowsItsLengthAndKeepsEmbeddedText) {
    BSTR text = SysAllocString(L"\u4e2d\u6587 text");
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(SysStringLen(text), 7u);
    EXPECT_STREQ(text, L"\u4e2d\u6587 text");
    SysFreeString(text);
    BSTR empty = SysAllocString(L"");
    EXPECT_EQ(SysStringLen(empty), 0u);
    SysFreeString(empty);
    EXPECT_EQ(SysAllocString(nullptr), nullptr);
    EXPECT_EQ(SysStringLen(nullptr), 0u);
}

TEST(Variant, ClearingLetsGoOfWhatItHolds) {
    CCmdTarget target;
    target.EnableAutomation();
    IDispatch* dispatch = target.GetIDispatch(FALSE);
    ASSERT_NE(dispatch, nullptr);
    EXPECT_EQ(dispatch->AddRef(), 1u);
    VARIANT held;
    held.vt = VT_DISPATCH;
    held.pdispVal = dispatch;
    EXPECT_EQ(VariantClear(&held), S_OK);
    EXPECT_EQ(held.vt, VT_EMPTY);
    // The reference the variant held is gone: one more AddRef counts to 1.
    EXPECT_EQ(dispatch->AddRef(), 1u);

    VARIANT text;
    text.vt = VT_BSTR;
    text.bstrVal = SysAllocString(L"x");
    EXPECT_EQ(VariantClear(&text), S_OK);  // LeakSanitizer sees the string go
    EXPECT_EQ(text.vt, VT_EMPTY);
}

TEST(CmdTarget, OffersNoDispatchUntilAutomationIsEnabled) {
    CCmdTarget target;
    EXPECT_EQ(target.GetIDispatch(TRUE), nullptr);
    target.EnableAutomation();
    IDispatch* dispatch = target.GetIDispatch(FALSE);
    ASSERT_NE(dispatch, nullptr);
    void* same = nullptr;
    EXPECT_EQ(dispatch->QueryInterface(IID_IUnknown, &same), S_OK);
    EXPECT_EQ(same, dispatch);
    // Without a dispatch map there is nothing to call.
    std::wstring name = L"Anything";
    LPOLESTR names[] = {name.data()};
    DISPID id = 0;
    EXPECT_EQ(dispatch->GetIDsOfNames(IID_NULL, names, 1, 0, &id), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(dispatch->Invoke(1, IID_NULL, 0, DISPATCH_METHOD, nullptr, nullptr, nullptr, nullptr),
              DISP_E_MEMBERNOTFOUND);
}

}  // namespace
