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

namespace TuningControl
{
class CBranch;
class CLeaf;

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

    std::vector<std::pair<std::string, std::unique_ptr<CBranch>>> m_Branches;
    std::vector<std::pair<std::string, std::unique_ptr<CLeaf>>> m_Leaves;
    bool m_bRoot = false;
    bool m_bAutoExpanded = false;
};

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

struct CLineInfo
{
    CNode* m_pNode = nullptr;
    int m_ValueIndex = 0;
    std::string m_Path;
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

    // Opens the branches along the path and makes its node the current line.
    void SelectPath(const std::vector<std::string>& names, int valueIndex);
    const CLineInfo& GetCurrentLine() const { return m_CurrentLine; }

private:
    void FinishLoad();

    std::unique_ptr<CStructLoader> m_pLoader;
    std::unique_ptr<CAccessManager> m_pAccess;
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
