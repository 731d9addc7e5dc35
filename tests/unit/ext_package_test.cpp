// Extension packages: script files cut into functions, files placed in the temporary folder,
// constants, where their functions stand among scripts and built-ins, calls of script and
// native functions, initialisation and finalisation in order, and secure mode.

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "files_fixture.h"
#include "runner/extension_main.h"
#include "runner/support_dll.h"
#include "script/extension_class.h"

namespace kestrin {
namespace {

CExtensionFunction Function(std::string name, int32_t id, int32_t argc = -1, std::string extname = "") {
    CExtensionFunction f;
    f.s_name = std::move(name);
    f.s_extname = std::move(extname);
    f.s_id = id;
    f.s_argcount = argc;
    return f;
}

std::vector<uint8_t> Bytes(std::string_view text) {
    return {text.begin(), text.end()};
}

CExtensionFile ScriptFile(std::string text, std::vector<CExtensionFunction> functions) {
    CExtensionFile file;
    file.s_filename = "code.gml";
    file.s_kind = kExtensionScript;
    file.s_functions = std::move(functions);
    file.data = Bytes(text);
    return file;
}

CExtensionPackage Package(std::string name, std::vector<CExtensionFile> files) {
    CExtensionPackage p;
    p.s_name = name;
    p.s_folder = std::move(name);
    p.s_includes = std::move(files);
    return p;
}

std::vector<uint8_t> LibraryBytes() {
    std::ifstream in(KESTRIN_TEST_LIBRARY, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class ExtPackage : public testing::FilesTest {
protected:
    void SetUp() override {
        FilesTest::SetUp();
        ResetExtensions();
    }
    void TearDown() override {
        ResetExtensions();
        FilesTest::TearDown();
    }
    // Loads, prepares and compiles the packages as start-up does.
    bool Start(std::vector<CExtensionPackage> packages) {
        Extensions().Load(std::move(packages), temp_.string());
        Extensions().Prepare([this](const std::string& text) { shown.push_back(text); });
        return Extensions().CompileScripts();
    }
    std::vector<std::string> shown;
};

TEST(ExtScripts, SectionsOfAScriptFile) {
    const struct {
        const char* bytes;
        const char* first;  // text of the function of section "one"
        const char* second; // of section "two"
    } cases[] = {
        {"#define one\rreturn 1\r#define two\rreturn 2\r", "return 1", "return 2"},
        // LF is dropped, lines join with CR LF, the last line without CR is lost.
        {"#define one\r\na\r\nb\r\n#define two\r\nc", "a\r\nb", ""},
        // Text before the first section and indented "#define" lines are just text.
        {"ignored\r#define one\r  #define two\rx\r", "  #define two\r\nx", ""},
        {"#define  one  \r\r#define two\r#define one\rlater\r", "later", ""},
        {"#define one\r\xE9t\xE9\r", "\xC3\xA9t\xC3\xA9", ""},
        {"no sections\r", "", ""},
    };
    for (const auto& c : cases) {
        CExtensionFile file = ScriptFile("", {Function("f1", 1, -1, "one"), Function("f2", 2, -1, "two")});
        file.s_functions[0].s_script = "stale";
        CreateExtensionScripts(file, Bytes(c.bytes));
        EXPECT_EQ(file.s_functions[0].s_script, c.first) << c.bytes;
        EXPECT_EQ(file.s_functions[1].s_script, c.second) << c.bytes;
    }
    CExtensionFile other = ScriptFile("", {Function("f", 1, -1, "one")});
    other.s_kind = kExtensionOther;
    CreateExtensionScripts(other, Bytes("#define one\rreturn 1\r"));
    EXPECT_EQ(other.s_functions[0].s_script, "");
}

TEST(ExtScripts, NamesAreTrimmedAndWideFunctionsTakeReals) {
    CExtensionPackage p = Package("p", {ScriptFile("", {Function(" \tname\r", 1, 5, " \x01")})});
    p.s_includes[0].s_functions[0].s_argtype[2] = 1;
    NormaliseExtensionFunctions(p);
    const CExtensionFunction& f = p.s_includes[0].s_functions[0];
    EXPECT_EQ(f.s_name, "name");
    EXPECT_EQ(f.s_extname, "name");
    EXPECT_EQ(f.s_argtype[2], 2);
}

TEST_F(ExtPackage, FilesGoToThePackageFolderOnly) {
    CExtensionFile data;
    data.s_filename = "..\\..\\escape.txt";
    data.s_kind = kExtensionOther;
    data.data = Bytes("payload");
    CExtensionFile none;
    none.s_filename = "absent.txt";
    none.s_kind = kExtensionNoData;
    CExtensionPackage p = Package("pkg", {data, none});
    p.s_folder = "..\\up/../pkg\\inner";
    ASSERT_TRUE(Start({p}));
    EXPECT_EQ(ReadBack(temp_ / "up" / "pkg" / "inner" / "escape.txt"), "payload");
    EXPECT_FALSE(std::filesystem::exists(root_ / "escape.txt"));
    EXPECT_FALSE(std::filesystem::exists(temp_ / "up" / "pkg" / "inner" / "absent.txt"));
    EXPECT_EQ(Extensions().PackageFolder(0), (temp_ / "up" / "pkg" / "inner").string());
}

TEST_F(ExtPackage, ConstantsAndWhereFunctionsStand) {
    CExtensionFile file = ScriptFile(
        "#define ext_add\rreturn argument0 + argument1 + argument_count * 100\r"
        "#define max\rreturn 'extension max'\r"
        "#define shadowed\rreturn 'extension'\r",
        {Function("ext_add", 3, 2), Function("max", 4), Function("shadowed", 5), Function("hidden", -2)});
    file.s_constants = {{"EXT_BASE", "40 + 2"}, {"EXT_BAD", "1 +"}, {"EXT_NAME", "'pkg'"}};
    ASSERT_TRUE(Start({Package("pkg", {file})}));
    ASSERT_EQ(shown.size(), 1u); // the constant that does not compile is shown and skipped
    AddScript("shadowed", "return 'script'");
    ASSERT_TRUE(CompileScripts());
    const testing::TextCase cases[] = {
        {"return EXT_BASE", "42"},           {"return EXT_NAME", "\"pkg\""},
        {"return ext_add(1, 2)", "203"},     {"return max(1, 2)", "\"extension max\""},
        {"return shadowed()", "\"script\""},
    };
    for (const auto& c : cases) EXPECT_EQ(Text(c.code), c.expected) << c.code;
    EXPECT_EQ(Run("return ext_add(1)"), "1:17: Wrong number of arguments to function or script.");
    EXPECT_EQ(Run("return hidden()"), "1:8: Unknown function or script: hidden");
    EXPECT_EQ(Run("return EXT_BAD"), "1:8: Unknown variable EXT_BAD");
    // A game constant defined later hides the package's.
    std::string message;
    ASSERT_TRUE(DefineConstant("EXT_BASE", "7", message)) << message;
    EXPECT_EQ(Text("return EXT_BASE"), "7");
    EXPECT_EQ(Extensions().ArgCount(3), 2);
    EXPECT_EQ(Extensions().ArgCount(99), kNoFunctionArgCount);
    EXPECT_EQ(Extensions().FunctionName(4), "max");
}

TEST_F(ExtPackage, TheFirstPackageNamingAFunctionWins) {
    ASSERT_TRUE(
        Start({Package("first", {ScriptFile("#define f\rreturn 'first'\r", {Function("dup", 7, 0, "f")})}),
               Package("second", {ScriptFile("#define f\rreturn 'second'\r",
                                             {Function("dup", 8, 0, "f"), Function("only", 9, 0, "f")})})}));
    EXPECT_EQ(Text("return dup() + only()"), "\"firstsecond\"");
    EXPECT_EQ(Extensions().FunctionName(8), "dup");
}

TEST_F(ExtPackage, ScriptFunctionsSeeTheirArgumentsAndKeepTheCallers) {
    ASSERT_TRUE(Start({Package(
        "pkg", {ScriptFile("#define ext_show\rreturn string(argument_count) + ':' + string(argument0) + "
                           "string(argument1) + string(argument2)\r"
                           "#define ext_fail\rreturn undefined_thing + 1\r",
                           {Function("ext_show", 1), Function("ext_fail", 2)})})}));
    AddScript("scr_outer", "var inner; inner = ext_show('a', 'b'); return inner + '|' + string(argument0) + "
                           "string(argument_count)");
    ASSERT_TRUE(CompileScripts());
    EXPECT_EQ(Text("return scr_outer('x', 'y', 'z')"), "\"2:ab0|x3\"");
    CCode code("return ext_fail()", false);
    ASSERT_TRUE(code.Compile());
    RValue result;
    EXPECT_FALSE(RunCode(self, self, code, result));
    EXPECT_EQ(LastCodeError().rfind("In extension function ext_fail:\r", 0), 0u) << LastCodeError();
}

TEST_F(ExtPackage, ACompileErrorStopsTheStart) {
    ASSERT_FALSE(
        Start({Package("broken_pkg", {ScriptFile("#define f\rreturn (1 +\r", {Function("f", 1)})})}));
    EXPECT_TRUE(GameAborting());
    EXPECT_EQ(ErrorLast().rfind("COMPILATION ERROR in extension package broken_pkg\r", 0), 0u) << ErrorLast();
}

TEST_F(ExtPackage, InitAndFinalRunInOrder) {
    auto file = [](const std::string& tag) {
        CExtensionFile f = ScriptFile("#define start\rglobal.log += 'start " + tag +
                                          ";'\r#define stop\r"
                                          "global.log += 'stop " +
                                          tag + ";'\r",
                                      {});
        return f;
    };
    CExtensionFile a = file("a"), b = file("b"), c = file("c");
    a.s_functions = {Function("a_start", 1, 0, "start"), Function("a_stop", 2, 0, "stop")};
    a.s_init = "a_start";
    a.s_final = "a_stop";
    b.s_functions = {Function("b_start", 3, 0, "start")};
    b.s_init = "b_start";
    c.s_functions = {Function("c_start", 4, 0, "start"), Function("c_stop", 5, 0, "stop")};
    c.s_init = "c_start";
    c.s_final = "c_stop";
    ASSERT_TRUE(Start({Package("one", {a, b}), Package("two", {c})}));
    ASSERT_EQ(Text("global.log = ''; return 0"), "0");
    EXPECT_TRUE(Extensions().Init());
    EXPECT_TRUE(Extensions().Final());
    EXPECT_EQ(Text("return global.log"), "\"start a;start b;start c;stop a;stop c;\"");
}

TEST_F(ExtPackage, AMissingInitFunctionEndsTheLoop) {
    CExtensionFile a = ScriptFile("#define f\rglobal.log += 'a;'\r", {Function("a_f", 1, 0, "f")});
    // The function exists, but in another file of the package.
    CExtensionFile b = ScriptFile("", {});
    b.s_init = "a_f";
    CExtensionFile c = ScriptFile("#define f\rglobal.log += 'c;'\r", {Function("c_f", 2, 0, "f")});
    c.s_init = "c_f";
    a.s_init = "a_f";
    ASSERT_TRUE(Start({Package("pkg", {a, b, c})}));
    ASSERT_EQ(Text("global.log = ''; return 0"), "0");
    EXPECT_FALSE(Extensions().Init());
    EXPECT_EQ(ErrorLast(), "Could not locate initialization function a_f");
    EXPECT_TRUE(GameAborting());
    EXPECT_EQ(Text("return global.log"), "\"a;\"");
    ResetErrorState();
    CExtensionFile d = ScriptFile("", {});
    d.s_final = "gone";
    ASSERT_TRUE(Start({Package("pkg", {d})}));
    EXPECT_FALSE(Extensions().Final());
    EXPECT_EQ(ErrorLast(), "Could not locate finalization function gone");
}

TEST_F(ExtPackage, NativeFunctionsOfAPackage) {
    CExtensionFile dll;
    dll.s_filename = "ktools.dll";
    dll.s_kind = kExtensionDll;
    dll.data = LibraryBytes();
    ASSERT_FALSE(dll.data.empty());
    dll.s_functions = {Function("ext_add", 1, 2, "kt_add"), Function("ext_greet", 2, 1, "kt_greet"),
                       Function("ext_any", 3, -1, "kt_zero"), Function("ext_missing", 4, 0, "kt_not_there")};
    dll.s_functions[1].s_argtype[0] = 1;
    dll.s_functions[1].s_returntype = 1;
    for (auto& f : dll.s_functions) f.s_kind = 12;
    std::vector<std::string> trace;
    ErrorHooks hooks;
    hooks.trace = [&trace](std::string_view line) { trace.emplace_back(line); };
    SetErrorHooks(hooks);
    ASSERT_TRUE(Start({Package("natives", {dll})}));
    SetErrorHooks({});
    EXPECT_TRUE(std::filesystem::exists(temp_ / "natives" / "ktools.dll"));
    const testing::TextCase cases[] = {
        {"return ext_add(2, 3.5)", "5.50"},
        {"return ext_greet('package')", "\"hello, package\""},
        {"return ext_any() + ext_any(1, 2, 3)", "0"},
        {"return ext_missing()", "0"},
    };
    for (const auto& c : cases) EXPECT_EQ(Text(c.code), c.expected) << c.code;
    bool traced = false;
    for (const std::string& line : trace)
        traced = traced || line.rfind("GetProcAddress for kt_not_there on DLL ", 0) == 0;
    EXPECT_TRUE(traced);
}

TEST_F(ExtPackage, SecureModeRefusesPackages) {
    CExtensionFile dll;
    dll.s_filename = "ktools.dll";
    dll.s_kind = kExtensionDll;
    dll.data = LibraryBytes();
    dll.s_functions = {Function("ext_add", 1, 2, "kt_add")};
    CExtensionFile code = ScriptFile("#define f\rreturn 5\r", {Function("ext_five", 2, 0, "f")});
    Secure(true);
    ASSERT_TRUE(Start({Package("pkg", {dll, code})}));
    // No library is loaded: nothing may call it.
    EXPECT_EQ(DllFunctionCount(), 0);
    CCode call("return ext_five()", false);
    ASSERT_TRUE(call.Compile());
    RValue result;
    EXPECT_FALSE(RunCode(self, self, call, result));
    EXPECT_EQ(LastCodeError(), "In secure mode you cannot use extension packages.");
    EXPECT_TRUE(Extensions().Init()); // no file names an initialisation function
    ResetErrorState();
    ResetExtensions();
    code.s_init = "ext_five";
    ASSERT_TRUE(Start({Package("pkg", {code})}));
    EXPECT_FALSE(Extensions().Init());
    EXPECT_EQ(ErrorLast(), "In secure mode you cannot use extension packages.");
}

TEST_F(ExtPackage, IdsFromTheDataAreNotSizes) {
    CExtensionFile file = ScriptFile("#define f\rreturn 9\r", {Function("ext_far", 2000000000, 0, "f")});
    ASSERT_TRUE(Start({Package("pkg", {file})}));
    EXPECT_EQ(Text("return ext_far()"), "9");
    RValue result(5.0);
    EXPECT_TRUE(Extensions().Call(12345, self, self, 0, nullptr, result)); // below the highest: the real 0
    EXPECT_EQ(result.val(), 0.0);
    EXPECT_FALSE(Extensions().Call(-1, self, self, 0, nullptr, result));
    EXPECT_FALSE(Extensions().Call(2000000001, self, self, 0, nullptr, result));
}

} // namespace
} // namespace kestrin

namespace kestrin {
namespace {

// Writes the seeds of fuzz_extension: packages with script, native and plain files whose
// data block is substituted with a key.
TEST(ExtensionFuzzSeeds, DISABLED_WriteFuzzSeeds) {
    const std::filesystem::path dir =
        std::filesystem::path(KESTRIN_SOURCE_DIR) / "fuzz/corpus/fuzz_extension";
    std::filesystem::create_directories(dir);
    auto save = [&](const std::string& name, const std::vector<CExtensionPackage>& packages) {
        CStream out;
        SaveExtensionSection(out, packages);
        std::ofstream(dir / name, std::ios::binary)
            .write(reinterpret_cast<const char*>(out.Bytes().data()),
                   static_cast<std::streamsize>(out.Bytes().size()));
    };
    CExtensionFile code = ScriptFile("before\r#define one\rreturn 1\r  #define two\r#define two\rreturn 2",
                                     {Function(" one ", 1, 0), Function("two", 2, 6, "two")});
    code.s_init = "one";
    code.s_constants = {{"EXT_C", "1 + 2"}};
    CExtensionFile native;
    native.s_filename = "tools.dll";
    native.s_kind = kExtensionDll;
    native.data = Bytes("\x7f"
                        "ELF not really");
    native.s_functions = {Function("ext_add", 3, 2, "add")};
    native.s_functions[0].s_kind = 12;
    CExtensionFile absent;
    absent.s_filename = "absent.txt";
    absent.s_kind = kExtensionNoData;
    CExtensionPackage p = Package("pkg", {code, native, absent});
    p.key = 12345;
    save("three_files", {p});
    CExtensionPackage q = Package("second", {ScriptFile("#define f\r\xE9\r", {Function("f", 9)})});
    q.key = 777;
    save("two_packages", {p, q});
}

} // namespace
} // namespace kestrin
