#pragma once

#include <windows.h>

#include <ole2.h>

#include <utility>

// Owners of the Windows handles that the views make: each releases its
// handle the one way that kind of handle is released.
template <typename Handle, auto Release> class CUniqueHandle
{
public:
    CUniqueHandle() = default;
    explicit CUniqueHandle(Handle handle) : m_handle(handle) {}
    ~CUniqueHandle() { Reset(); }
    CUniqueHandle(CUniqueHandle&& other) noexcept : m_handle(std::exchange(other.m_handle, nullptr)) {}
    CUniqueHandle& operator=(CUniqueHandle&& other) noexcept
    {
        if (this != &other)
        {
            Reset();
            m_handle = std::exchange(other.m_handle, nullptr);
        }
        return *this;
    }

    Handle Get() const { return m_handle; }
    explicit operator bool() const { return m_handle != nullptr; }
    void Reset(Handle handle = nullptr)
    {
        if (m_handle)
            Release(m_handle);
        m_handle = handle;
    }

private:
    Handle m_handle = nullptr;
};

inline void DeleteFont(HFONT font)
{
    ::DeleteObject(font);
}

using CFontHandle = CUniqueHandle<HFONT, &DeleteFont>;

inline void DeleteBitmap(HBITMAP bitmap)
{
    ::DeleteObject(bitmap);
}

using CBitmapHandle = CUniqueHandle<HBITMAP, &DeleteBitmap>;
using CItemIdList = CUniqueHandle<void*, &::CoTaskMemFree>;

// OLE for the thread, for as long as the object lives.
class COleScope
{
public:
    COleScope() : m_bInitialized(SUCCEEDED(::OleInitialize(nullptr))) {}
    ~COleScope()
    {
        if (m_bInitialized)
            ::OleUninitialize();
    }
    COleScope(const COleScope&) = delete;
    COleScope& operator=(const COleScope&) = delete;

private:
    bool m_bInitialized;
};

// Centres a dialog over its owner, or on the work area of its monitor when
// it has none, as the desktop frameworks do with their dialogs.
inline void CenterWindow(HWND hWnd)
{
    RECT window, area;
    ::GetWindowRect(hWnd, &window);
    const HWND hOwner = ::GetWindow(hWnd, GW_OWNER);
    if (hOwner && ::IsWindowVisible(hOwner) && !::IsIconic(hOwner))
    {
        ::GetWindowRect(hOwner, &area);
    }
    else
    {
        MONITORINFO monitor{};
        monitor.cbSize = sizeof monitor;
        ::GetMonitorInfoW(::MonitorFromWindow(hWnd, MONITOR_DEFAULTTONEAREST), &monitor);
        area = monitor.rcWork;
    }
    const int width = window.right - window.left;
    const int height = window.bottom - window.top;
    ::SetWindowPos(hWnd, nullptr, area.left + (area.right - area.left - width) / 2,
                   area.top + (area.bottom - area.top - height) / 2, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}
