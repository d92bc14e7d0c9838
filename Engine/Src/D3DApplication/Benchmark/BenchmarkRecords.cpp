// The value entries of the option table.
#include "OpenAutomate.h"

TBenchmarkValue::TBenchmarkValue()
{
    m_Value.Bits = 0;
}

TBenchmarkValue::TBenchmarkValue(const std::string& name, int32_t type, const TBenchmarkValueData& value)
    : m_Name(name), m_Type(type), m_Value(value)
{
    if (IsBenchmarkTextType(type))
    {
        m_Text = value.Text ? value.Text : "";
        m_Value.Bits = 0;
    }
}

TBenchmarkValue::TBenchmarkValue(const TBenchmarkValue& other)
    : m_Name(other.m_Name), m_Type(other.m_Type), m_Value(other.m_Value), m_Text(other.m_Text)
{
}

TBenchmarkValue& TBenchmarkValue::operator=(const TBenchmarkValue& other)
{
    m_Name = other.m_Name;
    m_Type = other.m_Type;
    m_Value = other.m_Value;
    m_Text = other.m_Text;
    return *this;
}

const TBenchmarkValueData* TBenchmarkValue::Data() const
{
    // The text pointer is refreshed on every read: the entry may have been
    // copied or moved since it was last handed out.
    if (IsBenchmarkTextType(m_Type))
        const_cast<TBenchmarkValueData&>(m_Value).Text = m_Text.c_str();
    return &m_Value;
}

std::string TBenchmarkValue::Text() const
{
    return IsBenchmarkTextType(m_Type) ? m_Text : std::string();
}
