#pragma once
// An operation applied to a scene node each frame, before its children are
// updated. Only the hook the node calls lives here; the kinds of modifier
// derive from it.
class Object;

class ObjectModifier
{
public:
    virtual ~ObjectModifier() = default;
    virtual void Apply(Object* object) = 0;
};
