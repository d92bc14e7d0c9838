#include "TuningControl.h"

#include <boost/spirit/include/classic_core.hpp>

#include <algorithm>
#include <climits>
#include <cmath>

#include "Log.h"

namespace TuningControl
{
namespace
{
const char* const kSourceName = "..\\src\\Utils\\TuningControl\\TuningTree";

bool IsTrue(float v)
{
    return std::fabs(v) > 1e-10f;
}
} // namespace

// ---------------------------------------------------------------- values

int CLeafDescriptor::FindCandidate(float v) const
{
    const double halfStep = 0.5 * std::pow(10.0, m_PrecisionExponent);
    for (size_t i = 0; i < m_Candidates.size(); ++i)
        if (std::fabs(double(v) - double(m_Candidates[i].second)) < halfStep)
            return int(i);
    return -1;
}

CValue::CValue(const CLeafDescriptor* pDescriptor, float value, bool candidatesAllowed)
    : m_Value(value), m_pDescriptor(pDescriptor), m_bCandidateDisplay(false),
      m_bCandidatesAllowed(candidatesAllowed)
{
    m_bCandidateDisplay = candidatesAllowed && pDescriptor->FindCandidate(value) >= 0;
}

void CValue::SetValue(float x)
{
    m_Value = x;
    ApplyRules();
}

void CValue::ApplyRules()
{
    const CLeafDescriptor& d = *m_pDescriptor;
    if (d.m_bHasMinimum)
        m_Value = std::max(m_Value, d.m_Minimum);
    if (d.m_bHasMaximum)
        m_Value = std::min(m_Value, d.m_Maximum);
    if (d.m_Kind == KIND_BOOL)
        m_Value = IsTrue(m_Value) ? 1.0f : 0.0f;
}

void CValue::Step(int d)
{
    if (m_bCandidateDisplay)
    {
        StepCandidate(d);
        return;
    }
    m_Value += float(std::pow(10.0f, float(m_pDescriptor->m_StepExponent))) * float(d);
    ApplyRules();
}

void CValue::StepCandidate(int d)
{
    const auto& candidates = m_pDescriptor->m_Candidates;
    const int n = int(candidates.size());
    if (n == 0)
        return;
    int i = m_pDescriptor->FindCandidate(m_Value);
    if (i < 0)
        i = d > 0 ? 0 : n - 1;
    else
        i = ((i + d) % n + n) % n;
    m_Value = candidates[size_t(i)].second;
    ApplyRules();
}

std::string CValue::GetText() const
{
    if (!m_TypedText.empty())
        return m_TypedText;
    if (m_bCandidateDisplay)
    {
        int i = m_pDescriptor->FindCandidate(m_Value);
        return i < 0 ? std::string("--Undefined--") : m_pDescriptor->m_Candidates[size_t(i)].first;
    }
    switch (m_pDescriptor->m_Kind)
    {
    case KIND_FLOAT: return FormatString("%f", m_Value);
    case KIND_INT: return FormatString("%i", TruncateToInt(m_Value));
    case KIND_BOOL: return IsTrue(m_Value) ? "true" : "false";
    default:
        g_Log.Printf("Error in %s, line %u\n", kSourceName, 113u);
        return std::string();
    }
}

// ---------------------------------------------------------------- nodes

void CNode::SetExpanded(bool expanded)
{
    m_bExpanded = expanded;
}

bool CNode::IsExpanded()
{
    return m_bExpanded;
}

void CLeaf::AppendValue(float value)
{
    m_Values.push_back(std::make_unique<CValue>(&m_Descriptor, value, true));
}

void CLeaf::InsertValue(size_t index, float value)
{
    index = std::min(index, m_Values.size());
    m_Values.insert(m_Values.begin() + std::ptrdiff_t(index), std::make_unique<CValue>(&m_Descriptor, value, true));
}

void CLeaf::RemoveValue(size_t index)
{
    if (index >= m_Values.size())
        return;
    m_Removed.push_back(std::move(m_Values[index]));
    m_Values.erase(m_Values.begin() + std::ptrdiff_t(index));
}

void CBranch::SetExpanded(bool expanded)
{
    m_bExpanded = expanded;
    ClearAutoExpanded();
}

void CBranch::ClearAutoExpanded()
{
    m_bAutoExpanded = false;
    for (auto& b : m_Branches)
        b.second->ClearAutoExpanded();
}

bool CBranch::IsAutoExpanded()
{
    if (m_bAutoExpanded)
        return true;
    for (auto& b : m_Branches)
        if (b.second->IsAutoExpanded())
            return true;
    return false;
}

bool CBranch::IsExpanded()
{
    return m_bExpanded || IsAutoExpanded();
}

bool CBranch::IsStale()
{
    if (m_bRoot)
        return false;
    for (auto& b : m_Branches)
        if (!b.second->IsStale())
            return false;
    for (auto& l : m_Leaves)
        if (!l.second->IsStale())
            return false;
    return true;
}

bool CBranch::IsVisible()
{
    if (m_bRoot)
        return true;
    for (auto& b : m_Branches)
        if (b.second->IsVisible())
            return true;
    for (auto& l : m_Leaves)
        if (l.second->IsVisible())
            return true;
    return false;
}

void CBranch::MarkStale()
{
    for (auto& b : m_Branches)
        b.second->MarkStale();
    for (auto& l : m_Leaves)
        l.second->MarkStale();
}

void CBranch::SetFilterMatch(bool match)
{
    for (auto& b : m_Branches)
        b.second->SetFilterMatch(match);
    for (auto& l : m_Leaves)
        l.second->SetFilterMatch(match);
}

CBranch* CBranch::FindBranch(const std::string& name)
{
    for (auto& b : m_Branches)
        if (b.first == name)
            return b.second.get();
    return nullptr;
}

CLeaf* CBranch::FindLeaf(const std::string& name)
{
    for (auto& l : m_Leaves)
        if (l.first == name)
            return l.second.get();
    return nullptr;
}

CBranch* CBranch::AddBranch(const std::string& name)
{
    m_Branches.emplace_back(name, std::make_unique<CBranch>());
    return m_Branches.back().second.get();
}

CLeaf* CBranch::AddLeaf(const std::string& name)
{
    m_Leaves.emplace_back(name, std::make_unique<CLeaf>());
    return m_Leaves.back().second.get();
}

int TruncateToInt(double v)
{
    if (!(v == v))
        return 0;
    if (v >= 2147483647.0)
        return INT_MAX;
    if (v <= -2147483648.0)
        return INT_MIN;
    return int(v);
}

std::string ChildPath(const std::string& parent, const std::string& name)
{
    return parent.empty() ? name : parent + "." + name;
}

// ---------------------------------------------------------------- searches

namespace
{
CBranch* FollowBranches(CBranch* root, const std::vector<std::string>& names, size_t count)
{
    CBranch* b = root;
    for (size_t i = 0; i < count && b; ++i)
        b = b->FindBranch(names[i]);
    return b;
}
} // namespace

CLeaf* FindLeaf(CBranch* root, const std::vector<std::string>& names)
{
    if (names.empty())
    {
        g_Log.Printf("Error in %s, line %u\n", kSourceName, 236u);
        return nullptr;
    }
    CBranch* b = FollowBranches(root, names, names.size() - 1);
    return b ? b->FindLeaf(names.back()) : nullptr;
}

CBranch* FindBranch(CBranch* root, const std::vector<std::string>& names)
{
    if (names.empty())
    {
        g_Log.Printf("Error in %s, line %u\n", kSourceName, 252u);
        return nullptr;
    }
    return FollowBranches(root, names, names.size());
}

CLeaf* InsertLeaf(CBranch* root, const std::vector<std::string>& names, const CLeafDescriptor& descriptor,
                  const std::vector<float>& values)
{
    if (names.empty())
        return nullptr;
    CBranch* b = root;
    for (size_t i = 0; i + 1 < names.size(); ++i)
    {
        CBranch* next = b->FindBranch(names[i]);
        b = next ? next : b->AddBranch(names[i]);
    }
    CLeaf* leaf = b->FindLeaf(names.back());
    if (!leaf)
        leaf = b->AddLeaf(names.back());

    leaf->m_Descriptor = descriptor;
    CLeafDescriptor& d = leaf->m_Descriptor;
    if (d.m_Kind == KIND_INT)
    {
        d.m_StepExponent = std::max(d.m_StepExponent, 0);
        d.m_PrecisionExponent = std::max(d.m_PrecisionExponent, 0);
    }
    else if (d.m_Kind == KIND_BOOL)
    {
        d.m_StepExponent = 0;
        d.m_PrecisionExponent = 0;
    }
    for (float v : values)
        leaf->AppendValue(v);
    return leaf;
}

// ---------------------------------------------------------------- access

void CAccessManager::ParsePath(const std::string& path)
{
    using namespace boost::spirit::classic;
    m_Names.clear();
    auto push = [this](const char* a, const char* b) { m_Names.emplace_back(a, b); };
    rule<phrase_scanner_t> name = lexeme_d[+(alnum_p | '_')];
    rule<phrase_scanner_t> full = name[push] >> *('.' >> name[push]);
    parse(path.c_str(), full, space_p);
}

CLeaf* CAccessManager::GetLeaf(const std::string& path)
{
    ParsePath(path);
    if (m_Names.empty())
    {
        g_Log.Printf("Error in %s, line %u\n", kSourceName, 301u);
        return nullptr;
    }
    if (CLeaf* leaf = FindLeaf(m_pRoot, m_Names))
        return leaf;
    return InsertLeaf(m_pRoot, m_Names, CLeafDescriptor(), std::vector<float>(1, 0.0f));
}

// ---------------------------------------------------------------- manager

CManager::CManager()
    : m_pLoader(std::make_unique<CStructLoader>()), m_pAccess(std::make_unique<CAccessManager>(&m_Root)),
      m_pFilter(std::make_unique<CVisibleFilter>(&m_Root))
{
    m_Root.m_bRoot = true;
    m_pLoader->m_pRoot = &m_Root;
}

CManager::~CManager() = default;

float* CManager::GetValue(const std::string& path)
{
    CLeaf* leaf = m_pAccess->GetLeaf(path);
    if (!leaf)
        return &m_NoValue;
    leaf->m_Descriptor.m_bStale = false;
    return &leaf->GetValue(0).m_Value;
}

float* CManager::GetValueOr(const std::string& path, float defaultValue)
{
    m_pAccess->ParsePath(path);
    if (!m_pAccess->m_Names.empty() && !FindLeaf(&m_Root, m_pAccess->m_Names))
    {
        CLeaf* leaf = m_pAccess->GetLeaf(path);
        leaf->GetValue(0).m_Value = defaultValue;
    }
    return GetValue(path);
}

bool CManager::Exists(const std::string& path)
{
    m_pAccess->ParsePath(path);
    return !m_pAccess->m_Names.empty() && FindLeaf(&m_Root, m_pAccess->m_Names) != nullptr;
}

void CManager::RegisterCallback(const std::string& path, const Callback1& fn)
{
    m_Callbacks1.emplace(path, fn);
    fn(*GetValue(path));
}

void CManager::RegisterCallback3(const std::string& p0, const std::string& p1, const std::string& p2,
                                 const Callback3& fn)
{
    auto reg = std::make_shared<Reg3>();
    reg->m_Paths[0] = p0;
    reg->m_Paths[1] = p1;
    reg->m_Paths[2] = p2;
    reg->m_Fn = fn;
    for (const std::string& p : reg->m_Paths)
        m_Callbacks3.emplace(p, reg);
    const float a = *GetValue(p0), b = *GetValue(p1), c = *GetValue(p2);
    fn(a, b, c);
}

void CManager::NotifyChanged(const std::string& path, float value)
{
    if (m_pChangeHandler)
        m_pChangeHandler->OnChanged(m_CurrentLine.m_Path, value);

    auto r1 = m_Callbacks1.equal_range(path);
    for (auto it = r1.first; it != r1.second; ++it)
        it->second(value);
    auto r2 = m_Callbacks2.equal_range(path);
    for (auto it = r2.first; it != r2.second; ++it)
    {
        const float a = *GetValue(it->second->m_Paths[0]), b = *GetValue(it->second->m_Paths[1]);
        it->second->m_Fn(a, b);
    }
    auto r3 = m_Callbacks3.equal_range(path);
    for (auto it = r3.first; it != r3.second; ++it)
    {
        const Reg3& r = *it->second;
        const float a = *GetValue(r.m_Paths[0]), b = *GetValue(r.m_Paths[1]), c = *GetValue(r.m_Paths[2]);
        r.m_Fn(a, b, c);
    }
    auto r4 = m_Callbacks4.equal_range(path);
    for (auto it = r4.first; it != r4.second; ++it)
    {
        const Reg4& r = *it->second;
        const float a = *GetValue(r.m_Paths[0]), b = *GetValue(r.m_Paths[1]), c = *GetValue(r.m_Paths[2]),
                    d = *GetValue(r.m_Paths[3]);
        r.m_Fn(a, b, c, d);
    }
}
} // namespace TuningControl
