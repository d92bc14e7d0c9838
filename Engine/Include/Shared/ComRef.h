#pragma once
// Holds one reference to a COM object (a Direct3D resource, a DirectSound or
// DirectShow object, a D3DX buffer) and gives it back when it goes or takes
// another. Converts to the raw interface pointer so that it can be passed and
// called like one. Owned objects that are not COM interfaces use
// std::unique_ptr.
//
//   ComRef<IDirect3DTexture8> texture;
//   device->CreateTexture(..., texture.Put());   // takes what Create* returns
//   auto shared = ComRef<IDirect3DSurface8>::Share(surface); // adds its own
#include <utility>

template <class T>
class ComRef
{
public:
    ComRef() = default;
    // Takes over the reference the caller holds.
    explicit ComRef(T* p) : m_p(p) {}
    // Takes a reference of its own to an object someone else holds.
    static ComRef Share(T* p)
    {
        if (p)
            p->AddRef();
        return ComRef(p);
    }
    ComRef(const ComRef& other) : m_p(other.m_p)
    {
        if (m_p)
            m_p->AddRef();
    }
    ComRef(ComRef&& other) noexcept : m_p(other.m_p) { other.m_p = nullptr; }
    ~ComRef() { Reset(); }

    ComRef& operator=(ComRef other) noexcept
    {
        std::swap(m_p, other.m_p);
        return *this;
    }

    // Releases the held object, if any, and takes over `p` (a counted
    // reference) when given.
    void Reset(T* p = nullptr)
    {
        T* old = m_p;
        m_p = p;
        if (old)
            old->Release();
    }
    // Takes over an already counted reference.
    void Attach(T* p) { Reset(p); }
    // Hands the reference to the caller, who then releases it.
    T* Detach() { return std::exchange(m_p, nullptr); }
    // The out parameter of a creating call; releases what was held first.
    T** Put()
    {
        Reset();
        return &m_p;
    }
    void** PutVoid() { return reinterpret_cast<void**>(Put()); }

    T* Get() const { return m_p; }
    operator T*() const { return m_p; }
    T* operator->() const { return m_p; }

private:
    T* m_p = nullptr;
};
