#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "crash/CrashAnalysis.h"
#include "crash/CrashContext.h"
#include "net/Deployment.h"
#include "platform/Text.h"

namespace {

bool Parse(std::vector<std::wstring> fields, Crash::CrashArguments& out) {
    std::vector<wchar_t*> argv;
    for (auto& field : fields) argv.push_back(field.data());
    return Crash::ParseDumperCommandLine(static_cast<int>(argv.size()), argv.data(), out);
}

TEST(DumperCommandLine, TakesFixersSevenFieldsWithTheVersionAsTag) {
    Crash::CrashArguments arguments;
    ASSERT_TRUE(Parse({L"C:\\a b\\dumper.exe", L"256", L"260", L"0080F828", L"1.0.0.1", L"quorvex",
                       L"C:\\a b\\Vantoro.exe"},
                      arguments));
    EXPECT_EQ(arguments.processId, L"256");
    EXPECT_EQ(arguments.threadId, L"260");
    EXPECT_EQ(arguments.pointer, L"0080F828");
    EXPECT_EQ(arguments.tag, L"1.0.0.1");
}

TEST(DumperCommandLine, TakesTheFiveFieldForm) {
    Crash::CrashArguments arguments;
    ASSERT_TRUE(Parse({L"dumper.exe", L"1", L"2", L"00000010", L"tag"}, arguments));
    EXPECT_EQ(arguments.tag, L"tag");
}

TEST(DumperCommandLine, RefusesAnyOtherCount) {
    Crash::CrashArguments arguments;
    for (size_t count : {1, 2, 4, 6, 8}) {
        std::vector<std::wstring> fields(count, L"1");
        EXPECT_FALSE(Parse(fields, arguments)) << count;
    }
}

TEST(TraceText, StopsAtItsBoundAndDropsTheRest) {
    auto crash = std::make_unique<Crash::CrashContext>();
    std::wstring line(1000, L'x');
    for (int i = 0; i < Crash::kTraceChars / 1000 + 5; ++i) Crash::AppendTraceFormat(*crash, L"%ls", line.c_str());
    EXPECT_EQ(crash->traceLength, Crash::kTraceChars - 1);
    EXPECT_EQ(crash->traceText[Crash::kTraceChars - 1], L'\0');
    Crash::AppendTrace(*crash, L"more", 4);
    EXPECT_EQ(crash->traceLength, Crash::kTraceChars - 1);
}

TEST(TraceText, KeepsWhatFitsOfAPieceLongerThanItsFormatBuffer) {
    auto crash = std::make_unique<Crash::CrashContext>();
    std::wstring name(10000, L'n');
    Crash::AppendTraceFormat(*crash, L" at %ls:%lu", name.c_str(), 7ul);
    // The format buffer's 4,096 characters less its NUL, all of them the text's.
    EXPECT_EQ(crash->traceLength, 4095);
    EXPECT_EQ(std::wstring(crash->traceText), L" at " + name.substr(0, 4091));
}

TEST(SymbolSearch, NamesTheServersSymbolFolderOnce) {
    std::wstring path = Crash::SymbolSearchPath(deployment::SymbolServer());
    EXPECT_TRUE(path.ends_with(L"/symbols")) << WideToUtf8(path);
    EXPECT_EQ(path.find(L"/symbols"), path.rfind(L"/symbols")) << WideToUtf8(path);
}

TEST(AnalysisRelease, NothingHeldBeforeAnyAnalysis) {
    EXPECT_TRUE(Crash::WaitUntilCrashedProcessReleased(0));
}

}  // namespace
