#pragma once
// Holds one reference to a COM object and gives it back when it goes.
// Converts to the raw interface pointer so that it can be passed and called
// like one; Attach takes over a reference that the caller already owns.
#include <utility>

template <class T>
class ComRef
{
public:
    ComRef() = default;
    explicit ComRef(T* p) : m_p(p) {}
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

    // Releases the held object, if any.
    void Reset()
    {
        T* p = m_p;
        m_p = nullptr;
        if (p)
            p->Release();
    }
    // Takes over an already counted reference.
    void Attach(T* p)
    {
        Reset();
        m_p = p;
    }
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
