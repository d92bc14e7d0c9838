// The tuning file: one value, console state or comment per line.
#include "TuningControl.h"

#include <boost/spirit/include/classic_core.hpp>
#include <boost/spirit/include/classic_position_iterator.hpp>

#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "ErrorReportParser.h"
#include "FileReplace.h"
#include "Log.h"

namespace TuningControl
{
namespace
{
namespace sp = boost::spirit::classic;

typedef sp::position_iterator<const char*> iter_t;
typedef sp::scanner<iter_t, sp::scanner_policies<sp::skipper_iteration_policy<>>> scan_t;
typedef sp::rule<scan_t> rule_t;

// Loader messages, code page 1251.
// "ошибка описания параметра в строке %i, столбец %i '%s'\n"
const char kBadLine[] = "\xee\xf8\xe8\xe1\xea\xe0 \xee\xef\xe8\xf1\xe0\xed\xe8\xff \xef\xe0\xf0\xe0\xec\xe5\xf2\xf0"
                        "\xe0 \xe2 \xf1\xf2\xf0\xee\xea\xe5 %i, \xf1\xf2\xee\xeb\xe1\xe5\xf6 %i '%s'\n";
// "ошибка файла настроек: невекторный параметр содержит более одного значения \n"
const char kNotVector[] = "\xee\xf8\xe8\xe1\xea\xe0 \xf4\xe0\xe9\xeb\xe0 \xed\xe0\xf1\xf2\xf0\xee\xe5\xea: \xed\xe5"
                          "\xe2\xe5\xea\xf2\xee\xf0\xed\xfb\xe9 \xef\xe0\xf0\xe0\xec\xe5\xf2\xf0 \xf1\xee\xe4\xe5"
                          "\xf0\xe6\xe8\xf2 \xe1\xee\xeb\xe5\xe5 \xee\xe4\xed\xee\xe3\xee \xe7\xed\xe0\xf7\xe5\xed"
                          "\xe8\xff \n";
// "ошибка файла настроек: неизвестный тип параметра: %s \n"
const char kUnknownType[] = "\xee\xf8\xe8\xe1\xea\xe0 \xf4\xe0\xe9\xeb\xe0 \xed\xe0\xf1\xf2\xf0\xee\xe5\xea: \xed"
                            "\xe5\xe8\xe7\xe2\xe5\xf1\xf2\xed\xfb\xe9 \xf2\xe8\xef \xef\xe0\xf0\xe0\xec\xe5\xf2"
                            "\xf0\xe0: %s \n";
// "ошибка файла настроек: неуникальное имя параметра ...%s \n"
const char kDuplicate[] = "\xee\xf8\xe8\xe1\xea\xe0 \xf4\xe0\xe9\xeb\xe0 \xed\xe0\xf1\xf2\xf0\xee\xe5\xea: \xed\xe5"
                          "\xf3\xed\xe8\xea\xe0\xeb\xfc\xed\xee\xe5 \xe8\xec\xff \xef\xe0\xf0\xe0\xec\xe5\xf2\xf0"
                          "\xe0 ...%s \n";

const int kTabChars = 4;

// The 1-based column of `offset` in `line`, with tab stops every 4 columns.
unsigned ColumnOf(const char* line, size_t offset)
{
    unsigned column = 1;
    for (size_t i = 0; i < offset; ++i)
        column = line[i] == '\t' ? column + kTabChars - ((column - 1) % kTabChars) : column + 1;
    return column;
}

int StepExponentOf(double step)
{
    const float f = float(step);
    if (f < 1e-7f)
        return 0;
    return int(float(std::log10(f)));
}

// Parses one line into the tree; true when one of the line kinds matched.
bool ParseInto(const char* text, size_t length, CStructLoader& ld)
{
    using namespace sp;
    const char* const begin = text;
    const char* const end = text + length;
    size_t furthest = 0;

    // Marks how far the line was understood. A functor parser, because an
    // action would skip the blanks that follow first.
    struct MarkFn
    {
        typedef nil_t result_t;
        const char* m_Begin;
        size_t* m_pFurthest;
        std::ptrdiff_t operator()(scan_t const& scan, result_t&) const
        {
            *m_pFurthest = std::max(*m_pFurthest, size_t(scan.first.base() - m_Begin));
            return 0;
        }
    };
    const functor_parser<MarkFn> mark(MarkFn{begin, &furthest});

    // Every number of a leaf line is stored as a float, so one that a float
    // cannot hold (1e39, or 0e400, which reads as 0 times infinity) fails
    // here, and the line with it is refused.
    size_t refusedAt = length; // where the first such number starts
    struct FloatFn
    {
        typedef double result_t;
        const char* m_Begin;
        size_t* m_pRefusedAt;
        std::ptrdiff_t operator()(scan_t const& scan, result_t& result) const
        {
            scan.skip(scan);
            const size_t at = size_t(scan.first.base() - m_Begin);
            const auto hit = real_p.parse(scan);
            if (!hit)
                return -1;
            if (!std::isfinite(hit.value()) || std::fabs(hit.value()) > double(FLT_MAX))
            {
                *m_pRefusedAt = std::min(*m_pRefusedAt, at);
                return -1;
            }
            result = hit.value();
            return hit.length();
        }
    };
    const functor_parser<FloatFn> number(FloatFn{begin, &refusedAt});
    struct AcceptedFn
    {
        typedef nil_t result_t;
        const size_t* m_pRefusedAt;
        size_t m_Length;
        std::ptrdiff_t operator()(scan_t const&, result_t&) const { return *m_pRefusedAt < m_Length ? -1 : 0; }
    };
    const functor_parser<AcceptedFn> noRefusedNumber(AcceptedFn{&refusedAt, length});
    auto addName = [&](iter_t a, iter_t b) { ld.m_Names.emplace_back(a.base(), b.base()); };
    auto stale = [&](char) {
        if (ld.m_Mode != 1)
            ld.m_Descriptor.m_bStale = true;
    };
    auto vec = [&](iter_t, iter_t) { ld.m_Descriptor.m_bVector = true; };
    auto value = [&](double v) {
        if (!ld.m_Values.empty() && !ld.m_Descriptor.m_bVector)
        {
            g_Log.Printf("%s", kNotVector);
            ld.m_Values.clear();
        }
        ld.m_Values.push_back(float(v));
    };
    auto step = [&](double v) { ld.m_Descriptor.m_StepExponent = StepExponentOf(v); };
    auto minimum = [&](double v) {
        ld.m_Descriptor.m_Minimum = float(v);
        ld.m_Descriptor.m_bHasMinimum = true;
    };
    auto maximum = [&](double v) {
        ld.m_Descriptor.m_Maximum = float(v);
        ld.m_Descriptor.m_bHasMaximum = true;
    };
    auto precision = [&](int p) { ld.m_Descriptor.m_PrecisionExponent = p; };
    auto type = [&](iter_t a, iter_t b) {
        const std::string name(a.base(), b.base());
        if (name == "bool")
            ld.m_Descriptor.m_Kind = KIND_BOOL;
        else if (name == "int")
            ld.m_Descriptor.m_Kind = KIND_INT;
        else if (name == "float")
            ld.m_Descriptor.m_Kind = KIND_FLOAT;
        else
        {
            g_Log.Printf(kUnknownType, name.c_str());
            ld.m_Descriptor.m_Kind = KIND_FLOAT;
        }
    };
    auto candidateName = [&](iter_t a, iter_t b) { ld.m_CandidateName.assign(a.base(), b.base()); };
    auto candidateValue = [&](double v) { ld.m_Descriptor.m_Candidates.emplace_back(ld.m_CandidateName, float(v)); };
    auto endOfLeaf = [&](iter_t, iter_t) {
        if (ld.m_Mode != 0 || !ld.m_Descriptor.m_bStale)
        {
            if (FindLeaf(ld.m_pRoot, ld.m_Names))
                g_Log.Printf(kDuplicate, ld.m_Names.back().c_str());
            InsertLeaf(ld.m_pRoot, ld.m_Names, ld.m_Descriptor, ld.m_Values);
        }
        ld.Reset();
    };
    auto expand = [&](iter_t, iter_t) {
        CNode* node = nullptr;
        if (ld.m_Descriptor.m_bVector)
            node = FindLeaf(ld.m_pRoot, ld.m_Names);
        else
            node = FindBranch(ld.m_pRoot, ld.m_Names);
        if (node)
            node->SetExpanded(true);
    };
    auto select = [&](iter_t, iter_t) {
        ld.m_SelectedPath = ld.m_Names;
        ld.m_bHasSelectedPath = true;
    };

    rule_t word = lexeme_d[+(alnum_p | '_')];
    rule_t ident = lexeme_d[(alpha_p | '_') >> *(alnum_p | '_')];
    rule_t path = word[addName] >> mark >> *('.' >> word[addName] >> mark);
    rule_t vectorPath = path >> !(str_p("[]")[vec] >> mark);
    rule_t values = number[value] >> mark >> *(';' >> number[value] >> mark);
    rule_t range = ch_p('<') >> !number[minimum] >> ',' >> !number[maximum] >> '>';
    rule_t candidate = ch_p('{') >> ident[candidateName] >> '=' >> number[candidateValue] >> '}';
    rule_t endRule = eol_p | end_p | ObjectsAnimationScriptParser::ReportError("Error: Expected command or object tag");
    rule_t leaf = !ch_p('#')[stale] >> vectorPath >> values >> !(number[step] >> mark) >>
                  !(range >> mark) >> !('(' >> (int_p[precision] | ident[type]) >> ')' >> mark) >>
                  *(candidate >> mark) >> noRefusedNumber >> endRule >> eps_p[endOfLeaf];
    rule_t expandedBody = ch_p('%') >> vectorPath;
    rule_t expanded = expandedBody[expand];
    rule_t selectedBody = ch_p('(') >> path >> ')';
    rule_t selected = selectedBody[select];
    rule_t comment = lexeme_d[(ch_p(';') | '/' | '\\') >> *anychar_p];
    rule_t line = leaf | expanded | selected | comment;

    iter_t first(begin, end, "Get");
    first.set_tabchars(kTabChars);
    iter_t last;
    const bool hit = parse(first, last, line, space_p).hit;
    if (!hit)
    {
        size_t at = refusedAt < length ? refusedAt : furthest;
        while (at < length && (text[at] == ' ' || text[at] == '\t'))
            ++at;
        ld.m_ErrorColumn = ColumnOf(text, at);
    }
    return hit;
}

void PutText(FILE* file, const std::string& text)
{
    fwrite(text.data(), 1, text.size(), file);
}
} // namespace

void CStructLoader::Reset()
{
    m_Descriptor = CLeafDescriptor();
    m_Values.clear();
    m_Names.clear();
    m_CandidateName.clear();
    m_ErrorColumn = 0;
}

bool CManager::ParseLine(const std::string& line, CStructLoader& loader, int mode)
{
    if (line.empty() || line[0] == '\r' || line[0] == '\n')
        return true;
    loader.m_Mode = mode;
    loader.Reset();
    return ParseInto(line.data(), line.size(), loader);
}

bool CManager::LoadFromText(const char* text, size_t size)
{
    const size_t kMaxLine = 1022;
    bool good = true;
    size_t pos = 0;
    while (pos < size)
    {
        const void* lf = memchr(text + pos, '\n', size - pos);
        const size_t lineEnd = lf ? size_t(static_cast<const char*>(lf) - text) : size;
        if (lineEnd - pos > kMaxLine)
            break;
        if (good)
            good = ParseLine(std::string(text + pos, lineEnd - pos), *m_pLoader, 2);
        pos = lineEnd + 1;
    }
    FinishLoad();
    return good;
}

bool CManager::LoadFromFile(const std::string& name, int mode)
{
    m_BadLines = 0;
    FILE* file = fopen(name.c_str(), "rb");
    if (!file)
    {
        FinishLoad();
        return false;
    }
    char buffer[1024];
    int lineNumber = 0;
    bool atLineStart = true;
    while (fgets(buffer, sizeof buffer, file))
    {
        // A line longer than the buffer arrives in pieces; they share its number.
        if (atLineStart)
            ++lineNumber;
        const size_t length = strlen(buffer);
        atLineStart = length > 0 && buffer[length - 1] == '\n';
        if (!ParseLine(std::string(buffer, length), *m_pLoader, mode))
        {
            g_Log.Printf(kBadLine, lineNumber, int(m_pLoader->m_ErrorColumn), buffer);
            ++m_BadLines;
        }
    }
    fclose(file);
    FinishLoad();
    return true;
}

void CManager::FinishLoad()
{
    m_Root.SetExpanded(true);
    SelectPath(m_pLoader->m_SelectedPath, 0);
}

// ---------------------------------------------------------------- writing

void CLeaf::PrintValues(FILE* file, const std::string& path)
{
    const CLeafDescriptor& d = m_Descriptor;
    std::string line;
    if (d.m_bStale)
        line += "#";
    line += path;
    if (d.m_bVector)
        line += "[]";
    if (m_Values.empty())
        line += FormatString(" %f", 0.0);
    for (size_t i = 0; i < m_Values.size(); ++i)
        line += FormatString(i == 0 ? " %f" : "; %f", double(m_Values[i]->m_Value));
    if (d.m_StepExponent != 0)
        line += FormatString(" %f", double(std::pow(10.0f, float(d.m_StepExponent))));
    if (d.m_bHasMinimum || d.m_bHasMaximum)
    {
        line += " <";
        if (d.m_bHasMinimum)
            line += FormatString("%f", double(d.m_Minimum));
        line += ", ";
        if (d.m_bHasMaximum)
            line += FormatString("%f", double(d.m_Maximum));
        line += ">";
    }
    if (d.m_Kind == KIND_FLOAT && d.m_PrecisionExponent != -5)
        line += FormatString(" (%i)", d.m_PrecisionExponent);
    else if (d.m_Kind == KIND_INT)
        line += " (int)";
    else if (d.m_Kind == KIND_BOOL)
        line += " (bool)";
    for (const auto& c : d.m_Candidates)
        line += " {" + c.first + FormatString(" = %f}", double(c.second));
    line += "\r\n";
    PutText(file, line);
}

void CLeaf::PrintExpanded(FILE* file, const std::string& path)
{
    if (m_Descriptor.m_bVector && m_bExpanded)
        PutText(file, "%" + path + "[] \r\n");
}

void CBranch::PrintValues(FILE* file, const std::string& path)
{
    for (auto& b : m_Branches)
        b.second->PrintValues(file, ChildPath(path, b.first));
    for (auto& l : m_Leaves)
        l.second->PrintValues(file, ChildPath(path, l.first));
}

void CBranch::PrintExpanded(FILE* file, const std::string& path)
{
    if (m_bExpanded && !m_bRoot)
        PutText(file, "%" + path + " \r\n");
    for (auto& b : m_Branches)
        b.second->PrintExpanded(file, ChildPath(path, b.first));
    for (auto& l : m_Leaves)
        l.second->PrintExpanded(file, ChildPath(path, l.first));
}

bool CManager::SaveToFile(const std::string& name)
{
    return WriteFileReplacing(name, [this](FILE* file) {
        m_Root.PrintValues(file, std::string());
        m_Root.PrintExpanded(file, std::string());
        if (!m_CurrentLine.m_Path.empty())
            PutText(file, "(" + m_CurrentLine.m_Path + ") \r\n");
        return true;
    });
}
} // namespace TuningControl
