#pragma once
// The tuning values: one tree of named numbers addressed by dotted paths
// ("Train.Wagons.Locomotive.Mov_Speed"), filled from the tuning file and read
// by components through kept pointers and change callbacks.
//
// Every leaf and every value lives in its own allocation and is never freed
// before the tree, so a pointer from GetValue stays valid for the life of the
// manager, whatever is inserted into the tree or into a leaf's value list.
#include <boost/function.hpp>

#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

class TextBatch;

namespace TuningControl
{
class CBranch;
class CLeaf;
class CNode;

enum EKind
{
    KIND_FLOAT = 0,
    KIND_INT = 1,
    KIND_BOOL = 2,
};

struct CLeafDescriptor
{
    int m_StepExponent = 0;
    int m_PrecisionExponent = -5;
    float m_Maximum = 0.0f;
    bool m_bHasMaximum = false;
    float m_Minimum = 0.0f;
    bool m_bHasMinimum = false;
    std::vector<std::pair<std::string, float>> m_Candidates;
    int m_Kind = KIND_FLOAT;
    bool m_bVector = false;
    bool m_bStale = false;

    // The first candidate within half of 10^precision of v, or -1.
    int FindCandidate(float v) const;
};

// One console line: its node, which value of a leaf it shows (-1 for a
// vector value's header line, 0 for a plain value or a branch) and the
// node's dotted path ("" for the root).
struct CLineInfo
{
    CNode* m_pNode = nullptr;
    int m_ValueIndex = 0;
    std::string m_Path;
};

// How the console draws itself; each colour is red, green, blue, alpha.
struct CDrawParameters
{
    float m_ActiveAdd[4] = {0.79f, 0.65f, 0.65f, 1.0f};
    float m_BranchColour[4] = {0.64f, 0.40f, 0.00f, 1.0f};
    float m_LeafColour[4] = {0.16f, 0.60f, 0.05f, 1.0f};
    float m_ValueColour[4] = {0.40f, 0.22f, 0.50f, 1.0f};
    float m_DetailsColour[4] = {0.18f, 0.22f, 0.51f, 1.0f};
    float m_BackgroundColour[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    float m_FilterColour[4] = {0.8f, 0.7f, 0.5f, 1.0f};
    float m_PathColour[4] = {0.7f, 0.2f, 0.0f, 1.0f};
    bool m_bBackground = true;
    float m_MarginX = 3.0f;
    float m_MarginY = 5.0f;
    int m_TabShift = 15;
    float m_TextScale = 1.0f;
    float m_X = 10.0f;
    float m_Y = 240.0f;
    int m_ShownLines = 7;

    // For a base colour: the colour plus the highlight addition, at most 1,
    // opaque.
    void Highlight(const float base[4], float out[4]) const;
};

// Where the console's texts and background boxes go: the application's text
// batch and flat rectangles on Windows, a recorder in tests.
class CConsoleCanvas
{
public:
    virtual ~CConsoleCanvas() = default;
    virtual int GetLineHeight() = 0;
    // Queues a text at (x, y); returns its width in pixels.
    virtual int AddText(const std::string& text, float x, float y, const float colour[4], float scale) = 0;
    virtual void AddRect(int left, int top, int right, int bottom, const float colour[4]) = 0;
};

// Reads the key state as GetKeyState does (high bit set while held).
typedef short (*KeyStateFn)(int virtualKey);
extern KeyStateFn g_pGetKeyState;

class CValue
{
public:
    CValue(const CLeafDescriptor* pDescriptor, float value, bool candidatesAllowed);

    // value = x, then the range and the bool rule.
    void SetValue(float x);
    // The range, then the bool rule.
    void ApplyRules();
    // One console step of d (+1 or -1): by 10^step, or through the candidates
    // when candidate display is on.
    void Step(int d);
    // Moves to the candidate d places from the matching one, wrapping at both
    // ends. A value that matches no candidate goes to the first candidate when
    // stepping up and to the last when stepping down.
    void StepCandidate(int d);
    // The console's text for the value.
    std::string GetText() const;

    float m_Value;
    const CLeafDescriptor* m_pDescriptor;
    bool m_bCandidateDisplay;
    bool m_bCandidatesAllowed;
    std::string m_TypedText;
};

class CNode
{
public:
    virtual ~CNode() = default;
    virtual int IsLeaf() = 0;
    virtual void SetExpanded(bool expanded);
    virtual bool IsExpanded();
    // Console lines the node takes: 0 when hidden, 1 when closed, else 1 plus
    // its children's lines (a vector value: one per element).
    virtual int GetLineCount() = 0;
    // The record of line `line` counted from the node's own line.
    virtual CLineInfo GetLine(int line, const std::string& path) = 0;
    // Draws the node's lines that fall within the shown window.
    virtual void DrawLine(CConsoleCanvas& canvas, const CDrawParameters& params, int line, int depth,
                          const std::string& name, int selectedLine, bool details) = 0;
    virtual void PrintValues(FILE* file, const std::string& path) = 0;
    virtual void PrintExpanded(FILE* file, const std::string& path) = 0;
    virtual bool IsStale() = 0;
    virtual bool IsVisible() = 0;
    virtual void MarkStale() = 0;
    virtual void SetFilterMatch(bool match) = 0;

    bool m_bExpanded = false;
    bool m_bSelected = false;
};

class CLeaf : public CNode
{
public:
    int IsLeaf() override { return 1; }
    int GetLineCount() override;
    CLineInfo GetLine(int line, const std::string& path) override;
    void DrawLine(CConsoleCanvas& canvas, const CDrawParameters& params, int line, int depth,
                  const std::string& name, int selectedLine, bool details) override;
    void PrintValues(FILE* file, const std::string& path) override;
    void PrintExpanded(FILE* file, const std::string& path) override;
    bool IsStale() override { return m_Descriptor.m_bStale; }
    bool IsVisible() override { return !m_Descriptor.m_bStale && m_FilterMatch; }
    void MarkStale() override { m_Descriptor.m_bStale = true; }
    void SetFilterMatch(bool match) override { m_FilterMatch = match; }

    size_t GetValueCount() const { return m_Values.size(); }
    CValue& GetValue(size_t index) { return *m_Values[index]; }
    // Appends a value (candidates allowed) after the existing ones.
    void AppendValue(float value);
    // Inserts a value before `index` (clamped to the end); no rules applied.
    void InsertValue(size_t index, float value);
    // Takes a value out of the list. Its storage is kept until the leaf goes,
    // so pointers handed out to it stay readable.
    void RemoveValue(size_t index);

    int m_FilterMatch = 1;
    CLeafDescriptor m_Descriptor;
    int m_CurrentValueIndex = 0;

private:
    std::vector<std::unique_ptr<CValue>> m_Values;
    std::vector<std::unique_ptr<CValue>> m_Removed;
};

class CBranch : public CNode
{
public:
    int IsLeaf() override { return 0; }
    void SetExpanded(bool expanded) override;
    bool IsExpanded() override;
    int GetLineCount() override;
    CLineInfo GetLine(int line, const std::string& path) override;
    void DrawLine(CConsoleCanvas& canvas, const CDrawParameters& params, int line, int depth,
                  const std::string& name, int selectedLine, bool details) override;
    void PrintValues(FILE* file, const std::string& path) override;
    void PrintExpanded(FILE* file, const std::string& path) override;
    bool IsStale() override;
    bool IsVisible() override;
    void MarkStale() override;
    void SetFilterMatch(bool match) override;

    CBranch* FindBranch(const std::string& name);
    CLeaf* FindLeaf(const std::string& name);
    CBranch* AddBranch(const std::string& name); // appended; the name must be new
    CLeaf* AddLeaf(const std::string& name);     // appended; the name must be new

    bool IsAutoExpanded();
    void ClearAutoExpanded();
    // Sets or clears the own expanded flag of every branch below this one and
    // of every leaf below it, leaving the filter's opening alone.
    void SetExpandedBelow(bool expanded);
    // Clears the selected flag of this node and of every node below it.
    void ClearSelected();
    // The line of the node at `names` (with the value index for a vector
    // element) counted from this branch's own line; negative when a middle
    // name is missing or a node on the way is hidden.
    int LineOf(const std::vector<std::string>& names, size_t first, int valueIndex);

    std::vector<std::pair<std::string, std::unique_ptr<CBranch>>> m_Branches;
    std::vector<std::pair<std::string, std::unique_ptr<CLeaf>>> m_Leaves;
    bool m_bRoot = false;
    bool m_bAutoExpanded = false;
};

// An int value's whole part, held to the int range (NaN gives 0).
int TruncateToInt(double v);

// Joins a node's name to its parent's path ("" for the root's children).
std::string ChildPath(const std::string& parent, const std::string& name);

// Finds a leaf or branch by names from the root; inserts leaves.
CLeaf* FindLeaf(CBranch* root, const std::vector<std::string>& names);
CBranch* FindBranch(CBranch* root, const std::vector<std::string>& names);
// Creates missing branches; an existing leaf gets the descriptor and the new
// values after its old ones. Returns the leaf (null for no names).
CLeaf* InsertLeaf(CBranch* root, const std::vector<std::string>& names, const CLeafDescriptor& descriptor,
                  const std::vector<float>& values);

class CAccessManager
{
public:
    explicit CAccessManager(CBranch* root) : m_pRoot(root) {}
    // Parses a dotted path into m_Names; the parse stops at the first
    // character that does not fit.
    void ParsePath(const std::string& path);
    // The leaf at the path, created with value 0 when missing; null only for a
    // path without any name.
    CLeaf* GetLeaf(const std::string& path);

    CBranch* m_pRoot;
    std::vector<std::string> m_Names;
};

// The record that the line grammar's actions fill while one tuning-file line
// is parsed.
class CStructLoader
{
public:
    void Reset();

    CBranch* m_pRoot = nullptr;
    int m_Mode = 2;
    CLeafDescriptor m_Descriptor;
    std::vector<float> m_Values;
    std::vector<std::string> m_Names;
    std::string m_CandidateName;
    std::vector<std::string> m_SelectedPath;
    bool m_bHasSelectedPath = false;
    // Where a bad line went wrong: 1-based column of the first character the
    // grammar could not take.
    unsigned m_ErrorColumn = 0;
};

class CChangeHandler
{
public:
    virtual ~CChangeHandler() = default;
    virtual void OnChanged(const std::string& path, const float& value) = 0;
};

// The console's filter: words typed with Control held, matched against the
// upper-cased names of the tree.
class CVisibleFilter
{
public:
    explicit CVisibleFilter(CBranch* root) : m_pRoot(root) {}
    // Splits the text into words, marks the leaves it admits and the branches
    // it opens, and writes the text back with runs of dots collapsed.
    void Apply();

    CBranch* m_pRoot;
    std::vector<std::string> m_Words;
    std::string m_Text;
};

class CManager
{
public:
    typedef boost::function<void(float)> Callback1;
    typedef boost::function<void(float, float)> Callback2;
    typedef boost::function<void(float, float, float)> Callback3;
    typedef boost::function<void(float, float, float, float)> Callback4;

    CManager();
    ~CManager();
    CManager(const CManager&) = delete;
    CManager& operator=(const CManager&) = delete;

    CAccessManager& GetAccess() { return *m_pAccess; }
    CBranch& GetRoot() { return m_Root; }

    float* GetValue(const std::string& path);
    float* GetValueOr(const std::string& path, float defaultValue);
    bool Exists(const std::string& path);
    void RegisterCallback(const std::string& path, const Callback1& fn);
    void RegisterCallback3(const std::string& p0, const std::string& p1, const std::string& p2,
                           const Callback3& fn);
    void SetChangeHandler(CChangeHandler* handler) { m_pChangeHandler = handler; }
    void NotifyChanged(const std::string& path, float value);

    // The tuning file.
    bool ParseLine(const std::string& line, CStructLoader& loader, int mode);
    // The built-in text: stops parsing silently at the first bad line.
    bool LoadFromText(const char* text, size_t size);
    // The built-in resource "CONTROLFILE" 108 (Windows only).
    bool LoadFromResource();
    // Returns false only when the file cannot be opened; bad lines are logged
    // with their line and column, counted in GetBadLineCount and skipped.
    bool LoadFromFile(const std::string& name, int mode);
    int GetBadLineCount() const { return m_BadLines; }
    // Writes the whole tree through a temporary file that then replaces `name`.
    bool SaveToFile(const std::string& name);

    // The console. SelectPath opens the branches along the path and makes its
    // line current (the root line when a middle name is missing).
    void SelectPath(const std::vector<std::string>& names, int valueIndex);
    void MoveSelection(int delta);
    void OnKey(int virtualKey);
    // Queues the texts into the batch and draws the background boxes at once
    // (Windows only); RenderTo lays the same out onto any canvas.
    void Render(TextBatch& batch, const CDrawParameters& params);
    void RenderTo(CConsoleCanvas& canvas, const CDrawParameters& params);
    // The draw parameters from the "Tuning." values, with their built-in
    // defaults for values that are missing.
    CDrawParameters ReadDrawParameters(float textScale);
    const CLineInfo& GetCurrentLine() const { return m_CurrentLine; }
    int GetSelectedLine() const { return m_SelectedLine; }
    bool GetDetails() const { return m_bDetails; }
    CVisibleFilter& GetFilter() { return *m_pFilter; }

private:
    void FinishLoad();
    CLeaf* CurrentLeaf();
    // The current line shows one value: a plain value or a vector element.
    CValue* CurrentValue();
    void NotifyCurrent();
    void OnControlKey(int virtualKey);
    void OnShiftKey(int virtualKey);
    void ReselectCurrent();

    std::unique_ptr<CStructLoader> m_pLoader;
    std::unique_ptr<CAccessManager> m_pAccess;
    std::unique_ptr<CVisibleFilter> m_pFilter;
    CBranch m_Root;
    CChangeHandler* m_pChangeHandler = nullptr;
    CLineInfo m_CurrentLine;
    int m_SelectedLine = 0;
    bool m_bDetails = true;

    struct Reg2 { std::string m_Paths[2]; Callback2 m_Fn; };
    struct Reg3 { std::string m_Paths[3]; Callback3 m_Fn; };
    struct Reg4 { std::string m_Paths[4]; Callback4 m_Fn; };
    std::multimap<std::string, Callback1> m_Callbacks1;
    std::multimap<std::string, std::shared_ptr<Reg2>> m_Callbacks2;
    std::multimap<std::string, std::shared_ptr<Reg3>> m_Callbacks3;
    std::multimap<std::string, std::shared_ptr<Reg4>> m_Callbacks4;

    int m_BadLines = 0;
    float m_NoValue = 0.0f; // handed out for a path without any name
};
} // namespace TuningControl
