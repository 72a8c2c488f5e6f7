#pragma once

#include <cstdint>
#include <cstring>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>

// A name of a model's record in 16 bytes: up to 15 bytes are kept in place
// and only longer ones on the heap. A file may hold millions of objects
// that are little more than their names (lights, cameras, empty objects),
// and a std::string's 32 bytes would double what each of them costs.
class CShortString
{
public:
    CShortString() = default;
    CShortString(std::string_view text) { Assign(text); }
    CShortString(const CShortString& other) { Assign(other.View()); }
    CShortString(CShortString&& other) noexcept
    {
        std::memcpy(m_bytes, other.m_bytes, sizeof m_bytes);
        other.m_bytes[kTag] = 0;
    }
    CShortString& operator=(const CShortString& other)
    {
        if (this != &other)
            Assign(other.View());
        return *this;
    }
    CShortString& operator=(CShortString&& other) noexcept
    {
        if (this != &other)
        {
            Free();
            std::memcpy(m_bytes, other.m_bytes, sizeof m_bytes);
            other.m_bytes[kTag] = 0;
        }
        return *this;
    }
    CShortString& operator=(std::string_view text)
    {
        Assign(text);
        return *this;
    }
    ~CShortString() { Free(); }

    std::string_view View() const
    {
        if (!IsOnHeap())
            return {m_bytes, static_cast<std::size_t>(m_bytes[kTag])};
        return {HeapText(), HeapSize()};
    }
    operator std::string_view() const { return View(); }
    std::string Str() const { return std::string(View()); }
    std::size_t size() const { return View().size(); }
    bool empty() const { return size() == 0; }

    friend bool operator==(const CShortString& a, std::string_view b) { return a.View() == b; }
    friend std::ostream& operator<<(std::ostream& out, const CShortString& text)
    {
        return out << text.View();
    }
    friend std::string operator+(const std::string& a, const CShortString& b) { return a + b.Str(); }
    friend std::string operator+(std::string&& a, const CShortString& b) { return std::move(a) += b.View(); }
    friend std::string operator+(const char* a, const CShortString& b) { return a + b.Str(); }

private:
    static constexpr std::size_t kInline = 15;
    static constexpr std::size_t kTag = 15; // the inline length, or kOnHeap
    static constexpr char kOnHeap = static_cast<char>(0x7F);

    bool IsOnHeap() const { return m_bytes[kTag] == kOnHeap; }
    char* HeapText() const
    {
        char* text;
        std::memcpy(&text, m_bytes, sizeof text);
        return text;
    }
    std::uint32_t HeapSize() const
    {
        std::uint32_t size;
        std::memcpy(&size, m_bytes + sizeof(char*), sizeof size);
        return size;
    }
    void Free()
    {
        if (IsOnHeap())
        {
            const std::unique_ptr<char[]> owner(HeapText());
        }
        m_bytes[kTag] = 0;
    }
    void Assign(std::string_view text)
    {
        if (text.size() <= kInline)
        {
            char bytes[kInline];
            text.copy(bytes, text.size()); // text may live in this string
            Free();
            std::memcpy(m_bytes, bytes, text.size());
            m_bytes[kTag] = static_cast<char>(text.size());
            return;
        }
        auto heap = std::make_unique<char[]>(text.size());
        text.copy(heap.get(), text.size());
        Free();
        char* const p = heap.release();
        const auto size = static_cast<std::uint32_t>(text.size());
        std::memcpy(m_bytes, &p, sizeof p);
        std::memcpy(m_bytes + sizeof p, &size, sizeof size);
        m_bytes[kTag] = kOnHeap;
    }

    alignas(8) char m_bytes[16] = {};
};
static_assert(sizeof(CShortString) == 16);
