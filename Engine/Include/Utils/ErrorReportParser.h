#pragma once
// A spirit classic functor parser that reports a parse problem through the
// log at the current position and then matches empty, so that the rule around
// it still succeeds. Shared by the tuning-file reader and the crew-script
// reader; the scanner's iterator must be a position_iterator.
#include <boost/spirit/include/classic_core.hpp>
#include <boost/spirit/include/classic_functor_parser.hpp>
#include <boost/spirit/include/classic_position_iterator.hpp>

#include <cstddef>
#include <string>

#include "Log.h"

namespace ObjectsAnimationScriptParser
{
struct error_report_parser
{
    typedef boost::spirit::classic::nil_t result_t;

    explicit error_report_parser(const std::string& message) : m_Message(message) {}

    template <typename ScannerT>
    std::ptrdiff_t operator()(ScannerT const& scan, result_t&) const
    {
        auto const& pos = scan.first.get_position();
        g_Log.Printf("%s : %s [Line: %u; Column: %u]\n", pos.file.c_str(), m_Message.c_str(),
                     unsigned(pos.line), unsigned(pos.column));
        return 0;
    }

    std::string m_Message;
};

typedef boost::spirit::classic::functor_parser<error_report_parser> error_report_p;

inline error_report_p ReportError(const std::string& message)
{
    return error_report_p(error_report_parser(message));
}
} // namespace ObjectsAnimationScriptParser
