#include "ObjectMask.h"

#include "Object.h"

ObjectMaskIterator::ObjectMaskIterator(ObjectNameMap::const_iterator position, ObjectNameMap::const_iterator end,
                                       const boost::regex& expression, int typeId)
    : m_Position(position), m_End(end), m_Expression(expression), m_TypeId(typeId)
{
    SkipToMatch();
}

void ObjectMaskIterator::Advance()
{
    if (m_Position != m_End)
        ++m_Position;
    SkipToMatch();
}

void ObjectMaskIterator::SkipToMatch()
{
    for (; m_Position != m_End; ++m_Position)
    {
        const Object* object = m_Position->second;
        if (!object || !boost::regex_match(m_Position->first, m_Expression))
            continue;
        if (m_TypeId < 0 || object->GetTypeId() == m_TypeId)
            return;
    }
}

ObjectMask::ObjectMask(const ObjectNameMap* objects, const std::string& pattern)
    : m_pObjects(objects), m_Expression(pattern, boost::regex::perl)
{
}

ObjectMaskIterator ObjectMask::Start(int typeId) const
{
    return ObjectMaskIterator(m_pObjects->begin(), m_pObjects->end(), m_Expression, typeId);
}

ObjectMaskIterator ObjectMask::Begin() const
{
    return Start(-1);
}

ObjectMaskIterator ObjectMask::BeginGeom() const
{
    return Start(OBJECT_TYPE_GEOM);
}

ObjectMaskIterator ObjectMask::BeginCamera() const
{
    return Start(OBJECT_TYPE_CAMERA);
}
