// The on-screen tuning console: the tree as numbered lines around a current
// line, the filter, the keys and the layout of what is drawn.
#include "TuningControl.h"

#include <boost/spirit/include/classic_core.hpp>

#include <algorithm>
#include <cctype>
#include <climits>
#include <cmath>

#include "Log.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace TuningControl
{
namespace
{
// The line of a path through a hidden node or a missing middle name.
const int kNoLine = INT_MIN;

enum EVirtualKey
{
    VK_KEY_BACK = 8,
    VK_KEY_TAB = 9,
    VK_KEY_RETURN = 13,
    VK_KEY_SHIFT = 16,
    VK_KEY_CONTROL = 17,
    VK_KEY_DELETE = 46,
    VK_KEY_ADD = 107,
    VK_KEY_SUBTRACT = 109,
    VK_KEY_F5 = 116,
    VK_KEY_F6 = 117,
    VK_KEY_OEM_MINUS = 189,
    VK_KEY_OEM_PERIOD = 190,
};

#ifdef _WIN32
short SystemKeyState(int virtualKey)
{
    return GetKeyState(virtualKey);
}
#else
short SystemKeyState(int)
{
    return 0;
}
#endif

bool IsHeld(int virtualKey)
{
    return g_pGetKeyState && (g_pGetKeyState(virtualKey) & 0x8000) != 0;
}

bool IsWordChar(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
}

std::string Upper(const std::string& s)
{
    std::string u(s);
    for (char& c : u)
        c = char(std::toupper(static_cast<unsigned char>(c)));
    return u;
}

// Writes the texts of one console line from left to right and its
// background boxes.
class LineWriter
{
public:
    LineWriter(CConsoleCanvas& canvas, const CDrawParameters& p, float height, int x, int y, bool highlighted)
        : m_Canvas(canvas), m_P(p), m_Height(height), m_Left(x), m_Y(y), m_X(float(x)), m_bHighlighted(highlighted)
    {
    }

    void Text(const std::string& text, const float colour[4], bool mayHighlight = true)
    {
        if (text.empty())
            return;
        float highlighted[4];
        if (mayHighlight && m_bHighlighted)
        {
            m_P.Highlight(colour, highlighted);
            colour = highlighted;
        }
        m_X += float(m_Canvas.AddText(text, m_X, float(m_Y), colour, m_P.m_TextScale));
    }

    // Two texts with a box behind them.
    void Pair(const std::string& a, const std::string& b, const float colour[4])
    {
        Text(a, colour);
        Text(b, colour);
        Box();
    }

    // A box from the line's start to the end of what is written so far.
    void Box()
    {
        if (!m_P.m_bBackground)
            return;
        m_Canvas.AddRect(int(float(m_Left) - m_P.m_MarginX), int(float(m_Y) - m_P.m_MarginY), int(m_X + m_P.m_MarginX),
                         int(float(m_Y) + m_Height + m_P.m_MarginY), m_P.m_BackgroundColour);
    }

private:
    CConsoleCanvas& m_Canvas;
    const CDrawParameters& m_P;
    float m_Height;
    int m_Left;
    int m_Y;
    float m_X;
    bool m_bHighlighted;
};

// Where the lines go: the current line at the configured position, the
// others above and below it.
struct LineLayout
{
    const CDrawParameters& p;
    float height; // line height x text scale
    int selected;

    bool Shown(int line) const { return std::abs(double(line) - double(selected)) <= double(p.m_ShownLines); }
    int X(int depth) const { return int(p.m_X + float(depth * p.m_TabShift)); }
    int Y(int line) const { return int(p.m_Y + float(line - selected) * height); }
};

std::string DetailsText(const CLeafDescriptor& d, bool details, bool highlighted)
{
    if (!details || !highlighted)
        return "(..)";
    const double step = std::pow(10.0, d.m_StepExponent);
    std::string text = "(" + (d.m_Kind == KIND_INT ? FormatString("%i", TruncateToInt(step)) : FormatString("%f", step));
    if (d.m_bHasMinimum || d.m_bHasMaximum)
    {
        text += " [" + (d.m_bHasMinimum ? FormatString("%f", d.m_Minimum) : std::string("..")) + " - " +
                (d.m_bHasMaximum ? FormatString("%f", d.m_Maximum) : std::string("..")) + "]";
    }
    return text + ")";
}

void ApplyKindToStep(CLeafDescriptor& d)
{
    if (d.m_Kind == KIND_INT)
        d.m_StepExponent = std::max(d.m_StepExponent, 0);
    else if (d.m_Kind == KIND_BOOL)
        d.m_StepExponent = 0;
}

std::vector<std::string> SplitPath(const std::string& path)
{
    std::vector<std::string> names;
    size_t start = 0;
    while (start < path.size())
    {
        size_t dot = path.find('.', start);
        if (dot == std::string::npos)
            dot = path.size();
        names.push_back(path.substr(start, dot - start));
        start = dot + 1;
    }
    return names;
}
} // namespace

KeyStateFn g_pGetKeyState = SystemKeyState;

void CDrawParameters::Highlight(const float base[4], float out[4]) const
{
    for (int i = 0; i < 3; ++i)
        out[i] = std::min(1.0f, base[i] + m_ActiveAdd[i]);
    out[3] = 1.0f;
}

// ---------------------------------------------------------------- lines

int CLeaf::GetLineCount()
{
    if (!IsVisible())
        return 0;
    return m_Descriptor.m_bVector && m_bExpanded ? 1 + int(GetValueCount()) : 1;
}

CLineInfo CLeaf::GetLine(int line, const std::string& path)
{
    CLineInfo info;
    info.m_pNode = this;
    info.m_ValueIndex = m_Descriptor.m_bVector ? line - 1 : 0;
    info.m_Path = path;
    return info;
}

int CBranch::GetLineCount()
{
    if (!IsVisible())
        return 0;
    if (!IsExpanded())
        return 1;
    int count = 1;
    for (auto& b : m_Branches)
        count += b.second->GetLineCount();
    for (auto& l : m_Leaves)
        count += l.second->GetLineCount();
    return count;
}

CLineInfo CBranch::GetLine(int line, const std::string& path)
{
    if (line == 0)
    {
        CLineInfo info;
        info.m_pNode = this;
        info.m_Path = path;
        return info;
    }
    if (IsExpanded())
    {
        int rest = line - 1;
        auto visit = [&](CNode& child, const std::string& name, CLineInfo& out) {
            const int count = child.GetLineCount();
            if (rest < count)
            {
                out = child.GetLine(rest, ChildPath(path, name));
                return true;
            }
            rest -= count;
            return false;
        };
        CLineInfo found;
        for (auto& b : m_Branches)
            if (visit(*b.second, b.first, found))
                return found;
        for (auto& l : m_Leaves)
            if (visit(*l.second, l.first, found))
                return found;
    }
    return CLineInfo();
}

int CBranch::LineOf(const std::vector<std::string>& names, size_t first, int valueIndex)
{
    if (first >= names.size())
        return 0;
    const std::string& name = names[first];
    int sum = 0;
    for (auto& b : m_Branches)
    {
        if (b.first == name)
        {
            if (!b.second->IsVisible())
                return kNoLine;
            const int inner = b.second->LineOf(names, first + 1, valueIndex);
            return inner < 0 ? kNoLine : 1 + sum + inner;
        }
        sum += b.second->GetLineCount();
    }
    if (first + 1 < names.size())
        return kNoLine;
    for (auto& l : m_Leaves)
    {
        CLeaf& leaf = *l.second;
        if (l.first == name)
        {
            if (!leaf.IsVisible())
                return kNoLine;
            // A closed vector value has only its header line to offer.
            if (!leaf.m_Descriptor.m_bVector || !leaf.m_bExpanded)
                return 1 + sum;
            const int last = int(leaf.GetValueCount()) - 1;
            return 2 + sum + std::max(-1, std::min(valueIndex, last));
        }
        sum += leaf.GetLineCount();
    }
    return 0;
}

void CBranch::SetExpandedBelow(bool expanded)
{
    for (auto& b : m_Branches)
    {
        b.second->m_bExpanded = expanded;
        b.second->SetExpandedBelow(expanded);
    }
    for (auto& l : m_Leaves)
        l.second->m_bExpanded = expanded;
}

void CBranch::ClearSelected()
{
    m_bSelected = false;
    for (auto& b : m_Branches)
        b.second->ClearSelected();
    for (auto& l : m_Leaves)
        l.second->m_bSelected = false;
}

// ---------------------------------------------------------------- drawing

void CBranch::DrawLine(CConsoleCanvas& canvas, const CDrawParameters& params, int line, int depth,
                       const std::string& name, int selectedLine, bool details)
{
    if (!IsVisible())
        return;
    LineLayout layout{params, float(canvas.GetLineHeight()) * params.m_TextScale, selectedLine};
    if (line > selectedLine && !layout.Shown(line))
        return; // everything below lies further down
    const bool open = IsExpanded();
    if (layout.Shown(line))
    {
        LineWriter w(canvas, params, layout.height, layout.X(depth), layout.Y(line), m_bSelected);
        w.Pair(open ? "- " : "+ ", name, params.m_BranchColour);
    }
    if (!open)
        return;
    int next = line + 1;
    for (auto& b : m_Branches)
    {
        b.second->DrawLine(canvas, params, next, depth + 1, b.first, selectedLine, details);
        next += b.second->GetLineCount();
    }
    for (auto& l : m_Leaves)
    {
        l.second->DrawLine(canvas, params, next, depth + 1, l.first, selectedLine, details);
        next += l.second->GetLineCount();
    }
}

void CLeaf::DrawLine(CConsoleCanvas& canvas, const CDrawParameters& params, int line, int depth,
                     const std::string& name, int selectedLine, bool details)
{
    if (!IsVisible())
        return;
    LineLayout layout{params, float(canvas.GetLineHeight()) * params.m_TextScale, selectedLine};
    const bool vector = m_Descriptor.m_bVector;
    const int x = layout.X(depth);
    if (layout.Shown(line))
    {
        const bool highlighted = m_bSelected && m_CurrentValueIndex == (vector ? -1 : 0);
        LineWriter w(canvas, params, layout.height, x, layout.Y(line), highlighted);
        if (vector)
            w.Pair(m_bExpanded ? "- " : "+ ", name, params.m_LeafColour);
        else
        {
            w.Pair("", name, params.m_LeafColour);
            w.Text(" = ", params.m_LeafColour);
            w.Text(GetValue(0).GetText(), params.m_ValueColour);
        }
        w.Text(" ", params.m_LeafColour, false);
        if (m_Descriptor.m_Kind != KIND_BOOL)
            w.Text(DetailsText(m_Descriptor, details, highlighted), params.m_DetailsColour);
        w.Box();
    }
    if (!vector || !m_bExpanded)
        return;
    for (int i = 0; i < int(GetValueCount()); ++i)
    {
        const int elementLine = line + 1 + i;
        if (!layout.Shown(elementLine))
            continue;
        LineWriter w(canvas, params, layout.height, x + params.m_TabShift, layout.Y(elementLine),
                     m_bSelected && m_CurrentValueIndex == i);
        w.Text(FormatString("[%i] = ", i), params.m_LeafColour);
        w.Text(GetValue(size_t(i)).GetText(), params.m_ValueColour);
        w.Box();
    }
}

void CManager::RenderTo(CConsoleCanvas& canvas, const CDrawParameters& params)
{
    const float height = float(canvas.GetLineHeight()) * params.m_TextScale;
    const int y = int(params.m_Y + float(-2 - params.m_ShownLines) * height);
    LineWriter header(canvas, params, height, int(params.m_X), y, false);
    header.Text(m_CurrentLine.m_Path, params.m_PathColour);
    const std::string& filter = m_pFilter->m_Text;
    if (!filter.empty())
        header.Text(" (" + filter + ")", params.m_FilterColour);
    header.Box();
    m_Root.DrawLine(canvas, params, 0, 0, " --------", m_SelectedLine, m_bDetails);
}

CDrawParameters CManager::ReadDrawParameters(float textScale)
{
    CDrawParameters p;
    struct Colour
    {
        const char* path;
        float* rgba;
    } const colours[] = {
        {"Tuning.Colors.ActiveAdd", p.m_ActiveAdd},     {"Tuning.Colors.Branches", p.m_BranchColour},
        {"Tuning.Colors.Leaves", p.m_LeafColour},       {"Tuning.Colors.Values", p.m_ValueColour},
        {"Tuning.Colors.Details", p.m_DetailsColour},   {"Tuning.Colors.BackgroundColor", p.m_BackgroundColour},
        {"Tuning.Colors.Filter", p.m_FilterColour},     {"Tuning.Colors.Path", p.m_PathColour},
    };
    for (const Colour& c : colours)
    {
        const std::string base(c.path);
        c.rgba[0] = *GetValueOr(base + ".r", c.rgba[0]);
        c.rgba[1] = *GetValueOr(base + ".g", c.rgba[1]);
        c.rgba[2] = *GetValueOr(base + ".b", c.rgba[2]);
        c.rgba[3] = 1.0f;
    }
    p.m_bBackground = *GetValueOr("Tuning.EnableBackground", 1.0f) != 0.0f;
    p.m_MarginX = *GetValueOr("Tuning.BackgroundDispl.x", p.m_MarginX);
    p.m_MarginY = *GetValueOr("Tuning.BackgroundDispl.y", p.m_MarginY);
    p.m_TabShift = int(*GetValueOr("Tuning.TabShift", float(p.m_TabShift)));
    p.m_TextScale = textScale;
    p.m_X = *GetValueOr("Tuning.Pos.x", p.m_X);
    p.m_Y = *GetValueOr("Tuning.Pos.y", p.m_Y);
    p.m_ShownLines = int(*GetValueOr("Tuning.ShowedParametersDispl", float(p.m_ShownLines)));
    return p;
}

// ---------------------------------------------------------------- filter

namespace
{
// Admits the leaves below `branch` that the words from `first` on name, and
// opens the branches that hold them.
void MatchBranch(CBranch& branch, const std::vector<std::string>& words, size_t first)
{
    if (first >= words.size())
    {
        branch.SetFilterMatch(true);
        return;
    }
    const std::string& word = words[first];
    for (auto& b : branch.m_Branches)
    {
        if (Upper(b.first).find(word) != std::string::npos)
        {
            MatchBranch(*b.second, words, first + 1);
            if (first + 1 == words.size())
                branch.m_bAutoExpanded = true;
        }
        else
            MatchBranch(*b.second, words, first);
    }
    const bool lastWord = first + 1 == words.size();
    for (auto& l : branch.m_Leaves)
    {
        const bool match = lastWord && Upper(l.first).find(word) != std::string::npos;
        if (match)
            branch.m_bAutoExpanded = true;
        l.second->SetFilterMatch(match);
    }
}
} // namespace

void CVisibleFilter::Apply()
{
    // Words between dots; the text ends at the first other character.
    m_Words.clear();
    size_t i = 0;
    while (i < m_Text.size())
    {
        if (IsWordChar(m_Text[i]))
        {
            const size_t start = i;
            while (i < m_Text.size() && IsWordChar(m_Text[i]))
                ++i;
            m_Words.push_back(m_Text.substr(start, i - start));
            if (i < m_Text.size() && m_Text[i] != '.')
                break;
        }
        else if (m_Text[i] == '.')
            ++i;
        else
            break;
    }
    const bool trailingDot = !m_Text.empty() && m_Text.back() == '.';

    m_pRoot->ClearAutoExpanded();
    MatchBranch(*m_pRoot, m_Words, 0);

    std::string text;
    for (size_t w = 0; w < m_Words.size(); ++w)
        text += (w ? "." : "") + m_Words[w];
    if (trailingDot)
        text += ".";
    m_Text = text;
}

// ---------------------------------------------------------------- selection

void CManager::MoveSelection(int delta)
{
    m_Root.ClearSelected();
    const int count = m_Root.GetLineCount();
    const long long line = (long long)m_SelectedLine + delta;
    m_SelectedLine = count <= 0 ? 0 : int(std::max(0LL, std::min(line, (long long)count - 1)));
    m_CurrentLine = m_Root.GetLine(m_SelectedLine, std::string());
    if (CNode* node = m_CurrentLine.m_pNode)
    {
        node->m_bSelected = true;
        if (node->IsLeaf())
            static_cast<CLeaf*>(node)->m_CurrentValueIndex = m_CurrentLine.m_ValueIndex;
    }
}

void CManager::SelectPath(const std::vector<std::string>& names, int valueIndex)
{
    if (!names.empty())
    {
        CBranch* branch = &m_Root;
        for (size_t i = 0; i + 1 < names.size(); ++i)
        {
            branch = branch->FindBranch(names[i]);
            if (!branch)
                break;
            branch->SetExpanded(true);
        }
        m_SelectedLine = std::max(0, m_Root.LineOf(names, 0, valueIndex));
    }
    MoveSelection(0);
}

void CManager::ReselectCurrent()
{
    const std::vector<std::string> names = SplitPath(m_CurrentLine.m_Path);
    SelectPath(names, m_CurrentLine.m_ValueIndex);
}

// ---------------------------------------------------------------- keys

CLeaf* CManager::CurrentLeaf()
{
    CNode* node = m_CurrentLine.m_pNode;
    return node && node->IsLeaf() ? static_cast<CLeaf*>(node) : nullptr;
}

CValue* CManager::CurrentValue()
{
    CLeaf* leaf = CurrentLeaf();
    const int index = m_CurrentLine.m_ValueIndex;
    if (!leaf || index < 0 || size_t(index) >= leaf->GetValueCount())
        return nullptr;
    return &leaf->GetValue(size_t(index));
}

// Every edit that notifies also clears the leaf's stale mark.
void CManager::NotifyCurrent()
{
    CLeaf* leaf = CurrentLeaf();
    if (!leaf)
        return;
    leaf->m_Descriptor.m_bStale = false;
    const std::string path = m_CurrentLine.m_Path;
    NotifyChanged(path, leaf->GetValue(0).m_Value);
}

void CManager::OnControlKey(int vk)
{
    std::string& text = m_pFilter->m_Text;
    if (vk >= 0 && vk < 128 && IsWordChar(char(vk)) && vk != '_')
        text += char(vk);
    else if (vk == VK_KEY_OEM_PERIOD)
        text += '.';
    else if (vk == VK_KEY_OEM_MINUS)
        text += '_';
    else
        return;
    m_pFilter->Apply();
    MoveSelection(0);
}

void CManager::OnShiftKey(int vk)
{
    if (vk != VK_KEY_DELETE)
        return;
    CLeaf* leaf = CurrentLeaf();
    if (leaf && leaf->m_Descriptor.m_bVector && m_CurrentLine.m_ValueIndex >= 0)
    {
        if (leaf->GetValueCount() > 1)
            leaf->RemoveValue(size_t(m_CurrentLine.m_ValueIndex));
        NotifyCurrent();
    }
    else if (m_CurrentLine.m_pNode)
        m_CurrentLine.m_pNode->MarkStale();
    MoveSelection(0);
}

void CManager::OnKey(int vk)
{
    if (IsHeld(VK_KEY_CONTROL))
    {
        OnControlKey(vk);
        return;
    }
    if (IsHeld(VK_KEY_SHIFT))
    {
        OnShiftKey(vk);
        return;
    }

    CLeaf* leaf = CurrentLeaf();
    CValue* value = CurrentValue();
    // Typing into a value counts as reading it: it shows again from now on.
    auto typed = [&](char c) {
        if (!value)
            return;
        leaf->m_Descriptor.m_bStale = false;
        value->m_TypedText += c;
    };
    switch (vk)
    {
    case 'A': MoveSelection(+1); break;
    case 'Q': MoveSelection(-1); break;
    case VK_KEY_TAB:
    {
        CNode* node = m_CurrentLine.m_pNode;
        const bool header = leaf && leaf->m_Descriptor.m_bVector && m_CurrentLine.m_ValueIndex < 0;
        if (node && (!node->IsLeaf() || header))
        {
            node->SetExpanded(!node->IsExpanded());
            MoveSelection(0);
        }
        break;
    }
    case VK_KEY_RETURN:
        if (!value)
            break;
        if (!value->m_TypedText.empty())
        {
            using namespace boost::spirit::classic;
            CValue* target = value;
            auto set = [target](double d) { target->SetValue(float(d)); };
            parse(value->m_TypedText.c_str(), real_p[set], space_p);
            value->m_TypedText.clear();
            value->m_bCandidateDisplay = false;
        }
        NotifyCurrent();
        break;
    case VK_KEY_BACK:
        if (!m_pFilter->m_Text.empty())
        {
            m_pFilter->m_Text.pop_back();
            m_pFilter->Apply();
        }
        ReselectCurrent();
        break;
    case VK_KEY_DELETE:
        m_pFilter->m_Text.clear();
        m_pFilter->Apply();
        ReselectCurrent();
        break;
    case VK_KEY_SUBTRACT:
    case VK_KEY_OEM_MINUS: typed('-'); break;
    case VK_KEY_OEM_PERIOD: typed('.'); break;
    case VK_KEY_ADD:
        if (leaf && leaf->m_Descriptor.m_bVector && leaf->m_bExpanded)
        {
            leaf->InsertValue(size_t(std::max(-1, m_CurrentLine.m_ValueIndex) + 1), 0.0f);
            NotifyCurrent();
            MoveSelection(+1);
        }
        break;
    case 'W':
    case 'S':
        if (value)
        {
            value->Step(vk == 'W' ? +1 : -1);
            NotifyCurrent();
        }
        break;
    case 'E':
    case 'D':
        if (leaf)
        {
            leaf->m_Descriptor.m_StepExponent += vk == 'E' ? 1 : -1;
            ApplyKindToStep(leaf->m_Descriptor);
        }
        break;
    case 'N':
        if (value)
        {
            value->m_bCandidateDisplay = !value->m_bCandidateDisplay && !leaf->m_Descriptor.m_Candidates.empty();
            NotifyCurrent();
        }
        break;
    case 'I': m_bDetails = !m_bDetails; break;
    case 'X':
    case 'Z':
    {
        float* flag = GetValue(vk == 'X' ? "Tuning.EnableDraw" : "Tuning.EnableBackground");
        *flag = *flag == 0.0f ? 1.0f : 0.0f;
        break;
    }
    case VK_KEY_F5:
    case VK_KEY_F6:
        m_Root.SetExpandedBelow(vk == VK_KEY_F5);
        m_SelectedLine = 0;
        MoveSelection(0);
        break;
    default:
        if (vk >= '0' && vk <= '9')
            typed(char(vk));
        break;
    }
}
} // namespace TuningControl
