#include "rows/bytearena.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>

namespace dw {

ByteArena::~ByteArena()
{
    std::free(m_data);
}

ByteArena::ByteArena(const ByteArena &other)
{
    reserve(other.m_size);
    if (other.m_size > 0)
        std::memcpy(m_data, other.m_data, other.m_size);
    m_size = other.m_size;
}

ByteArena &ByteArena::operator=(const ByteArena &other)
{
    if (this != &other) {
        ByteArena copy(other);
        swap(copy);
    }
    return *this;
}

ByteArena::ByteArena(ByteArena &&other) noexcept
{
    swap(other);
}

ByteArena &ByteArena::operator=(ByteArena &&other) noexcept
{
    ByteArena moved(std::move(other));
    swap(moved);
    return *this;
}

void ByteArena::swap(ByteArena &other) noexcept
{
    std::swap(m_data, other.m_data);
    std::swap(m_size, other.m_size);
    std::swap(m_capacity, other.m_capacity);
}

void ByteArena::reserve(std::size_t capacity)
{
    if (capacity <= m_capacity)
        return;
    void *grown = std::realloc(m_data, capacity);
    if (!grown)
        throw std::bad_alloc();
    m_data = static_cast<char *>(grown);
    m_capacity = capacity;
}

void ByteArena::append(std::string_view bytes)
{
    if (bytes.empty())
        return;
    if (m_size + bytes.size() > m_capacity)
        reserve(std::max(m_size + bytes.size(), std::max<std::size_t>(4096, m_capacity + m_capacity / 2)));
    std::memcpy(m_data + m_size, bytes.data(), bytes.size());
    m_size += bytes.size();
}

void ByteArena::truncate(std::size_t size)
{
    m_size = std::min(m_size, size);
}

void ByteArena::clear()
{
    std::free(m_data);
    m_data = nullptr;
    m_size = 0;
    m_capacity = 0;
}

void ByteArena::shrink()
{
    if (m_size == m_capacity)
        return;
    if (m_size == 0) {
        clear();
        return;
    }
    if (void *shrunk = std::realloc(m_data, m_size)) {
        m_data = static_cast<char *>(shrunk);
        m_capacity = m_size;
    }
}

} // namespace dw
