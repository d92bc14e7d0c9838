#include "AnimationScriptParser.h"

#include <boost/spirit/include/classic_core.hpp>
#include <boost/spirit/include/classic_position_iterator.hpp>

#include <vector>

#include "AnimationCommands.h"
#include "ErrorReportParser.h"

namespace ObjectsAnimationScriptParser
{
namespace
{
namespace sp = boost::spirit::classic;

typedef sp::position_iterator<const char*> iter_t;
typedef sp::scanner<iter_t, sp::scanner_policies<sp::skipper_iteration_policy<>>> scan_t;
typedef sp::rule<scan_t> rule_t;

const int kTabChars = 4;

// Reports at the first character after any whitespace: the log names where
// reading really stopped, not the blank before it.
struct SkipThenReport
{
    typedef sp::nil_t result_t;
    error_report_parser m_Report;

    template <typename ScannerT>
    std::ptrdiff_t operator()(ScannerT const& scan, result_t& result) const
    {
        scan.skip(scan);
        return m_Report(scan, result);
    }
};

class CScriptReader
{
public:
    explicit CScriptReader(const ObjectMap& objects) : m_Objects(objects) {}

    bool Parse(const std::string& fileName, const char* begin, const char* end)
    {
        using namespace sp;
        const auto tagName = [this](iter_t b, iter_t e) { OnObjectTag(std::string(b, e)); };
        const auto label = [this](iter_t b, iter_t e) { OnLabel(std::string(b, e)); };
        const auto firstNumber = [this](int v) { m_FirstNumber = v; };
        const auto secondNumber = [this](int v) { m_SecondNumber = v; };
        const auto animation = [this](iter_t, iter_t) {
            m_CurrentCommand.reset(new CMatrixAnimationCommand(m_FirstNumber, m_SecondNumber, 0.25f));
        };
        const auto wait = [this](iter_t, iter_t) {
            m_CurrentCommand.reset(new CAnimationCommandWait(float(m_FirstNumber), float(m_SecondNumber)));
        };
        const auto gotoLabel = [this](iter_t b, iter_t e) { m_GotoLabel.assign(b, e); };
        const auto gotoCommand = [this](iter_t, iter_t) { OnGoto(); };
        const auto chanceStart = [this](iter_t, iter_t) { m_CurrentChance.reset(new CChanceCommand); };
        const auto chanceWeight = [this](int v) { m_ChanceWeight = v; };
        const auto chanceOption = [this](iter_t, iter_t) {
            m_CurrentChance->AddOption(float(m_ChanceWeight), m_CurrentCommand);
            m_CurrentCommand = m_CurrentChance;
        };
        const auto command = [this](iter_t, iter_t) { OnCommand(); };
        const auto blockEnd = [this](iter_t, iter_t) { OnBlockEnd(); };

        rule_t labelText = lexeme_d[+(alnum_p | '_') >> ':'];
        rule_t tag = ch_p('[') >> lexeme_d[+(anychar_p - ']')][tagName] >> ']';
        rule_t numbers = int_p[firstNumber] >> ',' >> int_p[secondNumber];
        rule_t animationCommand = (as_lower_d["animation"] >> numbers)[animation];
        rule_t waitCommand = (as_lower_d["wait"] >> numbers)[wait];
        rule_t gotoCommandRule = (as_lower_d["goto"] >> labelText[gotoLabel])[gotoCommand];
        rule_t simpleCommand = animationCommand | waitCommand | gotoCommandRule;
        rule_t option = int_p[chanceWeight] >> ',' >> simpleCommand[chanceOption];
        rule_t chanceCommand = as_lower_d["chance_select"][chanceStart] >> +option;
        rule_t bodyItem = labelText[label] | (simpleCommand | chanceCommand)[command];
        rule_t block = (+tag >> +bodyItem)[blockEnd];
        const SkipThenReport report{error_report_parser("Error: Expected command or object tag")};
        rule_t script = +block >> (end_p | functor_parser<SkipThenReport>(report));

        iter_t first(begin, end, fileName);
        first.set_tabchars(kTabChars);
        iter_t last;
        return sp::parse(first, last, script, space_p).full;
    }

private:
    void OnObjectTag(const std::string& name)
    {
        auto found = m_Objects.find(name);
        if (found != m_Objects.end())
            m_Targets.push_back(found->second);
    }

    void OnLabel(const std::string& text)
    {
        m_Labels[text] = m_CommandCounter;
        for (const auto& pending : m_PendingGotos[text])
            pending->SetTarget(m_CommandCounter);
    }

    void OnGoto()
    {
        auto defined = m_Labels.find(m_GotoLabel);
        boost::shared_ptr<CGotoCommand> command(new CGotoCommand(defined != m_Labels.end() ? defined->second : 0));
        m_CurrentCommand = command;
        m_PendingGotos[m_GotoLabel].push_back(command);
    }

    void OnCommand()
    {
        for (ObjectAnimationScript* target : m_Targets)
            target->AddCommand(m_CurrentCommand);
        ++m_CommandCounter;
    }

    void OnBlockEnd()
    {
        m_Targets.clear();
        m_CommandCounter = 0;
        m_Labels.clear();
        m_PendingGotos.clear();
    }

    int m_FirstNumber = 0;
    int m_SecondNumber = 0;
    CAnimationCommandPtr m_CurrentCommand;
    boost::shared_ptr<CChanceCommand> m_CurrentChance;
    int m_ChanceWeight = 0;
    std::string m_GotoLabel;
    const ObjectMap& m_Objects;
    std::vector<ObjectAnimationScript*> m_Targets;
    int m_CommandCounter = 0;
    std::map<std::string, int> m_Labels;
    // Held here too: a goto of a block whose tags name no known object has
    // no other owner once the next command is read.
    std::map<std::string, std::vector<boost::shared_ptr<CGotoCommand>>> m_PendingGotos;
};
} // namespace

bool Parse(const std::string& fileName, const char* begin, const char* end, const ObjectMap& objects)
{
    CScriptReader reader(objects);
    return reader.Parse(fileName, begin, end);
}
} // namespace ObjectsAnimationScriptParser
