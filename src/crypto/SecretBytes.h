#pragma once

#include <cstddef>
#include <cstring>
#include <memory>
#include <string.h>

#include <QByteArrayView>
#include <QStringView>

// A fixed-size buffer for a password or a key that zeroes itself when it goes. It never grows, so no
// copy is left behind in memory the allocator gave back; it is moved, never copied.
class SecretBytes final {
public:
    SecretBytes() = default;
    explicit SecretBytes(std::size_t size) : m_bytes(size ? new unsigned char[size]() : nullptr), m_size(size) {}
    explicit SecretBytes(QByteArrayView bytes) : SecretBytes(static_cast<std::size_t>(bytes.size()))
    {
        if (m_size)
            std::memcpy(m_bytes.get(), bytes.data(), m_size);
    }
    ~SecretBytes() { wipe(); }
    SecretBytes(SecretBytes&& other) noexcept : m_bytes(std::move(other.m_bytes)), m_size(other.m_size)
    {
        other.m_size = 0;
    }
    SecretBytes& operator=(SecretBytes&& other) noexcept
    {
        if (this != &other) {
            wipe();
            m_bytes = std::move(other.m_bytes);
            m_size = other.m_size;
            other.m_size = 0;
        }
        return *this;
    }
    SecretBytes(const SecretBytes&) = delete;
    SecretBytes& operator=(const SecretBytes&) = delete;

    // The text as UTF-8, without passing through a QByteArray that would stay in freed memory.
    static SecretBytes fromText(QStringView text)
    {
        // Three bytes at most for each UTF-16 unit (a surrogate pair, two units, makes four).
        SecretBytes buffer(static_cast<std::size_t>(text.size()) * 3);
        std::size_t used = 0;
        for (qsizetype i = 0; i < text.size(); ++i) {
            char32_t c = text[i].unicode();
            if (QChar::isHighSurrogate(c) && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
                c = QChar::surrogateToUcs4(text[i].unicode(), text[i + 1].unicode());
                ++i;
            } else if (QChar::isSurrogate(c)) {
                c = 0xFFFD;
            }
            unsigned char* out = buffer.data() + used;
            if (c < 0x80) {
                out[0] = static_cast<unsigned char>(c);
                used += 1;
            } else if (c < 0x800) {
                out[0] = static_cast<unsigned char>(0xC0 | (c >> 6));
                out[1] = static_cast<unsigned char>(0x80 | (c & 0x3F));
                used += 2;
            } else if (c < 0x10000) {
                out[0] = static_cast<unsigned char>(0xE0 | (c >> 12));
                out[1] = static_cast<unsigned char>(0x80 | ((c >> 6) & 0x3F));
                out[2] = static_cast<unsigned char>(0x80 | (c & 0x3F));
                used += 3;
            } else {
                out[0] = static_cast<unsigned char>(0xF0 | (c >> 18));
                out[1] = static_cast<unsigned char>(0x80 | ((c >> 12) & 0x3F));
                out[2] = static_cast<unsigned char>(0x80 | ((c >> 6) & 0x3F));
                out[3] = static_cast<unsigned char>(0x80 | (c & 0x3F));
                used += 4;
            }
        }
        buffer.m_size = used; // the tail stays allocated and zero, and is wiped with the rest
        return buffer;
    }

    unsigned char* data() { return m_bytes.get(); }
    const unsigned char* data() const { return m_bytes.get(); }
    std::size_t size() const { return m_size; }
    bool empty() const { return m_size == 0; }
    QByteArrayView view() const { return QByteArrayView(m_bytes.get(), static_cast<qsizetype>(m_size)); }

private:
    void wipe()
    {
        // explicit_bzero is never optimised away, even though the memory is freed right after.
        if (m_bytes && m_size)
            ::explicit_bzero(m_bytes.get(), m_size);
    }

    std::unique_ptr<unsigned char[]> m_bytes;
    std::size_t m_size = 0;
};
