#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

// Writes small GIF files for the tests: a four-colour global table (0 white, 1 red, 2 green,
// 3 blue) and frames of one solid colour each. The image data uses a clear code before every
// two pixels, so all codes stay three bits wide.
class GifBuilder {
public:
    GifBuilder(int width, int height) : m_width(width), m_height(height)
    {
        const uint8_t header[] = {'G', 'I', 'F', '8', '9', 'a'};
        m_data.assign(header, header + 6);
        Word(width);
        Word(height);
        m_data.push_back(0x81);  // global table of 4 colours
        m_data.push_back(0);
        m_data.push_back(0);
        const uint8_t table[] = {255, 255, 255, 255, 0, 0, 0, 255, 0, 0, 0, 255};
        m_data.insert(m_data.end(), table, table + sizeof table);
    }

    // A frame with a graphic control extension (delay in hundredths, disposal method).
    GifBuilder& Frame(int colour, int delay, int disposal, int left = 0, int top = 0, int width = -1,
                      int height = -1)
    {
        const uint8_t gce[] = {'!', 0xF9, 4, static_cast<uint8_t>(disposal << 2), static_cast<uint8_t>(delay & 0xFF),
                               static_cast<uint8_t>(delay >> 8), 0, 0};
        m_data.insert(m_data.end(), gce, gce + sizeof gce);
        return Image(colour, left, top, width, height);
    }

    // A frame without a graphic control extension.
    GifBuilder& Image(int colour, int left = 0, int top = 0, int width = -1, int height = -1)
    {
        width = width < 0 ? m_width : width;
        height = height < 0 ? m_height : height;
        m_data.push_back(',');
        Word(left);
        Word(top);
        Word(width);
        Word(height);
        m_data.push_back(0);
        m_data.push_back(2);  // LZW minimum code size
        std::vector<uint8_t> packed;
        uint32_t bits = 0;
        int count = 0;
        const auto emit = [&](int code) {
            bits |= static_cast<uint32_t>(code) << count;
            count += 3;
            while (count >= 8) {
                packed.push_back(static_cast<uint8_t>(bits));
                bits >>= 8;
                count -= 8;
            }
        };
        const int pixels = width * height;
        for (int i = 0; i < pixels; ++i) {
            if (i % 2 == 0)
                emit(4);
            emit(colour);
        }
        emit(5);
        if (count > 0)
            packed.push_back(static_cast<uint8_t>(bits));
        for (size_t at = 0; at < packed.size(); at += 255) {
            const size_t n = std::min<size_t>(255, packed.size() - at);
            m_data.push_back(static_cast<uint8_t>(n));
            m_data.insert(m_data.end(), packed.begin() + at, packed.begin() + at + n);
        }
        m_data.push_back(0);
        return *this;
    }

    GifBuilder& Comment(const char* text)
    {
        m_data.push_back('!');
        m_data.push_back(0xFE);
        const size_t n = std::char_traits<char>::length(text);
        m_data.push_back(static_cast<uint8_t>(n));
        m_data.insert(m_data.end(), text, text + n);
        m_data.push_back(0);
        return *this;
    }

    std::vector<uint8_t> Finish() const
    {
        std::vector<uint8_t> data = m_data;
        data.push_back(';');
        return data;
    }

private:
    void Word(int value)
    {
        m_data.push_back(static_cast<uint8_t>(value & 0xFF));
        m_data.push_back(static_cast<uint8_t>(value >> 8));
    }

    int m_width;
    int m_height;
    std::vector<uint8_t> m_data;
};
