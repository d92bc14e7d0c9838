// ID3DXBuffer: a reference-counted block of bytes.
#include "d3dx8core.h"

#include <atomic>
#include <new>
#include <vector>

// The identifier again, privately: the public IID_ID3DXBuffer lives in an
// object of its own, so that a program that also links the platform's
// dxguid library (which carries it too) does not get it twice.
static const IID s_IidBuffer = {0x932e6a7e, 0xc68e, 0x45dd, {0xa7, 0xbf, 0x53, 0xd1, 0x9c, 0x86, 0xdb, 0x1f}};

namespace
{
const IID s_IidUnknown = {0x00000000, 0x0000, 0x0000, {0xc0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

class CD3DXBuffer : public ID3DXBuffer
{
public:
    explicit CD3DXBuffer(DWORD size) : m_Bytes(size) {}
    virtual ~CD3DXBuffer() = default;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override
    {
        if (!ppv)
            return E_POINTER;
        if (memcmp(&riid, &s_IidUnknown, sizeof(IID)) == 0 || memcmp(&riid, &s_IidBuffer, sizeof(IID)) == 0)
        {
            AddRef();
            *ppv = static_cast<ID3DXBuffer*>(this);
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++m_Refs; }
    ULONG STDMETHODCALLTYPE Release() override
    {
        ULONG left = --m_Refs;
        if (left == 0)
            delete this;
        return left;
    }
    LPVOID STDMETHODCALLTYPE GetBufferPointer() override { return m_Bytes.empty() ? nullptr : m_Bytes.data(); }
    DWORD STDMETHODCALLTYPE GetBufferSize() override { return static_cast<DWORD>(m_Bytes.size()); }

private:
    std::atomic<ULONG> m_Refs{1};
    std::vector<BYTE> m_Bytes;
};
}  // namespace

HRESULT WINAPI D3DXCreateBuffer(DWORD NumBytes, LPD3DXBUFFER* ppBuffer)
{
    if (!ppBuffer)
        return E_INVALIDARG;
    try
    {
        *ppBuffer = new CD3DXBuffer(NumBytes);
    }
    catch (const std::bad_alloc&)
    {
        *ppBuffer = nullptr;
        return E_OUTOFMEMORY;
    }
    return S_OK;
}
