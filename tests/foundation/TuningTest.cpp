#include "TuningControl.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "LogCapture.h"

using namespace TuningControl;

namespace
{
std::string ReadAll(const std::string& name)
{
    std::ifstream in(name, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void WriteAll(const std::string& name, const std::string& text)
{
    std::ofstream(name, std::ios::binary) << text;
}

std::string TempName(const char* tag)
{
    return std::string(::testing::TempDir()) + "tarnholm_" + tag + ".txt";
}

CLeaf* Leaf(CManager& m, const char* path)
{
    m.GetAccess().ParsePath(path);
    return FindLeaf(&m.GetRoot(), m.GetAccess().m_Names);
}

// cp1251 bytes of the loader's messages.
const std::string kBadLinePrefix = "\xee\xf8\xe8\xe1\xea\xe0 \xee\xef\xe8\xf1\xe0\xed\xe8\xff \xef\xe0\xf0\xe0\xec"
                                   "\xe5\xf2\xf0\xe0 \xe2 \xf1\xf2\xf0\xee\xea\xe5 ";
const std::string kColumnWord = "\xf1\xf2\xee\xeb\xe1\xe5\xf6";
const std::string kNotVector = "\xee\xf8\xe8\xe1\xea\xe0 \xf4\xe0\xe9\xeb\xe0 \xed\xe0\xf1\xf2\xf0\xee\xe5\xea: "
                               "\xed\xe5\xe2\xe5\xea\xf2\xee\xf0\xed\xfb\xe9 \xef\xe0\xf0\xe0\xec\xe5\xf2\xf0 "
                               "\xf1\xee\xe4\xe5\xf0\xe6\xe8\xf2 \xe1\xee\xeb\xe5\xe5 \xee\xe4\xed\xee\xe3\xee "
                               "\xe7\xed\xe0\xf7\xe5\xed\xe8\xff \n";
const std::string kUnknownType = "\xee\xf8\xe8\xe1\xea\xe0 \xf4\xe0\xe9\xeb\xe0 \xed\xe0\xf1\xf2\xf0\xee\xe5\xea: "
                                 "\xed\xe5\xe8\xe7\xe2\xe5\xf1\xf2\xed\xfb\xe9 \xf2\xe8\xef "
                                 "\xef\xe0\xf0\xe0\xec\xe5\xf2\xf0\xe0: ";
const std::string kDuplicate = "\xee\xf8\xe8\xe1\xea\xe0 \xf4\xe0\xe9\xeb\xe0 \xed\xe0\xf1\xf2\xf0\xee\xe5\xea: "
                               "\xed\xe5\xf3\xed\xe8\xea\xe0\xeb\xfc\xed\xee\xe5 \xe8\xec\xff "
                               "\xef\xe0\xf0\xe0\xec\xe5\xf2\xf0\xe0 ...";
} // namespace

TEST(TuningFile, FixtureRoundTripsByteForByte)
{
    const std::string fixture = ReadAll(TARNHOLM_FOUNDATION_FIXTURES "/roundtrip.txt");
    ASSERT_FALSE(fixture.empty());
    CManager m;
    LogCapture log;
    EXPECT_TRUE(m.LoadFromText(fixture.data(), fixture.size()));
    EXPECT_EQ(log.Text(), "");

    EXPECT_EQ(m.GetCurrentLine().m_Path, "Tuning.Pos.x");
    CLeaf* x = Leaf(m, "Tuning.Pos.x");
    ASSERT_TRUE(x);
    EXPECT_EQ(x->m_Descriptor.m_StepExponent, 1);
    EXPECT_EQ(x->m_Descriptor.m_PrecisionExponent, 0);
    EXPECT_TRUE(x->m_Descriptor.m_bHasMinimum);
    EXPECT_FALSE(x->m_Descriptor.m_bHasMaximum);
    EXPECT_EQ(Leaf(m, "Camera_L_D_01_99.Points")->GetValueCount(), 3u);
    EXPECT_TRUE(Leaf(m, "Hidden.Value")->IsStale());

    const std::string out = TempName("roundtrip");
    ASSERT_TRUE(m.SaveToFile(out));
    EXPECT_EQ(ReadAll(out), fixture);
    remove(out.c_str());
}

TEST(TuningFile, LineForms)
{
    struct Case
    {
        const char* line;
        bool good;
        const char* path; // leaf to check, or null
        std::vector<float> values;
        int stepExponent;
        int kind;
        std::string log;
    };
    const Case cases[] = {
        {"", true, nullptr, {}, 0, 0, ""},
        {"\r\n", true, nullptr, {}, 0, 0, ""},
        {"   \r\n", false, nullptr, {}, 0, 0, ""},
        {"; a comment", true, nullptr, {}, 0, 0, ""},
        {"\t// another", true, nullptr, {}, 0, 0, ""},
        {"\\ and another", true, nullptr, {}, 0, 0, ""},
        {"A.b", false, nullptr, {}, 0, 0, ""},
        {"A-b 1", false, nullptr, {}, 0, 0, ""},
        {"A.s 1 0.05", true, "A.s", {1}, -1, KIND_FLOAT, ""},
        {"A.s 1 0.001", true, "A.s", {1}, -3, KIND_FLOAT, ""},
        {"A.s 1 100000", true, "A.s", {1}, 5, KIND_FLOAT, ""},
        {"A.s 1 0.00000001", true, "A.s", {1}, 0, KIND_FLOAT, ""},
        {"A.i 2 0.01 (int)", true, "A.i", {2}, 0, KIND_INT, ""},
        {"A.b 5e0 (bool)", true, "A.b", {5}, 0, KIND_BOOL, ""},
        {"A.t 1 (double)", true, "A.t", {1}, 0, KIND_FLOAT, kUnknownType + "double \n"},
        {"A.v 1; 2; 3", true, "A.v", {3}, 0, KIND_FLOAT, kNotVector + kNotVector},
        {"A.v[] 1; 2; 3", true, "A.v", {1, 2, 3}, 0, KIND_FLOAT, ""},
        {"A.e 1.000000 junk", true, "A.e", {1}, 0, KIND_FLOAT,
         "Get : Error: Expected command or object tag [Line: 1; Column: 13]\n"},
        {"A.e\t1 { x", true, "A.e", {1}, 0, KIND_FLOAT,
         "Get : Error: Expected command or object tag [Line: 1; Column: 6]\n"},
        {"  A . e   -1.5e2  \r\n", true, "A.e", {-150}, 0, KIND_FLOAT, ""},
        {"A.f 3.4e38 1e38", true, "A.f", {3.4e38f}, 38, KIND_FLOAT, ""},
        // Numbers that a float cannot hold refuse the line.
        {"Tuning.X 1.0 1e39", false, nullptr, {}, 0, 0, ""},
        {"A.s 1 0e400", false, nullptr, {}, 0, 0, ""},
        {"A.v 1e39", false, nullptr, {}, 0, 0, ""},
        {"A.v[] 1; -1e300", false, nullptr, {}, 0, 0, ""},
        {"A.r 1 <0, 1e39>", false, nullptr, {}, 0, 0, ""},
        {"A.c 1 {Big = -4e38}", false, nullptr, {}, 0, 0, ""},
    };
    for (const Case& c : cases)
    {
        CManager m;
        CStructLoader loader;
        loader.m_pRoot = &m.GetRoot();
        LogCapture log;
        EXPECT_EQ(m.ParseLine(c.line, loader, 2), c.good) << c.line;
        EXPECT_EQ(log.Text(), c.log) << c.line;
        if (!c.path)
            continue;
        CLeaf* leaf = Leaf(m, c.path);
        ASSERT_TRUE(leaf) << c.line;
        std::vector<float> values;
        for (size_t i = 0; i < leaf->GetValueCount(); ++i)
            values.push_back(leaf->GetValue(i).m_Value);
        EXPECT_EQ(values, c.values) << c.line;
        EXPECT_EQ(leaf->m_Descriptor.m_StepExponent, c.stepExponent) << c.line;
        EXPECT_EQ(leaf->m_Descriptor.m_Kind, c.kind) << c.line;
    }
}

TEST(TuningFile, StaleMarkByMode)
{
    for (int mode = 0; mode < 3; ++mode)
    {
        CManager m;
        CStructLoader loader;
        loader.m_pRoot = &m.GetRoot();
        EXPECT_TRUE(m.ParseLine("#A.h 4", loader, mode));
        CLeaf* leaf = Leaf(m, "A.h");
        EXPECT_EQ(leaf != nullptr, mode != 0) << mode;
        if (leaf)
            EXPECT_EQ(leaf->IsStale(), mode == 2) << mode;
    }
}

TEST(TuningFile, ExternalFileKeepsGoodLinesAndReportsBadOnesWithLineAndColumn)
{
    const std::string name = TempName("bad_lines");
    WriteAll(name, "A.one 1\r\n"
                   "A.two\r\n"
                   "\r\n"
                   "  A-b 3\r\n"
                   "A.three 3\r\n"
                   "A.one 5\r\n");
    CManager m;
    LogCapture log;
    EXPECT_TRUE(m.LoadFromFile(name, 2));
    EXPECT_EQ(m.GetBadLineCount(), 2);
    EXPECT_EQ(log.Text(), kBadLinePrefix + "2, " + kColumnWord + " 6 'A.two\r\n'\n" +
                              kBadLinePrefix + "4, " + kColumnWord + " 4 '  A-b 3\r\n'\n" +
                              kDuplicate + "one \n");
    EXPECT_EQ(*m.GetValue("A.three"), 3.0f);
    // A duplicate keeps its first value and appends the new one.
    EXPECT_EQ(Leaf(m, "A.one")->GetValueCount(), 2u);
    EXPECT_EQ(*m.GetValue("A.one"), 1.0f);
    remove(name.c_str());

    CManager missing;
    EXPECT_FALSE(missing.LoadFromFile(name, 2));
}

TEST(TuningFile, NumbersBeyondAFloatAreBadLinesWithTheirColumn)
{
    const std::string name = TempName("non_finite");
    WriteAll(name, "A.one 1\r\n"
                   "Tuning.X 1.0 1e39\r\n"
                   "A.nan 2 0e400\r\n"
                   "A.inf\t1e39\r\n"
                   "A.two 2 <0, 1e39>\r\n"
                   "A.three 3\r\n");
    CManager m;
    LogCapture log;
    EXPECT_TRUE(m.LoadFromFile(name, 2));
    EXPECT_EQ(m.GetBadLineCount(), 4);
    EXPECT_EQ(log.Text(), kBadLinePrefix + "2, " + kColumnWord + " 14 'Tuning.X 1.0 1e39\r\n'\n" +
                              kBadLinePrefix + "3, " + kColumnWord + " 9 'A.nan 2 0e400\r\n'\n" +
                              kBadLinePrefix + "4, " + kColumnWord + " 9 'A.inf\t1e39\r\n'\n" +
                              kBadLinePrefix + "5, " + kColumnWord + " 13 'A.two 2 <0, 1e39>\r\n'\n");
    for (const char* refused : {"Tuning.X", "A.nan", "A.inf", "A.two"})
        EXPECT_FALSE(m.Exists(refused)) << refused;
    EXPECT_EQ(*m.GetValue("A.one"), 1.0f);
    EXPECT_EQ(*m.GetValue("A.three"), 3.0f);
    remove(name.c_str());
}

TEST(TuningFile, BuiltInTextStopsSilentlyAtTheFirstBadLine)
{
    const std::string text = "A.one 1\nA.two 2\r\n  \nA.three 3\n";
    CManager m;
    LogCapture log;
    EXPECT_FALSE(m.LoadFromText(text.data(), text.size()));
    EXPECT_EQ(log.Text(), "");
    EXPECT_TRUE(m.Exists("A.one"));
    EXPECT_TRUE(m.Exists("A.two"));
    EXPECT_FALSE(m.Exists("A.three"));
}

TEST(TuningFile, SaveReplacesTheFileAndFailsCleanly)
{
    const std::string name = TempName("save");
    WriteAll(name, "old contents that are much longer than the new ones\r\n");
    CManager m;
    *m.GetValue("X") = 2;
    ASSERT_TRUE(m.SaveToFile(name));
    EXPECT_EQ(ReadAll(name), "X 2.000000\r\n");
    FILE* tmp = fopen((name + ".tmp").c_str(), "rb");
    EXPECT_EQ(tmp, nullptr);
    if (tmp)
        fclose(tmp);
    remove(name.c_str());

    LogCapture log;
    EXPECT_FALSE(m.SaveToFile("/nonexistent-folder/values.txt"));
    EXPECT_NE(log.Text(), "");
}

TEST(TuningTree, ValuePointersStayValid)
{
    CManager m;
    float* p = m.GetValue("Train.Speed");
    *p = 3.5f;
    for (int i = 0; i < 1000; ++i)
    {
        m.GetValue("Train.V" + std::to_string(i));
        m.GetValue("B" + std::to_string(i) + ".x");
    }
    EXPECT_EQ(m.GetValue("Train.Speed"), p);

    CLeaf* leaf = Leaf(m, "Train.Speed");
    for (int i = 0; i < 100; ++i)
        leaf->InsertValue(leaf->GetValueCount(), float(i));
    leaf->InsertValue(0, 9.0f);
    leaf->RemoveValue(1);
    *p = 4.0f; // still writable storage, no longer in the list
    EXPECT_EQ(leaf->GetValueCount(), 101u);
    EXPECT_EQ(leaf->GetValue(0).m_Value, 9.0f);
}

TEST(TuningTree, AccessCreatesLeavesAndHandlesOddPaths)
{
    CManager m;
    EXPECT_FALSE(m.Exists("A.b"));
    float* p = m.GetValue("A.b");
    EXPECT_EQ(*p, 0.0f);
    EXPECT_TRUE(m.Exists("A.b"));
    EXPECT_EQ(m.GetValue("A.b"), p);
    EXPECT_EQ(m.GetValue("A.b more"), p); // the path ends at the blank
    EXPECT_EQ(m.GetValue("A..c"), m.GetValue("A"));

    EXPECT_EQ(*m.GetValueOr("D.e", 5.0f), 5.0f);
    *p = 2.0f;
    EXPECT_EQ(*m.GetValueOr("A.b", 7.0f), 2.0f);

    LogCapture log;
    float* none = m.GetValue(".x");
    ASSERT_NE(none, nullptr);
    EXPECT_NE(log.Text(), "");
}

TEST(TuningTree, GetValueClearsTheStaleMarkGetLeafDoesNot)
{
    CManager m;
    CStructLoader loader;
    loader.m_pRoot = &m.GetRoot();
    m.ParseLine("#H.v 1", loader, 2);
    EXPECT_TRUE(m.GetAccess().GetLeaf("H.v")->IsStale());
    EXPECT_FALSE(m.GetRoot().IsVisible() && m.GetRoot().m_Branches[0].second->IsVisible());
    m.GetValue("H.v");
    EXPECT_FALSE(Leaf(m, "H.v")->IsStale());
    EXPECT_TRUE(m.GetRoot().m_Branches[0].second->IsVisible());
}

TEST(TuningTree, CallbacksRunAtRegistrationAndOnTheirPathsOnly)
{
    struct Handler : CChangeHandler
    {
        void OnChanged(const std::string& path, const float& value) override { calls.emplace_back(path, value); }
        std::vector<std::pair<std::string, float>> calls;
    };
    CManager m;
    *m.GetValue("C.a") = 1;
    std::vector<float> one, other;
    std::vector<std::vector<float>> three;
    m.RegisterCallback("C.a", [&](float v) { one.push_back(v); });
    m.RegisterCallback("C.z", [&](float v) { other.push_back(v); });
    m.RegisterCallback3("C.a", "C.b", "C.c", [&](float a, float b, float c) { three.push_back({a, b, c}); });
    EXPECT_EQ(one, std::vector<float>{1});
    EXPECT_EQ(three.size(), 1u);

    m.NotifyChanged("C.a", 6); // no handler set: no crash
    Handler handler;
    m.SetChangeHandler(&handler);
    *m.GetValue("C.b") = 2;
    m.NotifyChanged("C.b", 2);
    EXPECT_EQ(one, (std::vector<float>{1, 6}));
    EXPECT_EQ(other, std::vector<float>{0});
    ASSERT_EQ(three.size(), 3u);
    EXPECT_EQ(three[2], (std::vector<float>{1, 2, 0}));
    EXPECT_EQ(handler.calls.size(), 1u);
}

TEST(TuningValue, RulesAndText)
{
    struct Case
    {
        int kind;
        bool hasMin;
        float min;
        bool hasMax;
        float max;
        float set;
        float expected;
        const char* text;
    };
    const Case cases[] = {
        {KIND_BOOL, false, 0, false, 0, -3, 1, "true"},
        {KIND_BOOL, false, 0, false, 0, 1e-11f, 0, "false"},
        {KIND_FLOAT, true, 0, true, 1, 1.5f, 1, "1.000000"},
        {KIND_FLOAT, false, 0, true, 1, -7, -7, "-7.000000"},
        {KIND_INT, false, 0, false, 0, 2.9f, 2.9f, "2"},
        {KIND_INT, false, 0, false, 0, -2.9f, -2.9f, "-2"},
    };
    for (const Case& c : cases)
    {
        CLeafDescriptor d;
        d.m_Kind = c.kind;
        d.m_bHasMinimum = c.hasMin;
        d.m_Minimum = c.min;
        d.m_bHasMaximum = c.hasMax;
        d.m_Maximum = c.max;
        CValue v(&d, 0, true);
        v.SetValue(c.set);
        EXPECT_EQ(v.m_Value, c.expected) << c.set;
        EXPECT_EQ(v.GetText(), c.text) << c.set;
    }
    CLeafDescriptor bad;
    bad.m_Kind = 7;
    LogCapture log;
    EXPECT_EQ(CValue(&bad, 1, true).GetText(), "");
    EXPECT_NE(log.Text(), "");
}

TEST(TuningValue, CandidatesMatchDisplayAndWrap)
{
    CLeafDescriptor d;
    d.m_Candidates = {{"AR_4_3", 1.33f}, {"AR_5_4", 1.25f}, {"AR_16_9", 1.78f}, {"AR_16_10", 1.6f}};
    EXPECT_EQ(d.FindCandidate(1.250004f), 1);
    EXPECT_EQ(d.FindCandidate(1.2501f), -1);

    CValue v(&d, 1.25f, true);
    EXPECT_TRUE(v.m_bCandidateDisplay);
    EXPECT_EQ(v.GetText(), "AR_5_4");
    v.m_Value = 3;
    EXPECT_EQ(v.GetText(), "--Undefined--");
    EXPECT_FALSE(CValue(&d, 1.25f, false).m_bCandidateDisplay);

    struct Case
    {
        float from;
        int d;
        float to;
    };
    const Case cases[] = {
        {1.33f, -1, 1.6f}, {1.6f, +1, 1.33f}, {1.25f, +1, 1.78f}, {1.25f, -1, 1.33f},
        {3.0f, +1, 1.33f}, {3.0f, -1, 1.6f},  // no match: first up, last down
    };
    for (const Case& c : cases)
    {
        v.m_Value = c.from;
        v.Step(c.d);
        EXPECT_EQ(v.m_Value, c.to) << c.from << " " << c.d;
    }
    d.m_Candidates.resize(3);
    v.m_Value = 1.33f;
    v.Step(-1);
    EXPECT_EQ(v.m_Value, 1.78f);
}
