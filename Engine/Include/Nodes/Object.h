#pragma once
// The scene node: name, parent, children, local and world matrices, a
// keyframe animation of the local matrix played on its own local timer,
// timed callbacks, modifiers and billboards. Matrices are row-vector:
// world = local x parent world.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "Timer.h"
#include "d3dx8math.h"

namespace FileStorage
{
class CMemoryStream;
}
class ObjectModifier;
class Camera;

// The camera the frame is drawn with; billboards turn towards it. Null: no
// billboard is turned.
extern Camera* g_CurrentCamera;

enum ObjectTypeId
{
    OBJECT_TYPE_GEOM = 0,
    OBJECT_TYPE_LIGHT = 1,
    OBJECT_TYPE_CAMERA = 2,
    OBJECT_TYPE_OBJECT = 3,
};

// Every element a + (b - a) x f.
D3DXMATRIX LerpMatrix(const D3DXMATRIX& a, const D3DXMATRIX& b, float f);

class Object
{
public:
    struct MatrixKey
    {
        float time; // seconds
        D3DXMATRIX matrix;
    };
    struct KeyEvent
    {
        uint32_t keyIndex;
        std::function<void()> function;
    };
    typedef std::function<void(int argument, Object* object, float animationTime)> TimedCallbackFn;
    struct TimedCallback
    {
        float time; // seconds of animation time
        TimedCallbackFn callback;
        int32_t argument;
    };

    explicit Object(const std::string& name = std::string());
    Object(const Object&) = delete;
    Object& operator=(const Object&) = delete;

    virtual int GetTypeId() const { return OBJECT_TYPE_OBJECT; }
    virtual bool IsRenderable() const { return false; }
    virtual bool IsTransparent() const { return false; }
    virtual void OnHook3(void*) {}
    virtual void OnHook4(void*) {}
    virtual void OnHook5(void*, void*) {}
    // Advances the keyframe animation and computes the world matrix.
    virtual void UpdateWorldMatrix(const D3DXMATRIX& parentWorld);
    // Per-frame hook called before UpdateWorldMatrix.
    virtual void UpdateAnimation() {}
    virtual ~Object();
    virtual bool IsVisible() const { return true; }
    // Clears the static flag of the subtree.
    virtual void MakeDynamic();

    // The node part of a "GO", "L" or "C" record. A truncated record throws
    // FileStorage::ErrorRead; the loader drops the object.
    void LoadFromStream(const std::string& name, FileStorage::CMemoryStream& stream);
    void AddKey(uint32_t milliseconds, const D3DXMATRIX& matrix);
    // False (logged) when the child is this node or one of its ancestors:
    // the link would close a cycle, so the child stays without a parent.
    bool AttachChild(Object* child);
    void AddModifier(ObjectModifier* modifier) { m_Modifiers.push_back(modifier); }
    void AddTimedCallback(float time, TimedCallbackFn callback);
    void AddKeyEvent(uint32_t keyIndex, std::function<void()> function);

    // Plays the keys between start and end (milliseconds) from `offset`, at
    // `speed`, `loops` times (-1 endlessly). A node with fewer than two keys,
    // an empty range or one that comes to no duration does not start.
    void PlayAnimation(uint32_t startMs, uint32_t endMs, uint32_t offsetMs, float speed, int32_t loops,
                       bool recursive, bool restAtStart);
    // After PlayAnimation: for `seconds` the local matrix moves from where it
    // is now towards the keys, then the animation plays from its offset.
    void BlendIn(float seconds);
    bool IsAnimating() const;
    void SetChildrenAnimationSpeed(float speed);
    void UpdateHierarchy();

    float DistanceToLocal(float x, float y, float z) const;
    float DistanceToWorld(float x, float y, float z) const;
    static void DecomposeMatrix(const D3DXMATRIX& m, D3DXMATRIX* translation, D3DXMATRIX* scale,
                                D3DXMATRIX* rotation);

    bool IsStatic() const { return m_bStatic; }
    void SetStatic(bool isStatic) { m_bStatic = isStatic; }
    float GetFrameTime() const { return m_FrameTime; }
    void ClearCylindricalBillboard() { m_bCylindricalBillboard = false; }
    void SetBillboard(bool billboard) { m_bBillboard = billboard; }
    bool IsBillboard() const { return m_bBillboard; }
    void SetFollowsParentPlay(bool follows) { m_bFollowsParentPlay = follows; }

    const std::string& GetName() const { return m_Name; }
    const std::string& GetParentName() const { return m_ParentName; }
    Object* GetParent() const { return m_pParent; }
    const std::vector<Object*>& GetChildren() const { return m_Children; }
    const std::vector<MatrixKey>& GetKeys() const { return m_Keys; }
    uint32_t GetAnimationStart() const { return m_AnimationRange[0]; }
    uint32_t GetAnimationEnd() const { return m_AnimationRange[1]; }
    const D3DXMATRIX& GetLocalMatrix() const { return m_Local; }
    const D3DXMATRIX& GetWorldMatrix() const { return m_World; }
    void SetLocalMatrix(const D3DXMATRIX& m) { m_Local = m; }
    void SetWorldMatrix(const D3DXMATRIX& m) { m_World = m; }
    CLocalTimer& GetLocalTimer() { return m_LocalTimer; }

protected:
    void AdvanceAnimation();
    void FireTimedCallbacks(float cur);
    // Calls every callback whose time the animation passed going from last
    // to cur (wrapping round when cur < last), within [rangeStart, rangeEnd].
    static void FireCallbacksBetween(const std::vector<TimedCallback>& callbacks, float last, float cur,
                                     float rangeStart, float rangeEnd, Object* object);
    void ApplyKeys(float cur);
    void TurnBillboard();

    Object* m_pParent = nullptr;
    std::string m_ParentName;

    float m_Duration = 0;
    float m_RangeStart = 0;
    int32_t m_LoopCount = -1;
    bool m_bPlaying = false;
    bool m_bRestAtStart = false;
    float m_LastTimerReading = 0;
    CLocalTimer m_LocalTimer;
    bool m_bFollowsParentPlay = true;
    bool m_bBlendingIn = false;
    float m_BlendDuration = 0;
    D3DXMATRIX m_BlendSource;

    std::vector<MatrixKey> m_Keys;
    uint32_t m_CurrentKey = 0;
    std::vector<KeyEvent> m_KeyEvents;
    bool m_bHasChildren = false;
    std::vector<ObjectModifier*> m_Modifiers;
    uint32_t m_AnimationRange[2] = {0, 0};
    bool m_bBillboard = false;
    bool m_bCylindricalBillboard = false;
    bool m_bUpAlignedBillboard = false;
    float m_FrameTime = 1.0f / 30.0f;
    float m_LastAnimationTime = 0;
    std::vector<TimedCallback> m_TimedCallbacks;
    std::string m_Name;
    std::vector<Object*> m_Children;
    D3DXMATRIX m_Local;
    D3DXMATRIX m_World;
    bool m_bStatic = false;
};
