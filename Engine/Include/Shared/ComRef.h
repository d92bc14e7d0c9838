#pragma once
// Holds one reference to a COM interface (a Direct3D resource, a DirectInput
// device, a D3DX buffer) and releases it when the holder goes or takes
// another. Owned objects that are not COM interfaces use std::unique_ptr.
//
//   ComRef<IDirect3DTexture8> texture;
//   device->CreateTexture(..., texture.Out());   // adopts what Create* returns
//   ComRef<IDirect3DSurface8> shared = ComRef<IDirect3DSurface8>::Share(surface); // adds its own
//   texture.Get(), texture->GetLevelCount(), if (texture) ...
#include <utility>

template <class T> class ComRef
{
public:
    ComRef() = default;
    // Adopts the reference the caller holds (as a Create* or Get* call
    // returns it).
    explicit ComRef(T* adopted) : m_p(adopted) {}
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
    ComRef& operator=(ComRef other) noexcept
    {
        std::swap(m_p, other.m_p);
        return *this;
    }
    ~ComRef() { Reset(); }

    // Releases what is held and adopts `adopted`.
    void Reset(T* adopted = nullptr)
    {
        T* old = m_p;
        m_p = adopted;
        if (old)
            old->Release();
    }
    // Releases what is held; for a call that returns a new reference through
    // a T** parameter.
    T** Out()
    {
        Reset();
        return &m_p;
    }
    // Hands the reference to the caller, who then releases it.
    T* Detach() { return std::exchange(m_p, nullptr); }

    T* Get() const { return m_p; }
    T* operator->() const { return m_p; }
    explicit operator bool() const { return m_p != nullptr; }

private:
    T* m_p = nullptr;
};
