#include "rows/bytearena.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>

#ifdef __linux__
#include <sys/mman.h>
#endif

namespace dw {

namespace {

#ifdef __linux__
// Large arenas live in mappings of their own, which grow and shrink with mremap: growing
// moves pages instead of copying bytes, and shrinking or freeing gives the pages back to
// the system at once. Left to malloc, fourteen columns growing side by side leave holes in
// the heap that the process keeps after the retrieval (a fifth of the rows' size and more).
constexpr std::size_t MappedFrom = 256 * 1024;
constexpr std::size_t PageSize = 4096;

std::size_t pages(std::size_t bytes)
{
    return (bytes + PageSize - 1) / PageSize * PageSize;
}

bool isMapped(std::size_t capacity)
{
    return capacity >= MappedFrom;
}

// Moves a block of `oldCapacity` bytes (`used` of them in use) to one of `capacity`
// bytes; null when the system refuses.
char *resize(char *data, std::size_t used, std::size_t oldCapacity, std::size_t capacity)
{
    if (isMapped(oldCapacity) && isMapped(capacity)) {
        void *moved = ::mremap(data, oldCapacity, capacity, MREMAP_MAYMOVE);
        return moved == MAP_FAILED ? nullptr : static_cast<char *>(moved);
    }
    char *fresh = nullptr;
    if (isMapped(capacity)) {
        void *mapped = ::mmap(nullptr, capacity, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        fresh = mapped == MAP_FAILED ? nullptr : static_cast<char *>(mapped);
    } else {
        fresh = static_cast<char *>(std::malloc(capacity));
    }
    if (!fresh)
        return nullptr;
    if (used > 0)
        std::memcpy(fresh, data, used);
    if (isMapped(oldCapacity))
        ::munmap(data, oldCapacity);
    else
        std::free(data);
    return fresh;
}

void release(char *data, std::size_t capacity)
{
    if (isMapped(capacity))
        ::munmap(data, capacity);
    else
        std::free(data);
}

std::size_t rounded(std::size_t capacity)
{
    return isMapped(capacity) ? pages(capacity) : capacity;
}
#else
char *resize(char *data, std::size_t, std::size_t, std::size_t capacity)
{
    return static_cast<char *>(std::realloc(data, capacity));
}

void release(char *data, std::size_t)
{
    std::free(data);
}

std::size_t rounded(std::size_t capacity)
{
    return capacity;
}
#endif

} // namespace

ByteArena::~ByteArena()
{
    release(m_data, m_capacity);
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
    capacity = rounded(capacity);
    char *grown = resize(m_data, m_size, m_capacity, capacity);
    if (!grown)
        throw std::bad_alloc();
    m_data = grown;
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
    release(m_data, m_capacity);
    m_data = nullptr;
    m_size = 0;
    m_capacity = 0;
}

void ByteArena::shrink()
{
    const std::size_t capacity = rounded(m_size);
    if (capacity >= m_capacity)
        return;
    if (m_size == 0) {
        clear();
        return;
    }
    if (char *shrunk = resize(m_data, m_size, m_capacity, capacity)) {
        m_data = shrunk;
        m_capacity = capacity;
    }
}

} // namespace dw
