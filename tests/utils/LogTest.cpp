#include "Log.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace
{
LogTime FixedClock()
{
    return {7, 5, 9, 42};
}

struct TestLog : CLogFile
{
    TestLog() { SetLogClock(FixedClock); }
    ~TestLog() { SetLogClock(nullptr); }
};

const char* S = "07:05:09:0042 - ";
} // namespace

TEST(Log, StampingAndContinuation)
{
    struct Case
    {
        std::vector<const char*> messages;
        std::string expected;
    };
    const std::string s = S;
    const Case cases[] = {
        {{"Init train\n"}, s + "Init train\n"},
        {{"a", "b\n"}, s + "ab\n"},
        {{"a\nb\n"}, s + "a\n" + s + "b\n"},
        {{"a\n\nb"}, s + "a\n" + s + "\n" + s + "b"},
        {{"a\n", "b\n"}, s + "a\n" + s + "b\n"},
        {{"", "x\n"}, s + "x\n"},
        {{"\n", "x"}, s + "\n" + s + "x"},
    };
    for (const Case& c : cases)
    {
        TestLog log;
        for (const char* m : c.messages)
            log.Printf("%s", m);
        EXPECT_EQ(log.GetText(), c.expected) << "first message: " << c.messages[0];
    }
}

TEST(Log, WriteIsNotStampedAndKeepsLineState)
{
    TestLog log;
    log.Printf("start");
    log.Write("Error: InitDeviceObjects FAILED!\n");
    log.Printf(" more\n");
    EXPECT_EQ(log.GetText(), std::string(S) + "startError: InitDeviceObjects FAILED!\n more\n");
}

TEST(Log, LongMessagesAreCutAt2045Characters)
{
    TestLog log;
    std::string big(5000, 'x');
    log.Printf("%s", big.c_str());
    EXPECT_EQ(log.GetText(), std::string(S) + std::string(2045, 'x'));
    EXPECT_EQ(FormatString("%s", big.c_str()).size(), 2047u);
    EXPECT_EQ(FormatString("%d-%s", 12, "ab"), "12-ab");
}

TEST(Log, FileReceivesOnlyTextAfterOpenAndCloseIsIdempotent)
{
    TestLog log;
    log.Printf("before\n");
    FILE* f = tmpfile();
    ASSERT_NE(f, nullptr);
    log.Open("test.log");
    log.SetFile(f);
    log.Printf("after\n");
    EXPECT_EQ(log.GetName(), "test.log");
    fseek(f, 0, SEEK_SET);
    char buf[128] = {};
    size_t n = fread(buf, 1, sizeof(buf) - 1, f);
    EXPECT_EQ(std::string(buf, n), std::string(S) + "after\n");
    EXPECT_TRUE(log.Close());
    EXPECT_TRUE(log.Close());
    EXPECT_FALSE(log.IsFileOpen());
    log.Printf("kept\n");
    EXPECT_NE(log.GetText().find("kept"), std::string::npos);
}

TEST(Log, ConcurrentPrintfKeepsEveryLineWhole)
{
    TestLog log;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&log, t] {
            for (int i = 0; i < 500; ++i)
                log.Printf("thread %d line %d\n", t, i);
        });
    for (auto& th : threads)
        th.join();
    const std::string text = log.GetText();
    size_t lines = 0, pos = 0;
    while ((pos = text.find('\n', pos)) != std::string::npos)
    {
        ++lines;
        ++pos;
    }
    EXPECT_EQ(lines, 2000u);
    size_t at = 0;
    while (at < text.size())
    {
        ASSERT_EQ(text.compare(at, 16, S), 0) << "unstamped line at " << at;
        at = text.find('\n', at) + 1;
    }
}
