#pragma once
// An operation applied to a scene node each frame, before its children are
// updated. Only the hook the node calls lives here; the kinds of modifier
// derive from it.
#include <string>

class Object;

class ObjectModifier
{
public:
    virtual ~ObjectModifier() = default;
    virtual void Apply(Object* object) = 0;
    // The modifier's kind.
    virtual std::string GetName() const { return "Undefined"; }
};
