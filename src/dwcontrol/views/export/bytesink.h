#pragma once

#include <QStringView>

#include <string>
#include <string_view>

class QIODevice;

namespace dw {

// Appends `text` to `out` as UTF-8, byte for byte as QString::toUtf8() writes it (a
// lone surrogate becomes '?'), without a string of its own.
void appendUtf8(std::string &out, QStringView text);

// Bytes on their way to a device, gathered in a buffer that goes out in large pieces:
// a file of any length is written with a few hundred kilobytes of memory.
class ByteSink
{
public:
    explicit ByteSink(QIODevice &device);
    ByteSink(const ByteSink &) = delete;
    ByteSink &operator=(const ByteSink &) = delete;

    void append(std::string_view bytes)
    {
        m_buffer.append(bytes);
        flushIfFull();
    }
    void append(char c)
    {
        m_buffer.push_back(c);
        flushIfFull();
    }
    void appendUtf16(QStringView text)
    {
        appendUtf8(m_buffer, text);
        flushIfFull();
    }
    // Writes what is left; false when any write failed.
    [[nodiscard]] bool finish();

private:
    void flushIfFull()
    {
        if (m_buffer.size() >= kChunk)
            flush();
    }
    void flush();

    static constexpr std::size_t kChunk = 256 * 1024;
    QIODevice &m_device;
    std::string m_buffer;
    bool m_ok = true;
};

} // namespace dw
