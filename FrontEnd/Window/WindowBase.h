#pragma once
// The small window framework of the front-end: the module (instance and the
// running message loop), a message loop, a window handle wrapper, child
// windows with a generated window class, and modal dialogs from templates.
// A derived class handles messages in ProcessWindowMessage and returns TRUE
// for the ones it handled, with the answer in `result`.
#include <windows.h>

class CMessageLoop
{
public:
    // Dispatches messages until WM_QUIT; returns its exit code.
    int Run();
};

class CWindowModule
{
public:
    HRESULT Init(HINSTANCE instance);
    void Term();
    HINSTANCE GetInstance() const { return m_hInstance; }
    bool AddMessageLoop(CMessageLoop* loop);
    bool RemoveMessageLoop();
    CMessageLoop* GetMessageLoop() const { return m_pLoop; }

private:
    HINSTANCE m_hInstance = nullptr;
    CMessageLoop* m_pLoop = nullptr;
};

extern CWindowModule g_Module;

class CWindow
{
public:
    HWND m_hWnd = nullptr;

    HWND GetDlgItem(int id) const { return ::GetDlgItem(m_hWnd, id); }
    BOOL SetText(const char* text) { return ::SetWindowTextA(m_hWnd, text); }
    BOOL Show(int command) { return ::ShowWindow(m_hWnd, command); }
    LRESULT Send(UINT message, WPARAM wParam = 0, LPARAM lParam = 0)
    {
        return ::SendMessageA(m_hWnd, message, wParam, lParam);
    }
};

// A window of a class of its own, registered on first creation.
class CWindowImplBase : public CWindow
{
public:
    virtual ~CWindowImplBase();
    virtual BOOL ProcessWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) = 0;
    virtual WNDPROC GetWindowProc();
    virtual void OnFinalMessage(HWND window);

    // A null style takes the class's default style. Null on failure.
    HWND Create(HWND parent, const RECT& rect, const char* title, DWORD style = 0, DWORD exStyle = 0,
                UINT id = 0);

protected:
    virtual DWORD GetDefaultStyle() const { return WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN; }
    // Fills the class record apart from its name, procedure and instance.
    virtual void GetClassRecord(WNDCLASSEXA& record) const;

private:
    static LRESULT CALLBACK StartWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
};

// A modal dialog over a dialog template of the program's resources.
class CDialogImplBase : public CWindow
{
public:
    virtual ~CDialogImplBase() = default;
    virtual BOOL ProcessWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) = 0;
    virtual DLGPROC GetDialogProc();
    virtual void OnFinalMessage(HWND window);

    // Runs the dialog; its result, or -1 when it could not be shown.
    INT_PTR DoModal(HWND owner, UINT templateId);
    BOOL EndDialog(INT_PTR result) { return ::EndDialog(m_hWnd, result); }

private:
    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
};
