// Native library functions defined and called from code: every supported signature, text
// arguments and results, the refusals (counts, ids, released libraries), the errors of the
// definitions, how library names are found, and secure mode.

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "files_fixture.h"
#include "platform/native/ffi_caller.h"
#include "runner/support_dll.h"

namespace kestrin {
namespace {

class ExtNative : public testing::FilesTest {
protected:
    void SetUp() override {
        FilesTest::SetUp();
        FreeAllDlls();
    }
    void TearDown() override {
        FreeAllDlls();
        SetNativeCaller(MakeFfiNativeCaller());
        FilesTest::TearDown();
    }
    // The code with LIB replaced by the test library's path as a string literal.
    static std::string WithLib(std::string code) {
        const std::string literal = "\"" KESTRIN_TEST_LIBRARY "\"";
        for (size_t at = code.find("LIB"); at != std::string::npos;
             at = code.find("LIB", at + literal.size()))
            code.replace(at, 3, literal);
        return code;
    }
    std::string Lib(std::string_view code) { return Text(WithLib(std::string(code))); }
    void CopyLibraryTo(const std::filesystem::path& path) {
        std::filesystem::create_directories(path.parent_path());
        std::filesystem::copy_file(KESTRIN_TEST_LIBRARY, path,
                                   std::filesystem::copy_options::overwrite_existing);
    }
};

TEST_F(ExtNative, EverySignatureCalls) {
    const testing::TextCase cases[] = {
        {"return external_call0(external_define0(LIB, 'kt_zero', ty_real))", "42"},
        {"return external_call1(external_define1(LIB, 'kt_negate', ty_real, ty_real), 3.5)", "-3.50"},
        {"return external_call2(external_define2(LIB, 'kt_add', ty_real, ty_real, ty_real), 1.5, 2.25)",
         "3.75"},
        {"return external_call3(external_define3(LIB, 'kt_sum3', 0, 0, 0, 0), 1, 2, 3)", "14"},
        {"return external_call4(external_define4(LIB, 'kt_sum4', 0, 0, 0, 0, 0), 1, 2, 3, 4)", "30"},
        {"return external_call5(external_define5(LIB, 'kt_sum5', ty_real), 1, 2, 3, 4, 5)", "55"},
        {"return external_call6(external_define6(LIB, 'kt_sum6', ty_real), 1, 2, 3, 4, 5, 6)", "91"},
        {"return external_call7(external_define7(LIB, 'kt_sum7', ty_real), 1, 2, 3, 4, 5, 6, 7)", "140"},
        {"return external_call8(external_define8(LIB, 'kt_sum8', ty_real), 1, 2, 3, 4, 5, 6, 7, 8)", "204"},
        // The general forms, stdcall accepted (one convention on this platform).
        {"return external_call(external_define(LIB, 'kt_add', dll_stdcall, ty_real, 2, ty_real, ty_real), 2, "
         "5)",
         "7"},
        {"return external_call(external_define(LIB, 'kt_sum5', dll_cdecl, ty_real, 5, 0, 0, 0, 0, 0), 1, 1, "
         "1, 1, "
         "1)",
         "15"},
        // Texts in and out.
        {"return external_call1(external_define1(LIB, 'kt_greet', ty_string, ty_string), 'you')",
         "\"hello, you\""},
        {"return external_call1(external_define1(LIB, 'kt_length', ty_string, ty_real), 'h\u00e9llo')", "6"},
        {"return external_call4(external_define4(LIB, 'kt_mix4', ty_string, ty_real, ty_string, ty_real, "
         "ty_string), 'a', 1.5, 'b', 2)",
         "\"a1.5b2\""},
        {"return external_call2(external_define2(LIB, 'kt_mix_real', ty_real, ty_string, ty_real), 3, 'ab')",
         "32"},
        // A null text is the empty text; the wrong kind of argument reads as 0 or "".
        {"return external_call0(external_define0(LIB, 'kt_null', ty_string))", "\"\""},
        {"return external_call2(external_define2(LIB, 'kt_add', 0, 0, 0), 'x', 2)", "2"},
        {"return external_call1(external_define1(LIB, 'kt_length', ty_string, ty_real), 12345)", "0"},
    };
    for (const auto& c : cases) EXPECT_EQ(Lib(c.code), c.expected) << c.code;
}

TEST_F(ExtNative, SixteenRealsThroughTheTable) {
    int32_t types[17]{};
    const int32_t id = DefineDllFunction(KESTRIN_TEST_LIBRARY, "kt_sum16", 0, 0, types, 16);
    ASSERT_GE(id, 0);
    RValue args[16];
    for (int i = 0; i < 16; ++i) args[i] = RValue(1.0);
    RValue result;
    CallDllFunction(id, 16, args, result);
    EXPECT_EQ(result.val(), 136.0);
    // Texts beyond four arguments are refused by the table as by the built-ins.
    types[5] = 1;
    EXPECT_EQ(DefineDllFunction(KESTRIN_TEST_LIBRARY, "kt_sum16", 0, 0, types, 16), -1);
    EXPECT_EQ(DefineDllFunction(KESTRIN_TEST_LIBRARY, "kt_sum16", 0, 0, types, 17), -1);
}

TEST_F(ExtNative, RefusedCallsReturnZeroSilently) {
    ASSERT_EQ(Lib("global.add = external_define2(LIB, 'kt_add', 0, 0, 0); return global.add"), "0");
    errors().clear();
    const testing::TextCase cases[] = {
        {"return external_call(global.add, 1)", "0"},  {"return external_call(global.add, 1, 2, 3)", "0"},
        {"return external_call1(global.add, 1)", "0"}, {"return external_call2(global.add + 7, 1, 2)", "0"},
        {"return external_call2(-1, 1, 2)", "0"},      {"return external_call()", "0"},
    };
    for (const auto& c : cases) EXPECT_EQ(Text(c.code), c.expected) << c.code;
    EXPECT_EQ(LastDllError(), "Unable to find DLL function with id=-1");
    EXPECT_EQ(Text("return external_call(global.add, 1)"), "0");
    EXPECT_EQ(LastDllError(), "Calling DLL function with wrong number of arguments.");
    EXPECT_EQ(Text("return external_call(global.add, 1, 2)"), "3");
}

TEST_F(ExtNative, DefinitionErrors) {
    Write(game_ / "notlib.dll", "this is not a shared object");
    const testing::TextCase cases[] = {
        {"return external_define(LIB, 'kt_add', 0, 0)", "0 ! Wrong number of arguments to external_define()"},
        {"return external_define(LIB, 'kt_add', 0, 0, 2, 0)",
         "0 ! Wrong number of arguments to external_define()"},
        {"return external_define(LIB, 'kt_sum5', 0, 0, 5, 0, 0, 0, 0, ty_string)",
         "0 ! DLL functions with more than 4 arguments cannot have string arguments"},
        {"return external_define0('missing_library.dll', 'kt_zero', 0)",
         "-1 ! Error defining an external function."},
        {"return external_define0(LIB, 'kt_missing', 0)", "-1 ! Error defining an external function."},
        {"return external_define0('notlib.dll', 'kt_zero', 0)", "-1 ! Error defining an external function."},
        {"return external_define0('', '', 0)", "-1 ! Error defining an external function."},
    };
    for (const auto& c : cases) EXPECT_EQ(Lib(c.code), c.expected) << c.code;
    EXPECT_EQ(DllFunctionCount(), 0);
    EXPECT_EQ(Lib("return external_define(LIB, 'kt_sum5', 0, 0, 5, 0, 0, 0, 0, ty_real)"), "0");
}

TEST_F(ExtNative, OneLoadedCopyPerNameUntilFreed) {
    CopyLibraryTo(game_ / "ktest.dll");
    ASSERT_EQ(Text("global.a = external_define0('ktest.dll', 'kt_count', 0);"
                   "global.b = external_define0('KTEST.DLL', 'kt_count', 0); return global.b"),
              "1");
    EXPECT_EQ(DllFunctionAt(0)->dll_handle, DllFunctionAt(1)->dll_handle);
    EXPECT_EQ(Text("return string(external_call0(global.a)) + string(external_call0(global.b))"), "\"12\"");
    EXPECT_EQ(Text("external_free('Ktest.dll'); return external_call0(global.a) + external_call0(global.b)"),
              "0");
    EXPECT_EQ(DllFunctionAt(0)->dll_handle, nullptr);
    EXPECT_EQ(DllFunctionAt(1)->dll_handle, nullptr);
    // Defined again, the library is loaded anew under a new id.
    EXPECT_EQ(Text("global.c = external_define0('ktest.dll', 'kt_count', 0); return global.c"), "2");
    EXPECT_NE(Text("return external_call0(global.c)"), "0");
    EXPECT_EQ(Text("return external_call0(global.a)"), "0");
}

TEST_F(ExtNative, WindowsNamesFindSharedObjects) {
    CopyLibraryTo(game_ / "plain.so");
    CopyLibraryTo(game_ / "libprefixed.so");
    CopyLibraryTo(game_ / "Sub" / "Inner.so");
    const testing::TextCase cases[] = {
        {"return external_call0(external_define0('plain.dll', 'kt_zero', 0))", "42"},
        {"return external_call0(external_define0('prefixed.DLL', 'kt_zero', 0))", "42"},
        {"return external_call0(external_define0('sub\\inner.dll', 'kt_zero', 0))", "42"},
        {"return external_call0(external_define0('C:\\nowhere\\plain.dll', 'kt_zero', 0))", "42"},
        {"return external_define0('other.dll', 'kt_zero', 0)", "-1 ! Error defining an external function."},
    };
    for (const auto& c : cases) EXPECT_EQ(Text(c.code), c.expected) << c.code;
    const std::vector<std::string> candidates = DllCandidates("dir\\tool.dll");
    ASSERT_GE(candidates.size(), 5u);
    EXPECT_EQ(candidates[0], "dir/tool.dll");
    EXPECT_EQ(candidates[1], "dir/tool.so");
    EXPECT_EQ(candidates[2], "dir/libtool.so");
    EXPECT_EQ(candidates.back(), "libtool.so");
}

TEST_F(ExtNative, TextArgumentsLiveUntilTheNextCall) {
    EXPECT_EQ(Lib("global.keep = external_define1(LIB, 'kt_keep', ty_string, ty_real);"
                  "global.kept = external_define0(LIB, 'kt_kept', ty_string);"
                  "external_call1(global.keep, 'first ' + string(1)); return external_call0(global.kept)"),
              "\"first 1\"");
    EXPECT_EQ(Text("external_call1(global.keep, 'second'); return external_call0(global.kept)"),
              "\"second\"");
}

TEST_F(ExtNative, SecureModeRefusesNativeCode) {
    ASSERT_EQ(Lib("global.zero = external_define0(LIB, 'kt_zero', 0); return global.zero"), "0");
    Secure(true);
    const testing::TextCase cases[] = {
        {"return external_define0(LIB, 'kt_zero', 0)", "0 ! In secure mode you cannot use DLLs"},
        {"return external_define(LIB, 'kt_zero', 0, 0, 0)", "0 ! In secure mode you cannot use DLLs"},
        {"return external_call0(global.zero)", "0 ! In secure mode you cannot use DLLs"},
        {"return external_call(global.zero)", "0 ! In secure mode you cannot use DLLs"},
        {"return external_free(LIB)", "0 ! In secure mode you cannot use DLLs"},
        {"return get_function_address('max')", "-1 ! In secure mode you cannot use DLLs"},
    };
    for (const auto& c : cases) EXPECT_EQ(Lib(c.code), c.expected) << c.code;
    EXPECT_EQ(DllFunctionCount(), 1);
}

TEST_F(ExtNative, FunctionAddressesOfBuiltinsOnly) {
    const int32_t max = FindFunction("max");
    ASSERT_GE(max, 0);
    EXPECT_EQ(Eval("return get_function_address('max')").val(),
              static_cast<double>(reinterpret_cast<uintptr_t>(FunctionRoutine(max))));
    AddScript("scr_here", "return 1");
    ASSERT_TRUE(CompileScripts());
    EXPECT_EQ(Text("return get_function_address('scr_here')"), "-1");
    EXPECT_EQ(Text("return get_function_address('no_such_function')"), "-1");
}

TEST_F(ExtNative, WithoutANativeCallerDefinitionsFail) {
    SetNativeCaller(nullptr);
    EXPECT_EQ(Lib("return external_define0(LIB, 'kt_zero', 0)"), "-1 ! Error defining an external function.");
}

// The direct calls of real signatures against the libffi reference, on random arguments.
TEST_F(ExtNative, DirectRealCallsMatchTheReference) {
    static const char* const names[] = {"kt_zero", "kt_negate", "kt_add",  "kt_sum3", "kt_sum4",
                                        "kt_sum5", "kt_sum6",   "kt_sum7", "kt_sum8"};
    int32_t types[17]{};
    int32_t direct[9], reference[9];
    for (int32_t n = 0; n <= 8; ++n)
        direct[n] = DefineDllFunction(KESTRIN_TEST_LIBRARY, names[n], 0, 0, types, n);
    SetNativeCaller(MakeFfiNativeCaller(false));
    for (int32_t n = 0; n <= 8; ++n)
        reference[n] = DefineDllFunction(KESTRIN_TEST_LIBRARY, names[n], 0, 0, types, n);
    std::mt19937_64 random(20);
    std::uniform_real_distribution<double> value(-1e6, 1e6);
    for (int round = 0; round < 200; ++round) {
        const int32_t n = static_cast<int32_t>(random() % 9);
        RValue args[8];
        for (int32_t i = 0; i < n; ++i) args[i] = RValue(value(random));
        RValue a, b;
        CallDllFunction(direct[n], n, args, a);
        CallDllFunction(reference[n], n, args, b);
        ASSERT_EQ(a.val(), b.val()) << names[n];
    }
}

} // namespace
} // namespace kestrin
