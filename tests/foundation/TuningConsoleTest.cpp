// The tuning console: lines, selection, filter, keys and the drawn layout.
#include "TuningControl.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

using namespace TuningControl;

namespace
{
// Virtual-key codes the console reads.
enum
{
    kBack = 8, kTab = 9, kEnter = 13, kShift = 16, kControl = 17, kDelete = 46, kNumpad1 = 97,
    kNumpadPlus = 107, kNumpadMinus = 109, kF5 = 116, kF6 = 117, kOemMinus = 189, kOemPeriod = 190,
};

std::set<int> g_Held;
short FakeKeyState(int vk)
{
    return g_Held.count(vk) ? short(0x8000) : short(0);
}

struct Notification
{
    std::string path;
    float value;
};

class RecordingHandler : public CChangeHandler
{
public:
    void OnChanged(const std::string& path, const float& value) override { m_Calls.push_back({path, value}); }
    std::vector<Notification> m_Calls;
};

// Every text 10 pixels a character, lines 10 pixels high.
class RecordingCanvas : public CConsoleCanvas
{
public:
    struct Text
    {
        std::string text;
        float x, y;
        float colour[4];
    };
    struct Rect
    {
        int left, top, right, bottom;
    };
    int GetLineHeight() override { return 10; }
    int AddText(const std::string& text, float x, float y, const float colour[4], float) override
    {
        m_Texts.push_back({text, x, y, {colour[0], colour[1], colour[2], colour[3]}});
        return 10 * int(text.size());
    }
    void AddRect(int l, int t, int r, int b, const float*) override { m_Rects.push_back({l, t, r, b}); }

    // The texts drawn at height y, joined.
    std::string LineAt(float y) const
    {
        std::string line;
        for (const Text& t : m_Texts)
            if (t.y == y)
                line += t.text;
        return line;
    }
    const Text* Find(const std::string& text) const
    {
        for (const Text& t : m_Texts)
            if (t.text == text)
                return &t;
        return nullptr;
    }

    std::vector<Text> m_Texts;
    std::vector<Rect> m_Rects;
};

std::string ContentFile(const char* name)
{
    return std::string(TARNHOLM_CONTENT_SOURCE) + "/" + name;
}

// Every console line: "-" or "+" for an open or closed branch or vector
// value, the path ("<root>" for the root), "[i]" for a vector element; "*"
// marks the current line.
std::vector<std::string> Listing(CManager& m)
{
    std::vector<std::string> lines;
    const int count = m.GetRoot().GetLineCount();
    for (int i = 0; i < count; ++i)
    {
        const CLineInfo info = m.GetRoot().GetLine(i, "");
        std::string s = info.m_Path.empty() ? "<root>" : info.m_Path;
        CNode* node = info.m_pNode;
        const bool vector = node->IsLeaf() && static_cast<CLeaf*>(node)->m_Descriptor.m_bVector;
        if (!node->IsLeaf() || (vector && info.m_ValueIndex < 0))
            s = (node->IsExpanded() ? "-" : "+") + s + (vector ? "[]" : "");
        if (vector && info.m_ValueIndex >= 0)
            s += "[" + std::to_string(info.m_ValueIndex) + "]";
        if (i == m.GetSelectedLine())
            s += "*";
        lines.push_back(s);
    }
    return lines;
}

std::string ReadText(const std::string& name)
{
    std::ifstream in(name, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

struct Console : ::testing::Test
{
    CManager m;
    RecordingHandler handler;

    KeyStateFn m_SavedKeyState = g_pGetKeyState;

    void SetUp() override
    {
        g_Held.clear();
        g_pGetKeyState = FakeKeyState;
        m.SetChangeHandler(&handler);
    }
    void TearDown() override { g_pGetKeyState = m_SavedKeyState; }

    void Load(const std::string& text) { m.LoadFromText(text.data(), text.size()); }
    void LoadContent() { ASSERT_TRUE(m.LoadFromFile(ContentFile("values.txt"), 2)); }

    void Keys(std::initializer_list<int> keys, std::initializer_list<int> held = {})
    {
        g_Held = held;
        for (int k : keys)
            m.OnKey(k);
        g_Held.clear();
    }
    void Type(const std::string& filter)
    {
        g_Held = {kControl};
        for (char c : filter)
            m.OnKey(c == '.' ? kOemPeriod : c == '_' ? kOemMinus : c);
        g_Held.clear();
    }

    std::vector<std::string> Listing() { return ::Listing(m); }

    CLeaf* Leaf(const char* path)
    {
        m.GetAccess().ParsePath(path);
        return FindLeaf(&m.GetRoot(), m.GetAccess().m_Names);
    }
    std::string Current() const { return m.GetCurrentLine().m_Path; }
};

typedef std::vector<std::string> Lines;

const char kSmallTree[] = "A.x 1.000000\n"
                          "A.B.y 2.000000\n"
                          "#A.hidden 3.000000\n"
                          "V[] 1.000000; 2.000000\n"
                          "W[] 5.000000\n"
                          "c 0.000000 (bool)\n"
                          "%A\n"
                          "%V[]\n";
} // namespace

TEST_F(Console, LinesFollowTheOpenBranchesAndVectorsAndSkipHiddenLeaves)
{
    Load(kSmallTree);
    EXPECT_EQ(Listing(), (Lines{"-<root>*", "-A", "+A.B", "A.x", "-V[]", "V[0]", "V[1]", "+W[]", "c"}));
    EXPECT_EQ(m.GetRoot().GetLine(9, "").m_pNode, nullptr) << "past the end";

    // A branch whose leaves are all hidden takes no line.
    Leaf("A.B.y")->MarkStale();
    EXPECT_EQ(Listing(), (Lines{"-<root>*", "-A", "A.x", "-V[]", "V[0]", "V[1]", "+W[]", "c"}));
}

TEST_F(Console, MovesStopAtBothEnds)
{
    Load(kSmallTree);
    Keys({'Q'});
    EXPECT_EQ(m.GetSelectedLine(), 0);
    Keys({'A', 'A', 'A'});
    EXPECT_EQ(Current(), "A.x");
    Keys({'A', 'A'});
    EXPECT_EQ(Current(), "V");
    EXPECT_EQ(m.GetCurrentLine().m_ValueIndex, 0);
    EXPECT_EQ(Leaf("V")->m_CurrentValueIndex, 0);
    Keys({'A', 'A', 'A', 'A', 'A'});
    EXPECT_EQ(m.GetSelectedLine(), 8);
    EXPECT_EQ(Current(), "c");
    EXPECT_TRUE(Leaf("c")->m_bSelected);
    EXPECT_FALSE(Leaf("V")->m_bSelected);
}

TEST_F(Console, SelectedLineOfTheFile)
{
    struct Case
    {
        const char* selected; // the file's "(...)" line
        const char* current;
        int index;
        bool opensB; // the closed branch A.B is opened on the way
    };
    const Case cases[] = {
        {"(A.B.y)", "A.B.y", 0, true},
        {"(A.B.Nothing)", "A.B", 0, true},  // missing last name: the deepest branch
        {"(A.Nothing.y)", "", 0, false},    // missing middle name: the root
        {"(A.hidden)", "", 0, false},       // hidden leaf: the root
        {"(A.S)", "A.S", 0, false},         // branch and leaf share the name: the branch
        {"(V)", "V", 0, false},             // an open vector: its first element
        {"(W)", "W", -1, false},            // a closed vector: its header
    };
    for (const Case& c : cases)
    {
        CManager fresh;
        const std::string text = std::string(kSmallTree) + "A.S.z 1.000000\nA.S 2.000000\n" + c.selected + "\n";
        fresh.LoadFromText(text.data(), text.size());
        EXPECT_EQ(fresh.GetCurrentLine().m_Path, c.current) << c.selected;
        EXPECT_EQ(fresh.GetCurrentLine().m_ValueIndex, c.index) << c.selected;
        EXPECT_TRUE(fresh.GetCurrentLine().m_pNode->m_bSelected) << c.selected;
        fresh.GetAccess().ParsePath("A.B");
        EXPECT_EQ(FindBranch(&fresh.GetRoot(), fresh.GetAccess().m_Names)->m_bExpanded, c.opensB) << c.selected;
    }
}

TEST(TuningConsole, BuiltInSelectionOpensTheBranchesFound)
{
    const std::string base = ReadText(ContentFile("values.txt"));
    ASSERT_FALSE(base.empty());
    const std::pair<const char*, Lines> cases[] = {
        {"(Tuning.Colors.Nothing)", {"-<root>", "-Tuning", "-Tuning.Colors*", "+Tuning.Colors.ActiveAdd"}},
        {"(Tuning.Nothing.r)", {"-<root>*", "-Tuning", "+Tuning.Colors", "+Tuning.BackgroundDispl"}},
    };
    for (const auto& c : cases)
    {
        CManager m;
        const std::string text = base + c.first + "\n";
        m.LoadFromText(text.data(), text.size());
        const Lines lines = Listing(m);
        ASSERT_GE(lines.size(), 4u);
        EXPECT_EQ(Lines(lines.begin(), lines.begin() + 4), c.second) << c.first;
    }
}

TEST_F(Console, FilterOpensAndAdmitsByUpperCaseWords)
{
    LoadContent();
    Type("COL");
    EXPECT_EQ(m.GetFilter().m_Text, "COL");
    EXPECT_EQ(Listing(), (Lines{"-<root>*", "-Tuning", "+Tuning.Colors", "LogoColorR", "LogoColorG", "LogoColorB"}));
    CLeaf* pathR = Leaf("Tuning.Colors.Path.r");
    EXPECT_TRUE(pathR->m_FilterMatch);
    EXPECT_FALSE(Leaf("Tuning.Pos.x")->m_FilterMatch);

    Keys({kDelete});
    Type("COLORS.R");
    const Lines expected = {"-<root>*",
                            "-Tuning",
                            "-Tuning.Colors",
                            "-Tuning.Colors.ActiveAdd",
                            "Tuning.Colors.ActiveAdd.r",
                            "+Tuning.Colors.Branches",
                            "-Tuning.Colors.Leaves",
                            "Tuning.Colors.Leaves.r",
                            "-Tuning.Colors.Values",
                            "Tuning.Colors.Values.r",
                            "-Tuning.Colors.Details",
                            "Tuning.Colors.Details.r",
                            "+Tuning.Colors.BackgroundColor",
                            "+Tuning.Colors.Filter",
                            "-Tuning.Colors.Path",
                            "Tuning.Colors.Path.r"};
    EXPECT_EQ(Listing(), expected);
    EXPECT_TRUE(Leaf("Tuning.Colors.Filter.g")->m_FilterMatch);
    EXPECT_FALSE(Leaf("Tuning.Colors.Path.g")->m_FilterMatch);

    // Delete clears the filter; every leaf shows again.
    Keys({kDelete});
    EXPECT_EQ(m.GetFilter().m_Text, "");
    EXPECT_TRUE(Leaf("Tuning.Pos.x")->m_FilterMatch);
    EXPECT_EQ(Listing(), (Lines{"-<root>*", "+Tuning", "+Debug", "+Grass", "+Leaves", "EnableControl", "LogoColorR", "LogoColorG", "LogoColorB",
                                "NamesTextShadowShiftX", "NamesTextShadowShiftY", "MipMapNumber"}));
}

TEST_F(Console, FilterTextForms)
{
    LoadContent();
    const std::pair<const char*, const char*> cases[] = {
        {"COL..R.", "COL.R."}, {"...", "."}, {"_POS", "_POS"}, {"", ""},
    };
    for (const auto& c : cases)
    {
        Keys({kDelete});
        Type(c.first); // "." and "_" through the OEM period and minus keys
        EXPECT_EQ(m.GetFilter().m_Text, c.second) << c.first;
        m.GetFilter().m_Text = c.first;
        m.GetFilter().Apply();
        EXPECT_EQ(m.GetFilter().m_Text, c.second) << c.first << " at once";
    }

    // Control with numpad 1 to 3 types "abc", which no upper-cased name holds;
    // Control with other keys types nothing.
    Keys({kDelete});
    Keys({kNumpad1, kNumpad1 + 1, kNumpad1 + 2, kTab, kEnter, kShift}, {kControl});
    EXPECT_EQ(m.GetFilter().m_Text, "abc");
    EXPECT_EQ(Listing(), (Lines{"-<root>*"}));
}

TEST_F(Console, BackspaceReselectsTheCurrentPath)
{
    Load(std::string(kSmallTree) + "(A.B.y)\n");
    const int line = m.GetSelectedLine();
    Keys({kBack});
    EXPECT_EQ(Current(), "A.B.y");
    EXPECT_EQ(m.GetSelectedLine(), line);

    Type("X");
    EXPECT_EQ(Current(), "A.x") << "the line number stays, and now holds A.x";
    Keys({kBack});
    EXPECT_EQ(m.GetFilter().m_Text, "");
    EXPECT_EQ(Current(), "A.x") << "the current path is found again in the full list";
}

TEST_F(Console, ValueKeys)
{
    struct Case
    {
        const char* line;
        std::vector<int> keys;
        float value;
        const char* text;
        size_t notifications;
    };
    const Case cases[] = {
        {"P.v 0.500000 0.010000 <0.000000, 0.505000>", {'W'}, 0.505f, "0.505000", 1},
        {"P.v 0.500000 0.010000", {'W', 'W', 'S'}, 0.51f, "0.510000", 3},
        {"P.v 0.000000 (bool)", {'S'}, 1, "true", 1},
        {"P.v 1.000000 {a = 1.000000} {b = 2.000000} {c = 3.000000} {d = 4.000000}", {'S'}, 4, "d", 1},
        {"P.v 1.000000 {a = 1.000000} {b = 2.000000} {c = 3.000000}", {'S'}, 3, "c", 1},
        {"P.v 1.000000 {a = 1.000000} {b = 2.000000}", {'N', 'W'}, 2, "2.000000", 2},
        {"P.v 1.000000", {'N'}, 1, "1.000000", 1},
        {"P.v 3.000000 <, 10.000000>", {'1', '2', kOemPeriod, '5'}, 3, "12.5", 0},
        {"P.v 3.000000 <, 20.000000>", {'1', '2', kOemPeriod, '5', kEnter}, 12.5f, "12.500000", 1},
        {"P.v 3.000000 <, 10.000000>", {'1', '2', kOemPeriod, '5', kEnter}, 10, "10.000000", 1},
        {"P.v 3.000000", {kNumpadMinus, '2', kOemMinus, '7', kEnter}, -2, "-2.000000", 1},
        {"P.v 3.000000", {kOemPeriod, kEnter}, 3, "3.000000", 1},
        {"P.v 3.000000 {a = 3.000000}", {kEnter}, 3, "a", 1},
        {"P.v 3.000000 {a = 3.000000}", {'4', kEnter}, 4, "4.000000", 1},
        {"P.v 7.000000 (int)", {'E', 'W', 'D', 'D', 'W'}, 18, "18", 2},
        {"P.v 1.000000 (bool)", {'E', 'W'}, 1, "true", 1},
        // Steps past the int range show the largest int.
        {"P.v 0.000000 (int)", {'E', 'E', 'E', 'E', 'E', 'E', 'E', 'E', 'E', 'E', 'E', 'E', 'W'}, 1e12f, "2147483647", 1},
    };
    for (const Case& c : cases)
    {
        CManager fresh;
        RecordingHandler calls;
        fresh.SetChangeHandler(&calls);
        const std::string text = std::string(c.line) + "\n%P\n(P.v)\n";
        fresh.LoadFromText(text.data(), text.size());
        ASSERT_EQ(fresh.GetCurrentLine().m_Path, "P.v");
        for (int k : c.keys)
            fresh.OnKey(k);
        fresh.GetAccess().ParsePath("P.v");
        CLeaf* leaf = FindLeaf(&fresh.GetRoot(), fresh.GetAccess().m_Names);
        EXPECT_FLOAT_EQ(leaf->GetValue(0).m_Value, c.value) << c.line;
        EXPECT_EQ(leaf->GetValue(0).GetText(), c.text) << c.line;
        ASSERT_EQ(calls.m_Calls.size(), c.notifications) << c.line;
        if (!calls.m_Calls.empty())
        {
            EXPECT_EQ(calls.m_Calls.back().path, "P.v");
            EXPECT_EQ(calls.m_Calls.back().value, c.value);
        }
    }
}

TEST_F(Console, EditsCallTheRegisteredCallbacksAndClearTheStaleMark)
{
    Load("P.v 1.000000\nP.w 5.000000\n%P\n(P.v)\n");
    std::vector<float> seenV, seenW;
    m.RegisterCallback("P.v", [&](float v) { seenV.push_back(v); });
    m.RegisterCallback("P.w", [&](float v) { seenW.push_back(v); });
    Leaf("P.v")->MarkStale(); // hidden while it is the current line
    Keys({'W'});
    EXPECT_FALSE(Leaf("P.v")->IsStale());
    EXPECT_EQ(seenV, (std::vector<float>{1, 2}));
    EXPECT_EQ(seenW, (std::vector<float>{5}));
    ASSERT_EQ(handler.m_Calls.size(), 1u);
    EXPECT_EQ(handler.m_Calls[0].path, "P.v");
    EXPECT_EQ(handler.m_Calls[0].value, 2);
}

TEST_F(Console, VectorEdits)
{
    Load("V[] 1.000000; 2.000000\n%V[]\n(V)\n");
    EXPECT_EQ(Listing(), (Lines{"-<root>", "-V[]", "V[0]*", "V[1]"}));
    Keys({'Q', kNumpadPlus});
    EXPECT_EQ(Listing(), (Lines{"-<root>", "-V[]", "V[0]*", "V[1]", "V[2]"}));
    EXPECT_EQ(Leaf("V")->GetValue(0).m_Value, 0);
    EXPECT_EQ(Leaf("V")->GetValue(1).m_Value, 1);
    Keys({'A', kNumpadPlus, '7', kEnter});
    EXPECT_EQ(Leaf("V")->GetValue(2).m_Value, 7) << "inserted after the current element, then edited";
    ASSERT_EQ(handler.m_Calls.size(), 3u);
    EXPECT_EQ(handler.m_Calls.back().value, 0) << "the first value is reported";

    // Shift+Delete removes elements but never the last one.
    Keys({kDelete, kDelete, kDelete, kDelete, kDelete}, {kShift});
    EXPECT_EQ(Leaf("V")->GetValueCount(), 1u);
    EXPECT_EQ(Listing(), (Lines{"-<root>", "-V[]", "V[0]*"}));

    // Tab on the header closes it; numpad plus on a closed vector does nothing.
    Keys({'Q', kTab, kNumpadPlus});
    EXPECT_EQ(Listing(), (Lines{"-<root>", "+V[]*"}));
    EXPECT_EQ(Leaf("V")->GetValueCount(), 1u);
}

TEST_F(Console, ShiftDeleteHidesUntilReadAgain)
{
    Load("P.v 1.000000\nP.w 2.000000\n%P\n(P.v)\n");
    Keys({kDelete}, {kShift});
    EXPECT_EQ(Listing(), (Lines{"-<root>", "-P", "P.w*"}));
    const std::string name = ::testing::TempDir() + "tarnholm_console_hidden.txt";
    ASSERT_TRUE(m.SaveToFile(name));
    std::ifstream in(name);
    std::string first;
    std::getline(in, first);
    EXPECT_EQ(first.substr(0, first.find('\r')), "#P.v 1.000000");
    remove(name.c_str());

    m.GetValue("P.v");
    m.MoveSelection(0);
    EXPECT_EQ(Listing(), (Lines{"-<root>", "-P", "P.v*", "P.w"}));

    // On a branch it hides everything under it.
    Keys({'Q'});
    Keys({kDelete}, {kShift});
    EXPECT_EQ(Listing(), (Lines{"-<root>*"}));
}

TEST_F(Console, OpeningAndClosing)
{
    LoadContent();
    Type("PATH");
    // Tab on the root closes everything down to the root line.
    Keys({kTab});
    EXPECT_EQ(Listing(), (Lines{"+<root>*"}));
    Keys({kTab});
    EXPECT_EQ(Listing().size(), 2u) << "root and Tuning, the filter's opening was cleared";

    Keys({kDelete});
    Type("PATH");
    Keys({kF6});
    EXPECT_EQ(Listing(), (Lines{"-<root>*", "-Tuning", "-Tuning.Colors", "+Tuning.Colors.Path"}))
        << "opened by the filter, F6 leaves them open";
    Keys({kDelete, kF6});
    EXPECT_EQ(Listing(), (Lines{"-<root>*", "+Tuning", "+Debug", "+Grass", "+Leaves", "EnableControl", "LogoColorR", "LogoColorG", "LogoColorB",
                                "NamesTextShadowShiftX", "NamesTextShadowShiftY", "MipMapNumber"}));
    Keys({kF5});
    // Root, Tuning, Colors, eight colours of three, two pairs, four switches
    // and EnableControl; Debug.Console with its three values and six
    // values at the root. Grass: eight waves of four, five switches and the
    // generation with its switch and two sets of nine surfaces of eight;
    // Leaves: two groups of eight waves of four, the frequency and the wind
    // with its three values.
    const size_t grass = 1 + 8 * 5 + 5 + (1 + 1 + 2 * (1 + 9 * 9));
    const size_t leaves = 1 + 2 * (1 + 8 * 5 + 1 + 4);
    EXPECT_EQ(Listing().size(), 3u + 8 * 4 + 3 + 3 + 4 + 1 + 2 + 3 + 6 + grass + leaves);
}

TEST_F(Console, DisplaySwitchesAndDetailsFlag)
{
    LoadContent();
    Keys({'X', 'Z', 'Z', 'I'});
    EXPECT_EQ(*m.GetValue("Tuning.EnableDraw"), 0);
    EXPECT_EQ(*m.GetValue("Tuning.EnableBackground"), 1);
    EXPECT_FALSE(m.GetDetails());
    EXPECT_TRUE(handler.m_Calls.empty());
}

namespace
{
// The console's background and placement as ReadDrawParameters gives them.
struct Placement
{
    bool background;
    float marginX, marginY;
    int tabShift;
    float x, y;
    int shownLines;
    float textScale;
};

void ExpectPlacement(const CDrawParameters& p, const Placement& expected)
{
    EXPECT_EQ(p.m_bBackground, expected.background);
    EXPECT_EQ(p.m_MarginX, expected.marginX);
    EXPECT_EQ(p.m_MarginY, expected.marginY);
    EXPECT_EQ(p.m_TabShift, expected.tabShift);
    EXPECT_EQ(p.m_X, expected.x);
    EXPECT_EQ(p.m_Y, expected.y);
    EXPECT_EQ(p.m_ShownLines, expected.shownLines);
    EXPECT_EQ(p.m_TextScale, expected.textScale);
}
} // namespace

TEST_F(Console, BuiltInValuesHoldTheConsoleLayout)
{
    LoadContent();
    EXPECT_EQ(*m.GetValue("EnableControl"), 0) << "the console is off unless values.txt turns it on";
    const char* const paths[] = {"Tuning.EnableBackground", "Tuning.BackgroundDispl.x", "Tuning.BackgroundDispl.y",
                                 "Tuning.TabShift", "Tuning.Pos.x", "Tuning.Pos.y", "Tuning.ShowedParametersDispl",
                                 "Tuning.EnableDraw"};
    for (const char* p : paths)
        EXPECT_TRUE(m.Exists(p)) << p;
    for (const char* c : {"ActiveAdd", "Branches", "Leaves", "Values", "Details", "BackgroundColor", "Filter", "Path"})
        for (const char* ch : {".r", ".g", ".b"})
            EXPECT_TRUE(m.Exists(std::string("Tuning.Colors.") + c + ch)) << c << ch;

    const CDrawParameters p = m.ReadDrawParameters(0.5f);
    const CDrawParameters defaults;
    EXPECT_EQ(std::vector<float>(p.m_ActiveAdd, p.m_ActiveAdd + 4), std::vector<float>({0.79f, 0.65f, 0.65f, 1}));
    EXPECT_EQ(std::vector<float>(p.m_PathColour, p.m_PathColour + 4),
              std::vector<float>(defaults.m_PathColour, defaults.m_PathColour + 4));
    EXPECT_EQ(std::vector<float>(p.m_LeafColour, p.m_LeafColour + 4),
              std::vector<float>(defaults.m_LeafColour, defaults.m_LeafColour + 4));
    ExpectPlacement(p, {true, 3, 5, 15, 10, 240, 7, 0.5f});
}

TEST(ConsoleParameters, ReadDrawParametersTakesEveryValueFromTheTree)
{
    // Every value differs from the defaults, so a value not read shows.
    std::string text;
    const char* const colours[] = {"ActiveAdd", "Branches", "Leaves",          "Values",
                                   "Details",   "Filter",   "BackgroundColor", "Path"};
    for (size_t i = 0; i < 8; ++i)
        for (int ch = 0; ch < 3; ++ch)
            text += "Tuning.Colors." + std::string(colours[i]) + "." + "rgb"[ch] + " " +
                    std::to_string(0.03125 * (i * 3 + ch + 1)) + "\n";
    text += "Tuning.EnableBackground 0\nTuning.BackgroundDispl.x 7\nTuning.BackgroundDispl.y 9\n"
            "Tuning.TabShift 21\nTuning.Pos.x 33\nTuning.Pos.y 101\nTuning.ShowedParametersDispl 4\n";
    CManager manager;
    ASSERT_TRUE(manager.LoadFromText(text.data(), text.size()));

    const CDrawParameters p = manager.ReadDrawParameters(0.75f);
    const float* const read[] = {p.m_ActiveAdd,     p.m_BranchColour, p.m_LeafColour,       p.m_ValueColour,
                                 p.m_DetailsColour, p.m_FilterColour, p.m_BackgroundColour, p.m_PathColour};
    for (size_t i = 0; i < 8; ++i)
        for (int ch = 0; ch < 4; ++ch)
            EXPECT_EQ(read[i][ch], ch == 3 ? 1.0f : float(0.03125 * (i * 3 + ch + 1))) << colours[i] << ch;
    ExpectPlacement(p, {false, 7, 9, 21, 33, 101, 4, 0.75f});
}

TEST_F(Console, LayoutOfTheDrawnLines)
{
    Load("T.r 0.790000 0.010000 <0.000000, 1.000000> (-3)\n"
         "T.n 4.000000 (int)\n"
         "T.b 1.000000 (bool)\n"
         "T.V[] 1.500000; 2.500000\n"
         "%T\n%T.V[]\n(T.r)\n");
    CDrawParameters p;
    p.m_X = 100;
    p.m_Y = 200;
    p.m_TabShift = 20;
    p.m_ShownLines = 2;
    p.m_TextScale = 2; // line height 20
    RecordingCanvas canvas;
    m.RenderTo(canvas, p);

    // The current line (2) at y = 200, the others 20 apart; lines 0 to 4 shown.
    EXPECT_EQ(canvas.LineAt(120), "T.r") << "header at (-2 - 2) lines";
    EXPECT_EQ(canvas.LineAt(160), "-  --------");
    EXPECT_EQ(canvas.LineAt(180), "- T");
    EXPECT_EQ(canvas.LineAt(200), "r = 0.790000 (0.010000 [0.000000 - 1.000000])");
    EXPECT_EQ(canvas.LineAt(220), "n = 4 (..)");
    EXPECT_EQ(canvas.LineAt(240), "b = true ");
    EXPECT_EQ(canvas.LineAt(260), "") << "beyond the shown lines";

    const RecordingCanvas::Text* name = canvas.Find("r");
    ASSERT_TRUE(name);
    EXPECT_EQ(name->x, 140) << "depth 2";
    const float highlightedLeaf[4] = {std::min(1.0f, 0.16f + 0.79f), std::min(1.0f, 0.60f + 0.65f), 0.05f + 0.65f, 1};
    for (int i = 0; i < 4; ++i)
        EXPECT_FLOAT_EQ(name->colour[i], highlightedLeaf[i]) << i;
    // The blank before the details is never highlighted.
    const RecordingCanvas::Text* blank = nullptr;
    for (const auto& t : canvas.m_Texts)
        if (t.y == 200 && t.text == " ")
            blank = &t;
    ASSERT_TRUE(blank);
    EXPECT_FLOAT_EQ(blank->colour[1], 0.60f);
    const RecordingCanvas::Text* other = canvas.Find("n");
    ASSERT_TRUE(other);
    EXPECT_FLOAT_EQ(other->colour[0], 0.16f);

    // Boxes: the header, then for each line the marker and name and, on a
    // value line, the whole line; margins 3 and 5, line height 20.
    ASSERT_FALSE(canvas.m_Rects.empty());
    const RecordingCanvas::Rect header = canvas.m_Rects[0];
    EXPECT_EQ(header.left, 97);
    EXPECT_EQ(header.top, 115);
    EXPECT_EQ(header.right, 100 + 30 + 3);
    EXPECT_EQ(header.bottom, 120 + 20 + 5);
    bool wholeLine = false, nameOnly = false;
    for (const auto& r : canvas.m_Rects)
    {
        nameOnly |= r.left == 137 && r.top == 195 && r.right == 140 + 10 + 3 && r.bottom == 225;
        wholeLine |= r.left == 137 && r.top == 195 && r.right == 140 + 10 * 45 + 3;
    }
    EXPECT_TRUE(nameOnly);
    EXPECT_TRUE(wholeLine);
    EXPECT_EQ(canvas.m_Rects.size(), 1u + 2 + 3 * 2) << "header, two branch lines, three value lines";

    // Without background, details or the highlight; vector elements indented.
    p.m_bBackground = false;
    p.m_ShownLines = 7;
    Keys({'I', 'A', 'A', 'A'});
    Type("V"); // leaves root, T and V; the current line falls back to the last
    RecordingCanvas second;
    m.RenderTo(second, p);
    EXPECT_TRUE(second.m_Rects.empty());
    EXPECT_EQ(second.LineAt(20), "T.V (V)") << "the path and the filter";
    EXPECT_EQ(second.LineAt(200), "[1] = 2.500000");
    EXPECT_EQ(second.LineAt(180), "[0] = 1.500000");
    EXPECT_EQ(second.LineAt(160), "- V (..)");
    ASSERT_TRUE(second.Find("[1] = "));
    EXPECT_EQ(second.Find("[1] = ")->x, 100 + 2 * 20 + 20);
}

TEST(TuningConsole, CurrentLineText)
{
    struct Case
    {
        const char* line;
        bool details;
        const char* text;
    };
    const Case cases[] = {
        {"v 0.790000 0.010000 <0.000000, 1.000000> (-3)", true, "v = 0.790000 (0.010000 [0.000000 - 1.000000])"},
        {"v 0.790000 0.010000 <0.000000, 1.000000> (-3)", false, "v = 0.790000 (..)"},
        {"v 10.000000 10.000000 <0.000000, > (int)", true, "v = 10 (10 [0.000000 - ..])"},
        {"v 2.000000 <, 3.000000>", true, "v = 2.000000 (1.000000 [.. - 3.000000])"},
        {"v 1.000000 (bool)", true, "v = true "},
        {"v 1.330000 {AR_4_3 = 1.330000}", true, "v = AR_4_3 (1.000000)"},
        {"v[] 1.000000 (int)", true, "+ v (1)"},
    };
    for (const Case& c : cases)
    {
        CManager m;
        const std::string text = std::string(c.line) + "\n(v)\n";
        m.LoadFromText(text.data(), text.size());
        if (!c.details)
            m.OnKey('I');
        CDrawParameters p;
        RecordingCanvas canvas;
        m.RenderTo(canvas, p);
        EXPECT_EQ(canvas.LineAt(p.m_Y), c.text) << c.line;
    }
}
