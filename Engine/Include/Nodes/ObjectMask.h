#pragma once
// The objects of a scene whose names match one regular expression (Perl
// syntax, case-sensitive, matched against the whole name), walked in name
// order: all of them, geometry objects only, or cameras only.
// Platform-free.
#include <map>
#include <string>

#include <boost/regex.hpp>

class Object;

typedef std::map<std::string, Object*> ObjectNameMap;

class ObjectMaskIterator
{
public:
    // typeId -1 accepts every kind of object.
    ObjectMaskIterator(ObjectNameMap::const_iterator position, ObjectNameMap::const_iterator end,
                       const boost::regex& expression, int typeId);

    bool AtEnd() const { return m_Position == m_End; }
    const std::string& GetName() const { return m_Position->first; }
    Object* GetObject() const { return m_Position->second; }
    const ObjectNameMap::value_type& operator*() const { return *m_Position; }
    // Steps past the current entry to the next match (or the end).
    void Advance();

private:
    void SkipToMatch();

    ObjectNameMap::const_iterator m_Position;
    ObjectNameMap::const_iterator m_End;
    boost::regex m_Expression;
    int m_TypeId;
};

class ObjectMask
{
public:
    // Throws boost::regex_error for an invalid expression.
    ObjectMask(const ObjectNameMap* objects, const std::string& pattern);

    ObjectMaskIterator Begin() const;
    ObjectMaskIterator BeginGeom() const;
    ObjectMaskIterator BeginCamera() const;
    static void Next(ObjectMaskIterator& it) { it.Advance(); }
    static void NextGeom(ObjectMaskIterator& it) { it.Advance(); }
    static void NextCamera(ObjectMaskIterator& it) { it.Advance(); }

private:
    ObjectMaskIterator Start(int typeId) const;

    const ObjectNameMap* m_pObjects;
    boost::regex m_Expression;
};
