#pragma once

#include <cstddef>
#include <string_view>

namespace dw {

// An append-only byte buffer for the text of one column. A large one grows by moving
// pages instead of copying them, so a retrieval of a gigabyte of text never holds two
// copies of it at once (std::vector would copy on each growth), and what it frees or
// gives back when it shrinks leaves the process (on Linux; realloc elsewhere).
class ByteArena
{
public:
    ByteArena() = default;
    ~ByteArena();
    ByteArena(const ByteArena &other);
    ByteArena &operator=(const ByteArena &other);
    ByteArena(ByteArena &&other) noexcept;
    ByteArena &operator=(ByteArena &&other) noexcept;

    void append(std::string_view bytes);
    void truncate(std::size_t size); // keeps the first `size` bytes
    void clear();
    // Gives back the room reserved beyond the bytes in use.
    void shrink();

    [[nodiscard]] const char *data() const { return m_data; }
    [[nodiscard]] std::size_t size() const { return m_size; }
    [[nodiscard]] std::size_t capacity() const { return m_capacity; }

private:
    void reserve(std::size_t capacity);
    void swap(ByteArena &other) noexcept;

    char *m_data = nullptr;
    std::size_t m_size = 0;
    std::size_t m_capacity = 0;
};

} // namespace dw
